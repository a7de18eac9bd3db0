// The steps of compareTraces, one file each.
#pragma once

#include "compare/trace_comparison.h"

// Fills `differences`, `parameters`, `fixControls` and `queryBlocks` for
// the pairs in `out.pairs`. Returns 0 or -1.
int compareFacts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);

// Fills `sections`, `equalRuns` and `hunks` from the line tables and the
// pairs. Returns 0 or -1.
int compareTexts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);
