// Re-formatting of the final queries of a trace: each "Final query after
// transformations:" line is replaced by its formatted layout, and the key
// points after it move down by the lines it gained.
#pragma once

#include "base/sv_string.h"
#include "outline/key_points.h"

// Rebuilds `text` with every final query that formats cleanly (formatSql,
// margin 0, options compactLists, width 80) in place of its line. Queries
// that are not handled, fail, are empty, lie outside the text or would
// start before the end of the previous query stay as they are. `keyPoints`
// must describe `text` as it is on entry; only their `line` values change:
// every key point after a formatted query moves down by the line feeds the
// formatted query holds. Returns 0, or -1 when memory ran out, with `text`
// and `keyPoints` unchanged. buildSqlDispatch must have run.
int reformatFinalQueries(SVString& text, KeyPoints_c& keyPoints);

// Formats into `formatted` the `length` bytes of a final query as its key
// point records them (its line up to the line feed) the way final queries
// are shown: formatSql with margin 0, compactLists and width 80. The
// carriage return that ends the line in a CRLF trace is left out: a tail
// the formatter copies as it stands would keep it, and a line end of the
// formatter's own after it would leave it without its line feed. A line of
// that carriage return alone goes to formatSql as it is, which does not
// handle it, so it stays unformatted. Returns formatSql's result.
int formatFinalQuery(const char* query, int32_t length, SVString& formatted);

// Moves the key points exactly as reformatFinalQueries would, without
// building the new text: for callers that need the shown lines but not the
// shown text. Returns 0, or -1 when memory ran out (key points unchanged).
int shiftFinalQueryLines(const SVString& text, KeyPoints_c& keyPoints);

// A formatted final query: the offset of its line and the lines it gained.
struct FinalQueryShift {
  int32_t queryStart;
  int32_t lines;
};

// Moves every key point past the start of a formatted query's line by the
// lines that query gained; the query's own record stays, and so does any
// other marker after it on its line: both lie above the query. `shifts`
// are in text order. The one rule for every caller that formats queries.
void moveKeyPointsPastQueries(KeyPoints_c& keyPoints, const FinalQueryShift* shifts, int32_t count);
