#include "facts/trace_digest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "sql/final_query_reformat.h"
#include "sql/sql_tokenizer.h"
#include "tests/facts_trace_builder.h"
#include "tests/same_facts.h"

namespace {

std::string sampleText(const char* name) {
  SVString text;
  EXPECT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0);
  return std::string(text.c_str(), static_cast<size_t>(text.length())) + "\r\n";
}

struct Digest {
  std::string text;
  KeyPoints_c keyPoints;
  TraceDigest digest;
  explicit Digest(std::string t) : text(std::move(t)) {
    scanKeyPoints(keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(buildTraceDigest(digest, text.c_str(), static_cast<int32_t>(text.size()), keyPoints), 0);
  }
};

std::string str(const TraceDigest& d, TextSpan t) { return t.present() ? std::string(d.view(t)) : "null"; }
std::string factText(const TraceFacts& f, TextSpan t) { return t.present() ? std::string(f.view(t)) : "null"; }

// A row as one line, so a test names what it expects plainly.
std::string describe(const TraceDigest& d, const DigestRow& r) {
  const StatementFacts& s = d.facts.statements[r.statement];
  const QueryBlockFact& b = digestBlock(d, r);
  std::string flags;
  if (r.flags & kRowStatementOnly) flags += " statement-only";
  if (r.flags & kRowTopOfStatement) flags += " top-of-statement";
  if (r.flags & kRowTopStatement) flags += " top-statement";
  return std::to_string(r.statement) + " " + str(d, s.sqlId) + " | " + str(d, r.name) + " | " + str(d, b.plan) +
         " | " + str(d, b.cost) + " " + str(d, b.card) + " " + str(d, b.bytes) + " | " + str(d, b.bestJoinOrder) +
         ": " + str(d, r.tables) + " | " + std::to_string(b.joinOrders.count) + "/" +
         std::to_string(b.abortedJoinOrders) + " | line " + std::to_string(r.line) + flags;
}

std::vector<std::string> describeRows(const TraceDigest& d) {
  std::vector<std::string> rows;
  for (const DigestRow& r : d.rows) rows.push_back(describe(d, r));
  return rows;
}

// The viewer's copy of why a plan was chosen: the searches of each final
// cost and the sections of its stretch, whole, once the text has gone.
TEST(TraceDigest, KeepsTheSearchesAndSectionsOfEachFinalCost) {
  Digest x(sampleText("hr_join_search.trc"));
  TraceFacts f;
  ASSERT_EQ(buildTraceFacts(f, x.text.c_str(), static_cast<int32_t>(x.text.size()), x.keyPoints), 0);
  EXPECT_TRUE(sameDigestFacts(x.digest, f));
  ASSERT_EQ(x.digest.rows.count(), 1);
  const QueryBlockFact& row = digestBlock(x.digest, x.digest.rows[0]);
  EXPECT_EQ(row.stretchJoinOrders.count, 18);
  EXPECT_EQ(row.joinOrders.first, 12);
  EXPECT_EQ(row.accessPaths.count, 3);
  std::string series;
  const TraceFacts& kept = x.digest.facts;
  for (const JoinOrderFact& o : slice(kept.joinOrders, row.joinOrders)) {
    series += std::to_string(joinOrderNumber(kept, o)) + (o.abortedLines > 0 ? "a " : " ") + str(x.digest, o.cost) +
              " " + str(x.digest, o.lastStepCost) + ";";
  }
  EXPECT_EQ(series,
            "1 34.138980 34.138980;2 34.004268 34.004268;3a null 37.910847;4a null 70.036138;5a null 69.399345;"
            "6a null 59.832296;");
}

TEST(TraceDigest, RowsOfASampleWithFourStatements) {
  Digest x(sampleText("sh_four_statements.trc"));
  const std::vector<std::string> expected = {
      "0 4hs9c2vnb7x0p | SEL$2 (#2) | All Rows Plan | 2.0010 1.000000 12.000000 | 1: TIMES[T]#0 | 1/0 | line 100 "
      "top-statement",
      "0 4hs9c2vnb7x0p | SEL$1 (#1) | All Rows Plan | 1234567.5 9618.000000 817530.000000 | 2: CUSTOMERS[C]#1 "
      "SALES[S]#0 PRODUCTS[P]#2 | 3/1 | line 135 top-of-statement top-statement",
      "1 9m2kq0tz3w1ab | SEL$1 (#1) | All Rows Plan | 17.003 1.000000 52.000000 | 1: CUSTOMERS[CUSTOMERS]#0 | 1/0 | "
      "line 264",
      "2 0c7yr8fk2pdhw | SEL$2 (#2) | All Rows Plan | 845.25 4.000000 28.000000 | 1: SALES[SALES]#0 | 1/0 | line 394",
      "2 0c7yr8fk2pdhw | SEL$1 (#1) | All Rows Plan | 857.93 4.000000 116.000000 | 1: CHANNELS[CH]#0 V[V]#1 | 2/1 | "
      "line 422 top-of-statement",
      "3 b3n5t7x9z1q2r | SEL$1 (#1) | First K Rows Plan | 3.0 10.000000 410.000000 | 1: PRODUCTS[PRODUCTS]#0 | 1/0 | "
      "line 551",
  };
  EXPECT_EQ(describeRows(x.digest), expected);
  const TraceDigest& d = x.digest;
  ASSERT_EQ(d.statements.count(), 4);
  EXPECT_EQ(str(d, d.facts.statements[2].planHashValue), "-402981166");
  EXPECT_EQ(str(d, d.facts.statements[2].sqlText), "select ch.channel_desc, v.total");
  EXPECT_EQ(d.facts.statements[2].line, 431);
  EXPECT_DOUBLE_EQ(d.statements[0].cost, 1234567.5);
}

// The viewer builds the facts beside the key-point scan: the same digest.
TEST(TraceDigest, FromFactsBuiltBesideTheScan) {
  const Digest x(sampleText("sh_four_statements.trc"));
  KeyPoints_c keyPoints;
  TraceFacts facts;
  ASSERT_EQ(scanKeyPointsAndFacts(keyPoints, facts, x.text.c_str(), static_cast<int32_t>(x.text.size())), 0);
  TraceDigest beside;
  ASSERT_EQ(digestTraceFacts(beside, facts, keyPoints.count()), 0);
  EXPECT_EQ(describeRows(beside), describeRows(x.digest));
  EXPECT_EQ(beside.keyPointCount, x.digest.keyPointCount);
  EXPECT_EQ(beside.facts.joinOrders.count(), x.digest.facts.joinOrders.count());
}

// The point of the digest: it outlives the text it was made from.
TEST(TraceDigest, KeepsItsTextsWhenTheTraceIsGone) {
  auto x = std::make_unique<Digest>(sampleText("sh_four_statements.trc"));
  const std::vector<std::string> before = describeRows(x->digest);
  TraceDigest kept = std::move(x->digest);
  x->text.assign(x->text.size(), 'x');
  x.reset();
  EXPECT_EQ(describeRows(kept), before);
  ASSERT_GT(kept.facts.joinOrders.count(), 0);
  EXPECT_EQ(str(kept, kept.facts.tables[kept.facts.joinOrders[0].tables.first]), "TIMES[T]#0");
  EXPECT_EQ(str(kept, kept.facts.joinOrders[0].cost), "2.0010");
  EXPECT_EQ(str(kept, kept.facts.statements[0].sqlId), "4hs9c2vnb7x0p");
}

TEST(TraceDigest, NumbersAsTheTracePrintsThem) {
  const struct {
    const char* text;
    double value;  // NaN: not a number
  } cases[] = {
      {"2.0010", 2.001}, {"1234567.5", 1234567.5}, {"1.2e+05", 120000}, {"+3", 3},  {"-2.5", -2.5},
      {"", NAN},         {"abc", NAN},             {"1.5x", NAN},       {"+", NAN}, {"1e999", NAN},
  };
  for (const auto& c : cases) {
    const double got = digestNumber(c.text);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(got)) << c.text;
    } else {
      EXPECT_DOUBLE_EQ(got, c.value) << c.text;
    }
  }
}

