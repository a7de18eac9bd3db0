#include "report/search_map_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "facts/search_map_range.h"

namespace {

constexpr double kWidth = 720;
constexpr double kHeight = 280;
constexpr double kLeft = 64;
constexpr double kRight = kWidth - 16;
constexpr double kTop = 16;
constexpr double kBottom = kHeight - 44;
constexpr const char* kBestColour = "#e6a000";
// Earlier searches in cool colours, the last one in a strong blue.
constexpr const char* kSearchColours[] = {"#7f9fbf", "#4caf7d", "#a77fbf", "#bf7f7f", "#7fbfbf", "#9f9f5f"};
constexpr const char* kLastSearchColour = "#1f5fbf";

// The tooltip of a join order's point.
std::string pointTitle(const TraceFacts& f, const JoinOrderFact& order, double cost) {
  std::string title = "Join order[" + std::string(f.view(order.number)) + "], line " + std::to_string(order.line) + ":";
  for (const TextSpan& table : slice(f.tables, order.tables)) {
    title += " ";
    title += f.view(table);
  }
  title += order.abortedLines ? "; aborted, last step cost " : "; best so far ";
  title += axisLabel(cost);
  return title;
}

}  // namespace

double LogScale::at(double value) const {
  const double share = (std::log10(value) - std::log10(low)) / (std::log10(high) - std::log10(low));
  return from + share * (to - from);
}

