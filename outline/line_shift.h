// Lines of a trace and of the text shown for it. They differ once final
// queries are shown formatted: a formatted query gains lines, and every key
// point below it moves down by them. The rule for any other line: it moves
// with its anchor, the last key point at or above it; a line above the
// first key point does not move.
//
// Two numberings meet here: the key points' own `line` counts line feeds
// before the marker (0-based), and the facts' lines are 1-based, as a
// reader counts them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/packed_records.h"
#include "outline/key_points.h"

// The anchor of 1-based line `line` among `scanned`, the 1-based lines of
// the key points in order: the last at or above it, or -1 when none is.
int32_t lineAnchor(const PackedRecords<int32_t>& scanned, int32_t line);

// The two numberings of a trace's lines, both 1-based: the file's (the
// text as scanned, as the command line and the comparison give them) and
// the text shown's. `scanned` holds each key point's line as scanned,
// `shown` the same key points with their lines as shown; `gainAtEnd` is
// the shift after the last key point (the text shown's lines less the
// file's). Where the shift grows from one key point to the next, a
// formatted query lies on the line after the earlier one (its «Final query
// after transformations:» marker). Both give `line` unmoved when the two
// lists are not of the same scan (their counts differ).
//
// File line `line` in the text shown: a line up to a formatted query keeps
// the shift of its anchor, the query moves to its first row, and the lines
// after it take its gain too.
int32_t shownLineOf(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t line,
                    int32_t gainAtEnd = 0);
// The file line that line `line` of the text shown stands for: every row of
// a formatted query stands for the query's line.
int32_t fileLineOf(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t line,
                   int32_t gainAtEnd = 0);

// A line held across a change of the key points' lines (re-formatting
// switched, or the trace read again): its anchor as the key points stood.
// Lines here count as the key points count them.
struct AnchoredLine {
  int32_t line = 0;
  int32_t anchor = -1;  // the last key point at or above `line`, or -1
  int32_t anchorLine = 0;
};

// `line` with its anchor among `points`, looked for among the first
// `limit` + 1 of them (all when `limit` is negative or past the end).
AnchoredLine anchorLine(const KeyPoints_c& points, int32_t line, int32_t limit = -1);

// The line once the key points are `points`: moved by as much as its
// anchor moved; as it was when it had no anchor or the anchor is gone.
int32_t movedLine(const AnchoredLine& held, const KeyPoints_c& points);

