#include "gui/comparison_job.h"

#include "app/trace_file.h"

namespace {

// Room for `text` as the editor shows it: a byte above 0x7F or a lone
// carriage return may become three bytes when the text is converted.
int64_t shownBytes(const SVString& text, const TraceTextFacts& facts) {
  if (facts.validUtf8 && facts.loneCarriageReturns == 0) return text.length();
  int64_t high = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.c_str());
  for (int32_t i = 0; i < text.length(); ++i) high += p[i] >> 7;
  return text.length() + 2 * (high + facts.loneCarriageReturns);
}

}  // namespace

ComparisonJob::ComparisonJob(QByteArray pathA, QByteArray pathB, QObject* parent)
    : QObject(parent), pathA_(std::move(pathA)), pathB_(std::move(pathB)) {}

ComparisonJob::~ComparisonJob() {
  if (thread_.joinable()) thread_.join();
}

void ComparisonJob::start() {
  result_ = std::make_unique<ComparisonResult>();
  thread_ = std::thread([this] { run(); });
}

template <class Call>
void ComparisonJob::post(Call call) {
  QMetaObject::invokeMethod(this, call, Qt::QueuedConnection);
}

void ComparisonJob::run() {
  ComparisonResult& r = *result_;
  code_ = loadComparedFiles(pathA_.constData(), pathB_.constData(), r.files, failedSide_);
  if (code_ == LoadOk) {
    r.shownA = traceTextFacts(r.files.a.text.c_str(), r.files.a.text.length());
    r.shownB = traceTextFacts(r.files.b.text.c_str(), r.files.b.text.length());
    r.shownBytesA = shownBytes(r.files.a.text, r.shownA);
    r.shownBytesB = shownBytes(r.files.b.text, r.shownB);
    post([this] { emit textsRead(); });
    failedSide_ = kComparedA;
    code_ = compareLoadedFiles(r.files);
  }
  // The last thing the thread does: the GUI thread joins it, then tells.
  // A job destroyed first drops the notice with its other posted events.
  post([this] {
    if (thread_.joinable()) thread_.join();
    emit finished();
    if (code_ != LoadOk) result_.reset();
  });
}
