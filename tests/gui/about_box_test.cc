// The About dialog's texts and the version check.
#include "gui/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "gui/url_opener.h"

namespace {

// Puts a program named like the desktop's opener first on the PATH for
// the life of the object: it records its argument and exits with `status`.
class FakeOpener {
 public:
  explicit FakeOpener(int status) : oldPath_(qgetenv("PATH")) {
    const QString script = dir_.filePath(kUrlOpener);
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QStringLiteral("#!/bin/sh\nprintf %s \"$1\" > '%1'\nexit %2\n")
                   .arg(dir_.filePath("argument"))
                   .arg(status)
                   .toLocal8Bit());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir_.path().toLocal8Bit() + ":" + oldPath_);
  }
  ~FakeOpener() { qputenv("PATH", oldPath_); }
  QByteArray argument() const {
    QFile file(dir_.filePath("argument"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private:
  QTemporaryDir dir_;
  QByteArray oldPath_;
};

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void addressCarriesTheVersion();
  void addressIsBoundedByItsBuffer();
  void texts();
  void failedBrowserShowsTheAddress();
  void startedBrowserShowsNothing();
  void okCloses();
  void noLabelIsCutOff();
  void anOpenerThatFailsShowsTheAddress();
  void anOpenerThatSucceedsShowsNothing();
};

void AboutBoxTest::addressCarriesTheVersion() {
  char address[kVersionCheckAddressSize];
  const int length = versionCheckAddress(address, sizeof address);
  QCOMPARE(QByteArray(address),
           QByteArray("http://www.zazozav.example/cgi-bin/ver_check_zazozav?p=ZAzozav+v=01060300"));
  QCOMPARE(length, static_cast<int>(std::strlen(address)));
}

void AboutBoxTest::addressIsBoundedByItsBuffer() {
  char small[16];
  std::memset(small, 'x', sizeof small);
  versionCheckAddress(small, 10);
  QCOMPARE(QByteArray(small), QByteArray("http://ww"));
  QCOMPARE(small[10], 'x');  // nothing written past the given size
}

void AboutBoxTest::texts() {
  TAboutBox box;
  QCOMPARE(box.windowTitle(), QStringLiteral("About"));
  QCOMPARE(box.ProductName->text(), QStringLiteral("Viewer for Oracle Marrow Trace"));
  QCOMPARE(box.Version->text(), QStringLiteral("Version"));
  QCOMPARE(box.VersionNumber->text(), QStringLiteral("1.6.3.0"));
  QCOMPARE(box.Label4->text(), QStringLiteral("This viewer can be invoked from the command line: "));
  QCOMPARE(box.Label5->text(), QStringLiteral("zazozav filename"));
  QCOMPARE(box.OKButton->text(), QStringLiteral("OK"));
  QVERIFY(box.OKButton->isDefault());
  QVERIFY(box.isModal());
  QCOMPARE(box.size(), QSize(490, 346));
}

void AboutBoxTest::failedBrowserShowsTheAddress() {
  TAboutBox box;
  QUrl opened;
  QString caption;
  QString text;
  box.openUrl = [&opened](const QUrl& url) {
    opened = url;
    return false;
  };
  box.showError = [&](const QString& c, const QString& t) {
    caption = c;
    text = t;
  };
  box.lbURLClick();
  QCOMPARE(opened.toString(), QStringLiteral("http://www.zazozav.example/cgi-bin/ver_check_zazozav?p=ZAzozav+v=01060300"));
  QCOMPARE(caption, QStringLiteral("Check for New Versions"));
  QCOMPARE(text, QStringLiteral("Cannot start Internet browser. Use this URL to check for new versions: \r\n"
                                "http://www.zazozav.example/cgi-bin/ver_check_zazozav?p=ZAzozav+v=01060300"));
}

void AboutBoxTest::startedBrowserShowsNothing() {
  TAboutBox box;
  int errors = 0;
  box.openUrl = [](const QUrl&) { return true; };
  box.showError = [&errors](const QString&, const QString&) { ++errors; };
  emit box.lbURL->linkActivated(QStringLiteral("x"));
  QCOMPARE(errors, 0);
}

void AboutBoxTest::okCloses() {
  TAboutBox box;
  box.show();
  box.OKButton->click();
  QCOMPARE(box.result(), int{QDialog::Accepted});
  QVERIFY(!box.isVisible());
}

void AboutBoxTest::noLabelIsCutOff() {
  TAboutBox box;
  const QList<QLabel*> labels = {box.ProductName, box.Version, box.VersionNumber, box.Label4,
                                 box.Label5,      box.Label1,  box.lbURL};
  for (QLabel* label : labels) {
    const QSize needed = label->sizeHint();
    QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
             qPrintable(label->text()));
    QVERIFY2(box.panel->rect().contains(label->geometry()), qPrintable(label->text()));
    for (QLabel* other : labels) {
      if (other != label) QVERIFY2(!label->geometry().intersects(other->geometry()), qPrintable(label->text()));
    }
  }
}

void AboutBoxTest::anOpenerThatFailsShowsTheAddress() {
  FakeOpener opener(4);  // what the opener says when no browser takes the address
  TAboutBox box;
  QString text;
  box.showError = [&text](const QString&, const QString& t) { text = t; };
  box.lbURLClick();
  QTRY_VERIFY(!text.isEmpty());
  QVERIFY(text.endsWith("\r\nhttp://www.zazozav.example/cgi-bin/ver_check_zazozav?p=ZAzozav+v=01060300"));
}

void AboutBoxTest::anOpenerThatSucceedsShowsNothing() {
  FakeOpener opener(0);
  TAboutBox box;
  int errors = 0;
  box.showError = [&errors](const QString&, const QString&) { ++errors; };
  box.lbURLClick();
  QTRY_COMPARE(opener.argument(), QByteArray("http://www.zazozav.example/cgi-bin/ver_check_zazozav?p=ZAzozav+v=01060300"));
  QTest::qWait(200);
  QCOMPARE(errors, 0);
}

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
