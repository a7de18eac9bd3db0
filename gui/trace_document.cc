#include "gui/trace_document.h"

#include <new>

bool (*TraceDocumentBuild::roomHook)(int64_t room) = nullptr;

namespace {

// The worker checks for a stop between parts of this many shown bytes.
constexpr int64_t kPartBytes = 4 << 20;
// The room beyond the text keeps the last part from growing (and copying)
// the document: the editor library grows it when a part fills it exactly.
constexpr int64_t kSpare = 64;

}  // namespace

TraceDocumentBuild::TraceDocumentBuild(QsciScintillaBase& editor, const SVString& text,
                                       const std::vector<FormattedPiece>& pieces, const TraceTextFacts& facts,
                                       FileBackedBytes* backing, QObject* parent)
    : QObject(parent), worker_(&TraceDocumentBuild::build, this, &editor, &text, &pieces, facts, backing) {}

TraceDocumentBuild::~TraceDocumentBuild() {
  stop_.store(true, std::memory_order_relaxed);
  wait();
  // A document the frame did not take is large: freed away from here.
  releaseAway(std::move(document_));
}

void TraceDocumentBuild::wait() {
  if (worker_.joinable()) worker_.join();
}

std::unique_ptr<DocumentLoader> TraceDocumentBuild::take() {
  wait();
  return std::move(document_);
}

void TraceDocumentBuild::build(QsciScintillaBase* editor, const SVString* text,
                               const std::vector<FormattedPiece>* pieces, TraceTextFacts facts,
                               FileBackedBytes* backing) {
  yieldToTheGuiThread();
  // The writer counts the shown text first, over the text as it is.
  ShownTextWriter writer(*text, *pieces, facts);
  // From here on each block is read again just before it is written.
  if (backing != nullptr) backing->release(0);
  const int64_t room = writer.shownBytes() + kSpare;
  std::unique_ptr<DocumentLoader> document;
  try {
    // Made here, not on the GUI thread: the library clears the room it
    // makes, which for 64 MiB of text and styles is the better part of
    // the load.
    if (roomHook == nullptr || roomHook(room)) document = std::make_unique<DocumentLoader>(*editor, room);
  } catch (const std::bad_alloc&) {
    document.reset();
  }
  bool ok = document != nullptr;
  ShownTextWriter::Readable readable;
  if (backing != nullptr) {
    readable = [&](int64_t end) {
      fileChanged_ = !backing->refill(end);
      return !fileChanged_;
    };
  }
  // The writer's buffer of converted bytes grows too: memory running out
  // there fails the build, as it does for the room (uncaught on this
  // thread, it would end the program).
  try {
    while (ok && !writer.done() && !stop_.load(std::memory_order_relaxed)) {
      ok = writer.write(
          kPartBytes, [&](const char* p, int64_t n) { return document->add(p, n); }, readable);
      // What the writer has read is in the document now (converted bytes
      // are handed on at the end of each part).
      if (backing != nullptr) givePagesBack(text->data(), text->data() + writer.keptRead());
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (ok) {
    document->giveBackZeroPages();
  } else {
    releaseAway(std::move(document));
  }
  document_ = std::move(document);
  ready_.store(true, std::memory_order_release);
  QMetaObject::invokeMethod(this, &TraceDocumentBuild::finished, Qt::QueuedConnection);
}
