// TraceEditor: the editor control of the trace frame, set up for reading
// large traces: read only at first, line numbers in the gutter, scrolling
// past the last line and the longest line, Alt with the mouse selecting a
// column, and an accessibility object that never walks the whole text
// (EditorAccessible).
#pragma once

#include <Qsci/qsciscintilla.h>

class TraceEditor : public QsciScintilla {
  Q_OBJECT

 public:
  explicit TraceEditor(QWidget* parent = nullptr);

  // Widens the sideways scroll range to the widest line in view, as the
  // editor does when it paints such a line, and lays out the scroll bars
  // at once. The editor itself widens only 50 ms after the paint that
  // found the line, and then paints the view again: call this after moving
  // the view. Each paint does it too, as a last resort.
  void widenToShownLines();

  // How many times the widest line in view was measured (laid out, or
  // for a very long line reckoned from its characters) since construction:
  // for tests.
  int64_t widthMeasurements() const { return widthMeasurements_; }

 protected:
  // With wrapping on, the keys that move the caret by lines, pages or to
  // either end are done here from the view's geometry. The editor's own
  // commands first wrap every line down to the caret's new line, which on
  // a large trace takes seconds per few megabytes below the part already
  // wrapped; placing the caret and scrolling the view wrap only what shows.
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // With wrapping on, the editor wraps the lines it paints and, when idle,
  // every other line: about 15 us a line, tens of seconds on a large trace,
  // started again by every font step, with the scroll bars changing all
  // along. Its idle timer is stopped instead while wrapping is on, so that
  // only the lines shown are wrapped.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Finds the editor's idle timer, which the editor library creates the
  // first time it has idle work (and keeps), by giving it some.
  void findIdleTimer();
  // Widens as widenToShownLines does; true when it did.
  bool widen();
  // The width of the text [start, end) (one line) in the editor's
  // fixed-pitch face, reckoned from its characters without laying it out;
  // `digitWidth` is the face's digit width.
  long reckonedWidth(long start, long end, long digitWidth);
  // Moves the caret to `position`, extending the selection when `extend`.
  void moveCaret(long position, bool extend);
  // The caret one row (`rows` = +1 or -1) or one page up or down.
  void moveByRows(long rows, bool page, bool extend);
  // The first visible row that puts document line `line` at the foot of
  // the view.
  long topShowingAtFoot(long line);
  // Paging down ends with the last line at the foot of the view: the room
  // below the end is for the jumps that put a line near the end on the
  // second row, not for paging into. Moves the view back up to that stop
  // when a page from first visible row `topBefore` went past it (never
  // above `topBefore`: a view already past it stays).
  void stopPagingAtTheEnd(long topBefore);

  QObject* idleTimer_ = nullptr;
  // The line last measured by widen(), with what its width depends on, so
  // that a paint with nothing changed (the caret blinking) measures
  // nothing: laying out a line of megabytes takes seconds.
  struct MeasuredLine {
    long start = -1;
    long end = -1;
    long textLength = -1;
    long zoom = 0;
    long digitWidth = 0;
    long scrollWidth = 0;  // the range left after it
  };
  MeasuredLine measured_;
  int64_t widthMeasurements_ = 0;
};
