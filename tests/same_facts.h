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

// The digest holds the facts' query blocks, join orders (but their card
// and bytes) and their tables, and single-table sections whole, their
// spans copied.
inline bool sameDigestFacts(const TraceDigest& d, const TraceFacts& f) {
  const TraceFacts& c = d.facts;
  if (c.queryBlocks.count() != f.queryBlocks.count() || c.joinOrders.count() != f.joinOrders.count() ||
      c.tables.count() != f.tables.count() || c.accessPaths.count() != f.accessPaths.count() ||
      c.accessCandidates.count() != f.accessCandidates.count() || !sameRecords(c.accessFlags, f.accessFlags) ||
      !sameRecords(c.keyPointLines, f.keyPointLines)) {
    return false;
  }
  auto same = [&](TextSpan a, TextSpan b) { return sameCopy(d, a, f, b); };
  auto sameRange = [](FactRange a, FactRange b) { return a.first == b.first && a.count == b.count; };
  for (int32_t i = 0; i < f.queryBlocks.count(); ++i) {
    const QueryBlockFact& a = c.queryBlocks[i];
    const QueryBlockFact& b = f.queryBlocks[i];
    if (a.line != b.line || a.keyPoint != b.keyPoint || a.bestJoinOrderFact != b.bestJoinOrderFact ||
        a.abortedJoinOrders != b.abortedJoinOrders || !sameRange(a.stretchJoinOrders, b.stretchJoinOrders) ||
        !sameRange(a.joinOrders, b.joinOrders) || !sameRange(a.accessPaths, b.accessPaths) || !same(a.name, b.name) ||
        !same(a.number, b.number) || !same(a.plan, b.plan) || !same(a.bestJoinOrder, b.bestJoinOrder) ||
        !same(a.cost, b.cost) || !same(a.card, b.card) || !same(a.bytes, b.bytes)) {
      return false;
    }
  }
  for (int32_t i = 0; i < f.joinOrders.count(); ++i) {
    const JoinOrderFact& a = c.joinOrders[i];
    const JoinOrderFact& b = f.joinOrders[i];
    if (a.line != b.line || a.keyPoint != b.keyPoint || a.bestSoFarLine != b.bestSoFarLine ||
        a.abortedLines != b.abortedLines || a.queryBlock != b.queryBlock || !sameRange(a.tables, b.tables) ||
        !same(a.number, b.number) || !same(a.cost, b.cost) || a.card.present() || a.bytes.present() ||
        !same(a.lastStepCost, b.lastStepCost)) {
      return false;
    }
  }
  for (int32_t i = 0; i < f.tables.count(); ++i) {
    if (!same(c.tables[i], f.tables[i])) return false;
  }
  for (int32_t i = 0; i < f.accessPaths.count(); ++i) {
    const AccessPathFact& a = c.accessPaths[i];
    const AccessPathFact& b = f.accessPaths[i];
    if (a.line != b.line || a.cardLine != b.cardLine || a.bestLine != b.bestLine ||
        !sameRange(a.candidates, b.candidates) || !sameRange(a.flags, b.flags) || a.columns.count != 0 ||
        !same(a.alias, b.alias) || !same(a.cardOriginal, b.cardOriginal) || !same(a.cardRounded, b.cardRounded) ||
        !same(a.cardComputed, b.cardComputed) || !same(a.bestPath, b.bestPath) || !same(a.bestIndex, b.bestIndex) ||
        !same(a.bestCost, b.bestCost) || !same(a.bestCard, b.bestCard)) {
      return false;
    }
  }
  for (int32_t i = 0; i < f.accessCandidates.count(); ++i) {
    const AccessCandidateFact& a = c.accessCandidates[i];
    const AccessCandidateFact& b = f.accessCandidates[i];
    if (a.line != b.line || a.bitmap != b.bitmap || !same(a.path, b.path) || !same(a.index, b.index) ||
        !same(a.cost, b.cost)) {
      return false;
    }
  }
  return true;
}