std::vector<double> LogScale::ticks() const {
  const int first = static_cast<int>(std::floor(std::log10(low)));
  const int last = static_cast<int>(std::ceil(std::log10(high)));
  std::vector<double> marks;
  // Powers of ten; then 1, 2 and 5 times them; then every digit times them.
  for (const std::vector<double>& multiples :
       {std::vector<double>{1}, std::vector<double>{1, 2, 5}, std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
    marks.clear();
    for (int e = first; e <= last; ++e) {
      for (double m : multiples) {
        const double v = m * std::pow(10.0, e);
        if (v >= low && v <= high) marks.push_back(v);
      }
    }
    if (marks.size() >= 2) break;
  }
  return marks;
}

int32_t countTickStep(int32_t count) {
  for (int32_t base = 1; base < 1000000000; base *= 10) {
    for (int32_t m : {1, 2, 5}) {
      if (count / (m * base) <= 12) return m * base;
    }
  }
  return 1000000000;
}

std::string svgNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string axisLabel(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

void writeSearchMapSvg(HtmlWriter& html, const TraceFacts& f, const QueryBlockFact& block) {
  const int32_t first = block.stretchJoinOrders.first;
  const int32_t count = block.stretchJoinOrders.count;
  if (count <= 0) return;
  const SearchMapRange range = searchMapRange(f, block.stretchJoinOrders);
  const int32_t searches = range.searches;
  const LogScale ys{range.low / 1.6, range.high * 1.6, kBottom, kTop};
  auto xAt = [&](double k) { return kLeft + k / (count + 1) * (kRight - kLeft); };
  const std::string size = svgNumber(kWidth) + " " + svgNumber(kHeight);
  html.open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                    {"viewBox", "0 0 " + size},
                    {"width", svgNumber(kWidth)},
                    {"height", svgNumber(kHeight)},
                    {"class", "map"},
                    {"role", "img"}});
  html.element("title", "Join-order search: " + std::to_string(count) + " join orders in " +
                            std::to_string(searches) + (searches == 1 ? " search" : " searches"));
  // Axes, their grid and labels.
  html.open("g", {{"class", "axes"}});
  for (double v : ys.ticks()) {
    const std::string y = svgNumber(ys.at(v));
    html.open("line", {{"x1", svgNumber(kLeft)}, {"y1", y}, {"x2", svgNumber(kRight)}, {"y2", y}, {"class", "grid"}});
    html.close();
    html.element("text", axisLabel(v),
                 {{"x", svgNumber(kLeft - 6)}, {"y", svgNumber(ys.at(v) + 4)}, {"text-anchor", "end"}});
  }
  const int32_t step = countTickStep(count);
  for (int32_t k = 0; k <= count + 1; k += step) {
    const std::string x = svgNumber(xAt(k));
    html.open("line", {{"x1", x}, {"y1", svgNumber(kBottom)}, {"x2", x}, {"y2", svgNumber(kBottom + 5)}});
    html.close();
    html.element("text", std::to_string(k), {{"x", x}, {"y", svgNumber(kBottom + 18)}, {"text-anchor", "middle"}});
  }
  html.open("polyline", {{"points", svgNumber(kLeft) + "," + svgNumber(kTop) + " " + svgNumber(kLeft) + "," +
                                        svgNumber(kBottom) + " " + svgNumber(kRight) + "," + svgNumber(kBottom)},
                         {"class", "axis"}});
  html.close();
  html.element("text", "Join orders, in trace order",
               {{"x", svgNumber((kLeft + kRight) / 2)}, {"y", svgNumber(kBottom + 36)}, {"text-anchor", "middle"}});
  html.element("text", "Cost (log scale)",
               {{"x", "14"}, {"y", svgNumber((kTop + kBottom) / 2)}, {"text-anchor", "middle"},
                {"transform", "rotate(-90 14 " + svgNumber((kTop + kBottom) / 2) + ")"}});
  html.close();
  // The points, search by search.
  int32_t search = -1;
  int32_t uncosted = 0;
  std::string stepLine;
  double best = NAN;
  const char* colour = kLastSearchColour;
  auto endSearch = [&] {
    if (!stepLine.empty()) {
      html.open("polyline", {{"points", stepLine}, {"class", "best"}, {"stroke", colour}});
      html.close();
    }
    if (search >= 0) html.close();
    stepLine.clear();
    best = NAN;
  };
  for (int32_t j = first; j < first + count; ++j) {
    const JoinOrderFact& order = f.joinOrders[j];
    if (j == first || opensJoinOrderSearch(f, order)) {
      endSearch();
      ++search;
      const bool last = search == searches - 1;
      colour = last ? kLastSearchColour : kSearchColours[search % 6];
      html.open("g", {{"class", last ? "search last" : "search"}});
    }
    const double y = drawnJoinOrderCost(f, order);
    if (std::isnan(y)) {
      ++uncosted;
      continue;
    }
    const std::string cx = svgNumber(xAt(j - first + 1));
    const std::string cy = svgNumber(ys.at(y));
    const bool last = search == searches - 1;
    if (j == block.bestJoinOrderFact) {
      html.open("circle", {{"cx", cx}, {"cy", cy}, {"r", "9"}, {"fill", "none"}, {"stroke", kBestColour},
                           {"stroke-width", "3"}});
      html.close();
    }
    html.open("circle", {{"cx", cx}, {"cy", cy}, {"r", last ? "4.5" : "3.2"},
                         {"fill", order.abortedLines ? "#ffffff" : colour}, {"stroke", colour}});
    html.element("title", pointTitle(f, order, y));
    html.close();
    if (!order.abortedLines && order.bestSoFarLine > 0 && (std::isnan(best) || y <= best)) {
      if (!std::isnan(best)) stepLine += cx + "," + svgNumber(ys.at(best)) + " ";
      stepLine += cx + "," + cy + " ";
      best = y;
    }
  }
  endSearch();
  html.close();
  // The legend under the chart.
  std::string legend = "Filled: complete, at its best so far; hollow: aborted, at its last step; line: the best so far "
                       "per search; ringed: the best join order";
  if (searches > 1) legend += "; the last search (larger, dark blue) gave the final cost";
  if (uncosted > 0) legend += "; " + std::to_string(uncosted) + " without a cost not drawn";
  html.element("p", legend + ".", {{"class", "legend"}});
}
