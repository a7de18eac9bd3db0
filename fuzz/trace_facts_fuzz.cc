// Fuzz target: any bytes as a trace. The facts pass and the list readers
// must keep every span on one line inside the text, every range inside its
// list and every line inside the text, and give the same facts when run
// beside the key-point scan; the list splitter's fast path must
// agree with its bytewise one; any bytes must make valid JSON, and a
// report whose markup is only the writer's own, in valid UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/json_writer.h"
#include "facts/facts_internal.h"
#include "facts/list_lines.h"
#include "facts/trace_facts.h"
#include "fuzz/input_window.h"
#include "outline/key_points.h"
#include "report/trace_report.h"
#include "tests/json_check_facts.h"
#include "tests/same_facts.h"
#include "fuzz/fuzz_check.h"

namespace {

// The bytes the list splitter and the JSON writer are checked on (see
// input_window.h); both checks cost more per byte than the facts pass.
constexpr int32_t kSplitWindow = 8192;
constexpr int32_t kJsonWindow = 4096;

struct Bounds {
  const TraceFacts& f;
  int32_t lines;
  void span(TextSpan s) const {
    if (!s.present()) return;
    check(s.offset >= 0 && s.offset + s.length <= f.length);
    check(f.view(s).find('\n') == std::string_view::npos);
  }
  void line(int32_t n, bool optional = true) const { check((optional && n == 0) || (n >= 1 && n <= lines)); }
  template <class List>
  void range(FactRange r, const List& list) const {
    check(r.first >= 0 && r.count >= 0 && r.first + r.count <= list.count());
  }
};

void checkFacts(const TraceFacts& f, int32_t lines) {
  const Bounds b{f, lines};
  int32_t previousEnd = 0;
  for (const StatementFacts& s : f.statements) {
    check(s.beginOffset >= previousEnd && s.beginOffset < s.endOffset && s.endOffset <= f.length);
    previousEnd = s.endOffset;
    b.line(s.firstLine, false);
    b.line(s.lastLine, false);
    check(s.firstLine <= s.lastLine);
    for (TextSpan t : {s.sqlId, s.planHashValue, s.sqlText, s.finalQuery}) b.span(t);
    for (int32_t n : {s.line, s.sqlTextLine, s.finalQueryLine, s.parametersLine, s.fixControlsLine,
                      s.explainPlanLine, s.stateDumpLine, s.outlineLine}) {
      b.line(n);
    }
    check(s.listsRead);
    b.range(s.parameters, f.parameters);
    b.range(s.parameterFixControls, f.parameterFixControls);
    b.range(s.fixControls, f.fixControls);
    b.range(s.queryBlocks, f.queryBlocks);
    b.range(s.joinOrders, f.joinOrders);
    b.range(s.transformations, f.transformations);
    b.range(s.planOperations, f.planOperations);
    b.range(s.outlineHints, f.outlineHints);
    PackedRecords<int32_t> effective;
    check(effectiveParameters(f, s, effective) == 0);
    check(effective.count() <= s.parameters.count);
  }
  for (const QueryBlockFact& q : f.queryBlocks) {
    for (TextSpan t : {q.name, q.number, q.plan, q.bestJoinOrder, q.cost, q.card, q.bytes}) b.span(t);
    b.line(q.line, false);
    b.range(q.joinOrders, f.joinOrders);
    b.range(q.stretchJoinOrders, f.joinOrders);
    check(q.joinOrders.first >= q.stretchJoinOrders.first &&
          q.joinOrders.first + q.joinOrders.count == q.stretchJoinOrders.first + q.stretchJoinOrders.count);
    check(q.abortedJoinOrders >= 0 && q.abortedJoinOrders <= q.joinOrders.count);
    b.range(q.accessPaths, f.accessPaths);
    check(q.bestJoinOrderFact == kNoFact || (q.bestJoinOrderFact >= 0 && q.bestJoinOrderFact < f.joinOrders.count()));
  }
  for (const JoinOrderFact& j : f.joinOrders) {
    b.range(j.tables, f.tables);
    b.line(j.line, false);
    b.line(j.bestSoFarLine);
    for (TextSpan t : {j.number, j.cost, j.card, j.bytes, j.lastStepCost}) b.span(t);
  }
  // Each alias once per query block, its section's lines in order.
  for (const AccessPathFact& p : f.accessPaths) {
    for (TextSpan t : {p.alias, p.cardOriginal, p.cardRounded, p.cardComputed, p.bestPath, p.bestIndex, p.bestCost,
                       p.bestCard}) {
      b.span(t);
    }
    b.line(p.line, false);
    b.line(p.cardLine);
    b.line(p.bestLine);
    check(p.lastLine >= p.line && p.lastLine <= lines);
    check(p.cardLine == 0 || (p.cardLine > p.line && p.cardLine <= p.lastLine));
    check(p.bestLine == 0 || p.bestLine > p.line);
    b.range(p.candidates, f.accessCandidates);
    b.range(p.flags, f.accessFlags);
    for (int32_t c = p.candidates.first; c < p.candidates.first + p.candidates.count; ++c) {
      const AccessCandidateFact& x = f.accessCandidates[c];
      for (TextSpan t : {x.path, x.index, x.cost}) b.span(t);
      check(x.line > p.line && (p.bestLine == 0 || x.line < p.bestLine));
    }
    for (int32_t g = p.flags.first; g < p.flags.first + p.flags.count; ++g) b.line(f.accessFlags[g].line, false);
    b.range(p.columns, f.columnStats);
  }
  for (const ColumnStatFact& x : f.columnStats) {
    for (TextSpan t : {x.name, x.ndv, x.nulls, x.density, x.histogram}) b.span(t);
    b.line(x.line, false);
  }
  for (const QueryBlockFact& q : f.queryBlocks) {
    b.range(q.tableStats, f.tableStats);
    for (int32_t i = q.tableStats.first; i < q.tableStats.first + q.tableStats.count; ++i) {
      check(f.tableStats[i].line < q.line);
    }
  }
  for (const TableStatFact& t : f.tableStats) {
    for (TextSpan x : {t.table, t.alias, t.rows, t.blocks, t.avgRowLen}) b.span(x);
    b.line(t.line, false);
    b.range(t.indexes, f.indexStats);
  }
  for (const IndexStatFact& x : f.indexStats) {
    for (TextSpan t : {x.name, x.levels, x.leafBlocks, x.distinctKeys, x.clusteringFactor}) b.span(t);
    b.line(x.line, false);
  }
  for (const QueryBlockFact& q : f.queryBlocks) {
    if (q.accessPaths.count > 256) continue;  // the pairwise check is quadratic
    for (int32_t i = q.accessPaths.first; i < q.accessPaths.first + q.accessPaths.count; ++i) {
      check(f.accessPaths[i].line < q.line);
      for (int32_t k = q.accessPaths.first; k < i; ++k) {
        check(f.view(f.accessPaths[k].alias) != f.view(f.accessPaths[i].alias) &&
              f.accessPaths[k].line < f.accessPaths[i].line);
      }
    }
  }
  for (TextSpan t : f.tables) b.span(t);
  for (const ParameterFact& p : f.parameters) b.span(p.name), b.span(p.value), b.line(p.line, false);
  for (const FixControlFact& x : f.fixControls) b.span(x.number), b.span(x.value), b.line(x.line, false);
  for (const TransformationFact& t : f.transformations) b.span(t.text), b.span(t.kind), b.line(t.line, false);
  for (const PlanOperationFact& op : f.planOperations) {
    for (TextSpan t : {op.id, op.operation, op.name, op.rows, op.cost}) b.span(t);
  }
  for (const OutlineHintFact& h : f.outlineHints) b.span(h.text), b.line(h.line, false);
}

// The list splitter from each line start of `window` (at most 4096
// lines): the fast path and the bytewise one agree.
void checkListSplit(const char* text, int32_t length, InputWindow window) {
  int32_t pos = window.begin;
  if (pos > 0) {
    const void* feed = std::memchr(text + pos - 1, '\n', static_cast<size_t>(length - (pos - 1)));
    pos = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - text) + 1 : length;
  }
  for (int lines = 0; pos < length && pos < window.end && lines < 4096; ++lines) {
    ListLine fast;
    ListLine slow;
    splitListLine(text, pos, length, fast);
    splitListLineBytewise(text, pos, length, slow);
    check(std::memcmp(&fast, &slow, sizeof fast) == 0);
    check(fast.next > pos);
    pos = fast.next;
  }
}

