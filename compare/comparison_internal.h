// The steps of compareTraces, one file each.
#pragma once

#include "compare/trace_comparison.h"

// Whether two facts' texts differ (an absent one differs from any other).
bool spansDiffer(const TraceFacts& fa, TextSpan a, const TraceFacts& fb, TextSpan b);
// Whether the tables of two join orders differ (kNoFact for none).
bool tablesDiffer(const TraceFacts& fa, int32_t a, const TraceFacts& fb, int32_t b);
// The final-cost records of a statement by name, then in order: the k-th
// of a name in A goes with the k-th of it in B. False when memory ran out.
bool blocksByName(const TraceFacts& f, const StatementFacts& s, PackedRecords<int32_t>& out);

// Fills `differences`, `parameters`, `fixControls` and `queryBlocks` for
// the pairs in `out.pairs`. Returns 0 or -1.
int compareFacts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);

// Fills `decisions` and `firstDivergence` once the texts are aligned.
// Returns 0 or -1.
int compareDecisions(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);

// Fills `sections`, `equalRuns` and `hunks` from the line tables and the
// pairs. Returns 0 or -1.
int compareTexts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);
