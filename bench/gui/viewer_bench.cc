// The viewer's speed, offscreen, on a 64 MiB trace built from the samples:
// start-up to a painted window with the outline filled, choosing outline
// nodes, switching wrap and the final-query option; and, on the same trace
// made valid UTF-8, the keys and searches that start with the caret at the
// end of the text (where the editor's caret bookkeeping used to walk the
// whole text).
//
// With "--peak-memory=FILE" the program instead starts the viewer on FILE
// in this fresh process, paints it and prints the peak resident size, so
// that nothing of the benchmark's own (the generated trace) is counted.
#include <benchmark/benchmark.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QWindow>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/gui/utf8_trace.h"
#include "gui/editor_search.h"
#include "gui/access_paths_view.h"
#include "gui/main_window.h"
#include "gui/multi_line_tree.h"
#include "gui/search_map.h"
#include "gui/trace_frame.h"
#include "gui/why_pane.h"
#include "trace/trace_scanner.h"

namespace {

std::string benchDir() { return QDir::tempPath().toStdString() + "/zazozav_viewer_bench"; }

// The 64 MiB trace as a file, written once per run.
const std::string& largeTraceFile() {
  static const std::string path = [] {
    QDir().mkpath(QString::fromStdString(benchDir()));
    const std::string file = benchDir() + "/large.trc";
    if (writeGeneratedTrace(file.c_str(), kLargeTraceSize) != 0) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
    }
    return file;
  }();
  return path;
}

// The 64 MiB trace with every byte above 0x7F made '?', so that it is
// valid UTF-8, and a word of its own on the last line.
const std::string& largeUtf8TraceFile() {
  static const std::string path = [] {
    QDir().mkpath(QString::fromStdString(benchDir()));
    const std::string file = benchDir() + "/large_utf8.trc";
    if (writeUtf8Trace(file.c_str()) != 0) std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return file;
  }();
  return path;
}

// A settings directory whose file holds `options` (and nothing when the
// options are the defaults).
std::string settingsDir(int options) {
  const std::string dir = benchDir() + "/settings" + std::to_string(options) + "/";
  QDir().mkpath(QString::fromStdString(dir));
  QFile file(QString::fromStdString(dir + "zazozav.ini"));
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    file.write(("[ZAzozav]\nOptions=" + std::to_string(options) + "\n").c_str());
  }
  return dir;
}

std::unique_ptr<TForm1> startWindow(const std::string& trace, int options) {
  const std::string workdir = "workdir=" + settingsDir(options);
  const char* arguments[] = {trace.c_str(), workdir.c_str()};
  auto window = std::make_unique<TForm1>(2, arguments);
  window->show();
  // A window paints only once it is exposed; then repaint() paints the
  // whole window, outline and editor, before it returns.
  while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  window->repaint();
  return window;
}

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void BM_StartToPaintedWindow(benchmark::State& state) {
  const std::string& trace = largeTraceFile();
  const int options = state.range(0) != 0 ? 7 : 6;
  int32_t nodes = 0;
  for (auto _ : state) {
    auto window = startWindow(trace, options);
    nodes = window->frame()->tree()->nodeCount();
    state.PauseTiming();
    window.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["outlineNodes"] = nodes;
  state.counters["peakMiB"] = peakMiB();
}
BENCHMARK(BM_StartToPaintedWindow)->ArgName("wrap")->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

// The windows the interaction benchmarks share; closed before the
// application object goes, which they need.
std::unique_ptr<TForm1> shared;
std::unique_ptr<TForm1> sharedUtf8;

// One window with the large trace for the interaction benchmarks, with
// the whole text in the editor (the benchmarks send it messages directly).
TForm1& sharedWindow() {
  if (!shared) {
    shared = startWindow(largeTraceFile(), 6);
    shared->frame()->completeText();
  }
  return *shared;
}

// One window with the valid UTF-8 trace.
TForm1& sharedUtf8Window() {
  if (!sharedUtf8) {
    sharedUtf8 = startWindow(largeUtf8TraceFile(), 6);
    sharedUtf8->frame()->completeText();
  }
  return *sharedUtf8;
}

void caretToEnd(TForm1& window) {
  window.frame()->editor()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
  window.repaint();
}

void press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent down(QEvent::KeyPress, key, modifiers);
  QKeyEvent up(QEvent::KeyRelease, key, modifiers);
  QCoreApplication::sendEvent(widget, &down);
  QCoreApplication::sendEvent(widget, &up);
}

