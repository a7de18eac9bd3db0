#include "compare/trace_comparison.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "tests/compared_side.h"
#include "tests/facts_trace_builder.h"
#include "trace/trace_scanner.h"

namespace {

using Side = ComparedSide;

struct Compared {
  Side a;
  Side b;
  TraceComparison c;
  Compared(std::string ta, std::string tb) : a(std::move(ta)), b(std::move(tb)) {
    EXPECT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  }
};

// The same trace with every address, time stamp, heap figure, process id
// and the trace file's path changed.
std::string withOtherNoise(const std::string& text) {
  std::string s = std::regex_replace(text, std::regex("(^|[^0-9A-Za-z_])0x[0-9a-fA-F]+"), "$010xbeef42");
  s = std::regex_replace(s, std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d+[+-]\\d\\d:\\d\\d"),
                         "2030-12-31T23:59:58.000042+05:00");
  s = std::regex_replace(s, std::regex("(in-use|alloc)=\\d+"), "$1=777");
  s = std::regex_replace(s, std::regex("pid: \\d+"), "pid: 31337");
  s = std::regex_replace(s, std::regex("Oracle process number: \\d+"), "Oracle process number: 3");
  s = std::regex_replace(s, std::regex("Trace file [^\\n]*"), "Trace file /other/place/x_ora_31337.trc");
  return s;
}

std::string sampleText(const char* name) {
  SVString text;
  EXPECT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0);
  return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

TEST(LineNoise, LinesThatDifferOnlyInNoiseHashAlike) {
  const std::vector<std::pair<std::string, std::string>> alike = {
      {"Registered qb: SEL$1 0x7f3a12c8 (PARSER)", "Registered qb: SEL$1 0x1 (PARSER)"},
      {"kkoqbc-subheap (delete addr=0x7efc73e12f60, in-use=41656, alloc=65704)",
       "kkoqbc-subheap (delete addr=0x1, in-use=1, alloc=2)"},
      {"    call(in-use=30600, alloc=114968), compile(in-use=242920, alloc=245240)",
       "    call(in-use=1, alloc=1), compile(in-use=2, alloc=2)"},
      {"SPD: done at 2020-05-20T18:13:19.855558+01:00 here", "SPD: done at 2031-01-01T00:00:00.1-07:00 here"},
      {"ended 2019-12-23 17:16:37.856", "ended 2020-01-01 01:02:03.999999"},
      {"  kxsbbbfp=7f3a19d0  bln=32  avl=02  flg=05", "  kxsbbbfp=00aa  bln=32  avl=02  flg=05"},
      {"DS_SVC: elapsed time: 0.0231 sec", "DS_SVC: elapsed time: 12.5 sec"},
      // The reach of «elapsed» does not count the noise passed on the way.
      {"elapsed 2019-12-23 17:16:37.856 then 5", "elapsed 2020-01-01 01:02:03.999 then 6"},
      {"0x7f3a12c8 at the start", "0x1 at the start"},
      // Shorter than the sixteen bytes sifted at once; 22 bytes, the noise
      // in a last sixteen that overlaps the first.
      {"at 0x7f3a", "at 0x1"},
      {"past sixteen: 0x7f3a12", "past sixteen: 0x2"},
  };
  for (const auto& [x, y] : alike) EXPECT_EQ(lineHash(x), lineHash(y)) << x;
  const std::vector<std::pair<std::string, std::string>> differ = {
      {"optimizer_mode = all_rows", "optimizer_mode = first_rows"},
      {"hint_alias=\"E\"@\"SEL$1\" objn=74012", "hint_alias=\"E\"@\"SEL$1\" objn=74013"},
      {"sql_id=7hq2m4rzk0x1d", "sql_id=7hq2m4rzk0x2d"},  // not an address: inside a word
      {"| 5 | TABLE ACCESS FULL | LOCATIONS | 1 | 15 | 3 | 00:00:01 |",
       "| 5 | TABLE ACCESS FULL | LOCATIONS | 1 | 15 | 3 | 00:00:02 |"},
      {"alloc_size = 10", "alloc_size = 11"},
      {"Cost: 2.0  Card: 1", "Cost: 3.0  Card: 1"},
      {"a\x01" "b", "a0x5b"},
      {"ab", "a b"},
      {"elapsed, and much later on the line: 7", "elapsed, and much later on the line: 8"},
      {"Xelapsed time: 0.0231 sec", "Xelapsed time: 12.5 sec"},  // not the word
  };
  for (const auto& [x, y] : differ) EXPECT_NE(lineHash(x), lineHash(y)) << x;
  for (const char* noise : {"*** 2021-03-15T09:41:07.118204+01:00 (HRPDB(4))", "*** SESSION ID:(388.21577) 2021",
                            "Trace file /u01/x.trc", "Unix process pid: 48213, image: oracle@host",
                            "  Instance name: hrdb1", "Oracle process number: 61", "Node name:\thost"}) {
    EXPECT_TRUE(isNoiseLine(noise)) << noise;
  }
  for (const char* kept : {"Oracle Database 19c Enterprise Edition", "**** not an entry", "Version 19.3.0.0.0"}) {
    EXPECT_FALSE(isNoiseLine(kept)) << kept;
  }
}

// A line table of the given hashes, for the differ.
LineTable tableOf(const std::vector<int>& values) {
  LineTable t;
  for (size_t i = 0; i < values.size(); ++i) {
    *t.lines.append() = LineEntry{static_cast<uint64_t>(values[i]), static_cast<int32_t>(i + 1), 0};
  }
  t.lineCount = static_cast<int32_t>(values.size());
  return t;
}

int longestCommon(const std::vector<int>& a, const std::vector<int>& b) {
  std::vector<std::vector<int>> l(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      l[i][j] = a[i - 1] == b[j - 1] ? l[i - 1][j - 1] + 1 : std::max(l[i - 1][j], l[i][j - 1]);
    }
  }
  return l[a.size()][b.size()];
}

