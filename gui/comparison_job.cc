#include "gui/comparison_job.h"

#include <malloc.h>

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
  // Documents not shown (a comparison dropped or failed) go away from
  // the GUI thread.
  releaseAway(std::move(documentA_));
  releaseAway(std::move(documentB_));
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
  // B is read first, then A while B's document fills: filling a document
  // makes its room (first touch of every page) and its line index, most
  // of the time before the texts can show. Both threads only read the
  // texts.
  failedSide_ = kComparedB;
  code_ = loadComparedFile(pathB_.constData(), r.b);
  if (code_ == LoadOk) {
    bool loadedB = false;
    std::thread sideB([&] { loadedB = loadDocument(*documentB_, r.b.text); });
    failedSide_ = kComparedA;
    code_ = loadComparedFile(pathA_.constData(), r.a);
    const bool loadedA = code_ == LoadOk && loadDocument(*documentA_, r.a.text);
    sideB.join();
    if (code_ == LoadOk && (!loadedA || !loadedB)) {
      code_ = LoadNoMemory;
      failedSide_ = loadedA ? kComparedB : kComparedA;
    }
    if (code_ == LoadOk) {
      post([this] { emit documentsLoaded(); });
      code_ = compareLoadedFiles(r);
    }
    r.a.text.release();
    r.b.text.release();
    r.dropFacts();
    // Most of that was allocated on this thread's heap, which keeps freed
    // memory unless asked to give it back.
    malloc_trim(0);
  }
  // The last thing the thread does: the GUI thread joins it, then tells.
  // A job destroyed first drops the notice with its other posted events.
  post([this] {
    if (thread_.joinable()) thread_.join();
    emit finished();
    if (code_ != LoadOk) result_.reset();
  });
}
