// Caption codes: the four-byte markers ("#", style digit, colour digit,
// "#") that the outline embeds in node captions to mix bold titles with
// coloured remarks. This file only cuts a caption into styled segments;
// the tree control measures and draws them with the toolkit.
#pragma once

#include <cstdint>

// Style bits of a code's first digit; they replace the font style.
constexpr int32_t kCaptionBold = 1;
constexpr int32_t kCaptionItalic = 2;
constexpr int32_t kCaptionUnderline = 4;

struct CaptionRgb {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// Colours by colour digit 1..7 (entry 0 is unused: digit 0 keeps the
// current colour). Entries 1..4 are also the starting colours of item
// lines one to four.
extern const CaptionRgb captionColours[8];

// A run of caption text drawn in one look.
struct CaptionSegment {
  int32_t start;   // byte offset of the run in the caption
  int32_t length;  // bytes, never 0
  int32_t style;   // kCaption* bits in force; -1 while no code has set one
  int32_t colour;  // captionColours digit in force; 0 while none has set one
};

// Walks a caption segment by segment. Start it with
// captionCursorInit and call nextCaptionSegment until it returns false.
struct CaptionCursor {
  const char* text;
  int32_t length;
  int32_t pos;     // next byte to look at
  int32_t style;   // look that the next segment takes
  int32_t colour;
};

// Starts a walk over `length` bytes of `text` with no code in force.
void captionCursorInit(CaptionCursor& cursor, const char* text, int32_t length);

// True when the 4 bytes at p form a code: '#', '0'..'7', '0'..'7', '#'.
// The caller guarantees that 4 bytes are readable.
bool isCaptionCode(const char* p);

// Fills `segment` with the next non-empty run of text and returns true,
// or returns false at the end. Codes are never part of a run; a code that
// the text ends with changes nothing, and fewer than four bytes at the
// end are plain text.
bool nextCaptionSegment(CaptionCursor& cursor, CaptionSegment& segment);

// Copies the caption without its codes into `out` (capacity bytes, always
// terminated). Returns the length of the plain text, which may exceed what
// fitted.
int32_t captionPlainText(const char* text, int32_t length, char* out, int32_t capacity);