// Runs in order in both, of equal lines, inside the ranges.
int checkedMatches(const std::vector<int>& a, const std::vector<int>& b, const PackedRecords<EqualRun>& runs) {
  int matched = 0;
  int32_t aEnd = 0;
  int32_t bEnd = 0;
  for (const EqualRun& r : runs) {
    EXPECT_GE(r.aSeq, aEnd);
    EXPECT_GE(r.bSeq, bEnd);
    for (int32_t k = 0; k < r.count; ++k) EXPECT_EQ(a[r.aSeq + k], b[r.bSeq + k]);
    aEnd = r.aSeq + r.count;
    bEnd = r.bSeq + r.count;
    EXPECT_LE(aEnd, static_cast<int32_t>(a.size()));
    EXPECT_LE(bEnd, static_cast<int32_t>(b.size()));
    matched += r.count;
  }
  return matched;
}

PackedRecords<EqualRun> diffOf(const std::vector<int>& a, const std::vector<int>& b) {
  const LineTable ta = tableOf(a);
  const LineTable tb = tableOf(b);
  LineDiffer differ(ta, tb);
  PackedRecords<EqualRun> runs;
  PackedRecords<EqualRun> tidy;
  EXPECT_EQ(differ.diff(0, static_cast<int32_t>(a.size()), 0, static_cast<int32_t>(b.size()), runs), 0);
  EXPECT_EQ(tidyRuns(runs, tidy), 0);
  return tidy;
}

TEST(LineDiff, SmallDiffsAreMinimal) {
  std::mt19937 random(3);
  const std::vector<std::pair<std::vector<int>, std::vector<int>>> fixed = {
      {{}, {}}, {{1, 2, 3}, {}}, {{}, {1}}, {{1, 2, 3}, {1, 2, 3}}, {{1, 2, 3}, {3, 2, 1}},
      {{1, 1, 1, 2}, {1, 2, 2}}, {{5, 1, 2, 3}, {1, 2, 3, 5}},
  };
  for (const auto& [a, b] : fixed) EXPECT_EQ(checkedMatches(a, b, diffOf(a, b)), longestCommon(a, b));
  for (int round = 0; round < 300; ++round) {
    std::vector<int> a(random() % 40);
    std::vector<int> b(random() % 40);
    for (int& x : a) x = static_cast<int>(random() % 5);
    for (int& x : b) x = static_cast<int>(random() % 5);
    EXPECT_EQ(checkedMatches(a, b, diffOf(a, b)), longestCommon(a, b));
  }
}

