// Fuzz target: any bytes as a trace. The digest's texts must lie in its
// pool without control bytes, its rows and join orders in order, its lines
// and lookups as the facts give them (also once the final queries are
// formatted), and every column's order a permutation of the rows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "facts/trace_digest.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"
#include "sql/final_query_reformat.h"
#include "sql/sql_tokenizer.h"
#include "tests/same_facts.h"
#include "fuzz/fuzz_check.h"

namespace {

void checkText(const TraceDigest& d, TextSpan t) {
  if (!t.present()) return;
  check(t.offset >= 0 && t.offset + t.length <= d.pool.length());
  for (const char c : d.view(t)) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

// Line `line` as scanned, in the text shown, found by walking the key
// points: it moves with the last one at or above it.
int32_t movedLine(const TraceFacts& f, const KeyPoints_c& shown, int32_t line) {
  if (shown.count() != f.keyPointLines.count()) return line;
  int32_t anchor = -1;
  for (int32_t k = 0; k < f.keyPointLines.count() && f.keyPointLines[k] <= line; ++k) anchor = k;
  return anchor < 0 ? line : line + (shown[anchor].line + 1 - f.keyPointLines[anchor]);
}

void checkDigest(const TraceDigest& d, const TraceFacts& f, const KeyPoints_c& scanned, const KeyPoints_c& shown) {
  check(d.keyPointCount == scanned.count());
  int32_t nextRow = 0;
  check(d.statements.count() == d.facts.statements.count());
  for (int32_t i = 0; i < d.statements.count(); ++i) {
    const DigestStatement& s = d.statements[i];
    const StatementFacts& kept = d.facts.statements[i];
    check(s.rows.first == nextRow && s.rows.count >= 1);
    nextRow += s.rows.count;
    for (TextSpan t : {kept.sqlId, kept.planHashValue, kept.sqlText}) checkText(d, t);
    check(!kept.sqlText.present() || kept.sqlText.length <= kDigestSqlTextLimit + 3);
  }
  check(nextRow == d.rows.count());
  for (int32_t r = 0; r < d.rows.count(); ++r) {
    const DigestRow& row = d.rows[r];
    check(row.statement >= 0 && row.statement < d.statements.count());
    const QueryBlockFact& b = digestBlock(d, row);
    for (TextSpan t : {row.name, b.plan, b.bestJoinOrder, b.cost, b.card, b.bytes, row.tables}) checkText(d, t);
    check(digestShownLine(d, row.line, scanned, 0) == row.line);
    check(b.keyPoint == kNoFact || digestShownLine(d, row.line, shown, 0) == movedLine(f, shown, row.line));
  }
  int32_t previous = -1;
  for (int32_t q = 0; q < d.queryBlockRows.count(); ++q) {
    const int32_t r = d.queryBlockRows[q];
    check(r >= 0 && r < d.rows.count() && (d.rows[r].flags & kRowStatementOnly) == 0 && d.rows[r].queryBlock == q);
    check(d.facts.queryBlocks[q].keyPoint > previous);
    previous = d.facts.queryBlocks[q].keyPoint;
    check(digestRowOfKeyPoint(d, previous) == r);
  }
  check(d.queryBlockRows.count() == f.queryBlocks.count());
  for (const JoinOrderFact& j : d.facts.joinOrders) checkText(d, j.cost), checkText(d, j.lastStepCost);
  for (const TextSpan& t : d.facts.tables) checkText(d, t);
  check(sameDigestFacts(d, f));
  for (int32_t k = 0; k < scanned.count(); ++k) {
    check(statementOfKeyPoint(d.facts, k) == statementOfKeyPoint(f, k));
    check(joinOrderOfKeyPoint(d.facts, k) == joinOrderOfKeyPoint(f, k));
  }
  for (int32_t column = 0; column < kDigestColumnCount; ++column) {
    std::vector<int32_t> order;
    for (int32_t r = 0; r < d.rows.count(); ++r) order.push_back(r);
    sortDigestRows(d, static_cast<DigestColumn>(column), column % 2 == 1, order.data(), d.rows.count());
    std::vector<bool> seen(order.size());
    for (int32_t r : order) {
      check(r >= 0 && r < d.rows.count() && !seen[static_cast<size_t>(r)]);
      seen[static_cast<size_t>(r)] = true;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static const bool dispatch = (buildSqlDispatch(), true);
  (void)dispatch;
  SVString text;
  if (text.append(reinterpret_cast<const char*>(data), static_cast<int64_t>(size)) != 0) return 0;
  if (text.append("\r\n", 2) != 0) return 0;
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  // The digest is made from the facts it is checked against, as
  // buildTraceDigest makes it: one facts pass, not two.
  TraceFacts facts;
  if (buildTraceFacts(facts, text.c_str(), text.length(), keyPoints) != 0) return 0;
  TraceDigest digest;
  if (digestTraceFacts(digest, facts, keyPoints.count()) != 0) return 0;
  // The key points as the text shows them once its final queries are
  // formatted: a copy of the scan's, moved.
  KeyPoints_c shown;
  for (const KeyPoint& k : keyPoints) {
    KeyPoint* copy = appendKeyPoint(shown);
    if (!copy) return 0;
    *copy = k;
  }
  if (shiftFinalQueryLines(text, shown) != 0) return 0;
  checkDigest(digest, facts, keyPoints, shown);
  return 0;
}
