// The trace token scanner: cuts an optimizer trace into white space, plain
// text, file paths and the trace's marker phrases.
//
// Table-driven: a 256-entry table indexed by the first byte of a token
// names the routine that scans it. Nothing is allocated or copied, and
// every call consumes at least one byte, so a scan always ends.
#pragma once

#include <cstdint>

#include "trace/scan_state.h"

// Token kinds. The numbers are fixed: they index the highlighter's
// attributes and are stored in key points.
enum TraceTokenKind : int32_t {
  tkEnd = 0,
  tkLineStart = 1,
  tkFileName = 2,
  tkBlueMark = 3,
  tkGreenMark = 4,
  tkRegisteredQb = 5,
  tkOptParams = 6,
  tkQbTransformation = 7,
  tkBindVars = 8,
  tkFinalQuery = 9,
  tkFinalQbCost = 10,
  tkOptimizingQb = 11,
  tkJoinOrder = 12,
  tkBestSoFar = 13,
  tkJoinOrderAborted = 14,
  tkSqlDump = 15,
  tkExplainPlan = 16,
  tkOptStateDump = 17,
  tkNewEntry = 18,
  tkSpace = 19,
  tkText = 20,
  tkQueryBlockText = 21,
  tkSysStats = 22,
  tkBaseStats = 23,
};
constexpr int kTraceTokenKindCount = 24;

// `mode` right after the word "file": the next plain token may be a path.
constexpr int32_t fileNameMode = 1;

// Fills the dispatch table. Must have run before the first nextTraceToken;
// the table is filled once, by the first call, so scans may run on several
// threads at once, each calling it first.
void buildTraceDispatch();

// Scans one token. Returns false (kind tkEnd, tokenStart unchanged) when no
// bytes remain. The text must be followed by a zero byte.
bool nextTraceToken(ScanState& state);

// A marker phrase and the kind it yields, for code that needs the list
// (the fast key-point scan filters candidates with it).
struct TraceMarkerPhrase {
  const char* text;
  int32_t length;
  int32_t kind;
};
// The phrases tried for a token starting with byte `first`, in trial order,
// terminated by an entry with a null text. Null when the byte has none.
const TraceMarkerPhrase* traceMarkerPhrases(unsigned char first);
