// The trace highlighter's attributes and what each sample line looks like.
#include "trace/trace_highlighter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct AttributeCase {
  const char* name;
  int32_t kind;
  uint32_t foreground;  // 0xRRGGBB, or kNone
  uint32_t background;
  uint8_t style;
};
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint8_t B = kStyleBold;
constexpr uint8_t U = kStyleUnderline;

// In creation order.
const AttributeCase kAttributeCases[] = {
    {"Bold", tkLineStart, kNone, kNone, B},
    {"Filename", tkFileName, 0x000080, kNone, U},
    {"Blue", tkBlueMark, 0x0000FF, kNone, 0},
    {"Green", tkGreenMark, 0x008000, kNone, 0},
    {"Magenta", tkJoinOrderAborted, 0x800000, kNone, 0},
    {"QueryBlock", tkRegisteredQb, kNone, 0xF0F0F0, B},
    {"OptParams", tkOptParams, kNone, 0xF0F0F0, B},
    {"QBTransformation", tkQbTransformation, kNone, 0xF0F0F0, B},
    {"BindVars", tkBindVars, kNone, 0xF0F0F0, B},
    {"FinalQuery", tkFinalQuery, kNone, 0xF0F0F0, B},
    {"FinalQBCost", tkFinalQbCost, 0x008000, kNone, 0},
    {"OptimizingQB", tkOptimizingQb, kNone, 0xF0F0F0, B},
    {"JoinOrder", tkJoinOrder, kNone, 0xF0F0F0, B},
    {"BestOrderSF", tkBestSoFar, 0x008000, kNone, 0},
    {"SQLDump", tkSqlDump, kNone, 0xF0F0F0, B},
    {"ExplPlan", tkExplainPlan, kNone, 0xF0F0F0, B},
    {"OptStateDump", tkOptStateDump, kNone, 0xF0F0F0, B},
    {"NewEntry", tkNewEntry, kNone, 0xF0F0F0, B},
    {"Space", tkSpace, kNone, kNone, 0},
    {"Text", tkText, kNone, kNone, 0},
    {"QueryBlockText", tkQueryBlockText, kNone, kNone, 0},
    {"SysStats", tkSysStats, kNone, kNone, 0},
    {"BaseStats", tkBaseStats, kNone, kNone, 0},
};

uint32_t packed(const HighlightColor& c) {
  return c.isSet ? (uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue) : kNone;
}

TEST(ZAzozavHiliter, AttributesInCreationOrderWithTheirLook) {
  ZAzozav_Hiliter_c h;
  ASSERT_EQ(h.registeredAttributeCount(), 23);
  for (int32_t i = 0; i < 23; ++i) {
    const AttributeCase& c = kAttributeCases[i];
    const HighlighterAttribute* a = h.registeredAttribute(i);
    ASSERT_NE(a, nullptr) << i;
    EXPECT_STREQ(a->name, c.name) << i;
    EXPECT_EQ(packed(a->foreground), c.foreground) << c.name;
    EXPECT_EQ(packed(a->background), c.background) << c.name;
    EXPECT_EQ(a->style, c.style) << c.name;
    EXPECT_EQ(h.attributeForIndex(c.kind), a) << c.name;
  }
  EXPECT_EQ(h.attributeForIndex(tkEnd), nullptr);
  EXPECT_EQ(h.attributeForIndex(24), nullptr);
}

// A run of bytes painted with one attribute ("" for none).
struct PaintRun {
  int32_t start;
  int32_t length;
  std::string attribute;
  bool operator==(const PaintRun&) const = default;
};

void PrintTo(const PaintRun& r, std::ostream* os) {
  *os << "{" << r.start << ", " << r.length << ", \"" << r.attribute << "\"}";
}

// The painted runs of a line, merging neighbouring tokens of one look.
std::vector<PaintRun> paintedRuns(ZAzozav_Hiliter_c& h, const std::string& line) {
  std::vector<PaintRun> runs;
  h.clearRange();
  h.beginLine(line.data(), static_cast<int32_t>(line.size()), 0);
  while (!h.isLineEnd()) {
    const HighlighterAttribute* a = h.currentTokenAttribute();
    EXPECT_NE(a, nullptr);
    // Space and Text are both plain: report them as "".
    const bool plain = !a->foreground.isSet && !a->background.isSet && a->style == 0;
    const std::string name = plain ? "" : a->name;
    const int32_t length = static_cast<int32_t>(h.currentTokenText().size());
    if (!runs.empty() && runs.back().attribute == name) {
      runs.back().length += length;
    } else {
      runs.push_back({h.currentTokenStart(), length, name});
    }
    h.advance();
  }
  return runs;
}

struct LineCase {
  const char* line;
  std::vector<PaintRun> runs;
};

TEST(ZAzozavHiliter, SampleLinesPaintOnlyTheirPhrases) {
  const std::vector<LineCase> cases = {
      {"Join order[1]:  T1[T1]#0  T2[T2]#1", {{0, 10, "JoinOrder"}, {10, 24, ""}}},
      {"Join order aborted: cost > best plan cost", {{0, 19, "Magenta"}, {19, 22, ""}}},
      {"*** 2012-03-04 05:06:07.890", {{0, 27, "NewEntry"}}},
      {"Best so far:  Table#: 0  cost: 2.0013", {{0, 12, "BestOrderSF"}, {12, 25, ""}}},
      {"Trace file /u01/app/oracle/diag/x_ora_1.trc", {{0, 11, ""}, {11, 32, "Filename"}}},
      {"QUERY BLOCK TEXT", {{0, 16, ""}}},
      {"   Best so far: x", {{0, 3, ""}, {3, 12, "BestOrderSF"}, {15, 2, ""}}},
      {"(Join order", {{0, 11, ""}}},
      {"Registered qb: SEL$1 0x1", {{0, 14, "QueryBlock"}, {14, 10, ""}}},
      {"Now joining: T2[T2]#1", {{0, 12, "Blue"}, {12, 9, ""}}},
      {"QUERY BLOCK SIGNATURE", {{0, 21, "Blue"}}},
      {"Best:: JoinMethod: NestedLoop", {{0, 18, "Green"}, {18, 11, ""}}},
      {"Final cost for query block SEL$1", {{0, 26, "FinalQBCost"}, {26, 6, ""}}},
      {"kkoqbc: optimizing query block SEL$1", {{0, 30, "OptimizingQB"}, {30, 6, ""}}},
      {"Final query after transformations:******* UNPARSED QUERY IS *******",
       {{0, 34, "FinalQuery"}, {34, 33, ""}}},
      {"PARAMETERS USED BY THE OPTIMIZER", {{0, 32, "OptParams"}}},
      {"Optimizer state dump:", {{0, 21, "OptStateDump"}}},
      {"Explain Plan Dump", {{0, 17, "ExplPlan"}}},
      {"*** MODULE NAME:(x)", {{0, 19, ""}}},
      {"file d:\\dir\\x.trc", {{0, 17, ""}}},
  };
  ZAzozav_Hiliter_c h;
  for (const LineCase& c : cases) {
    EXPECT_EQ(paintedRuns(h, c.line), c.runs) << c.line;
  }
}

}  // namespace
