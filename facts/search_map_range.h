// The scale of a search map: the join orders of a final cost's stretch
// drawn by cost, one series per search. The viewer's chart and the
// report's picture draw the same points on the same range.
#pragma once

#include <cstdint>

#include "facts/trace_facts.h"

// The cost a join order is drawn at: a complete one at its best so far
// (or its last step when it prints none), an aborted one at its last
// step; NaN when that is not a cost above 0.
double drawnJoinOrderCost(const TraceFacts& facts, const JoinOrderFact& order);

struct SearchMapRange {
  int32_t searches = 0;  // in the stretch
  double low = 1;        // the lowest and highest drawn cost; 1 and 10 when none is drawn
  double high = 10;
};

// The range of the join orders in `stretch`.
SearchMapRange searchMapRange(const TraceFacts& facts, FactRange stretch);
