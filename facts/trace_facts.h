// Trace facts: what the optimizer saw and decided, per traced statement,
// read from the text around the key points in one pass; the long lists
// (parameters, fix controls, plan rows, outline hints) on request.
//
// A statement is the stretch of the trace that ends with its SQL-dump line
// («sql_id=... plan_hash_value=...»); its explain plan and optimizer state
// dump follow that line. Facts are plain records in packed lists; a
// statement names its share of each list by a range. Texts are spans of
// the trace text, which the caller keeps alive and unchanged: numbers stay
// the strings the trace prints. Lines are 1-based, as the editor counts
// them, in the text the key points were scanned from (before any
// re-formatting of final queries); 0 means the trace does not say.
#pragma once

#include <cassert>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/packed_records.h"
#include "outline/key_points.h"

// Bytes [offset, offset + length) of the trace text; absent when length < 0.
// A span never holds a line end.
struct TextSpan {
  int32_t offset = 0;
  int32_t length = -1;
  bool present() const { return length >= 0; }
};

// A run of records in one of the fact lists.
struct FactRange {
  int32_t first = 0;
  int32_t count = 0;
  int32_t end() const { return first + count; }
};

// The records of `list` in `range`, for a range-for; cut to the list's end
// (a range of a list that lost its records names none).
template <class Record>
struct FactSlice {
  Record* first;
  Record* last;
  Record* begin() const { return first; }
  Record* end() const { return last; }
};
template <class List>
auto slice(List& list, FactRange range) {
  assert(range.first >= 0 && range.count >= 0);
  const int32_t from = range.first < 0 ? 0 : (range.first < list.count() ? range.first : list.count());
  const int32_t to = range.end() < from ? from : (range.end() < list.count() ? range.end() : list.count());
  return FactSlice<std::remove_reference_t<decltype(*list.begin())>>{list.begin() + from, list.begin() + to};
}

// Where a section's text begins (just past its marker) and how far its
// reader may go; offset -1 when the statement has no such section.
struct SectionPlace {
  int32_t offset = -1;
  int32_t limit = 0;
};

constexpr int32_t kNoFact = -1;

// Which list of the optimizer's parameter block a parameter came from.
enum ParameterList : int32_t {
  kParametersUnlabelled = 0,  // before any list heading
  kParametersAltered = 1,     // "PARAMETERS WITH ALTERED VALUES"
  kParametersDefault = 2,     // "PARAMETERS WITH DEFAULT VALUES"
  kParametersOptParamHint = 3,  // "PARAMETERS IN OPT_PARAM HINT"
};

struct ParameterFact {
  int32_t line = 0;
  int32_t list = kParametersUnlabelled;
  TextSpan name;
  TextSpan value;
};

// «fix NNNN = value».
struct FixControlFact {
  int32_t line = 0;
  TextSpan number;
  TextSpan value;
};

// «Join order[K]:  T1[T1]#0  T2[T2]#1» and the «Best so far:» after it.
struct JoinOrderFact {
  int32_t line = 0;
  int32_t keyPoint = kNoFact;  // index of its tkJoinOrder key point
  TextSpan number;             // K
  FactRange tables;            // entries in TraceFacts::tables
  int32_t bestSoFarLine = 0;   // 0 when no «Best so far:» follows it
  TextSpan cost;               // of the last «Table#:» line of «Best so far:»
  TextSpan card;
  TextSpan bytes;
  int32_t abortedLines = 0;    // «Join order aborted:» (or «aborted2:», ...) lines after it
  int32_t queryBlock = kNoFact;  // the final-cost record it led to
  TextSpan lastStepCost;       // «Cost:» on the line after its last «Best:: JoinMethod:»
};

// «Access Path: P» in a single-table section: a path the optimizer costed.
struct AccessCandidateFact {
  int32_t line = 0;
  TextSpan path;  // P, trimmed
  TextSpan index;
  TextSpan cost;
  // 1 for a part of a bitmap plan, tried between «trying bitmap/domain
  // indexes» and its end (an int, so that the record has no padding).
  int32_t bitmap = 0;
};

