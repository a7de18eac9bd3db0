// ComparisonJob: one comparison of two trace files, read and compared on
// a thread of its own so that the window keeps answering meanwhile. The
// thread touches no widget and no Qt object. On two threads, one per
// side, it reads each file, fills the editor document it was given for
// that side with its text and prepares the side for the comparison (its
// scan, facts and line table); then it compares the texts into the job's result,
// which the job owns until the GUI thread takes it, once `finished` is
// emitted. Signals come on the GUI thread. Destroying the job waits for
// the thread.
#pragma once

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "compare/file_comparison.h"
#include "gui/document_loader.h"

class ComparisonJob : public QObject {
  Q_OBJECT

 public:
  // Paths in the local 8-bit encoding, as Open reads them; the documents
  // to fill with the texts of A and B, made on the GUI thread.
  ComparisonJob(QByteArray pathA, QByteArray pathB, std::unique_ptr<DocumentLoader> documentA,
                std::unique_ptr<DocumentLoader> documentB, QObject* parent = nullptr);
  ~ComparisonJob() override;
  ComparisonJob(const ComparisonJob&) = delete;
  ComparisonJob& operator=(const ComparisonJob&) = delete;

  // Starts the thread; `documentsLoaded` (unless a file fails) and then
  // `finished` follow.
  void start();

  // After `finished`: 0 or the LoadResult code, and the side it concerns.
  int code() const { return code_; }
  int32_t failedSide() const { return failedSide_; }
  const QByteArray& path(int32_t side) const { return side == kComparedA ? pathA_ : pathB_; }
  // From `documentsLoaded` on, on the GUI thread: the side's document,
  // filled, for an editor to show (DocumentLoader::showIn), handed over
  // once.
  std::unique_ptr<DocumentLoader> takeDocument(int32_t side) {
    return std::move(side == kComparedA ? documentA_ : documentB_);
  }
  // After `finished` with code 0: the comparison, handed over once. Its
  // texts, key points and facts are already freed: the editors hold the
  // texts, and what the view keeps of the comparison needs none of them.
  std::unique_ptr<FileComparison> takeResult() { return std::move(result_); }

 signals:
  // Both documents hold their texts; the comparison goes on.
  void documentsLoaded();
  void finished();

 private:
  void run();
  // Reads one side's file and fills its document, on that side's thread,
  // unless `goOn` went false meanwhile (which a failure here makes it): 0
  // or the LoadResult code.
  int loadSide(int32_t side, std::atomic<bool>& goOn);
  // Runs `call` on the GUI thread, after what the thread did so far.
  template <class Call>
  void post(Call call);

  QByteArray pathA_;
  QByteArray pathB_;
  std::unique_ptr<DocumentLoader> documentA_;
  std::unique_ptr<DocumentLoader> documentB_;
  std::unique_ptr<FileComparison> result_;
  int code_ = 0;
  int32_t failedSide_ = kComparedA;
  std::thread thread_;
};
