#include "gui/url_opener.h"

#include <QElapsedTimer>
#include <memory>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

bool openUrlInBrowser(const QUrl& url, QObject* context, std::function<void()> failed) {
  const QString program = QStandardPaths::findExecutable(QString::fromLatin1(kUrlOpener));
  if (program.isEmpty()) return false;
  // Not owned by the context: destroying a QProcess kills it, and the
  // browser it may be running must outlive the dialog and the viewer. It
  // deletes itself when it ends.
  auto* process = new QProcess;
  process->setProgram(program);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  QPointer<QObject> guard(context);
  auto report = [guard, failed] {
    if (guard && failed) failed();
  };
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    report();
    process->deleteLater();
  });
  QObject::connect(process, &QProcess::finished, process,
                   [process, report, clock](int code, QProcess::ExitStatus status) {
                     if ((code != 0 || status != QProcess::NormalExit) && clock->elapsed() < kUrlOpenerVerdictMs) {
                       report();
                     }
                     process->deleteLater();
                   });
  process->start();
  return true;
}