// The pass run beside the scan, and fed a few key points at a time as
// the scan feeds it, gives the same key points and facts.
void checkFollowingTheScan(const SVString& text, const KeyPoints_c& keyPoints, const TraceFacts& facts, int32_t step) {
  KeyPoints_c followed;
  TraceFacts beside;
  if (scanKeyPointsAndFacts(followed, beside, text.c_str(), text.length()) == 0) {
    check(sameKeyPoints(followed, keyPoints));
    check(sameFacts(beside, facts));
  }
  TraceFacts stepped;
  if (buildTraceFactsInSteps(stepped, text.c_str(), text.length(), keyPoints, step) == 0) {
    check(sameFacts(stepped, facts));
  }
}

// Every '<' opens one of the writer's tags (trace text has none left),
// and the page is UTF-8 without controls other than TAB and line feed.
void checkReport(const SVString& page) {
  const auto* u = reinterpret_cast<const unsigned char*>(page.c_str());
  const size_t n = static_cast<size_t>(page.length());
  for (size_t i = 0; i < n;) {
    if (u[i] == '<') check(i + 1 < n && ((u[i + 1] >= 'a' && u[i + 1] <= 'z') || u[i + 1] == '/' || u[i + 1] == '!'));
    if (u[i] < 0x80) {
      check(u[i] >= 0x20 || u[i] == '\t' || u[i] == '\n');
      check(u[i] != 0x7F);
      ++i;
      continue;
    }
    const int length = utf8SequenceLength(u, i, n);
    check(length >= 2);
    i += static_cast<size_t>(length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  SVString text;
  if (text.append(reinterpret_cast<const char*>(data), static_cast<int64_t>(size)) != 0) return 0;
  if (text.append("\r\n", 2) != 0) return 0;
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  TraceFacts facts;
  if (buildTraceFacts(facts, text.c_str(), text.length(), keyPoints) != 0) return 0;
  checkFollowingTheScan(text, keyPoints, facts, size ? 1 + data[size - 1] % 16 : 1);
  if (readAllStatementLists(facts) != 0) return 0;
  int32_t lines = 1;
  for (int32_t i = 0; i < text.length(); ++i) lines += text.c_str()[i] == '\n';
  checkFacts(facts, lines);
  SVString page;
  if (writeTraceReport(ReportedTrace{"fuzz.trc", text.c_str(), text.length(), &facts}, page) == 0) checkReport(page);
  // The two checks below hold for any stretch of bytes: on a long input
  // they look at a window of it (fuzz/input_window.h).
  checkListSplit(text.c_str(), text.length(), inputWindow(data, size, kSplitWindow));

  const InputWindow bytes = inputWindow(data, size, kJsonWindow);
  SVString json;
  if (appendJsonString(json, std::string_view(reinterpret_cast<const char*>(data) + bytes.begin,
                                              static_cast<size_t>(bytes.end - bytes.begin))) == 0) {
    check(JsonCheck::valid(std::string_view(json.c_str(), static_cast<size_t>(json.length()))));
  }
  return 0;
}
