// What the optimizer estimated and decided differently, as the compare
// command prints it: a line per difference in the report, an object per
// difference in the JSON, and the first divergence.
#pragma once

#include <string>

#include "base/json_writer.h"
#include "cli/output_buffer.h"
#include "compare/trace_comparison.h"

// The two traces' facts beside their comparison.
struct DecisionSides {
  const TraceFacts& a;
  const TraceFacts& b;
  const TraceComparison& c;
};

// One line, «query block SEL$1 (#0), alias T1[T1]: card_rounded 90983 /
// 999 (lines 1354 / 1510)», without its indent and line end.
std::string decisionLine(const DecisionSides& s, const DecisionDifference& d);

// The pair's differences, one line each with `indent`, the first
// divergence marked.
void printDecisions(OutputBuffer& out, const DecisionSides& s, FactRange range, const char* indent);

// `key`: the pair's differences as an array of objects {"query_block",
// "alias", "fact", "a", "b", "a_line", "b_line"}.
void decisionsJson(JsonWriter& json, const char* key, const DecisionSides& s, FactRange range);
// "first_divergence": the same object with "statement_pair", or null.
void firstDivergenceJson(JsonWriter& json, const DecisionSides& s);
