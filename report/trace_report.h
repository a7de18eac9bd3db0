// The HTML report of a trace, or of a comparison of two: one HTML5 page
// with its small style sheet inline and no script, no external asset and no
// link out, so that it reads the same mailed, attached or opened from disk.
//
// For each traced statement: its sql_id, plan hash value and SQL text; its
// query blocks with their costs and best join orders; per query block the
// join-order search as an inline SVG chart, the access paths of its table
// aliases with the signs of a guessed estimate, and the statistics the
// optimizer saw; the transformations it decided on and the explain plan.
// A comparison starts with its differences, the first divergence first,
// and its try-script, then the two traces. Every fact carries its trace
// line. Every text taken from a trace is escaped (report/html_writer.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "base/sv_string.h"
#include "compare/difference_list.h"
#include "compare/trace_comparison.h"
#include "facts/trace_facts.h"

// One trace as the report reads it.
struct ReportedTrace {
  std::string_view name;  // the file's name as the report heads it
  const char* text;       // what the facts' spans describe
  int32_t length;
  const TraceFacts* facts;  // lists read
};

// Writes the report of `trace` into `out` (cleared first). Returns 0, or
// -1 when memory ran out.
int writeTraceReport(const ReportedTrace& trace, SVString& out);

// Writes the report of the comparison `c` of `a` with `b`, its list of
// differences and its try-script. Returns 0 or -1.
int writeComparisonReport(const ReportedTrace& a, const ReportedTrace& b, const TraceComparison& c,
                          const DifferenceList& differences, const SVString& tryScript, SVString& out);
