// Fuzz target: any bytes as an outline caption. The segments must be the
// caption's bytes less its codes, in order and non-empty, each with the
// look the codes before it set (checked against a plain byte-by-byte
// reading of the code rules), and the plain text must be their bytes,
// cut to any buffer size and always terminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/sv_string.h"
#include "outline/caption_codes.h"
#include "fuzz/fuzz_check.h"

namespace {

bool isDigit0to7(char c) { return c >= '0' && c <= '7'; }

// The look of every byte the caption draws, read byte by byte: a code is
// "#", two digits 0..7, "#"; it is not drawn; it sets the style and (for a
// colour digit above 0) the colour of what follows, unless nothing follows.
// The look of each drawn byte goes to styles[] and colours[]; code bytes
// get -2 in both.
void referenceLooks(const char* text, int32_t length, int32_t* styles, int32_t* colours) {
  int32_t style = -1;
  int32_t colour = 0;
  for (int32_t i = 0; i < length;) {
    if (length - i >= 4 && text[i] == '#' && isDigit0to7(text[i + 1]) && isDigit0to7(text[i + 2]) &&
        text[i + 3] == '#') {
      for (int32_t k = 0; k < 4; ++k) styles[i + k] = colours[i + k] = -2;
      if (i + 4 < length) {
        style = text[i + 1] - '0';
        if (text[i + 2] != '0') colour = text[i + 2] - '0';
      }
      i += 4;
      continue;
    }
    styles[i] = style;
    colours[i] = colour;
    ++i;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const char* text = reinterpret_cast<const char*>(data);
  const auto length = static_cast<int32_t>(size);
  int32_t styles[4096];
  int32_t colours[4096];
  referenceLooks(text, length, styles, colours);

  // Every drawn byte is in exactly one segment, with its look.
  char plain[4097];
  int32_t plainLength = 0;
  int32_t covered = 0;  // bytes before this offset are drawn or codes
  CaptionCursor cursor;
  captionCursorInit(cursor, text, length);
  CaptionSegment segment;
  while (nextCaptionSegment(cursor, segment)) {
    check(segment.length > 0 && segment.start >= covered && segment.start + segment.length <= length);
    for (int32_t i = covered; i < segment.start; ++i) check(styles[i] == -2);
    for (int32_t i = segment.start; i < segment.start + segment.length; ++i) {
      check(styles[i] == segment.style && colours[i] == segment.colour);
      check(segment.style >= -1 && segment.style <= 7 && segment.colour >= 0 && segment.colour <= 7);
      plain[plainLength++] = text[i];
    }
    covered = segment.start + segment.length;
  }
  for (int32_t i = covered; i < length; ++i) check(styles[i] == -2);
  check(!nextCaptionSegment(cursor, segment));

  // The plain text, whole and cut short; nothing is written past the
  // terminator (the byte after the buffer is watched too).
  char out[4099];
  for (int32_t capacity : {0, 1, 2, plainLength, plainLength + 1, plainLength + 2, length % 17}) {
    const size_t touched = static_cast<size_t>(capacity) + 1;
    std::memset(out, 'x', touched);
    check(captionPlainText(text, length, out, capacity) == plainLength);
    if (capacity == 0) {
      check(out[0] == 'x');
      continue;
    }
    const int32_t kept = plainLength < capacity - 1 ? plainLength : capacity - 1;
    check(std::memcmp(out, plain, static_cast<size_t>(kept)) == 0 && out[kept] == 0);
    for (size_t i = static_cast<size_t>(kept) + 1; i < touched; ++i) check(out[i] == 'x');
  }
  return 0;
}