// The rows' costs in the order of `column`.
std::vector<std::string> sortedBy(const TraceDigest& d, DigestColumn column, bool descending) {
  std::vector<int32_t> order(static_cast<size_t>(d.rows.count()));
  std::iota(order.begin(), order.end(), 0);
  sortDigestRows(d, column, descending, order.data(), static_cast<int32_t>(order.size()));
  std::vector<std::string> out;
  for (int32_t r : order) out.push_back(str(d, digestBlock(d, d.rows[r]).cost));
  return out;
}

TEST(TraceDigest, SortsCostsByValueAndTextsBytewise) {
  StatementSpec noCost;
  noCost.sqlId = "0000000000nil";
  noCost.cutBeforeDump = true;
  Digest x(sampleText("sh_four_statements.trc") + statementTrace(noCost));
  // The appended statement's two query blocks cost 36.404018 and 79.311486.
  const TraceDigest& d = x.digest;
  using Strings = std::vector<std::string>;
  EXPECT_EQ(sortedBy(d, kColumnCost, false),
            (Strings{"2.0010", "3.0", "17.003", "36.404018", "79.311486", "845.25", "857.93", "1234567.5"}));
  EXPECT_EQ(sortedBy(d, kColumnCost, true),
            (Strings{"1234567.5", "857.93", "845.25", "79.311486", "36.404018", "17.003", "3.0", "2.0010"}));
  // Equal plans keep trace order, whichever way.
  EXPECT_EQ(sortedBy(d, kColumnPlan, true),
            (Strings{"3.0", "2.0010", "1234567.5", "17.003", "845.25", "857.93", "36.404018", "79.311486"}));
  EXPECT_EQ(sortedBy(d, kColumnQueryBlock, false),
            (Strings{"79.311486", "1234567.5", "17.003", "857.93", "3.0", "36.404018", "2.0010", "845.25"}));
}

