#include "trace/scan_state.h"

#include "trace/trace_scanner.h"

void scanInit(ScanState& state, const char* text, int32_t length) {
  state = ScanState{};
  state.text = reinterpret_cast<const unsigned char*>(text);
  state.remaining = length;
}

void scanResetLine(ScanState& state, const char* text, int32_t length) {
  state.text = reinterpret_cast<const unsigned char*>(text);
  state.remaining = length;
  state.pos = 0;
  state.line = 0;
  state.column = 0;
  state.kind = tkLineStart;
  state.keywordEntry = nullptr;
}
