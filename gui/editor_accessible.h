// The trace editor as assistive technology sees it.
//
// The editor library's own accessibility object counts the characters from
// the start of the text to the caret after every update of the view, a
// walk over the whole text when the caret is deep in a large trace. This
// object serves the same questions from line starts: a character offset is
// the offset of its line plus a count within the line, and cursor events
// are sent only while an assistive technology listens.
#pragma once

#include <QAccessibleWidget>

class QsciScintilla;

// Registers the factory that gives every TraceEditor an EditorAccessible.
// Safe to call more than once.
void installEditorAccessibility();

class EditorAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit EditorAccessible(QsciScintilla* editor);

  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleTextInterface: offsets count UTF-16 code units of the text
  // as shown.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  // Text units around an offset, found within the offset's line, so that
  // no question reads more than one line.
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  // The character offset of a document position and back.
  int offsetOf(long position) const;
  long positionOf(int offset) const;

  // Tells a listening assistive technology where the caret went.
  void caretMoved();

 private:
  QsciScintilla* editor() const;
  long send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
  // The text between two document positions, decoded as shown.
  QString range(long start, long end) const;

  // The editor keeps the UTF-16 offset of every line of a document once
  // asked to, at the cost of one pass over the text: asked on first use of
  // each document, by an assistive technology only.
  void ensureLineIndex() const;
  int lastCaretOffset_ = -1;
};
