// Loading, key-point scan and outline build over a 64 MiB trace.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/trace_file.h"
#include "bench/bench_support.h"
#include "outline/key_points.h"
#include "outline/outline_model.h"

namespace {

void BM_KeyPointScan(benchmark::State& state) {
  const SVString& text = generatedTrace(kLargeTraceSize);
  KeyPoints_c list;
  for (auto _ : state) {
    resetKeyPoints(list);
    scanKeyPoints(list, text);
    benchmark::DoNotOptimize(list.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
  state.counters["keyPoints"] = list.count();
}
BENCHMARK(BM_KeyPointScan)->Unit(benchmark::kMillisecond);

// The token-by-token scan the fast one is checked against, for comparison.
void BM_KeyPointScanReference(benchmark::State& state) {
  const SVString& text = generatedTrace(kLargeTraceSize);
  KeyPoints_c list;
  for (auto _ : state) {
    resetKeyPoints(list);
    scanKeyPointsReference(list, text.c_str(), text.length());
    benchmark::DoNotOptimize(list.count());
  }
  state.SetBytesProcessed(state.iterations() * text.length());
}
BENCHMARK(BM_KeyPointScanReference)->Unit(benchmark::kMillisecond);

void BM_OutlineBuild(benchmark::State& state) {
  const SVString& text = generatedTrace(kLargeTraceSize);
  KeyPoints_c keyPoints;
  scanKeyPoints(keyPoints, text);
  NodeMarrow_Array_c nodes;
  for (auto _ : state) {
    nodes.reset();
    buildOutline(nodes, keyPoints, text.c_str(), text.length());
    benchmark::DoNotOptimize(nodes.count());
  }
  state.counters["keyPoints"] = keyPoints.count();
  state.counters["nodes"] = nodes.count();
}
BENCHMARK(BM_OutlineBuild)->Unit(benchmark::kMillisecond);

void BM_LoadFromFile(benchmark::State& state) {
  const std::string path = "/tmp/zazozav_bench_64mib.trc";
  if (writeGeneratedTrace(path.c_str(), kLargeTraceSize) != 0) {
    state.SkipWithError("cannot write the trace file");
    return;
  }
  for (auto _ : state) {
    SVString text;
    benchmark::DoNotOptimize(loadFromFile(text, path.c_str()));
  }
  state.SetBytesProcessed(state.iterations() * kLargeTraceSize);
  std::remove(path.c_str());
}
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
