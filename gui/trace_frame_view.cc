// The frame's view commands: going to a line, and finding the reader's
// place again after the trace was loaded anew. They work through the
// frame's public accessors only.
#include <Qsci/qsciscintilla.h>

#include <QItemSelectionModel>

#include <algorithm>
#include <cstring>

#include "gui/multi_line_tree.h"
#include "gui/trace_frame.h"
#include "outline/line_shift.h"

namespace {

using Sci = QsciScintillaBase;

long send(QsciScintilla* editor, unsigned int message, unsigned long w = 0, long l = 0) {
  return editor->SendScintilla(message, w, l);
}

bool samePoint(const KeyPoint& a, const KeyPoint& b) {
  return a.kind == b.kind && a.level == b.level && std::strncmp(a.caption, b.caption, sizeof a.caption) == 0;
}

// `line` moved by as much as its anchor moved, when the anchor is still
// there; otherwise `line` as it was.
int32_t placeLine(const KeyPoints_c& points, int32_t line, int32_t anchor, const KeyPoint& was) {
  if (anchor < 0 || anchor >= points.count() || !samePoint(points[anchor], was)) return line;
  return movedLine(AnchoredLine{line, anchor, was.line}, points);
}

QString firstCaption(const NodeMarrow_Array_c& nodes, int32_t node) {
  const char* caption = nodes.caption(node, 1);
  return caption != nullptr ? QString::fromUtf8(caption) : QString();
}

}  // namespace

int32_t TFMarrow::lineCount() const {
  return static_cast<int32_t>(std::max<int64_t>(1, send(editor(), Sci::SCI_GETLINECOUNT) + linesToCome()));
}

int32_t TFMarrow::fileLineCount() const { return std::max<int32_t>(1, fileLines_); }

int32_t TFMarrow::shownLineOf(int32_t fileLine) const {
  return std::clamp(digestShownLine(digest_, fileLine, keyPoints_, lineCount() - fileLineCount()), 1, lineCount());
}

int32_t TFMarrow::fileLineOf(int32_t shownLine) const {
  return std::clamp(digestFileLine(digest_, shownLine, keyPoints_, lineCount() - fileLineCount()), 1,
                    fileLineCount());
}

void TFMarrow::goToFileLine(int32_t line) { goToLine(shownLineOf(std::clamp(line, 1, fileLineCount()))); }

void TFMarrow::goToLine(int32_t line) {
  if (deferWhilePending([this, line] { goToLine(line); })) return;
  QsciScintilla* text = editor();
  const int32_t target = std::clamp(line, 1, lineCount()) - 1;
  const int32_t row = topLineFor(target, target);
  send(text, Sci::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(row - 1));
  // Already in view now, so moving the caret scrolls no further.
  send(text, Sci::SCI_GOTOPOS, static_cast<unsigned long>(send(text, Sci::SCI_POSITIONFROMLINE, target)));
  text->setFocus(Qt::OtherFocusReason);
}

TFMarrow::ViewPlace TFMarrow::viewPlace() const {
  QsciScintilla* text = editor();
  ViewPlace place;
  place.topLine = firstVisibleLine();
  const long caret = send(text, Sci::SCI_GETCURRENTPOS);
  place.caretLine = static_cast<int32_t>(send(text, Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret)));
  place.caretOffset =
      static_cast<int32_t>(caret - send(text, Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(place.caretLine)));
  place.xOffset = static_cast<int32_t>(send(text, Sci::SCI_GETXOFFSET));
  const KeyPoints_c& points = keyPoints();
  place.topAnchor = anchorLine(points, place.topLine).anchor;
  if (place.topAnchor >= 0) place.topAnchorPoint = points[place.topAnchor];
  place.caretAnchor = anchorLine(points, place.caretLine).anchor;
  if (place.caretAnchor >= 0) place.caretAnchorPoint = points[place.caretAnchor];
  const QModelIndexList chosen = tree()->selectionModel()->selectedIndexes();
  const int32_t node = chosen.isEmpty() ? kNoTreeNode : tree()->nodeOf(chosen.first());
  if (node != kNoTreeNode) {
    place.chosenNode = tree()->item(node).userIndex;
    if (place.chosenNode >= 0 && place.chosenNode < nodes().count()) {
      place.chosenCaption = firstCaption(nodes(), place.chosenNode);
    } else {
      place.chosenNode = -1;
    }
  }
  return place;
}

void TFMarrow::restoreViewPlace(const ViewPlace& place) {
  if (deferWhilePending([this, place] { restoreViewPlace(place); })) return;
  QsciScintilla* text = editor();
  if (place.chosenNode >= 0 && place.chosenNode < nodes().count() &&
      place.chosenCaption == firstCaption(nodes(), place.chosenNode)) {
    MultiLineTree0* outline = tree();
    for (int32_t node = 0; node < outline->nodeCount(); ++node) {
      if (outline->item(node).userIndex != place.chosenNode) continue;
      for (QModelIndex up = outline->indexOf(node).parent(); up.isValid(); up = up.parent()) outline->expand(up);
      outline->chooseNode(node);
      break;
    }
  }
  const KeyPoints_c& points = keyPoints();
  const int32_t last = lineCount() - 1;
  const int32_t top = std::clamp(placeLine(points, place.topLine, place.topAnchor, place.topAnchorPoint), 0, last);
  const int32_t caretLine =
      std::clamp(placeLine(points, place.caretLine, place.caretAnchor, place.caretAnchorPoint), 0, last);
  const long lineStart = send(text, Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(caretLine));
  const long lineEnd = send(text, Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(caretLine));
  const long caret = std::min(lineStart + place.caretOffset, lineEnd);
  // Placed without scrolling; the view is set after it.
  send(text, Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
  send(text, Sci::SCI_SETFIRSTVISIBLELINE,
       static_cast<unsigned long>(send(text, Sci::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(top))));
  send(text, Sci::SCI_SETXOFFSET, static_cast<unsigned long>(place.xOffset));
}
