// The About dialog's texts and the version check.
#include "gui/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <cstring>

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void addressCarriesTheVersion();
  void addressIsBoundedByItsBuffer();
  void texts();
  void failedBrowserShowsTheAddress();
  void startedBrowserShowsNothing();
  void okCloses();
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

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
