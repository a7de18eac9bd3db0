// Placing the trace frame's view: choosing outline nodes, the chosen
// section's shading, and keeping the reading position when wrapping or the
// final-query option changes what the lines look like.
#include <Qsci/qsciscintilla.h>

#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

#include "gui/editor_colour.h"
#include "gui/multi_line_tree.h"
#include "gui/press_again.h"
#include "gui/trace_editor.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"
#include "outline/line_shift.h"

namespace {

using Sci = QsciScintillaBase;

bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
      return true;
    default:
      return false;
  }
}

}  // namespace

void TFMarrow::setUpNavigation() {
  // The last line of the text is the empty one after the appended line
  // end: it has no character to carry the shading's style, so a line
  // background marker shades it.
  SynEdit1->SendScintilla(Sci::SCI_MARKERDEFINE, kLastLineMarker, long(Sci::SC_MARK_BACKGROUND));
  SynEdit1->SendScintilla(Sci::SCI_MARKERSETBACK, kLastLineMarker, bgr(TraceLexer::highlightBackground()));
  // A press on the node that is already chosen jumps again.
  new PressAgain(VirtualStringTree1, [this] { return jumps_; }, [this](const QModelIndex& index) {
    const int32_t node = VirtualStringTree1->nodeOf(index);
    if (node != kNoTreeNode) VirtualStringTree1Change(&VirtualStringTree1->item(node));
  });
}

bool TFMarrow::eventFilter(QObject* watched, QEvent* event) {
  if (pending_ && watched == SynEdit1 && event->type() == QEvent::KeyPress) {
    // Keys act on the first screens at once. Ctrl+End goes to their end
    // now and to the end of the whole text once it is in; any other key
    // (a modifier alone moves nothing) takes the reader elsewhere.
    const auto* key = static_cast<QKeyEvent*>(event);
    // An edit goes into the whole text, which it waits for: the first
    // screens' document goes at the swap.
    const bool edits = !key->text().isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete;
    if (edits && !hasOption(*settings_, OptReadOnly) && !(key->modifiers() & Qt::ControlModifier)) {
      completeText();
      return QWidget::eventFilter(watched, event);
    }
    if (!isModifierKey(key->key())) {
      const bool toEnd = key->key() == Qt::Key_End && (key->modifiers() & Qt::ControlModifier);
      const bool extend = (key->modifiers() & Qt::ShiftModifier) != 0;
      pending_->toEnd = !toEnd ? 0 : extend ? Sci::SCI_DOCUMENTENDEXTEND : Sci::SCI_DOCUMENTEND;
      pending_->wantedTop = -1;
    }
  }
  return QWidget::eventFilter(watched, event);
}

int32_t TFMarrow::firstVisibleLine() const {
  const long top = SynEdit1->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
  return static_cast<int32_t>(SynEdit1->SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, top));
}

int32_t TFMarrow::topLineFor(int32_t first, int32_t last) const {
  const long rows = SynEdit1->SendScintilla(Sci::SCI_LINESONSCREEN);
  const long top = SynEdit1->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE) + 1;
  const long d = SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, long(first)) + 1;
  // Lines past the end of the text count as rows of their own: near the
  // end the range is not "in view" just because the text stops, and the
  // view scrolls past the end to put the key point on the second row.
  const long lastLine = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
  const long c = SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, std::min<long>(last, lastLine)) + 1 +
                 std::max<long>(0, long(last) - lastLine);
  long result;
  if (c - d + 1 > rows || d < top || top + rows <= c) {
    result = d - 1;  // the key point's line becomes the second visible row
  } else {
    result = top;  // the whole range is in view already
  }
  return static_cast<int32_t>(std::max(result, 1L));
}

void TFMarrow::VirtualStringTree1Change(const MultiLineItem* item) {
  if (item == nullptr || item->userIndex < 0 || item->userIndex >= nodes_.count()) return;
  const OutlineNode& node = nodes_[item->userIndex];
  if (node.keyPointIndex < 0 || node.keyPointIndex >= keyPoints_.count()) return;
  ++jumps_;
  const int32_t start = keyPoints_[node.keyPointIndex].line;

  // The section ends where the next sibling of the node, or of its nearest
  // ancestor that has one, begins.
  int32_t end = kNoNode;
  for (int32_t n = item->userIndex; n != kNoNode && end == kNoNode; n = nodes_[n].parent) {
    end = nodes_[n].nextSibling;
  }
  int32_t last = kHighlightToEnd;
  if (end != kNoNode && nodes_[end].keyPointIndex >= 0 && nodes_[end].keyPointIndex < keyPoints_.count()) {
    last = keyPoints_[nodes_[end].keyPointIndex].line;
  }
  // A section past the first screens' lines is placed once the whole
  // text is in (its lines, shaded, show then); one among them at once.
  const long loaded = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT);
  const long rows = SynEdit1->SendScintilla(Sci::SCI_LINESONSCREEN);
  if (!pending_ || start + rows + 1 < loaded) {
    placeSection(start, last);
  } else {
    const int32_t keyPoint = node.keyPointIndex;
    deferWhilePending([this, keyPoint, last] {
      // The key points may have moved meanwhile (the final-query switch).
      if (keyPoint < keyPoints_.count()) placeSection(keyPoints_[keyPoint].line, last);
    });
  }
  emit nodeChosen(node.keyPointIndex);
}

