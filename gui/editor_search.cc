#include "gui/editor_search.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/byte_text.h"
#include "gui/byte_scan.h"
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

bool isAsciiWordByte(unsigned char c) { return byteIs(c, kWordBytes); }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

struct Match {
  long start = -1;
  long end = -1;
};

// One search of the find bar over the editor's bytes. The needle's bytes
// are compared directly: exactly, or with ASCII letters folded. That is
// what the editor's own search engine finds wherever the text is ASCII;
// a line holding other characters (whose case folding the engine knows)
// is handed to that engine, and so is a needle with such characters when
// case is ignored. Matches never cross a line end: the needle has none.
class TextSearch {
 public:
  TextSearch(QsciScintilla& editor, const char* bytes, long length, const QByteArray& needle, bool matchCase)
      : editor_(editor), bytes_(bytes), length_(length), needle_(needle), original_(needle), matchCase_(matchCase) {
    if (!matchCase_) {
      for (char& c : needle_) c = asciiLower(c);
    }
    engineOnly_ = !matchCase_ && !isAscii(needle_);
  }

  // The first match that starts at or after `from`.
  Match forward(long from) const {
    if (engineOnly_) return engine(from, length_);
    long at = from;
    while (at <= length_) {
      const long found = bytesForward(at);
      const long stop = found < 0 ? length_ : found;
      const long odd = matchCase_ ? -1 : firstHighByte(bytes_, at, stop);
      if (odd < 0) return found < 0 ? Match{} : Match{found, found + needle_.size()};
      const long line = lineOf(odd);
      const long lineEnd = lineStart(line + 1);
      const Match inLine = engine(std::max(at, lineStart(line)), lineEnd);
      if (inLine.start >= 0) return inLine;
      if (lineEnd <= at) break;
      at = lineEnd;
    }
    return Match{};
  }

  // The match with the latest start that ends at or before `to`.
  Match backward(long to) const {
    if (engineOnly_) return engine(to, 0);
    long at = to;
    while (at >= 0) {
      const long found = bytesBackward(at);
      const long odd = matchCase_ ? -1 : lastHighByte(bytes_, found < 0 ? 0 : found + 1, at);
      if (odd < 0) return found < 0 ? Match{} : Match{found, found + needle_.size()};
      const long line = lineOf(odd);
      const long start = lineStart(line);
      const Match inLine = engine(std::min(at, lineStart(line + 1)), start);
      if (inLine.start >= 0) return inLine;
      if (start >= at) break;
      at = start;
    }
    return Match{};
  }

 private:
  bool matchesAt(long at) const {
    if (matchCase_) return std::memcmp(bytes_ + at, needle_.constData(), needle_.size()) == 0;
    for (qsizetype k = 0; k < needle_.size(); ++k) {
      if (asciiLower(bytes_[at + k]) != needle_[k]) return false;
    }
    return true;
  }

  // The needle's byte k as the scans want it.
  WantedByte wanted(qsizetype k) const {
    const char c = needle_[k];
    const bool letter = c >= 'a' && c <= 'z';
    return WantedByte{static_cast<uint8_t>(c), !matchCase_ && letter};
  }

  // The first byte match starting at or after `from`, or -1. Candidates
  // match the needle's first two bytes; each is checked whole.
  long bytesForward(long from) const {
    const long last = length_ - needle_.size();
    const WantedByte first = wanted(0);
    const WantedByte second = needle_.size() > 1 ? wanted(1) : first;
    const WantedByte* next = needle_.size() > 1 ? &second : nullptr;
    for (long at = from; at <= last;) {
      const long candidate = findCandidateForward(bytes_, at, last, first, next);
      if (candidate < 0) return -1;
      if (matchesAt(candidate)) return candidate;
      at = candidate + 1;
    }
    return -1;
  }

  // The latest byte match ending at or before `to`, or -1.
  long bytesBackward(long to) const {
    const WantedByte first = wanted(0);
    const WantedByte second = needle_.size() > 1 ? wanted(1) : first;
    const WantedByte* next = needle_.size() > 1 ? &second : nullptr;
    for (long last = to - needle_.size(); last >= 0;) {
      const long candidate = findCandidateBackward(bytes_, 0, last, first, next);
      if (candidate < 0) return -1;
      if (matchesAt(candidate)) return candidate;
      last = candidate - 1;
    }
    return -1;
  }

  long lineOf(long position) const {
    return editor_.SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  }
  long lineStart(long line) const {
    const long start = editor_.SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    return start < 0 ? length_ : start;
  }

  // The editor's own search from `from` towards `to` (backward when
  // `to` < `from`).
  Match engine(long from, long to) const {
    editor_.SendScintilla(Sci::SCI_SETTARGETSTART, static_cast<unsigned long>(from));
    editor_.SendScintilla(Sci::SCI_SETTARGETEND, static_cast<unsigned long>(to));
    editor_.SendScintilla(Sci::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(matchCase_ ? Sci::SCFIND_MATCHCASE : 0));
    const long found = editor_.SendScintilla(Sci::SCI_SEARCHINTARGET, static_cast<uintptr_t>(original_.size()),
                                             original_.constData());
    if (found < 0) return Match{};
    return Match{editor_.SendScintilla(Sci::SCI_GETTARGETSTART), editor_.SendScintilla(Sci::SCI_GETTARGETEND)};
  }

  QsciScintilla& editor_;
  const char* bytes_;
  long length_;
  QByteArray needle_;    // folded to lower case when case is ignored
  QByteArray original_;  // as typed, for the editor's engine
  bool matchCase_;
  bool engineOnly_ = false;
};

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
  const char* bytes = reinterpret_cast<const char*>(editor->SendScintilla(Sci::SCI_GETCHARACTERPOINTER));
  if (!bytes) return 0;
  const TextSearch search{*editor, bytes, length, needle, (flags & SearchMatchCase) != 0};
  const Match match = backward ? search.backward(caret) : search.forward(caret);
  if (match.start < 0) return 0;
  // SETSEL takes the anchor, then the caret.
  if (backward) {
    editor->SendScintilla(Sci::SCI_SETSEL, static_cast<unsigned long>(match.end), match.start);
  } else {
    editor->SendScintilla(Sci::SCI_SETSEL, static_cast<unsigned long>(match.start), match.end);
  }
  editor->SendScintilla(Sci::SCI_SCROLLRANGE, static_cast<unsigned long>(backward ? match.end : match.start),
                        backward ? match.start : match.end);
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
