// The formatter core: run procedure, statuses, output limits, expressions,
// lists, CASE and conditions.

#include "sql/sql_formatter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tests/sql_format_test_support.h"

namespace {

using sqlfmt_test::checkLayouts;
using sqlfmt_test::formatText;
using sqlfmt_test::lines;
using SqlFormatter_ = sqlfmt_test::SqlFormatterTest;

TEST_F(SqlFormatter_, LaysOutExpressionsListsAndConditions) {
  checkLayouts({
      {"SELECT a, b FROM t1, t2 WHERE x = 1 AND y = 2 ORDER BY a",
       {"SELECT a, b", "FROM t1, t2", "WHERE x = 1", "  AND y = 2",
        "ORDER BY a"},
       0},
      {"select a from t where x=1", {"SELECT a", "FROM t", "WHERE x = 1"}, 0},
      {"SELECT a FROM t WHERE a IN (1, 2, 3)",
       {"SELECT a", "FROM t", "WHERE a IN (1, 2, 3)"},
       0},
      {"SELECT COUNT(*) FROM t", {"SELECT COUNT(*)", "FROM t"}, 0},
      {"SELECT NVL(a,b) FROM t", {"SELECT NVL(a, b)", "FROM t"}, 0},
      {"SELECT CASE WHEN a = 1 THEN 'x' ELSE 'z' END c FROM t",
       {"SELECT ", "  CASE ", "    WHEN a = 1 THEN 'x'", "    ELSE 'z'",
        "  END c", "FROM t"},
       0},
      {"SELECT a, COUNT(*) FROM t", {"SELECT a, ", "  COUNT(*)", "FROM t"}, 0},
      {"SELECT a FROM t UNION ALL SELECT b FROM s",
       {"SELECT a", "FROM t", "UNION ALL ", "SELECT b", "FROM s"},
       0},
      // Operators get a space on each side, dots and link suffixes none.
      {"SELECT s.a+1, t.b@lnk FROM t", {"SELECT s.a + 1, t.b@lnk", "FROM t"},
       0},
      {"SELECT a FROM t WHERE t.x(+) = s.x",
       {"SELECT a", "FROM t", "WHERE t.x(+) = s.x"},
       0},
  });
}

TEST_F(SqlFormatter_, TextAfterTheStatementIsCopiedUnchanged) {
  checkLayouts({
      {"SELECT a FROM t) x  y", {"SELECT a", "FROM t", ") x  y"}, 1},
      {"SELECT a FROM t) x\n  y", {"SELECT a", "FROM t", ") x\n  y"}, 1},
      // A semicolon ends no statement.
      {"SELECT a FROM t; x y", {"SELECT a", "FROM t ; x y"}, 0},
  });
}

TEST_F(SqlFormatter_, KeepsCommentsInPlace) {
  EXPECT_EQ(formatText("/* c1 */ /* c2 */ SELECT a FROM t -- end").text,
            lines({"/* c1 */ ", "/* c2 */", "SELECT a", "FROM t -- end", ""}));
  EXPECT_EQ(formatText("SELECT a -- one\n, b FROM t").text,
            lines({"SELECT a -- one", "  , b", "FROM t"}));
  EXPECT_EQ(formatText("-- lead\nSELECT a FROM t").text,
            lines({"-- lead", "SELECT a", "FROM t"}));
  // A comment on its own input line gets a line of its own in the list.
  EXPECT_EQ(formatText("SELECT a\n/* c */ FROM t").text,
            lines({"SELECT a", "  /* c */", "FROM t"}));
}

TEST_F(SqlFormatter_, SetsTheStatementTypeFromTheFirstStatementWord) {
  struct Case {
    const char* input;
    int32_t type;
  };
  const Case cases[] = {
      {"SELECT a FROM t", stmtSelect},
      {"(SELECT a FROM t)", stmtSelect},
      {"DELETE FROM t", stmtDelete},
      {"INSERT INTO t VALUES (1)", stmtInsert},
      {"INSERT ALL INTO t VALUES (1) SELECT 1 FROM d", stmtMultiInsert},
      {"MERGE INTO t USING s ON (1 = 1)", stmtMerge},
      {"UPDATE t SET a = 1", stmtUpdate},
      {"WITH q AS (SELECT 1 FROM d) SELECT * FROM q", stmtWith},
      {"x y", stmtNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatText(c.input).statementType, c.type) << c.input;
  }
}

TEST_F(SqlFormatter_, ParenthesisedStatementsAndMargin) {
  EXPECT_EQ(formatText("(SELECT a FROM t)").text,
            lines({"(", "  SELECT a", "  FROM t", ")"}));
  // The margin indents every line but the first.
  EXPECT_EQ(formatText("SELECT a FROM t WHERE b = 1 AND c = 2",
                       compactLists, 80, 4)
                .text,
            lines({"SELECT a", "    FROM t", "    WHERE b = 1",
                   "      AND c = 2"}));
}

TEST_F(SqlFormatter_, ListsBreakAfterEveryCommaWithoutCompactLists) {
  EXPECT_EQ(formatText("SELECT a, b, c FROM t", 0).text,
            lines({"SELECT a, ", "  b, ", "  c", "FROM t"}));
}

TEST_F(SqlFormatter_, ArgumentListsWrapNearTheWidth) {
  // After ", " a line ends once column + 30 passes the width.
  EXPECT_EQ(formatText("SELECT f(aaaa, bbbb, cccc) FROM t", compactLists, 39)
                .text,
            lines({"SELECT f(aaaa, ", "    bbbb, ", "    cccc)", "FROM t"}));
}

TEST_F(SqlFormatter_, CaseBranchesAndNestedCase) {
  // THEN moves to its own line once the WHEN line is long.
  EXPECT_EQ(
      formatText("SELECT CASE WHEN a_very_long_column_name_1 = "
                 "a_very_long_column_name_2 THEN 1 END FROM t")
          .text,
      lines({"SELECT ", "  CASE ",
             "    WHEN a_very_long_column_name_1 = a_very_long_column_name_2",
             "      THEN 1", "  END", "FROM t"}));
  EXPECT_EQ(
      formatText("SELECT CASE WHEN a = 1 THEN CASE b WHEN 2 THEN 3 END END "
                 "FROM t")
          .text,
      lines({"SELECT ", "  CASE ", "    WHEN a = 1 THEN ", "        CASE b",
             "          WHEN 2 THEN 3", "        END", "  END", "FROM t"}));
}

TEST_F(SqlFormatter_, JoinAndCaseConditionsKeepShortLines) {
  EXPECT_EQ(formatText("SELECT CASE WHEN a = 1 AND b = 2 THEN 3 END FROM t")
                .text,
            lines({"SELECT ", "  CASE ", "    WHEN a = 1 AND b = 2 THEN 3",
                   "  END", "FROM t"}));
}

TEST_F(SqlFormatter_, NestingBeyondTheLimitStopsWithoutFurtherOutput) {
  // Each "(" of a condition opens two routines: the parenthesised
  // condition, which writes the "(", and the condition inside it. With the
  // statement, SELECT and WHERE's condition at depths 1 to 3, the "(" are
  // written at depths 4, 6, ..., 1000.
  const std::string deep = "SELECT a FROM t WHERE " + std::string(100000, '(') +
                           "x" + std::string(100000, ')');
  const auto r = formatText(deep);
  EXPECT_EQ(r.status, sqlFormatTooDeep);
  EXPECT_EQ(r.text, lines({"SELECT a", "FROM t", "WHERE " + std::string(499, '(')}));

  // Deep nesting in expressions, arguments and statements alike.
  struct Nest {
    const char* start;
    const char* unit;
  };
  for (const Nest& nest : {Nest{"SELECT ", "("}, Nest{"SELECT ", "f("},
                           Nest{"", "("}, Nest{"SELECT a FROM ", "("},
                           Nest{"SELECT a FROM t WHERE x IN ", "(f"}}) {
    std::string text = nest.start;
    for (int i = 0; i < 50000; ++i) text += nest.unit;
    EXPECT_EQ(formatText(text).status, sqlFormatTooDeep) << nest.unit;
  }
}

TEST_F(SqlFormatter_, NestingJustInsideTheLimitIsFormatted) {
  const std::string text = "SELECT a FROM t WHERE " + std::string(498, '(') +
                           "x" + std::string(498, ')');
  const auto r = formatText(text);
  EXPECT_EQ(r.status, sqlFormatDone);
  EXPECT_EQ(r.text, lines({"SELECT a", "FROM t",
                           "WHERE " + std::string(498, '(') + "x" +
                               std::string(498, ')')}));
}

// Runs the formatter on a fixed buffer with no grow hook.
std::string formatInto(const std::string& sql, char* buffer, int32_t room,
                       int32_t* status) {
  ScanState scan;
  scanInit(scan, sql.data(), static_cast<int32_t>(sql.size()));
  SqlFormatter state;
  *status = sqlFormatRun(state, buffer, room, compactLists, 2, 80, 0, scan,
                         nullptr, nullptr, nullptr);
  EXPECT_LE(state.outLength, room);
  return std::string(buffer, static_cast<size_t>(state.outLength));
}

TEST_F(SqlFormatter_, ExhaustedRoomDropsWritesAndNeverWritesPastTheBuffer) {
  const std::string sql = "SELECT a, b FROM t1, t2 WHERE x = 1 AND y = 2";
  const std::string full = lines({"SELECT a, b", "FROM t1, t2", "WHERE x = 1",
                                  "  AND y = 2"});
  for (int32_t room = 0; room <= static_cast<int32_t>(full.size()) + 1; ++room) {
    char buffer[128];
    std::memset(buffer, '#', sizeof buffer);
    int32_t status = 0;
    const std::string out = formatInto(sql, buffer, room, &status);
    if (room > static_cast<int32_t>(full.size())) {
      EXPECT_EQ(status, sqlFormatDone);
      EXPECT_EQ(out, full);
    } else {
      EXPECT_EQ(status, sqlFormatNoRoom) << room;
      // What fitted is terminated, and nothing lies beyond the room.
      if (room > 0) {
        EXPECT_EQ(std::strlen(buffer), out.size()) << room;
      }
      for (size_t i = static_cast<size_t>(room); i < sizeof buffer; ++i) {
        ASSERT_EQ(buffer[i], '#') << "room " << room << " byte " << i;
      }
    }
  }
}

TEST_F(SqlFormatter_, RefusedGrowthGivesStatusMinus3AndATerminatedText) {
  sqlfmt_test::growCap = 40;
  const auto r = formatText("SELECT a, b FROM t1, t2 WHERE x = 1 AND y = 2");
  sqlfmt_test::growCap = int64_t{1} << 30;
  EXPECT_EQ(r.status, sqlFormatNoRoom);
  EXPECT_EQ(r.text.substr(0, 8), "SELECT a");
  EXPECT_LT(r.text.size(), lines({"SELECT a, b", "FROM t1, t2", "WHERE x = 1",
                                  "  AND y = 2"}).size());
}

TEST_F(SqlFormatter_, RoomRunningOutWhileCopyingTheRestIsAnError) {
  // The statement fits; the unformatted rest does not. Status 1 must not
  // hide the truncation.
  char buffer[64];
  int32_t status = 0;
  formatInto("SELECT a FROM t) " + std::string(100, 'x'), buffer,
             sizeof buffer - 1, &status);
  EXPECT_EQ(status, sqlFormatNoRoom);
}

TEST_F(SqlFormatter_, AnyBytesEndWithoutCrashOrHang) {
  // Unterminated strings, comments and quoted names, zero bytes and high
  // bytes: every run ends with a known status and a terminated text.
  const std::string samples[] = {
      std::string("SELECT 'abc"),
      std::string("SELECT a /* open"),
      std::string("SELECT \"open"),
      std::string("SELECT a\0 FROM t", 16),
      std::string("SELECT \xE9\xFF\x80 FROM t"),
      std::string("SELECT /*+ hint"),
      std::string("INSERT INTO"),
      std::string("MERGE INTO t USING"),
      std::string("SELECT CASE WHEN"),
  };
  for (const std::string& s : samples) {
    const auto r = formatText(s);
    EXPECT_GE(r.status, 0) << s;
  }
  std::mt19937 random(12345);
  const char* words[] = {"SELECT ", "FROM ", "WHERE ", "(", ")", ",", "CASE ",
                         "WHEN ", "THEN ", "END ", "INSERT ", "INTO ",
                         "VALUES ", "MERGE ", "USING ", "ON ", "JOIN ",
                         "LEFT ", "AND ", "x ", "'s", "/*", "--", "\n",
                         "UNION ", "ALL ", "WITH ", "AS ", "SET ", "=",
                         "DELETE ", "UPDATE ", "MATCHED ", "NOT ", "IN "};
  for (int run = 0; run < 300; ++run) {
    std::string text;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      if (random() % 8 == 0) {
        text += static_cast<char>(random() % 256);
      } else {
        text += words[random() % (sizeof words / sizeof words[0])];
      }
    }
    const auto r = formatText(text);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << text;
  }
}

}  // namespace
