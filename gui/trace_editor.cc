#include "gui/trace_editor.h"

#include <QAccessible>

#include "gui/editor_accessible.h"

TraceEditor::TraceEditor(QWidget* parent) : QsciScintilla(parent) {
  installEditorAccessibility();
  setReadOnly(true);
  setFrameShape(QFrame::NoFrame);
  setEdgeMode(QsciScintilla::EdgeNone);
  setMarginType(0, QsciScintilla::NumberMargin);
  setMarginLineNumbers(0, true);
  setMarginWidth(1, 0);
  setAutoIndent(true);
  setIndentationsUseTabs(false);
  setTabIndents(true);
  setBackspaceUnindents(true);
  // Scrolling past the last line and past the longest line, with the
  // horizontal range following the widest line shown.
  SendScintilla(SCI_SETENDATLASTLINE, 0L);
  SendScintilla(SCI_SETSCROLLWIDTH, 1L);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
  // Alt with the mouse selects a column.
  SendScintilla(SCI_SETMOUSESELECTIONRECTANGULARSWITCH, 1L);
  // Where the caret went, for a listening assistive technology only.
  connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(this);
    if (auto* editorAccessible = dynamic_cast<EditorAccessible*>(iface)) editorAccessible->caretMoved();
  });
}
