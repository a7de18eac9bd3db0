#include "sql/final_query_reformat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/format_sql.h"
#include "sql/shown_text.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"
#include "trace/trace_scanner.h"

namespace {

const char kMarker[] = "Final query after transformations:******* UNPARSED QUERY IS *******\r\n";

// A trace in our own words: each query follows a final-query marker and
// is followed by an optimizer line; the text ends with an explain plan.
std::string traceWith(const std::vector<std::string>& queries) {
  std::string t = "*** 2024-03-01 10:00:00.000\r\nRegistered qb: SEL$1 0x1 (PARSER)\r\n";
  for (const std::string& q : queries) t += std::string(kMarker) + q + "\r\nkkoqbc: optimizing query block SEL$1 (#0)\r\n";
  return t + "Explain Plan Dump\r\n";
}

// Formats a query as the re-formatting does; the text itself for a query
// that does not format.
std::string formatted(const std::string& query) {
  SVString out;
  if (formatSql(query.data(), static_cast<int32_t>(query.size()), 0, compactLists, 80, out) != formatSqlOk) return query;
  return out.c_str();
}

// Line `n` (0-based) of `text`, without its line end.
std::string lineAt(const std::string& text, int32_t n) {
  size_t start = 0;
  for (int32_t i = 0; i < n; ++i) {
    start = text.find('\n', start);
    if (start == std::string::npos) return "<past the end>";
    ++start;
  }
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

const char* markerOf(int32_t kind) {
  switch (kind) {
    case tkFinalQuery: return "Final query after transformations:";
    case tkOptimizingQb: return "kkoqbc: optimizing query block";
    case tkExplainPlan: return "Explain Plan Dump";
    case tkRegisteredQb: return "Registered qb:";
    case tkNewEntry: return "*** 20";
  }
  return "";
}

struct Reformatted {
  std::string text;
  std::vector<int32_t> linesBefore;
  std::vector<int32_t> linesAfter;
  std::vector<int32_t> kinds;
};

Reformatted reformat(const std::string& trace) {
  buildTraceDispatch();
  SVString text;
  text.assign(trace.c_str());
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  Reformatted r;
  for (const KeyPoint& k : keyPoints) r.linesBefore.push_back(k.line);
  // Shifting alone must move the key points exactly as re-formatting does.
  KeyPoints_c shiftedOnly;
  scanKeyPoints(shiftedOnly, text);
  EXPECT_EQ(shiftFinalQueryLines(text, shiftedOnly), 0);
  EXPECT_EQ(reformatFinalQueries(text, keyPoints), 0);
  EXPECT_EQ(shiftedOnly.count(), keyPoints.count());
  for (int32_t i = 0; i < keyPoints.count() && i < shiftedOnly.count(); ++i) {
    EXPECT_EQ(shiftedOnly[i].line, keyPoints[i].line) << i;
  }
  r.text.assign(text.c_str(), static_cast<size_t>(text.length()));
  for (const KeyPoint& k : keyPoints) {
    r.linesAfter.push_back(k.line);
    r.kinds.push_back(k.kind);
    // Choosing the key point in the outline must still land on its marker.
    EXPECT_EQ(lineAt(r.text, k.line).rfind(markerOf(k.kind), 0), 0u)
        << "kind " << k.kind << " line " << k.line << ": " << lineAt(r.text, k.line);
  }
  return r;
}

class FinalQueryReformat : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSqlDispatch(); }
};

TEST_F(FinalQueryReformat, ATraceWithoutFinalQueriesIsUnchanged) {
  const std::string trace = traceWith({});
  Reformatted r = reformat(trace);
  EXPECT_EQ(r.text, trace);
  EXPECT_EQ(r.linesAfter, r.linesBefore);
}

