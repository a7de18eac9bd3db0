#include "trace/trace_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Token {
  int kind;
  std::string text;
  bool operator==(const Token& other) const { return kind == other.kind && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Token& token) {
  return out << "{" << token.kind << ", \"" << token.text << "\"}";
}

std::vector<Token> scan(const std::string& text) {
  buildTraceDispatch();
  ScanState state;
  scanInit(state, text.c_str(), static_cast<int32_t>(text.size()));
  std::vector<Token> tokens;
  while (nextTraceToken(state)) {
    tokens.push_back({state.kind, text.substr(state.tokenStart, state.pos - state.tokenStart)});
  }
  return tokens;
}

struct ScanCase {
  const char* name;
  std::string input;
  std::vector<Token> expected;  // a prefix of the tokens
};

class TraceScannerCases : public testing::TestWithParam<ScanCase> {};

TEST_P(TraceScannerCases, YieldsTheExpectedTokens) {
  const ScanCase& c = GetParam();
  const std::vector<Token> tokens = scan(c.input);
  ASSERT_GE(tokens.size(), c.expected.size());
  for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(tokens[i], c.expected[i]) << "token " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Markers, TraceScannerCases,
    testing::Values(
        ScanCase{"AbortedBeforeItsPrefix", "Join order aborted:", {{tkJoinOrderAborted, "Join order aborted:"}}},
        ScanCase{"JoinOrderThenPunctuation",
                 "Join order[2]:",
                 {{tkJoinOrder, "Join order"}, {tkText, "["}, {tkText, "2"}, {tkText, "]"}, {tkText, ":"}}},
        ScanCase{"TailComparedWithoutCase", "Best So Far:", {{tkBestSoFar, "Best So Far:"}}},
        ScanCase{"FirstFourBytesExact", "BEST so far:", {{tkText, "BEST"}, {tkSpace, " "}, {tkText, "so"}}},
        ScanCase{"AfterWhiteSpaceMidLine", "  Best so far: x", {{tkSpace, "  "}, {tkBestSoFar, "Best so far:"}}},
        ScanCase{"NotAfterPunctuation", "(Best so far:", {{tkText, "("}, {tkText, "Best"}}},
        ScanCase{"TooFewBytesLeft", "Best so far", {{tkText, "Best"}, {tkSpace, " "}, {tkText, "so"}}},
        ScanCase{"NewEntryStopsBeforeCarriageReturn",
                 "*** 2011-06-01 10:22:33.456\r\nx",
                 {{tkNewEntry, "*** 2011-06-01 10:22:33.456"}, {tkSpace, "\r\n"}, {tkText, "x"}}},
        ScanCase{"NewEntryWithoutLineFeedTakesTheRest", "*** 2011 end", {{tkNewEntry, "*** 2011 end"}}},
        // A zero byte on an entry line must not make the entry swallow the
        // rest of the trace: the line ends at its line feed as always.
        ScanCase{"ZeroByteInsideAnEntryLine",
                 std::string("*** 2011\0x\nJoin order", 21),
                 {{tkNewEntry, std::string("*** 2011\0x", 10)}, {tkSpace, "\n"}, {tkJoinOrder, "Join order"}}},
        ScanCase{"AsterisksThatAreNoEntry",
                 "*** MODULE NAME:",
                 {{tkText, "*"}, {tkText, "*"}, {tkText, "*"}, {tkSpace, " "}, {tkText, "MODULE"}}},
        ScanCase{"MarkerRightAfterMarker",
                 "Join orderBest so far:",
                 {{tkJoinOrder, "Join order"}, {tkBestSoFar, "Best so far:"}}},
        ScanCase{"EveryPhrase",
                 "Best:: JoinMethod: Best join order: BASE STATISTICAL INFORMATION "
                 "Considering Query Transformations on query block Explain Plan Dump "
                 "Final query after transformations: Final cost for query block Now joining: "
                 "Optimizer state dump: PARAMETERS USED BY THE OPTIMIZER "
                 "Peeked values of the binds in SQL statement QUERY BLOCK SIGNATURE QUERY BLOCK TEXT "
                 "Registered qb: Starting SQL statement dump SYSTEM STATISTICS INFORMATION "
                 "kkoqbc: optimizing query block",
                 {{tkGreenMark, "Best:: JoinMethod:"},
                  {tkSpace, " "},
                  {tkGreenMark, "Best join order:"},
                  {tkSpace, " "},
                  {tkBaseStats, "BASE STATISTICAL INFORMATION"},
                  {tkSpace, " "},
                  {tkQbTransformation, "Considering Query Transformations on query block"},
                  {tkSpace, " "},
                  {tkExplainPlan, "Explain Plan Dump"},
                  {tkSpace, " "},
                  {tkFinalQuery, "Final query after transformations:"},
                  {tkSpace, " "},
                  {tkFinalQbCost, "Final cost for query block"},
                  {tkSpace, " "},
                  {tkBlueMark, "Now joining:"},
                  {tkSpace, " "},
                  {tkOptStateDump, "Optimizer state dump:"},
                  {tkSpace, " "},
                  {tkOptParams, "PARAMETERS USED BY THE OPTIMIZER"},
                  {tkSpace, " "},
                  {tkBindVars, "Peeked values of the binds in SQL statement"},
                  {tkSpace, " "},
                  {tkBlueMark, "QUERY BLOCK SIGNATURE"},
                  {tkSpace, " "},
                  {tkQueryBlockText, "QUERY BLOCK TEXT"},
                  {tkSpace, " "},
                  {tkRegisteredQb, "Registered qb:"},
                  {tkSpace, " "},
                  {tkSqlDump, "Starting SQL statement dump"},
                  {tkSpace, " "},
                  {tkSysStats, "SYSTEM STATISTICS INFORMATION"},
                  {tkSpace, " "},
                  {tkOptimizingQb, "kkoqbc: optimizing query block"}}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    FileNames, TraceScannerCases,
    testing::Values(
        ScanCase{"PathAfterFile",
                 "Trace file /u01/app/trace/x_ora_12.trc",
                 {{tkText, "Trace"}, {tkSpace, " "}, {tkText, "file"}, {tkSpace, " "},
                  {tkFileName, "/u01/app/trace/x_ora_12.trc"}}},
        ScanCase{"SpacesInsideAPath", "filename /a/b", {{tkText, "file"}, {tkFileName, "name /a/b"}}},
        ScanCase{"ColonOnlyAsSecondByte",
                 "file: x",
                 {{tkText, "file"}, {tkText, ":"}, {tkSpace, " "}, {tkText, "x"}}},
        ScanCase{"BackslashesAreNoPath", "file d:\\dir\\x.trc", {{tkText, "file"}, {tkSpace, " "}, {tkText, "d"}}},
        ScanCase{"MarkerKeepsFileMode",
                 "file Best so far: /x/y",
                 {{tkText, "file"}, {tkSpace, " "}, {tkBestSoFar, "Best so far:"}, {tkSpace, " "},
                  {tkFileName, "/x/y"}}},
        ScanCase{"UpperCaseFileIsText", "File /a/b", {{tkText, "File"}, {tkSpace, " "}, {tkText, "/"}}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Bytes, TraceScannerCases,
    testing::Values(ScanCase{"HighBytesAreSingleTextTokens",
                             "a\xc3\xa9z",
                             {{tkText, "a"}, {tkText, "\xc3"}, {tkText, "\xa9"}, {tkText, "z"}}},
                    ScanCase{"ZeroByteIsWhiteSpace", std::string("a\0\0b", 4),
                             {{tkText, "a"}, {tkSpace, std::string("\0\0", 2)}, {tkText, "b"}}},
                    ScanCase{"LoneCarriageReturnIsWhiteSpace", "a\rb", {{tkText, "a"}, {tkSpace, "\r"}, {tkText, "b"}}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

TEST(TraceScanner, CountsLinesAndColumns) {
  buildTraceDispatch();
  const std::string text = "file /a/b\r\nx\n\nJoin order";
  ScanState state;
  scanInit(state, text.c_str(), static_cast<int32_t>(text.size()));
  nextTraceToken(state);  // file
  nextTraceToken(state);  // space
  nextTraceToken(state);  // /a/b
  EXPECT_EQ(state.kind, tkFileName);
  EXPECT_EQ(state.column, 9);
  EXPECT_EQ(state.mode, 0);
  while (nextTraceToken(state) && state.kind != tkJoinOrder) {
  }
  EXPECT_EQ(state.line, 3);
  EXPECT_EQ(state.column, 10);
  EXPECT_FALSE(nextTraceToken(state));
  EXPECT_EQ(state.kind, tkEnd);
}

TEST(TraceScanner, EmptyTextEndsAtOnce) {
  buildTraceDispatch();
  ScanState state;
  scanInit(state, "", 0);
  EXPECT_FALSE(nextTraceToken(state));
  EXPECT_EQ(state.kind, tkEnd);
}

TEST(TraceScanner, ResetLineKeepsTheMode) {
  buildTraceDispatch();
  const std::string first = "Trace file";
  const std::string second = "/u01/x";
  ScanState state;
  scanInit(state, first.c_str(), static_cast<int32_t>(first.size()));
  while (nextTraceToken(state)) {
  }
  EXPECT_EQ(state.mode, fileNameMode);
  scanResetLine(state, second.c_str(), static_cast<int32_t>(second.size()));
  EXPECT_EQ(state.kind, tkLineStart);
  ASSERT_TRUE(nextTraceToken(state));
  EXPECT_EQ(state.kind, tkFileName);
  EXPECT_EQ(state.pos, 6);
}

// Every byte value starts a token that consumes at least one byte, so any
// text ends; the scanner never reads past the text and its zero byte.
TEST(TraceScanner, EveryByteValueAdvances) {
  buildTraceDispatch();
  for (int c = 0; c < 256; ++c) {
    for (int mode = 0; mode <= 1; ++mode) {
      const char text[2] = {static_cast<char>(c), 0};
      ScanState state;
      scanInit(state, text, 1);
      state.mode = mode;
      ASSERT_TRUE(nextTraceToken(state));
      EXPECT_EQ(state.pos, 1) << c;
      EXPECT_EQ(state.remaining, 0);
    }
  }
}

}  // namespace
