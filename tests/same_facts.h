// Whether two fact sets hold the same records, byte for byte, and two
// key-point scans the same records and noted phrases; for the checks that
// hold the facts pass run beside the scan to the one run after it.
#pragma once

#include <cstddef>
#include <cstring>

#include "facts/trace_digest.h"
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
         sameRecords(a.accessFlags, b.accessFlags) && sameRecords(a.columnStats, b.columnStats) &&
         sameRecords(a.tableStats, b.tableStats) && sameRecords(a.indexStats, b.indexStats) &&
         sameRecords(a.transformations, b.transformations) && sameRecords(a.planOperations, b.planOperations) &&
         sameRecords(a.outlineHints, b.outlineHints) && sameRecords(a.keyPointLines, b.keyPointLines);
}

inline bool sameKeyPoints(const KeyPoints_c& a, const KeyPoints_c& b) {
  return sameRecords<KeyPoint>(a, b) && a.noted.complete == b.noted.complete &&
         sameRecords(a.noted.registrations, b.noted.registrations) && sameRecords(a.noted.sqlIds, b.noted.sqlIds);
}

// The digest's copy of a span: the same bytes, control bytes blanked.
inline bool sameCopy(const TraceDigest& d, TextSpan copy, const TraceFacts& f, TextSpan span) {
  if (copy.present() != span.present()) return false;
  const std::string_view a = d.view(copy);
  const std::string_view b = f.view(span);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto u = static_cast<unsigned char>(b[i]);
    if (a[i] != (u < 0x20 || u == 0x7F ? ' ' : b[i])) return false;
  }
  return true;
}

// The digest holds the facts' single-table sections whole.
inline bool sameAccessPaths(const TraceDigest& d, const TraceFacts& f) {
  if (d.accessPaths.count() != f.accessPaths.count() || d.accessCandidates.count() != f.accessCandidates.count() ||
      !sameRecords(d.accessFlags, f.accessFlags)) {
    return false;
  }
  for (int32_t i = 0; i < f.accessPaths.count(); ++i) {
    const AccessPathFact& a = d.accessPaths[i];
    const AccessPathFact& b = f.accessPaths[i];
    if (a.line != b.line || a.cardLine != b.cardLine || a.bestLine != b.bestLine ||
        std::memcmp(&a.candidates, &b.candidates, sizeof a.candidates) != 0 ||
        std::memcmp(&a.flags, &b.flags, sizeof a.flags) != 0 || a.columns.count != 0 || !sameCopy(d, a.alias, f, b.alias) ||
        !sameCopy(d, a.cardOriginal, f, b.cardOriginal) || !sameCopy(d, a.cardRounded, f, b.cardRounded) ||
        !sameCopy(d, a.cardComputed, f, b.cardComputed) || !sameCopy(d, a.bestPath, f, b.bestPath) ||
        !sameCopy(d, a.bestIndex, f, b.bestIndex) || !sameCopy(d, a.bestCost, f, b.bestCost) ||
        !sameCopy(d, a.bestCard, f, b.bestCard)) {
      return false;
    }
  }
  for (int32_t i = 0; i < f.accessCandidates.count(); ++i) {
    const AccessCandidateFact& a = d.accessCandidates[i];
    const AccessCandidateFact& b = f.accessCandidates[i];
    if (a.line != b.line || a.bitmap != b.bitmap || !sameCopy(d, a.path, f, b.path) ||
        !sameCopy(d, a.index, f, b.index) || !sameCopy(d, a.cost, f, b.cost)) {
      return false;
    }
  }
  return true;
}
