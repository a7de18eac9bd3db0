// Line styling by the trace highlighter, the work the editor repeats for
// every line it paints.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "trace/trace_highlighter.h"

namespace {

// Styles every line of a generated trace, carrying the mode as the editor
// lexer does.
void BM_StyleAllLines(benchmark::State& state) {
  const SVString& text = generatedTrace(state.range(0));
  const char* bytes = text.c_str();
  const int32_t length = text.length();
  std::vector<uint8_t> styles(static_cast<size_t>(length) + 1);
  ZAzozav_Hiliter_c h;
  int64_t lines = 0;
  for (auto _ : state) {
    h.clearRange();
    lines = 0;
    int32_t start = 0;
    while (start < length) {
      const void* feed = std::memchr(bytes + start, '\n', static_cast<size_t>(length - start));
      const int32_t next = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - bytes) + 1 : length;
      int32_t textEnd = feed ? next - 1 : length;
      if (feed && textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
      fillTraceLineStyles(h, bytes + start, textEnd - start, next - textEnd, 0, styles.data() + start);
      h.restoreRange(h.saveRange());
      start = next;
      ++lines;
    }
    benchmark::DoNotOptimize(styles.data());
  }
  state.SetBytesProcessed(state.iterations() * length);
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_StyleAllLines)->Arg(4 << 20)->Arg(kLargeTraceSize)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
