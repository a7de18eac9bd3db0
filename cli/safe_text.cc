#include "cli/safe_text.h"

#include <cstdint>

#include "base/byte_text.h"

namespace {

char hexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

int appendSafe(SVString& out, const char* bytes, size_t length, bool escapeTab) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t copiedTo = 0;  // bytes before this offset are in `out`
  size_t i = 0;
  auto flush = [&](size_t upTo) { return out.append(bytes + copiedTo, static_cast<int64_t>(upTo - copiedTo)); };
  while (i < length) {
    const unsigned char c = p[i];
    const bool control = byteIs(c, kControlByte);
    if ((!control && c < 0x80) || (c == '\t' && !escapeTab)) {
      ++i;
      continue;
    }
    char escape[8];
    size_t escapeLength = 0;
    size_t consumed = 1;
    if (control) {
      escape[0] = '^';
      escape[1] = c == 0x7F ? '?' : static_cast<char>(c + '@');
      escapeLength = 2;
    } else {
      const auto character = static_cast<size_t>(utf8SequenceLength(p, i, length));
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