// Tree items in document order: the first, the middle and the last.
int32_t itemAt(MultiLineTree0* tree, int which) {
  if (which == 0) return 0;
  if (which == 1) return tree->nodeCount() / 2;
  return tree->nodeCount() - 1;
}

void BM_ChooseNode(benchmark::State& state) {
  TForm1& window = sharedWindow();
  MultiLineTree0* tree = window.frame()->tree();
  const int32_t item = itemAt(tree, static_cast<int>(state.range(0)));
  const int32_t other = item == 0 ? 1 : 0;
  for (auto _ : state) {
    state.PauseTiming();
    tree->chooseNode(other);
    window.repaint();
    state.ResumeTiming();
    tree->chooseNode(item);
    window.repaint();
  }
  state.counters["line"] = window.frame()->highlightStart();
}
BENCHMARK(BM_ChooseNode)->ArgName("node")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The same, with the caret at the end of a valid UTF-8 trace.
void BM_ChooseNodeCaretAtEnd(benchmark::State& state) {
  TForm1& window = sharedUtf8Window();
  MultiLineTree0* tree = window.frame()->tree();
  const int32_t item = itemAt(tree, static_cast<int>(state.range(0)));
  const int32_t other = item == 0 ? 1 : 0;
  for (auto _ : state) {
    state.PauseTiming();
    tree->chooseNode(other);
    caretToEnd(window);
    state.ResumeTiming();
    tree->chooseNode(item);
    window.repaint();
  }
}
BENCHMARK(BM_ChooseNodeCaretAtEnd)->ArgName("node")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Keys in the editor with the caret at the end: Page Up, and Ctrl+Home
// (then back with Ctrl+End, untimed).
void BM_KeyCaretAtEnd(benchmark::State& state) {
  TForm1& window = sharedUtf8Window();
  QWidget* editor = window.frame()->editor();
  const bool home = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    caretToEnd(window);
    state.ResumeTiming();
    if (home) {
      press(editor, Qt::Key_Home, Qt::ControlModifier);
    } else {
      press(editor, Qt::Key_PageUp);
    }
    window.repaint();
  }
}
BENCHMARK(BM_KeyCaretAtEnd)->ArgName("home")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Ctrl+End from the top of the valid UTF-8 trace.
void BM_CtrlEndFromTop(benchmark::State& state) {
  TForm1& window = sharedUtf8Window();
  QsciScintilla* editor = window.frame()->editor();
  for (auto _ : state) {
    state.PauseTiming();
    editor->SendScintilla(QsciScintillaBase::SCI_DOCUMENTSTART);
    window.repaint();
    state.ResumeTiming();
    press(editor, Qt::Key_End, Qt::ControlModifier);
    window.repaint();
  }
}
BENCHMARK(BM_CtrlEndFromTop)->Unit(benchmark::kMillisecond);

// The End key in the outline, from its first node: the view lays out
// every top-level node above the last.
void BM_OutlineEndKey(benchmark::State& state) {
  TForm1& window = sharedUtf8Window();
  MultiLineTree0* tree = window.frame()->tree();
  for (auto _ : state) {
    state.PauseTiming();
    tree->chooseNode(0);
    tree->scrollToTop();
    window.repaint();
    state.ResumeTiming();
    press(tree, Qt::Key_End);
    window.repaint();
  }
}
BENCHMARK(BM_OutlineEndKey)->Unit(benchmark::kMillisecond);

