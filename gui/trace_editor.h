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
};
