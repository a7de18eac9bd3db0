#include "compare/view_alignment.h"

#include <algorithm>

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

int differingLines(const TraceComparison& comparison, bool inA, int32_t first, int32_t last,
                   PackedRecords<int32_t>& out) {
  const LineTable& table = inA ? comparison.aLines : comparison.bLines;
  const PackedRecords<EqualRun>& runs = comparison.equalRuns;
  auto start = [inA](const EqualRun& r) { return inA ? r.aSeq : r.bSeq; };
  const int32_t from = table.firstAtOrAfter(first);
  // The first run that ends after entry `from`.
  int32_t run = firstNotBefore(runs, [&](const EqualRun& r) { return start(r) + r.count <= from; });
  for (int32_t seq = from; seq < table.lines.count() && table.lines[seq].line <= last; ++seq) {
    while (run < runs.count() && start(runs[run]) + runs[run].count <= seq) ++run;
    if (run < runs.count() && start(runs[run]) <= seq) continue;  // in an equal run
    int32_t* line = out.append();
    if (!line) return -1;
    *line = table.lines[seq].line;
  }
  return 0;
}

int noiseLinesInRuns(const TraceComparison& comparison, bool inA, int32_t first, int32_t last,
                     PackedRecords<int32_t>& out) {
  const LineTable& table = inA ? comparison.aLines : comparison.bLines;
  const PackedRecords<TextHunk>& hunks = comparison.hunks;
  auto start = [inA](const TextHunk& h) { return inA ? h.aLine : h.bLine; };
  auto end = [inA](const TextHunk& h) { return inA ? h.aLine + h.aCount : h.bLine + h.bCount; };
  // The first hunk that ends after `first`: hunks come in line order.
  const int32_t after = firstNotBefore(hunks, [&](const TextHunk& h) { return end(h) <= first; });
  for (int32_t h = after; h < hunks.count() && start(hunks[h]) <= last; ++h) {
    const int32_t from = std::max(first, start(hunks[h]));
    const int32_t to = std::min(last, end(hunks[h]) - 1);
    // A hunk's lines are its entries and the noise between them.
    int32_t seq = table.firstAtOrAfter(from);
    for (int32_t line = from; line <= to; ++line) {
      while (seq < table.lines.count() && table.lines[seq].line < line) ++seq;
      if (seq < table.lines.count() && table.lines[seq].line == line) continue;
      int32_t* noise = out.append();
      if (!noise) return -1;
      *noise = line;
    }
  }
  return 0;
}
