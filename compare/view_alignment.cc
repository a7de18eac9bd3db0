#include "compare/view_alignment.h"

namespace {

int32_t alignedTop(const TraceComparison& c, int32_t top, bool fromA) {
  const LineTable& from = fromA ? c.aLines : c.bLines;
  const int32_t seq = from.firstAtOrAfter(top);
  // Below the last line that counts: the other side's end.
  if (seq >= from.lines.count()) return fromA ? alignedLineInB(c, top) : alignedLineInA(c, top);
  const int32_t anchor = from.lines[seq].line;
  const int32_t partner = fromA ? alignedLineInB(c, anchor) : alignedLineInA(c, anchor);
  const int32_t result = partner - (anchor - top);
  return result < 1 ? 1 : result;
}

}  // namespace

int32_t alignedTopInB(const TraceComparison& comparison, int32_t aTop) { return alignedTop(comparison, aTop, true); }

int32_t alignedTopInA(const TraceComparison& comparison, int32_t bTop) { return alignedTop(comparison, bTop, false); }
