// The trace frame's text: loading a trace, the text the editor shows, and
// switching the final queries between their trace form and their
// formatted form.
//
// One copy of a trace serves where it can. The loaded buffer becomes the
// kept text. When the kept text can be read back from the editor's (a
// trace without lone carriage returns: valid UTF-8 is shown byte for byte,
// anything else as Windows-1252, a character per byte), the kept text is
// the editor's own once the editor's document holds the whole text: the
// frame keeps only the trace form of each final query the editor shows
// formatted, and makes a copy of the kept text again only when the user
// is about to edit the editor's text. The option switches by replacing
// those queries in place when the editor shows the trace's bytes; a
// Windows-1252 trace is read back for the switch and shown anew.
//
// A large text is shown in two documents (see loadTrace): a small one
// with the first screens, made at once, and the whole one, made on a
// worker thread (TraceDocumentBuild) and swapped in when it is ready. The
// editor clears the room it makes and indexes every line as it takes the
// text in, about half a second for a 64 MiB trace, which would otherwise
// all come before the first paint or between the reader's inputs. When the
// editor's text is to stand for the kept text, the worker gives the kept
// text back and reads it again from the trace's file block by block as it
// writes, so that the kept text and the document's room are not both
// resident.
#include <Qsci/qsciscintilla.h>

#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <future>
#include <new>

#include "app/file_backed_bytes.h"
#include "app/trace_file.h"
#include "gui/multi_line_tree.h"
#include "gui/trace_document.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

// The room beyond the text keeps its last bytes from growing (and
// copying) the editor's buffer.
constexpr int64_t kSpare = 64;

}  // namespace

int TFMarrow::loadTrace(SVString& text, const char* path) {
  // A document still being built gives way to the new one.
  pending_.reset();
  // The loaded buffer becomes the kept text: no copy of it.
  kept_.take(text);
  const SVString& kept = kept_.bytes();
  // What the bytes are and how many lines they make is counted on another
  // core while this one scans them; both only read the text.
  struct Counted {
    TraceTextFacts facts;
    int64_t lineFeeds = 0;
  };
  std::future<Counted> counting =
      std::async(std::launch::async | std::launch::deferred, [bytes = kept.data(), length = kept.length()] {
        return Counted{traceTextFacts(bytes, length), lineFeedsIn(bytes, length)};
      });

  VirtualStringTree1->beginUpdate();
  VirtualStringTree1->clear();
  nodes_.reset();
  resetKeyPoints(keyPoints_);
  // The facts ride on the scan, over the text as scanned, while it is
  // still the frame's own.
  TraceFacts facts;
  bool outOfMemory = scanKeyPointsAndFacts(keyPoints_, facts, kept.data(), kept.length()) != 0;
  // The final queries are formatted on the other core meanwhile: that
  // moves the key points' lines only, which neither the digest nor the
  // outline reads.
  std::future<std::vector<FormattedPiece>> formatting;
  if (hasOption(*settings_, OptFormatFinalQuery)) {
    formatting = std::async(std::launch::async | std::launch::deferred,
                            [this, &kept] { return formatFinalQueryPieces(kept.data(), kept.length(), keyPoints_); });
  }
  // The digest keeps a copy of what it shows, made on another core while
  // this one builds the outline and fills the tree. It reads the kept
  // text, so it is done before the text goes to the editor.
  std::future<int> digesting;
  if (!outOfMemory) {
    digesting = std::async(std::launch::async | std::launch::deferred, [this, &facts, count = keyPoints_.count()] {
      return digestTraceFacts(digest_, facts, count);
    });
  }
  // The key points' offsets describe the text as scanned, so the outline
  // is built over the kept text, not the re-formatted one.
  buildOutline(nodes_, keyPoints_, kept.data(), kept.length());
  VirtualStringTree1->reserveNodes(nodes_.count());
  if (nodes_.count() > 0 && !nodes_.outOfMemory()) fillOutlineTree(0, kNoTreeNode);
  std::vector<FormattedPiece> pieces;
  if (formatting.valid()) pieces = formatting.get();
  const Counted counted = counting.get();
  if (digesting.valid() && digesting.get() != 0) outOfMemory = true;
  facts = TraceFacts();
  if (outOfMemory || nodes_.outOfMemory()) {
    // An outline without the records memory ran out for would pass for
    // the trace's: the frame is emptied instead, and the load fails.
    VirtualStringTree1->endUpdate();
    SVString none;
    loadTrace(none);
    return LoadNoMemory;
  }
  kept_.setFacts(counted.facts);
  fileLines_ = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, counted.lineFeeds + 1));
  const bool keepInEditor = kept_.canLetGo();
  if (keepInEditor) kept_.notePieces(pieces);
  showText(pieces, keepInEditor, firstSliceBytes_, counted.lineFeeds, path);
  VirtualStringTree1->endUpdate();

  // Everything starts collapsed; the last statement's sections show.
  VirtualStringTree1->collapseAll();
  int32_t last = VirtualStringTree1->firstTopLevel();
  while (last != kNoTreeNode && VirtualStringTree1->nextSibling(last) != kNoTreeNode) {
    last = VirtualStringTree1->nextSibling(last);
  }
  if (last != kNoTreeNode) VirtualStringTree1->expandNode(last);
  emit shownTextChanged();
  return 0;
}

