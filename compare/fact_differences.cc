// What differs between paired statements: parameters, fix controls, plan
// hash value and the final costs of the query blocks.
#include <algorithm>
#include <string_view>

#include "compare/comparison_internal.h"

bool spansDiffer(const TraceFacts& fa, TextSpan a, const TraceFacts& fb, TextSpan b) {
  return a.present() != b.present() || fa.view(a) != fb.view(b);
}

bool tablesDiffer(const TraceFacts& fa, int32_t a, const TraceFacts& fb, int32_t b) {
  if ((a == kNoFact) != (b == kNoFact)) return true;
  if (a == kNoFact) return false;
  const FactRange ta = fa.joinOrders[a].tables;
  const FactRange tb = fb.joinOrders[b].tables;
  if (ta.count != tb.count) return true;
  for (int32_t t = 0; t < ta.count; ++t) {
    if (fa.view(fa.tables[ta.first + t]) != fb.view(fb.tables[tb.first + t])) return true;
  }
  return false;
}

OneSidedCounts countOneSided(const PackedRecords<ListDifference>& list, FactRange range, bool wantCommon) {
  OneSidedCounts counts;
  for (const ListDifference& d : slice(list, range)) {
    if (d.common == wantCommon && (d.a == kNoFact || d.b == kNoFact)) ++counts.onlyIn[d.a == kNoFact ? 1 : 0];
  }
  return counts;
}

bool blocksByName(const TraceFacts& f, const StatementFacts& s, PackedRecords<int32_t>& out) {
  for (int32_t q = s.queryBlocks.first; q < s.queryBlocks.end(); ++q) {
    int32_t* slot = out.append();
    if (!slot) return false;
    *slot = q;
  }
  std::sort(out.begin(), out.end(), [&](int32_t x, int32_t y) {
    const int order = f.view(f.queryBlocks[x].name).compare(f.view(f.queryBlocks[y].name));
    return order != 0 ? order < 0 : x < y;
  });
  return true;
}

namespace {

bool appendDifference(PackedRecords<ListDifference>& list, int32_t pair, int32_t a, int32_t b) {
  ListDifference* d = list.append();
  if (!d) return false;
  *d = ListDifference{pair, a, b, false};
  return true;
}

// Merges two lists of entries (parameters or fix controls), each one per
// key in the order of the keys: one difference per key whose value differs
// or that one side lacks.
template <class Entry>
bool mergeLists(int32_t pair, const TraceFacts& fa, const PackedRecords<Entry>& listA, const PackedRecords<int32_t>& a,
                const TraceFacts& fb, const PackedRecords<Entry>& listB, const PackedRecords<int32_t>& b,
                TextSpan Entry::*key, PackedRecords<ListDifference>& out) {
  auto keyA = [&](int32_t i) { return fa.view(listA[i].*key); };
  auto keyB = [&](int32_t i) { return fb.view(listB[i].*key); };
  const int32_t first = out.count();
  int32_t i = 0;
  int32_t j = 0;
  while (i < a.count() || j < b.count()) {
    const int order = i >= a.count() ? 1 : j >= b.count() ? -1 : keyA(a[i]).compare(keyB(b[j]));
    bool ok = true;
    if (order < 0) {
      ok = appendDifference(out, pair, a[i++], kNoFact);
    } else if (order > 0) {
      ok = appendDifference(out, pair, kNoFact, b[j++]);
    } else {
      if (spansDiffer(fa, listA[a[i]].value, fb, listB[b[j]].value)) ok = appendDifference(out, pair, a[i], b[j]);
      ++i;
      ++j;
    }
    if (!ok) return false;
  }
  // Back in the order of the trace: A's, then B's own.
  std::sort(out.begin() + first, out.end(), [](const ListDifference& x, const ListDifference& y) {
    const int64_t kx = x.a != kNoFact ? x.a : (int64_t{1} << 40) + x.b;
    const int64_t ky = y.a != kNoFact ? y.a : (int64_t{1} << 40) + y.b;
    return kx < ky;
  });
  return true;
}

bool blockFiguresDiffer(const TraceFacts& fa, const QueryBlockFact& a, const TraceFacts& fb, const QueryBlockFact& b) {
  return spansDiffer(fa, a.plan, fb, b.plan) || spansDiffer(fa, a.cost, fb, b.cost) || spansDiffer(fa, a.card, fb, b.card) ||
         spansDiffer(fa, a.bytes, fb, b.bytes) || tablesDiffer(fa, a.bestJoinOrderFact, fb, b.bestJoinOrderFact);
}

bool queryBlockDifferences(int32_t pair, const TraceFacts& fa, const StatementFacts& sa, const TraceFacts& fb,
                           const StatementFacts& sb, PackedRecords<QueryBlockDifference>& out) {
  PackedRecords<int32_t> a;
  PackedRecords<int32_t> b;
  if (!blocksByName(fa, sa, a) || !blocksByName(fb, sb, b)) return false;
  const int32_t first = out.count();
  int32_t i = 0;
  int32_t j = 0;
  auto add = [&](int32_t x, int32_t y) {
    QueryBlockDifference* d = out.append();
    if (!d) return false;
    *d = QueryBlockDifference{pair, x, y};
    return true;
  };
  while (i < a.count() || j < b.count()) {
    const int order = i >= a.count()   ? 1
                      : j >= b.count() ? -1
                                       : fa.view(fa.queryBlocks[a[i]].name).compare(fb.view(fb.queryBlocks[b[j]].name));
    bool ok = true;
    if (order < 0) {
      ok = add(a[i++], kNoFact);
    } else if (order > 0) {
      ok = add(kNoFact, b[j++]);
    } else {
      if (blockFiguresDiffer(fa, fa.queryBlocks[a[i]], fb, fb.queryBlocks[b[j]])) ok = add(a[i], b[j]);
      ++i;
      ++j;
    }
    if (!ok) return false;
  }
  // In A's order, B's own after them.
  std::sort(out.begin() + first, out.end(), [](const QueryBlockDifference& x, const QueryBlockDifference& y) {
    const int64_t kx = x.a != kNoFact ? x.a : (int64_t{1} << 40) + x.b;
    const int64_t ky = y.a != kNoFact ? y.a : (int64_t{1} << 40) + y.b;
    return kx < ky;
  });
  return true;
}

uint64_t mixed(uint64_t h, std::string_view text, uint64_t tag) {
  h = (h ^ tag) * 0x100000001b3ull;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return h;
}

// Marks the differences that stand, alike, in every pair of statements:
// those whose name and two values come back in as many pairs as there are
// (a pair holds a name once). Sorted by a hash of the three, checked whole.
template <class Entry>
bool markCommon(PackedRecords<ListDifference>& list, int32_t fullPairs, const TraceFacts& fa,
                const PackedRecords<Entry>& entriesA, const TraceFacts& fb, const PackedRecords<Entry>& entriesB,
                TextSpan Entry::*key) {
  if (fullPairs < 2) return true;
  struct Keyed {
    uint64_t hash;
    int32_t index;
  };
  auto nameOf = [&](const ListDifference& d) {
    return d.a != kNoFact ? fa.view(entriesA[d.a].*key) : fb.view(entriesB[d.b].*key);
  };
  auto valueA = [&](const ListDifference& d) { return d.a != kNoFact ? fa.view(entriesA[d.a].value) : std::string_view(); };
  auto valueB = [&](const ListDifference& d) { return d.b != kNoFact ? fb.view(entriesB[d.b].value) : std::string_view(); };
  auto alike = [&](const ListDifference& x, const ListDifference& y) {
    return (x.a == kNoFact) == (y.a == kNoFact) && (x.b == kNoFact) == (y.b == kNoFact) && nameOf(x) == nameOf(y) &&
           valueA(x) == valueA(y) && valueB(x) == valueB(y);
  };
  PackedRecords<Keyed> keyed;
  if (keyed.reserveRecords(list.count()) != 0) return false;
  for (int32_t i = 0; i < list.count(); ++i) {
    const ListDifference& d = list[i];
    uint64_t h = mixed(0xcbf29ce484222325ull, nameOf(d), 1);
    h = mixed(h, valueA(d), d.a != kNoFact ? 2 : 3);
    h = mixed(h, valueB(d), d.b != kNoFact ? 4 : 5);
    *keyed.append() = Keyed{h, i};
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& x, const Keyed& y) {
    return x.hash != y.hash ? x.hash < y.hash : x.index < y.index;
  });
  for (int32_t i = 0; i < keyed.count();) {
    int32_t end = i + 1;
    while (end < keyed.count() && keyed[end].hash == keyed[i].hash) ++end;
    bool same = end - i == fullPairs;
    for (int32_t k = i + 1; k < end && same; ++k) same = alike(list[keyed[i].index], list[keyed[k].index]);
    if (same) {
      for (int32_t k = i; k < end; ++k) list[keyed[k].index].common = true;
    }
    i = end;
  }
  return true;
}

}  // namespace

