// The state of one scan, shared by the trace scanner and the SQL tokenizer.
#pragma once

#include <cstdint>

struct KeywordEntry;

// One record per scan, owned by whoever runs it. The trace scanner and the
// SQL tokenizer each give `mode` (and the SQL side `tokenLine` and
// `keywordEntry`) their own meaning.
struct ScanState {
  const unsigned char* text;  // not owned
  int32_t pos;                // offset of the next unscanned byte
  int32_t remaining;          // bytes not yet scanned; pos + remaining is constant
  int32_t tokenStart;         // offset of the current token
  int32_t kind;               // kind of the current token (previous one on entry)
  int32_t tokenLine;          // SQL only: `line` when the current token began
  int32_t mode;               // scanner-specific carried mode
  int32_t column;             // column of `pos` in its line
  int32_t line;               // line feeds scanned so far
  const KeywordEntry* keywordEntry;  // SQL only: keyword of the current token
};

// Zeroes every field, then points the state at `length` bytes of `text`.
void scanInit(ScanState& state, const char* text, int32_t length);

// Points the state at a new line: pos, line and column 0, kind
// tkLineStart, no keyword entry. `mode`, `tokenStart` and `tokenLine` carry
// over, which is how a mode survives from one painted line to the next.
void scanResetLine(ScanState& state, const char* text, int32_t length);
