#include "gui/comparison_job.h"

#include <atomic>
#include <future>

#include "app/trace_file.h"
#include "sql/shown_text.h"

namespace {

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

int ComparisonJob::loadSide(int32_t side, std::atomic<bool>& goOn) {
  ComparedFile& file = side == kComparedA ? result_->a : result_->b;
  int code = loadComparedFile(path(side).constData(), file);
  if (code == LoadOk && goOn && !loadDocument(side == kComparedA ? *documentA_ : *documentB_, file.text)) {
    code = LoadNoMemory;
  }
  if (code != LoadOk) goOn = false;
  return code;
}

void ComparisonJob::run() {
  FileComparison& r = *result_;
  yieldToTheGuiThread();
  // Each side has a thread (B's is started here, A's is this one): it
  // reads its file and fills its document, which makes the document's
  // room and line index, most of the time before the texts can show; then
  // it scans its text and builds its facts and line table, the larger part
  // of the comparison, while the texts show. A side stops early once the
  // other failed. The threads only read their own texts and write their
  // own side's parts of the result.
  std::atomic<bool> goOn{true};
  std::promise<void> filledB;
  std::future<void> loadedB = filledB.get_future();
  int loadCodeB = LoadOk;
  int preparedB = LoadNoMemory;
  std::thread sideB([&] {
    yieldToTheGuiThread();
    loadCodeB = loadSide(kComparedB, goOn);
    filledB.set_value();
    if (loadCodeB == LoadOk && goOn) preparedB = prepareComparedSide(r, kComparedB);
  });
  const int loadCodeA = loadSide(kComparedA, goOn);
  loadedB.wait();
  int preparedA = LoadNoMemory;
  if (loadCodeA == LoadOk && loadCodeB == LoadOk) {
    post([this] { emit documentsLoaded(); });
    preparedA = prepareComparedSide(r, kComparedA);
  }
  sideB.join();
  // B's failure is told first, as when the files are read one by one;
  // running out of memory past the reading concerns side A.
  failedSide_ = loadCodeB != LoadOk ? kComparedB : kComparedA;
  if (loadCodeB != LoadOk || loadCodeA != LoadOk) {
    code_ = loadCodeB != LoadOk ? loadCodeB : loadCodeA;
  } else {
    code_ = preparedA == LoadOk && preparedB == LoadOk ? comparePreparedFiles(r) : LoadNoMemory;
  }
  // The texts, key points and facts are freed on the pool, which then has
  // the heaps give back what they hold freed: the comparison shows
  // meanwhile.
  releaseOnPool(std::make_shared<ComparedTexts>(r.takeTexts()));
  // The last thing the thread does: the GUI thread joins it, then tells.
  // A job destroyed first drops the notice with its other posted events.
  post([this] {
    if (thread_.joinable()) thread_.join();
    emit finished();
    if (code_ != LoadOk) releaseAway(std::move(result_));
  });
}
