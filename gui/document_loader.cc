#include "gui/document_loader.h"

#include <QRunnable>
#include <QThreadPool>

#include <malloc.h>
#include <sys/resource.h>

#include <new>
#include <string>

namespace {

using Sci = QsciScintillaBase;

}  // namespace

DocumentLoader::DocumentLoader(QsciScintillaBase& editor, int64_t room) {
  const ZeroPageRecord::Open noting(blocks_);
  loader_ = reinterpret_cast<ScintillaLoader*>(editor.SendScintilla(
      Sci::SCI_CREATELOADER, static_cast<unsigned long>(room), long(Sci::SC_DOCUMENTOPTION_DEFAULT)));
}

DocumentLoader::~DocumentLoader() {
  if (loader_) loader_->Release();
}

bool DocumentLoader::add(const char* data, int64_t length) {
  const ZeroPageRecord::Open noting(blocks_);
  return loader_ && loader_->AddData(data, static_cast<std::ptrdiff_t>(length)) == 0;
}

int64_t DocumentLoader::giveBackZeroPages() { return blocks_.giveBackZeroPages(); }

void DocumentLoader::showIn(QsciScintillaBase& editor) {
  // The widget's record of its document still names the one shown
  // before: it reads that only when another editor is given this
  // editor's document, which these editors never are.
  if (loader_) editor.SendScintilla(Sci::SCI_SETDOCPOINTER, 0UL, loader_->ConvertToDocument());
}

void shareWorkerHeaps() { mallopt(M_ARENA_MAX, 2); }

void yieldToTheGuiThread() { setpriority(PRIO_PROCESS, 0, 10); }

void releaseOnPool(std::shared_ptr<void> owned) {
  // The pool's jobs are copied: what is owned goes with the last copy.
  QThreadPool::globalInstance()->start(QRunnable::create([owned]() mutable {
    owned.reset();
    malloc_trim(0);
  }));
}

bool loadShownText(DocumentLoader& loader, const SVString& text, const TraceTextFacts& facts) {
  // One AddData with the whole text: the document then makes its room
  // once, exactly, instead of growing by steps that copy it.
  bool added = false;
  if (facts.validUtf8 && facts.loneCarriageReturns == 0) {
    added = loader.add(text.data(), text.length());
  } else {
    try {
      std::string shown;
      convertShownText(text, facts, shown);
      added = loader.add(shown.data(), static_cast<int64_t>(shown.size()));
    } catch (const std::bad_alloc&) {
      added = false;
    }
  }
  if (added) loader.giveBackZeroPages();
  return added;
}
