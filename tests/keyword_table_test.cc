#include "sql/keyword_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sql/sql_tokenizer.h"

namespace {

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

const KeywordEntry* find(const char* word) {
  return lookupKeyword(bytes(word), static_cast<int32_t>(std::strlen(word)));
}

class KeywordTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSqlDispatch(); }
};

TEST_F(KeywordTable, HoldsTheListedNumberOfWordsPerClass) {
  int counts[44] = {};
  for (int i = 0; i < keywordCount; ++i) {
    const KeywordEntry& e = keywordEntries()[i];
    ASSERT_GE(e.wordClass, 20);
    ASSERT_LE(e.wordClass, 43);
    ASSERT_EQ(e.length, std::strlen(e.text)) << e.text;
    ++counts[e.wordClass];
  }
  const int expected[24] = {6, 11, 7, 1, 1, 4, 1, 1, 1, 1, 2,   1,
                            1, 4,  1, 573, 32, 151, 45, 20, 362, 181, 182, 4};
  int total = 0;
  for (int c = 20; c <= 43; ++c) {
    EXPECT_EQ(counts[c], expected[c - 20]) << "class " << c;
    total += counts[c];
  }
  EXPECT_EQ(total, 1593);
}

TEST_F(KeywordTable, ListsEnterInClassOrderWithSetOperatorsBeforeOn) {
  struct Case {
    int index;
    const char* text;
    int wordClass;
  };
  const Case cases[] = {
      {0, "DELETE", kwDml},          {5, "WITH", kwDml},
      {6, "CONNECT", kwClause},      {24, "JOIN", kwJoin},
      {25, "EXCEPT", kwSetOperator}, {28, "UNION", kwSetOperator},
      {29, "ON", kwOn},              {30, "ALL", kwAll},
      {43, "ACCESS", kwReserved},    {1589, "REM", kwRemark},
      {1592, "REMARK", kwRemark},
  };
  for (const Case& c : cases) {
    const KeywordEntry& e = keywordEntries()[c.index];
    EXPECT_STREQ(e.text, c.text) << c.index;
    EXPECT_EQ(e.wordClass, c.wordClass) << c.index;
  }
}

TEST_F(KeywordTable, ChainsAscendByLengthWithLaterEntriesFirst) {
  int chained = 0;
  for (int b = 0; b < keywordChainCount; ++b) {
    for (const KeywordEntry* e = keywordChain(b); e != nullptr; e = e->next) {
      ++chained;
      EXPECT_EQ(keywordHash(bytes(e->text), e->length), b) << e->text;
      if (e->next == nullptr) continue;
      EXPECT_LE(e->length, e->next->length) << e->text;
      if (e->length == e->next->length) {
        EXPECT_GT(e, e->next) << e->text << " before " << e->next->text;
      }
    }
  }
  EXPECT_EQ(chained, keywordCount);
}

TEST_F(KeywordTable, HashWeighsLettersCaseBlindAndSkipsDigitsAndDollars) {
  struct Case {
    const char* word;
    int hash;
  };
  const Case cases[] = {
      {"", 0},     {"A", 2},   {"a", 2},       {"Z", 27},  {"AB", 7},  {"ab", 7},
      {"_", 1},    {"a_1", 5}, {"A1$#B", 7},   {"[", 0},   {"A[", 4},  {"A`", 4},
      {"\x80", 0}, {"A\xC3", 2}, {"ZZZZZZZZZZ", (27 * 1023) & 255},
  };
  for (const Case& c : cases) EXPECT_EQ(keywordHash(bytes(c.word), std::strlen(c.word)), c.hash) << c.word;
}

TEST_F(KeywordTable, FindsEveryEntryInAnyLetterCase) {
  for (int i = 0; i < keywordCount; ++i) {
    const KeywordEntry& e = keywordEntries()[i];
    std::string lower(e.text);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(find(e.text), &e);
    EXPECT_EQ(find(lower.c_str()), &e) << lower;
  }
}

TEST_F(KeywordTable, RejectsNearMissesAndNonLetterFolds) {
  // '@' and '`' differ from 'A'/'a' by the case bit only; they must not fold.
  const char* misses[] = {"", "SELEC", "SELECTS", "Select_1", "s elect", "FRO", "@LL", "`LL",
                          "SYS$X", "REMARKS", "ON1", "SELECT\xC3", "{N", "O\x0E"};
  for (const char* w : misses) EXPECT_EQ(find(w), nullptr) << w;
  EXPECT_STREQ(find("xmltype")->text, "XMLType");
  EXPECT_STREQ(find("aq$_agent")->text, "AQ$_AGENT");
  EXPECT_STREQ(find("dbms_sumref_util2")->text, "DBMS_SUMREF_UTIL2");
}

TEST_F(KeywordTable, RebuildingGivesTheSameTable) {
  const KeywordEntry* before = find("MERGE");
  const KeywordEntry* chain = keywordChain(keywordHash(bytes("MERGE"), 5));
  buildSqlDispatch();
  EXPECT_EQ(find("MERGE"), before);
  EXPECT_EQ(keywordChain(keywordHash(bytes("MERGE"), 5)), chain);
}

}  // namespace
