// The longest run of a sequence whose keys strictly increase, as patience
// diff anchors its matches: the statement pairs that keep their order on
// both sides, the lines that occur once on each side.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/packed_records.h"

// Items 0 .. count - 1, taken in order; `key(i)` is item i's key. Sets
// `chosen` to the indices of a longest run whose keys strictly increase,
// in increasing order (empty for no items). Keeps, for each run length,
// the item that ends the best run of that length, and each item's
// predecessor: O(count log count). Returns 0, or -1 when memory ran out.
template <class Key>
int longestIncreasingRun(int32_t count, Key key, PackedRecords<int32_t>& chosen) {
  PackedRecords<int32_t> tails;
  PackedRecords<int32_t> links;
  chosen.reset();
  if (tails.reserveRecords(count) != 0 || links.reserveRecords(count) != 0) return -1;
  for (int32_t i = 0; i < count; ++i) {
    const auto k = key(i);
    const int32_t* slot =
        std::lower_bound(tails.begin(), tails.end(), k, [&](int32_t tail, const auto& wanted) { return key(tail) < wanted; });
    const int32_t at = static_cast<int32_t>(slot - tails.begin());
    *links.append() = at > 0 ? tails[at - 1] : -1;
    if (at == tails.count()) {
      *tails.append() = i;
    } else {
      tails[at] = i;
    }
  }
  if (chosen.reserveRecords(tails.count()) != 0) return -1;
  for (int32_t i = 0; i < tails.count(); ++i) *chosen.append() = 0;
  for (int32_t i = tails.count() > 0 ? tails[tails.count() - 1] : -1, k = tails.count() - 1; i >= 0;
       i = links[i], --k) {
    chosen[k] = i;
  }
  return 0;
}
