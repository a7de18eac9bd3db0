#include "outline/outline_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "trace/trace_scanner.h"

namespace {

// Reachable nodes from node 0, depth first: "depth caption1[|caption2]".
void walk(const NodeMarrow_Array_c& nodes, int32_t first, int depth, std::vector<std::string>& out) {
  for (int32_t i = first; i != kNoNode; i = nodes[i].nextSibling) {
    std::string line = std::to_string(depth) + " " + nodes.caption(i, 1);
    if (const char* second = nodes.caption(i, 2)) line += std::string("|") + second;
    out.push_back(line);
    if (nodes[i].firstChild != kNoNode) {
      EXPECT_EQ(nodes[nodes[i].firstChild].parent, i);
      walk(nodes, nodes[i].firstChild, depth + 1, out);
    }
  }
}

struct Outline {
  KeyPoints_c keyPoints;
  NodeMarrow_Array_c nodes;
  std::vector<std::string> shape;
};

void build(const std::string& text, Outline& outline) {
  scanKeyPoints(outline.keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
  buildOutline(outline.nodes, outline.keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
  if (outline.nodes.count() > 0) walk(outline.nodes, 0, 0, outline.shape);
}

std::vector<std::string> shapeOf(const std::string& text) {
  Outline outline;
  build(text, outline);
  return outline.shape;
}

const std::string kEntry = "*** 2011-01-01 10:00:00.000\n";
const std::string kSqlIdLine = "----- Current SQL Statement for this session (sql_id=5kb4y5n5akx5b) -----\n";

struct OutlineCase {
  const char* name;
  std::string text;
  std::vector<std::string> expected;
};

class OutlineCases : public testing::TestWithParam<OutlineCase> {};

TEST_P(OutlineCases, HasTheExpectedShape) { EXPECT_EQ(shapeOf(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Build, OutlineCases,
    testing::Values(
        OutlineCase{"NoKeyPoints", "nothing\n", {}},
        OutlineCase{"NoEntryNorRegistration", "PARAMETERS USED BY THE OPTIMIZER\n", {}},
        OutlineCase{"StatementWithSqlId",
                    kEntry + kSqlIdLine + "Registered qb: SEL$1 0x1\nPARAMETERS USED BY THE OPTIMIZER\n",
                    {"0 #10#Marrow trace|  #01#sql_id=5kb4y5n5akx5b", "1 #02#QUERY BLOCKS", "2 #02#SEL$1",
                     "1 Optimizer Parameters"}},
        OutlineCase{"StatementWithoutSqlId",
                    kEntry + "Registered qb: SEL$1 0x1\nPARAMETERS USED BY THE OPTIMIZER\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#SEL$1", "1 Optimizer Parameters"}},
        OutlineCase{"SecondEntryWithoutRegistrationJoinsThePreviousRoot",
                    kEntry + "Registered qb: SEL$1\nExplain Plan Dump\n" + kEntry + "Explain Plan Dump\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#SEL$1", "1 Explain Plan", "1 Explain Plan"}},
        OutlineCase{"FirstKeyPointIsARegistration",
                    "Registered qb: SEL$1\nRegistered qb: SEL$2\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#SEL$1", "2 #02#SEL$2"}},
        OutlineCase{"SingleRegistrationWithoutEntry", "Registered qb: SEL$1\n", {}},
        OutlineCase{"BestAndAbortedJoinOrders",
                    kEntry + "Registered qb: SEL$1\nFinal query after transformations:\nSELECT 1\n"
                             "kkoqbc: optimizing query block SEL$1\nJoin order[1]:\nBest so far: 1\n"
                             "Join order[2]:\nJoin order aborted: x\nJoin order aborted: y\nJoin order[3]:\n"
                             "Best so far: 2\nJoin order[4]:\nFinal cost for query block SEL$1 (#0)\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#SEL$1", "1 Final Query",
                     "1 #03#OPTIMIZING QB", "2 #03#SEL$1", "3 Join Order [1]:",
                     "3 Join Order [2]: #07#- aborted #07#- aborted", "3 Join Order [3]: #04#- best",
                     "3 Join Order [4]:", "3 Final cost for SEL$1"}},
        OutlineCase{"PermutationsInsideTheGroup",
                    kEntry + "Registered qb: SEL$1\nFinal query after transformations:\nSELECT 1\nJoin order[1]:\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#SEL$1", "1 Final Query",
                     "1 #03#OPTIMIZING QB", "2 #03#Permutations", "3 Join Order [1]:"}},
        OutlineCase{"OneGroupPerRoot",
                    kEntry + "Registered qb: A\nExplain Plan Dump\nkkoqbc: optimizing query block A\n"
                             "kkoqbc: optimizing query block B\n" + kEntry +
                        "Registered qb: C\nExplain Plan Dump\nkkoqbc: optimizing query block C\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#A", "1 Explain Plan",
                     "1 #03#OPTIMIZING QB", "2 #03#A", "2 #03#B", "0 #10#Marrow trace|", "1 #02#QUERY BLOCKS",
                     "2 #02#C", "1 Explain Plan", "1 #03#OPTIMIZING QB", "2 #03#C"}},
        OutlineCase{"OptimisingRightAfterRegistrations",
                    kEntry + "Registered qb: A\nkkoqbc: optimizing query block A\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#A", "2 #03#A", "1 #03#OPTIMIZING QB"}},
        OutlineCase{"FinalCostUnderTheFinalQuery",
                    kEntry + "Registered qb: A\nExplain Plan Dump\nFinal query after transformations:\nSELECT 1\n"
                             "Final cost for query block SEL$1\nkkoqbc: optimizing query block B\nJoin order[1]:\n",
                    {"0 #10#Marrow trace|", "1 #02#QUERY BLOCKS", "2 #02#A", "1 Explain Plan", "1 Final Query",
                     "2 Final cost for SEL$1", "1 #03#OPTIMIZING QB"}}),
    [](const testing::TestParamInfo<OutlineCase>& info) { return info.param.name; });

