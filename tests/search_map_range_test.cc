#include "facts/search_map_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Two searches: a complete join order, an aborted one with a last step, a
// complete one whose «Best so far» prints no cost, one aborted before any
// step; then a search of one.
const char kTrace[] =
    "Registered qb: SEL$1 0x1 (PARSER)\n"
    "kkoqbc: optimizing query block SEL$1 (#0)\n"
    "Join order[1]:  A[A]#0  B[B]#1\n"
    "Best:: JoinMethod: NestedLoop\n"
    "       Cost: 3.5  Degree: 1  Resp: 3.5  Card: 1.0 Bytes: 7\n"
    "Best so far:  Table#: 0  cost: 1.0  card: 1.0  bytes: 7\n"
    "              Table#: 1  cost: 4.0  card: 1.0  bytes: 7\n"
    "Join order[2]:  B[B]#1  A[A]#0\n"
    "Best:: JoinMethod: Hash\n"
    "       Cost: 12.5  Degree: 1  Resp: 12.5  Card: 1.0 Bytes: 7\n"
    "Join order aborted: cost > best plan cost\n"
    "Join order[3]:  A[A]#0  B[B]#1\n"
    "Best:: JoinMethod: Hash\n"
    "       Cost: 6.0  Degree: 1  Resp: 6.0  Card: 1.0 Bytes: 7\n"
    "Best so far:  Table#: 0\n"
    "Join order[4]:  B[B]#1  A[A]#0\n"
    "Join order aborted: cost > best plan cost\n"
    "Join order[1]:  B[B]#1  A[A]#0\n"
    "Best so far:  Table#: 0  cost: 2.0  card: 1.0  bytes: 7\n"
    "Final cost for query block SEL$1 (#0) - All Rows Plan:\n"
    "  Best join order: 1\n"
    "  Cost: 2.0  Degree: 1  Card: 1.0  Bytes: 7\n";

struct Built {
  std::string text = kTrace;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  Built() {
    scanKeyPoints(keyPoints, text.c_str(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(buildTraceFacts(facts, text.c_str(), static_cast<int32_t>(text.size()), keyPoints), 0);
  }
};

TEST(SearchMapRange, DrawsEachJoinOrderAtTheCostItShows) {
  const Built b;
  ASSERT_EQ(b.facts.joinOrders.count(), 5);
  const double expected[] = {4.0, 12.5, 6.0, NAN, 2.0};
  for (int32_t j = 0; j < 5; ++j) {
    const double got = drawnJoinOrderCost(b.facts, b.facts.joinOrders[j]);
    if (std::isnan(expected[j])) {
      EXPECT_TRUE(std::isnan(got)) << j;
    } else {
      EXPECT_DOUBLE_EQ(got, expected[j]) << j;
    }
  }
}

TEST(SearchMapRange, SpansTheDrawnCostsOfAStretch) {
  const Built b;
  ASSERT_EQ(b.facts.queryBlocks.count(), 1);
  const FactRange stretch = b.facts.queryBlocks[0].stretchJoinOrders;
  const struct {
    FactRange range;
    int32_t searches;
    double low;
    double high;
  } cases[] = {
      {stretch, 2, 2.0, 12.5},
      {FactRange{1, 4}, 2, 2.0, 12.5},  // a stretch may begin inside a search
      {FactRange{1, 3}, 1, 6.0, 12.5},
      {FactRange{3, 1}, 1, 1, 10},      // nothing drawn: a range of its own
      {FactRange{0, 0}, 0, 1, 10},
  };
  for (const auto& c : cases) {
    const SearchMapRange r = searchMapRange(b.facts, c.range);
    EXPECT_EQ(r.searches, c.searches) << c.range.first;
    EXPECT_DOUBLE_EQ(r.low, c.low) << c.range.first;
    EXPECT_DOUBLE_EQ(r.high, c.high) << c.range.first;
  }
}

}  // namespace