TEST(TraceDigest, MissingNumbersSortBelowEveryNumber) {
  StatementSpec odd;
  odd.cost = "n/a";
  Digest x(traceHeader() + statementTrace(odd));
  using Strings = std::vector<std::string>;
  EXPECT_EQ(sortedBy(x.digest, kColumnCost, false), (Strings{"n/a", "36.404018"}));
  EXPECT_EQ(sortedBy(x.digest, kColumnCost, true), (Strings{"36.404018", "n/a"}));
  // One costed query block: nothing to single out.
  for (const DigestRow& r : x.digest.rows) EXPECT_EQ(r.flags, 0);
}

TEST(TraceDigest, TiesAreAllMarked) {
  StatementSpec first;
  StatementSpec second = first;
  second.sqlId = "0c7yr8fk2pdhw";
  StatementSpec even = first;
  even.sqlId = "b3n5t7x9z1q2r";
  even.cost = "36.404018";  // as much as its SEL$2
  Digest x(traceHeader() + statementTrace(first) + statementTrace(second) + statementTrace(even) + "\r\n");
  ASSERT_EQ(x.digest.rows.count(), 6);
  // Both statements of the highest cost are tinted; both query blocks of
  // the same cost are the costliest of theirs.
  const std::vector<int32_t> expected = {kRowTopStatement, kRowTopStatement | kRowTopOfStatement,
                                         kRowTopStatement, kRowTopStatement | kRowTopOfStatement,
                                         kRowTopOfStatement, kRowTopOfStatement};
  for (int32_t r = 0; r < 6; ++r) EXPECT_EQ(x.digest.rows[r].flags, expected[static_cast<size_t>(r)]) << r;
}

