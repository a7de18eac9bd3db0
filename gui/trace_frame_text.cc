// The trace frame's text: loading a trace, the text the editor shows, and
// switching the final queries between their trace form and their
// formatted form.
//
// One copy of a trace serves where it can. The loaded buffer becomes the
// kept text. When the kept text can be read back from the editor's (a
// trace without lone carriage returns: valid UTF-8 is shown byte for byte,
// anything else as Windows-1252, a character per byte), the kept text is
// the editor's own once the outline is built: the frame keeps only the
// trace form of each final query the editor shows formatted, and makes a
// copy of the kept text again only when the user is about to edit the
// editor's text. The option switches by replacing those queries in place
// when the editor shows the trace's bytes; a Windows-1252 trace is read
// back for the switch and shown anew.
//
// A large text goes into the editor in slices (see loadTrace): the editor
// indexes every line as it takes the text in, about a third of a second
// for a 64 MiB trace, which would otherwise all come before the first
// paint.
#include <Qsci/qsciscintilla.h>

#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <future>

#include "app/trace_file.h"
#include "gui/multi_line_tree.h"
#include "gui/shown_text.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

// How long the slices after the first wait for the window's first paint.
constexpr int kFirstPaintWaitMs = 200;

}  // namespace

int TFMarrow::loadTrace(SVString& text, const char* path) {
  // Slices of a text still going in give way to the new one.
  sliceTimer_->stop();
  pending_.reset();
  backing_.reset();
  const int64_t fileBytes = text.length();
  text.append("\r\n", 2);
  // The loaded buffer becomes the kept text: no copy of it.
  text_ = std::move(text);
  text = SVString();
  if (path != nullptr) backing_ = std::make_unique<FileBackedBytes>(path, text_.data(), fileBytes);
  // What the bytes are and how many lines they make is counted on another
  // core while this one scans them; both only read the text.
  struct Counted {
    TraceTextFacts facts;
    int64_t lineFeeds = 0;
  };
  std::future<Counted> counting =
      std::async(std::launch::async | std::launch::deferred, [bytes = text_.data(), length = text_.length()] {
        return Counted{traceTextFacts(bytes, length), lineFeedsIn(bytes, length)};
      });
  keptInEditor_ = false;
  shownPieces_.clear();

  VirtualStringTree1->beginUpdate();
  VirtualStringTree1->clear();
  nodes_.reset();
  resetKeyPoints(keyPoints_);
  // The facts ride on the scan, over the text as scanned, while it is
  // still the frame's own.
  TraceFacts facts;
  bool outOfMemory = scanKeyPointsAndFacts(keyPoints_, facts, text_.data(), text_.length()) != 0;
  // The final queries are formatted on the other core meanwhile: that
  // moves the key points' lines only, which neither the digest nor the
  // outline reads.
  std::future<std::vector<FormattedPiece>> formatting;
  if (hasOption(*settings_, OptFormatFinalQuery)) {
    formatting = std::async(std::launch::async | std::launch::deferred,
                            [this] { return formatFinalQueryPieces(text_.data(), text_.length(), keyPoints_); });
  }
  // The digest keeps a copy of what it shows.
  outOfMemory = outOfMemory || digestTraceFacts(digest_, facts, keyPoints_.count()) != 0;
  facts = TraceFacts();
  // The key points' offsets describe the text as scanned, so the outline
  // is built over the kept text, not the re-formatted one.
  buildOutline(nodes_, keyPoints_, text_.data(), text_.length());
  std::vector<FormattedPiece> pieces;
  if (formatting.valid()) pieces = formatting.get();
  const Counted counted = counting.get();
  if (outOfMemory || nodes_.outOfMemory()) {
    // An outline without the records memory ran out for would pass for
    // the trace's: the frame is emptied instead, and the load fails.
    VirtualStringTree1->endUpdate();
    SVString none;
    loadTrace(none);
    return LoadNoMemory;
  }
  facts_ = counted.facts;
  fileLines_ = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, counted.lineFeeds + 1));
  const bool keepInEditor = facts_.loneCarriageReturns == 0;
  if (keepInEditor) notePieces(pieces);
  showText(pieces, keepInEditor, firstSliceBytes_, counted.lineFeeds);
  VirtualStringTree1->reserveNodes(nodes_.count());
  if (nodes_.count() > 0) fillOutlineTree(0, kNoTreeNode);
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

