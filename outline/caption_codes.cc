#include "outline/caption_codes.h"

const CaptionRgb captionColours[8] = {
    {0, 0, 0},      // unused: digit 0 keeps the colour
    {0, 0, 0},      // 1 black
    {0, 0, 128},    // 2 navy
    {128, 0, 128},  // 3 purple
    {0, 128, 0},    // 4 green
    {0, 0, 255},    // 5 blue
    {128, 0, 0},    // 6 maroon
    {255, 0, 0},    // 7 red
};

void captionCursorInit(CaptionCursor& cursor, const char* text, int32_t length) {
  cursor.text = text;
  cursor.length = text != nullptr && length > 0 ? length : 0;
  cursor.pos = 0;
  cursor.style = -1;
  cursor.colour = 0;
}

bool isCaptionCode(const char* p) {
  return p[0] == '#' && p[1] >= '0' && p[1] <= '7' && p[2] >= '0' && p[2] <= '7' && p[3] == '#';
}

bool nextCaptionSegment(CaptionCursor& cursor, CaptionSegment& segment) {
  while (cursor.pos < cursor.length) {
    const int32_t start = cursor.pos;
    // The run ends before the next code, or at the end of the text; with
    // fewer than four bytes left no code can start.
    int32_t end = start;
    bool codeFound = false;
    while (cursor.length - end >= 4) {
      if (isCaptionCode(cursor.text + end)) {
        codeFound = true;
        break;
      }
      ++end;
    }
    if (!codeFound) end = cursor.length;

    segment.start = start;
    segment.length = end - start;
    segment.style = cursor.style;
    segment.colour = cursor.colour;

    if (codeFound) {
      const char* code = cursor.text + end;
      cursor.pos = end + 4;
      // A code with nothing after it would change nothing that is drawn.
      if (cursor.pos < cursor.length) {
        cursor.style = code[1] - '0';
        if (code[2] != '0') cursor.colour = code[2] - '0';
      }
    } else {
      cursor.pos = end;
    }
    if (segment.length > 0) return true;
  }
  return false;
}

int32_t captionPlainText(const char* text, int32_t length, char* out, int32_t capacity) {
  CaptionCursor cursor;
  captionCursorInit(cursor, text, length);
  CaptionSegment segment;
  int32_t total = 0;
  while (nextCaptionSegment(cursor, segment)) {
    for (int32_t i = 0; i < segment.length; ++i, ++total) {
      if (total + 1 < capacity) out[total] = text[segment.start + i];
    }
  }
  if (capacity > 0) out[total < capacity ? total : capacity - 1] = '\0';
  return total;
}
