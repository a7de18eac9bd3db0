// What the side-by-side view of two compared traces asks of the
// comparison: where one view should start so that it shows the same place
// as the other (the lines the comparison aligns go to the same row of both
// views), and which lines of a stretch to mark as differing.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "compare/trace_comparison.h"

// The top line (1-based) for B's view when A's view starts at line `aTop`:
// the first line at or below `aTop` that is not all noise goes to the row
// of its aligned line in B, so the noise lines above it (a time-stamp
// entry, a header) keep their rows instead of pulling B's view along.
int32_t alignedTopInB(const TraceComparison& comparison, int32_t aTop);
// The same for A's view when B's view starts at `bTop`.
int32_t alignedTopInA(const TraceComparison& comparison, int32_t bTop);

// Appends to `out` the 1-based lines in [first, last] of A (`inA`) or of B
// that differ: those of the hunks' entries, never a noise line. In
// increasing order; costs a binary search and the entries of the stretch.
// Returns 0 or -1 (out of memory).
int differingLines(const TraceComparison& comparison, bool inA, int32_t first, int32_t last,
                   PackedRecords<int32_t>& out);
// Appends to `out` the 1-based lines in [first, last] of A (`inA`) or of B
// that lie inside a run of differing lines but are left out of the
// comparison as noise (a time stamp, an address, a heap figure): the view
// tells them apart from the lines that differ. In increasing order.
// Returns 0 or -1 (out of memory).
int noiseLinesInRuns(const TraceComparison& comparison, bool inA, int32_t first, int32_t last,
                     PackedRecords<int32_t>& out);