enum AccessFlagKind : int32_t {
  kFlagProratedDensity = 1,  // «Using prorated density»: a value outside the statistics, guessed
  kFlagRoundedToOne = 2,     // a card rounded to 1 from another original
};

// "prorated_density", "rounded_to_one".
const char* accessFlagName(int32_t kind);

struct AccessFlagFact {
  int32_t line = 0;
  int32_t kind = kFlagProratedDensity;
};

// «Column (#N): NAME(TYPE)» and its figures «AvgLen: 3 NDV: 1 Nulls: 0
// Density: 0.000005», «Histogram: Freq ...»: the first of a column's in a
// single-table section, the statistics the estimate used.
struct ColumnStatFact {
  int32_t line = 0;
  TextSpan name;  // NAME(TYPE) without its number
  TextSpan ndv;
  TextSpan nulls;
  TextSpan density;
  TextSpan histogram;  // the kind after "Histogram:", e.g. "Freq"; absent without one
};

// An index under «Index Stats::» of «BASE STATISTICAL INFORMATION».
struct IndexStatFact {
  int32_t line = 0;
  TextSpan name;
  TextSpan levels;        // LVLS
  TextSpan leafBlocks;    // #LB
  TextSpan distinctKeys;  // #DK
  TextSpan clusteringFactor;  // CLUF
};

// A table under «Table Stats::» of «BASE STATISTICAL INFORMATION».
struct TableStatFact {
  int32_t line = 0;
  TextSpan table;
  TextSpan alias;
  TextSpan rows;       // #Rows
  TextSpan blocks;     // #Blks
  TextSpan avgRowLen;  // AvgRowLen
  FactRange indexes;   // in TraceFacts::indexStats
};

// «Single Table Cardinality Estimation for ALIAS» and what follows it, to
// the figures of its «Best:: AccessPath:»: the last such section of the
// alias in a query block's stretch.
struct AccessPathFact {
  int32_t line = 0;
  int32_t lastLine = 0;  // of the section
  TextSpan alias;
  int32_t cardLine = 0;  // the «Card: Original:» line; 0 when none
  TextSpan cardOriginal;
  TextSpan cardRounded;
  TextSpan cardComputed;
  FactRange candidates;
  int32_t bestLine = 0;  // the «Best:: AccessPath: P» line; 0 when none
  TextSpan bestPath;
  TextSpan bestIndex;
  TextSpan bestCost;
  TextSpan bestCard;
  FactRange flags;
  FactRange columns;  // in TraceFacts::columnStats
};

// «Final cost for query block NAME (#N) - PLAN:» and the lines after it.
struct QueryBlockFact {
  int32_t line = 0;
  int32_t keyPoint = kNoFact;  // index of its tkFinalQbCost key point
  TextSpan name;
  TextSpan number;             // N of «(#N)»
  TextSpan plan;               // e.g. "All Rows Plan"
  TextSpan bestJoinOrder;      // K of «Best join order: K»
  TextSpan cost;
  TextSpan card;
  TextSpan bytes;
  int32_t bestJoinOrderFact = kNoFact;  // the last «Join order[K]:» above
  // Its stretch runs from the line after the statement's previous final
  // cost (or the statement's start) to its own line. The optimizer may
  // search join orders several times in it, once per transformation state
  // it costs; each search numbers its join orders from 1 again.
  FactRange stretchJoinOrders;  // «Join order[K]:» of every search in the stretch
  FactRange joinOrders;         // of the last search, the one that gave this cost
  int32_t abortedJoinOrders = 0;  // of those
  FactRange accessPaths;        // one per alias estimated in the stretch
  FactRange tableStats;         // of the stretch's last «BASE STATISTICAL INFORMATION»
};

