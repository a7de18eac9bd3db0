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

// Moves the key points exactly as reformatFinalQueries would, without
// building the new text: for callers that need the shown lines but not the
// shown text. Returns 0, or -1 when memory ran out (key points unchanged).
int shiftFinalQueryLines(const SVString& text, KeyPoints_c& keyPoints);
