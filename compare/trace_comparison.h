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

// The differences of a list's `range` with the `common` mark `wantCommon`
// that one side alone has, counted per side: when a side has many (an
// upgrade brings hundreds of fix controls), they are told as one group.
struct OneSidedCounts {
  static constexpr int32_t kGroupFrom = 6;
  int32_t onlyIn[2] = {0, 0};  // A, B
  // True for a difference that goes into its side's group.
  bool grouped(const ListDifference& d) const {
    return (d.a == kNoFact || d.b == kNoFact) && onlyIn[d.a == kNoFact ? 1 : 0] >= kGroupFrom;
  }
};
OneSidedCounts countOneSided(const PackedRecords<ListDifference>& list, FactRange range, bool wantCommon);

// Final-cost records matched by query block name (the k-th of a name in A
// with the k-th in B) whose plan, cost, card, bytes or best join order's
// tables differ, or that one side lacks.
struct QueryBlockDifference {
  int32_t pair;
  int32_t a;  // index in A's queryBlocks, or kNoFact
  int32_t b;
};

// What the optimizer estimated or decided differently for a pair of
// statements: for query blocks matched by name, a table alias's card,
// chosen access path, its index and cost, the signs of a guessed
// estimate, the alias estimated on one side only, the join orders tried
// and aborted in the search that gave the cost, the best join order's
// tables; or a query block only one side costed (a transformation the
// other did not make).
enum DecisionFact : int32_t {
  kDecisionQueryBlock = 1,
  kDecisionEstimated,
  kDecisionCardOriginal,
  kDecisionCardRounded,
  kDecisionCardComputed,
  kDecisionFlags,
  kDecisionBestPath,
  kDecisionBestIndex,
  kDecisionBestCost,
  kDecisionJoinOrdersTried,
  kDecisionJoinOrdersAborted,
  kDecisionBestJoinOrder,
  // The statistics the optimizer saw: a table's, an index's or a column's
  // figures, or one that only one side has.
  kDecisionTableStats,
  kDecisionTableRows,
  kDecisionTableBlocks,
  kDecisionAvgRowLen,
  kDecisionIndexStats,
  kDecisionIndexLevels,
  kDecisionIndexLeafBlocks,
  kDecisionIndexDistinctKeys,
  kDecisionClusteringFactor,
  kDecisionColumnStats,
  kDecisionColumnNdv,
  kDecisionColumnNulls,
  kDecisionColumnDensity,
  kDecisionColumnHistogram,
};

// "query_block", "estimated", "card_original", ... as the JSON names them.
const char* decisionFactName(int32_t fact);
// True for the facts that are costs, which follow from what came before.
bool isCostDecision(int32_t fact);
// True for the statistics, which the estimates start from.
bool isStatisticDecision(int32_t fact);
// For a statistic's fact: the list its items are in.
enum DecisionItems : int32_t { kNoItems, kTableItems, kIndexItems, kColumnItems };
int32_t decisionItems(int32_t fact);

struct DecisionDifference {
  int32_t pair;
  int32_t fact;          // DecisionFact
  int32_t queryBlockA;   // final-cost records, kNoFact for the side without it
  int32_t queryBlockB;
  int32_t pathA;         // accessPaths records of an alias's facts, else kNoFact
  int32_t pathB;
  int32_t itemA;         // a statistic's tableStats, indexStats or columnStats record, else kNoFact
  int32_t itemB;
  int32_t aLine;         // where each side states it; 0 when it does not
  int32_t bLine;
  int32_t order;         // A's line, or the line of A aligned with B's: the optimizer's order
};

// What one side states of a decision's fact: nothing, a text of its
// trace, a count, a set of flag kinds (bit k for AccessFlagKind k), or a
// join order whose tables it is.
struct DecisionValue {
  enum Kind : int32_t { kNone, kText, kCount, kFlags, kJoinOrder };
  int32_t kind = kNone;
  TextSpan text;
  int32_t count = 0;
  uint32_t flags = 0;
  int32_t joinOrder = kNoFact;
};
DecisionValue decisionValue(const TraceFacts& f, const DecisionDifference& d, bool sideB);
// The table, index or column a statistic's fact is of, on one side;
// absent for the other facts.
TextSpan decisionItemName(const TraceFacts& f, const DecisionDifference& d, bool sideB);

// What differs in one pair of statements.
struct PairDifferences {
  bool sqlIdDiffers;
  bool planHashDiffers;
  FactRange parameters;  // in TraceComparison::parameters
  FactRange fixControls;
  FactRange queryBlocks;
  FactRange decisions;  // in TraceComparison::decisions, in trace order
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
  PackedRecords<DecisionDifference> decisions;
  // The first decision or estimate that went another way, in the order the
  // optimizer worked (A's): the first that is neither a cost nor a
  // statistic, else the first cost, else the first statistic; kNoFact
  // when none differs.
  int32_t firstDivergence = kNoFact;
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
// compareTraces with out.aLines and out.bLines already built from the
// texts (buildLineTable), as a caller that builds them on two threads has
// them; the same result.
int compareTracesWithLines(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out);

// The line of B aligned with line `aLine` of A: its equal partner, or for
// a line inside a hunk the line at the same place in B's side of it
// (the last one when that side is shorter); noise lines go with the next
// line that is not noise. And the same from B to A.
int32_t alignedLineInB(const TraceComparison& comparison, int32_t aLine);
int32_t alignedLineInA(const TraceComparison& comparison, int32_t bLine);
