#include "compare/try_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/sql_tokenizer.h"
#include "tests/compared_side.h"
#include "tests/facts_trace_builder.h"

namespace {

using Side = ComparedSide;

std::vector<std::string> scriptOf(const StatementSpec& a, const StatementSpec& b) {
  Side sa(traceHeader() + statementTrace(a));
  Side sb(traceHeader() + statementTrace(b));
  TraceComparison c;
  EXPECT_EQ(compareTraces(sa.compared(), sb.compared(), c), 0);
  SVString script;
  EXPECT_EQ(buildTryScript(c, sa.facts, sb.facts, script), 0);
  std::vector<std::string> lines;
  std::string all(script.c_str(), static_cast<size_t>(script.length()));
  for (size_t from = 0; from < all.size();) {
    const size_t feed = all.find('\n', from);
    lines.push_back(all.substr(from, feed - from));
    from = feed + 1;
  }
  return lines;
}

// A line SQL*Plus runs as one command: a comment, or «alter session set
// "NAME" = VALUE [comment];» with VALUE a number, a word or one string.
bool isSqlPlusLine(const std::string& line) {
  ScanState s;
  scanInit(s, line.c_str(), static_cast<int32_t>(line.size()));
  std::vector<std::pair<int32_t, std::string>> tokens;
  while (nextSqlToken(s)) {
    if (s.kind == sqlSpace) continue;
    tokens.emplace_back(s.kind, line.substr(static_cast<size_t>(s.tokenStart), static_cast<size_t>(s.pos - s.tokenStart)));
  }
  if (s.mode != 0) return false;  // an unterminated string, name or comment
  if (tokens.size() == 1 && tokens[0].first == sqlLineComment) return true;
  if (tokens.size() < 7 || tokens.back().first != sqlSemicolon) return false;
  size_t i = 0;
  for (const char* word : {"alter", "session", "set"}) {
    if (tokens[i++].second != word) return false;
  }
  if (tokens[i++].first != sqlQuotedName || tokens[i++].second != "=") return false;
  const int32_t value = tokens[i++].first;
  if (value != sqlNumber && value != sqlString && value != sqlWord && value < kwDml) return false;
  if (i < tokens.size() && tokens[i].first == sqlWord && value == sqlNumber) ++i;  // 1024K
  if (i < tokens.size() - 1 && tokens[i].first == sqlComment) ++i;
  return i == tokens.size() - 1;
}

TEST(TryScript, OneChangedParameterIsOneLine) {
  StatementSpec a;
  StatementSpec b;
  b.defaults[3] = "optimizer_mode                      = first_rows_10";
  EXPECT_EQ(scriptOf(a, b), (std::vector<std::string>{
                                "alter session set \"optimizer_mode\" = 'first_rows_10' /* as a hint: "
                                "OPT_PARAM('optimizer_mode' 'first_rows_10') */;"}));
}

TEST(TryScript, OneChangedFixControlIsOneLine) {
  StatementSpec a;
  StatementSpec b;
  b.fixes[2] = "    fix  4519016 = enabled";
  EXPECT_EQ(scriptOf(a, b), (std::vector<std::string>{
                                "alter session set \"_fix_control\" = '4519016:ON' /* as a hint: "
                                "OPT_PARAM('_fix_control' '4519016:ON') */;"}));
}

// Altered parameters first, then the others, then fix controls; what B
// cannot give is a comment; every line is one SQL*Plus command.
TEST(TryScript, OrderAndEveryLineParses) {
  StatementSpec a;
  StatementSpec b;
  a.defaults.push_back("star_transformation_enabled         = false");
  b.altered = {"_pga_max_size                       = 819200 KB", "optimizer_index_cost_adj            = 25"};
  b.defaults = {"optimizer_mode_hinted               = true", "optimizer_features_enable           = 12.2.0.1",
                "cpu_count                           = 8", "optimizer_mode                      = all_rows",
                "_optimizer_cost_model               = it's",  "optimizer_dynamic_sampling          = 0.5"};
  b.fixes = {"    fix  3834770 = 0", "    fix  3746511 = disabled", "    fix  4519016 = whatever"};
  const std::vector<std::string> lines = scriptOf(a, b);
  const std::vector<std::string> expected = {
      "alter session set \"_pga_max_size\" = 819200K /* as a hint: OPT_PARAM('_pga_max_size' 819200K) */;",
      "alter session set \"optimizer_index_cost_adj\" = 25 /* as a hint: OPT_PARAM('optimizer_index_cost_adj' 25) */;",
      "alter session set \"optimizer_mode_hinted\" = true /* as a hint: OPT_PARAM('optimizer_mode_hinted' true) */;",
      "alter session set \"optimizer_features_enable\" = '12.2.0.1' /* as a hint: "
      "OPTIMIZER_FEATURES_ENABLE('12.2.0.1') */;",
      "-- \"star_transformation_enabled\" is set only in A (false): nothing of B's to set",
      "alter session set \"_optimizer_cost_model\" = 'it''s' /* as a hint: OPT_PARAM('_optimizer_cost_model' "
      "'it''s') */;",
      "alter session set \"optimizer_dynamic_sampling\" = 0.5 /* as a hint: OPT_PARAM('optimizer_dynamic_sampling' "
      "0.5) */;",
      "alter session set \"_fix_control\" = '3834770:0' /* as a hint: OPT_PARAM('_fix_control' '3834770:0') */;",
      "alter session set \"_fix_control\" = '3746511:OFF' /* as a hint: OPT_PARAM('_fix_control' '3746511:OFF') */;",
      "-- fix control 4519016 has a value in B that _fix_control does not take; set it by hand",
  };
  EXPECT_EQ(lines, expected);
  buildSqlDispatch();
  for (const std::string& line : lines) EXPECT_TRUE(isSqlPlusLine(line)) << line;
  EXPECT_FALSE(isSqlPlusLine("alter session set \"x\" = 'open;"));
}

}  // namespace
