#include "gui/comparison_job.h"

#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <future>

#include "app/trace_file.h"
#include "sql/shown_text.h"

namespace {

// The job's threads give way to the GUI thread: with both cores busy
// preparing the two sides, the window's answers waited for the scheduler
// (stalls of 130-160 ms against 25-50 ms with one thread at work).
void yieldToTheGuiThread() { setpriority(PRIO_PROCESS, 0, 10); }

bool loadDocument(DocumentLoader& document, const SVString& text) {
  return loadShownText(document, text, traceTextFacts(text.c_str(), text.length()));
}

}  // namespace

ComparisonJob::ComparisonJob(QByteArray pathA, QByteArray pathB, std::unique_ptr<DocumentLoader> documentA,
                             std::unique_ptr<DocumentLoader> documentB, QObject* parent)
    : QObject(parent),
      pathA_(std::move(pathA)),
      pathB_(std::move(pathB)),
      documentA_(std::move(documentA)),
      documentB_(std::move(documentB)) {}

ComparisonJob::~ComparisonJob() {
  if (thread_.joinable()) thread_.join();
  // Documents not shown and a result not taken (a comparison dropped or
  // failed) go away from the GUI thread.
  releaseAway(std::move(documentA_));
  releaseAway(std::move(documentB_));
  releaseAway(std::move(result_));
}

void ComparisonJob::start() {
  result_ = std::make_unique<FileComparison>();
  thread_ = std::thread([this] { run(); });
}

template <class Call>
void ComparisonJob::post(Call call) {
  QMetaObject::invokeMethod(this, call, Qt::QueuedConnection);
}

void ComparisonJob::run() {
  FileComparison& r = *result_;
  yieldToTheGuiThread();
  // B is read first, then A while B's document fills: filling a document
  // makes its room (first touch of every page) and its line index, most
  // of the time before the texts can show. Then each side's thread scans
  // its own text and builds its facts and line table, the larger part of
  // the comparison, while the texts show. The threads only read the texts
  // and write their own side's parts of the result.
  failedSide_ = kComparedB;
  code_ = loadComparedFile(pathB_.constData(), r.b);
  if (code_ == LoadOk) {
    std::promise<bool> filledB;
    std::future<bool> loadedB = filledB.get_future();
    std::atomic<bool> goOn{true};
    int preparedB = LoadNoMemory;
    std::thread sideB([&] {
      yieldToTheGuiThread();
      filledB.set_value(loadDocument(*documentB_, r.b.text));
      if (goOn) preparedB = prepareComparedSide(r, kComparedB);
    });
    failedSide_ = kComparedA;
    code_ = loadComparedFile(pathA_.constData(), r.a);
    const bool loadedA = code_ == LoadOk && loadDocument(*documentA_, r.a.text);
    goOn = loadedA;  // B is not prepared in vain when A failed before its fill ended
    const bool bothLoaded = loadedB.get() && loadedA;
    if (code_ == LoadOk && !bothLoaded) {
      code_ = LoadNoMemory;
      failedSide_ = loadedA ? kComparedB : kComparedA;
    }
    if (code_ == LoadOk) {
      post([this] { emit documentsLoaded(); });
      code_ = prepareComparedSide(r, kComparedA);
    }
    sideB.join();
    if (code_ == LoadOk) code_ = preparedB == LoadOk ? comparePreparedFiles(r) : LoadNoMemory;
    r.a.text.release();
    r.b.text.release();
    r.dropFacts();
    // Most of that was allocated on these threads' heaps, which keep freed
    // memory unless asked to give it back.
    malloc_trim(0);
  }
  // The last thing the thread does: the GUI thread joins it, then tells.
  // A job destroyed first drops the notice with its other posted events.
  post([this] {
    if (thread_.joinable()) thread_.join();
    emit finished();
    if (code_ != LoadOk) releaseAway(std::move(result_));
  });
}
