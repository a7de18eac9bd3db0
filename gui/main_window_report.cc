// The main window's "Save Report…": the HTML report of the shown trace, or
// of the comparison while one shows, made by the core from the files (as
// zazozav-cli report makes it) and written where the user says, never over
// a trace it reads.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include <memory>

#include "app/trace_file.h"
#include "compare/file_comparison.h"
#include "gui/compare_view.h"
#include "gui/main_window.h"
#include "gui/trace_dialog.h"
#include "report/report_files.h"

namespace {

// The save dialog: the Open dialog's look, for an HTML page.
QString chooseReportFile(QWidget* parent, const QString& proposed) {
  std::unique_ptr<QFileDialog> dialog(makeTraceDialog(parent, "Save Report", QFileInfo(proposed).absolutePath()));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters({"HTML pages (*.html *.htm)", "All Files (*)"});
  dialog->setDefaultSuffix("html");
  dialog->selectFile(QFileInfo(proposed).fileName());
  if (dialog->exec() != QDialog::Accepted) return {};
  return dialog->selectedFiles().value(0);
}

}  // namespace

void TForm1::createReportAction() {
  acSaveReport_ = new QAction("Save Report…", this);
  acSaveReport_->setToolTip("Save the shown trace or comparison as an HTML page (Ctrl+Shift+S)");
  acSaveReport_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  acSaveReport_->setShortcutContext(Qt::WindowShortcut);
  acSaveReport_->setEnabled(false);  // until a trace is shown
  connect(acSaveReport_, &QAction::triggered, this, [this] { saveReport(); });
  addAction(acSaveReport_);
}

int TForm1::saveReport() {
  if (currentTrace_.isEmpty()) return 1;
  // Beside the trace: its name, or both names for a comparison.
  const QFileInfo a(QFile::decodeName(currentTrace_));
  QString name = a.completeBaseName();
  if (comparisonShown() && !comparedTrace_.isEmpty()) {
    name += "-" + QFileInfo(QFile::decodeName(comparedTrace_)).completeBaseName();
  }
  const QString proposed = a.absoluteDir().filePath(name + ".html");
  const QString path = reportChooser_ ? reportChooser_(this, proposed) : chooseReportFile(this, proposed);
  if (path.isEmpty()) return 1;
  QString error;
  if (writeReport(path, error) == 0) return 0;
  QMessageBox::warning(this, "Save Report",
                       QStringLiteral("Cannot write the report %1: %2").arg(QDir::toNativeSeparators(path), error));
  return -1;
}

int TForm1::writeReport(const QString& path, QString& error) {
  if (currentTrace_.isEmpty()) {
    error = "no trace is shown";
    return -1;
  }
  const bool comparing = comparisonShown() && !comparedTrace_.isEmpty();
  const QFileInfo target(path);
  for (const QByteArray& trace : {currentTrace_, comparing ? comparedTrace_ : QByteArray()}) {
    if (!trace.isEmpty() && target.exists() && target == QFileInfo(QFile::decodeName(trace))) {
      error = "it is a trace the report is made from";
      return -1;
    }
  }
  SVString page;
  int32_t failedSide = kComparedA;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int code = comparing
                       ? reportComparedFiles(currentTrace_.constData(), comparedTrace_.constData(), page, failedSide)
                       : reportTraceFile(currentTrace_.constData(), page);
  QApplication::restoreOverrideCursor();
  if (code != LoadOk) {
    char message[kMessageBufferSize];
    loadErrorMessage(code, (failedSide == kComparedB ? comparedTrace_ : currentTrace_).constData(), message,
                     sizeof message);
    error = QString::fromLocal8Bit(message);
    return -1;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(page.c_str(), page.length()) != page.length() ||
      !file.commit()) {
    error = file.errorString();
    return -1;
  }
  return 0;
}