// Beyond Myers's bound the unique lines still anchor the diff, and
// unrelated blocks end quickly as changes.
TEST(LineDiff, LargeBlocksFallBackSoundly) {
  std::vector<int> a;
  std::vector<int> b;
  for (int i = 0; i < 60000; ++i) {
    a.push_back(i);
    b.push_back(i % 7 == 0 ? -i - 1 : i);  // one line in seven differs
  }
  PackedRecords<EqualRun> runs = diffOf(a, b);
  EXPECT_EQ(checkedMatches(a, b, runs), 60000 - 8572);
  std::vector<int> c(50000);
  std::vector<int> d(50000);
  for (int i = 0; i < 50000; ++i) c[i] = i, d[i] = 100000 + i;
  EXPECT_EQ(checkedMatches(c, d, diffOf(c, d)), 0);
  // Repeated lines only: nothing unique to anchor on.
  std::vector<int> e(30000, 1);
  std::vector<int> f(20000, 2);
  f.insert(f.end(), 3000, 1);
  EXPECT_EQ(checkedMatches(e, f, diffOf(e, f)), 3000);
}

std::string statementWith(const std::string& sqlId, void (*change)(StatementSpec&) = nullptr) {
  StatementSpec s;
  s.sqlId = sqlId;
  if (change) change(s);
  return statementTrace(s);
}

TEST(TraceCompare, PairsBySqlIdThenInOrder) {
  struct Case {
    std::vector<std::string> a;
    std::vector<std::string> b;
    std::string expected;  // a:b:by per pair, blank-separated
  };
  const std::vector<Case> cases = {
      {{"x1", "x2"}, {"x1", "x2"}, "0:0:1 1:1:1"},
      {{"x1", "x2"}, {"x2", "x1"}, "0:1:1 1:0:1"},
      {{"x1", "x1", "x9"}, {"x1", "x8", "x1"}, "0:0:1 1:2:1 2:1:2"},
      {{"x1", "x2", "x3"}, {"x3"}, "0:-1:0 1:-1:0 2:0:1"},
      {{"x1"}, {"y1", "y2"}, "0:0:2 -1:1:0"},
  };
  for (const Case& c : cases) {
    std::string ta;
    std::string tb;
    for (const std::string& id : c.a) ta += statementWith(id);
    for (const std::string& id : c.b) tb += statementWith(id);
    Side a(ta);
    Side b(tb);
    PackedRecords<StatementPair> pairs;
    ASSERT_EQ(pairStatements(a.facts, b.facts, pairs), 0);
    std::string got;
    for (const StatementPair& p : pairs) {
      got += (got.empty() ? "" : " ") + std::to_string(p.a) + ":" + std::to_string(p.b) + ":" + std::to_string(p.pairedBy);
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST(TraceCompare, LineEndsAreNoDifference) {
  const std::string text = sampleText("hr_two_statements.trc");
  Compared x(text, withCrLf(text));
  EXPECT_FALSE(x.c.differs());
}

TEST(TraceCompare, NoiseIsNoDifference) {
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc"}) {
    const std::string text = sampleText(name);
    const std::string noisy = withOtherNoise(text);
    ASSERT_NE(noisy, text) << name;
    Compared x(text, noisy);
    EXPECT_FALSE(x.c.differs()) << name;
    EXPECT_EQ(x.c.hunks.count(), 0) << name;
  }
}

TEST(TraceCompare, OneParameterChangedIsOneDifferenceAndOneHunk) {
  const std::string text = sampleText("hr_two_statements.trc");
  std::string changed = withOtherNoise(text);
  const std::string from = "cpu_count                           = 8";
  const size_t at = changed.find(from);
  ASSERT_NE(at, std::string::npos);
  changed.replace(at, from.size(), "cpu_count                           = 16");
  Compared x(text, changed);
  ASSERT_TRUE(x.c.differs());
  ASSERT_EQ(x.c.parameters.count(), 1);
  const ListDifference& d = x.c.parameters[0];
  EXPECT_EQ(x.a.facts.view(x.a.facts.parameters[d.a].value), "8");
  EXPECT_EQ(x.b.facts.view(x.b.facts.parameters[d.b].value), "16");
  EXPECT_EQ(x.c.fixControls.count(), 0);
  EXPECT_EQ(x.c.queryBlocks.count(), 0);
  ASSERT_EQ(x.c.hunks.count(), 1);
  const int line = static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(text.find("cpu_count")), '\n')) + 1;
  const TextHunk& h = x.c.hunks[0];
  EXPECT_EQ(h.aLine, line);
  EXPECT_EQ(h.aCount, 1);
  EXPECT_EQ(h.bLine, line);
  EXPECT_EQ(h.bCount, 1);
  // Every line of A finds its partner; the changed line is aligned with its own.
  for (int l = 1; l <= x.c.aLines.lineCount; ++l) {
    const int32_t b = alignedLineInB(x.c, l);
    EXPECT_GE(b, 1);
    EXPECT_LE(b, x.c.bLines.lineCount);
  }
  EXPECT_EQ(alignedLineInB(x.c, line), line);
  EXPECT_EQ(alignedLineInA(x.c, line + 5), line + 5);
}

