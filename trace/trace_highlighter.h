// ZAzozav_Hiliter_c: the highlighter of the trace editor.
//
// Colours each line with the trace scanner's token kinds: section headers
// bold on light grey, join-order progress in green, blue or maroon, the
// path after the word "file" navy and underlined, everything else plain.
// Only the phrase itself is coloured, except a new-entry line ("*** 20..."),
// whose token runs to the end of the line.
#pragma once

#include <cstdint>

#include "trace/highlighter.h"
#include "trace/trace_scanner.h"

// The number of attributes the trace highlighter creates.
constexpr int32_t kTraceAttributeCount = 23;

class ZAzozav_Hiliter_c : public THi0 {
 public:
  // Fills the table of 24 attributes by token kind (entry 0, tkEnd, is
  // empty) and builds the trace scanner's dispatch table, which the
  // key-point scan relies on as well.
  ZAzozav_Hiliter_c();

  // One call of nextTraceToken; at the end of the line the scanner sets
  // tkEnd, which isLineEnd reports.
  void advance() override;

 private:
  const HighlighterAttribute* table_[kTraceTokenKindCount];
  const HighlighterAttribute* created_[kTraceAttributeCount];
};

// Fills styles[0 .. textLength + eolLength) for one editor line: each
// token's bytes get its kind plus `styleOffset`, the line-end bytes after
// the text get tkSpace plus the offset. Scans from the mode the highlighter
// holds (restoreRange or clearRange first); the mode the line ends in is
// then what saveRange returns. `styles` must hold that many bytes.
void fillTraceLineStyles(ZAzozav_Hiliter_c& highlighter, const char* text, int32_t textLength,
                         int32_t eolLength, uint8_t styleOffset, uint8_t* styles);

// The attributes in creation order, and the token kind each belongs to.
struct TraceAttributeEntry {
  int32_t kind;
  HighlighterAttribute attribute;
};
extern const TraceAttributeEntry kTraceAttributes[kTraceAttributeCount];
