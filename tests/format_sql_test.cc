#include "sql/format_sql.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"

namespace {

int32_t len(const std::string& s) { return static_cast<int32_t>(s.size()); }

class FormatSql : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSqlDispatch(); }

  // formatSql with the final-query settings: margin 0, compact lists, 80.
  static int format(const std::string& sql, SVString& out) {
    return formatSql(sql.data(), len(sql), 0, compactLists, 80, out);
  }
};

TEST_F(FormatSql, CountsOnlyLineFeedsWithinTheLength) {
  struct Case {
    const char* text;
    int32_t length;
    int32_t count;
  };
  const Case cases[] = {
      {nullptr, 5, 0}, {"", 0, 0}, {"a\n", 2, 1}, {"\n\n\r\n", 4, 3}, {"\r\r", 2, 0}, {"a\nb\n", 2, 1}, {"\n", -1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(countLineFeeds(c.text, c.length), c.count) << c.length;
}

TEST_F(FormatSql, ClassifiesByTheFirstSolidToken) {
  struct Case {
    const char* sql;
    bool formattable;
  };
  const Case cases[] = {
      {"select 1 from dual", true},
      {"  ((SELECT 1 FROM DUAL))", true},
      {"/* c */ select 1 from dual", true},
      {"-- c\nSelect 1 from dual", true},
      {"WITH q AS (SELECT 1 FROM DUAL) SELECT * FROM q", true},
      {"delete t", true},
      {"Insert into t values (1)", true},
      {"merge into t", true},
      {"UPDATE t SET a = 1", true},
      {"CREATE TABLE t (a NUMBER)", false},
      {"begin null; end;", false},
      {"DECLARE x NUMBER;", false},
      {"call p()", false},
      {"commit", false},
      {"/*+ FULL(t) */ select 1 from dual", false},
      {"--+ hint\nselect 1 from dual", false},
      {"x", false},
      {"'select'", false},
      {"\"SELECT\"", false},
      {"", false},
      {"  ((  /* only */ ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(classifySql(c.sql, static_cast<int32_t>(std::strlen(c.sql))), c.formattable) << c.sql;
}

TEST_F(FormatSql, ComparesTokenKindsNotTexts) {
  struct Case {
    std::string input;
    const char* output;
    int result;
    int32_t inputOffset;
    int32_t outputOffset;
  };
  const Case cases[] = {
      {"select x from t", "SELECT\r\n  y\r\nFROM\r\n  u", 0, 0, 0},
      {"  a  ", "a", 0, 0, 0},
      {"", "", 0, 0, 0},
      {"a b", "a", 1, 3, -1},
      {"a", "a b", 1, -1, 3},
      {"a,b", "a.b", 1, 2, 2},
      {"a /* c */", "a", 1, 9, -1},
      {"'s'", "'s", 0, 0, 0},  // an open string is still a string token
      {std::string("a\0b", 3), "a", 1, 1, -1},  // text after a zero byte counts
      {"a", "a\r\n", 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t in = 0;
    int32_t out = 0;
    EXPECT_EQ(compareSqlTokens(c.input.data(), len(c.input), c.output, &in, &out), c.result) << c.input;
    EXPECT_EQ(in, c.inputOffset) << c.input;
    EXPECT_EQ(out, c.outputOffset) << c.input;
  }
}

// A formatter state as sqlFormatRun would hand it to the hook.
struct HookedOutput {
  SVString string;
  SqlFormatter state{};

  explicit HookedOutput(int64_t reserve) {
    string.reserve(reserve);
    state.out = string.data();
    state.room = string.capacity() - 1;
    state.outString = &string;
  }
  void write(const char* bytes) {
    int32_t n = static_cast<int32_t>(std::strlen(bytes));
    std::memcpy(state.out + state.outLength, bytes, static_cast<size_t>(n) + 1);
    state.outLength += n;
    state.room -= n;
  }
};

TEST_F(FormatSql, GrowOutputAddsAQuarterOrTheRequestAndKeepsTheBytes) {
  struct Case {
    int64_t reserve;  // first reservation
    int32_t request;
    int32_t capacity;  // afterwards
  };
  const Case cases[] = {
      {1000, 0, 1254},                  // the after-write notice: nothing
      {1000, 10, 1254 + 1254 / 4},      // a quarter of 1254 = 313
      {1000, 5000, 1254 + 5000},        // the request when larger
  };
  for (const Case& c : cases) {
    HookedOutput h(c.reserve);
    h.write("SELECT\r\n  x");
    const int32_t before = h.string.capacity();
    const int32_t roomBefore = h.state.room;
    growOutput(h.state, c.request);
    // reserve(n) gives n + n / 4 + 4 bytes.
    const int32_t n = c.capacity;
    const int32_t expected = c.request == 0 ? before : n + n / 4 + 4;
    EXPECT_EQ(h.string.capacity(), expected) << c.request;
    EXPECT_EQ(h.state.room, roomBefore + expected - before);
    EXPECT_EQ(h.state.out, h.string.data());
    EXPECT_STREQ(h.state.out, "SELECT\r\n  x") << "growing must not disturb what was written";
  }
}

TEST_F(FormatSql, GrowOutputStopsShortOfOneMebibyte) {
  // 838856 + 838856 / 4 + 4 = 1048574; a quarter more would pass 1 MiB.
  HookedOutput h(838856);
  ASSERT_EQ(h.string.capacity(), 1048574);
  const int32_t room = h.state.room;
  growOutput(h.state, 1);
  EXPECT_EQ(h.string.capacity(), 1048574);
  EXPECT_EQ(h.state.room, room);

  HookedOutput small(1000);
  growOutput(small.state, formatSqlOutputLimit - 1254);  // c + g reaches the limit exactly
  EXPECT_EQ(small.string.capacity(), 1254);
}

TEST_F(FormatSql, EmptyTextIsFormattedAsEmpty) {
  SVString out;
  out.assign("left over from another query");
  EXPECT_EQ(format("", out), formatSqlOk);
  EXPECT_EQ(out.length(), 0);
}

TEST_F(FormatSql, RefusesStatementsItDoesNotHandle) {
  const char* refused[] = {"CREATE TABLE t (a NUMBER)", "BEGIN NULL; END;", "/*+ ALL_ROWS */ SELECT 1 FROM DUAL"};
  for (const char* sql : refused) {
    SVString out;
    EXPECT_EQ(format(sql, out), formatSqlNotHandled) << sql;
    EXPECT_STREQ(out.c_str(), "Cannot format this SQL type");
  }
}

TEST_F(FormatSql, FormatsQueriesIntoLinesWithTheSameTokens) {
  const char* queries[] = {
      "SELECT \"E\".\"ID\" \"ID\",\"E\".\"NAME\" \"NAME\" FROM \"HR\".\"EMP\" \"E\" WHERE \"E\".\"ID\"=:B1",
      "(select a from t where b = 1)",
      "/* note */ select a from t where b = 1",
      "UPDATE t SET a = 1 WHERE b = 2",
  };
  for (const char* sql : queries) {
    SVString out;
    ASSERT_EQ(format(sql, out), formatSqlOk) << sql << "\n" << out.c_str();
    int32_t in = 0;
    int32_t outPos = 0;
    EXPECT_EQ(compareSqlTokens(sql, static_cast<int32_t>(std::strlen(sql)), out.c_str(), &in, &outPos), 0);
    EXPECT_EQ(out.length(), static_cast<int32_t>(std::strlen(out.c_str())));
  }
  SVString out;
  ASSERT_EQ(format("SELECT a FROM t WHERE b = 1", out), formatSqlOk);
  EXPECT_GE(countLineFeeds(out.c_str(), out.length()), 2) << "at least three lines";
}

TEST_F(FormatSql, ReportsATokenMismatchWithItsInputOffset) {
  SVString out;
  EXPECT_EQ(format("DELETE FROM t ORDER x", out), formatSqlMismatch);
  EXPECT_STREQ(out.c_str(), "Error formatting SQL at pos -1");
}

TEST_F(FormatSql, StopsBeforeOneMebibyteOfOutput) {
  std::string sql = "SELECT ";
  while (sql.size() < 1100000) sql += "column_name_x, ";
  sql += "y FROM t";
  SVString out;
  EXPECT_EQ(format(sql, out), formatSqlFailed);
  EXPECT_STREQ(out.c_str(), "Error -3 formatting SQL");
}

TEST_F(FormatSql, StopsAtTheNestingLimit) {
  std::string sql = "SELECT ";
  for (int i = 0; i < 3000; ++i) sql += "(";
  sql += "1";
  for (int i = 0; i < 3000; ++i) sql += ")";
  sql += " FROM DUAL";
  SVString out;
  EXPECT_EQ(format(sql, out), formatSqlFailed);
  EXPECT_STREQ(out.c_str(), "Error -2 formatting SQL");
}

TEST_F(FormatSql, TextAfterAZeroByteIsNeverDropped) {
  const std::string sql("SELECT a FROM t\0 WHERE b = 1", 28);
  SVString out;
  EXPECT_EQ(format(sql, out), formatSqlMismatch);
  EXPECT_STREQ(out.c_str(), "Error formatting SQL at pos 15");
}

}  // namespace
