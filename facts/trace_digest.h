// The trace digest: the facts the viewer shows beside the outline (the
// summary table's rows and the outline nodes' tooltips), copied out of the
// trace facts into memory of its own.
//
// The viewer may give up the trace text once the editor holds it, and the
// facts are spans of that text; the digest keeps the facts records it
// shows, their spans moved onto a pool of its own, so it stays valid for
// as long as the trace is shown, and adds the summary's rows.
// Lines are 1-based lines of the text the key points were scanned from;
// digestShownLine moves them into the text shown.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"

// What the summary adds to a statement of the digest's facts.
struct DigestStatement {
  FactRange rows;
  double cost = 0;  // of its most expensive query block; NaN when none has one
  bool sqlTextCut = false;  // its SQL text was cut: the viewer marks the cut
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
  int32_t queryBlock = kNoFact;  // in facts.queryBlocks; kNoFact for a statement row
  int32_t line = 0;              // 0 when the trace does not say
  TextSpan name;                 // «NAME (#N)»
  TextSpan tables;               // of the best join order, separated by blanks
  double costValue = 0;  // the final cost's figures as numbers; NaN when absent or not a number
  double cardValue = 0;
  double bytesValue = 0;
};

class TraceDigest {
 public:
  // The facts the viewer shows, copied: the statements (their sql_id, plan
  // hash value and first SQL line), query blocks, join orders and their
  // tables, the single-table sections and every key point's line. Their
  // spans are spans of `pool`, which facts.text points at. Left out: the
  // long lists, transformations, column and table statistics, and a join
  // order's card and bytes.
  TraceFacts facts;
  PackedRecords<DigestStatement> statements;  // one per facts.statements
  PackedRecords<DigestRow> rows;              // in trace order
  PackedRecords<int32_t> queryBlockRows;      // the row of each of facts.queryBlocks
  SVString pool;
  int32_t keyPointCount = 0;  // of the scan the digest was made from
  int64_t build = 0;          // how many times it was built: a new trace, not moved lines

  // The span's bytes; empty for an absent span.
  std::string_view view(TextSpan span) const { return facts.view(span); }

  // Empty, with `build` kept.
  void reset();
};

// The query block of row `row`; an empty one (no spans, no ranges) for a
// statement row.
const QueryBlockFact& digestBlock(const TraceDigest& digest, const DigestRow& row);

// Longest first line of a statement's SQL text that is kept, in bytes.
constexpr int32_t kDigestSqlTextLimit = 300;

// Builds the facts of `text` (as scanned, lines not moved by re-formatting)
// and copies what the digest keeps; the text may go once it returns.
// Control bytes in copied spans become blanks; a statement's SQL text is
// its first line, cut at kDigestSqlTextLimit bytes. Returns 0, or -1 with the
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

// The row of the final cost at key point `keyPoint`, or kNoFact.
int32_t digestRowOfKeyPoint(const TraceDigest& digest, int32_t keyPoint);

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
