// The viewer program answers a lone --version before its toolkit starts:
// it needs no display, and any other use of the argument is left alone.
#include <QProcess>
#include <QTest>

class ViewerVersionTest : public QObject {
  Q_OBJECT

 private slots:
  void printsTheVersionWithoutADisplay() {
#ifndef ZAZOZAV_VIEWER_PATH
    QSKIP("the viewer program is not built");
#else
    QProcess viewer;
    // A platform that does not exist: starting the toolkit would fail.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "no-such-platform");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    viewer.setProcessEnvironment(environment);
    viewer.start(ZAZOZAV_VIEWER_PATH, {"--version"});
    QVERIFY(viewer.waitForFinished(30000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QCOMPARE(viewer.readAllStandardOutput(), QByteArray("zazozav " ZAZOZAV_VERSION "\n"));
    QCOMPARE(viewer.readAllStandardError(), QByteArray());
#endif
  }
};

QTEST_GUILESS_MAIN(ViewerVersionTest)
#include "viewer_version_test.moc"
