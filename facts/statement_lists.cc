// Reading a statement's long lists, and picking the entries that take effect.
#include <algorithm>

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

int compareSpans(const TraceFacts& f, TextSpan a, TextSpan b) { return f.view(a).compare(f.view(b)); }

// A parameter list's rank: lower wins for one name.
int listRank(int32_t list) { return list == kParametersAltered ? 0 : 1; }

// Appends to `out` the first of each key among `candidates` (sorted here
// by the key, then by rank and line), in trace order or, with `byKey`, in
// the order of their keys.
template <class Less, class SameKey>
int keepFirstOfEachKey(PackedRecords<int32_t>& candidates, PackedRecords<int32_t>& out, bool byKey, Less less,
                       SameKey same) {
  std::sort(candidates.begin(), candidates.end(), less);
  for (int32_t i = 0; i < candidates.count(); ++i) {
    if (i > 0 && same(candidates[i - 1], candidates[i])) continue;
    int32_t* slot = out.append();
    if (!slot) return -1;
    *slot = candidates[i];
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
      candidates, out, byName,
      [&](int32_t a, int32_t b) {
        const ParameterFact& x = f.parameters[a];
        const ParameterFact& y = f.parameters[b];
        const int byName = compareSpans(f, x.name, y.name);
        if (byName != 0) return byName < 0;
        if (listRank(x.list) != listRank(y.list)) return listRank(x.list) < listRank(y.list);
        return a < b;
      },
      [&](int32_t a, int32_t b) { return compareSpans(f, f.parameters[a].name, f.parameters[b].name) == 0; });
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
      candidates, out, byNumber,
      [&](int32_t a, int32_t b) {
        const int order = compareSpans(f, f.fixControls[a].number, f.fixControls[b].number);
        return order != 0 ? order < 0 : a < b;
      },
      [&](int32_t a, int32_t b) {
        return compareSpans(f, f.fixControls[a].number, f.fixControls[b].number) == 0;
      });
}
