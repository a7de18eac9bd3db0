// The HTML report: texts escaped whatever the trace holds, pages that an
// HTML5 parser accepts, every query block with its line, the search chart's
// scales, and the comparison's differences and try-script.
#include "report/trace_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "app/trace_file.h"
#include "compare/file_comparison.h"
#include "report/html_writer.h"
#include "report/report_files.h"
#include "report/search_map_svg.h"
#include "tests/facts_trace_builder.h"
#include "tests/html_check.h"
#include "tests/test_files.h"

namespace {

std::string escaped(const std::string& bytes) {
  SVString out;
  EXPECT_EQ(appendHtmlText(out, bytes), 0);
  return std::string(out.c_str(), static_cast<size_t>(out.length()));
}

TEST(HtmlWriter, EscapesMarkupAndKeepsTheTextValid) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain SEL$1 #0", "plain SEL$1 #0"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"><img src=x onerror='alert(1)'>", "&quot;&gt;&lt;img src=x onerror=&#39;alert(1)&#39;&gt;"},
      {"a & b", "a &amp; b"},
      // TAB and line feed stay; other controls and DEL become blanks.
      {"a\tb\nc\rd\x1b[2J\x7f", "a\tb\nc d [2J "},
      // Well-formed UTF-8 stays; a lone byte is its Windows-1252
      // character, '?' for the undefined ones; C1 and noncharacters written
      // as UTF-8 are replaced.
      {"caf\xc3\xa9 \xe2\x86\x92", "caf\xc3\xa9 \xe2\x86\x92"},
      {"caf\xe9 \x9b \x8d", "caf\xc3\xa9 \xe2\x80\xba ?"},
      {"\xc2\x9b\xef\xbf\xbe\xef\xb7\x90\xf4\x8f\xbf\xbf", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"},  // a surrogate is not UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(escaped(c.in), c.out) << c.in;
}

TEST(HtmlWriter, ClosesWhatItOpensAndEscapesAttributes) {
  SVString out;
  HtmlWriter html(out);
  html.markup("<!DOCTYPE html>\n");
  html.open("p", {{"title", "\"><script>x</script>"}});
  html.voidElement("meta", {{"charset", "utf-8"}});
  html.element("b", "<i>");
  EXPECT_EQ(html.depth(), 1);
  html.close();
  html.close();  // nothing left to close
  EXPECT_FALSE(html.failed());
  const std::string page(out.c_str(), static_cast<size_t>(out.length()));
  EXPECT_EQ(page, "<!DOCTYPE html>\n<p title=\"&quot;&gt;&lt;script&gt;x&lt;/script&gt;\"><meta charset=\"utf-8\">"
                  "<b>&lt;i&gt;</b></p>");
  EXPECT_EQ(unbalancedTags(page), "");
}

TEST(SearchMapSvg, ScalesAndTicks) {
  const LogScale scale{10, 1000, 200, 0};
  EXPECT_DOUBLE_EQ(scale.at(10), 200);
  EXPECT_DOUBLE_EQ(scale.at(100), 100);
  EXPECT_DOUBLE_EQ(scale.at(1000), 0);
  EXPECT_EQ(scale.ticks(), (std::vector<double>{10, 100, 1000}));
  // Less than two powers of ten in range: 1, 2 and 5 times them.
  EXPECT_EQ((LogScale{30, 250, 0, 1}.ticks()), (std::vector<double>{50, 100, 200}));
  EXPECT_EQ((LogScale{2205, 5645, 0, 1}.ticks()), (std::vector<double>{3000, 4000, 5000}));
  const struct {
    int32_t count;
    int32_t step;
  } steps[] = {{0, 1}, {12, 1}, {13, 2}, {25, 2}, {26, 5}, {64, 5}, {65, 10}, {1200, 100}, {1300, 200}};
  for (const auto& s : steps) EXPECT_EQ(countTickStep(s.count), s.step) << s.count;
  EXPECT_EQ(axisLabel(1234567.5), "1.23457e+06");
  EXPECT_EQ(svgNumber(12.345), "12.3");
}

// A trace loaded and read for its facts, as the report reads it.
struct Loaded {
  SVString text;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  explicit Loaded(const std::string& bytes) {
    text.append(bytes.data(), static_cast<int64_t>(bytes.size()));
    text.append("\r\n", 2);
    EXPECT_EQ(scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), text.length()), 0);
    EXPECT_EQ(readAllStatementLists(facts), 0);
  }
  ReportedTrace reported(const char* name) const { return {name, text.c_str(), text.length(), &facts}; }
};

std::string page(const SVString& out) { return std::string(out.c_str(), static_cast<size_t>(out.length())); }