int compareFacts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out) {
  const TraceFacts& fa = *a.facts;
  const TraceFacts& fb = *b.facts;
  int32_t fullPairs = 0;
  for (int32_t p = 0; p < out.pairs.count(); ++p) {
    const StatementPair& pair = out.pairs[p];
    PairDifferences* d = out.differences.append();
    if (!d) return -1;
    *d = PairDifferences{};
    if (pair.a == kNoFact || pair.b == kNoFact) continue;
    ++fullPairs;
    const StatementFacts& sa = fa.statements[pair.a];
    const StatementFacts& sb = fb.statements[pair.b];
    d->sqlIdDiffers = spansDiffer(fa, sa.sqlId, fb, sb.sqlId);
    d->planHashDiffers = spansDiffer(fa, sa.planHashValue, fb, sb.planHashValue);

    PackedRecords<int32_t> listA;
    PackedRecords<int32_t> listB;
    d->parameters.first = out.parameters.count();
    if (effectiveParameters(fa, sa, listA, true) != 0 || effectiveParameters(fb, sb, listB, true) != 0 ||
        !mergeLists(p, fa, fa.parameters, listA, fb, fb.parameters, listB, &ParameterFact::name, out.parameters)) {
      return -1;
    }
    d->parameters.count = out.parameters.count() - d->parameters.first;
    d->fixControls.first = out.fixControls.count();
    if (effectiveFixControls(fa, sa, listA, true) != 0 || effectiveFixControls(fb, sb, listB, true) != 0 ||
        !mergeLists(p, fa, fa.fixControls, listA, fb, fb.fixControls, listB, &FixControlFact::number,
                    out.fixControls)) {
      return -1;
    }
    d->fixControls.count = out.fixControls.count() - d->fixControls.first;
    d->queryBlocks.first = out.queryBlocks.count();
    if (!queryBlockDifferences(p, fa, sa, fb, sb, out.queryBlocks)) return -1;
    d->queryBlocks.count = out.queryBlocks.count() - d->queryBlocks.first;
  }
  if (!markCommon(out.parameters, fullPairs, fa, fa.parameters, fb, fb.parameters, &ParameterFact::name) ||
      !markCommon(out.fixControls, fullPairs, fa, fa.fixControls, fb, fb.fixControls, &FixControlFact::number)) {
    return -1;
  }
  return 0;
}