// The find bar's search for the word on the last line, from the top
// (forward) and from the end (backward, to the first line's word).
void BM_Search(benchmark::State& state) {
  TForm1& window = sharedUtf8Window();
  QsciScintilla* editor = window.frame()->editor();
  const bool backward = state.range(0) != 0;
  int found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    editor->SendScintilla(backward ? QsciScintillaBase::SCI_DOCUMENTEND : QsciScintillaBase::SCI_DOCUMENTSTART);
    window.repaint();
    state.ResumeTiming();
    found = editorSearch(editor, backward ? QString("Trace file") : QString("ZYZZYVA"), backward ? 1 : 0);
    window.repaint();
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_Search)->ArgName("backward")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SwitchWrap(benchmark::State& state) {
  TForm1& window = sharedWindow();
  window.frame()->tree()->chooseNode(itemAt(window.frame()->tree(), 1));
  for (auto _ : state) {
    window.wrapBox()->click();
    window.repaint();
  }
  if (window.wrapBox()->isChecked()) window.wrapBox()->click();
}
BENCHMARK(BM_SwitchWrap)->Iterations(6)->Unit(benchmark::kMillisecond);

void BM_SwitchFinalQuery(benchmark::State& state) {
  TForm1& window = sharedWindow();
  window.frame()->tree()->chooseNode(itemAt(window.frame()->tree(), 1));
  for (auto _ : state) {
    window.formatQueryBox()->click();
    window.repaint();
  }
  state.counters["peakMiB"] = peakMiB();
}
BENCHMARK(BM_SwitchFinalQuery)->Iterations(4)->Unit(benchmark::kMillisecond);

// A 10 MB trace that is one line: it opens, and scrolling along it and
// down to its end repaints.
void BM_SingleLineTrace(benchmark::State& state) {
  const std::string path = benchDir() + "/single_line.trc";
  {
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      const QByteArray chunk("select a from b where c = 1 and d = 'x'; ");
      for (int64_t n = 0; n < 10 * 1000 * 1000; n += chunk.size()) file.write(chunk);
    }
  }
  for (auto _ : state) {
    auto window = startWindow(path, 6);
    QsciScintilla* editor = window->frame()->editor();
    for (int x : {2000, 200000, 0}) {
      editor->SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, static_cast<long>(x));
      window->repaint();
    }
    editor->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    window->repaint();
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SingleLineTrace)->Iterations(1)->Unit(benchmark::kMillisecond);

// The tree item of the last final cost in the large trace, and that of
// the one before it.
std::pair<int32_t, int32_t> lastFinalCostItems(TForm1& window) {
  MultiLineTree0* tree = window.frame()->tree();
  std::pair<int32_t, int32_t> found{-1, -1};
  for (int32_t item = tree->nodeCount() - 1; item >= 0 && found.second < 0; --item) {
    const int32_t node = tree->item(item).userIndex;
    const int32_t k = node >= 0 ? window.frame()->nodes()[node].keyPointIndex : -1;
    if (k < 0 || window.frame()->keyPoints()[k].kind != tkFinalQbCost) continue;
    (found.first < 0 ? found.first : found.second) = item;
  }
  return found;
}

