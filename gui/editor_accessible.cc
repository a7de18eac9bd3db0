#include "gui/editor_accessible.h"

#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QTextBoundaryFinder>

#include <algorithm>

#include "gui/trace_editor.h"

namespace {

using Sci = QsciScintillaBase;

QAccessibleInterface* editorFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(TraceEditor::staticMetaObject.className())) return nullptr;
  auto* editor = qobject_cast<TraceEditor*>(object);
  return editor ? new EditorAccessible(editor) : nullptr;
}

}  // namespace

void installEditorAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(editorFactory);
    return true;
  }();
  (void)installed;
}

EditorAccessible::EditorAccessible(QsciScintilla* editor) : QAccessibleWidget(editor, QAccessible::EditableText) {}

void* EditorAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QsciScintilla* EditorAccessible::editor() const { return static_cast<QsciScintilla*>(widget()); }

long EditorAccessible::send(unsigned int message, unsigned long wParam, long lParam) const {
  return editor()->SendScintilla(message, wParam, lParam);
}

void EditorAccessible::ensureLineIndex() const {
  // The index belongs to the document, so it is asked of the document: one
  // the editor was given since (closing a comparison gives it an empty
  // one, which may even take the old one's address) has none yet.
  if (send(Sci::SCI_GETLINECHARACTERINDEX) & Sci::SC_LINECHARACTERINDEX_UTF16) return;
  send(Sci::SCI_ALLOCATELINECHARACTERINDEX, Sci::SC_LINECHARACTERINDEX_UTF16);
}

int EditorAccessible::offsetOf(long position) const {
  ensureLineIndex();
  position = std::clamp(position, 0L, send(Sci::SCI_GETLENGTH));
  const long line = send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  const long lineStart = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long lineOffset = send(Sci::SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line),
                               Sci::SC_LINECHARACTERINDEX_UTF16);
  return static_cast<int>(lineOffset + send(Sci::SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), position));
}

long EditorAccessible::positionOf(int offset) const {
  if (offset <= 0) return 0;
  ensureLineIndex();
  const long line = send(Sci::SCI_LINEFROMINDEXPOSITION, static_cast<unsigned long>(offset),
                         Sci::SC_LINECHARACTERINDEX_UTF16);
  const long lineStart = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long lineOffset = send(Sci::SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line),
                               Sci::SC_LINECHARACTERINDEX_UTF16);
  return send(Sci::SCI_POSITIONRELATIVECODEUNITS, static_cast<unsigned long>(lineStart), offset - lineOffset);
}

QString EditorAccessible::range(long start, long end) const {
  const long length = send(Sci::SCI_GETLENGTH);
  start = std::clamp(start, 0L, length);
  end = std::clamp(end, start, length);
  const char* bytes =
      reinterpret_cast<const char*>(send(Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
  return bytes ? QString::fromUtf8(bytes, end - start) : QString();
}

void EditorAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex != 0 || selectionCount() == 0) return;
  *startOffset = offsetOf(send(Sci::SCI_GETSELECTIONSTART));
  *endOffset = offsetOf(send(Sci::SCI_GETSELECTIONEND));
}

int EditorAccessible::selectionCount() const {
  return send(Sci::SCI_GETSELECTIONSTART) != send(Sci::SCI_GETSELECTIONEND) ? 1 : 0;
}

void EditorAccessible::addSelection(int startOffset, int endOffset) { setSelection(0, startOffset, endOffset); }

void EditorAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) send(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(send(Sci::SCI_GETCURRENTPOS)));
}

void EditorAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex != 0) return;
  send(Sci::SCI_SETSEL, static_cast<unsigned long>(positionOf(startOffset)), positionOf(endOffset));
}

int EditorAccessible::cursorPosition() const { return offsetOf(send(Sci::SCI_GETCURRENTPOS)); }

void EditorAccessible::setCursorPosition(int position) {
  send(Sci::SCI_GOTOPOS, static_cast<unsigned long>(positionOf(position)));
}

