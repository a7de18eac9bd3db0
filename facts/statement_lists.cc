// Reading a statement's long lists, and picking the entries that take effect.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "facts/facts_internal.h"

int readStatementLists(TraceFacts& f, int32_t statement) {
  StatementFacts& s = f.statements[statement];
  if (s.listsRead) return 0;
  FactContext c{f, f.text, f.length, nullptr};
  s.parameters.first = f.parameters.count();
  s.parameterFixControls.first = f.parameterFixControls.count();
  s.fixControls.first = f.fixControls.count();
  s.planOperations.first = f.planOperations.count();
  s.outlineHints.first = f.outlineHints.count();
  s.skippedListLines = 0;
  if (!readParameterBlock(c, s) || !readStateDumpFixControls(c, s) || !readExplainPlan(c, s)) {
    // A list that cannot grow is released: nothing read so far stands.
    f.parameters.reset();
    f.parameterFixControls.reset();
    f.fixControls.reset();
    f.planOperations.reset();
    f.outlineHints.reset();
    for (StatementFacts& each : f.statements) {
      each.listsRead = false;
      each.parameters = each.parameterFixControls = each.fixControls = FactRange{};
      each.planOperations = each.outlineHints = FactRange{};
      each.fixControlsLine = each.outlineLine = 0;
    }
    return -1;
  }
  s.parameters.count = f.parameters.count() - s.parameters.first;
  s.parameterFixControls.count = f.parameterFixControls.count() - s.parameterFixControls.first;
  s.fixControls.count = f.fixControls.count() - s.fixControls.first;
  s.planOperations.count = f.planOperations.count() - s.planOperations.first;
  s.outlineHints.count = f.outlineHints.count() - s.outlineHints.first;
  s.listsRead = true;
  return 0;
}

int readAllStatementLists(TraceFacts& f) {
  for (int32_t i = 0; i < f.statements.count(); ++i) {
    if (readStatementLists(f, i) != 0) return -1;
  }
  return 0;
}

namespace {

// A parameter list's rank: lower wins for one name.
int listRank(int32_t list) { return list == kParametersAltered ? 0 : 1; }

// The first eight bytes of a key as a number that orders as the bytes do
// (a shorter key padded with zeros): keys mostly differ there, so the
// sort below mostly compares numbers, not strings. Equal prefixes fall
// back to the keys themselves.
uint64_t keyPrefix(std::string_view key) {
  uint64_t prefix = 0;
  const size_t n = std::min<size_t>(8, key.size());
  for (size_t i = 0; i < n; ++i) prefix |= uint64_t{static_cast<unsigned char>(key[i])} << (56 - 8 * i);
  return prefix;
}

// Appends to `out` the first of each key among `candidates`, sorted here
// by the key, then as `less` orders entries of one key; in trace order
// or, with `byKey`, in the order of their keys.
template <class KeyOf, class Less>
int keepFirstOfEachKey(const PackedRecords<int32_t>& candidates, PackedRecords<int32_t>& out, bool byKey, KeyOf keyOf,
                       Less less) {
  struct Keyed {
    uint64_t prefix;
    int32_t index;
  };
  PackedRecords<Keyed> keyed;
  if (keyed.reserveRecords(candidates.count()) != 0) return -1;
  for (int32_t index : candidates) *keyed.append() = Keyed{keyPrefix(keyOf(index)), index};
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed& x, const Keyed& y) {
    if (x.prefix != y.prefix) return x.prefix < y.prefix;
    const int order = keyOf(x.index).compare(keyOf(y.index));
    return order != 0 ? order < 0 : less(x.index, y.index);
  });
  for (int32_t i = 0; i < keyed.count(); ++i) {
    if (i > 0 && keyed[i - 1].prefix == keyed[i].prefix && keyOf(keyed[i - 1].index) == keyOf(keyed[i].index)) {
      continue;
    }
    int32_t* slot = out.append();
    if (!slot) return -1;
    *slot = keyed[i].index;
  }
  if (!byKey) std::sort(out.begin(), out.end());
  return 0;
}

}  // namespace

int effectiveParameters(const TraceFacts& f, const StatementFacts& s, PackedRecords<int32_t>& out, bool byName) {
  out.reset();
  PackedRecords<int32_t> candidates;
  for (int32_t i = s.parameters.first; i < s.parameters.end(); ++i) {
    if (f.parameters[i].list == kParametersOptParamHint) continue;
    int32_t* slot = candidates.append();
    if (!slot) return -1;
    *slot = i;
  }
  return keepFirstOfEachKey(
      candidates, out, byName, [&](int32_t i) { return f.view(f.parameters[i].name); },
      [&](int32_t a, int32_t b) {
        const int rankA = listRank(f.parameters[a].list);
        const int rankB = listRank(f.parameters[b].list);
        return rankA != rankB ? rankA < rankB : a < b;
      });
}

int effectiveFixControls(const TraceFacts& f, const StatementFacts& s, PackedRecords<int32_t>& out, bool byNumber) {
  out.reset();
  PackedRecords<int32_t> candidates;
  for (int32_t i = s.fixControls.first; i < s.fixControls.end(); ++i) {
    int32_t* slot = candidates.append();
    if (!slot) return -1;
    *slot = i;
  }
  return keepFirstOfEachKey(
      candidates, out, byNumber, [&](int32_t i) { return f.view(f.fixControls[i].number); },
      [](int32_t a, int32_t b) { return a < b; });
}
