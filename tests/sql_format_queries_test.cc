// The query layouts: SELECT clauses, FROM lists with joins and
// parenthesised items, WITH.

#include <gtest/gtest.h>

#include <string>

#include "sql/sql_formatter.h"
#include "tests/sql_format_test_support.h"

namespace {

using sqlfmt_test::checkLayouts;
using sqlfmt_test::formatText;
using sqlfmt_test::lines;
using SqlFormatQueries = sqlfmt_test::SqlFormatterTest;

TEST_F(SqlFormatQueries, JoinsStartLinesInsideTheFromList) {
  checkLayouts({
      {"SELECT a FROM t1 LEFT JOIN t2 ON t1.x = t2.x WHERE t1.y > 0",
       {"SELECT a", "FROM t1", "  LEFT JOIN t2 ON t1.x = t2.x",
        "WHERE t1.y > 0"},
       0},
      {"SELECT a FROM t1 natural join t2",
       {"SELECT a", "FROM t1", "  NATURAL JOIN t2"},
       0},
      // A modifier that is no join keeps its input letters.
      {"SELECT a FROM t1 t LEFT x", {"SELECT a", "FROM t1 t LEFT x"}, 0},
      {"SELECT a FROM t1 left outer join t2 on t1.x = t2.x and t1.y = t2.y",
       {"SELECT a", "FROM t1",
        "  LEFT OUTER JOIN t2 ON t1.x = t2.x AND t1.y = t2.y"},
       0},
      {"SELECT a FROM t1 JOIN t2 ON t1.x = t2.x JOIN t3 ON t2.y = t3.y",
       {"SELECT a", "FROM t1", "  JOIN t2 ON t1.x = t2.x",
        "  JOIN t3 ON t2.y = t3.y"},
       0},
  });
}

TEST_F(SqlFormatQueries, ParenthesisedFromItemsStandOnTheirOwnLines) {
  checkLayouts({
      {"SELECT a FROM (SELECT b FROM t UNION SELECT c FROM u) v",
       {"SELECT a", "FROM ", "  (", "    SELECT b", "    FROM t", "    UNION ",
        "    SELECT c", "    FROM u", "  )v"},
       0},
      // The query after the set operator is nested in the FROM list; the
      // line after it is ended, even at the end of the text.
      {"SELECT a FROM (SELECT b FROM t) UNION ALL SELECT c FROM u",
       {"SELECT a", "FROM ", "  (", "    SELECT b", "    FROM t", "  )",
        "  UNION ALL ", "  SELECT c", "  FROM u", ""},
       0},
  });
}

TEST_F(SqlFormatQueries, ClausesBeginLinesAtTheQueryLevel) {
  checkLayouts({
      {"SELECT /*+ FULL(t) */ a FROM t",
       {"SELECT /*+ FULL(t) */", "  a", "FROM t"},
       0},
      {"SELECT a FROM t START WITH a IS NULL CONNECT BY NOCYCLE PRIOR a = b "
       "ORDER SIBLINGS BY a",
       {"SELECT a", "FROM t", "START WITH a IS NULL",
        "CONNECT BY NOCYCLE PRIOR a = b", "ORDER SIBLINGS BY a"},
       0},
      {"SELECT a FROM t GROUP BY a HAVING COUNT(*) > 1 ORDER BY 1",
       {"SELECT a", "FROM t", "GROUP BY a", "HAVING COUNT(*) > 1",
        "ORDER BY 1"},
       0},
      {"SELECT a FROM t WHERE (a = 1 OR b = 2) AND NOT c = 3",
       {"SELECT a", "FROM t", "WHERE (a = 1", "    OR b = 2)",
        "  AND NOT c = 3"},
       0},
      {"SELECT a FROM t WHERE EXISTS (SELECT 1 FROM s)",
       {"SELECT a", "FROM t", "WHERE EXISTS (", "    SELECT 1", "    FROM s",
        "    )"},
       0},
      {"SELECT a FROM t WHERE a IN (SELECT b FROM s)",
       {"SELECT a", "FROM t", "WHERE a IN (", "    SELECT b", "    FROM s",
        "    )"},
       0},
  });
}

TEST_F(SqlFormatQueries, WithListItemsStartLinesAtTheWithLevel) {
  checkLayouts({
      {"WITH q AS (SELECT a FROM t), r AS (SELECT b FROM s) SELECT * FROM q, r",
       {"WITH ", "q AS (", "  SELECT a", "  FROM t", "  ), ", "r AS (",
        "  SELECT b", "  FROM s", "  )", "SELECT *", "FROM q, r"},
       0},
  });
}

TEST_F(SqlFormatQueries, LongSelectListsWrapPastColumn50) {
  EXPECT_EQ(formatText("SELECT col_01, col_02, col_03, col_04, col_05, col_06, "
                       "col_07, col_08, col_09, col_10, col_11, col_12, "
                       "col_13, col_14, col_15 FROM t")
                .text,
            lines({"SELECT col_01, col_02, col_03, col_04, col_05, col_06, ",
                   "  col_07, col_08, col_09, col_10, col_11, col_12, col_13, ",
                   "  col_14, col_15", "FROM t"}));
}

TEST_F(SqlFormatQueries, SelectIntoKeepsIntoOnTheLineWhileShort) {
  EXPECT_EQ(formatText("SELECT a, b INTO x, y FROM t").text,
            lines({"SELECT a, b INTO x, y", "FROM t"}));
  EXPECT_EQ(formatText("SELECT a INTO x FROM t", 0).text,
            lines({"SELECT a ", "  INTO x", "FROM t"}));
}

}  // namespace
