// Comparing two traces: statements paired, the differences of what the
// optimizer saw and decided for each pair, and a line diff without the
// noise, aligned section by section.
//
// Facts are named by their indexes in each trace's TraceFacts (kNoFact for
// the side that lacks one); lines are 1-based. Both traces' facts must
// have their lists read (readAllStatementLists), and their texts must
// outlive the comparison.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "compare/line_diff.h"
#include "compare/line_table.h"
#include "facts/trace_facts.h"

// One trace as the comparison reads it.
struct ComparedTrace {
  const char* text;
  int32_t length;
  const KeyPoints_c* keyPoints;  // as scanned: lines not moved
  const TraceFacts* facts;       // lists read
};

enum PairedBy : int32_t {
  kPairedBySqlId = 1,  // the k-th statement with an sql_id in A with the k-th with it in B
  kPairedByOrder = 2,  // the statements left over, in their order
  kUnpaired = 0,       // only in A (b is kNoFact) or only in B
};

struct StatementPair {
  int32_t a;  // statement index in A, or kNoFact
  int32_t b;
  int32_t pairedBy;
};

// Statement pairs: by sql_id, then the rest in order, then the unpaired.
// In the order of A's statements, B's unpaired ones after them. Returns 0
// or -1.
int pairStatements(const TraceFacts& a, const TraceFacts& b, PackedRecords<StatementPair>& pairs);

// A parameter or fix control whose value differs, or that one side lacks.
struct ListDifference {
  int32_t pair;  // index in TraceComparison::pairs
  int32_t a;     // index in A's parameters (or fixControls), or kNoFact
  int32_t b;
  bool common;   // the same difference stands in every pair of statements
};

// Final-cost records matched by query block name (the k-th of a name in A
// with the k-th in B) whose plan, cost, card, bytes or best join order's
// tables differ, or that one side lacks.
struct QueryBlockDifference {
  int32_t pair;
  int32_t a;  // index in A's queryBlocks, or kNoFact
  int32_t b;
};

// What differs in one pair of statements.
struct PairDifferences {
  bool sqlIdDiffers;
  bool planHashDiffers;
  FactRange parameters;  // in TraceComparison::parameters
  FactRange fixControls;
  FactRange queryBlocks;
};

// A run of lines that differ: A's lines [aLine, aLine + aCount) against
// B's [bLine, bLine + bCount). A count of 0 means lines were only added on
// the other side, before aLine (or bLine). The ranges may hold noise lines;
// the entries [aSeq, aSeq + aSeqCount) of A's line table are the lines
// that differ (likewise for B).
struct TextHunk {
  int32_t aLine;
  int32_t aCount;
  int32_t bLine;
  int32_t bCount;
  int32_t aSeq;
  int32_t aSeqCount;
  int32_t bSeq;
  int32_t bSeqCount;
};

// Two stretches of text diffed against each other: a statement's section
// (its parameters, a query block's optimisation, ...) and the matching
// section of the other trace, or a gap between such sections.
struct SectionPair {
  int32_t aFirstLine;  // lines [first, last]; first > last when empty
  int32_t aLastLine;
  int32_t bFirstLine;
  int32_t bLastLine;
  int32_t pair;  // the statement pair, or kNoFact outside paired statements
  int32_t kind;  // the key-point kind that opens it, or 0 for a statement's head or a gap
};

class TraceComparison {
 public:
  PackedRecords<StatementPair> pairs;
  PackedRecords<PairDifferences> differences;  // one per pair
  PackedRecords<ListDifference> parameters;
  PackedRecords<ListDifference> fixControls;
  PackedRecords<QueryBlockDifference> queryBlocks;
  PackedRecords<SectionPair> sections;
  PackedRecords<EqualRun> equalRuns;  // in line-table entries
  PackedRecords<TextHunk> hunks;
  LineTable aLines;
  LineTable bLines;

  // True when anything differs: a statement without a partner, a fact, or
  // a line.
  bool differs() const;
};

// Compares `a` with `b` into `out`. Returns 0, or -1 when memory ran out.
int compareTraces(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);

// The line of B aligned with line `aLine` of A: its equal partner, or for
// a line inside a hunk the line at the same place in B's side of it
// (the last one when that side is shorter); noise lines go with the next
// line that is not noise. And the same from B to A.
int32_t alignedLineInB(const TraceComparison& comparison, int32_t aLine);
int32_t alignedLineInA(const TraceComparison& comparison, int32_t bLine);
