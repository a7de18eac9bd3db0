// Reading trace lines near a key point and picking values out of them.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/byte_text.h"
#include "facts/trace_facts.h"

// One line: bytes [begin, end) up to its line feed, or up to a carriage
// return before it (a lone carriage return ends what is read of a line).
struct TraceLine {
  int32_t begin = 0;
  int32_t end = 0;
  int32_t number = 0;  // 1-based
};

class LineReader {
 public:
  // Reads from `offset`, which lies on line `number` (1-based): the rest of
  // that line comes first. Nothing at or beyond `limit` is read.
  LineReader(const char* text, int32_t limit, int32_t offset, int32_t number)
      : text_(text), limit_(limit), pos_(offset), number_(number) {}

  // The next line; false at the limit.
  bool next(TraceLine& line);
  // The next line that is neither blank nor a time-stamp entry line
  // («*** 20...»): those may stand in the middle of any list.
  bool nextContent(TraceLine& line);
  // Offset of the first byte not read yet, and the number of its line.
  int32_t offset() const { return pos_; }
  int32_t lineNumber() const { return number_; }

 private:
  const char* text_;
  int32_t limit_;
  int32_t pos_;
  int32_t number_;
};

// A reader at a key point: first the rest of the marker's line.
inline LineReader readerAfter(const char* text, int32_t limit, const KeyPoint& keyPoint) {
  return LineReader(text, limit, keyPoint.pos, keyPoint.line + 1);
}

inline bool isSpaceByte(char c) { return byteIs(c, kSpaceByte); }
inline bool isDigitByte(char c) { return byteIs(c, kDigitByte); }
// Letters and digits.
inline bool isIdByte(char c) { return byteIs(c, kDigitByte | kUpperByte | kLowerByte); }
// Letters, digits and '_'.
inline bool isWordByte(char c) { return byteIs(c, kWordBytes); }

// The first byte of text[from, end) that is not white space, or `end`.
int32_t skipSpaceBytes(const char* text, int32_t from, int32_t end);
// The first white-space byte of text[from, end), or `end`: where a word
// that starts at `from` ends.
int32_t skipWordBytes(const char* text, int32_t from, int32_t end);
// The first byte of text[from, end) that is neither a blank nor a tab, or `end`.
int32_t skipBlanks(const char* text, int32_t from, int32_t end);

inline std::string_view lineView(const char* text, const TraceLine& line) {
  return std::string_view(text + line.begin, static_cast<size_t>(line.end - line.begin));
}

// The line without leading and trailing white space.
TextSpan trimmedLine(const char* text, const TraceLine& line);
inline TextSpan spanOf(int32_t begin, int32_t end) { return TextSpan{begin, end - begin}; }

bool isBlankLine(const char* text, const TraceLine& line);
bool isTimestampLine(const char* text, const TraceLine& line);
// True when the trimmed line is one or more '*' and nothing else.
bool isStarLine(const char* text, const TraceLine& line);

// True when the line, after leading white space, begins with `prefix`.
bool lineStartsWith(const char* text, const TraceLine& line, std::string_view prefix);

// The run of non-space bytes after `from` (white space skipped first),
// ending at `end`; absent when there is none.
TextSpan wordAfter(const char* text, int32_t from, int32_t end);

// The word that follows `from` on its line (blanks and tabs skipped first),
// read no further than `limit`; absent when the line ends first.
TextSpan wordOnLine(const char* text, int32_t from, int32_t limit);

// The word after `key` on the line, where `key` (ASCII letters compared
// without regard to case) starts the line or follows a byte that is not a
// letter or digit; absent when the key is not on the line.
TextSpan valueAfterKey(const char* text, const TraceLine& line, std::string_view key);

// For each of `n` keys (single words such as "cost:", ASCII letters
// compared without regard to case), the word that follows its first
// occurrence as a word of the line; values of keys not on the line are
// left as they are.
void wordsAfterKeys(const char* text, const TraceLine& line, const std::string_view* keys, TextSpan* values, int n);

// The word after "Cost:" (or "Cost :") where "Cost" starts a word of the
// line; absent when the line has none.
TextSpan costOnLine(const char* text, const TraceLine& line);

// The offset of `needle` in text[from, to), or -1.
int32_t findIn(const char* text, int32_t from, int32_t to, std::string_view needle);

// The 1-based line of `offset`, counting line feeds from `from`, which
// lies on line `fromLine`.
int32_t lineOfOffset(const char* text, int32_t from, int32_t fromLine, int32_t offset);

// Offset of the start of the line that holds `offset`, looking back no
// further than `floor`.
int32_t lineStartOf(const char* text, int32_t floor, int32_t offset);
