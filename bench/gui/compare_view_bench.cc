// "Compare with…" on two 64 MiB traces, offscreen: from the command to
// both texts shown (textsShownMs: both editors hold their whole texts and
// may paint) and to the comparison shown and painted (the iteration's
// time), and the longest time the window's event loop was held up
// meanwhile, probed every 5 ms: as time passed (longestStallMs), and as
// time the GUI thread spent working between two probes (longestBusyMs),
// which a loaded machine does not stretch. B is the generated trace
// with its heap figures rewritten and 400 lines changed, or with its
// letters moved on by 13 (no line in common).
//
// With "--peak-memory" the program instead opens one comparison of the
// near-same pair in this fresh process and prints the peak resident size,
// and the resident size once the comparison is closed again. It reads the
// files an earlier run left, so that the generated texts are not counted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QWindow>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "gui/compare_view.h"
#include "gui/document_loader.h"
#include "gui/trace_editor.h"
#include "gui/main_window.h"
#include "gui/trace_frame.h"

namespace {

std::string benchDir() { return QDir::tempPath().toStdString() + "/zazozav_compare_view_bench"; }

bool writeText(const std::string& path, const SVString& text, int64_t length) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.c_str(), length) == length;
}

enum Pair { kNearSame = 0, kUnrelated = 1 };

std::string tracePath(int which) { return benchDir() + "/trace" + std::to_string(which) + ".trc"; }

bool traceWritten(int which) {
  return QFileInfo(QString::fromStdString(tracePath(which))).size() == kLargeTraceSize;
}

// 0: the generated trace, A; 1 and 2: B of each pair. Written unless an
// earlier run wrote them.
std::string traceFile(int which) {
  const std::string path = tracePath(which);
  if (traceWritten(which)) return path;
  QDir().mkpath(QString::fromStdString(benchDir()));
  const SVString& original = generatedTrace(kLargeTraceSize);
  const int64_t length = original.length() - 2;  // without the appended line end
  SVString copy;
  copy.assign(original);
  char* s = copy.data();
  if (which == 1) {
    // Other heap figures, and 400 lines with another last byte.
    for (int64_t i = 7; i < length; ++i) {
      if (s[i] >= '0' && s[i] <= '9' && (std::memcmp(s + i - 6, "alloc=", 6) == 0 || std::memcmp(s + i - 7, "in-use=", 7) == 0)) {
        s[i] = s[i] == '9' ? '1' : '9';
      }
    }
    std::mt19937 random(5);
    for (int changed = 0; changed < 400;) {
      const int64_t at = 1 + static_cast<int64_t>(random() % static_cast<uint32_t>(length - 2));
      if (s[at] != '\n' || s[at - 1] == '\n' || s[at - 1] == '\r') continue;
      s[at - 1] = s[at - 1] == '#' ? '%' : '#';
      ++changed;
    }
  } else if (which == 2) {
    for (int64_t i = 0; i < length; ++i) {
      if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>('a' + (s[i] - 'a' + 13) % 26);
      if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>('A' + (s[i] - 'A' + 13) % 26);
    }
  }
  if (!writeText(path, copy, length)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return path;
}

std::unique_ptr<TForm1> startWindow() {
  const std::string workdir = "workdir=" + benchDir() + "/";
  const std::string trace = traceFile(0);
  const char* arguments[] = {trace.c_str(), workdir.c_str()};
  auto window = std::make_unique<TForm1>(2, arguments);
  window->resize(1200, 800);
  window->show();
  while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  // The whole trace is in the editor before the comparison starts, so
  // that what is timed is the comparison's own work.
  while (window->frame()->textPending()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  window->repaint();
  return window;
}

// What one opening of the comparison took, in milliseconds.
struct Opening {
  double textsShown = 0;
  double longestStall = 0;
  double longestBusy = 0;
};

// The calling thread's processor time, in milliseconds.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Both editors of the view hold their whole texts and may paint them.
bool textsShown(CompareView& view) {
  for (QsciScintilla* editor : {static_cast<QsciScintilla*>(view.editorA()), static_cast<QsciScintilla*>(view.editorB())}) {
    if (!editor->updatesEnabled() || editor->length() < kLargeTraceSize) return false;
  }
  return true;
}

// Opens the comparison with `pathB` and runs the event loop until it is
// shown and painted: when both texts showed, and the longest gap between
// two turns of the loop.
Opening openComparison(TForm1& window, const std::string& pathB) {
  Opening opening;
  QElapsedTimer sinceStart;
  QElapsedTimer sinceTick;
  double longest = 0;
  double cpuAtTick = threadCpuMs();
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
    sinceTick.restart();
    const double cpu = threadCpuMs();
    opening.longestBusy = std::max(opening.longestBusy, cpu - cpuAtTick);
    cpuAtTick = cpu;
  });
  sinceTick.start();
  tick.start();
  sinceStart.start();
  window.compareWith(QString::fromStdString(pathB));
  CompareView* view = window.compareView();
  while (view->comparison() == nullptr) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (opening.textsShown == 0 && textsShown(*view)) opening.textsShown = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
  }
  window.repaint();
  if (opening.textsShown == 0) opening.textsShown = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
  opening.longestStall = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
  opening.longestBusy = std::max(opening.longestBusy, threadCpuMs() - cpuAtTick);
  return opening;
}

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

double residentMiB() {
  long pages = 0;
  long resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_OpenComparison(benchmark::State& state) {
  const std::string pathB = traceFile(state.range(0) == kNearSame ? 1 : 2);
  auto window = startWindow();
  double longest = 0;
  double busy = 0;
  double shown = 0;
  int32_t rows = 0;
  for (auto _ : state) {
    const Opening opening = openComparison(*window, pathB);
    longest = std::max(longest, opening.longestStall);
    busy = std::max(busy, opening.longestBusy);
    shown += opening.textsShown;
    rows = window->compareView()->comparison()->differences.rows.count();
    state.PauseTiming();
    window->closeComparison();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["longestStallMs"] = longest;
  state.counters["longestBusyMs"] = busy;
  state.counters["textsShownMs"] = shown / static_cast<double>(state.iterations());
  state.counters["listRows"] = rows;
}
BENCHMARK(BM_OpenComparison)->ArgName("unrelated")->Arg(kNearSame)->Arg(kUnrelated)->Iterations(3)->Unit(
    benchmark::kMillisecond);

int peakMemoryRun() {
  if (!traceWritten(0) || !traceWritten(1)) {
    std::fprintf(stderr, "run the benchmark once first: it writes the traces to %s\n", benchDir().c_str());
    return 1;
  }
  const std::string pathB = traceFile(1);
  auto window = startWindow();
  std::printf("one trace shown: resident %.1f MiB\n", residentMiB());
  const Opening opening = openComparison(*window, pathB);
  std::printf(
      "comparison shown: resident %.1f MiB, peak %.1f MiB, texts shown after %.0f ms, longest stall %.0f ms "
      "(busy %.0f ms)\n",
      residentMiB(), peakMiB(), opening.textsShown, opening.longestStall, opening.longestBusy);
  window->closeComparison();
  // The editors let go of their documents in the turns after the close,
  // and the view frees them on other threads: all that before the count.
  CompareView* view = window->compareView();
  for (int turn = 0; turn < 100 && (view->editorA()->length() > 0 || view->editorB()->length() > 0); ++turn) {
    QCoreApplication::processEvents();
  }
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::processEvents();
  std::printf("comparison closed: resident %.1f MiB\n", residentMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  shareWorkerHeaps();  // as the viewer does
  QApplication app(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--peak-memory") == 0) return peakMemoryRun();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
