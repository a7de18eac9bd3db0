#include "facts/trace_facts.h"
#include "outline/line_shift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "tests/facts_trace_builder.h"
#include "trace/trace_scanner.h"

namespace {

// A trace with its key points and facts, lists read.
struct Facts {
  std::string text;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  explicit Facts(std::string t) : text(std::move(t) + "\r\n") {
    scanKeyPoints(keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(buildTraceFacts(facts, text.c_str(), static_cast<int32_t>(text.size()), keyPoints), 0);
    EXPECT_EQ(readAllStatementLists(facts), 0);
  }
};

std::string str(const TraceFacts& f, TextSpan span) { return span.present() ? std::string(f.view(span)) : "null"; }

std::string tablesOf(const TraceFacts& f, int32_t joinOrder) {
  if (joinOrder == kNoFact) return "null";
  const JoinOrderFact& j = f.joinOrders[joinOrder];
  std::string list;
  for (int32_t t = 0; t < j.tables.count; ++t) list += (t ? "," : "") + str(f, f.tables[j.tables.first + t]);
  return list;
}

// The facts as lines of text, so a test names what it expects plainly.
std::vector<std::string> describe(const TraceFacts& f) {
  std::vector<std::string> d;
  for (int32_t i = 0; i < f.statements.count(); ++i) {
    const StatementFacts& s = f.statements[i];
    const std::string n = std::to_string(i);
    d.push_back("statement " + n + " sql_id=" + str(f, s.sqlId) + " plan_hash_value=" + str(f, s.planHashValue) +
                " line=" + std::to_string(s.line));
    d.push_back("statement " + n + " sql line=" + std::to_string(s.sqlTextLine) + " " + str(f, s.sqlText));
    for (int32_t q = s.queryBlocks.first; q < s.queryBlocks.first + s.queryBlocks.count; ++q) {
      const QueryBlockFact& b = f.queryBlocks[q];
      d.push_back("qb " + str(f, b.name) + " #" + str(f, b.number) + " '" + str(f, b.plan) + "' best=" +
                  str(f, b.bestJoinOrder) + " cost=" + str(f, b.cost) + " card=" + str(f, b.card) + " bytes=" +
                  str(f, b.bytes) + " tables=" + tablesOf(f, b.bestJoinOrderFact) + " tried=" +
                  std::to_string(b.joinOrders.count) + " aborted=" + std::to_string(b.abortedJoinOrders));
    }
    for (int32_t j = s.joinOrders.first; j < s.joinOrders.first + s.joinOrders.count; ++j) {
      const JoinOrderFact& o = f.joinOrders[j];
      d.push_back("join order " + str(f, o.number) + " " + tablesOf(f, j) + " cost=" + str(f, o.cost) +
                  " aborted=" + std::to_string(o.abortedLines));
    }
    PackedRecords<int32_t> effective;
    EXPECT_EQ(effectiveParameters(f, s, effective), 0);
    for (int32_t p : effective) {
      const ParameterFact& x = f.parameters[p];
      d.push_back("parameter " + str(f, x.name) + "=" + str(f, x.value) +
                  (x.list == kParametersAltered ? " altered" : ""));
    }
    for (int32_t x = s.fixControls.first; x < s.fixControls.first + s.fixControls.count; ++x) {
      d.push_back("fix " + str(f, f.fixControls[x].number) + "=" + str(f, f.fixControls[x].value));
    }
    // In key order, the same entries, sorted by their keys.
    const auto sameByKey = [&](const PackedRecords<int32_t>& inTraceOrder, const PackedRecords<int32_t>& byKey,
                               auto keyOf) {
      std::vector<int32_t> sorted(inTraceOrder.begin(), inTraceOrder.end());
      std::sort(sorted.begin(), sorted.end(), [&](int32_t x, int32_t y) { return keyOf(x) < keyOf(y); });
      EXPECT_EQ(sorted, std::vector<int32_t>(byKey.begin(), byKey.end()));
    };
    PackedRecords<int32_t> byName;
    EXPECT_EQ(effectiveParameters(f, s, byName, true), 0);
    sameByKey(effective, byName, [&](int32_t x) { return str(f, f.parameters[x].name); });
    PackedRecords<int32_t> fixes;
    PackedRecords<int32_t> byNumber;
    EXPECT_EQ(effectiveFixControls(f, s, fixes), 0);
    EXPECT_EQ(effectiveFixControls(f, s, byNumber, true), 0);
    sameByKey(fixes, byNumber, [&](int32_t x) { return str(f, f.fixControls[x].number); });
    for (int32_t x = s.planOperations.first; x < s.planOperations.first + s.planOperations.count; ++x) {
      const PlanOperationFact& op = f.planOperations[x];
      d.push_back("plan " + str(f, op.id) + " " + std::string(op.depth, '.') + str(f, op.operation) + " " +
                  str(f, op.name) + " rows=" + str(f, op.rows) + " cost=" + str(f, op.cost));
    }
    for (int32_t h = s.outlineHints.first; h < s.outlineHints.first + s.outlineHints.count; ++h) {
      d.push_back("hint " + str(f, f.outlineHints[h].text));
    }
    for (int32_t t = s.transformations.first; t < s.transformations.first + s.transformations.count; ++t) {
      const TransformationFact& x = f.transformations[t];
      d.push_back("transformation " + str(f, x.kind) + " " + str(f, x.queryBlock) +
                  (x.verdict == kTransformationBetter ? " better" : " worse"));
    }
  }
  return d;
}

int lineOf(const std::string& text, const std::string& needle, size_t from = 0) {
  const size_t at = text.find(needle, from);
  return at == std::string::npos ? 0 : static_cast<int>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
}

const std::vector<std::string> kStatementFacts = {
    "statement 0 sql_id=7hq2m4rzk0x1d plan_hash_value=-1907313524 line=",  // line checked apart
    "qb SEL$2 #1 'All Rows Plan' best=1 cost=36.404018 card=11.000000 bytes=77.000000 tables=EMPLOYEES[E2]#0 "
    "tried=1 aborted=0",
    "qb SEL$1 #0 'All Rows Plan' best=2 cost=79.311486 card=119.000000 bytes=19022.000000 "
    "tables=DEPARTMENTS[D]#1,EMPLOYEES[E]#0 tried=3 aborted=1",
    "join order 1 EMPLOYEES[E]#0,DEPARTMENTS[D]#1 cost=90.2 aborted=0",
    "join order 2 DEPARTMENTS[D]#1,EMPLOYEES[E]#0 cost=79.311486 aborted=0",
    "join order 3 EMPLOYEES[E]#0,LOCATIONS[L]#2 cost=null aborted=2",
    "parameter _pga_max_size=409600 KB altered",
    "parameter optimizer_features_enable=19.1.0",
    "parameter optimizer_mode=all_rows",
    "fix 3834770=1",
    "fix 3746511=enabled",
    "fix 4519016=disabled",
    "plan 0 SELECT STATEMENT null rows=null cost=79",
    "plan 2 ..TABLE ACCESS FULL DEPARTMENTS rows=27 cost=3",
    "plan 3 ..TABLE ACCESS FULL EMPLOYEES rows=10K cost=35",
    "hint IGNORE_OPTIM_EMBEDDED_HINTS",
    "hint LEADING(@\"SEL$1\" \"D\"@\"SEL$1\" \"E\"@\"SEL$1\")",
    "transformation JPPD SEL$1 better",
    "transformation ORE SEL$1 worse",
};

struct LayoutCase {
  const char* name;
  StatementSpec spec;
  bool crlf;
};

class Layouts : public testing::TestWithParam<LayoutCase> {};

// However the statement is laid out, the facts are the same.
TEST_P(Layouts, GiveTheSameFacts) {
  const std::string text = traceHeader() + statementTrace(GetParam().spec);
  Facts f(GetParam().crlf ? withCrLf(text) : text);
  const std::vector<std::string> d = describe(f.facts);
  ASSERT_EQ(f.facts.statements.count(), 1);
  for (const std::string& expected : kStatementFacts) {
    EXPECT_TRUE(std::any_of(d.begin(), d.end(), [&](const std::string& line) { return line.starts_with(expected); }))
        << expected;
  }
  const StatementFacts& s = f.facts.statements[0];
  EXPECT_EQ(s.line, lineOf(text, "sql_id=7hq2m4rzk0x1d plan_hash_value"));
  EXPECT_EQ(s.sqlTextLine, lineOf(text, "select e.last_name", text.find("plan_hash_value")));
  EXPECT_EQ(s.parametersLine, lineOf(text, "PARAMETERS USED BY THE OPTIMIZER"));
  EXPECT_EQ(s.fixControlsLine, lineOf(text, "Bug Fix Control Environment", text.find("Optimizer state dump")));
  EXPECT_EQ(s.finalQueryLine, lineOf(text, "SELECT \"E\""));
  EXPECT_EQ(f.facts.queryBlocks[s.queryBlocks.first + 1].line, lineOf(text, "Final cost for query block SEL$1"));
  EXPECT_EQ(f.facts.parameters[s.parameters.first].line, lineOf(text, "_pga_max_size"));
  EXPECT_EQ(s.firstLine, 1);
  EXPECT_EQ(s.lastLine, lineOf(text, "END SQL Statement Dump"));
  EXPECT_EQ(s.parameters.count, 5);
  EXPECT_EQ(s.planOperations.count, 4);
}

StatementSpec spec(void (*change)(StatementSpec&)) {
  StatementSpec s;
  change(s);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Facts, Layouts,
    testing::Values(LayoutCase{"Plain", StatementSpec{}, false}, LayoutCase{"CrLf", StatementSpec{}, true},
                    LayoutCase{"TimeStampsAndBlankLinesInLists",
                               spec([](StatementSpec& s) { s.interrupted = true; }), false},
                    LayoutCase{"InterruptedWithCrLf", spec([](StatementSpec& s) { s.interrupted = true; }), true},
                    LayoutCase{"JoinOrderWrapped", spec([](StatementSpec& s) { s.wrapJoinOrder = true; }), false}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// A range's records, cut to the list: a list that lost its records (out of
// memory) still names none past its end.
TEST(TraceFacts, SliceGivesTheRecordsOfARange) {
  PackedRecords<int32_t> list;
  for (int32_t v = 10; v < 15; ++v) *list.append() = v;
  const struct {
    FactRange range;
    std::vector<int32_t> expected;
  } cases[] = {
      {{1, 3}, {11, 12, 13}}, {{0, 5}, {10, 11, 12, 13, 14}}, {{4, 0}, {}},
      {{3, 9}, {13, 14}},     {{7, 2}, {}},
  };
  for (const auto& c : cases) {
    std::vector<int32_t> got;
    for (int32_t v : slice(list, c.range)) got.push_back(v);
    EXPECT_EQ(got, c.expected) << c.range.first << "+" << c.range.count;
    EXPECT_EQ(c.range.end(), c.range.first + c.range.count);
  }
  for (int32_t& v : slice(list, FactRange{0, 2})) v = 0;
  EXPECT_EQ(list[1], 0);
  EXPECT_EQ(list[2], 12);
}

TEST(TraceFacts, CutBeforeTheSqlDumpKeepsWhatItHas) {
  Facts f(traceHeader() + statementTrace(spec([](StatementSpec& s) { s.cutBeforeDump = true; })));
  ASSERT_EQ(f.facts.statements.count(), 1);
  const StatementFacts& s = f.facts.statements[0];
  EXPECT_EQ(s.line, 0);
  EXPECT_FALSE(s.planHashValue.present());
  EXPECT_EQ(str(f.facts, s.sqlId), "7hq2m4rzk0x1d");  // from the statement's heading
  EXPECT_EQ(str(f.facts, s.sqlText).substr(0, 17), "select e.last_nam");
  EXPECT_EQ(s.queryBlocks.count, 2);
  EXPECT_EQ(s.parameters.count, 5);
  EXPECT_EQ(s.fixControlsLine, 0);
  EXPECT_EQ(s.fixControls.count, 0);
  EXPECT_EQ(s.planOperations.count, 0);
}

TEST(TraceFacts, SeveralStatementsEachEndWithTheirDump) {
  StatementSpec second;
  second.sqlId = "2cs8wtm0pz3ab";
  second.planHash = "1127641807";
  second.cost = "36.522187";
  second.timestamp = "";  // the next statement follows the dump directly
  StatementSpec third;
  third.sqlId = "0v3rh6k1p2m7x";
  third.cutBeforeDump = true;
  const std::string text = traceHeader() + statementTrace(StatementSpec{}) + statementTrace(second) +
                           "\n" + statementTrace(third);
  Facts f(text);
  ASSERT_EQ(f.facts.statements.count(), 3);
  const std::vector<std::string> d = describe(f.facts);
  EXPECT_NE(std::find(d.begin(), d.end(),
                      "statement 1 sql_id=2cs8wtm0pz3ab plan_hash_value=1127641807 line=" +
                          std::to_string(lineOf(text, "sql_id=2cs8wtm0pz3ab plan"))),
            d.end());
  EXPECT_NE(std::find(d.begin(), d.end(), "statement 2 sql_id=0v3rh6k1p2m7x plan_hash_value=null line=0"), d.end());
  const auto& s = f.facts.statements;
  for (int32_t i = 0; i + 1 < s.count(); ++i) EXPECT_EQ(s[i].lastLine + 1, s[i + 1].firstLine);
  EXPECT_EQ(s[0].lastLine, lineOf(text, "END SQL Statement Dump"));
  EXPECT_EQ(s[1].lastLine, lineOf(text, "END SQL Statement Dump", text.find("sql_id=2cs8wtm0pz3ab plan")));
  EXPECT_EQ(f.facts.queryBlocks[s[1].queryBlocks.first + 1].cost.present(), true);
  EXPECT_EQ(str(f.facts, f.facts.queryBlocks[s[1].queryBlocks.first + 1].cost), "36.522187");
  // Lookups by line and by key point agree with the stretches.
  for (int32_t i = 0; i < s.count(); ++i) {
    EXPECT_EQ(statementAtLine(f.facts, s[i].firstLine), i);
    EXPECT_EQ(statementAtLine(f.facts, s[i].lastLine), i);
    EXPECT_EQ(statementOfKeyPoint(f.facts, s[i].keyPoints.first), i);
  }
  for (int32_t q = 0; q < f.facts.queryBlocks.count(); ++q) {
    EXPECT_EQ(queryBlockOfKeyPoint(f.facts, f.facts.queryBlocks[q].keyPoint), q);
  }
  for (int32_t j = 0; j < f.facts.joinOrders.count(); ++j) {
    EXPECT_EQ(joinOrderOfKeyPoint(f.facts, f.facts.joinOrders[j].keyPoint), j);
  }
}

// «Best join order: K» names the last join order numbered K in the
// statement, whatever the size of K: small numbers are looked up in a
// table grown as larger ones come, others by a walk back.
TEST(TraceFacts, BestJoinOrderFoundByItsNumber) {
  struct Case {
    std::vector<std::string> numbers;
    std::string best;
    int32_t found;  // index among the join orders, kNoFact for none
  };
  for (const Case& c : {Case{{"1", "2", "3"}, "2", 1}, Case{{"1", "300", "2"}, "300", 1},
                        Case{{"1", "300", "5000", "300"}, "300", 3}, Case{{"1", "5000"}, "4999", kNoFact},
                        Case{{"70000", "1"}, "70000", 0}, Case{{"65535", "2"}, "65535", 0},
                        Case{{"1", "2"}, "256", kNoFact}}) {
    std::string text = "kkoqbc: optimizing query block SEL$1 (#0)\n";
    for (const std::string& n : c.numbers) text += "Join order[" + n + "]:  EMPLOYEES[E]#0\n";
    text += "Final cost for query block SEL$1 (#0) - All Rows Plan:\n  Best join order: " + c.best +
            "\n  Cost: 3.0  Degree: 1  Card: 1.0  Bytes: 7.0";
    Facts f(text);
    ASSERT_EQ(f.facts.queryBlocks.count(), 1) << text;
    EXPECT_EQ(f.facts.queryBlocks[0].bestJoinOrderFact, c.found) << text;
  }
}

// A statement holds whole lines: markers that would open the next one on
// the line its first marker stands on stay in it, and no statement is
// left empty.
TEST(TraceFacts, OneLineNeverHoldsTwoStatements) {
  struct Case {
    const char* text;
    int32_t statements;
  };
  for (const Case& c : {Case{"Optimizer state dump:Join order", 1},
                        Case{"header\nExplain Plan Dump Join order[1]:  T[T]#0", 1},
                        Case{"Optimizer state dump:Join order\nJoin order[2]:  T[T]#0", 2}}) {
    Facts f(c.text);
    const auto& s = f.facts.statements;
    EXPECT_EQ(s.count(), c.statements) << c.text;
    int32_t previousEnd = 0;
    for (int32_t i = 0; i < s.count(); ++i) {
      EXPECT_TRUE(s[i].beginOffset >= previousEnd && s[i].beginOffset < s[i].endOffset) << c.text << " " << i;
      EXPECT_LE(s[i].firstLine, s[i].lastLine) << c.text << " " << i;
      previousEnd = s[i].endOffset;
    }
  }
}

TEST(TraceFacts, FirstRowsPlanIsAQueryBlockOfItsOwn) {
  Facts f(statementTrace(spec([](StatementSpec& s) { s.firstRowsPlan = true; })));
  const std::vector<std::string> d = describe(f.facts);
  EXPECT_NE(std::find(d.begin(), d.end(),
                      "qb SEL$1 #0 'First K Rows Plan' best=1 cost=40.5 card=10.0 bytes=300.0 "
                      "tables=EMPLOYEES[E]#0,DEPARTMENTS[D]#1 tried=1 aborted=0"),
            d.end());
}

TEST(TraceFacts, AlteredValueWinsOverTheDefaultOne) {
  Facts f(statementTrace(spec([](StatementSpec& s) {
    s.altered = {"cpu_count = 16", "cpu_count = 32"};
    s.defaults.push_back("_pga_max_size = 1 KB");
  })));
  const std::vector<std::string> d = describe(f.facts);
  EXPECT_NE(std::find(d.begin(), d.end(), "parameter cpu_count=16 altered"), d.end());
  EXPECT_NE(std::find(d.begin(), d.end(), "parameter _pga_max_size=1 KB"), d.end());
  EXPECT_EQ(std::count_if(d.begin(), d.end(), [](const std::string& x) { return x.starts_with("parameter cpu"); }), 1);
}

TEST(TraceFacts, AnUnreadableListLineIsSkippedAndCounted) {
  using namespace std::string_literals;
  struct Case {
    const char* what;
    void (*damage)(StatementSpec&);
  };
  const Case cases[] = {
      {"zero byte in a parameter's name",
       [](StatementSpec& s) { s.defaults.insert(s.defaults.begin() + 1, "optimizer_\0index_cost_adj = 100"s); }},
      {"lone carriage return in a parameter's name",
       [](StatementSpec& s) { s.defaults.insert(s.defaults.begin() + 1, "optimizer_\rindex_cost_adj = 100"); }},
      {"zero byte in a fix control",
       [](StatementSpec& s) { s.fixes.insert(s.fixes.begin() + 1, "    fi\0x  5555555 = 1"s); }},
      {"lone carriage return in a fix control",
       [](StatementSpec& s) { s.fixes.insert(s.fixes.begin() + 1, "    f\rix  5555555 = 1"); }},
  };
  // The list entries only: the lines of what follows move.
  auto entries = [](const TraceFacts& f) {
    std::vector<std::string> d = describe(f);
    std::erase_if(d, [](const std::string& x) { return !x.starts_with("parameter ") && !x.starts_with("fix "); });
    return d;
  };
  const Facts clean(statementTrace(StatementSpec{}));
  const std::vector<std::string> expected = entries(clean.facts);
  EXPECT_EQ(clean.facts.statements[0].skippedListLines, 0);
  for (const Case& c : cases) {
    StatementSpec damaged;
    c.damage(damaged);
    const Facts f(statementTrace(damaged));
    // Every entry after the damaged line is read, and the lists still end
    // where their blocks end.
    EXPECT_EQ(entries(f.facts), expected) << c.what;
    EXPECT_EQ(f.facts.statements[0].skippedListLines, 1) << c.what;
  }
}

TEST(TraceFacts, HrSampleStatements) {
  SVString text;
  ASSERT_EQ(loadFromFile(text, ZAZOZAV_SAMPLES_DIR "/hr_two_statements.trc"), 0);
  Facts f(std::string(text.c_str(), static_cast<size_t>(text.length())));
  const std::vector<std::string> d = describe(f.facts);
  for (const char* expected : {
           "statement 0 sql_id=7hq2m4rzk0x1d plan_hash_value=-1907313524 line=477",
           "statement 1 sql_id=2cs8wtm0pz3ab plan_hash_value=1127641807 line=746",
           "qb SEL$683B0107 #1 'All Rows Plan' best=3 cost=79.311486 card=119.000000 bytes=19022.000000 "
           "tables=LOCATIONS[L]#1,DEPARTMENTS[D]#2,EMPLOYEES[E]#3,VW_SQ_1[VW_SQ_1]#0 tried=4 aborted=2",
           "qb SEL$BE5E6D8F #0 'All Rows Plan' best=1 cost=36.522187 card=396.000000 bytes=8718.000000 "
           "tables=DEPARTMENTS[DEPARTMENTS]#0,EMPLOYEES[EMPLOYEES]#1 tried=2 aborted=1",
           "parameter _pga_max_size=409600 KB altered",
           "plan 4 ....HASH JOIN null rows=6 cost=6",
           "plan 4 ...INDEX RANGE SCAN EMP_DEPARTMENT_IX rows=396 cost=1",
       }) {
    EXPECT_NE(std::find(d.begin(), d.end(), expected), d.end()) << expected;
  }
  EXPECT_EQ(f.facts.statements[1].fixControlsLine, 0);  // its state dump lists none
}

// Every span lies on one line of the text, every range inside its list.
TEST(TraceFacts, SpansAndRangesStayInside) {
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc",
                           "edge_zero_bytes_lone_cr.trc"}) {
    SVString text;
    ASSERT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0);
    Facts f(std::string(text.c_str(), static_cast<size_t>(text.length())));
    const TraceFacts& x = f.facts;
    auto inside = [&](TextSpan s) {
      if (!s.present()) return true;
      const std::string_view v = x.view(s);
      return s.offset >= 0 && s.offset + s.length <= x.length && v.find('\n') == v.npos && v.find('\r') == v.npos;
    };
    for (const StatementFacts& s : x.statements) {
      EXPECT_TRUE(inside(s.sqlId) && inside(s.planHashValue) && inside(s.sqlText) && inside(s.finalQuery)) << name;
      EXPECT_LE(s.firstLine, s.lastLine);
      EXPECT_LE(s.parameters.first + s.parameters.count, x.parameters.count());
      EXPECT_LE(s.queryBlocks.first + s.queryBlocks.count, x.queryBlocks.count());
    }
    for (const QueryBlockFact& q : x.queryBlocks) EXPECT_TRUE(inside(q.name) && inside(q.plan) && inside(q.cost));
    for (const TextSpan& t : x.tables) EXPECT_TRUE(inside(t));
    for (const ParameterFact& p : x.parameters) EXPECT_TRUE(inside(p.name) && inside(p.value));
  }
}

TEST(TraceFacts, LinesFollowReformattedFinalQueries) {
  Facts f(statementTrace(StatementSpec{}));
  KeyPoints_c shown;
  scanKeyPoints(shown, f.text.c_str(), static_cast<int32_t>(f.text.size()));
  // Pretend the final query grew by three lines.
  int32_t query = -1;
  for (int32_t i = 0; i < shown.count(); ++i) {
    if (shown[i].kind == tkFinalQuery) query = i;
    if (query >= 0 && i > query) shown[i].line += 3;
  }
  ASSERT_GE(query, 0);
  const int32_t cost = f.facts.queryBlocks[0].line;
  EXPECT_EQ(shownLineOf(f.facts.keyPointLines, shown, cost), cost + 3);
  EXPECT_EQ(shownLineOf(f.facts.keyPointLines, shown, 2), 2);
}

}  // namespace