TFMarrow::TextChange::TextChange(TFMarrow& frame) : frame_(frame) {
  QsciScintilla& editor = *frame_.SynEdit1;
  frame_.changingText_ = true;
  readOnly_ = editor.isReadOnly();
  editor.setReadOnly(false);
  // No undo record: for a whole text it would be a second copy of it.
  editor.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0L);
  // No change notices either: each becomes a notice object, and the
  // lexer is told once at the end.
  mask_ = editor.SendScintilla(Sci::SCI_GETMODEVENTMASK);
  editor.SendScintilla(Sci::SCI_SETMODEVENTMASK, 0L);
}

TFMarrow::TextChange::~TextChange() {
  QsciScintilla& editor = *frame_.SynEdit1;
  editor.SendScintilla(Sci::SCI_SETMODEVENTMASK, mask_);
  editor.SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
  editor.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1L);
  editor.SendScintilla(Sci::SCI_SETSAVEPOINT);
  editor.setReadOnly(readOnly_);
  frame_.lexer_->textChanged();
  frame_.updateGutterWidth();
  frame_.changingText_ = false;
}

void TFMarrow::freshDocument() {
  // A new empty document rather than clearing the one shown: the old one
  // is freed (a large one away from the GUI thread), and the new one does
  // not keep the old one's room.
  auto fresh = std::make_unique<DocumentLoader>(*documentMaker_);
  fresh->showIn(*SynEdit1);
  releaseAway(std::move(document_));
  document_ = std::move(fresh);
  // What belongs to the document starts afresh.
  SynEdit1->SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  drawnSelection_ = {0, 0};
}

void TFMarrow::showText(std::vector<FormattedPiece>& pieces, bool keep, int64_t firstSlice, int64_t keptLineFeeds,
                        const char* backing) {
  pending_.reset();
  auto pending = std::make_unique<PendingText>();
  pending->pieces = std::move(pieces);
  pending->keep = keep;
  ShownTextWriter writer(kept_.bytes(), pending->pieces, kept_.facts());
  const bool whole = writer.shownBytes() <= firstSlice;
  freshDocument();
  // Wrapping, the editor would wrap every line as it goes in; switched off
  // and on again, it wraps the lines it shows only.
  const bool wrap = hasOption(*settings_, OptWrapText);
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_NONE));
  bool outOfMemory = false;
  {
    TextChange change(*this);
    const auto append = [this](const char* p, int64_t n) {
      SynEdit1->SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(n), p);
      return true;
    };
    // The editor throws when it cannot make room or take the bytes.
    try {
      if (whole) {
        const int64_t room = writer.shownBytes() + kSpare;
        if (TraceDocumentBuild::roomHook != nullptr && !TraceDocumentBuild::roomHook(room)) throw std::bad_alloc();
        SynEdit1->SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(room));
      }
      writer.write(whole ? INT64_MAX : firstSlice, append);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
  }
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
  if (outOfMemory) {
    dropTraceLater();
    return;
  }
  if (whole) {
    textComplete(keep);
    return;
  }
  pending->lines = shownLineFeeds(kept_.bytes(), keptLineFeeds, pending->pieces) + 1;
  pending_ = std::move(pending);
  // The first screens' document goes at the swap: what was typed into it
  // would go with it.
  SynEdit1->SendScintilla(Sci::SCI_SETREADONLY, 1L);
  holdScrollRange();
  updateGutterWidth();
  // Only a text the editor's will stand for can go back to the file: the
  // kept text is then wanted again only once the user edits.
  FileBackedBytes* backed = keep && backing != nullptr ? kept_.backByFile(backing) : nullptr;
  pending_->build =
      std::make_unique<TraceDocumentBuild>(*documentMaker_, kept_.bytes(), pending_->pieces, kept_.facts(), backed);
  connect(pending_->build.get(), &TraceDocumentBuild::finished, this, &TFMarrow::swapInDocument);
}