TEST(TraceCompare, FactDifferencesPerPairAndInCommon) {
  auto plan = [](StatementSpec& s) {
    s.planHash = "42";
    s.cost = "99.5";
    s.altered.push_back("optimizer_index_cost_adj = 10");
    s.fixes.back() = "    fix  4519016 = enabled";
    s.defaults[1] = "optimizer_features_enable           = 11.2.0.4";
  };
  auto older = [](StatementSpec& s) { s.defaults[1] = "optimizer_features_enable           = 11.2.0.4"; };
  Compared x(statementWith("x1") + statementWith("x2"), statementWith("x1", plan) + statementWith("x2", older));
  ASSERT_EQ(x.c.pairs.count(), 2);
  const PairDifferences& first = x.c.differences[0];
  EXPECT_TRUE(first.planHashDiffers);
  EXPECT_FALSE(first.sqlIdDiffers);
  EXPECT_EQ(first.parameters.count, 2);
  EXPECT_EQ(first.fixControls.count, 1);
  EXPECT_EQ(first.queryBlocks.count, 1);
  const QueryBlockDifference& q = x.c.queryBlocks[first.queryBlocks.first];
  EXPECT_EQ(x.a.facts.view(x.a.facts.queryBlocks[q.a].name), "SEL$1");
  EXPECT_EQ(x.b.facts.view(x.b.facts.queryBlocks[q.b].cost), "99.5");
  int common = 0;
  for (const ListDifference& d : x.c.parameters) {
    const std::string name(d.a != kNoFact ? x.a.facts.view(x.a.facts.parameters[d.a].name)
                                          : x.b.facts.view(x.b.facts.parameters[d.b].name));
    EXPECT_EQ(d.common, name == "optimizer_features_enable") << name;
    common += d.common;
    if (name == "optimizer_index_cost_adj") {
      EXPECT_EQ(d.a, kNoFact);
    }
  }
  EXPECT_EQ(common, 2);
  EXPECT_FALSE(x.c.differences[1].planHashDiffers);
}

TEST(TraceCompare, UnpairedStatementsAreDifferences) {
  Compared x(statementWith("x1"), statementWith("x1") + statementWith("x2"));
  ASSERT_EQ(x.c.pairs.count(), 2);
  EXPECT_EQ(x.c.pairs[1].a, kNoFact);
  EXPECT_TRUE(x.c.differs());
  ASSERT_EQ(x.c.hunks.count(), 1);
  EXPECT_EQ(x.c.hunks[0].aCount, 0);
  EXPECT_EQ(x.c.hunks[0].bLine, x.b.facts.statements[1].firstLine + 1);  // its first line is blank in both
}

// A renamed query block still gets its lines diffed, not wholesale replaced.
TEST(TraceCompare, SectionsAlignByTheirMarkers) {
  std::string renamed = statementWith("x1");
  const size_t at = renamed.find("kkoqbc: optimizing query block SEL$2 (#1)");
  renamed.replace(at, 41, "kkoqbc: optimizing query block SEL$9 (#1)");
  Compared x(statementWith("x1"), renamed);
  ASSERT_EQ(x.c.hunks.count(), 1);
  EXPECT_EQ(x.c.hunks[0].aCount, 1);
  bool sawParameters = false;
  for (const SectionPair& s : x.c.sections) sawParameters |= s.kind == tkOptParams && s.pair == 0;
  EXPECT_TRUE(sawParameters);
}

}  // namespace