TEST(TraceDigest, StatementWithoutFinalCostControlBytesAndLongSql) {
  StatementSpec spec;
  // The cut falls inside the two bytes of the "é".
  spec.sql = "select \x01\t'" + std::string(289, 'a') + "\xC3\xA9' from dual";
  std::string text = traceHeader() + statementTrace(spec);
  // A second statement that was never optimised: its dump alone.
  text += "*** 2021-03-15T09:42:00.000001+01:00\nRegistered qb: SEL$1 0x1 (PARSER)\nStarting SQL statement dump\n\n"
          "sql_id=5kb4y5n5akx5b plan_hash_value=0 problem_type=3\n"
          "----- Current SQL Statement for this session (sql_id=5kb4y5n5akx5b) -----\nselect 1 from dual\n";
  Digest x(text + "\r\n");
  const TraceDigest& d = x.digest;
  ASSERT_EQ(d.statements.count(), 2);
  const std::string sql = str(d, d.facts.statements[0].sqlText);
  EXPECT_EQ(sql.substr(0, 10), "select   '");
  EXPECT_EQ(static_cast<int32_t>(sql.size()), kDigestSqlTextLimit - 1);
  EXPECT_EQ(sql.substr(sql.size() - 3), "aaa");
  EXPECT_TRUE(d.statements[0].sqlTextCut);
  EXPECT_FALSE(d.statements[1].sqlTextCut);
  ASSERT_EQ(d.rows.count(), 3);
  const DigestRow& only = d.rows[2];
  EXPECT_EQ(only.flags, kRowStatementOnly);
  EXPECT_EQ(only.queryBlock, kNoFact);
  EXPECT_EQ(digestBlock(d, only).keyPoint, kNoFact);
  EXPECT_EQ(only.line, d.facts.statements[1].line);
  EXPECT_EQ(str(d, d.facts.statements[1].sqlId), "5kb4y5n5akx5b");
  EXPECT_TRUE(std::isnan(only.costValue));
}

// Every final cost's row moves as its key point moves once the final
// queries are formatted, and every key point finds its record.
TEST(TraceDigest, LinesAndLookupsAgreeWithTheFacts) {
  buildSqlDispatch();
  StatementSpec cut;
  cut.cutBeforeDump = true;
  Digest x(sampleText("sh_four_statements.trc") + sampleText("hr_two_statements.trc") + statementTrace(cut));
  TraceFacts facts;
  ASSERT_EQ(buildTraceFacts(facts, x.text.c_str(), static_cast<int32_t>(x.text.size()), x.keyPoints), 0);
  KeyPoints_c shown;
  scanKeyPoints(shown, x.text.c_str(), static_cast<int32_t>(x.text.size()));
  SVString text;
  text.append(x.text.c_str(), static_cast<int64_t>(x.text.size()));
  ASSERT_EQ(shiftFinalQueryLines(text, shown), 0);
  ASSERT_GT(shown[shown.count() - 1].line, x.keyPoints[x.keyPoints.count() - 1].line);

  const TraceDigest& d = x.digest;
  EXPECT_EQ(d.queryBlockRows.count(), facts.queryBlocks.count());
  for (int32_t r = 0; r < d.rows.count(); ++r) {
    const DigestRow& row = d.rows[r];
    const int32_t keyPoint = digestBlock(d, row).keyPoint;
    EXPECT_EQ(digestShownLine(d, row.line, x.keyPoints, 0), row.line);
    if (keyPoint != kNoFact) {
      EXPECT_EQ(digestShownLine(d, row.line, shown, 0) - row.line, shown[keyPoint].line - x.keyPoints[keyPoint].line)
          << r;
      EXPECT_EQ(digestRowOfKeyPoint(d, keyPoint), r);
    }
  }
  for (int32_t k = 0; k < x.keyPoints.count(); ++k) {
    EXPECT_EQ(statementOfKeyPoint(d.facts, k), statementOfKeyPoint(facts, k)) << k;
    const int32_t order = joinOrderOfKeyPoint(facts, k);
    const int32_t copy = joinOrderOfKeyPoint(d.facts, k);
    ASSERT_EQ(copy, order) << k;
    if (order != kNoFact) {
      EXPECT_EQ(str(d, d.facts.joinOrders[copy].cost), factText(facts, facts.joinOrders[order].cost));
    }
    if (queryBlockOfKeyPoint(facts, k) == kNoFact) {
      EXPECT_EQ(digestRowOfKeyPoint(d, k), kNoFact) << k;
    }
  }
  // Key points of another scan leave the lines as they are.
  KeyPoints_c fewer;
  EXPECT_EQ(digestShownLine(d, d.rows[1].line, fewer, 0), d.rows[1].line);
}