void TFMarrow::swapInDocument() {
  if (!pending_ || !pending_->build->ready()) return;
  std::unique_ptr<DocumentLoader> document = pending_->build->take();
  const std::unique_ptr<PendingText> pending = std::move(pending_);
  if (!document && pending->build->fileChanged()) {
    QMetaObject::invokeMethod(this, &TFMarrow::traceChangedWhileOpening, Qt::QueuedConnection);
    return;
  }
  if (!document) {
    // Memory ran out for the whole text: the trace goes, from the event
    // loop as below.
    dropTraceLater();
    return;
  }
  // The whole text starts with the first screens' text: the view, the
  // caret and the selection stay where the reader had them, or go where
  // the reader asked past the first screens.
  const long top = pending->wantedTop >= 0 ? pending->wantedTop : firstVisibleLine();
  const long xOffset = SynEdit1->SendScintilla(Sci::SCI_GETXOFFSET);
  const long caret = SynEdit1->SendScintilla(Sci::SCI_GETCURRENTPOS);
  const long anchor = SynEdit1->SendScintilla(Sci::SCI_GETANCHOR);
  const bool wrap = hasOption(*settings_, OptWrapText);
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_NONE));
  document->showIn(*SynEdit1);
  document_ = std::move(document);
  // What belongs to the document: its code page (with the whole text in,
  // setting it costs nothing), its undo record (the loader's keeps none),
  // read-only state, and the styles and markers of the shading.
  SynEdit1->SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  SynEdit1->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1L);
  SynEdit1->SendScintilla(Sci::SCI_SETSAVEPOINT);
  SynEdit1->setReadOnly(hasOption(*settings_, OptReadOnly));
  drawnSelection_ = {0, 0};
  SynEdit1->SendScintilla(Sci::SCI_SETSEL, anchor, caret);
  SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, top);
  SynEdit1->SendScintilla(Sci::SCI_SETXOFFSET, xOffset);
  if (pending->toEnd != 0) SynEdit1->SendScintilla(static_cast<unsigned int>(pending->toEnd));
  if (wrap) {
    const long line = firstVisibleLine();
    SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
    SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line));
  }
  lexer_->textChanged();
  updateGutterWidth();
  textComplete(pending->keep, true);
  showHighlight();
  for (const std::function<void()>& action : pending->deferred) action();
}

bool TFMarrow::deferWhilePending(std::function<void()> action) {
  if (!pending_) return false;
  pending_->deferred.push_back(std::move(action));
  return true;
}

void TFMarrow::completeText() {
  if (!pending_) return;
  pending_->build->wait();
  swapInDocument();
}

void TFMarrow::textComplete(bool keep, bool later) {
  if (keep) kept_.letGoOfBytes();
  if (!later) {
    makeMarkerArray();
    return;
  }
  // The array of a large text takes 15 to 20 ms to make: in a turn of the
  // event loop of its own, so that input before it is answered.
  QTimer::singleShot(0, this, [this] { makeMarkerArray(); });
}

void TFMarrow::setFirstSlice(int64_t bytes) { firstSliceBytes_ = std::max<int64_t>(1, bytes); }

int64_t TFMarrow::linesToCome() const {
  if (!pending_ || pending_->lines == 0) return 0;
  return std::max<int64_t>(0, pending_->lines - SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT));
}

void TFMarrow::holdScrollRange() {
  if (!pending_ || pending_->lines == 0) return;
  QScrollBar* bar = SynEdit1->verticalScrollBar();
  if (bar->maximum() == pending_->heldMaximum) return;
  // Any other maximum is the editor's own, for the lines in so far; each
  // line to come adds a row to it.
  const int64_t held = std::min<int64_t>(INT32_MAX, bar->maximum() + linesToCome());
  pending_->heldMaximum = static_cast<int>(held);
  bar->setMaximum(pending_->heldMaximum);
}

