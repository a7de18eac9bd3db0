// Fuzz target: the side-by-side view's data for two traces from one input
// (split where the first byte says). Every row of the difference list
// names lines inside its traces and its cells are valid UTF-8 without
// control bytes; the view tops stay inside the other trace; the differing
// lines of any stretch are those of the hunks, read stretch by stretch or
// whole.
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/byte_text.h"
#include "compare/difference_list.h"
#include "compare/view_alignment.h"
#include "fuzz/trace_pair_input.h"
#include "fuzz/fuzz_check.h"

namespace {

void checkCell(std::string_view cell) {
  const auto* s = reinterpret_cast<const unsigned char*>(cell.data());
  for (size_t i = 0; i < cell.size();) {
    check(s[i] >= 0x20 && s[i] != 0x7F);
    const int n = s[i] < 0x80 ? 1 : utf8SequenceLength(s, i, cell.size());
    check(n > 0);
    i += static_cast<size_t>(n);
  }
}

void checkRows(const DifferenceList& list, const TraceComparison& c) {
  for (const DifferenceRow& r : list.rows) {
    for (DifferenceText t : {r.what, r.inA, r.inB}) {
      check(t.length >= 0 && t.offset >= 0 && t.offset + t.length <= list.text.length());
      checkCell(list.cell(t));
    }
    if (r.kind == kDifferenceHeading) continue;
    check(r.aLine > 0 || r.bLine > 0);
    check(r.aLine >= 0 && r.aCount >= 0 && r.aLine + r.aCount - 1 <= c.aLines.lineCount + 1);
    check(r.bLine >= 0 && r.bCount >= 0 && r.bLine + r.bCount - 1 <= c.bLines.lineCount + 1);
  }
}

void checkLines(const TraceComparison& c, bool inA) {
  const LineTable& table = inA ? c.aLines : c.bLines;
  std::vector<uint8_t> differs(static_cast<size_t>(table.lineCount) + 2, 0);
  for (const TextHunk& h : c.hunks) {
    const int32_t from = inA ? h.aSeq : h.bSeq;
    const int32_t count = inA ? h.aSeqCount : h.bSeqCount;
    for (int32_t s = from; s < from + count; ++s) differs[table.lines[s].line] = 1;
  }
  PackedRecords<int32_t> whole;
  if (differingLines(c, inA, 1, table.lineCount, whole) != 0) return;
  int32_t marked = 0;
  for (int32_t line : whole) {
    check(line >= 1 && line <= table.lineCount && differs[line]);
    ++marked;
  }
  int32_t expected = 0;
  for (uint8_t d : differs) expected += d;
  check(marked == expected);
  // Stretch by stretch, of an odd length.
  int32_t index = 0;
  for (int32_t first = 1; first <= table.lineCount; first += 37) {
    PackedRecords<int32_t> part;
    if (differingLines(c, inA, first, first + 36, part) != 0) return;
    for (int32_t line : part) check(index < whole.count() && whole[index++] == line);
  }
  check(index == whole.count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > kTracePairInputLimit) return 0;
  const size_t split = tracePairSplit(data, size);
  const Trace a(data + 1, split - 1);
  const Trace b(data + split, size - split);
  if (!a.ready || !b.ready) return 0;
  TraceComparison c;
  if (compareTraces(a.compared(), b.compared(), c) != 0) return 0;
  DifferenceList list;
  if (buildDifferenceList(a.compared(), b.compared(), c, list) != 0) return 0;
  checkRows(list, c);
  checkLines(c, true);
  checkLines(c, false);
  for (int32_t line = 1; line <= c.aLines.lineCount + 1; line += 1 + line / 64) {
    const int32_t top = alignedTopInB(c, line);
    check(top >= 1 && top <= c.bLines.lineCount + 1);
  }
  for (int32_t line = 1; line <= c.bLines.lineCount + 1; line += 1 + line / 64) {
    const int32_t top = alignedTopInA(c, line);
    check(top >= 1 && top <= c.aLines.lineCount + 1);
  }
  return 0;
}
