// ComparisonJob: one comparison of two trace files, read and compared on
// a thread of its own so that the window keeps painting meanwhile. The
// thread touches no widget and no Qt object: it fills the job's result,
// which the job owns until the GUI thread takes it, once `finished` is
// emitted. Between `textsRead` and `finished` the thread only reads the
// texts, and the GUI thread may read them too (to put them into the
// editors while the comparison runs). Signals come on the GUI thread.
// Destroying the job waits for the thread.
#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <memory>
#include <thread>

#include "compare/file_comparison.h"
#include "gui/shown_text.h"

// What the thread makes: the comparison and how each text is to be shown.
struct ComparisonResult {
  FileComparison files;
  TraceTextFacts shownA;
  TraceTextFacts shownB;
  // At least the bytes each text takes in the editor (a byte it shows as
  // a character of its own takes up to three), and not many more.
  int64_t shownBytesA = 0;
  int64_t shownBytesB = 0;
};

class ComparisonJob : public QObject {
  Q_OBJECT

 public:
  // Paths in the local 8-bit encoding, as Open reads them.
  ComparisonJob(QByteArray pathA, QByteArray pathB, QObject* parent = nullptr);
  ~ComparisonJob() override;
  ComparisonJob(const ComparisonJob&) = delete;
  ComparisonJob& operator=(const ComparisonJob&) = delete;

  // Starts the thread; `finished` follows once it is done.
  void start();

  // After `finished`: 0 or the LoadResult code, and the side it concerns.
  int code() const { return code_; }
  int32_t failedSide() const { return failedSide_; }
  const QByteArray& path(int32_t side) const { return side == kComparedA ? pathA_ : pathB_; }
  // From `textsRead` on: the result, whose texts and shown facts (and
  // nothing else) may be read until `finished`.
  const ComparisonResult* result() const { return result_.get(); }
  // After `finished` with code 0: the result, handed over once.
  std::unique_ptr<ComparisonResult> takeResult() { return std::move(result_); }

 signals:
  // Both texts are read and their shown facts known.
  void textsRead();
  void finished();

 private:
  void run();
  // Runs `call` on the GUI thread, after what the thread did so far.
  template <class Call>
  void post(Call call);

  QByteArray pathA_;
  QByteArray pathB_;
  std::unique_ptr<ComparisonResult> result_;
  int code_ = 0;
  int32_t failedSide_ = kComparedA;
  std::thread thread_;
};