// With "Why This Plan" shown, choosing a final cost in the outline: the
// editor goes there, the pane fills its tables and its search map.
void BM_WhyPaneFinalCostChosen(benchmark::State& state) {
  TForm1& window = sharedWindow();
  window.whyDock()->show();
  window.whyPane()->tabs()->setCurrentIndex(static_cast<int>(state.range(0)));
  const auto [last, before] = lastFinalCostItems(window);
  MultiLineTree0* tree = window.frame()->tree();
  for (auto _ : state) {
    state.PauseTiming();
    tree->chooseNode(before);
    window.repaint();
    state.ResumeTiming();
    tree->chooseNode(last);
    window.repaint();
  }
  state.counters["tables"] = window.whyPane()->accessPaths()->topLevelItemCount();
  window.whyDock()->hide();
}
BENCHMARK(BM_WhyPaneFinalCostChosen)->ArgName("tab")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A row of the pane (a join order of the map, then the question's answer)
// taking the editor to its lines, from the top of the large trace.
void BM_WhyPaneRowToItsLines(benchmark::State& state) {
  TForm1& window = sharedWindow();
  window.whyDock()->show();
  const auto [last, before] = lastFinalCostItems(window);
  window.frame()->tree()->chooseNode(last);
  WhyPane* pane = window.whyPane();
  const TraceDigest& digest = window.frame()->digest();
  const FactRange stretch = digestBlock(digest, digest.rows[pane->shownRow()]).stretchJoinOrders;
  for (auto _ : state) {
    state.PauseTiming();
    window.frame()->goToLine(1);
    window.repaint();
    state.ResumeTiming();
    if (state.range(0) == 0) {
      pane->searchMap()->chooseJoinOrder(stretch.first);
    } else {
      pane->question()->setText("LEADING(t s)");
      press(pane->question(), Qt::Key_Return);
    }
    window.repaint();
  }
  window.whyDock()->hide();
}
BENCHMARK(BM_WhyPaneRowToItsLines)->ArgName("ask")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A query block whose stretch holds 10,000 join orders in 40 searches, a
// third of them aborted: the search map of its final cost, built and
// painted.
std::string manyJoinOrdersTrace() {
  std::string t = "Registered qb: SEL$1 0x1 (PARSER)\nkkoqbc: optimizing query block SEL$1 (#0)\n";
  for (int k = 0; k < 10000; ++k) {
    const int number = k % 250 + 1;
    const double cost = 100.0 + (k * 7919 % 1000);
    t += "Join order[" + std::to_string(number) + "]:  A[A]#0  B[B]#1  C[C]#2  D[D]#3\n";
    t += "Best:: JoinMethod: Hash\n       Cost: " + std::to_string(cost) + "  Degree: 1\n";
    if (k % 3 == 0) {
      t += "Join order aborted: cost > best plan cost\n";
    } else {
      t += "Best so far:  Table#: 0  cost: " + std::to_string(cost) + "  card: 1.0  bytes: 7\n";
    }
  }
  return t + "Final cost for query block SEL$1 (#0) - All Rows Plan:\n  Best join order: 2\n"
             "  Cost: 101.0  Degree: 1  Card: 1.0  Bytes: 7\n";
}

void BM_SearchMapTenThousandJoinOrders(benchmark::State& state) {
  QDir().mkpath(QString::fromStdString(benchDir()));
  const std::string path = benchDir() + "/many_join_orders.trc";
  {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    file.write(QByteArray::fromStdString(manyJoinOrdersTrace()));
  }
  auto window = startWindow(path, 6);
  window->whyDock()->show();
  QCoreApplication::processEvents();
  SearchMapView* map = window->whyPane()->searchMap();
  window->whyPane()->tabs()->setCurrentWidget(map);
  for (auto _ : state) {
    map->showRow(0);
    map->chartView()->repaint();
  }
  const TraceDigest& digest = window->frame()->digest();
  state.counters["joinOrders"] = digestBlock(digest, digest.rows[0]).stretchJoinOrders.count;
}
BENCHMARK(BM_SearchMapTenThousandJoinOrders)->Iterations(5)->Unit(benchmark::kMillisecond);

int peakMemoryRun(const char* path) {
  auto window = startWindow(path, 6);
  window->frame()->completeText();
  std::printf("outline nodes %d, peak resident %.1f MiB\n", window->frame()->tree()->nodeCount(),
              peakMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr const char* kPeakOption = "--peak-memory=";
  if (argc > 1 && std::strncmp(argv[1], kPeakOption, std::strlen(kPeakOption)) == 0) {
    return peakMemoryRun(argv[1] + std::strlen(kPeakOption));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  shared.reset();
  sharedUtf8.reset();
  return 0;
}
