// The comparison by decision: what the optimizer estimated and decided
// differently, and the first of it in the order it worked.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/trace_file.h"
#include "compare/difference_list.h"
#include "compare/trace_comparison.h"
#include "tests/compared_side.h"

namespace {

using Side = ComparedSide;

std::string sample() {
  SVString text;
  EXPECT_EQ(loadFromFile(text, ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc"), 0);
  return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

// `text` with the last `from` replaced by `to`.
std::string lastReplaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.rfind(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::vector<std::string> decisions(const Side& a, const Side& b, const TraceComparison& c) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < c.decisions.count(); ++i) {
    const DecisionDifference& d = c.decisions[i];
    const TextSpan item = decisionItemName(a.facts, d, false).present() ? decisionItemName(a.facts, d, false)
                                                                          : decisionItemName(b.facts, d, true);
    const std::string itemName = item.present() ? std::string(d.itemA != kNoFact ? a.facts.view(item) : b.facts.view(item)) + " " : "";
    std::string alias = d.pathA != kNoFact ? std::string(a.facts.view(a.facts.accessPaths[d.pathA].alias))
                        : d.pathB != kNoFact ? std::string(b.facts.view(b.facts.accessPaths[d.pathB].alias))
                                             : "-";
    out.push_back(alias + " " + itemName + decisionFactName(d.fact) + (i == c.firstDivergence ? " first" : ""));
  }
  return out;
}

// A name that stands twice in a list (here an index of one table) pairs
// in order: a trace compared with itself differs in nothing, and a change
// to the second record is found on the second record.
TEST(DecisionDifferences, ARepeatedNamePairsInOrder) {
  const std::string text =
      "BASE STATISTICAL INFORMATION\nTable:\nIndex:EMP_DEPARTMENT_IX\nLVLS:g\nIndex:EMP_DEPARTMENT_IX\n"
      "Final cost for query block";
  Side a(text);
  TraceComparison self;
  ASSERT_EQ(compareTraces(a.compared(), a.compared(), self), 0);
  EXPECT_EQ(decisions(a, a, self), std::vector<std::string>{});
  EXPECT_FALSE(self.differs());
  Side b(lastReplaced(text, "IX\n", "IX\nLVLS:h\n"));
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  ASSERT_EQ(decisions(a, b, c), std::vector<std::string>{"- EMP_DEPARTMENT_IX index_levels first"});
  EXPECT_EQ(c.decisions[0].aLine, 5);
  EXPECT_EQ(c.decisions[0].bLine, 5);
}

TEST(DecisionDifferences, ACardThatChangesThePathComesFirst) {
  const std::string text = sample();
  std::string changed = lastReplaced(text, "  Rounded: 1  Computed: 0.42", "  Rounded: 5  Computed: 4.60");
  changed = lastReplaced(changed, "  Best:: AccessPath: TableScan\n         Cost: 3.000719",
                         "  Best:: AccessPath: IndexRange\n  Index: LOC_COUNTRY_IX\n         Cost: 1.000400");
  changed = lastReplaced(changed, "Number of join permutations tried: 6", "Number of join permutations tried: 6\n"
                                                                         "Join order[7]:  L[L]#2  E[E]#0  D[D]#1");
  Side a(text);
  Side b(changed);
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  EXPECT_EQ(decisions(a, b, c), (std::vector<std::string>{"LOCATIONS[L] card_rounded first",
                                                          "LOCATIONS[L] card_computed", "LOCATIONS[L] flags",
                                                          "LOCATIONS[L] best_path", "LOCATIONS[L] best_index",
                                                          "LOCATIONS[L] best_cost", "- join_orders_tried"}));
  EXPECT_TRUE(c.differs());
  const DecisionDifference& first = c.decisions[c.firstDivergence];
  EXPECT_EQ(first.aLine, a.facts.accessPaths[first.pathA].cardLine);
  EXPECT_EQ(first.bLine, b.facts.accessPaths[first.pathB].cardLine);
}

TEST(DecisionDifferences, OnlyACostThatDiffersIsTheFirstDivergence) {
  const std::string text = sample();
  Side a(text);
  Side b(lastReplaced(text, "Cost: 2.000366  Degree: 1  Resp: 2.000366  Card: 27.000000",
                      "Cost: 2.500366  Degree: 1  Resp: 2.500366  Card: 27.000000"));
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  EXPECT_EQ(decisions(a, b, c), (std::vector<std::string>{"DEPARTMENTS[D] best_cost first"}));
  Side same(text);
  TraceComparison none;
  ASSERT_EQ(compareTraces(a.compared(), same.compared(), none), 0);
  EXPECT_EQ(none.firstDivergence, kNoFact);
  EXPECT_FALSE(none.differs());
}

// The statistics the optimizer saw come first in its order, but a card
// that went another way is the first divergence; with nothing else
// differing, the first statistic is.
TEST(DecisionDifferences, StatisticsAreComparedAndComeFirstInOrder) {
  const std::string text = sample();
  std::string stats = lastReplaced(text, "#Blks:  5  AvgRowLen:  49.00", "#Blks:  5  AvgRowLen:  52.00");
  stats = lastReplaced(stats, "    AvgLen: 3 NDV: 14 Nulls: 0 Density: 0.071429",
                       "    AvgLen: 3 NDV: 21 Nulls: 0 Density: 0.047619");
  stats = lastReplaced(stats, "  Index: LOC_COUNTRY_IX  Col#: 2", "  Index: LOC_CITY_IX  Col#: 3");
  Side a(text);
  Side b(stats);
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  EXPECT_EQ(decisions(a, b, c),
            (std::vector<std::string>{"- LOCATIONS avg_row_len first", "- LOC_COUNTRY_IX index_stats",
                                      "- LOC_CITY_IX index_stats", "LOCATIONS[L] COUNTRY_ID(CHAR) column_ndv",
                                      "LOCATIONS[L] COUNTRY_ID(CHAR) column_density"}));
  Side both(lastReplaced(stats, "  Rounded: 1  Computed: 0.42", "  Rounded: 2  Computed: 1.64"));
  TraceComparison d;
  ASSERT_EQ(compareTraces(a.compared(), both.compared(), d), 0);
  EXPECT_EQ(std::string(decisionFactName(d.decisions[d.firstDivergence].fact)), "card_rounded");
}

// Many fix controls that one trace alone has (an upgrade) make one row of
// the list, after the ones that differ in value; the first divergence
// heads the list.
TEST(DecisionDifferences, OneSidedEntriesAreGroupedInTheList) {
  const std::string text = sample();
  std::string extra;
  for (int k = 0; k < 7; ++k) extra += "    fix  " + std::to_string(9000000 + k) + " = 1\n";
  std::string changed = lastReplaced(text, "    fix  3746511 = enabled\n", "    fix  3746511 = disabled\n" + extra);
  changed = lastReplaced(changed, "  Rounded: 1  Computed: 0.42", "  Rounded: 2  Computed: 1.64");
  Side a(text);
  Side b(changed);
  TraceComparison c;
  ASSERT_EQ(compareTraces(a.compared(), b.compared(), c), 0);
  DifferenceList list;
  ASSERT_EQ(buildDifferenceList(a.compared(), b.compared(), c, list), 0);
  std::vector<std::string> rows;
  for (const DifferenceRow& r : list.rows) {
    rows.push_back(std::to_string(r.kind) + " " + std::string(list.cell(r.what)) + " | " +
                   std::string(list.cell(r.inB)).substr(0, 24));
  }
  ASSERT_GE(rows.size(), 6u);
  EXPECT_EQ(rows[1], "9 query block SEL$1, LOCATIONS[L]: card_rounded | 2 (line 808)");
  const auto fix = std::find(rows.begin(), rows.end(), "4 fix control 3746511 | disabled (line 1068)");
  ASSERT_NE(fix, rows.end());
  EXPECT_EQ(*(fix + 1), "10 7 fix controls only in B | 9000000 9000001 9000002 ");
}

}  // namespace
