#include "gui/editor_search.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>

#include "gui/find_bar.h"

namespace {

using Sci = QsciScintillaBase;

// The search text in the document's encoding: UTF-8, or one byte per
// character for a single-byte document. False when a character has no
// single byte, since a substitute such as '?' would find the wrong text.
bool documentBytes(const QsciScintilla& editor, const QString& text, QByteArray& out) {
  if (editor.isUtf8()) {
    out = text.toUtf8();
    return true;
  }
  for (QChar c : text) {
    if (c.unicode() > 0xFF) return false;
  }
  out = text.toLatin1();
  return true;
}

bool isAsciiWordByte(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

int editorSearch(QsciScintilla* editor, const QString& text, int flags) {
  if (!editor) return -1;
  const bool backward = (flags & SearchBackward) != 0;
  const long selectionStart = editor->SendScintilla(Sci::SCI_GETSELECTIONSTART);
  const long selectionEnd = editor->SendScintilla(Sci::SCI_GETSELECTIONEND);
  const long caret = backward ? selectionStart : selectionEnd;
  if (selectionStart != selectionEnd) editor->SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));

  QByteArray needle;
  if (text.isEmpty() || !documentBytes(*editor, text, needle)) return 0;
  const long length = editor->SendScintilla(Sci::SCI_GETLENGTH);
  // A target range that runs from high to low is searched backward.
  editor->SendScintilla(Sci::SCI_SETTARGETSTART, static_cast<unsigned long>(caret));
  editor->SendScintilla(Sci::SCI_SETTARGETEND, static_cast<unsigned long>(backward ? 0 : length));
  editor->SendScintilla(Sci::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(
                                                     (flags & SearchMatchCase) ? Sci::SCFIND_MATCHCASE : 0));
  const long found = editor->SendScintilla(Sci::SCI_SEARCHINTARGET, static_cast<uintptr_t>(needle.size()),
                                           needle.constData());
  if (found < 0) return 0;
  const long start = editor->SendScintilla(Sci::SCI_GETTARGETSTART);
  const long end = editor->SendScintilla(Sci::SCI_GETTARGETEND);
  // SETSEL takes the anchor, then the caret.
  if (backward) {
    editor->SendScintilla(Sci::SCI_SETSEL, static_cast<unsigned long>(end), start);
  } else {
    editor->SendScintilla(Sci::SCI_SETSEL, static_cast<unsigned long>(start), end);
  }
  editor->SendScintilla(Sci::SCI_SCROLLRANGE, static_cast<unsigned long>(backward ? end : start),
                        backward ? start : end);
  return 1;
}

QString proposedFindText(QsciScintilla* editor) {
  if (!editor) return QString();
  const long selectionStart = editor->SendScintilla(Sci::SCI_GETSELECTIONSTART);
  const long selectionEnd = editor->SendScintilla(Sci::SCI_GETSELECTIONEND);
  if (selectionStart != selectionEnd) {
    const long firstLine = editor->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(selectionStart));
    const long lastLine = editor->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(selectionEnd));
    if (firstLine == lastLine) return editor->selectedText();
  }
  // A word never crosses a line end, so the caret's line is all we read.
  const long caret = editor->SendScintilla(Sci::SCI_GETCURRENTPOS);
  const long line = editor->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret));
  const long lineStart = editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const long lineEnd = editor->SendScintilla(Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
  if (caret < lineStart || caret >= lineEnd) return QString();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(
      editor->SendScintilla(Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(lineStart), lineEnd - lineStart));
  if (!bytes) return QString();
  const long at = caret - lineStart;
  const long count = lineEnd - lineStart;
  if (!isAsciiWordByte(bytes[at])) return QString();
  long start = at;
  while (start > 0 && isAsciiWordByte(bytes[start - 1])) --start;
  long end = at + 1;
  while (end < count && isAsciiWordByte(bytes[end])) ++end;
  return QString::fromLatin1(reinterpret_cast<const char*>(bytes + start), static_cast<qsizetype>(end - start));
}
