// The window's one-line notices in the status area: what was opened when
// it is not what the viewer shows well (a folder, a binary file, a file
// without a traced statement), so that an empty view never goes
// unexplained; and the other parts of a split trace, with a link that
// opens each one found beside it.
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include "app/trace_file.h"
#include "facts/trace_digest.h"
#include "facts/trace_parts.h"
#include "gui/compare_view.h"
#include "gui/main_window.h"
#include "gui/trace_frame.h"

namespace {

constexpr const char* kNoTrace = "no optimizer trace found in this file";
// Bytes looked at for a NUL, which no trace text holds.
constexpr qint64 kBinaryProbeBytes = 4096;
// Bytes of a trace's start looked at for the part before it: the marker
// follows the few header lines.
constexpr qint64 kPartProbeBytes = 65536;

bool looksBinary(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(kBinaryProbeBytes).contains('\0');
}

}  // namespace

void TForm1::showNotice(const QString& text, const QStringList& links) {
  noticeText_ = text;
  noticeLinks_ = text.isEmpty() ? QStringList() : links;
  // The status area shows only while it has something to tell.
  if (text.isEmpty()) {
    if (noticeBar_) noticeBar_->hide();
    return;
  }
  if (!noticeBar_) {
    noticeBar_ = statusBar();
    noticeLabel_ = new QLabel(noticeBar_);
    noticeLabel_->setObjectName("noticeLabel");
    noticeLabel_->setTextFormat(Qt::RichText);
    noticeLabel_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    noticeBar_->addWidget(noticeLabel_, 1);
    connect(noticeLabel_, &QLabel::linkActivated, this, [this](const QString& link) { openNoticeLink(link.toInt()); });
  }
  QString shown = text.toHtmlEscaped();
  // "Open", or with two parts beside it "Open NAME" for each.
  for (qsizetype i = 0; i < noticeLinks_.size(); ++i) {
    const QString name = noticeLinks_.size() > 1 ? " " + QFileInfo(noticeLinks_[i]).fileName().toHtmlEscaped() : QString();
    shown += QStringLiteral(" <a href=\"%1\">Open%2</a>").arg(i).arg(name);
  }
  noticeLabel_->setText(shown);
  noticeBar_->show();
}

void TForm1::openNoticeLink(int index) {
  if (index >= 0 && index < noticeLinks_.size()) openFile(QString(noticeLinks_[index]));
}

void TForm1::splitTraceNotes(const QString& path, QStringList& notes, QStringList& links) const {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray head = file.read(kPartProbeBytes);
  QByteArray tail = head;
  if (file.size() > head.size()) {
    file.seek(std::max<qint64>(head.size(), file.size() - static_cast<qint64>(kContinuationTailBytes)));
    tail = file.readAll();
  }
  const QDir folder = QFileInfo(path).absoluteDir();
  auto note = [&](const char* what, const QByteArray& text, const TracePart& part) {
    const QByteArray name = text.mid(part.name.offset, part.name.length);
    const std::string_view base = tracePartFileName(std::string_view(name.constData(), static_cast<size_t>(name.size())));
    const QString beside = folder.filePath(QFile::decodeName(QByteArray(base.data(), static_cast<qsizetype>(base.size()))));
    notes << QString::fromLatin1(what) + QString::fromUtf8(name);
    if (!base.empty() && QFileInfo(beside).isFile() && QFileInfo(beside) != QFileInfo(path)) links << beside;
  };
  TracePart part;
  size_t next = 0;
  if (findTracePart(head.constData(), static_cast<size_t>(head.size()), 0, 1, part, next)) {
    note("continued from file ", head, part);
  }
  if (findTraceContinuation(tail.constData(), static_cast<size_t>(tail.size()), part)) {
    note("continues in file ", tail, part);
  }
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
  QStringList links;
  splitTraceNotes(path, notes, links);
  showNotice(notes.isEmpty() ? QString() : QFileInfo(path).fileName() + ": " + notes.join(QStringLiteral("; ")), links);
}

void TForm1::noteCompared() {
  const FileComparison* shown = compareView_->comparison();
  if (!shown) return;
  QStringList notes;
  if (shown->a.statementCount == 0) notes << QStringLiteral("A: ") + kNoTrace;
  if (shown->b.statementCount == 0) notes << QStringLiteral("B: ") + kNoTrace;
  showNotice(notes.join(QStringLiteral("; ")));
}

QString TForm1::notice() const { return noticeBar_ && !noticeBar_->isHidden() ? noticeText_ : QString(); }