// One row of the explain plan's table.
struct PlanOperationFact {
  int32_t line = 0;
  int32_t depth = 0;  // indentation of the operation
  TextSpan id;
  TextSpan operation;
  TextSpan name;
  TextSpan rows;
  TextSpan cost;
};

// One line between BEGIN_OUTLINE_DATA and END_OUTLINE_DATA.
struct OutlineHintFact {
  int32_t line = 0;
  TextSpan text;
};

enum TransformationVerdict : int32_t {
  kTransformationBetter = 1,  // "is better cost", "Updated best state"
  kTransformationWorse = 2,   // "is worse cost", "Not update best state"
};

// A line on which the optimizer states the outcome of a transformation.
struct TransformationFact {
  int32_t line = 0;
  int32_t verdict = kTransformationBetter;
  TextSpan kind;        // the line's prefix, e.g. "ORE"; absent when none
  TextSpan queryBlock;  // named on the line, else the block being worked on
  TextSpan text;        // the whole line, trimmed
};

struct StatementFacts {
  int32_t firstLine = 0;  // the statement's stretch, dump included
  int32_t lastLine = 0;
  int32_t beginOffset = 0;  // the same as byte offsets [begin, end)
  int32_t endOffset = 0;
  FactRange keyPoints;      // the key points inside the stretch

  int32_t sqlDumpKeyPoint = kNoFact;  // "Starting SQL statement dump"
  int32_t line = 0;                   // the «sql_id=... plan_hash_value=...» line
  TextSpan sqlId;           // from that line, else from the first "sql_id="
  TextSpan planHashValue;     // decimal
  TextSpan planHashValueHex;  // the same in hex, where the trace adds it: «-551043928(df27bca8)»
  int32_t sqlTextLine = 0;  // first line of the statement's SQL text
  TextSpan sqlText;
  int32_t finalQueryKeyPoint = kNoFact;  // the last final query before the dump
  int32_t finalQueryLine = 0;            // the query's own line
  TextSpan finalQuery;

  FactRange queryBlocks;
  FactRange joinOrders;
  FactRange transformations;

  // The long lists, read by readStatementLists: a statement's parameters
  // and fix controls are most of a real trace, and the viewer needs them
  // only when it shows them.
  int32_t parametersLine = 0;  // "PARAMETERS USED BY THE OPTIMIZER"
  int32_t explainPlanLine = 0;  // "Explain Plan Dump"
  int32_t stateDumpLine = 0;    // "Optimizer state dump:"
  SectionPlace parameterBlock;
  SectionPlace explainPlan;
  SectionPlace stateDump;
  bool listsRead = false;
  FactRange parameters;
  FactRange parameterFixControls;  // «fix» lines inside the parameter block
  int32_t fixControlsLine = 0;     // "Bug Fix Control Environment" of the state dump
  FactRange fixControls;
  FactRange planOperations;
  int32_t outlineLine = 0;  // BEGIN_OUTLINE_DATA
  FactRange outlineHints;
  // Lines of the parameter and fix-control lists that held an entry made
  // unreadable by a zero byte or a lone carriage return: skipped, so the
  // entries after them are still read.
  int32_t skippedListLines = 0;
};

class TraceFacts {
 public:
  PackedRecords<StatementFacts> statements;
  PackedRecords<ParameterFact> parameters;
  PackedRecords<FixControlFact> fixControls;
  PackedRecords<FixControlFact> parameterFixControls;
  PackedRecords<QueryBlockFact> queryBlocks;
  PackedRecords<JoinOrderFact> joinOrders;
  PackedRecords<TextSpan> tables;
  PackedRecords<AccessPathFact> accessPaths;
  PackedRecords<AccessCandidateFact> accessCandidates;
  PackedRecords<AccessFlagFact> accessFlags;
  PackedRecords<ColumnStatFact> columnStats;
  PackedRecords<TableStatFact> tableStats;
  PackedRecords<IndexStatFact> indexStats;
  PackedRecords<TransformationFact> transformations;
  PackedRecords<PlanOperationFact> planOperations;
  PackedRecords<OutlineHintFact> outlineHints;
  PackedRecords<int32_t> keyPointLines;  // 1-based line of every key point

