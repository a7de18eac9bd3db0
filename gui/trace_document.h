// TraceDocumentBuild: the trace editor's whole document, built on a worker
// thread while the editor shows the first screens from a small document
// of its own. The worker makes the document's room (which the editor
// library clears, text and styles), writes the shown text into it and
// indexes its lines; none of that waits on the GUI thread. The frame then
// swaps the document in (DocumentLoader::showIn).
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "app/file_backed_bytes.h"
#include "base/byte_text.h"
#include "base/sv_string.h"
#include "gui/document_loader.h"
#include "sql/shown_text.h"

class TraceDocumentBuild : public QObject {
  Q_OBJECT

 public:
  // On the GUI thread: starts building a document holding the shown text
  // of `text` with `pieces` in place. `maker` is an editor that nothing
  // else uses while the build runs (none shows it): the worker asks it for
  // the document, and the editor library resets the view state of the
  // editor that makes a document, which must not be the one on the
  // screen. `text` and `pieces` must stay as they are until the build is
  // finished or destroyed. With `backing` (the file `text` was read from),
  // the worker gives the kept text back before it makes the room, reads
  // each block again from the file just before it writes it and gives it
  // back once written, so that the text and the document are never both
  // resident: nothing else may read `text` from then on, and once the
  // build is done it reads as zeros.
  TraceDocumentBuild(QsciScintillaBase& maker, const SVString& text, const std::vector<FormattedPiece>& pieces,
                     const TraceTextFacts& facts, FileBackedBytes* backing = nullptr, QObject* parent = nullptr);
  // Stops the worker (within a few mebibytes of text) and waits for it;
  // a document not taken goes with it.
  ~TraceDocumentBuild() override;
  TraceDocumentBuild(const TraceDocumentBuild&) = delete;
  TraceDocumentBuild& operator=(const TraceDocumentBuild&) = delete;

  // True once the worker is done (finished() is then on its way).
  bool ready() const { return ready_.load(std::memory_order_acquire); }
  // Waits for the worker.
  void wait();
  // Once ready: the document, or null when memory ran out for it or the
  // file no longer held the text (fileChanged).
  std::unique_ptr<DocumentLoader> take();
  // Once ready: true when the build failed because the backing file no
  // longer held the kept text.
  bool fileChanged() const { return fileChanged_; }

  // Test seam: called with the room the document is to have before it is
  // made; returning false fails the build as memory running out does.
  // Null (the default) for none.
  static bool (*roomHook)(int64_t room);

 signals:
  // The worker is done: emitted on the GUI thread, from the event loop.
  void finished();

 private:
  void build(QsciScintillaBase* editor, const SVString* text, const std::vector<FormattedPiece>* pieces,
             TraceTextFacts facts, FileBackedBytes* backing);

  std::unique_ptr<DocumentLoader> document_;  // the worker's until ready
  bool fileChanged_ = false;                  // the worker's until ready
  std::atomic<bool> stop_{false};
  std::atomic<bool> ready_{false};
  std::thread worker_;
};