void TFMarrow::showLines(int32_t first, int32_t last) {
  if (deferWhilePending([this, first, last] { showLines(first, last); })) return;
  const int32_t lines = lineCount();
  first = std::clamp(first, 1, lines);
  placeSection(first - 1, std::clamp(last, first, lines));
}

void TFMarrow::placeSection(int32_t start, int32_t end) {
  highlightStart_ = start;
  highlightEnd_ = end;
  // The caret goes to the start of the key point's line, so that the next
  // key in the editor moves on from there and does not snap back.
  const long caret = SynEdit1->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(start));
  if (caret >= 0) {
    SynEdit1->SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
    SynEdit1->SendScintilla(Sci::SCI_CHOOSECARETX);
  }
  const int32_t row = topLineFor(start, start < INT32_MAX - 200 ? start + 200 : INT32_MAX);
  SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, long(row - 1));
  static_cast<TraceEditor*>(SynEdit1)->widenToShownLines();
  showHighlight();
}

void TFMarrow::showHighlight() {
  lexer_->setHighlightedLines(highlightStart_, highlightEnd_);
  // Deleting every marker would visit every line; only the last has one.
  const long lastLine = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT) - 1;
  const bool shaded = highlightStart_ >= 0 && highlightStart_ <= lastLine && lastLine < highlightEnd_;
  SynEdit1->SendScintilla(Sci::SCI_MARKERDELETE, static_cast<unsigned long>(lastLine), kLastLineMarker);
  if (shaded) SynEdit1->SendScintilla(Sci::SCI_MARKERADD, static_cast<unsigned long>(lastLine), kLastLineMarker);
  updateSelectionColours();
  SynEdit1->viewport()->update();
}

TFMarrow::ViewTop TFMarrow::captureTop() const {
  ViewTop top;
  const long row = SynEdit1->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
  const long line = SynEdit1->SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, row);
  const long lineRow = SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line);
  top.line = static_cast<int32_t>(line);
  if (row > lineRow) {
    // The top row continues a wrapped line: what counts is the next line
    // and the rows of this one still above it.
    const long nextRow = SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line + 1);
    top.rowsAbove = static_cast<int32_t>(std::max(0L, nextRow - row));
  }
  return top;
}

void TFMarrow::restoreTop(int32_t line, int32_t rowsAbove) {
  const long lines = SynEdit1->SendScintilla(Sci::SCI_GETLINECOUNT);
  line = static_cast<int32_t>(std::clamp<long>(line, 0, std::max(0L, lines - 1)));
  SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, long(line)));
  if (rowsAbove <= 0) return;
  // The rows above count only once the lines around the view are wrapped,
  // which painting does; the editor then keeps the top line as it wraps
  // the rest.
  SynEdit1->viewport()->repaint();
  const long row = SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, long(line)) - rowsAbove;
  SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, std::max(0L, row));
}

void TFMarrow::setWrap(bool on) {
  setOption(*settings_, OptWrapText, on);
  // The first visible document line stays first: without this, turning
  // wrapping off would keep the row number and move down by every extra
  // row the lines above had.
  const long line = firstVisibleLine();
  SynEdit1->SendScintilla(Sci::SCI_SETWRAPMODE, long(on ? Sci::SC_WRAP_WORD : Sci::SC_WRAP_NONE));
  // The editor applies the new line heights when it next paints, keeping
  // the top row's document line if wrapping and the top row number if
  // not. The rows counted now are those of the old heights: right for
  // wrapping, where they agree with the editor's own count; without
  // wrapping, a row is a line.
  SynEdit1->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE,
                          on ? SynEdit1->SendScintilla(Sci::SCI_VISIBLEFROMDOCLINE, line) : line);
}

void TFMarrow::setFormatFinalQuery(bool on) {
  setOption(*settings_, OptFormatFinalQuery, on);
  if (applyingOptions_) return;
  // The queries are switched in the whole text.
  if (deferWhilePending([this, on] { setFormatFinalQuery(on); })) return;

  // The top as a 1-based line number. When the top row continues a wrapped
  // line, the same number read as a 0-based line is the line after it,
  // which is kept with the rows above it (a key point on the second row
  // stays there).
  const ViewTop view = captureTop();
  int32_t top = view.line + 1;
  // Each moves with the last key point at or above it.
  const AnchoredLine topHeld = anchorLine(keyPoints_, top);
  const AnchoredLine endHeld = anchorLine(keyPoints_, highlightEnd_);
  const AnchoredLine startHeld = endHeld.anchor < 0 ? AnchoredLine{highlightStart_} :
                                                      anchorLine(keyPoints_, highlightStart_, endHeld.anchor);

  rebuildShownText(on);

  top = movedLine(topHeld, keyPoints_);
  if (highlightEnd_ != kHighlightToEnd) highlightEnd_ = movedLine(endHeld, keyPoints_);
  highlightStart_ = movedLine(startHeld, keyPoints_);
  restoreTop(view.rowsAbove > 0 ? top : std::max(top - 1, 0), view.rowsAbove);
  showHighlight();
  emit shownTextChanged();
}