void TFMarrow::showText(std::vector<FormattedPiece>& pieces, bool giveBack, int64_t firstSlice,
                        int64_t keptLineFeeds) {
  singleByte_ = !facts_.validUtf8;
  SynEdit1->SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  const bool wrap = hasOption(*settings_, OptWrapText);
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_NONE));
  sliceTimer_->stop();
  pending_ = std::make_unique<PendingText>();
  pending_->pieces = std::move(pieces);
  pending_->keep = giveBack;
  const int64_t lines = shownLineFeeds(text_, keptLineFeeds, pending_->pieces) + 1;
  bool done = false;
  {
    TextChange change(*this);
    SynEdit1->SendScintilla(Sci::SCI_CLEARALL);
    pending_->appender =
        std::make_unique<ShownTextAppender>(*SynEdit1, text_, pending_->pieces, facts_, giveBack, backing_.get());
    done = pending_->appender->appendSlice(firstSlice);
    if (!done) pending_->lines = lines;
  }
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
  if (done) {
    textComplete();
    return;
  }
  holdScrollRange();
  // The rest waits for the first paint (see the event filter), or a
  // while when the editor is not painted.
  sliceTimer_->start(kFirstPaintWaitMs);
}

bool TFMarrow::appendUnwrapped(int64_t bytes) {
  // Wrapping, the editor would wrap every line as it goes in, a few
  // seconds for a few mebibytes; switched off and on again, it wraps the
  // lines it shows only.
  const bool wrap = SynEdit1->SendScintilla(Sci::SCI_GETWRAPMODE) != Sci::SC_WRAP_NONE;
  const long top = firstVisibleLine();
  if (wrap) SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_NONE));
  bool done = false;
  {
    TextChange change(*this);
    done = pending_->appender->appendSlice(bytes);
  }
  if (wrap) {
    SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(Sci::SC_WRAP_WORD));
    SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, top));
  }
  return done;
}

void TFMarrow::appendSlice() {
  if (!pending_) return;
  const bool done = appendUnwrapped(laterSliceBytes_);
  if (done) {
    textComplete();
    return;
  }
  sliceTimer_->start(0);
}

void TFMarrow::completeText() {
  if (!pending_) return;
  appendUnwrapped(INT64_MAX);
  textComplete();
}

void TFMarrow::textComplete() {
  sliceTimer_->stop();
  const bool keep = pending_ != nullptr && pending_->keep;
  const bool failed = pending_ != nullptr && pending_->appender->failed();
  const bool outOfMemory = pending_ != nullptr && pending_->appender->outOfMemory();
  pending_.reset();
  backing_.reset();
  if (outOfMemory) {
    // Part of the text is in, and the rest may have been given back: the
    // trace goes, from the event loop as below.
    dropTraceLater();
    return;
  }
  if (failed) {
    // Not from within whatever asked for the rest of the text: a new load
    // replaces the frame's text under its feet.
    QMetaObject::invokeMethod(this, &TFMarrow::traceChangedWhileOpening, Qt::QueuedConnection);
    return;
  }
  if (keep) {
    text_ = SVString();
    keptInEditor_ = true;
  }
  makeLineArrays();
}

void TFMarrow::setTextSlices(int64_t firstBytes, int64_t laterBytes) {
  firstSliceBytes_ = std::max<int64_t>(1, firstBytes);
  laterSliceBytes_ = std::max<int64_t>(1, laterBytes);
}

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

void TFMarrow::makeLineArrays() {
  // The editor keeps line states and markers in arrays as long as the
  // text, made the first time a line far down gets one: make them now, so
  // that the first jump there does not wait for them.
  const long lastLine = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
  SynEdit1->SendScintilla(Sci::SCI_SETLINESTATE, static_cast<unsigned long>(lastLine), 0L);
  SynEdit1->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(lastLine), kLastLineMarker);
  SynEdit1->SendScintilla(Sci::SCI_MARKERDELETE, static_cast<unsigned long>(lastLine), kLastLineMarker);
}

