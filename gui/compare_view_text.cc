// The comparison view's texts and markers: the two traces go into their
// editors a chunk per turn of the event loop, and the differing lines get
// their markers a block at a time, as the views come to them.
#include <Qsci/qscidocument.h>

#include <QTimer>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/trace_file.h"
#include "compare/view_alignment.h"
#include "gui/aligned_scrolling.h"
#include "gui/compare_view.h"
#include "gui/comparison_job.h"
#include "gui/shown_text.h"
#include "gui/trace_editor.h"
#include "gui/trace_lexer.h"

namespace {

using Sci = QsciScintillaBase;

// Rows of the text above the chosen difference's first line.
constexpr int32_t kRowsAbove = 1;

}  // namespace

void CompareView::beginFill(Side& side, int64_t shownBytes) {
  TraceEditor* editor = side.editor;
  editor->SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  editor->setReadOnly(false);
  // No undo record (a second copy of the text) and no change notices (one
  // object each); the lexer is told once at the end.
  editor->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0L);
  editor->SendScintilla(Sci::SCI_SETMODEVENTMASK, 0L);
  // Room for the whole text at once: growing by chunks would copy it. The
  // editor fills the room it makes, so it is not much more than is needed.
  editor->SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(shownBytes + 64));
}

void CompareView::endFill(Side& side) {
  TraceEditor* editor = side.editor;
  editor->SendScintilla(Sci::SCI_SETMODEVENTMASK, side.eventMask);
  editor->SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
  editor->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1L);
  editor->SendScintilla(Sci::SCI_SETSAVEPOINT);
  editor->setReadOnly(true);
  side.lexer->textChanged();
}

void CompareView::fillStep() {
  if (!filling_) return;
  Filling& f = *filling_;
  Side& side = f.intoA ? a_ : b_;
  const ComparisonResult& source = f.owned ? *f.owned : *f.source;
  const ComparedFile& file = f.intoA ? source.files.a : source.files.b;
  const TraceTextFacts& facts = f.intoA ? source.shownA : source.shownB;
  const char* text = file.text.c_str();
  const int64_t length = file.text.length();
  if (f.done == 0) beginFill(side, f.intoA ? source.shownBytesA : source.shownBytesB);
  // A chunk ends after a line feed, so that a carriage return and its line
  // feed stay together.
  int64_t end = std::min(length, f.done + kFillChunkBytes);
  if (end < length) {
    const void* feed = std::memchr(text + end, '\n', static_cast<size_t>(length - end));
    end = feed ? static_cast<const char*>(feed) - text + 1 : length;
  }
  SVString chunk;
  if (chunk.append(text + f.done, end - f.done) != 0) {
    const QByteArray path = f.intoA ? pathA_ : pathB_;
    clear();
    emit failed(LoadNoMemory, path);
    return;
  }
  std::vector<FormattedPiece> none;
  appendShownText(*side.editor, chunk, none, facts, false);
  f.done = end;
  if (f.done < length) {
    fillTimer_->start();
    return;
  }
  endFill(side);
  if (f.intoA) {
    f.intoA = false;
    f.done = 0;
    fillTimer_->start();
    return;
  }
  f.filled = true;
  if (f.owned) present();
}

void CompareView::emptyEditor(Side& side) {
  // A document of its own frees the old text whole; clearing it would
  // keep its buffer.
  side.editor->setDocument(QsciDocument());
  side.editor->SendScintilla(Sci::SCI_SETMODEVENTMASK, side.eventMask);
  side.editor->setReadOnly(true);
  side.markedBlocks.clear();
  side.chosenCount = 0;
  side.lexer->setHighlightedLines(-1, -1);
  side.lexer->textChanged();
}

void CompareView::markAround(Side& side) {
  if (!comparison_ || side.markedBlocks.empty()) return;
  const int32_t top = AlignedScrolling::topLine(side.editor);
  const int32_t rows = static_cast<int32_t>(std::max(1L, side.editor->SendScintilla(Sci::SCI_LINESONSCREEN)));
  const int32_t first = std::max(0, top - rows) / kMarkBlockLines;
  const int32_t last = std::min(static_cast<int64_t>(side.markedBlocks.size()) - 1,
                                (static_cast<int64_t>(top) + 2 * rows) / kMarkBlockLines);
  for (int32_t block = first; block <= last; ++block) {
    if (!side.markedBlocks[block]) markBlock(side, block);
  }
}

void CompareView::markBlock(Side& side, int32_t block) {
  side.markedBlocks[block] = 1;
  PackedRecords<int32_t> lines;
  const int32_t first = block * kMarkBlockLines + 1;
  if (differingLines(comparison_->comparison, side.isA, first, first + kMarkBlockLines - 1, lines) != 0) return;
  const long differing = 1L << kDifferingLineMarker | 1L << kDifferingBarMarker;
  for (int32_t line : lines) {
    const bool chosen = line - 1 >= side.chosenFirst && line - 1 < side.chosenFirst + side.chosenCount;
    side.editor->SendScintilla(Sci::SCI_MARKERADDSET, static_cast<unsigned long>(line - 1),
                               differing | (chosen ? 1L << kChosenLineMarker : 0));
  }
  PackedRecords<int32_t> noise;
  if (noiseLinesInRuns(comparison_->comparison, side.isA, first, first + kMarkBlockLines - 1, noise) != 0) return;
  for (int32_t line : noise) {
    side.editor->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(line - 1), kNoiseLineMarker);
  }
}

void CompareView::setChosen(Side& side, int32_t first, int32_t count) {
  TraceEditor* editor = side.editor;
  editor->SendScintilla(Sci::SCI_MARKERDELETEALL, kChosenLineMarker);
  side.chosenFirst = first;
  side.chosenCount = std::max(0, count);
  if (side.chosenCount == 0) {
    side.lexer->setHighlightedLines(-1, -1);
    return;
  }
  side.lexer->setHighlightedLines(first, first + count);
  // The chosen marker on the differing lines of the blocks marked so far;
  // blocks marked later take it as they are marked.
  const int32_t last = first + count - 1;
  for (int32_t block = first / kMarkBlockLines;
       block <= last / kMarkBlockLines && block < static_cast<int32_t>(side.markedBlocks.size()); ++block) {
    if (!side.markedBlocks[block]) continue;
    PackedRecords<int32_t> lines;
    const int32_t from = std::max(first, block * kMarkBlockLines) + 1;
    const int32_t to = std::min(last, (block + 1) * kMarkBlockLines - 1) + 1;
    if (differingLines(comparison_->comparison, side.isA, from, to, lines) != 0) return;
    for (int32_t line : lines) {
      editor->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(line - 1), kChosenLineMarker);
    }
  }
}

void CompareView::placeChosen(Side& side, int32_t line, int32_t count) {
  TraceEditor* editor = side.editor;
  const long start = editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
  if (start >= 0) {
    editor->SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(start));
    editor->SendScintilla(Sci::SCI_CHOOSECARETX);
  }
  AlignedScrolling::setTopLine(editor, line - 1 - kRowsAbove);
  editor->SendScintilla(Sci::SCI_SETXOFFSET, 0UL);
  setChosen(side, line - 1, count);
  markAround(side);
  editor->viewport()->update();
}