TEST_F(FinalQueryReformat, LaterKeyPointsMoveByTheLinesEachQueryGained) {
  const std::string q1 = "SELECT \"A\".\"X\" \"X\",\"A\".\"Y\" \"Y\" FROM \"S\".\"T\" \"A\" WHERE \"A\".\"X\"=:B1";
  const std::string q2 = "UPDATE \"S\".\"T\" \"T\" SET \"Y\"=1 WHERE \"T\".\"X\" IN (SELECT \"U\".\"X\" FROM \"S\".\"U\" \"U\")";
  // The query bytes end with the line's carriage return, as the scan takes them.
  const std::string f1 = formatted(q1 + "\r");
  const std::string f2 = formatted(q2 + "\r");
  const int32_t s1 = countLineFeeds(f1.data(), static_cast<int32_t>(f1.size()));
  const int32_t s2 = countLineFeeds(f2.data(), static_cast<int32_t>(f2.size()));
  ASSERT_GE(s1, 2);
  ASSERT_GE(s2, 2);

  Reformatted r = reformat(traceWith({q1, q2}));
  // new entry, registered qb, final query, optimizing, final query, optimizing, explain plan
  const std::vector<int32_t> kinds = {tkNewEntry, tkRegisteredQb, tkFinalQuery, tkOptimizingQb,
                                      tkFinalQuery, tkOptimizingQb, tkExplainPlan};
  ASSERT_EQ(r.kinds, kinds);
  const std::vector<int32_t> shifts = {0, 0, 0, s1, s1, s1 + s2, s1 + s2};
  for (size_t i = 0; i < shifts.size(); ++i) EXPECT_EQ(r.linesAfter[i], r.linesBefore[i] + shifts[i]) << i;
  EXPECT_NE(r.text.find(std::string(kMarker) + f1 + "\nkkoqbc"), std::string::npos);
  EXPECT_NE(r.text.find(std::string(kMarker) + f2 + "\nkkoqbc"), std::string::npos);
}

TEST_F(FinalQueryReformat, QueriesItCannotFormatStayAsTheyAre) {
  const std::vector<std::string> kept = {
      "CREATE TABLE T (A NUMBER)", "BEGIN NULL; END;", "/*+ FULL(T) */ SELECT 1 FROM DUAL", "DELETE FROM t ORDER x",
  };
  for (const std::string& q : kept) {
    const std::string trace = traceWith({q});
    Reformatted r = reformat(trace);
    EXPECT_EQ(r.text, trace) << q;
    EXPECT_EQ(r.linesAfter, r.linesBefore) << q;
  }
  for (const std::string q : {"(SELECT 1 FROM DUAL WHERE 1 = 1)", "/* c */ SELECT 1 FROM DUAL WHERE 1 = 1"}) {
    Reformatted r = reformat(traceWith({q}));
    EXPECT_GT(r.linesAfter.back(), r.linesBefore.back()) << q;
  }
}

TEST_F(FinalQueryReformat, RecordsOutOfOrderOrOutOfRangeAreLeftAlone) {
  const std::string q = "SELECT A FROM T WHERE B = 1";
  const std::string trace = traceWith({q});
  const int32_t start = static_cast<int32_t>(trace.find(q));
  const int32_t length = static_cast<int32_t>(q.size()) + 1;  // with its carriage return
  struct Case {
    const char* what;
    int32_t queryStart;
    int32_t queryLength;
  };
  // The first record is always the real query; the second one is odd.
  const Case cases[] = {
      {"starts before the previous query ends", start + 7, 3},
      {"the same query again", start, length},
      {"runs past the end", start + length, static_cast<int32_t>(trace.size())},
      {"starts past the end", static_cast<int32_t>(trace.size()) + 10, 1},
      {"negative start", -5, 3},
      {"empty", static_cast<int32_t>(trace.size()) - 3, 0},
  };
  const std::string f = formatted(q + "\r");
  const int32_t shift = countLineFeeds(f.data(), static_cast<int32_t>(f.size()));
  for (const Case& c : cases) {
    SVString text;
    text.assign(trace.c_str());
    KeyPoints_c keyPoints;
    for (int i = 0; i < 3; ++i) {
      KeyPoint* k = appendKeyPoint(keyPoints);
      ASSERT_NE(k, nullptr);
      k->kind = i < 2 ? tkFinalQuery : tkExplainPlan;
      k->line = 10 * i;
      k->pos = i == 0 ? start - 1 : start + length + i;
      k->queryStart = i == 0 ? start : c.queryStart;
      k->queryLength = i == 0 ? length : c.queryLength;
    }
    ASSERT_EQ(reformatFinalQueries(text, keyPoints), 0) << c.what;
    std::string expected = trace;
    expected.replace(static_cast<size_t>(start), static_cast<size_t>(length), f);
    EXPECT_EQ(std::string(text.c_str()), expected) << c.what;
    EXPECT_EQ(keyPoints[1].line, 10 + shift) << c.what;
    EXPECT_EQ(keyPoints[2].line, 20 + shift) << c.what << ": the odd record adds nothing";
  }
}

