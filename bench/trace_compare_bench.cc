// Comparing two 64 MiB traces: one against a copy with other noise and a
// few hundred changed lines, and against unrelated texts, in one run, so
// the ratio shows that nothing grows quadratically. Each case includes the
// key-point scan and the facts of both traces, as `zazozav-cli compare`
// runs them (loading and printing left out).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "app/trace_file.h"
#include "bench/bench_support.h"
#include "compare/trace_comparison.h"

namespace {

// The generated trace with every address and heap figure rewritten (same
// lengths) and `changed` lines given other last bytes.
std::unique_ptr<SVString> variantOf(const SVString& original, int changed) {
  auto copy = std::make_unique<SVString>();
  copy->assign(original);
  char* s = copy->data();
  const int32_t n = copy->length();
  for (int32_t i = 1; i + 2 < n; ++i) {
    if (s[i] == 'x' && s[i - 1] == '0' && (i < 2 || s[i - 2] == ' ' || s[i - 2] == '=' || s[i - 2] == '(')) {
      for (int32_t k = i + 1; k < n && std::strchr("0123456789abcdef", s[k]) && s[k]; ++k) s[k] = s[k] == 'f' ? '0' : 'f';
    }
    if (s[i] == '=' && i >= 5 && (std::memcmp(s + i - 5, "alloc", 5) == 0 || std::memcmp(s + i - 5, "n-use", 5) == 0)) {
      for (int32_t k = i + 1; k < n && s[k] >= '0' && s[k] <= '9'; ++k) s[k] = s[k] == '9' ? '1' : '9';
    }
  }
  std::mt19937 random(11);
  for (int done = 0; done < changed;) {
    const int32_t at = static_cast<int32_t>(random() % static_cast<uint32_t>(n - 2));
    if (s[at] != '\n' || s[at - 1] == '\n' || s[at - 1] == '\r') continue;
    s[at - 1] = s[at - 1] == '#' ? '%' : '#';
    ++done;
  }
  return copy;
}

// Every letter moved on by 13: no marker and no line in common.
std::unique_ptr<SVString> unrelatedTo(const SVString& original) {
  auto copy = std::make_unique<SVString>();
  copy->assign(original);
  for (int32_t i = 0; i < copy->length(); ++i) {
    char& c = copy->data()[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>('a' + (c - 'a' + 13) % 26);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>('A' + (c - 'A' + 13) % 26);
  }
  return copy;
}

// A file repeated to 64 MiB, when ZAZOZAV_BENCH_TRACE names one.
std::unique_ptr<SVString> namedTrace() {
  const char* path = std::getenv("ZAZOZAV_BENCH_TRACE");
  if (!path || !*path) return nullptr;
  SVString one;
  if (loadFromFile(one, path) != 0 || one.length() == 0) return nullptr;
  auto repeated = std::make_unique<SVString>();
  while (repeated->length() + one.length() <= kLargeTraceSize) repeated->append(one);
  repeated->append("\r\n", 2);
  return repeated;
}

void compareWith(benchmark::State& state, const SVString& a, const SVString& b) {
  for (auto _ : state) {
    KeyPoints_c keysA;
    KeyPoints_c keysB;
    TraceFacts factsA;
    TraceFacts factsB;
    scanKeyPoints(keysA, a);
    scanKeyPoints(keysB, b);
    buildTraceFacts(factsA, a.c_str(), a.length(), keysA);
    buildTraceFacts(factsB, b.c_str(), b.length(), keysB);
    readAllStatementLists(factsA);
    readAllStatementLists(factsB);
    TraceComparison c;
    compareTraces({a.c_str(), a.length(), &keysA, &factsA}, {b.c_str(), b.length(), &keysB, &factsB}, c);
    state.counters["hunks"] = c.hunks.count();
    state.counters["pairs"] = c.pairs.count();
  }
}

void BM_CompareNearlyTheSame(benchmark::State& state) {
  static const auto b = variantOf(generatedTrace(kLargeTraceSize), 400);
  compareWith(state, generatedTrace(kLargeTraceSize), *b);
}
BENCHMARK(BM_CompareNearlyTheSame)->Unit(benchmark::kMillisecond);

void BM_CompareUnrelatedText(benchmark::State& state) {
  static const auto b = unrelatedTo(generatedTrace(kLargeTraceSize));
  compareWith(state, generatedTrace(kLargeTraceSize), *b);
}
BENCHMARK(BM_CompareUnrelatedText)->Unit(benchmark::kMillisecond);

// Statements paired in order, none alike: the generated trace against the
// named one.
void BM_CompareUnrelatedTrace(benchmark::State& state) {
  static const auto b = namedTrace();
  if (!b) {
    state.SkipWithError("set ZAZOZAV_BENCH_TRACE to a trace file");
    return;
  }
  compareWith(state, generatedTrace(kLargeTraceSize), *b);
}
BENCHMARK(BM_CompareUnrelatedTrace)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