  // The text the spans describe (not owned).
  const char* text = nullptr;
  int32_t length = 0;

  // The span's bytes; empty for an absent span.
  std::string_view view(TextSpan span) const {
    return span.present() ? std::string_view(text + span.offset, static_cast<size_t>(span.length))
                          : std::string_view();
  }

  void reset();
};

// Fills `facts` from `text` and its key points, as scanKeyPoints gave them
// (lines not moved by re-formatting): everything but the long lists, which
// readStatementLists adds. Returns 0, or -1 with `facts` empty when memory
// ran out.
int buildTraceFacts(TraceFacts& facts, const char* text, int32_t length, const KeyPoints_c& keyPoints);

// The key-point scan and the facts pass in one: resets `keyPoints`, scans
// `text` into it as scanKeyPoints does, and fills `facts` as
// buildTraceFacts then would, reading the text near each key point while
// the scan still has it in the cache (on a large trace the pass so costs
// a third less). The same key points and facts as the two calls; the same
// result as buildTraceFacts.
int scanKeyPointsAndFacts(KeyPoints_c& keyPoints, TraceFacts& facts, const char* text, int32_t length);

// Reads the parameters, fix controls, plan rows and outline hints of
// statement `statement` unless they were read already; its ranges then
// name them. Returns 0, or -1 when memory ran out (the lists are then
// empty and every statement's lists count as unread).
int readStatementLists(TraceFacts& facts, int32_t statement);
// The same for every statement.
int readAllStatementLists(TraceFacts& facts);

// The statement whose stretch holds `line` (1-based), or kNoFact.
int32_t statementAtLine(const TraceFacts& facts, int32_t line);
// The statement whose stretch holds key point `keyPoint`, or kNoFact.
int32_t statementOfKeyPoint(const TraceFacts& facts, int32_t keyPoint);
// The join order or final-cost record of a key point, or kNoFact.
int32_t joinOrderOfKeyPoint(const TraceFacts& facts, int32_t keyPoint);
int32_t queryBlockOfKeyPoint(const TraceFacts& facts, int32_t keyPoint);

// K of «Join order[K]:» as a number; 0 when it is not one that fits.
int32_t joinOrderNumber(const TraceFacts& facts, const JoinOrderFact& order);
// Whether the join order opens a search: its K is 1.
bool opensJoinOrderSearch(const TraceFacts& facts, const JoinOrderFact& order);

// One search among the join orders of a stretch: each search numbers its
// join orders from 1 again.
struct JoinOrderSearch {
  int32_t first = 0;  // in TraceFacts::joinOrders
  int32_t count = 0;
  int32_t aborted = 0;  // of its join orders, those the optimizer gave up
};
// The searches of the join orders in `stretch`, in order.
std::vector<JoinOrderSearch> joinOrderSearches(const TraceFacts& facts, FactRange stretch);

// Indexes of the parameters of `statement` that take effect, one per name:
// an altered value wins over a default one, the first of a list over later
// repeats; parameters of the OPT_PARAM hint list are left out. In the
// order of the trace, or with `byName` in the order of their names.
// Returns 0, or -1 when memory ran out.
int effectiveParameters(const TraceFacts& facts, const StatementFacts& statement, PackedRecords<int32_t>& out,
                        bool byName = false);
// Indexes of the statement's fix controls, the first of each number, in
// the order of the trace, or with `byNumber` in the order of their
// numbers. Returns 0 or -1.
int effectiveFixControls(const TraceFacts& facts, const StatementFacts& statement, PackedRecords<int32_t>& out,
                         bool byNumber = false);
