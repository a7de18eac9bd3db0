// The join-order search of a final cost's stretch as an inline SVG chart,
// the report's copy of the viewer's search map: the join orders in trace
// order along x, their cost on a log scale; complete ones filled at their
// best-so-far cost, aborted ones hollow at their last step's cost, a step
// line of the best so far per search, the best join order ringed. Each
// search (a transformation state the optimizer costed) has a colour of its
// own; the last, which gave the final cost, is drawn larger. Every point
// carries its join order, line, tables and cost as a tooltip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "facts/trace_facts.h"
#include "report/html_writer.h"

// A value axis on a log scale over [low, high] (both above 0), mapped to
// pixels [from, to].
struct LogScale {
  double low;
  double high;
  double from;
  double to;
  double at(double value) const;
  // The values to mark on the axis: every power of ten in range, or when
  // there are fewer than two of them 1, 2 and 5 times each power, or
  // failing that every digit times each power.
  std::vector<double> ticks() const;
};

// A round step between ticks of a count axis, for at most twelve of them.
int32_t countTickStep(int32_t count);

// "12.5" for a pixel coordinate; "%g" for an axis label.
std::string svgNumber(double value);
std::string axisLabel(double value);

// Writes the chart of `block`'s stretch as an <svg> element and its legend
// as a paragraph; nothing when the stretch has no join order.
void writeSearchMapSvg(HtmlWriter& html, const TraceFacts& facts, const QueryBlockFact& block);
