#include "facts/fact_lines.h"

#include <emmintrin.h>

#include <cstring>

#include "base/find_bytes.h"
#include "facts/list_lines.h"

namespace {

// The first line feed or carriage return in [from, limit), or limit.
int32_t lineBreakAt(const char* text, int32_t from, int32_t limit) {
  int32_t i = from;
  const __m128i feed = _mm_set1_epi8('\n');
  const __m128i carriage = _mm_set1_epi8('\r');
  for (; i + 16 <= limit; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, feed), _mm_cmpeq_epi8(bytes, carriage)));
    if (mask) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
  while (i < limit && text[i] != '\n' && text[i] != '\r') ++i;
  return i;
}

// The first `c` in [from, end), or end.
int32_t nextByte(const char* text, int32_t from, int32_t end, char c) {
  int32_t i = from;
  const __m128i wanted = _mm_set1_epi8(c);
  for (; i + 16 <= end; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted));
    if (mask) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
  while (i < end && text[i] != c) ++i;
  return i;
}

}  // namespace

bool LineReader::next(TraceLine& line) {
  if (pos_ >= limit_) return false;
  const int32_t stop = lineBreakAt(text_, pos_, limit_);
  line.begin = pos_;
  line.end = stop;
  line.number = number_;
  ++number_;
  if (stop >= limit_) {
    pos_ = limit_;
  } else if (text_[stop] == '\n') {
    pos_ = stop + 1;
  } else if (stop + 1 < limit_ && text_[stop + 1] == '\n') {
    pos_ = stop + 2;
  } else {
    // A lone carriage return: the rest of the line is not read.
    const void* feed = std::memchr(text_ + stop, '\n', static_cast<size_t>(limit_ - stop));
    pos_ = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - text_) + 1 : limit_;
  }
  return true;
}

bool LineReader::nextContent(TraceLine& line) {
  while (next(line)) {
    if (!isBlankLine(text_, line) && !isTimestampLine(text_, line)) return true;
  }
  return false;
}

TextSpan trimmedLine(const char* text, const TraceLine& line) {
  int32_t begin = line.begin;
  int32_t end = line.end;
  while (begin < end && isSpaceByte(text[begin])) ++begin;
  while (end > begin && isSpaceByte(text[end - 1])) --end;
  return spanOf(begin, end);
}

bool isBlankLine(const char* text, const TraceLine& line) {
  for (int32_t i = line.begin; i < line.end; ++i) {
    if (!isSpaceByte(text[i])) return false;
  }
  return true;
}

bool isTimestampLine(const char* text, const TraceLine& line) { return lineStartsWith(text, line, "*** 20"); }

bool isStarLine(const char* text, const TraceLine& line) {
  const TextSpan t = trimmedLine(text, line);
  if (t.length == 0) return false;
  for (int32_t i = 0; i < t.length; ++i) {
    if (text[t.offset + i] != '*') return false;
  }
  return true;
}

bool lineStartsWith(const char* text, const TraceLine& line, std::string_view prefix) {
  int32_t i = line.begin;
  while (i < line.end && (text[i] == ' ' || text[i] == '\t')) ++i;
  return static_cast<size_t>(line.end - i) >= prefix.size() && std::memcmp(text + i, prefix.data(), prefix.size()) == 0;
}

TextSpan wordAfter(const char* text, int32_t from, int32_t end) {
  int32_t begin = from;
  while (begin < end && isSpaceByte(text[begin])) ++begin;
  int32_t stop = begin;
  while (stop < end && !isSpaceByte(text[stop])) ++stop;
  if (stop == begin) return TextSpan{};
  return spanOf(begin, stop);
}

TextSpan wordOnLine(const char* text, int32_t from, int32_t limit) {
  while (from < limit && (text[from] == ' ' || text[from] == '\t')) ++from;
  int32_t stop = from;
  while (stop < limit && !isSpaceByte(text[stop])) ++stop;
  return stop > from ? spanOf(from, stop) : TextSpan{};
}

namespace {

inline char lowerAscii(char c) { return byteIs(c, kUpperByte) ? static_cast<char>(c + 32) : c; }

bool keyAt(const char* text, int32_t at, std::string_view key) {
  for (size_t k = 0; k < key.size(); ++k) {
    if (lowerAscii(text[at + static_cast<int32_t>(k)]) != lowerAscii(key[k])) return false;
  }
  return true;
}

}  // namespace

TextSpan valueAfterKey(const char* text, const TraceLine& line, std::string_view key) {
  const int32_t last = line.end - static_cast<int32_t>(key.size());
  const char first = lowerAscii(key[0]);
  for (int32_t at = line.begin; at <= last; ++at) {
    if (lowerAscii(text[at]) == first && (at == line.begin || !isWordByte(text[at - 1])) && keyAt(text, at, key)) {
      return wordAfter(text, at + static_cast<int32_t>(key.size()), line.end);
    }
  }
  return TextSpan{};
}

void wordsAfterKeys(const char* text, const TraceLine& line, const std::string_view* keys, TextSpan* values, int n) {
  unsigned found = 0;
  // Every key ends in a colon: look only at the colons of the line.
  for (int32_t at = nextByte(text, line.begin, line.end, ':'); at < line.end;
       at = nextByte(text, at + 1, line.end, ':')) {
    for (int k = 0; k < n; ++k) {
      const int32_t start = at + 1 - static_cast<int32_t>(keys[k].size());
      if ((found >> k & 1) || start < line.begin || (start > line.begin && !isSpaceByte(text[start - 1])) ||
          !keyAt(text, start, keys[k])) {
        continue;
      }
      found |= 1u << k;
      // «key: value», or «key:value» as one word.
      values[k] = wordAfter(text, at + 1, line.end);
      break;
    }
  }
}

int32_t findIn(const char* text, int32_t from, int32_t to, std::string_view needle) {
  if (to <= from) return -1;
  const long hit = findBytes(text + from, static_cast<size_t>(to - from), needle.data(), needle.size());
  return hit < 0 ? -1 : from + static_cast<int32_t>(hit);
}

int32_t lineOfOffset(const char* text, int32_t from, int32_t fromLine, int32_t offset) {
  return offset > from ? fromLine + lineFeedsBetween(text, from, offset) : fromLine;
}

int32_t lineStartOf(const char* text, int32_t floor, int32_t offset) {
  int32_t i = offset;
  while (i > floor && text[i - 1] != '\n') --i;
  return i;
}
