// The facts that say why a plan was chosen: each query block's join-order
// searches and the single-table sections of its stretch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/trace_file.h"
#include "facts/trace_facts.h"

namespace {

struct Facts {
  std::string text;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  explicit Facts(std::string t) : text(std::move(t) + "\r\n") {
    EXPECT_EQ(scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), static_cast<int32_t>(text.size())), 0);
  }
};

std::string sample(const char* name) {
  SVString text;
  EXPECT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0);
  return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

std::string str(const TraceFacts& f, TextSpan span) { return span.present() ? std::string(f.view(span)) : "null"; }

// A query block's searches and sections as lines of text.
std::vector<std::string> describeWhy(const TraceFacts& f, const QueryBlockFact& b) {
  std::vector<std::string> d;
  std::string searches = "searches";
  for (int32_t j = b.stretchJoinOrders.first; j < b.stretchJoinOrders.first + b.stretchJoinOrders.count; ++j) {
    searches += " " + str(f, f.joinOrders[j].number);
  }
  d.push_back(searches);
  d.push_back("tried " + std::to_string(b.joinOrders.count) + " aborted " + std::to_string(b.abortedJoinOrders));
  for (int32_t j = b.joinOrders.first; j < b.joinOrders.first + b.joinOrders.count; ++j) {
    const JoinOrderFact& o = f.joinOrders[j];
    d.push_back("order " + str(f, o.number) + (o.abortedLines ? " aborted" : "") + " best " +
                (o.bestSoFarLine ? str(f, o.cost) : "null") + " last " + str(f, o.lastStepCost));
  }
  for (int32_t i = b.accessPaths.first; i < b.accessPaths.first + b.accessPaths.count; ++i) {
    const AccessPathFact& p = f.accessPaths[i];
    d.push_back(str(f, p.alias) + " card " + str(f, p.cardOriginal) + " " + str(f, p.cardRounded) + " " +
                str(f, p.cardComputed) + " best " + str(f, p.bestPath) + " " + str(f, p.bestIndex) + " " +
                str(f, p.bestCost) + " " + str(f, p.bestCard));
    for (int32_t c = p.candidates.first; c < p.candidates.first + p.candidates.count; ++c) {
      const AccessCandidateFact& x = f.accessCandidates[c];
      d.push_back("  " + str(f, x.path) + " " + str(f, x.index) + " " + str(f, x.cost) + (x.bitmap ? " bitmap" : ""));
    }
    for (int32_t g = p.flags.first; g < p.flags.first + p.flags.count; ++g) {
      d.push_back(std::string("  flag ") + accessFlagName(f.accessFlags[g].kind));
    }
  }
  return d;
}

// The stretch of one final cost, with the lines a test varies.
std::string stretch(const std::vector<std::string>& body) {
  std::string t = "Registered qb: SEL$1 0x1 (PARSER)\nkkoqbc: optimizing query block SEL$1 (#0)\n";
  for (const std::string& line : body) t += line + "\n";
  return t +
         "Final cost for query block SEL$1 (#0) - All Rows Plan:\n  Best join order: 1\n"
         "  Cost: 2.0  Degree: 1  Card: 1.0  Bytes: 7\n";
}

struct WhyCase {
  const char* name;
  std::vector<std::string> body;
  std::vector<std::string> expected;
};

class WhyFamilies : public testing::TestWithParam<WhyCase> {};

