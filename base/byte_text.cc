#include "base/byte_text.h"

#include <cstring>

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Windows-1252 bytes 0x80..0x9F as Unicode; the five bytes the code page
// leaves undefined keep their own number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

int utf8SequenceLength(const unsigned char* s, size_t i, size_t n) {
  const unsigned char b = s[i];
  auto continuation = [&](size_t k, unsigned char low, unsigned char high) {
    return i + k < n && s[i + k] >= low && s[i + k] <= high;
  };
  if (b >= 0xC2 && b <= 0xDF) return continuation(1, 0x80, 0xBF) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    const unsigned char low = b == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = b == 0xED ? 0x9F : 0xBF;
    return continuation(1, low, high) && continuation(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    const unsigned char low = b == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = b == 0xF4 ? 0x8F : 0xBF;
    return continuation(1, low, high) && continuation(2, 0x80, 0xBF) && continuation(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

TraceTextFacts traceTextFacts(const char* text, int64_t length) {
  TraceTextFacts facts;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const auto n = static_cast<size_t>(length);
  size_t i = 0;
  while (i < n) {
    // Traces are nearly all ASCII without lone carriage returns: skip eight
    // such bytes at a time.
    if (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & kHighBits) == 0 && !hasCarriageReturn(word)) {
        i += 8;
        continue;
      }
    }
    const unsigned char c = p[i];
    if (c == '\r') {
      if (i + 1 >= n || p[i + 1] != '\n') ++facts.loneCarriageReturns;
      ++i;
      continue;
    }
    if (c < 0x80 || !facts.validUtf8) {
      ++i;
      continue;
    }
    const int sequence = utf8SequenceLength(p, i, n);
    if (sequence == 0) facts.validUtf8 = false;
    i += sequence == 0 ? 1 : static_cast<size_t>(sequence);
  }
  return facts;
}

bool isValidUtf8(const char* text, int64_t length) { return traceTextFacts(text, length).validUtf8; }

char16_t windows1252Character(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b; }

int windows1252ByteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return c;
  for (int k = 0; k < 32; ++k) {
    if (kWindows1252High[k] == c) return 0x80 + k;
  }
  return -1;
}

int windows1252ToUtf8(unsigned char b, char* out) {
  const char16_t c = windows1252Character(b);
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (c >> 12));
  out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (c & 0x3F));
  return 3;
}
