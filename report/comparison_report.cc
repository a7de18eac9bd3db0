// A comparison's report: the list of differences as the viewer shows it
// beside the two traces (the first divergence first), the try-script,
// then each trace's own sections.
#include <string>

#include "report/report_page.h"
#include "report/trace_report.h"

namespace {

// «12», «12–15», «before 12», or "–" when the side has no place for it.
std::string linesOf(int32_t line, int32_t count) {
  if (line <= 0) return "\u2013";
  if (count == 0) return "before " + std::to_string(line);
  if (count == 1) return std::to_string(line);
  return std::to_string(line) + "\u2013" + std::to_string(line + count - 1);
}

void differencesTable(HtmlWriter& html, const DifferenceList& list) {
  html.open("table", {{"class", "differences"}});
  html.open("tr");
  for (const char* title : {"What differs", "In A", "In B", "Lines of A", "Lines of B"}) html.element("th", title);
  html.close();
  for (const DifferenceRow& row : list.rows) {
    if (row.kind == kDifferenceHeading) {
      html.open("tr", {{"class", "group"}});
      html.open("th", {{"colspan", "5"}});
      html.text(list.cell(row.what));
      html.close();
      html.close();
      continue;
    }
    if (row.kind == kDifferenceFirstDivergence) {
      html.open("tr", {{"class", "first"}});
    } else {
      html.open("tr");
    }
    html.element("td", list.cell(row.what));
    html.element("td", list.cell(row.inA));
    html.element("td", list.cell(row.inB));
    html.element("td", linesOf(row.aLine, row.aCount), {{"class", "l"}});
    html.element("td", linesOf(row.bLine, row.bCount), {{"class", "l"}});
    html.close();
  }
  html.close();
}

}  // namespace

int writeComparisonReport(const ReportedTrace& a, const ReportedTrace& b, const TraceComparison& c,
                          const DifferenceList& differences, const SVString& tryScript, SVString& out) {
  out.clear();
  HtmlWriter html(out);
  const std::string title = "Comparison of " + std::string(a.name) + " and " + std::string(b.name);
  beginReportPage(html, title);
  writeHeading(html, 1, title);
  html.open("ul", {{"class", "meta"}});
  html.open("li");
  html.text("A: ");
  html.element("a", a.name, {{"href", "#a"}});
  html.text(", " + std::to_string(a.facts->statements.count()) + " traced statements");
  html.close();
  html.open("li");
  html.text("B: ");
  html.element("a", b.name, {{"href", "#b"}});
  html.text(", " + std::to_string(b.facts->statements.count()) + " traced statements");
  html.close();
  html.close();
  writeHeading(html, 2, "Differences");
  if (!c.differs()) {
    html.element("p", "The traces do not differ (noise left out).");
  } else {
    if (c.firstDivergence != kNoFact) {
      html.element("p", "The first divergence, the first estimate or decision that went another way in the order "
                        "the optimizer worked, heads the list (highlighted).");
    }
    differencesTable(html, differences);
  }
  writeHeading(html, 2, "Try-script");
  if (tryScript.length() > 0) {
    html.element("p", "One SQL*Plus line per parameter and fix control whose value differs, setting B's value in a "
                      "session that runs as A (its hint form in a comment):");
    html.element("pre", std::string_view(tryScript.c_str(), static_cast<size_t>(tryScript.length())),
                 {{"class", "sql"}});
  } else {
    html.element("p", "No parameter or fix control differs.");
  }
  writeHeading(html, 2, "A: " + std::string(a.name), "a");
  writeTraceSections(html, a, 3, "a-");
  writeHeading(html, 2, "B: " + std::string(b.name), "b");
  writeTraceSections(html, b, 3, "b-");
  endReportPage(html);
  return html.failed() ? -1 : 0;
}
