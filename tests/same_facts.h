// Whether two fact sets hold the same records, byte for byte, and two
// key-point scans the same records and noted phrases; for the checks that
// hold the facts pass run beside the scan to the one run after it.
#pragma once

#include <cstddef>
#include <cstring>

#include "facts/trace_facts.h"
#include "outline/key_points.h"

template <class Record>
bool sameRecords(const PackedRecords<Record>& a, const PackedRecords<Record>& b) {
  return a.count() == b.count() &&
         (a.count() == 0 || std::memcmp(a.begin(), b.begin(), static_cast<size_t>(a.count()) * sizeof(Record)) == 0);
}

// Statements field by field around the padding after `listsRead`.
inline bool sameStatements(const PackedRecords<StatementFacts>& a, const PackedRecords<StatementFacts>& b) {
  if (a.count() != b.count()) return false;
  constexpr size_t flag = offsetof(StatementFacts, listsRead);
  constexpr size_t rest = offsetof(StatementFacts, parameters);
  for (int32_t i = 0; i < a.count(); ++i) {
    const char* x = reinterpret_cast<const char*>(&a[i]);
    const char* y = reinterpret_cast<const char*>(&b[i]);
    if (std::memcmp(x, y, flag) != 0 || a[i].listsRead != b[i].listsRead ||
        std::memcmp(x + rest, y + rest, sizeof(StatementFacts) - rest) != 0) {
      return false;
    }
  }
  return true;
}

inline bool sameFacts(const TraceFacts& a, const TraceFacts& b) {
  return a.text == b.text && a.length == b.length && sameStatements(a.statements, b.statements) &&
         sameRecords(a.parameters, b.parameters) && sameRecords(a.fixControls, b.fixControls) &&
         sameRecords(a.parameterFixControls, b.parameterFixControls) && sameRecords(a.queryBlocks, b.queryBlocks) &&
         sameRecords(a.joinOrders, b.joinOrders) && sameRecords(a.tables, b.tables) &&
         sameRecords(a.accessPaths, b.accessPaths) && sameRecords(a.accessCandidates, b.accessCandidates) &&
         sameRecords(a.accessFlags, b.accessFlags) &&
         sameRecords(a.transformations, b.transformations) && sameRecords(a.planOperations, b.planOperations) &&
         sameRecords(a.outlineHints, b.outlineHints) && sameRecords(a.keyPointLines, b.keyPointLines);
}

inline bool sameKeyPoints(const KeyPoints_c& a, const KeyPoints_c& b) {
  return sameRecords<KeyPoint>(a, b) && a.noted.complete == b.noted.complete &&
         sameRecords(a.noted.registrations, b.noted.registrations) && sameRecords(a.noted.sqlIds, b.noted.sqlIds);
}
