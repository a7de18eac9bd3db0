// The comparison view's texts and markers: the editors swap in the
// documents the job built, and the differing lines get their markers a
// block at a time, as the views come to them.
#include <Qsci/qscidocument.h>

#include <QTimer>

#include <algorithm>
#include <vector>

#include "compare/view_alignment.h"
#include "gui/aligned_scrolling.h"
#include "gui/compare_view.h"
#include "gui/comparison_job.h"
#include "gui/document_loader.h"
#include "gui/trace_editor.h"
#include "gui/trace_lexer.h"
#include "gui/zero_page_record.h"

namespace {

using Sci = QsciScintillaBase;

// Rows of the text above the chosen difference's first line.
constexpr int32_t kRowsAbove = 1;

}  // namespace

void CompareView::showDocument(Side& side, std::unique_ptr<DocumentLoader> document) {
  TraceEditor* editor = side.editor;
  document->showIn(*editor);
  releaseAway(std::move(side.document));
  side.document = std::move(document);
  // What belongs to the document starts afresh: its code page (with the
  // whole text in, setting it costs nothing: the line ends stay), its
  // read-only state, and its styles, which the lexer makes for the lines
  // the view shows.
  editor->SendScintilla(Sci::SCI_SETCODEPAGE, long(Sci::SC_CP_UTF8));
  editor->setReadOnly(true);
  side.lexer->textChanged();
}

void CompareView::showDocuments() {
  // One side per turn of the event loop: a swap takes up to ten
  // milliseconds, and input between the two is answered.
  showDocument(a_, job_->takeDocument(kComparedA));
  QTimer::singleShot(0, this, [this] { showDocumentB(); });
}

void CompareView::showDocumentB() {
  // A job dropped meanwhile frees B's document itself.
  std::unique_ptr<DocumentLoader> document = job_ ? job_->takeDocument(kComparedB) : nullptr;
  if (!document) return;
  showDocument(b_, std::move(document));
  updateGutters();
}

void CompareView::presentLater() {
  // The marker arrays are made once the job's threads are done: beside
  // them, faulting in the fresh pages took up to 130 ms instead of 12.
  // One side per turn, then the comparison shows. A comparison dropped
  // or started anew meanwhile ends the chain.
  const FileComparison* arriving = arriving_.get();
  auto current = [this, arriving] { return !job_ && arriving_ && arriving_.get() == arriving; };
  QTimer::singleShot(0, this, [this, current] {
    if (!current()) return;
    makeMarkerRoom(a_);
    QTimer::singleShot(0, this, [this, current] {
      if (!current()) return;
      makeMarkerRoom(b_);
      QTimer::singleShot(0, this, [this, current] {
        if (!current()) return;
        comparison_ = std::move(arriving_);
        present();
      });
    });
  });
}

void CompareView::makeMarkerRoom(Side& side) {
  TraceEditor* editor = side.editor;
  const long last = std::max(0L, editor->SendScintilla(Sci::SCI_GETLINECOUNT) - 1);
  if (editor->SendScintilla(Sci::SCI_MARKERGET, static_cast<unsigned long>(last)) != 0) return;
  ZeroPageRecord room;
  {
    const ZeroPageRecord::Open noting(room);
    editor->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(last), kChosenLineMarker);
    editor->SendScintilla(Sci::SCI_MARKERDELETE, static_cast<unsigned long>(last), kChosenLineMarker);
  }
  // No line is marked yet: the room holds only null pointers, whose pages
  // come back a block of marked lines at a time.
  room.giveBackZeroPages();
}

void CompareView::emptyEditorsLater() {
  // Letting go of a large document takes an editor up to twenty
  // milliseconds: one editor per turn, after the window has shown what
  // comes next. A comparison started meanwhile empties them itself.
  QTimer::singleShot(0, this, [this, turn = ++emptying_] {
    if (turn != emptying_) return;
    emptyEditor(a_);
    QTimer::singleShot(0, this, [this, turn] {
      if (turn == emptying_) emptyEditor(b_);
    });
  });
}

void CompareView::emptyEditor(Side& side) {
  // A document of its own frees the old text whole; clearing it would
  // keep its buffer.
  side.editor->setDocument(QsciDocument());
  releaseAway(std::move(side.document));
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
  // Only the lines chosen before carry the chosen marker: clearing it
  // from every line would visit every line of the trace.
  markChosen(side, false);
  side.chosenFirst = first;
  side.chosenCount = std::max(0, count);
  if (side.chosenCount == 0) {
    side.lexer->setHighlightedLines(-1, -1);
    return;
  }
  side.lexer->setHighlightedLines(first, first + count);
  markChosen(side, true);
}

void CompareView::markChosen(Side& side, bool add) {
  if (side.chosenCount == 0 || !comparison_) return;
  // Blocks marked later take the chosen marker as they are marked.
  const int32_t first = side.chosenFirst;
  const int32_t last = first + side.chosenCount - 1;
  for (int32_t block = first / kMarkBlockLines;
       block <= last / kMarkBlockLines && block < static_cast<int32_t>(side.markedBlocks.size()); ++block) {
    if (!side.markedBlocks[block]) continue;
    PackedRecords<int32_t> lines;
    const int32_t from = std::max(first, block * kMarkBlockLines) + 1;
    const int32_t to = std::min(last, (block + 1) * kMarkBlockLines - 1) + 1;
    if (differingLines(comparison_->comparison, side.isA, from, to, lines) != 0) return;
    for (int32_t line : lines) {
      side.editor->SendScintilla(add ? Sci::SCI_MARKERADD : Sci::SCI_MARKERDELETE, static_cast<unsigned long>(line - 1),
                                 kChosenLineMarker);
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