void TFMarrow::makeMarkerArray() {
  // The editor keeps markers in an array as long as the text, made the
  // first time a line gets one: make it now, so that the first jump to
  // the last section does not wait for it. (The lexer keeps the line
  // states itself, a block of lines at a time.)
  const long lastLine = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
  SynEdit1->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(lastLine), kLastLineMarker);
  SynEdit1->SendScintilla(Sci::SCI_MARKERDELETE, static_cast<unsigned long>(lastLine), kLastLineMarker);
}

void TFMarrow::restoreKeptText() {
  if (!kept_.letGo()) return;
  const long length = SynEdit1->SendScintilla(Sci::SCI_GETLENGTH);
  kept_.restore(reinterpret_cast<const char*>(SynEdit1->SendScintilla(Sci::SCI_GETCHARACTERPOINTER)), length);
}

void TFMarrow::replaceShownRange(int64_t start, int64_t length, const char* bytes, int64_t count) {
  SynEdit1->SendScintilla(Sci::SCI_SETTARGETSTART, static_cast<unsigned long>(start));
  SynEdit1->SendScintilla(Sci::SCI_SETTARGETEND, static_cast<unsigned long>(start + length));
  SynEdit1->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<unsigned long>(count), bytes);
}

void TFMarrow::rebuildShownText(bool format) {
  // Shown as Windows-1252, the trace is read back and shown anew, again as
  // the only copy.
  const bool keepAgain = kept_.letGo() && kept_.singleByte();
  if (keepAgain) restoreKeptText();
  if (!kept_.letGo()) {
    const SVString& kept = kept_.bytes();
    resetKeyPoints(keyPoints_);
    scanKeyPoints(keyPoints_, kept);
    if (droppedForMemory()) return;
    std::vector<FormattedPiece> pieces;
    if (format) pieces = formatFinalQueryPieces(kept.data(), kept.length(), keyPoints_);
    if (keepAgain) kept_.notePieces(pieces);
    showText(pieces, keepAgain, INT64_MAX, 0);
    return;
  }
  // In place, first to last, so that the editor's gap moves through the
  // text once.
  TextChange change(*this);
  int64_t delta = 0;
  for (const KeptText::ShownPiece& piece : kept_.shownPieces()) {
    const auto traceLength = static_cast<int64_t>(piece.trace.size());
    replaceShownRange(piece.start + delta, piece.length, piece.trace.data(), traceLength);
    delta += traceLength - piece.length;
  }
  kept_.forgetShownPieces();
  // The editor now shows the kept text as it is: scan it there.
  const long length = SynEdit1->SendScintilla(Sci::SCI_GETLENGTH);
  const char* bytes = reinterpret_cast<const char*>(SynEdit1->SendScintilla(Sci::SCI_GETCHARACTERPOINTER));
  resetKeyPoints(keyPoints_);
  scanKeyPoints(keyPoints_, bytes, static_cast<int32_t>(length));
  if (droppedForMemory()) return;
  if (!format) return;
  std::vector<FormattedPiece> pieces = formatFinalQueryPieces(bytes, static_cast<int32_t>(length), keyPoints_);
  // The trace form of each query, taken before the replacements move the
  // text under `bytes`.
  kept_.notePieces(pieces, bytes);
  delta = 0;
  for (const FormattedPiece& piece : pieces) {
    replaceShownRange(piece.start + delta, piece.length, piece.text.data(), piece.formattedLength);
    delta += piece.formattedLength - piece.length;
  }
}

bool TFMarrow::droppedForMemory() {
  if (!keyPoints_.outOfMemory()) return false;
  // The outline's nodes name key points by index: without them it leads
  // nowhere, so it goes at once; the text goes once the switch is over.
  VirtualStringTree1->clear();
  nodes_.reset();
  dropTraceLater();
  return true;
}

void TFMarrow::dropTraceLater() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        SVString none;
        loadTrace(none);
        emit traceDroppedForMemory();
      },
      Qt::QueuedConnection);
}

void TFMarrow::watchForEdits() {
  // The user is about to change the editor's text: from then on it is no
  // longer the kept text, so the kept text gets its own copy first.
  connect(SynEdit1, &QsciScintillaBase::SCN_MODIFIED, this,
          [this](int, int type, const char*, int, int, int, int, int, int, int) {
            if (changingText_ || !kept_.letGo()) return;
            if (type & (Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE)) restoreKeptText();
          });
}
