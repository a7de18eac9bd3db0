// Pairing the statements of two traces.
#include <algorithm>

#include "compare/trace_comparison.h"

namespace {

// Indexes 0..n-1 (value `fill`) in a list, or -1 when memory ran out.
int filled(PackedRecords<int32_t>& list, int32_t n, int32_t fill) {
  if (list.reserveRecords(n) != 0) return -1;
  for (int32_t i = 0; i < n; ++i) *list.append() = fill;
  return 0;
}

// The statements that have an sql_id, by sql_id and then in order.
int bySqlId(const TraceFacts& f, PackedRecords<int32_t>& out) {
  for (int32_t i = 0; i < f.statements.count(); ++i) {
    if (!f.statements[i].sqlId.present()) continue;
    int32_t* slot = out.append();
    if (!slot) return -1;
    *slot = i;
  }
  std::sort(out.begin(), out.end(), [&](int32_t x, int32_t y) {
    const int order = f.view(f.statements[x].sqlId).compare(f.view(f.statements[y].sqlId));
    return order != 0 ? order < 0 : x < y;
  });
  return 0;
}

}  // namespace

int pairStatements(const TraceFacts& a, const TraceFacts& b, PackedRecords<StatementPair>& pairs) {
  pairs.reset();
  PackedRecords<int32_t> partnerOfA;
  PackedRecords<int32_t> partnerOfB;
  PackedRecords<int32_t> pairedBy;
  PackedRecords<int32_t> sortedA;
  PackedRecords<int32_t> sortedB;
  if (filled(partnerOfA, a.statements.count(), kNoFact) != 0 ||
      filled(partnerOfB, b.statements.count(), kNoFact) != 0 ||
      filled(pairedBy, a.statements.count(), kUnpaired) != 0 || bySqlId(a, sortedA) != 0 ||
      bySqlId(b, sortedB) != 0) {
    return -1;
  }
  // The k-th statement of an sql_id in A with the k-th of it in B.
  for (int32_t i = 0, j = 0; i < sortedA.count() && j < sortedB.count();) {
    const int order = a.view(a.statements[sortedA[i]].sqlId).compare(b.view(b.statements[sortedB[j]].sqlId));
    if (order < 0) {
      ++i;
    } else if (order > 0) {
      ++j;
    } else {
      partnerOfA[sortedA[i]] = sortedB[j];
      partnerOfB[sortedB[j]] = sortedA[i];
      pairedBy[sortedA[i]] = kPairedBySqlId;
      ++i;
      ++j;
    }
  }
  // The statements left over, in their order.
  for (int32_t i = 0, j = 0;; ++i, ++j) {
    while (i < a.statements.count() && partnerOfA[i] != kNoFact) ++i;
    while (j < b.statements.count() && partnerOfB[j] != kNoFact) ++j;
    if (i >= a.statements.count() || j >= b.statements.count()) break;
    partnerOfA[i] = j;
    partnerOfB[j] = i;
    pairedBy[i] = kPairedByOrder;
  }
  for (int32_t i = 0; i < a.statements.count(); ++i) {
    StatementPair* pair = pairs.append();
    if (!pair) return -1;
    *pair = StatementPair{i, partnerOfA[i], pairedBy[i]};
  }
  for (int32_t j = 0; j < b.statements.count(); ++j) {
    if (partnerOfB[j] != kNoFact) continue;
    StatementPair* pair = pairs.append();
    if (!pair) return -1;
    *pair = StatementPair{kNoFact, j, kUnpaired};
  }
  return 0;
}
