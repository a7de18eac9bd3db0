#include "compare/difference_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "compare/file_comparison.h"
#include "compare/view_alignment.h"
#include "tests/facts_trace_builder.h"

namespace {

std::string statementWith(const std::string& sqlId, void (*change)(StatementSpec&) = nullptr) {
  StatementSpec s;
  s.sqlId = sqlId;
  if (change) change(s);
  return statementTrace(s);
}

// Two trace files in a directory of their own, removed afterwards.
class TracePair {
 public:
  TracePair(const std::string& a, const std::string& b) {
    dir_ = std::filesystem::temp_directory_path() /
           ("difference_list_" + std::to_string(::getpid()) + "_" + std::to_string(++made_));
    std::filesystem::create_directories(dir_);
    write("a.trc", a);
    write("b.trc", b);
  }
  ~TracePair() { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  void write(const char* name, const std::string& text) {
    FILE* f = std::fopen(path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  static inline int made_ = 0;
  std::filesystem::path dir_;
};

// The kinds of the rows, one letter each: Heading, sql_Id, plan hash (h),
// Parameter, Fix control, Query block, Statement, Text.
std::string kinds(const DifferenceList& list) {
  std::string k;
  for (const DifferenceRow& r : list.rows) k += "HIhPFQST"[r.kind];
  return k;
}

std::string cells(const DifferenceList& list, int32_t row) {
  const DifferenceRow& r = list.rows[row];
  return std::string(list.cell(r.what)) + " | " + std::string(list.cell(r.inA)) + " | " +
         std::string(list.cell(r.inB));
}

int lineOf(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  EXPECT_NE(at, std::string::npos) << needle;
  return static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n')) + 1;
}

TEST(DifferenceList, CommonOnceThenPerPairThenLines) {
  auto plan = [](StatementSpec& s) {
    s.planHash = "42";
    s.cost = "99.5";
    s.altered.push_back("optimizer_index_cost_adj = 10");
    s.fixes.back() = "    fix  4519016 = enabled";
    s.defaults[1] = "optimizer_features_enable           = 11.2.0.4";
  };
  auto older = [](StatementSpec& s) { s.defaults[1] = "optimizer_features_enable           = 11.2.0.4"; };
  const std::string a = statementWith("x1") + statementWith("x2");
  const std::string b = statementWith("x1", plan) + statementWith("x2", older);
  TracePair files(a, b);
  FileComparison c;
  int32_t side = -1;
  ASSERT_EQ(compareFiles(files.path("a.trc").c_str(), files.path("b.trc").c_str(), c, side), LoadOk);
  c.takeTexts();  // the list stands on its own
  const DifferenceList& list = c.differences;
  const std::string k = kinds(list);
  ASSERT_EQ(k.substr(0, 7), "HPHhPFQ") << k;
  EXPECT_EQ(k.substr(7, 1), "H");
  EXPECT_EQ(k.find_first_not_of('T', 8), std::string::npos) << k;
  EXPECT_EQ(static_cast<int32_t>(k.size()) - 8, c.comparison.hunks.count());

  const int features = lineOf(a, "optimizer_features_enable");
  EXPECT_EQ(cells(list, 0), "In every pair of statements (lines of the first pair) |  | ");
  EXPECT_EQ(cells(list, 1), "parameter optimizer_features_enable | 19.1.0 (line " + std::to_string(features) +
                                ") | 11.2.0.4 (line " + std::to_string(features + 1) + ")");
  EXPECT_EQ(list.rows[1].aLine, features);
  EXPECT_EQ(list.rows[1].bLine, features + 1);  // B has one more altered parameter above it
  EXPECT_EQ(cells(list, 2), "A 1 (sql_id x1) and B 1 (sql_id x1), paired by sql_id |  | ");
  EXPECT_EQ(cells(list, 3), "plan hash value | -1907313524 | 42");
  EXPECT_EQ(list.rows[3].aLine, lineOf(a, "sql_id=x1 plan_hash_value"));
  EXPECT_EQ(list.rows[4].aLine, 0);  // a parameter only in B has no place in A
  EXPECT_EQ(list.rows[4].aCount, 0);
  EXPECT_EQ(cells(list, 4), "parameter optimizer_index_cost_adj | - | 10 (line " +
                                std::to_string(lineOf(b, "optimizer_index_cost_adj")) + ")");
  EXPECT_EQ(cells(list, 5).substr(0, 20), "fix control 4519016 ");
  EXPECT_EQ(list.cell(list.rows[6].what), "query block SEL$1, All Rows Plan");
  EXPECT_EQ(list.cell(list.rows[6].inB).substr(0, 40), "cost 99.5, card 119.000000, bytes 19022.");
  EXPECT_EQ(cells(list, 7), std::to_string(c.comparison.hunks.count()) + " runs of differing lines |  | ");

  // Each text row shows its hunk's lines and is named by its first differing line.
  for (int32_t r = 8; r < list.rows.count(); ++r) {
    const DifferenceRow& row = list.rows[r];
    const TextHunk& h = c.comparison.hunks[row.source];
    EXPECT_EQ(row.aLine, h.aLine);
    EXPECT_EQ(row.aCount, h.aCount);
    EXPECT_EQ(row.bLine, h.bLine);
    EXPECT_EQ(row.bCount, h.bCount);
    EXPECT_FALSE(list.cell(row.what).empty());
  }
}

TEST(DifferenceList, StatementsInOneTraceOnlyAndCellText) {
  // B has a second statement without a partner. A's SQL line holds a
  // control byte, bytes that are not UTF-8 (read as Windows-1252, as the
  // editor shows them: 0x80 is the euro sign, 0x81 is undefined) and more
  // than a cell takes.
  std::string a = statementWith("x1");
  const std::string sql = "select e.last_name, d.department_name";
  a.replace(a.rfind(sql), sql.size(), "select \x01\xe9!\x80\x81 " + std::string(300, 'z'));
  TracePair files(a, statementWith("x1") + statementWith("x2"));
  FileComparison c;
  int32_t side = -1;
  ASSERT_EQ(compareFiles(files.path("a.trc").c_str(), files.path("b.trc").c_str(), c, side), LoadOk);
  EXPECT_EQ(c.a.statementCount, 1);
  EXPECT_EQ(c.b.statementCount, 2);
  const DifferenceList& list = c.differences;
  ASSERT_EQ(kinds(list), "HSHTT");
  const DifferenceRow& only = list.rows[1];
  EXPECT_EQ(only.aLine, 0);
  EXPECT_EQ(only.bLine, c.b.facts.statements[1].firstLine);
  EXPECT_EQ(only.bCount, c.b.facts.statements[1].lastLine - only.bLine + 1);
  EXPECT_EQ(cells(list, 1).substr(0, 34), "statement B 2 (sql_id x2) | - | li");
  const std::string_view what = list.cell(list.rows[3].what);
  EXPECT_EQ(what.substr(0, 16), "select  \xc3\xa9!\xe2\x82\xac? ");
  EXPECT_EQ(what.size(), static_cast<size_t>(kDifferenceCellBytes) + 3);
  EXPECT_EQ(what.substr(what.size() - 4), "z...");
  EXPECT_EQ(list.rows[3].aLine, lineOf(a, "select \x01"));
}

TEST(DifferenceList, FailedLoadsNameTheirFile) {
  const std::string trace = statementWith("x1");
  TracePair files(trace, trace);
  const std::string missing = files.path("gone.trc");
  struct Case {
    std::string a;
    std::string b;
    int code;
    int32_t side;
  };
  const Case cases[] = {
      {files.path("a.trc"), missing, LoadCannotOpen, kComparedB},
      {missing, files.path("b.trc"), LoadCannotOpen, kComparedA},
      {missing, missing, LoadCannotOpen, kComparedB},
      {files.path("a.trc"), std::filesystem::temp_directory_path().string(), LoadCannotOpen, kComparedB},
      {files.path("a.trc"), files.path("b.trc"), LoadOk, kComparedA},
  };
  for (const Case& k : cases) {
    FileComparison c;
    int32_t side = -1;
    EXPECT_EQ(compareFiles(k.a.c_str(), k.b.c_str(), c, side), k.code) << k.a << " " << k.b;
    EXPECT_EQ(side, k.side) << k.a << " " << k.b;
  }
  FileComparison same;
  int32_t side = -1;
  ASSERT_EQ(compareFiles(files.path("a.trc").c_str(), files.path("b.trc").c_str(), same, side), LoadOk);
  EXPECT_EQ(same.differences.rows.count(), 0);
}

// Views start so that lines that count share a row; the noise lines
// above them keep theirs.
TEST(ViewAlignment, TopLinesKeepTheNoiseAboveTheirAnchor) {
  const std::string stamp = "*** 2021-03-15T09:41:07.118204+01:00\n";
  struct Side {
    SVString text;
    KeyPoints_c keyPoints;
    TraceFacts facts;
    explicit Side(const std::string& t) {
      text.append(t.data(), static_cast<int64_t>(t.size()));
      scanKeyPoints(keyPoints, text);
      EXPECT_EQ(buildTraceFacts(facts, text.c_str(), text.length(), keyPoints), 0);
    }
    ComparedTrace compared() const { return {text.c_str(), text.length(), &keyPoints, &facts}; }
  };
  const Side a("x\n" + stamp + "y\nz\nw\n");
  const Side b("x\n" + stamp + stamp + "y\nchanged\nw\n");
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  struct Case {
    int32_t top;
    int32_t expected;
  };
  for (const Case& k : std::vector<Case>{{1, 1}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 6}}) {
    EXPECT_EQ(alignedTopInB(c, k.top), k.expected) << k.top;
  }
  for (const Case& k : std::vector<Case>{{1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 5}}) {
    EXPECT_EQ(alignedTopInA(c, k.top), k.expected) << k.top;
  }
}

// The differing lines of a stretch are the hunks' entries within it.
TEST(ViewAlignment, DifferingLinesOfAStretch) {
  std::string a;
  std::string b;
  for (int i = 1; i <= 60; ++i) {
    const std::string same = "line " + std::to_string(i) + "\n";
    a += i % 7 == 0 ? "a" + same : i % 10 == 0 ? "*** 2021-03-15T09:41:07.118204+01:00\n" : same;
    b += i % 7 == 0 ? "b" + same : i % 10 == 0 ? "*** 2022-01-01T00:00:00.000001+01:00\n" : same;
  }
  b += "only in b\n";
  FileComparison files;
  TracePair pair(a, b);
  int32_t side = -1;
  ASSERT_EQ(compareFiles(pair.path("a.trc").c_str(), pair.path("b.trc").c_str(), files, side), LoadOk);
  const TraceComparison& c = files.comparison;
  auto lines = [&](bool inA, int32_t first, int32_t last) {
    PackedRecords<int32_t> out;
    EXPECT_EQ(differingLines(c, inA, first, last, out), 0);
    std::vector<int32_t> v(out.begin(), out.end());
    return v;
  };
  // Every seventh line differs; the time-stamp lines (every tenth) are noise.
  EXPECT_EQ(lines(true, 1, 61), (std::vector<int32_t>{7, 14, 21, 28, 35, 42, 49, 56}));
  EXPECT_EQ(lines(true, 15, 35), (std::vector<int32_t>{21, 28, 35}));
  EXPECT_EQ(lines(true, 70, 80), std::vector<int32_t>{});
  EXPECT_EQ(lines(false, 50, 61), (std::vector<int32_t>{56, 61}));
  // Stretch by stretch gives what the whole gives.
  std::vector<int32_t> pieces;
  for (int32_t first = 1; first <= 62; first += 5) {
    const std::vector<int32_t> part = lines(false, first, first + 4);
    pieces.insert(pieces.end(), part.begin(), part.end());
  }
  EXPECT_EQ(pieces, lines(false, 1, 62));
}

// The noise lines inside a run of differing lines, and none outside one.
TEST(ViewAlignment, NoiseLinesInsideRuns) {
  const std::string stamp = "*** 2021-03-15T09:41:07.118204+01:00\n";
  const std::string other = "*** 2022-01-01T00:00:00.000001+01:00\n";
  const std::string a = "x\n" + stamp + "a1\n" + stamp + stamp + "a2\ny\n" + stamp + "z\na3\n";
  const std::string b = "x\n" + other + "b1\n" + other + "b2\ny\n" + other + "z\nb3\n" + other + "b4\n";
  FileComparison files;
  TracePair pair(a, b);
  int32_t side = -1;
  ASSERT_EQ(compareFiles(pair.path("a.trc").c_str(), pair.path("b.trc").c_str(), files, side), LoadOk);
  const TraceComparison& c = files.comparison;
  auto lines = [&](bool inA, int32_t first, int32_t last) {
    PackedRecords<int32_t> out;
    EXPECT_EQ(noiseLinesInRuns(c, inA, first, last, out), 0);
    std::vector<int32_t> v(out.begin(), out.end());
    return v;
  };
  // A: 3 a1, 4-5 stamps, 6 a2 differ as a run; 2 and 8 are noise outside one.
  EXPECT_EQ(lines(true, 1, 20), (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(lines(true, 5, 20), (std::vector<int32_t>{5}));
  EXPECT_EQ(lines(true, 1, 4), (std::vector<int32_t>{4}));
  EXPECT_EQ(lines(false, 1, 20), (std::vector<int32_t>{4, 10}));
  EXPECT_EQ(lines(false, 11, 20), std::vector<int32_t>{});
}

}  // namespace
