// The window's one-line notices in the status area: what was opened when
// it is not what the viewer shows well (a folder, a binary file, a file
// without a traced statement), so that an empty view never goes unexplained.
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

#include "app/trace_file.h"
#include "facts/trace_digest.h"
#include "gui/compare_view.h"
#include "gui/main_window.h"
#include "gui/trace_frame.h"

namespace {

constexpr const char* kNoTrace = "no optimizer trace found in this file";
// Bytes looked at for a NUL, which no trace text holds.
constexpr qint64 kBinaryProbeBytes = 4096;

bool looksBinary(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(kBinaryProbeBytes).contains('\0');
}

}  // namespace

void TForm1::showNotice(const QString& text) {
  // The status area shows only while it has something to tell.
  if (text.isEmpty()) {
    if (noticeBar_) noticeBar_->hide();
    return;
  }
  if (!noticeBar_) noticeBar_ = statusBar();
  noticeBar_->showMessage(text);
  noticeBar_->show();
}

void TForm1::noteStartupFailure(const QString& path, int result) {
  if (QFileInfo(path).isDir()) {
    showNotice(QStringLiteral("%1 is a folder, not a trace file").arg(path));
    return;
  }
  char message[kMessageBufferSize];
  loadErrorMessage(result, path.toLocal8Bit().constData(), message, sizeof message);
  showNotice(QString::fromLocal8Bit(message));
}

void TForm1::noteOpened(const QString& path) {
  QStringList notes;
  if (looksBinary(path)) notes << QStringLiteral("a binary file (NUL bytes in its first 4 KiB)");
  if (TFMarrow1->digest().statements.count() == 0) notes << QString::fromLatin1(kNoTrace);
  showNotice(notes.isEmpty() ? QString() : QFileInfo(path).fileName() + ": " + notes.join(QStringLiteral("; ")));
}

void TForm1::noteCompared() {
  const FileComparison* shown = compareView_->comparison();
  if (!shown) return;
  QStringList notes;
  if (shown->a.statementCount == 0) notes << QStringLiteral("A: ") + kNoTrace;
  if (shown->b.statementCount == 0) notes << QStringLiteral("B: ") + kNoTrace;
  showNotice(notes.join(QStringLiteral("; ")));
}

QString TForm1::notice() const { return noticeBar_ && !noticeBar_->isHidden() ? noticeBar_->currentMessage() : QString(); }
