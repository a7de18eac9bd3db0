// The main window and the files around the trace: the notice that names a
// split trace's other parts and opens the ones beside it, and "Save
// Report…" for the shown trace or comparison, which never writes a trace.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include "gui/compare_view.h"
#include "tests/gui/window_test_support.h"

namespace {

constexpr const char* kJoinSearch = ZAZOZAV_SAMPLES_DIR "/hr_join_search.trc";

// Closes the next message box, keeping its text in `text`.
void closeNextMessageBox(QString& text) {
  QTimer::singleShot(0, [&text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->accept();
    }
  });
}

}  // namespace

class MainWindowReportTest : public QObject {
  Q_OBJECT

 private slots:
  // A part names the one before it at its start and the one after it in
  // its last lines; the notice tells both, and its link opens a part that
  // lies beside it (by the last component of the name the server wrote).
  void splitTraceNoticeOpensTheOtherPart() {
    QTemporaryDir dir;
    const QByteArray trace = readFile(kTwoStatements);
    writeFile(dir.filePath("orcl_ora_42_1.trc"), trace + "*** TRACE CONTINUES IN FILE /u01/diag/orcl_ora_42_2.trc ***\n");
    writeFile(dir.filePath("orcl_ora_42_2.trc"),
              "Trace file /u01/diag/orcl_ora_42_2.trc\n*** TRACE CONTINUED FROM FILE /u01/diag/orcl_ora_42_1.trc ***\n" +
                  trace);
    writeFile(dir.filePath("orcl_ora_42_3.trc"), "*** TRACE CONTINUED FROM FILE C:\\diag\\orcl_ora_42_9.trc ***\n" + trace);
    auto window = start(dir, {dir.filePath("orcl_ora_42_2.trc").toStdString()});
    QCOMPARE(window->notice(), QString("orcl_ora_42_2.trc: continued from file /u01/diag/orcl_ora_42_1.trc"));
    QCOMPARE(window->noticeLinks(), QStringList{dir.filePath("orcl_ora_42_1.trc")});
    auto* label = window->statusBar()->findChild<QLabel*>("noticeLabel");
    QVERIFY(label && !label->isHidden() && !window->statusBar()->isHidden());
    QVERIFY(label->text().endsWith("orcl_ora_42_1.trc <a href=\"0\">Open</a>"));
    emit label->linkActivated("0");
    QCOMPARE(window->currentTrace(), dir.filePath("orcl_ora_42_1.trc"));
    QCOMPARE(window->notice(), QString("orcl_ora_42_1.trc: continues in file /u01/diag/orcl_ora_42_2.trc"));
    QCOMPARE(window->noticeLinks(), QStringList{dir.filePath("orcl_ora_42_2.trc")});
    // A part not beside it is named without a link.
    window->openFile(dir.filePath("orcl_ora_42_3.trc"));
    QCOMPARE(window->notice(), QString("orcl_ora_42_3.trc: continued from file C:\\diag\\orcl_ora_42_9.trc"));
    QVERIFY(window->noticeLinks().isEmpty());
    QVERIFY(!label->text().contains("<a "));
    // Markup in a name is text.
    writeFile(dir.filePath("odd.trc"), "*** TRACE CONTINUED FROM FILE <b>x</b>.trc ***\n" + trace);
    window->openFile(dir.filePath("odd.trc"));
    QVERIFY(label->text().contains("&lt;b&gt;x&lt;/b&gt;.trc"));
    window->openFile(kTwoStatements);
    QCOMPARE(window->notice(), QString());
  }

  // The page of the shown trace, or of the comparison while it shows, is
  // written where the chooser says; the name proposed lies beside the trace.
  void saveReportWritesTheShownTraceOrComparison() {
    QTemporaryDir dir;
    auto window = start(dir, {});
    QVERIFY(!window->saveReportAction()->isEnabled());
    QCOMPARE(window->saveReport(), 1);
    window->openFile(kTwoStatements);
    QVERIFY(window->saveReportAction()->isEnabled());
    // In the Open button's menu, after the recent files.
    emit window->recentMenu()->aboutToShow();
    QCOMPARE(window->recentMenu()->actions().last(), window->saveReportAction());
    QString proposed;
    QString target = dir.filePath("trace.html");
    window->setReportFileChooser([&](QWidget*, const QString& path) {
      proposed = path;
      return target;
    });
    const QByteArray before = readFile(kTwoStatements);
    window->saveReportAction()->trigger();
    QCOMPARE(proposed, QFileInfo(kTwoStatements).absolutePath() + "/hr_two_statements.html");
    const QByteArray page = readFile(target);
    QVERIFY(page.startsWith("<!DOCTYPE html>\n"));
    QVERIFY(page.contains("<h1>Optimizer trace hr_two_statements.trc</h1>"));
    QCOMPARE(readFile(kTwoStatements), before);

    window->compareWith(kJoinSearch);
    QVERIFY(QTest::qWaitFor([&] { return window->compareView()->comparison() != nullptr; }, 10000));
    target = dir.filePath("comparison.html");
    QCOMPARE(window->saveReport(), 0);
    QCOMPARE(QFileInfo(proposed).fileName(), QString("hr_two_statements-hr_join_search.html"));
    QVERIFY(readFile(target).contains("<h1>Comparison of hr_two_statements.trc and hr_join_search.trc</h1>"));
    window->closeComparison();
    QCOMPARE(window->saveReport(), 0);
    QVERIFY(readFile(target).contains("<h1>Optimizer trace hr_two_statements.trc</h1>"));
    window->setReportFileChooser([](QWidget*, const QString&) { return QString(); });
    QCOMPARE(window->saveReport(), 1);
  }

  // A report that cannot be written says why; it never replaces a trace.
  void saveReportTellsWhyItFailed() {
    QTemporaryDir dir;
    const QString trace = dir.filePath("t.trc");
    writeFile(trace, readFile(kTwoStatements));
    auto window = start(dir, {trace.toStdString()});
    QString target = dir.filePath("no/such/folder/r.html");
    window->setReportFileChooser([&](QWidget*, const QString&) { return target; });
    QString text;
    closeNextMessageBox(text);
    QCOMPARE(window->saveReport(), -1);
    QVERIFY2(text.startsWith("Cannot write the report " + target + ": "), qPrintable(text));
    target = trace;
    closeNextMessageBox(text);
    QCOMPARE(window->saveReport(), -1);
    QCOMPARE(text, "Cannot write the report " + trace + ": it is a trace the report is made from");
    QCOMPARE(readFile(trace), readFile(kTwoStatements));
    // The trace gone since it was opened: the load's own message.
    QFile::remove(trace);
    target = dir.filePath("r.html");
    QString error;
    QCOMPARE(window->writeReport(target, error), -1);
    QCOMPARE(error, "Cannot open file " + trace);
    QVERIFY(!QFileInfo::exists(target));
  }
};

ZAZOZAV_WINDOW_TEST_MAIN(MainWindowReportTest)
#include "main_window_report_test.moc"
