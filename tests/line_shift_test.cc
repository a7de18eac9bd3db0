#include "outline/line_shift.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

PackedRecords<int32_t> linesOf(const std::vector<int32_t>& lines) {
  PackedRecords<int32_t> out;
  for (int32_t line : lines) *out.append() = line;
  return out;
}

// Key points scanned at lines 3, 5, 5 and 9 (1-based); the second and third
// (on one line) moved down by 2 and the last by 7 in the text shown: line 6
// is a formatted query that gained 5 rows.
TEST(LineShift, LinesMoveWithTheLastKeyPointAtOrAboveThem) {
  const PackedRecords<int32_t> scanned = linesOf({3, 5, 5, 9});
  KeyPoints_c shown;
  for (int32_t line : {3, 7, 7, 16}) appendKeyPoint(shown)->line = line - 1;
  struct Case {
    int32_t line, anchor, shownLine;
  };
  for (const Case& c : std::vector<Case>{{0, -1, 0},
                                         {2, -1, 2},
                                         {3, 0, 3},
                                         {4, 0, 4},
                                         {5, 2, 7},
                                         {6, 2, 8},
                                         {8, 2, 15},
                                         {9, 3, 16},
                                         {100, 3, 107}}) {
    EXPECT_EQ(lineAnchor(scanned, c.line), c.anchor) << c.line;
    EXPECT_EQ(shownLineOf(scanned, shown, c.line), c.shownLine) << c.line;
    if (c.line > 0) {
      EXPECT_EQ(fileLineOf(scanned, shown, c.shownLine), c.line) << c.line;
    }
  }
  // Every row of the formatted query stands for its line.
  for (int32_t row = 8; row <= 13; ++row) EXPECT_EQ(fileLineOf(scanned, shown, row), 6) << row;
  // Key points of another scan (another count) leave every line where it is.
  KeyPoints_c other;
  appendKeyPoint(other)->line = 50;
  EXPECT_EQ(shownLineOf(scanned, other, 9), 9);
  EXPECT_EQ(lineAnchor(linesOf({}), 9), -1);
}

}  // namespace
