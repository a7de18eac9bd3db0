#include "facts/join_order_question.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> named(const std::string& input) {
  PackedRecords<TextSpan> tables;
  EXPECT_EQ(joinOrderTablesOf(input, tables), 0);
  std::vector<std::string> out;
  for (const TextSpan& t : tables) out.push_back(input.substr(static_cast<size_t>(t.offset), static_cast<size_t>(t.length)));
  return out;
}

TEST(JoinOrderQuestion, ReadsAliasesAndHints) {
  EXPECT_EQ(named("t1 t2 l"), (std::vector<std::string>{"t1", "t2", "l"}));
  EXPECT_EQ(named("E, D,L"), (std::vector<std::string>{"E", "D", "L"}));
  EXPECT_EQ(named("/*+ leading(t1 t2 l) use_nl(l) */"), (std::vector<std::string>{"t1", "t2", "l"}));
  EXPECT_EQ(named("LEADING(@\"SEL$1\" \"L\"@\"SEL$1\" \"D\"@\"SEL$1\" \"E\"@SEL$1)"),
            (std::vector<std::string>{"L", "D", "E"}));
  EXPECT_EQ(named("  "), std::vector<std::string>{});
}

TEST(JoinOrderQuestion, KnowsAnEntryByAliasNameOrWhole) {
  EXPECT_TRUE(joinOrderEntryIs("EMPLOYEES[E]#0", "e"));
  EXPECT_TRUE(joinOrderEntryIs("EMPLOYEES[E]#0", "employees"));
  EXPECT_TRUE(joinOrderEntryIs("EMPLOYEES[E]#0", "EMPLOYEES[E]#0"));
  EXPECT_FALSE(joinOrderEntryIs("EMPLOYEES[E]#0", "EMP"));
  EXPECT_TRUE(joinOrderEntryIs("VW_SQ_1#3", "vw_sq_1"));
}

// Two searches of one stretch: the reader's order is tried in the second.
const char kTrace[] =
    "Registered qb: SEL$1 0x1 (PARSER)\n"
    "kkoqbc: optimizing query block SEL$1 (#0)\n"
    "Join order[1]:  A[A]#0  B[B]#1  C[C]#2\n"
    "Best so far:  Table#: 0  cost: 1.0  card: 1.0  bytes: 7\n"
    "              Table#: 1  cost: 9.0  card: 1.0  bytes: 7\n"
    "Join order[2]:  B[B]#1  A[A]#0  C[C]#2\n"
    "Join order aborted: cost > best plan cost\n"
    "Join order[1]:  A[A]#0  C[C]#2  B[B]#1\n"
    "Best so far:  Table#: 0  cost: 8.0  card: 1.0  bytes: 7\n"
    "Join order[2]:  C[C]#2  B[B]#1  A[A]#0\n"
    "Join order aborted: cost > best plan cost\n"
    "Final cost for query block SEL$1 (#0) - All Rows Plan:\n"
    "  Best join order: 1\n"
    "  Cost: 8.0  Degree: 1  Card: 1.0  Bytes: 7\n";

struct Ask {
  const char* input;
  const char* expected;  // join order lines with their search and the best before, then the rest
};

class JoinOrderAsked : public testing::TestWithParam<Ask> {};

TEST_P(JoinOrderAsked, IsAnswered) {
  const std::string text = std::string(kTrace) + "\r\n";
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
  TraceDigest digest;
  ASSERT_EQ(buildTraceDigest(digest, text.c_str(), static_cast<int32_t>(text.size()), keyPoints), 0);
  const std::string input = GetParam().input;
  PackedRecords<TextSpan> tables;
  ASSERT_EQ(joinOrderTablesOf(input, tables), 0);
  JoinOrderAnswer answer;
  ASSERT_EQ(askJoinOrder(digest, 0, input, tables, answer), 0);
  std::string got = "searches " + std::to_string(answer.searches) + ":";
  for (const JoinOrderMatch& m : answer.matches) {
    const JoinOrderFact& o = digest.facts.joinOrders[m.joinOrder];
    got += " line " + std::to_string(o.line) + " search " + std::to_string(m.search) + " before " +
           (m.bestBefore.present() ? std::string(digest.view(m.bestBefore)) : "-");
  }
  got += "; first table " + std::to_string(answer.sameFirstTable);
  for (int32_t t : answer.unknown) got += "; unknown " + input.substr(static_cast<size_t>(tables[t].offset), static_cast<size_t>(tables[t].length));
  EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, JoinOrderAsked,
    testing::Values(Ask{"c b a", "searches 2: line 10 search 1 before 8.0; first table 1"},
                    Ask{"LEADING(a)", "searches 2: line 3 search 0 before - line 8 search 1 before -; first table 2"},
                    Ask{"b c", "searches 2:; first table 1"}, Ask{"c a b", "searches 2:; first table 1"},
                    Ask{"b x", "searches 2:; first table 1; unknown x"}));

}  // namespace