std::vector<std::string> linesOf(const char* text, int64_t length) {
  std::vector<std::string> lines(1);
  for (int64_t i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

// The file's numbering and the shown one with the final queries formatted
// map into each other: every line but a formatted query's lands on the
// same text, a query on its first row, every row of it back on its line;
// lines between a query and the next key point take the query's gain.
TEST(TraceDigest, FileAndShownLinesMapBothWays) {
  buildSqlDispatch();
  std::string text = sampleText("sh_four_statements.trc") + statementTrace(StatementSpec{});
  // A line of plain text after each final query, before the next marker.
  for (size_t at = text.find("UNPARSED QUERY IS"); at != std::string::npos; at = text.find("UNPARSED QUERY IS", at)) {
    at = text.find('\n', text.find('\n', at) + 1) + 1;
    text.insert(at, "a line between\n");
  }
  Digest x(text);
  KeyPoints_c shown;
  scanKeyPoints(shown, x.text.c_str(), static_cast<int32_t>(x.text.size()));
  SVString formatted;
  formatted.append(x.text.c_str(), static_cast<int64_t>(x.text.size()));
  ASSERT_EQ(reformatFinalQueries(formatted, shown), 0);
  const std::vector<std::string> file = linesOf(x.text.c_str(), static_cast<int64_t>(x.text.size()));
  const std::vector<std::string> rows = linesOf(formatted.c_str(), formatted.length());
  const auto gain = static_cast<int32_t>(rows.size() - file.size());
  ASSERT_GT(gain, 20);
  const TraceDigest& d = x.digest;
  int32_t queries = 0;
  for (int32_t f = 1; f <= static_cast<int32_t>(file.size()); ++f) {
    const int32_t s = digestShownLine(d, f, shown, gain);
    ASSERT_GE(s, f);
    ASSERT_LE(s, static_cast<int32_t>(rows.size()));
    EXPECT_EQ(digestFileLine(d, s, shown, gain), f) << f;
    if (file[f - 1] != rows[s - 1]) {
      ++queries;
      EXPECT_NE(file[f - 2].find("UNPARSED QUERY IS"), std::string::npos) << f;
    }
  }
  EXPECT_EQ(queries, 5);
  int32_t last = 0;
  for (int32_t s = 1; s <= static_cast<int32_t>(rows.size()); ++s) {
    const int32_t f = digestFileLine(d, s, shown, gain);
    ASSERT_GE(f, last);
    last = f;
    if (digestShownLine(d, f, shown, gain) != s) {
      EXPECT_NE(file[f - 2].find("UNPARSED QUERY IS"), std::string::npos) << s;
    }
  }
  EXPECT_EQ(last, static_cast<int32_t>(file.size()));
  // The scan's own key points: one numbering.
  EXPECT_EQ(digestShownLine(d, 700, x.keyPoints, 0), 700);
  EXPECT_EQ(digestFileLine(d, 700, x.keyPoints, 0), 700);
}

TEST(TraceDigest, EmptyText) {
  Digest x("");
  EXPECT_EQ(x.digest.statements.count(), 0);
  EXPECT_EQ(x.digest.rows.count(), 0);
  EXPECT_EQ(statementOfKeyPoint(x.digest.facts, 0), kNoFact);
  EXPECT_EQ(digestRowOfKeyPoint(x.digest, 0), kNoFact);
  EXPECT_EQ(x.digest.build, 1);
}

}  // namespace