// Replaces every `from` in `text` with `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// A trace whose identifiers and SQL carry markup and script: none of it
// reaches the page as markup, all of it as text.
TEST(TraceReport, NothingFromTheTraceRuns) {
  StatementSpec statement;
  statement.sql = "select '<script>alert(1)</script>' from employees e where e.x = '\"><img src=x onerror=alert(2)>'";
  std::string trace = traceHeader() + statementTrace(statement);
  trace = replaced(trace, "EMPLOYEES", "EMP<script>alert(3)</script>");
  trace = replaced(trace, "SEL$1", "SEL$\"><img/src=x/onerror=alert(4)>");
  trace = "*** TRACE CONTINUED FROM FILE /u01/<script>p1</script>.trc ***\n" + trace;
  const Loaded loaded(trace);
  ASSERT_GT(loaded.facts.queryBlocks.count(), 0);
  SVString out;
  ASSERT_EQ(writeTraceReport(loaded.reported("<b>evil</b>.trc"), out), 0);
  const std::string html = page(out);
  EXPECT_EQ(unbalancedTags(html), "");
  const std::string folded = lower(html);
  EXPECT_EQ(folded.find("<script"), std::string::npos);
  EXPECT_EQ(folded.find("<img"), std::string::npos);
  EXPECT_EQ(folded.find("<b>"), std::string::npos);
  for (const char* text : {"&lt;script&gt;alert(1)&lt;/script&gt;", "&quot;&gt;&lt;img src=x onerror=alert(2)&gt;",
                           "EMP&lt;script&gt;alert(3)&lt;/script&gt;", "SEL$&quot;&gt;&lt;img/src=x/onerror=alert(4)&gt;",
                           "/u01/&lt;script&gt;p1&lt;/script&gt;.trc", "&lt;b&gt;evil&lt;/b&gt;.trc"}) {
    EXPECT_NE(html.find(text), std::string::npos) << text;
  }
  TempDir dir;
  writeFile(dir.file("evil.html"), html);
  const int verdict = html5libVerdict(dir.file("evil.html"));
  if (verdict < 0) GTEST_SKIP() << "python3-html5lib is not installed";
  EXPECT_EQ(verdict, 0);
}

// Every query block of the samples with its line, its search as a chart
// where it has one of two join orders or more, in a page an HTML5 parser
// accepts.
TEST(TraceReport, EveryQueryBlockWithItsLine) {
  TempDir dir;
  for (const char* name : {"hr_join_search.trc", "sh_four_statements.trc", "cp1252_no_final_newline.trc",
                           "edge_zero_bytes_lone_cr.trc"}) {
    const Loaded loaded(readFile(std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name));
    SVString out;
    ASSERT_EQ(writeTraceReport(loaded.reported(name), out), 0) << name;
    const std::string html = page(out);
    EXPECT_EQ(unbalancedTags(html), "") << name;
    const TraceFacts& f = loaded.facts;
    int32_t charted = 0;
    for (const QueryBlockFact& b : f.queryBlocks) {
      EXPECT_NE(html.find("<td class=\"l\">" + std::to_string(b.line) + "</td><td>" + std::string(f.view(b.name))),
                std::string::npos)
          << name << " line " << b.line;
      charted += b.stretchJoinOrders.count > 1 ? 1 : 0;
    }
    size_t charts = 0;
    for (size_t at = html.find("<svg "); at != std::string::npos; at = html.find("<svg ", at + 1)) ++charts;
    EXPECT_EQ(charts, static_cast<size_t>(charted)) << name;
    writeFile(dir.file("page.html"), html);
    const int verdict = html5libVerdict(dir.file("page.html"));
    if (verdict >= 0) {
      EXPECT_EQ(verdict, 0) << name;
    }
  }
}

TEST(ComparisonReport, DifferencesFirstDivergenceAndTryScript) {
  const std::string dir = ZAZOZAV_SAMPLES_DIR;
  TempDir temp;
  StatementSpec before;
  StatementSpec after = before;
  after.altered = {"_pga_max_size                       = 819200 KB"};
  after.cost = "12.000000";
  writeFile(temp.file("before.trc"), traceHeader() + statementTrace(before));
  writeFile(temp.file("after.trc"), traceHeader() + statementTrace(after));
  SVString out;
  int32_t failed = -1;
  ASSERT_EQ(reportComparedFiles(temp.file("before.trc").c_str(), temp.file("after.trc").c_str(), out, failed), 0);
  const std::string html = page(out);
  EXPECT_EQ(unbalancedTags(html), "");
  EXPECT_NE(html.find("<h1>Comparison of before.trc and after.trc</h1>"), std::string::npos);
  EXPECT_NE(html.find("alter session set &quot;_pga_max_size&quot; = 819200"), std::string::npos) << html;
  EXPECT_NE(html.find("<h2 id=\"a\">A: before.trc</h2>"), std::string::npos);
  EXPECT_NE(html.find("id=\"b-s1\""), std::string::npos);
  writeFile(temp.file("compare.html"), html);
  const int verdict = html5libVerdict(temp.file("compare.html"));
  if (verdict >= 0) {
    EXPECT_EQ(verdict, 0);
  }

  // The first divergence is the first difference listed.
  ASSERT_EQ(reportComparedFiles((dir + "/hr_two_statements.trc").c_str(), (dir + "/hr_join_search.trc").c_str(), out,
                                failed),
            0);
  const std::string samples = page(out);
  EXPECT_EQ(unbalancedTags(samples), "");
  const size_t first = samples.find("<tr class=\"first\">");
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(first, samples.find("<tr><td>"));
  EXPECT_EQ(samples.rfind("<tr class=\"group\"><th colspan=\"5\">First divergence: ", first), samples.find("<tr class=\"group\">"));

  EXPECT_EQ(reportComparedFiles(temp.file("before.trc").c_str(), temp.file("missing.trc").c_str(), out, failed),
            LoadCannotOpen);
  EXPECT_EQ(failed, kComparedB);
  EXPECT_EQ(reportTraceFile(temp.path().c_str(), out), LoadCannotOpen);
  EXPECT_STREQ(reportedFileName("/u01/t/orcl_ora_1.trc"), "orcl_ora_1.trc");
  EXPECT_STREQ(reportedFileName("orcl_ora_1.trc"), "orcl_ora_1.trc");
}

}  // namespace