QString EditorAccessible::text(int startOffset, int endOffset) const {
  return range(positionOf(startOffset), positionOf(endOffset));
}

QString EditorAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                       int* endOffset) const {
  *startOffset = *endOffset = -1;
  const long position = positionOf(offset);
  const long line = send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  const long lineStart = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long lineEnd = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + 1));
  const int lineOffset = offsetOf(lineStart);
  const QString lineText = range(lineStart, lineEnd);
  if (boundaryType == QAccessible::LineBoundary || boundaryType == QAccessible::ParagraphBoundary ||
      boundaryType == QAccessible::NoBoundary) {
    *startOffset = lineOffset;
    *endOffset = lineOffset + static_cast<int>(lineText.size());
    return lineText;
  }
  QTextBoundaryFinder::BoundaryType type = QTextBoundaryFinder::Grapheme;
  if (boundaryType == QAccessible::WordBoundary) type = QTextBoundaryFinder::Word;
  if (boundaryType == QAccessible::SentenceBoundary) type = QTextBoundaryFinder::Sentence;
  QTextBoundaryFinder finder(type, lineText);
  const int within = std::clamp(offset - lineOffset, 0, static_cast<int>(lineText.size()));
  finder.setPosition(within);
  int from = finder.isAtBoundary() ? within : static_cast<int>(finder.toPreviousBoundary());
  finder.setPosition(within);
  int to = static_cast<int>(finder.toNextBoundary());
  if (from < 0) from = 0;
  if (to < 0) to = static_cast<int>(lineText.size());
  *startOffset = lineOffset + from;
  *endOffset = lineOffset + to;
  return lineText.mid(from, to - from);
}

QString EditorAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                           int* endOffset) const {
  int start = 0, end = 0;
  textAtOffset(offset, boundaryType, &start, &end);
  if (start <= 0) {
    *startOffset = *endOffset = -1;
    return QString();
  }
  return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
}

QString EditorAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                          int* endOffset) const {
  int start = 0, end = 0;
  textAtOffset(offset, boundaryType, &start, &end);
  if (end >= characterCount()) {
    *startOffset = *endOffset = -1;
    return QString();
  }
  return textAtOffset(end, boundaryType, startOffset, endOffset);
}

int EditorAccessible::characterCount() const { return offsetOf(send(Sci::SCI_GETLENGTH)); }

QRect EditorAccessible::characterRect(int offset) const {
  const long position = positionOf(offset);
  const int x = static_cast<int>(send(Sci::SCI_POINTXFROMPOSITION, 0, position));
  const int y = static_cast<int>(send(Sci::SCI_POINTYFROMPOSITION, 0, position));
  const long next = send(Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(position));
  const int width = std::max(1, static_cast<int>(send(Sci::SCI_POINTXFROMPOSITION, 0, next)) - x);
  const int height = static_cast<int>(send(Sci::SCI_TEXTHEIGHT, 0));
  const QPoint topLeft = editor()->viewport()->mapToGlobal(QPoint(x, y));
  return QRect(topLeft, QSize(width, height));
}

int EditorAccessible::offsetAtPoint(const QPoint& point) const {
  const QPoint local = editor()->viewport()->mapFromGlobal(point);
  const long position = send(Sci::SCI_POSITIONFROMPOINTCLOSE, static_cast<unsigned long>(local.x()), local.y());
  return position < 0 ? -1 : offsetOf(position);
}

void EditorAccessible::scrollToSubstring(int startIndex, int endIndex) {
  send(Sci::SCI_SCROLLRANGE, static_cast<unsigned long>(positionOf(endIndex)), positionOf(startIndex));
}

QString EditorAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = offset;
  return QString();
}

void EditorAccessible::caretMoved() {
  if (!QAccessible::isActive()) {
    lastCaretOffset_ = -1;
    return;
  }
  const int offset = cursorPosition();
  if (offset == lastCaretOffset_) return;
  lastCaretOffset_ = offset;
  QAccessibleTextCursorEvent event(editor(), offset);
  QAccessible::updateAccessibility(&event);
}
