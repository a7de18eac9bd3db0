#include "facts/search_map_range.h"

#include <algorithm>
#include <cmath>

#include "facts/trace_digest.h"

double drawnJoinOrderCost(const TraceFacts& facts, const JoinOrderFact& order) {
  const TextSpan span = order.abortedLines == 0 && order.cost.present() ? order.cost : order.lastStepCost;
  const double value = digestNumber(facts.view(span));
  return std::isnan(value) || value <= 0 ? NAN : value;
}

SearchMapRange searchMapRange(const TraceFacts& facts, FactRange stretch) {
  SearchMapRange range;
  double low = INFINITY;
  double high = 0;
  for (const JoinOrderFact& order : slice(facts.joinOrders, stretch)) {
    if (range.searches == 0 || opensJoinOrderSearch(facts, order)) ++range.searches;
    const double y = drawnJoinOrderCost(facts, order);
    if (std::isnan(y)) continue;
    low = std::min(low, y);
    high = std::max(high, y);
  }
  if (high > 0) {
    range.low = low;
    range.high = high;
  }
  return range;
}
