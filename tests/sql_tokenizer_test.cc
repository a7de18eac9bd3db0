#include "sql/sql_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Token {
  int kind;
  std::string text;
  bool operator==(const Token&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Token& t) { return os << t.kind << ":\"" << t.text << "\""; }

// Runs the tokenizer over `sql` until it reports the end; the state is
// returned for checks of mode and line counting.
std::vector<Token> tokenize(const std::string& sql, ScanState* last = nullptr) {
  ScanState s;
  scanInit(s, sql.data(), static_cast<int32_t>(sql.size()));
  std::vector<Token> tokens;
  while (nextSqlToken(s)) {
    EXPECT_EQ(s.pos + s.remaining, static_cast<int32_t>(sql.size()));
    EXPECT_GT(s.pos, s.tokenStart) << "a token must consume bytes";
    tokens.push_back({s.kind, sql.substr(s.tokenStart, s.pos - s.tokenStart)});
  }
  EXPECT_EQ(s.kind, sqlEnd);
  if (last) *last = s;
  return tokens;
}

class SqlTokenizer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSqlDispatch(); }
};

TEST_F(SqlTokenizer, CutsTextIntoKindsAndBytes) {
  struct Case {
    const char* sql;
    std::vector<Token> tokens;
  };
  const Case cases[] = {
      {"select", {{kwDml, "select"}}},
      {"Select_1", {{sqlWord, "Select_1"}}},
      {"sys$x", {{sqlWord, "sys$x"}}},
      {"a||b", {{sqlWord, "a"}, {sqlOperator, "||"}, {sqlWord, "b"}}},
      {"a|b", {{sqlWord, "a"}, {sqlChar, "|"}, {sqlWord, "b"}}},
      {"a|=b", {{sqlWord, "a"}, {sqlOperator, "|="}, {sqlWord, "b"}}},
      {"|", {{sqlChar, "|"}}},
      {"x(+)", {{sqlWord, "x"}, {sqlOuterJoin, "(+)"}}},
      {"( +)", {{sqlOpenParen, "("}, {sqlSpace, " "}, {sqlOperator, "+"}, {sqlCloseParen, ")"}}},
      {"(+", {{sqlOpenParen, "("}, {sqlOperator, "+"}}},
      {":B1", {{sqlBind, ":B1"}}},
      {":=", {{sqlOperator, ":="}}},
      {": x", {{sqlOperator, ":"}, {sqlSpace, " "}, {sqlWord, "x"}}},
      {":", {{sqlOperator, ":"}}},
      {"t@link", {{sqlWord, "t"}, {sqlAt, "@link"}}},
      {"@", {{sqlAt, "@"}}},
      {"@=>", {{sqlAt, "@=>"}}},
      {"'it''s'", {{sqlString, "'it''s'"}}},
      {"'a''", {{sqlString, "'a''"}}},
      {"--+ hint\nx", {{sqlLineHint, "--+ hint"}, {sqlSpace, "\n"}, {sqlWord, "x"}}},
      {"-- c\r\n", {{sqlLineComment, "-- c"}, {sqlSpace, "\r\n"}}},
      {"--", {{sqlLineComment, "--"}}},
      {"/*+ FULL(t) */", {{sqlHint, "/*+ FULL(t) */"}}},
      {"/**/x", {{sqlComment, "/**/"}, {sqlWord, "x"}}},
      {"/*/", {{sqlComment, "/*/"}}},
      {"a/b", {{sqlWord, "a"}, {sqlOperator, "/"}, {sqlWord, "b"}}},
      {"a-b", {{sqlWord, "a"}, {sqlOperator, "-"}, {sqlWord, "b"}}},
      {"a->b", {{sqlWord, "a"}, {sqlOperator, "-"}, {sqlOperator, ">"}, {sqlWord, "b"}}},
      {"<>>=!=^=", {{sqlOperator, "<>>=!=^="}}},
      {"#x", {{sqlOperator, "#"}, {sqlWord, "x"}}},
      {"a#b", {{sqlWord, "a#b"}}},
      {"$\\\x7f", {{sqlChar, "$"}, {sqlChar, "\\"}, {sqlChar, "\x7f"}}},
      {"1e5x", {{sqlNumber, "1e5"}, {sqlWord, "x"}}},
      {"1.e5", {{sqlNumber, "1.e5"}}},
      {"1.5e-3", {{sqlNumber, "1.5e-3"}}},
      {"2E10", {{sqlNumber, "2E10"}}},
      {"1.", {{sqlNumber, "1."}}},
      {"1e", {{sqlNumber, "1"}, {sqlWord, "e"}}},
      {"1e+", {{sqlNumber, "1"}, {sqlWord, "e"}, {sqlOperator, "+"}}},
      {"1e+x", {{sqlNumber, "1"}, {sqlWord, "e"}, {sqlOperator, "+"}, {sqlWord, "x"}}},
      {".5", {{sqlDot, "."}, {sqlNumber, "5"}}},
      {"a.b,c;)", {{sqlWord, "a"}, {sqlDot, "."}, {sqlWord, "b"}, {sqlComma, ","}, {sqlWord, "c"},
                   {sqlSemicolon, ";"}, {sqlCloseParen, ")"}}},
      {"\"a b\".c", {{sqlQuotedName, "\"a b\""}, {sqlDot, "."}, {sqlWord, "c"}}},
      {"\xC3\xA9t\xC3\xA9", {{sqlWord, "\xC3\xA9t\xC3\xA9"}}},
      {"s\xC3\xA9lect", {{sqlWord, "s\xC3\xA9lect"}}},
      {"xmltype", {{kwDataType, "xmltype"}}},
      {"\x01 \t", {{sqlSpace, "\x01 \t"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(tokenize(c.sql), c.tokens) << c.sql;
}

TEST_F(SqlTokenizer, KeywordsCarryTheirEntry) {
  const std::string sql = "select x from dual";
  ScanState s;
  scanInit(s, sql.data(), static_cast<int32_t>(sql.size()));
  ASSERT_TRUE(nextSqlToken(s));
  ASSERT_NE(s.keywordEntry, nullptr);
  EXPECT_STREQ(s.keywordEntry->text, "SELECT");
  ASSERT_TRUE(nextSqlToken(s));
  EXPECT_EQ(s.keywordEntry, nullptr) << "white space clears the entry";
  ASSERT_TRUE(nextSqlToken(s));
  EXPECT_EQ(s.keywordEntry, nullptr) << "x is not a keyword";
}

TEST_F(SqlTokenizer, UnterminatedTokensLeaveTheirModeAndContinue) {
  struct Case {
    const char* sql;
    std::vector<Token> tokens;
    int mode;
  };
  const Case cases[] = {
      {"'abc", {{sqlString, "'abc"}}, stringMode},
      {"/* a */ /* b", {{sqlComment, "/* a */"}, {sqlSpace, " "}, {sqlComment, "/* b"}}, commentMode},
      {"/*+ b *", {{sqlHint, "/*+ b *"}}, hintMode},
      {"\"ab", {{sqlQuotedName, "\"ab"}}, quotedNameMode},
      {"'a'", {{sqlString, "'a'"}}, 0},
  };
  for (const Case& c : cases) {
    ScanState s;
    EXPECT_EQ(tokenize(c.sql, &s), c.tokens) << c.sql;
    EXPECT_EQ(s.mode, c.mode) << c.sql;
    EXPECT_FALSE(nextSqlToken(s)) << "a further call still reports the end";
  }
}

TEST_F(SqlTokenizer, ANewPieceContinuesTheOpenToken) {
  struct Case {
    const char* first;
    const char* second;
    std::vector<Token> tokens;  // of the second piece
  };
  const Case cases[] = {
      {"'ab", "c'd", {{sqlString, "c'"}, {sqlWord, "d"}}},
      {"'ab", "''x'", {{sqlString, "''x'"}}},
      {"/* a", "b */c", {{sqlComment, "b */"}, {sqlWord, "c"}}},
      {"/*+ a", "*/", {{sqlHint, "*/"}}},
      {"\"a", "b\"c", {{sqlQuotedName, "b\""}, {sqlWord, "c"}}},
  };
  for (const Case& c : cases) {
    ScanState s;
    tokenize(c.first, &s);
    std::string second = c.second;
    int mode = s.mode;
    scanInit(s, second.data(), static_cast<int32_t>(second.size()));
    s.mode = mode;
    std::vector<Token> tokens;
    while (nextSqlToken(s)) tokens.push_back({s.kind, second.substr(s.tokenStart, s.pos - s.tokenStart)});
    EXPECT_EQ(tokens, c.tokens) << c.first << " | " << c.second;
    EXPECT_EQ(s.mode, 0);
  }
}

TEST_F(SqlTokenizer, CountsLineFeedsWhereTokensMaySpanLines) {
  const std::string sql = "'a\nb' x /*\n\n*/ \"q\n\" --c\n\ny";
  ScanState s;
  scanInit(s, sql.data(), static_cast<int32_t>(sql.size()));
  std::vector<std::pair<int, int>> kindAndLine;
  while (nextSqlToken(s)) kindAndLine.push_back({s.kind, s.tokenLine});
  const std::vector<std::pair<int, int>> expected = {
      {sqlString, 0}, {sqlSpace, 1}, {sqlWord, 1},    {sqlSpace, 1},       {sqlComment, 1}, {sqlSpace, 3},
      {sqlQuotedName, 3}, {sqlSpace, 4}, {sqlLineComment, 4}, {sqlSpace, 4}, {sqlWord, 6}};
  EXPECT_EQ(kindAndLine, expected);
  EXPECT_EQ(s.line, 6);
  EXPECT_EQ(s.column, static_cast<int32_t>(sql.size())) << "column is never reset on the SQL side";
}

TEST_F(SqlTokenizer, AZeroByteEndsTheText) {
  struct Case {
    std::string sql;
    std::vector<Token> tokens;
    int32_t remaining;  // bytes left unscanned at the end
  };
  // Inside a string, comment or quoted name a zero byte is content.
  const Case cases[] = {
      {std::string("a \0b", 4), {{sqlWord, "a"}, {sqlSpace, " "}}, 2},
      {std::string("\0", 1), {}, 1},
      {std::string("'\0'x", 4), {{sqlString, std::string("'\0'", 3)}, {sqlWord, "x"}}, 0},
  };
  for (const Case& c : cases) {
    ScanState s;
    EXPECT_EQ(tokenize(c.sql, &s), c.tokens);
    EXPECT_EQ(s.remaining, c.remaining);
    EXPECT_FALSE(nextSqlToken(s));
  }
}

TEST_F(SqlTokenizer, NeverReadsPastTheGivenLength) {
  // Each prefix is tokenized from a heap copy of exactly its length, so
  // AddressSanitizer builds catch any read beyond it.
  const std::string sql = "select 'a''b' \"q\" /*+ h */ x(+) :b1 @l 1.5e+7 -- c\n a||b |";
  for (size_t n = 0; n <= sql.size(); ++n) {
    std::vector<char> exact(sql.begin(), sql.begin() + static_cast<long>(n));
    ScanState s;
    scanInit(s, exact.data(), static_cast<int32_t>(n));
    int32_t covered = 0;
    while (nextSqlToken(s)) covered = s.pos;
    EXPECT_EQ(covered, static_cast<int32_t>(n));
  }
}

}  // namespace
