// The try-script of a comparison: one SQL*Plus line per parameter and fix
// control whose value differs between the traces, each setting B's value
// in a session that runs as A, so that the differences can be tried one
// at a time to find the one that changes the plan.
//
//   alter session set "optimizer_index_cost_adj" = 25 /* as a hint: OPT_PARAM('optimizer_index_cost_adj' 25) */;
//   alter session set "_fix_control" = '9195582:OFF' /* as a hint: OPT_PARAM('_fix_control' '9195582:OFF') */;
//
// Parameters the user changed («PARAMETERS WITH ALTERED VALUES», in either
// trace) come first, then the other parameters, then the fix controls,
// each in the comparison's order and named once. What cannot be set from
// B (a parameter or fix control only A has, a value the line could not
// hold) is a comment line that says why.
#pragma once

#include "base/sv_string.h"
#include "compare/trace_comparison.h"

// Writes the script's lines, each ending in "\n", into `script`. Returns
// 0, or -1 when memory ran out.
int buildTryScript(const TraceComparison& comparison, const TraceFacts& a, const TraceFacts& b, SVString& script);
