// The trace-facts pass over a 64 MiB trace, beside the key-point scan it
// rides on, in one run so the share can be read off directly. The trace
// is generated from the samples, or, when ZAZOZAV_BENCH_TRACE names a
// file, that file repeated up to 64 MiB.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/trace_file.h"
#include "bench/bench_support.h"
#include "facts/trace_digest.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"
#include "report/trace_report.h"

namespace {

const SVString& benchTrace() {
  static std::unique_ptr<SVString> repeated;
  const char* path = std::getenv("ZAZOZAV_BENCH_TRACE");
  if (!path || !*path) return generatedTrace(kLargeTraceSize);
  if (!repeated) {
    repeated = std::make_unique<SVString>();
    SVString one;
    if (loadFromFile(one, path) != 0 || one.length() == 0) {
      std::fprintf(stderr, "cannot read %s\n", path);
      std::exit(1);
    }
    while (repeated->length() + one.length() <= kLargeTraceSize) repeated->append(one);
    repeated->append("\r\n", 2);
  }
  return *repeated;
}

void BM_KeyPointScan(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c list;
  for (auto _ : state) {
    resetKeyPoints(list);
    scanKeyPoints(list, text);
    benchmark::DoNotOptimize(list.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}
BENCHMARK(BM_KeyPointScan)->Unit(benchmark::kMillisecond);

void BM_TraceFacts(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  TraceFacts facts;
  for (auto _ : state) {
    buildTraceFacts(facts, text.c_str(), text.length(), keyPoints);
    benchmark::DoNotOptimize(facts.statements.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
  state.counters["statements"] = facts.statements.count();
  state.counters["queryBlocks"] = facts.queryBlocks.count();
  state.counters["joinOrders"] = facts.joinOrders.count();
}
BENCHMARK(BM_TraceFacts)->Unit(benchmark::kMillisecond);

// With every statement's parameters, fix controls, plan and outline, as
// the summary and comparison commands read them.
void BM_TraceFactsWithLists(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  TraceFacts facts;
  for (auto _ : state) {
    buildTraceFacts(facts, text.c_str(), text.length(), keyPoints);
    readAllStatementLists(facts);
    benchmark::DoNotOptimize(facts.parameters.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
  state.counters["parameters"] = facts.parameters.count();
  state.counters["fixControls"] = facts.fixControls.count();
}
BENCHMARK(BM_TraceFactsWithLists)->Unit(benchmark::kMillisecond);

// The two together, as a load runs them.
void BM_KeyPointScanAndFacts(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  TraceFacts facts;
  for (auto _ : state) {
    resetKeyPoints(keyPoints);
    scanKeyPoints(keyPoints, text);
    buildTraceFacts(facts, text.c_str(), text.length(), keyPoints);
    benchmark::DoNotOptimize(facts.statements.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}
BENCHMARK(BM_KeyPointScanAndFacts)->Unit(benchmark::kMillisecond);

// The same in one walk: the facts pass follows the scan, a stretch at a
// time. Its share of the scan is this time less the scan's, over the scan's.
void BM_KeyPointScanWithFacts(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  TraceFacts facts;
  for (auto _ : state) {
    scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), text.length());
    benchmark::DoNotOptimize(facts.statements.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}
BENCHMARK(BM_KeyPointScanWithFacts)->Unit(benchmark::kMillisecond);

// What the viewer adds to a load: the facts pass and the copy of what its
// summary pane and outline tooltips keep (trace_digest.h).
void BM_TraceDigest(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  TraceDigest digest;
  for (auto _ : state) {
    buildTraceDigest(digest, text.c_str(), text.length(), keyPoints);
    benchmark::DoNotOptimize(digest.rows.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
  state.counters["rows"] = digest.rows.count();
  const TraceFacts& f = digest.facts;
  state.counters["joinOrders"] = f.joinOrders.count();
  state.counters["poolKiB"] = digest.pool.length() / 1024.0;
  auto bytes = [](const auto& list) { return static_cast<double>(list.count()) * list.kRecordSize; };
  state.counters["keptKiB"] =
      (digest.pool.capacity() + bytes(digest.rows) + bytes(digest.statements) + bytes(digest.queryBlockRows) +
       bytes(f.statements) + bytes(f.queryBlocks) + bytes(f.joinOrders) + bytes(f.tables) + bytes(f.accessPaths) +
       bytes(f.accessCandidates) + bytes(f.accessFlags) + bytes(f.keyPointLines)) /
      1024.0;
}
BENCHMARK(BM_TraceDigest)->Unit(benchmark::kMillisecond);

// The HTML report of the whole trace from its facts with their lists, as
// zazozav-cli report and "Save Report…" write it after loading.
void BM_TraceReport(benchmark::State& state) {
  const SVString& text = benchTrace();
  KeyPoints_c keyPoints;
  TraceFacts facts;
  scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), text.length());
  readAllStatementLists(facts);
  SVString page;
  for (auto _ : state) {
    writeTraceReport(ReportedTrace{"bench.trc", text.c_str(), text.length(), &facts}, page);
    benchmark::DoNotOptimize(page.length());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
  state.counters["statements"] = facts.statements.count();
  state.counters["pageMiB"] = page.length() / 1048576.0;
}
BENCHMARK(BM_TraceReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
