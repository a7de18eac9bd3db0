#include "gui/comparison_job.h"

#include "app/trace_file.h"

ComparisonJob::ComparisonJob(QByteArray pathA, QByteArray pathB, QObject* parent)
    : QObject(parent), pathA_(std::move(pathA)), pathB_(std::move(pathB)) {}

ComparisonJob::~ComparisonJob() {
  if (thread_.joinable()) thread_.join();
}

void ComparisonJob::start() {
  result_ = std::make_unique<ComparisonResult>();
  thread_ = std::thread([this] { run(); });
}

void ComparisonJob::run() {
  ComparisonResult& r = *result_;
  code_ = compareFiles(pathA_.constData(), pathB_.constData(), r.files, failedSide_);
  if (code_ == LoadOk) {
    r.shownA = traceTextFacts(r.files.a.text.c_str(), r.files.a.text.length());
    r.shownB = traceTextFacts(r.files.b.text.c_str(), r.files.b.text.length());
  } else {
    result_.reset();
  }
  // The last thing the thread does: the GUI thread joins it, then tells.
  // A job destroyed first drops the notice with its other posted events.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (thread_.joinable()) thread_.join();
        emit finished();
      },
      Qt::QueuedConnection);
}
