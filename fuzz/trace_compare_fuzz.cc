// Fuzz target: two traces from one input (split where the first byte
// says). The comparison must pair every statement once, keep its runs and
// hunks in order inside both texts, find a partner line for every line,
// and find no difference between a trace and itself.
#include <cstdint>

#include "compare/trace_comparison.h"
#include "fuzz/trace_pair_input.h"

namespace {

void checkComparison(const Trace& a, const Trace& b, const TraceComparison& c) {
  int32_t seenA = 0;
  int32_t seenB = 0;
  for (const StatementPair& p : c.pairs) {
    check(p.a == kNoFact || (p.a >= 0 && p.a < a.facts.statements.count()));
    check(p.b == kNoFact || (p.b >= 0 && p.b < b.facts.statements.count()));
    check(p.a != kNoFact || p.b != kNoFact);
    seenA += p.a != kNoFact;
    seenB += p.b != kNoFact;
  }
  check(seenA == a.facts.statements.count() && seenB == b.facts.statements.count());
  check(c.differences.count() == c.pairs.count());
  int32_t aEnd = 0;
  int32_t bEnd = 0;
  for (const EqualRun& r : c.equalRuns) {
    check(r.count > 0 && r.aSeq >= aEnd && r.bSeq >= bEnd);
    aEnd = r.aSeq + r.count;
    bEnd = r.bSeq + r.count;
    check(aEnd <= c.aLines.lines.count() && bEnd <= c.bLines.lines.count());
    for (int32_t k = 0; k < r.count; ++k) check(c.aLines.lines[r.aSeq + k].hash == c.bLines.lines[r.bSeq + k].hash);
  }
  int32_t lastA = 0;
  for (const TextHunk& h : c.hunks) {
    check(h.aSeqCount + h.bSeqCount > 0 && h.aCount >= 0 && h.bCount >= 0);
    check(h.aLine >= 1 && h.aLine + h.aCount - 1 <= c.aLines.lineCount + 1);
    check(h.bLine >= 1 && h.bLine + h.bCount - 1 <= c.bLines.lineCount + 1);
    check(h.aLine >= lastA);
    lastA = h.aLine + h.aCount;
  }
  for (const SectionPair& s : c.sections) {
    check(s.aFirstLine >= 1 && s.aLastLine <= c.aLines.lineCount);
    check(s.bFirstLine >= 1 && s.bLastLine <= c.bLines.lineCount);
  }
  for (int32_t line = 1; line <= c.aLines.lineCount; line += 1 + line / 64) {
    const int32_t other = alignedLineInB(c, line);
    check(other >= 1 && other <= c.bLines.lineCount);
  }
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
  checkComparison(a, b, c);
  TraceComparison self;
  if (compareTraces(a.compared(), a.compared(), self) != 0) return 0;
  checkComparison(a, a, self);
  check(!self.differs());
  return 0;
}
