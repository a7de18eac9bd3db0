// The differences of a comparison as rows of a list to read and choose
// from, as the viewer shows them beside the two traces:
//
// - the first divergence, when the optimizer estimated or decided
//   something differently: the first of it in the order it worked;
// - the parameters and fix controls that differ alike in every pair of
//   statements, once, under their own heading (with the first pair's
//   lines);
// - then, per pair of statements with differences of its own, a heading
//   and its estimates and decisions, sql_id, plan hash value, parameters,
//   fix controls and query blocks;
// - the statements found in one trace only;
// - the runs of differing lines, each named by its first differing line.
//
// Every row has three cells (what differs, how it reads in A, in B) and
// the lines to show in each trace. Cell texts are valid UTF-8 without
// control characters, kept in one pool, so the list needs neither trace
// text nor facts once it is built.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "compare/trace_comparison.h"

enum DifferenceKind : int32_t {
  kDifferenceHeading = 0,  // the title of the rows after it; no lines
  kDifferenceSqlId = 1,
  kDifferencePlanHash = 2,
  kDifferenceParameter = 3,
  kDifferenceFixControl = 4,
  kDifferenceQueryBlock = 5,
  kDifferenceStatement = 6,  // a statement without a partner
  kDifferenceText = 7,       // a run of differing lines
  kDifferenceDecision = 8,   // an estimate or decision (a DecisionDifference)
  kDifferenceFirstDivergence = 9,  // the first of them again, at the top of the list
  kDifferenceGroup = 10,     // many parameters or fix controls that one side alone has
};

// Bytes [offset, offset + length) of DifferenceList::text.
struct DifferenceText {
  int32_t offset;
  int32_t length;
};

struct DifferenceRow {
  int32_t kind;
  int32_t source;  // the pair, the ListDifference, the QueryBlockDifference or the hunk; kNoFact for headings
  DifferenceText what;
  DifferenceText inA;
  DifferenceText inB;
  // The lines to show: [aLine, aLine + aCount) of A, 1-based. aLine is 0
  // when A has no place of its own for the difference (a parameter only
  // in B); aCount is 0 when nothing of A is shown (lines only added in B
  // before aLine).
  int32_t aLine;
  int32_t aCount;
  int32_t bLine;
  int32_t bCount;
};

class DifferenceList {
 public:
  PackedRecords<DifferenceRow> rows;
  SVString text;  // the cells' texts, one after another

  std::string_view cell(DifferenceText t) const {
    return t.length > 0 ? std::string_view(text.c_str() + t.offset, static_cast<size_t>(t.length)) : std::string_view();
  }
};

// Longest text a cell takes from the trace (a line, a value); longer ones
// are cut at a character boundary and end in "...".
constexpr int32_t kDifferenceCellBytes = 160;

// Fills `out` from the comparison of `a` with `b` (the traces as they were
// compared: texts, key points and facts still there). Returns 0, or -1
// (list empty) when memory ran out.
int buildDifferenceList(const ComparedTrace& a, const ComparedTrace& b, const TraceComparison& c,
                        DifferenceList& out);
