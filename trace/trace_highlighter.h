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

// The attributes in creation order, and the token kind each belongs to.
struct TraceAttributeEntry {
  int32_t kind;
  HighlighterAttribute attribute;
};
extern const TraceAttributeEntry kTraceAttributes[kTraceAttributeCount];
