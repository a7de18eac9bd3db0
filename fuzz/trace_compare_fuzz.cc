// Fuzz target: two traces from one input (split where the first byte
// says). The comparison must pair every statement once, keep its runs and
// hunks in order inside both texts, find a partner line for every line,
// find no difference between a trace and itself, and write a try-script
// of commands and comments only.
#include <cstdint>
#include <optional>

#include <string_view>

#include "compare/trace_comparison.h"
#include "compare/try_script.h"
#include "fuzz/input_window.h"
#include "fuzz/trace_pair_input.h"
#include "fuzz/fuzz_check.h"

namespace {

// A trace compared with itself must not differ, whatever its bytes: a long
// first trace is checked on a window of it made a trace of its own (see
// input_window.h), since the comparison of two texts of the input's size
// is what the target is for.
constexpr int32_t kSelfWindow = 8 << 10;

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
  // Decisions name records of their own pair's query blocks, in order; the
  // first divergence is one of them.
  for (int32_t p = 0; p < c.pairs.count(); ++p) {
    const FactRange r = c.differences[p].decisions;
    check(r.first >= 0 && r.count >= 0 && r.first + r.count <= c.decisions.count());
    for (int32_t i = r.first; i < r.first + r.count; ++i) {
      const DecisionDifference& d = c.decisions[i];
      check(d.pair == p && (i == r.first || c.decisions[i - 1].order <= d.order));
      check(d.queryBlockA == kNoFact || (d.queryBlockA >= 0 && d.queryBlockA < a.facts.queryBlocks.count()));
      check(d.queryBlockB == kNoFact || (d.queryBlockB >= 0 && d.queryBlockB < b.facts.queryBlocks.count()));
      check(d.pathA == kNoFact || (d.pathA >= 0 && d.pathA < a.facts.accessPaths.count()));
      check(d.pathB == kNoFact || (d.pathB >= 0 && d.pathB < b.facts.accessPaths.count()));
      check(d.queryBlockA != kNoFact || d.queryBlockB != kNoFact);
      const int32_t items = decisionItems(d.fact);
      const int32_t listA = items == kTableItems ? a.facts.tableStats.count()
                            : items == kIndexItems ? a.facts.indexStats.count()
                                                   : a.facts.columnStats.count();
      const int32_t listB = items == kTableItems ? b.facts.tableStats.count()
                            : items == kIndexItems ? b.facts.indexStats.count()
                                                   : b.facts.columnStats.count();
      check(d.itemA == kNoFact || (items != kNoItems && d.itemA >= 0 && d.itemA < listA));
      check(d.itemB == kNoFact || (items != kNoItems && d.itemB >= 0 && d.itemB < listB));
    }
  }
  check(c.firstDivergence == kNoFact || (c.firstDivergence >= 0 && c.firstDivergence < c.decisions.count()));
  // Every line of the try-script is a command or a comment.
  SVString script;
  check(buildTryScript(c, a.facts, b.facts, script) == 0);
  const std::string_view lines(script.c_str(), static_cast<size_t>(script.length()));
  for (size_t from = 0; from < lines.size();) {
    const size_t feed = lines.find('\n', from);
    check(feed != std::string_view::npos);
    const std::string_view line = lines.substr(from, feed - from);
    check(line.starts_with("-- ") || (line.starts_with("alter session set \"") && line.ends_with(";")));
    for (char ch : line) check(static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F);
    from = feed + 1;
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
  const InputWindow w = inputWindow(data + 1, split - 1, kSelfWindow);
  std::optional<Trace> window;
  if (w.end - w.begin < static_cast<int32_t>(split - 1)) window.emplace(data + 1 + w.begin, w.end - w.begin);
  const Trace& s = window ? *window : a;
  if (!s.ready) return 0;
  TraceComparison self;
  if (compareTraces(s.compared(), s.compared(), self) != 0) return 0;
  checkComparison(s, s, self);
  check(!self.differs());
  return 0;
}