void TFMarrow::notePieces(const std::vector<FormattedPiece>& pieces) {
  shownPieces_.clear();
  shownPieces_.reserve(pieces.size());
  int64_t copied = 0;  // kept bytes before the next piece
  int64_t at = 0;      // their length in the editor, pieces included
  for (const FormattedPiece& piece : pieces) {
    at += shownLength(text_.data() + copied, piece.start - copied, facts_);
    ShownPiece& shown = shownPieces_.emplace_back();
    shown.start = at;
    shown.length = shownLength(piece.text.data(), static_cast<int64_t>(piece.text.size()), facts_);
    shown.trace.assign(text_.data() + piece.start, static_cast<size_t>(piece.length));
    at += shown.length;
    copied = piece.start + piece.length;
  }
}

void TFMarrow::restoreKeptText() {
  if (!keptInEditor_) return;
  const long length = SynEdit1->SendScintilla(Sci::SCI_GETLENGTH);
  const char* bytes = reinterpret_cast<const char*>(SynEdit1->SendScintilla(Sci::SCI_GETCHARACTERPOINTER));
  SVString kept;
  // No larger than the editor's text with the trace form of its queries;
  // made at once, the copy never grows by moving.
  int64_t traceBytes = 0;
  for (const ShownPiece& piece : shownPieces_) traceBytes += static_cast<int64_t>(piece.trace.size());
  kept.ensureCapacity(length + traceBytes + 1);
  int64_t copied = 0;
  for (const ShownPiece& piece : shownPieces_) {
    appendTraceBytes(bytes + copied, piece.start - copied, facts_, kept);
    kept.append(piece.trace.data(), static_cast<int64_t>(piece.trace.size()));
    copied = piece.start + piece.length;
  }
  appendTraceBytes(bytes + copied, length - copied, facts_, kept);
  text_ = std::move(kept);
  shownPieces_.clear();
  keptInEditor_ = false;
}

void TFMarrow::replaceShownRange(int64_t start, int64_t length, const char* bytes, int64_t count) {
  SynEdit1->SendScintilla(Sci::SCI_SETTARGETSTART, static_cast<unsigned long>(start));
  SynEdit1->SendScintilla(Sci::SCI_SETTARGETEND, static_cast<unsigned long>(start + length));
  SynEdit1->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<unsigned long>(count), bytes);
}

void TFMarrow::rebuildShownText(bool format) {
  // Shown as Windows-1252, the trace is read back and shown anew, again as
  // the only copy.
  const bool keepAgain = keptInEditor_ && !facts_.validUtf8;
  // The kept text is read back from the editor now, or may have been
  // edited: it is not the file's any more.
  backing_.reset();
  if (keepAgain) restoreKeptText();
  if (!keptInEditor_) {
    resetKeyPoints(keyPoints_);
    scanKeyPoints(keyPoints_, text_);
    if (droppedForMemory()) return;
    std::vector<FormattedPiece> pieces;
    if (format) pieces = formatFinalQueryPieces(text_.data(), text_.length(), keyPoints_);
    if (keepAgain) notePieces(pieces);
    showText(pieces, keepAgain, INT64_MAX, 0);
    return;
  }
  // In place, first to last, so that the editor's gap moves through the
  // text once.
  TextChange change(*this);
  int64_t delta = 0;
  for (const ShownPiece& piece : shownPieces_) {
    const auto traceLength = static_cast<int64_t>(piece.trace.size());
    replaceShownRange(piece.start + delta, piece.length, piece.trace.data(), traceLength);
    delta += traceLength - piece.length;
  }
  shownPieces_.clear();
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
  shownPieces_.reserve(pieces.size());
  for (const FormattedPiece& piece : pieces) {
    ShownPiece& shown = shownPieces_.emplace_back();
    shown.start = piece.start;
    shown.length = piece.formattedLength;
    shown.trace.assign(bytes + piece.start, static_cast<size_t>(piece.length));
  }
  delta = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    replaceShownRange(pieces[i].start + delta, pieces[i].length, pieces[i].text.data(), pieces[i].formattedLength);
    shownPieces_[i].start = pieces[i].start + delta;
    delta += pieces[i].formattedLength - pieces[i].length;
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
            if (changingText_ || !keptInEditor_) return;
            if (type & (Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE)) restoreKeptText();
          });
}