TEST_F(FinalQueryReformat, MarkersOnTheFinalQueryLineStayAboveTheQuery) {
  const std::string q = "SELECT A FROM T WHERE B = 1";
  const std::string trace = "*** 2024-03-01 10:00:00.000\r\nRegistered qb: SEL$1 0x1\r\n"
                            "Final query after transformations: Join order[1]:\r\n" + q + "\r\nExplain Plan Dump\r\n";
  const std::string f = formatted(q + "\r");
  const int32_t shift = countLineFeeds(f.data(), static_cast<int32_t>(f.size()));
  ASSERT_GE(shift, 2);
  SVString text;
  text.assign(trace.c_str());
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  KeyPoints_c shiftedOnly;
  scanKeyPoints(shiftedOnly, text);
  ASSERT_EQ(reformatFinalQueries(text, keyPoints), 0);
  ASSERT_EQ(shiftFinalQueryLines(text, shiftedOnly), 0);
  // entry, registration, final query, "#03#Permutations" and the join order
  // on the marker's line, the explain plan after the query.
  const int32_t kinds[] = {tkNewEntry, tkRegisteredQb, tkFinalQuery, tkOptimizingQb, tkJoinOrder, tkExplainPlan};
  const int32_t lines[] = {0, 1, 2, 2, 2, 4 + shift};
  ASSERT_EQ(keyPoints.count(), 6);
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(keyPoints[i].kind, kinds[i]) << i;
    EXPECT_EQ(keyPoints[i].line, lines[i]) << i;
    EXPECT_EQ(shiftedOnly[i].line, lines[i]) << i;
  }
  EXPECT_EQ(lineAt(text.c_str(), 4 + shift), "Explain Plan Dump");
}

// Offset of the first carriage return in `text` that has no line feed
// after it, or npos.
size_t loneCarriageReturn(const std::string& text) {
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
    if (at + 1 == text.size() || text[at + 1] != '\n') return at;
  }
  return std::string::npos;
}

TEST_F(FinalQueryReformat, TheCarriageReturnOfTheQueryLineIsNotFormatted) {
  // A tail the formatter copies as it stands, with a line end of its own
  // after it; a tail copied with no line end after it; a query formatted
  // whole.
  const std::string queries[] = {
      "UPDATE \"HR\".\"EMPLOYEES\" \"EMPLOYEES\" RETSET \"SALARY\"=\"EMPLOYEES\".\"SALARY\"*1.05 WHERE "
      "\"EMPLOYEES\".\"DEPARTMENT_ID\"=ANY (SELECT \"DEPARTMENTS\".\"DEPARTMENT_ID\" \"DEPARTMENT_ID\" "
      "CONNFROM \"HR\".\"DEPAR2824), compile(in-use=140832)",
      "SELECT A FROM T WHERE B = 1) X",
      "SELECT A FROM T WHERE B IN (SELECT C FROM U WHERE D = 1)",
  };
  for (const std::string& q : queries) {
    const std::string f = formatted(q);
    ASSERT_NE(f, q) << q;
    const std::string trace = traceWith({q});
    Reformatted r = reformat(trace);
    EXPECT_EQ(loneCarriageReturn(r.text), std::string::npos) << q;
    EXPECT_NE(r.text.find(std::string(kMarker) + f + "\nkkoqbc"), std::string::npos) << q;

    // The viewer's pieces hold the same formatted text in place of the
    // same bytes: the query's line up to its line feed.
    SVString text;
    text.assign(trace.c_str());
    KeyPoints_c keyPoints;
    scanKeyPoints(keyPoints, text);
    const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.c_str(), text.length(), keyPoints);
    ASSERT_EQ(pieces.size(), 1u) << q;
    EXPECT_EQ(pieces[0].text, f) << q;
    EXPECT_EQ(trace.substr(static_cast<size_t>(pieces[0].start), static_cast<size_t>(pieces[0].length)), q + "\r");
  }
}

}  // namespace