// The registration must start at most 10000 bytes after the entry line.
TEST(OutlineModel, RegistrationWindowIsTenThousandBytes) {
  for (int gap : {9999, 10000, 10001}) {
    // The search starts just past the time stamp, at the entry's line feed.
    const std::string text =
        "*** 2011-01-01\n" + std::string(static_cast<size_t>(gap - 1), '.') + "Registered qb: A\n";
    EXPECT_EQ(shapeOf(text).empty(), gap > 10000) << gap;
  }
}

TEST(OutlineModel, NodesCarryKeyPointsAndIndexes) {
  Outline outline;
  build(kEntry + kSqlIdLine + "Registered qb: SEL$1 0x1\nPARAMETERS USED BY THE OPTIMIZER\n", outline);
  ASSERT_EQ(outline.nodes.count(), 4);
  const int32_t expectedKeyPoints[] = {0, 0, 1, 2};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(outline.nodes[i].nodeIndex, i);
    EXPECT_EQ(outline.nodes[i].keyPointIndex, expectedKeyPoints[i]);
    EXPECT_EQ(outline.nodes[i].tagA, 0);
    EXPECT_EQ(outline.nodes.caption(i, 3), nullptr);
  }
  EXPECT_EQ(outline.nodes[3].parent, 0);
  EXPECT_EQ(outline.nodes[1].nextSibling, 3);
}

TEST(OutlineModel, LongJoinOrderCaptionKeepsEveryMark) {
  const std::string name(40, 'W');
  Outline outline;
  build(kEntry + "Registered qb: A\nExplain Plan Dump\nkkoqbc: optimizing query block A\nJoin order" + name +
            "\nBest so far: 1\nJoin order aborted: x\nJoin order aborted: y\n",
        outline);
  ASSERT_FALSE(outline.shape.empty());
  EXPECT_EQ(outline.shape.back(), "3 Join Order " + name + " #04#- best #07#- aborted #07#- aborted");
}

TEST(OutlineModel, CountJoinOrdersStopsAtOtherKinds) {
  KeyPoint points[6] = {};
  const int32_t kinds[6] = {tkJoinOrder, tkBestSoFar, tkJoinOrder, tkJoinOrderAborted, tkFinalQbCost, tkBestSoFar};
  for (int i = 0; i < 6; ++i) points[i].kind = kinds[i];
  const JoinOrderCounts counts = countJoinOrders(points, 6);
  EXPECT_EQ(counts.joinOrders, 2);
  EXPECT_EQ(counts.best, 1);
  EXPECT_EQ(countJoinOrders(points, 0).best, 0);
}

TEST(OutlineModel, SearchesStayInsideTheText) {
  // A key point whose pos lies at the very end: the searches find nothing.
  const std::string text = kEntry.substr(0, kEntry.size() - 1);
  Outline outline;
  build(text, outline);
  EXPECT_TRUE(outline.shape.empty());
}

// The outline built from the phrases the fast scan notes must equal the
// one built by reading the text, also where "Registered qb:" or "sql_id="
// stand where no marker is recognised.
TEST(OutlineModel, NotedPhrasesGiveTheSameOutlineAsTheText) {
  const std::vector<std::string> pieces = {"*** 2021-01-01 00:00\n",
                                          "Registered qb: A\n",
                                          "(Registered qb: B",
                                          "xRegistered qb:",
                                          "file /Registered qb: C",
                                          "(sql_id=5kb4y5n5akx5b)",
                                          "sql_id=",
                                          "sql_id",
                                          "sql_id=abc ",
                                          "Explain Plan Dump\n",
                                          "Join order[1]:\n",
                                          "kkoqbc: optimizing query block Q\n",
                                          "Best so far: 1\n",
                                          "Join order aborted:\n",
                                          "\n",
                                          " ",
                                          std::string(3000, '.'),
                                          std::string(9990, '-')};
  std::mt19937 random(77);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    text += "\r\n";
    KeyPoints_c noted;
    KeyPoints_c reference;
    scanKeyPoints(noted, text.c_str(), static_cast<int32_t>(text.size()));
    scanKeyPointsReference(reference, text.c_str(), static_cast<int32_t>(text.size()));
    ASSERT_TRUE(noted.noted.complete);
    ASSERT_FALSE(reference.noted.complete);
    NodeMarrow_Array_c fromNotes;
    NodeMarrow_Array_c fromText;
    buildOutline(fromNotes, noted, text.c_str(), static_cast<int32_t>(text.size()));
    buildOutline(fromText, reference, text.c_str(), static_cast<int32_t>(text.size()));
    std::vector<std::string> a;
    std::vector<std::string> b;
    if (fromNotes.count() > 0) walk(fromNotes, 0, 0, a);
    if (fromText.count() > 0) walk(fromText, 0, 0, b);
    ASSERT_EQ(a, b) << "round " << round;
  }
}

}  // namespace
