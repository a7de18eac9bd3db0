// TAboutBox: the modal About dialog with the version check link.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <cstddef>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// Our web server, the one place that names it.
constexpr const char* kVersionCheckHost = "www.zazozav.example";
constexpr int kVersionNumbers[4] = {1, 6, 3, 0};
constexpr size_t kVersionCheckAddressSize = 256;

// Formats the version-check address into `out` (at most capacity - 1
// bytes, always terminated): "http://" + host +
// "/cgi-bin/ver_check_zazozav?p=ZAzozav+v=" + the four version numbers as
// two digits each. Returns the full length, as snprintf does.
int versionCheckAddress(char* out, size_t capacity);

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  // The version check: opens the address in the web browser, and when
  // that fails shows "Check for New Versions" with the address.
  void lbURLClick();
  // Shows that message: the opener could not be started, or reported
  // later that no browser took the address.
  void browserFailed();

  // Opens an address in the browser; false when that failed at once. The
  // desktop's opener, which calls browserFailed when it fails later.
  std::function<bool(const QUrl&)> openUrl;
  // Shows the failure message (caption, text) with the critical icon.
  std::function<void(const QString&, const QString&)> showError;

  QFrame* panel;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* VersionNumber;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Comments;
  QLabel* Label1;
  QLabel* lbURL;
  QPushButton* OKButton;
};
