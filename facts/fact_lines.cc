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

// Bit k set when byte k of the sixteen at `at` is white space (0x00..0x20),
// or, for blankBits, a blank or a tab.
inline uint32_t spaceBits(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x20)), bytes)));
}
inline uint32_t blankBits(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return static_cast<uint32_t>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')))));
}

}  // namespace

int32_t skipSpaceBytes(const char* text, int32_t from, int32_t end) {
  int32_t i = from;
  for (; i + 16 <= end; i += 16) {
    const uint32_t solid = ~spaceBits(text + i) & 0xFFFFu;
    if (solid) return i + __builtin_ctz(solid);
  }
  while (i < end && isSpaceByte(text[i])) ++i;
  return i;
}

int32_t skipWordBytes(const char* text, int32_t from, int32_t end) {
  int32_t i = from;
  for (; i + 16 <= end; i += 16) {
    const uint32_t space = spaceBits(text + i);
    if (space) return i + __builtin_ctz(space);
  }
  while (i < end && !isSpaceByte(text[i])) ++i;
  return i;
}

int32_t skipBlanks(const char* text, int32_t from, int32_t end) {
  int32_t i = from;
  for (; i + 16 <= end; i += 16) {
    const uint32_t other = ~blankBits(text + i) & 0xFFFFu;
    if (other) return i + __builtin_ctz(other);
  }
  while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

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
    // A time stamp's first byte after white space is its '*'.
    const int32_t first = skipSpaceBytes(text_, line.begin, line.end);
    if (first < line.end && (text_[first] != '*' || !isTimestampLine(text_, line))) return true;
  }
  return false;
}

TextSpan trimmedLine(const char* text, const TraceLine& line) {
  const int32_t begin = skipSpaceBytes(text, line.begin, line.end);
  int32_t end = line.end;
  while (end > begin && isSpaceByte(text[end - 1])) --end;
  return spanOf(begin, end);
}

bool isBlankLine(const char* text, const TraceLine& line) {
  return skipSpaceBytes(text, line.begin, line.end) == line.end;
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
  const int32_t i = skipBlanks(text, line.begin, line.end);
  return static_cast<size_t>(line.end - i) >= prefix.size() && std::memcmp(text + i, prefix.data(), prefix.size()) == 0;
}

TextSpan wordAfter(const char* text, int32_t from, int32_t end) {
  const int32_t begin = skipSpaceBytes(text, from, end);
  const int32_t stop = skipWordBytes(text, begin, end);
  if (stop == begin) return TextSpan{};
  return spanOf(begin, stop);
}

TextSpan wordOnLine(const char* text, int32_t from, int32_t limit) {
  from = skipBlanks(text, from, limit);
  const int32_t stop = skipWordBytes(text, from, limit);
  return stop > from ? spanOf(from, stop) : TextSpan{};
}

namespace {

inline char lowerAscii(char c) { return byteIs(c, kUpperByte) ? static_cast<char>(c + 32) : c; }

bool keyAt(const char* text, int32_t at, std::string_view key) {
  for (size_t k = 0; k < key.size(); ++k) {
    const char c = text[at + static_cast<int32_t>(k)];
    if (c != key[k] && lowerAscii(c) != lowerAscii(key[k])) return false;
  }
  return true;
}

}  // namespace

TextSpan valueAfterKey(const char* text, const TraceLine& line, std::string_view key) {
  const int32_t last = line.end - static_cast<int32_t>(key.size());
  // The bytes that lowerAscii maps to the key's first.
  const char first = lowerAscii(key[0]);
  const char firstUpper = byteIs(first, kLowerByte) ? static_cast<char>(first - 32) : first;
  auto isKeyAt = [&](int32_t at) {
    return (at == line.begin || !isWordByte(text[at - 1])) && keyAt(text, at, key);
  };
  int32_t at = line.begin;
  for (; at + 16 <= line.end && at <= last; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
    uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(first)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(firstUpper)))));
    for (; mask; mask &= mask - 1) {
      const int32_t candidate = at + __builtin_ctz(mask);
      if (candidate > last) break;
      if (isKeyAt(candidate)) return wordAfter(text, candidate + static_cast<int32_t>(key.size()), line.end);
    }
  }
  for (; at <= last; ++at) {
    if (lowerAscii(text[at]) == first && isKeyAt(at)) {
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

TextSpan costOnLine(const char* text, const TraceLine& line) {
  for (int32_t at = findIn(text, line.begin, line.end, "Cost"); at >= 0; at = findIn(text, at + 4, line.end, "Cost")) {
    if (at > line.begin && isWordByte(text[at - 1])) continue;
    const int32_t colon = skipBlanks(text, at + 4, line.end);
    if (colon < line.end && text[colon] == ':') return wordOnLine(text, colon + 1, line.end);
  }
  return TextSpan{};
}

int32_t lineOfOffset(const char* text, int32_t from, int32_t fromLine, int32_t offset) {
  return offset > from ? fromLine + lineFeedsBetween(text, from, offset) : fromLine;
}

int32_t lineStartOf(const char* text, int32_t floor, int32_t offset) {
  int32_t i = offset;
  while (i > floor && text[i - 1] != '\n') --i;
  return i;
}
