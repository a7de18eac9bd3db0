#include "gui/editor_search.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstring>

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

constexpr uint64_t kHighBits = 0x8080808080808080ull;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The first byte at or above 0x80 in [from, to), or -1.
long firstNonAscii(const char* bytes, long from, long to) {
  long i = from;
  for (; i < to && (i & 7) != 0; ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return i;
  }
  for (; i + 8 <= to; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & kHighBits) break;
  }
  for (; i < to; ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return i;
  }
  return -1;
}

// The last byte at or above 0x80 in [from, to), or -1.
long lastNonAscii(const char* bytes, long from, long to) {
  long i = to;
  for (; i > from && (i & 7) != 0; --i) {
    if (static_cast<unsigned char>(bytes[i - 1]) >= 0x80) return i - 1;
  }
  for (; i - 8 >= from; i -= 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i - 8, 8);
    if (word & kHighBits) break;
  }
  for (; i > from; --i) {
    if (static_cast<unsigned char>(bytes[i - 1]) >= 0x80) return i - 1;
  }
  return -1;
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
      const long odd = matchCase_ ? -1 : firstNonAscii(bytes_, at, stop);
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
      const long odd = matchCase_ ? -1 : lastNonAscii(bytes_, found < 0 ? 0 : found + 1, at);
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

  // The first byte match starting at or after `from`, or -1. Candidates
  // come from memchr on the first byte, in both cases when case is ignored.
  long bytesForward(long from) const {
    const long last = length_ - needle_.size();
    const char first = needle_[0];
    const char other = first >= 'a' && first <= 'z' && !matchCase_ ? static_cast<char>(first - ('a' - 'A')) : first;
    long at = from;
    while (at <= last) {
      const auto* a = static_cast<const char*>(std::memchr(bytes_ + at, first, static_cast<size_t>(last - at + 1)));
      const char* b = a;
      if (other != first) {
        const long bound = a ? a - bytes_ : last + 1;
        b = static_cast<const char*>(std::memchr(bytes_ + at, other, static_cast<size_t>(bound - at)));
      }
      const char* candidate = b ? b : a;
      if (!candidate) return -1;
      const long position = candidate - bytes_;
      if (matchesAt(position)) return position;
      at = position + 1;
    }
    return -1;
  }

  // The latest byte match ending at or before `to`, or -1.
  long bytesBackward(long to) const {
    const char first = needle_[0];
    const char other = first >= 'a' && first <= 'z' && !matchCase_ ? static_cast<char>(first - ('a' - 'A')) : first;
    long end = to - needle_.size() + 1;  // candidates start below this
    while (end > 0) {
      const auto* a = static_cast<const char*>(memrchr(bytes_, first, static_cast<size_t>(end)));
      const char* b = a;
      if (other != first) {
        const long bound = a ? a - bytes_ + 1 : 0;
        const auto* c = static_cast<const char*>(memrchr(bytes_ + bound, other, static_cast<size_t>(end - bound)));
        if (c) b = c;
      }
      const char* candidate = b;
      if (!candidate) return -1;
      const long position = candidate - bytes_;
      if (matchesAt(position)) return position;
      end = position;
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
