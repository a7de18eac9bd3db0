// A query block's part of the report: how the optimizer searched its join
// orders, what it estimated for each table alias, and the statistics it
// started from.
#include <string>
#include <vector>

#include "report/report_page.h"
#include "report/search_map_svg.h"

namespace {

// The searches of a stretch (each numbers its join orders from 1 again):
// «2 searches: 12 join orders (3 aborted) from line 40, 8 (0 aborted) from line 300».
std::string searchesText(const TraceFacts& f, FactRange stretch) {
  std::string counts;
  const std::vector<JoinOrderSearch> searches = joinOrderSearches(f, stretch);
  for (const JoinOrderSearch& s : searches) {
    counts += (counts.empty() ? "" : "; ") + std::to_string(s.count) + (s.count == 1 ? " join order" : " join orders") +
              " (" + std::to_string(s.aborted) + " aborted) from line " + std::to_string(f.joinOrders[s.first].line);
  }
  return std::to_string(searches.size()) + (searches.size() == 1 ? " search: " : " searches: ") + counts;
}

void accessPathRow(HtmlWriter& html, const TraceFacts& f, const AccessPathFact& p) {
  html.open("tr");
  lineCell(html, p.line);
  spanCell(html, f, p.alias);
  html.open("td", {{"class", "n"}});
  if (p.cardLine) {
    spanText(html, f, p.cardOriginal);
    html.text(" \u2192 ");
    spanText(html, f, p.cardRounded);
  } else {
    html.text("\u2013");
  }
  html.close();
  lineCell(html, p.cardLine);
  spanCell(html, f, p.bestPath);
  spanCell(html, f, p.bestIndex);
  spanCell(html, f, p.bestCost, true);
  lineCell(html, p.bestLine);
  html.open("td", {{"class", "w paths"}});
  // One path a line.
  for (const AccessCandidateFact& candidate : slice(f.accessCandidates, p.candidates)) {
    html.open("div");
    spanText(html, f, candidate.path);
    if (candidate.index.present()) {
      html.text(" ");
      spanText(html, f, candidate.index);
    }
    html.text(" ");
    spanText(html, f, candidate.cost);
    if (candidate.bitmap) html.text(" (bitmap)");
    html.element("span", " (" + lineText(candidate.line) + ")", {{"class", "l"}});
    html.close();
  }
  html.close();
  html.open("td", {{"class", "flag"}});
  for (int32_t g = p.flags.first; g < p.flags.end(); ++g) {
    if (g > p.flags.first) html.text("; ");
    html.text(accessFlagName(f.accessFlags[g].kind));
    html.element("span", " (" + lineText(f.accessFlags[g].line) + ")", {{"class", "l"}});
  }
  html.close();
  html.close();
}

void accessPathsTable(HtmlWriter& html, const TraceFacts& f, const QueryBlockFact& b) {
  html.open("table", {{"class", "paths"}});
  html.open("tr");
  for (const char* title : {"Line", "Alias", "Card original \u2192 rounded", "Line", "Best access path", "Index",
                            "Cost", "Line", "Paths costed", "Signs of a guess"}) {
    html.element("th", title);
  }
  html.close();
  for (const AccessPathFact& path : slice(f.accessPaths, b.accessPaths)) {
    accessPathRow(html, f, path);
  }
  html.close();
}

void tableStatsTable(HtmlWriter& html, const TraceFacts& f, const QueryBlockFact& b) {
  html.open("table", {{"class", "stats"}});
  html.open("tr");
  for (const char* title : {"Line", "Table or index", "Alias", "#Rows / LVLS", "#Blks / #LB", "AvgRowLen / #DK",
                            "CLUF"}) {
    html.element("th", title);
  }
  html.close();
  for (const TableStatFact& t : slice(f.tableStats, b.tableStats)) {
    html.open("tr");
    lineCell(html, t.line);
    spanCell(html, f, t.table);
    spanCell(html, f, t.alias);
    spanCell(html, f, t.rows, true);
    spanCell(html, f, t.blocks, true);
    spanCell(html, f, t.avgRowLen, true);
    html.element("td", "");
    html.close();
    for (const IndexStatFact& x : slice(f.indexStats, t.indexes)) {
      html.open("tr");
      lineCell(html, x.line);
      html.open("td");
      html.text("\u2003index ");
      spanText(html, f, x.name);
      html.close();
      html.element("td", "");
      spanCell(html, f, x.levels, true);
      spanCell(html, f, x.leafBlocks, true);
      spanCell(html, f, x.distinctKeys, true);
      spanCell(html, f, x.clusteringFactor, true);
      html.close();
    }
  }
  html.close();
}

}  // namespace

void writeQueryBlockDetails(HtmlWriter& html, const TraceFacts& f, const QueryBlockFact& b, int level) {
  if (b.stretchJoinOrders.count == 0 && b.accessPaths.count == 0 && b.tableStats.count == 0) return;
  std::string title = "Query block " + std::string(f.view(b.name));
  if (b.number.present()) title += " (#" + std::string(f.view(b.number)) + ")";
  writeHeading(html, level, title + ", " + lineText(b.line));
  if (b.stretchJoinOrders.count > 0) {
    html.element("p", "Join orders, " + searchesText(f, b.stretchJoinOrders) + ".");
    // One join order is no search to map.
    if (b.stretchJoinOrders.count > 1) writeSearchMapSvg(html, f, b);
  }
  if (b.accessPaths.count > 0) {
    html.element("p", "Access paths, one per table alias estimated:");
    accessPathsTable(html, f, b);
  }
  if (b.tableStats.count > 0) {
    html.element("p", "Statistics the optimizer saw (BASE STATISTICAL INFORMATION):");
    tableStatsTable(html, f, b);
  }
}
