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

 protected:
  // With wrapping on, the keys that move the caret by lines, pages or to
  // either end are done here from the view's geometry. The editor's own
  // commands first wrap every line down to the caret's new line, which on
  // a large trace takes seconds per few megabytes below the part already
  // wrapped; placing the caret and scrolling the view wrap only what shows.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Moves the caret to `position`, extending the selection when `extend`.
  void moveCaret(long position, bool extend);
  // The caret one row (`rows` = +1 or -1) or one page up or down.
  void moveByRows(long rows, bool page, bool extend);
};
