#include "cli/safe_text.h"

#include <cstdint>

namespace {

enum ByteClass : uint8_t {
  kPlain = 0,    // copied as it is
  kControl = 1,  // C0 control or DEL: caret notation
  kTab = 2,      // copied, or ^I in a field
  kHigh = 3,     // 0x80 and up: decided by what follows
};

struct ByteClassTable {
  uint8_t classOf[256];
  constexpr ByteClassTable() : classOf() {
    for (int c = 0; c < 256; ++c) {
      classOf[c] = c < 0x20 || c == 0x7F ? kControl : c < 0x80 ? kPlain : kHigh;
    }
    classOf[0x09] = kTab;  // TAB
  }
};
constexpr ByteClassTable kClasses;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 character at `p` (at most `left` bytes
// readable), or 0 when the bytes there do not form one: overlong forms,
// surrogates and values beyond U+10FFFF are not characters.
size_t utf8CharacterLength(const unsigned char* p, size_t left) {
  const unsigned char lead = p[0];
  size_t length;
  unsigned char secondLow = 0x80;
  unsigned char secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return 0;
  }
  if (left < length || p[1] < secondLow || p[1] > secondHigh) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!isContinuation(p[i])) return 0;
  }
  return length;
}

char hexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

int appendSafe(SVString& out, const char* bytes, size_t length, bool escapeTab) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t copiedTo = 0;  // bytes before this offset are in `out`
  size_t i = 0;
  auto flush = [&](size_t upTo) { return out.append(bytes + copiedTo, static_cast<int64_t>(upTo - copiedTo)); };
  while (i < length) {
    const unsigned char c = p[i];
    const uint8_t byteClass = kClasses.classOf[c];
    if (byteClass == kPlain || (byteClass == kTab && !escapeTab)) {
      ++i;
      continue;
    }
    char escape[8];
    size_t escapeLength = 0;
    size_t consumed = 1;
    if (byteClass != kHigh) {
      escape[0] = '^';
      escape[1] = c == 0x7F ? '?' : static_cast<char>(c + '@');
      escapeLength = 2;
    } else {
      const size_t character = utf8CharacterLength(p + i, length - i);
      if (character == 2 && c == 0xC2 && p[i + 1] <= 0x9F) {
        const char form[8] = {'<', 'U', '+', '0', '0', hexDigit(p[i + 1] >> 4), hexDigit(p[i + 1]), '>'};
        for (size_t k = 0; k < sizeof form; ++k) escape[k] = form[k];
        escapeLength = sizeof form;
        consumed = 2;
      } else if (character > 0) {
        i += character;
        continue;
      } else if (c <= 0x9F) {
        escape[0] = '<';
        escape[1] = hexDigit(c >> 4);
        escape[2] = hexDigit(c);
        escape[3] = '>';
        escapeLength = 4;
      } else {
        ++i;  // a byte of a single-byte code page, or a broken sequence's lead
        continue;
      }
    }
    if (flush(i) != 0 || out.append(escape, static_cast<int64_t>(escapeLength)) != 0) return -1;
    i += consumed;
    copiedTo = i;
  }
  return flush(length);
}

}  // namespace

int appendTerminalSafe(SVString& out, const char* bytes, size_t length) {
  return appendSafe(out, bytes, length, false);
}

int appendFieldSafe(SVString& out, const char* bytes, size_t length) { return appendSafe(out, bytes, length, true); }
