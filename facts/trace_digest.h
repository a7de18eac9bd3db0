// The trace digest: the facts the viewer shows beside the outline (the
// summary table's rows and the outline nodes' tooltips), copied out of the
// trace facts into memory of its own.
//
// The viewer may give up the trace text once the editor holds it, and the
// facts are spans of that text; the digest keeps only what it shows, its
// texts in one pool, so it stays valid for as long as the trace is shown.
// Lines are 1-based lines of the text the key points were scanned from;
// digestLine moves them into the text shown.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"

// Bytes [offset, offset + length) of the digest's pool; absent when
// length < 0.
struct DigestText {
  int32_t offset = 0;
  int32_t length = -1;
  bool present() const { return length >= 0; }
};

struct DigestStatement {
  FactRange keyPoints;  // the key points of its stretch
  int32_t line = 0;     // the «sql_id=... plan_hash_value=...» line; 0 when none
  DigestText sqlId;
  DigestText planHashValue;
  DigestText sqlText;  // the first line of its SQL text, cut when very long
  bool sqlTextCut = false;  // it was: the viewer marks the cut
  FactRange rows;
  double cost = 0;  // of its most expensive query block; NaN when none has one
};

enum DigestRowFlag : int32_t {
  kRowStatementOnly = 1,   // a statement without a final cost: no query block
  kRowTopOfStatement = 2,  // the most expensive (or tied for it) of two or more in its statement
  kRowTopStatement = 4,    // in a statement of the highest cost (ties too), of two or more
};

// One row of the summary: a final cost of a query block, or a statement
// that has none.
struct DigestRow {
  int32_t statement = 0;
  int32_t flags = 0;
  int32_t keyPoint = kNoFact;  // the final cost's key point; kNoFact for a statement row
  int32_t line = 0;            // 0 when the trace does not say
  DigestText queryBlock;       // «NAME (#N)»
  DigestText plan;
  DigestText bestJoinOrder;
  DigestText cost;
  DigestText card;
  DigestText bytes;
  DigestText tables;  // of the best join order, separated by blanks
  int32_t tried = 0;
  int32_t aborted = 0;
  FactRange stretchJoinOrders;  // in joinOrders: every search of its stretch
  FactRange joinOrders;         // the last search, which gave its cost
  FactRange accessPaths;        // the tables estimated in its stretch
  double costValue = 0;  // the three as numbers; NaN when absent or not a number
  double cardValue = 0;
  double bytesValue = 0;
};

// A join order, for its outline node's tooltip and the search map.
struct DigestJoinOrder {
  int32_t keyPoint = kNoFact;
  int32_t line = 0;
  int32_t number = 0;   // K of «Join order[K]:»; 0 when it is not a number
  int32_t aborted = 0;  // 1 when the optimizer gave it up
  int32_t queryBlock = kNoFact;  // the final cost of its stretch, an index of finalCostRows
  DigestText tables;
  DigestText cost;          // from its «Best so far:»; absent when it has none
  DigestText lastStepCost;  // of its last «Best:: JoinMethod:»
};

class TraceDigest {
 public:
  PackedRecords<DigestStatement> statements;
  PackedRecords<DigestRow> rows;  // in trace order
  PackedRecords<int32_t> finalCostRows;      // the rows of final costs, in key-point order
  PackedRecords<DigestJoinOrder> joinOrders;  // in key-point order
  // The single-table sections as the facts hold them, their spans in the
  // pool.
  PackedRecords<AccessPathFact> accessPaths;
  PackedRecords<AccessCandidateFact> accessCandidates;
  PackedRecords<AccessFlagFact> accessFlags;
  PackedRecords<int32_t> keyPointLines;  // of every key point, as scanned
  SVString pool;
  int32_t keyPointCount = 0;  // of the scan the digest was made from
  int64_t build = 0;          // how many times it was built: a new trace, not moved lines

  // The text's bytes; empty for an absent text.
  std::string_view view(DigestText text) const {
    return text.present() ? std::string_view(pool.c_str() + text.offset, static_cast<size_t>(text.length))
                          : std::string_view();
  }
  std::string_view view(TextSpan span) const { return view(DigestText{span.offset, span.length}); }

  // Empty, with `build` kept.
  void reset();
};

// Longest first line of a statement's SQL text that is kept, in bytes.
constexpr int32_t kDigestSqlTextLimit = 300;

// Builds the facts of `text` (as scanned, lines not moved by re-formatting)
// and copies what the digest keeps; the text may go once it returns.
// Control bytes in copied texts become blanks. Returns 0, or -1 with the
// digest empty when memory ran out.
int buildTraceDigest(TraceDigest& digest, const char* text, int32_t length, const KeyPoints_c& keyPoints);
// The same from facts already built over the text (scanKeyPointsAndFacts
// builds them with the key points in one walk); `keyPointCount` is the
// number of key points they were built from.
int digestTraceFacts(TraceDigest& digest, const TraceFacts& facts, int32_t keyPointCount);

// The two numberings of a trace's lines, both 1-based: the file's (the
// text as scanned, as the command line and the comparison give them) and
// the text shown's, where each formatted final query takes more lines than
// its one line in the file. Where the shift between them grows from one
// key point to the next, a formatted query lies on the line after the
// earlier one (its «Final query after transformations:» marker); `gainAtEnd`
// is the shift after the last key point (the text shown's lines less the
// file's).
//
// File line `line` in the text shown, given that text's key points: lines
// up to a formatted query keep the shift of the key point above them, the
// query moves to its first row, and the lines after it take its gain too.
int32_t digestShownLine(const TraceDigest& digest, int32_t line, const KeyPoints_c& shown, int32_t gainAtEnd);
// The file line that line `line` of the text shown stands for: every row
// of a formatted query stands for the query's line.
int32_t digestFileLine(const TraceDigest& digest, int32_t line, const KeyPoints_c& shown, int32_t gainAtEnd);

// The statement whose stretch holds key point `keyPoint`, or kNoFact.
int32_t digestStatementOfKeyPoint(const TraceDigest& digest, int32_t keyPoint);
// The row of the final cost at key point `keyPoint`, or kNoFact.
int32_t digestRowOfKeyPoint(const TraceDigest& digest, int32_t keyPoint);
// The join order at key point `keyPoint`, or kNoFact.
int32_t digestJoinOrderOfKeyPoint(const TraceDigest& digest, int32_t keyPoint);

// The columns of the summary table, in their order.
enum DigestColumn : int32_t {
  kColumnStatement,
  kColumnQueryBlock,
  kColumnCost,
  kColumnTables,
  kColumnCard,
  kColumnBytes,
  kColumnTried,
  kColumnAborted,
  kColumnPlan,
  kColumnLine,
  kDigestColumnCount,
};

// Puts the `count` row indexes at `order` in the order of `column`,
// descending when asked: the statement column by the statement's place in
// the trace, numbers by value (a row without a number below any number),
// texts bytewise. Rows that compare equal keep trace order either way.
void sortDigestRows(const TraceDigest& digest, DigestColumn column, bool descending, int32_t* order, int32_t count);

// The number a trace prints (e.g. «2.0010», «1234567.5», «1.2e+05»), or
// NaN when the text is none.
double digestNumber(std::string_view text);
