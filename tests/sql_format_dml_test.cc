// The layouts of data-changing statements: DELETE, UPDATE, INSERT in its
// forms, MERGE.

#include <gtest/gtest.h>

#include <string>

#include "sql/sql_formatter.h"
#include "tests/sql_format_test_support.h"

namespace {

using sqlfmt_test::checkLayouts;
using sqlfmt_test::formatText;
using sqlfmt_test::lines;
using SqlFormatDml = sqlfmt_test::SqlFormatterTest;

TEST_F(SqlFormatDml, InsertForms) {
  checkLayouts({
      {"INSERT INTO t (a, b) VALUES (1, 2)",
       {"INSERT INTO t (a, b) ", "VALUES (1, 2) "},
       0},
      {"INSERT INTO t (a, b) SELECT x, y FROM s",
       {"INSERT INTO t (a, b) ", "SELECT x, y", "FROM s"},
       0},
      {"INSERT ALL INTO t1 (a) VALUES (x) INTO t2 (b) VALUES (y) SELECT x, y "
       "FROM s",
       {"INSERT ALL ", "INTO t1 (a) ", "  VALUES (x) ", "INTO t2 (b) ",
        "  VALUES (y) ", "SELECT x, y", "FROM s"},
       0},
      {"INSERT FIRST WHEN x > 1 THEN INTO t1 VALUES (x) ELSE INTO t3 VALUES "
       "(x) SELECT x FROM s",
       {"INSERT FIRST ", "  WHEN x > 1", "    THEN INTO t1 ",
        "        VALUES (x) ", "  ELSE INTO t3 ", "      VALUES (x) ",
        "SELECT x", "FROM s"},
       0},
      // Quoted names in the target are spaced as separate items.
      {"INSERT INTO \"S\".\"T\" (a) VALUES (1)",
       {"INSERT INTO  \"S\" . \"T\"  (a) ", "VALUES (1) "},
       0},
      {"INSERT /*+ APPEND */ INTO t SELECT a FROM s",
       {"INSERT /*+ APPEND */", "INTO t ", "SELECT a", "FROM s"},
       0},
      // The input ending inside the target leaves a space after it.
      {"INSERT INTO t", {"INSERT INTO t "}, 0},
  });
}

TEST_F(SqlFormatDml, InsertColumnListsWithoutCompactLists) {
  EXPECT_EQ(formatText("INSERT INTO t (a, b) VALUES (1, 2)", 0).text,
            lines({"INSERT INTO t ", "(", "  a, ", "  b", ") ", "VALUES ", "(",
                   "  1, ", "  2", ") "}));
}

TEST_F(SqlFormatDml, UpdateAndDelete) {
  checkLayouts({
      {"UPDATE t SET a = 1, b = 2 WHERE c = 3",
       {"UPDATE t", "SET a = 1, ", "  b = 2", "WHERE c = 3"},
       0},
      {"DELETE FROM t WHERE a = 1 RETURNING b INTO :y",
       {"DELETE ", "FROM t", "WHERE a = 1", "RETURNING b INTO :y"},
       0},
      // DELETE without FROM ends at the table name; the rest is copied.
      {"DELETE t WHERE a = 1", {"DELETE ", "t WHERE a = 1"}, 1},
      // A clause the statement lacks writes its next token twice; the
      // token check of the formatting entry rejects such output.
      {"DELETE FROM t ORDER x", {"DELETE ", "FROM t", "ORDER x", "x"}, 1},
  });
}

TEST_F(SqlFormatDml, MergeForms) {
  checkLayouts({
      {"MERGE INTO t USING s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET "
       "t.a = s.a DELETE WHERE t.b = 0 WHEN NOT MATCHED THEN INSERT (id, a) "
       "VALUES (s.id, s.a)",
       {"MERGE INTO t ", "USING s  ON (t.id = s.id)", "WHEN MATCHED THEN ",
        "  UPDATE SET t.a = s.a", "  DELETE WHERE t.b = 0",
        "WHEN NOT MATCHED THEN ", "  INSERT (id, a) ",
        "  VALUES (s.id, s.a) "},
       0},
      {"MERGE INTO t USING (SELECT a FROM s) x ON (t.id = x.id) WHEN MATCHED "
       "THEN UPDATE SET t.a = x.a",
       {"MERGE INTO t ", "USING ", "(", "  SELECT a", "  FROM s",
        ") x  ON (t.id = x.id)", "WHEN MATCHED THEN ",
        "  UPDATE SET t.a = x.a"},
       0},
      // A WHERE after the SET list ends the WHEN loop as a trailing clause.
      {"MERGE INTO t USING s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET "
       "t.a = s.a WHERE t.b = 1",
       {"MERGE INTO t ", "USING s  ON (t.id = s.id)", "WHEN MATCHED THEN ",
        "  UPDATE SET t.a = s.a", "WHERE t.b = 1"},
       0},
      // WHEN without MATCHED: the words read so far are written, then the
      // rest is copied.
      {"MERGE INTO t USING s ON (1 = 1) WHEN x",
       {"MERGE INTO t ", "USING s  ON (1 = 1)", "WHEN ", "x"},
       1},
  });
}

}  // namespace
