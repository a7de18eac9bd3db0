// Where the view of one compared trace should start so that it shows the
// same place as the view of the other: the lines the comparison aligns go
// to the same row of both views.
#pragma once

#include <cstdint>

#include "compare/trace_comparison.h"

// The top line (1-based) for B's view when A's view starts at line `aTop`:
// the first line at or below `aTop` that is not all noise goes to the row
// of its aligned line in B, so the noise lines above it (a time-stamp
// entry, a header) keep their rows instead of pulling B's view along.
int32_t alignedTopInB(const TraceComparison& comparison, int32_t aTop);
// The same for A's view when B's view starts at `bTop`.
int32_t alignedTopInA(const TraceComparison& comparison, int32_t bTop);
