#include "compare/trace_comparison.h"

#include <cassert>

#include "compare/comparison_internal.h"

bool TraceComparison::differs() const {
  if (hunks.count() > 0 || parameters.count() > 0 || fixControls.count() > 0 || queryBlocks.count() > 0 ||
      decisions.count() > 0) {
    return true;
  }
  for (int32_t p = 0; p < pairs.count(); ++p) {
    if (pairs[p].a == kNoFact || pairs[p].b == kNoFact) return true;
    if (differences[p].sqlIdDiffers || differences[p].planHashDiffers) return true;
  }
  return false;
}

int compareTraces(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out) {
  if (buildLineTable(a.text, a.length, out.aLines) != 0 || buildLineTable(b.text, b.length, out.bLines) != 0) return -1;
  return compareTracesWithLines(a, b, out);
}

int compareTracesWithLines(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out) {
  out.pairs.reset();
  out.differences.reset();
  out.parameters.reset();
  out.fixControls.reset();
  out.queryBlocks.reset();
  out.decisions.reset();
  out.firstDivergence = kNoFact;
  out.sections.reset();
  out.equalRuns.reset();
  out.hunks.reset();
  if (pairStatements(*a.facts, *b.facts, out.pairs) != 0 || compareFacts(a, b, out) != 0 ||
      compareTexts(a, b, out) != 0 || compareDecisions(a, b, out) != 0) {
    return -1;
  }
  return 0;
}

namespace {

// The line of `to` aligned with `line` of `from`, going through the equal
// runs from the side `fromA` names.
int32_t alignedLine(const TraceComparison& c, int32_t line, bool fromA) {
  const LineTable& from = fromA ? c.aLines : c.bLines;
  const LineTable& to = fromA ? c.bLines : c.aLines;
  if (to.lines.count() == 0) return 1;
  const int32_t seq = from.firstAtOrAfter(line);
  auto start = [&](const EqualRun& r) { return fromA ? r.aSeq : r.bSeq; };
  auto other = [&](const EqualRun& r) { return fromA ? r.bSeq : r.aSeq; };
  // The last run that starts at or before seq.
  const int32_t low = firstNotBefore(c.equalRuns, [&](const EqualRun& r) { return start(r) <= seq; });
  int32_t target;  // an entry of `to`
  if (low > 0 && seq < start(c.equalRuns[low - 1]) + c.equalRuns[low - 1].count) {
    const EqualRun& run = c.equalRuns[low - 1];
    target = other(run) + (seq - start(run));
    assert(target < to.lines.count());  // a run's entries exist on both sides
  } else {
    // Inside a hunk: the same distance into the other side of it, at most
    // its last line.
    const int32_t hunkFrom = low > 0 ? start(c.equalRuns[low - 1]) + c.equalRuns[low - 1].count : 0;
    const int32_t otherFrom = low > 0 ? other(c.equalRuns[low - 1]) + c.equalRuns[low - 1].count : 0;
    const int32_t otherTo = low < c.equalRuns.count() ? other(c.equalRuns[low]) : to.lines.count();
    target = otherFrom + (seq - hunkFrom);
    if (target >= otherTo) target = otherTo - 1;
    if (target < otherFrom) target = otherFrom;
  }
  if (target >= to.lines.count()) return to.lineCount;
  if (target < 0) return 1;
  return to.lines[target].line;
}

}  // namespace

int32_t alignedLineInB(const TraceComparison& comparison, int32_t aLine) { return alignedLine(comparison, aLine, true); }

int32_t alignedLineInA(const TraceComparison& comparison, int32_t bLine) {
  return alignedLine(comparison, bLine, false);
}