TEST_P(WhyFamilies, AreRead) {
  Facts x(stretch(GetParam().body));
  ASSERT_EQ(x.facts.queryBlocks.count(), 1);
  EXPECT_EQ(describeWhy(x.facts, x.facts.queryBlocks[0]), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    LineFamilies, WhyFamilies,
    testing::Values(
        WhyCase{"SplitCardLineOf11g",
                {"  Single Table Cardinality Estimation for LOCATIONS[L] ",
                 "  Card: Original: 23.000000    >> Single Tab Card adjusted from:23.000000 to:0.420000",
                 "  Rounded: 1  Computed: 0.42  Non Adjusted: 1.64", "  Access Path: TableScan",
                 "    Cost:  3.00  Resp: 3.00  Degree: 0", "  Best:: AccessPath: TableScan",
                 "         Cost: 3.00  Degree: 1  Resp: 3.00  Card: 0.42  Bytes: 0"},
                {"searches", "tried 0 aborted 0", "LOCATIONS[L] card 23.000000 1 0.42 best TableScan null 3.00 0.42",
                 "  TableScan null 3.00", "  flag rounded_to_one"}},
        WhyCase{"IndexFiguresTwoLinesOnAndTheFastFullScansIndex",
                {"  Single Table Cardinality Estimation for D[D]", "    Card: Original: 1.000000  Rounded: 1  Computed: 1.00",
                 "  Access Path: index (index (FFS))", "    Index: DEPT_ID_PK", "    resc_io: 2.00",
                 "  Access Path: index (FFS)", "    Cost :  2.000366  Resp: 2.000366", "  Best:: AccessPath: IndexFFS",
                 "  Index: DEPT_ID_PK", "         Cost: 2.000366  Degree: 1  Resp: 2.000366  Card: 1.00  Bytes: 0"},
                {"searches", "tried 0 aborted 0",
                 "D[D] card 1.000000 1 1.00 best IndexFFS DEPT_ID_PK 2.000366 1.00",
                 "  index (index (FFS)) DEPT_ID_PK null", "  index (FFS) DEPT_ID_PK 2.000366"}},
        WhyCase{"BitmapTrialsAndProratedDensityAndTheLastSectionOfAnAlias",
                {"  Single Table Cardinality Estimation for E[E]", "    Card: Original: 9.0  Rounded: 9  Computed: 9.0",
                 "  Best:: AccessPath: TableScan", "         Cost: 9.0  Degree: 1  Resp: 9.0  Card: 9.0  Bytes: 0",
                 "Access path analysis for E", "  Single Table Cardinality Estimation for E[E]",
                 "  Using prorated density: 0.000274 of col #6 as selectivity of out-of-range/non-existent value pred",
                 "    Card: Original: 10700.000000  Rounded: 3  Computed: 2.93", "  Access Path: TableScan",
                 "    Cost:  35.1  Resp: 35.1", "  ****** trying bitmap/domain indexes ******",
                 "  Access Path: index (AllRange)", "    Index: EMP_HIRE_IX", "    Cost: 1.0  Resp: 1.0",
                 "  ****** finished trying bitmap/domain indexes ******", "  Best:: AccessPath: TableScan",
                 "         Cost: 35.1  Degree: 1  Resp: 35.1  Card: 2.93  Bytes: 0"},
                {"searches", "tried 0 aborted 0", "E[E] card 10700.000000 3 2.93 best TableScan null 35.1 2.93",
                 "  TableScan null 35.1", "  index (AllRange) EMP_HIRE_IX 1.0 bitmap", "  flag prorated_density"}},
        WhyCase{"SearchesRestartAtOneAndAborted2MarksTheOrderAbove",
                {"Join order[1]:  A[A]#0  B[B]#1", "Best:: JoinMethod: Hash", "       Cost: 7.5  Degree: 1",
                 "Best so far:  Table#: 0  cost: 1.0  card: 1.0  bytes: 7", "              Table#: 1  cost: 7.5  card: 1.0",
                 "Join order[2]:  B[B]#1  A[A]#0", "Join order aborted2: cost > best plan cost",
                 "Number of join permutations tried: 2", "Join order[1]:  A[A]#0  B[B]#1",
                 "Best:: JoinMethod: NestedLoop", "       Cost: 3.0  Degree: 1", "Best:: JoinMethod: Hash",
                 "       Cost: 4.5  Degree: 1", "Best so far:  Table#: 0  cost: 1.0  card: 1.0  bytes: 7",
                 "              Table#: 1  cost: 4.5  card: 1.0", "Join order[2]:  B[B]#1  A[A]#0",
                 "Best:: JoinMethod: NestedLoop", "       Cost: 9.0  Degree: 1", "Join order aborted: cost > best plan cost",
                 "Join order[3]:  B[B]#1  C[C]#2", "Number of join permutations tried: 3"},
                {"searches 1 2 1 2 3", "tried 3 aborted 1", "order 1 best 4.5 last 4.5", "order 2 aborted best null last 9.0",
                 "order 3 best null last null"}},
        WhyCase{"TraceCutInsideASection",
                {"  Single Table Cardinality Estimation for T1[T1]", "    Card: Original: 5.0  Rounded: 5  Computed: 5.0",
                 "  Access Path: TableScan"},
                {"searches", "tried 0 aborted 0", "T1[T1] card 5.0 5 5.0 best null null null null",
                 "  TableScan null null"}}),
    [](const testing::TestParamInfo<WhyCase>& info) { return std::string(info.param.name); });

TEST(WhyFacts, SampleWithThreeSearchesBeforeItsFinalCost) {
  Facts x(sample("hr_join_search.trc"));
  ASSERT_EQ(x.facts.queryBlocks.count(), 1);
  const QueryBlockFact& b = x.facts.queryBlocks[0];
  EXPECT_EQ(b.stretchJoinOrders.count, 18);
  EXPECT_EQ(b.joinOrders.count, 6);  // as «Number of join permutations tried: 6» says
  EXPECT_EQ(b.abortedJoinOrders, 4);
  const std::vector<std::string> d = describeWhy(x.facts, b);
  EXPECT_EQ(std::vector<std::string>(d.begin() + 2, d.end()),
            (std::vector<std::string>{
                "order 1 best 34.138980 last 34.138980",
                "order 2 best 34.004268 last 34.004268",
                "order 3 aborted best null last 37.910847",
                "order 4 aborted best null last 70.036138",
                "order 5 aborted best null last 69.399345",
                "order 6 aborted best null last 59.832296",
                "EMPLOYEES[E] card 10700.000000 3 2.931507 best IndexRange EMP_DEPARTMENT_IX 2.001400 2.931507",
                "  TableScan null 35.117231",
                "  index (RangeScan) EMP_DEPARTMENT_IX 2.001400",
                "  index (AllRange) EMP_HIRE_IX 1.000194 bitmap",
                "  flag prorated_density",
                "DEPARTMENTS[D] card 27.000000 27 27.000000 best IndexFFS DEPT_ID_PK 2.000366 27.000000",
                "  TableScan null 3.001024",
                "  index (index (FFS)) DEPT_ID_PK null",
                "  index (FFS) DEPT_ID_PK 2.000366",
                "LOCATIONS[L] card 23.000000 1 0.42 best TableScan null 3.000719 0.420000",
                "  TableScan null 3.000719",
                "  index (RangeScan) LOC_COUNTRY_IX 1.000400",
                "  flag rounded_to_one",
            }));
  // The sections counted are those of the last state, just before the search.
  EXPECT_GT(x.facts.accessPaths[b.accessPaths.first].line, x.facts.joinOrders[b.stretchJoinOrders.first + 11].line);
  const StatementFacts& s = x.facts.statements[0];
  EXPECT_EQ(str(x.facts, s.planHashValue), "-551043928");
  EXPECT_EQ(str(x.facts, s.planHashValueHex), "df27bca8");
}

}  // namespace
