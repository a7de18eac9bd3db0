#include "gui/about_box.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

int versionCheckAddress(char* out, size_t capacity) {
  return std::snprintf(out, capacity, "http://%s/cgi-bin/ver_check_zazozav?p=ZAzozav+v=%02d%02d%02d%02d",
                       kVersionCheckHost, kVersionNumbers[0], kVersionNumbers[1], kVersionNumbers[2],
                       kVersionNumbers[3]);
}

namespace {

QLabel* placedLabel(QWidget* parent, const QString& text, int left, int top, int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(left, top, width, height);
  return label;
}

void showCritical(const QString& caption, const QString& text) {
  // No owner window, as the failure is the browser's, not the dialog's.
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent), openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }), showError(showCritical) {
  setWindowTitle(QStringLiteral("About"));
  setModal(true);
  QFont dialogFont = font();
  dialogFont.setPixelSize(13);
  setFont(dialogFont);
  setFixedSize(490, 346);

  panel = new QFrame(this);
  panel->setGeometry(8, 8, 475, 301);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(2);

  ProgramIcon = new QLabel(panel);
  ProgramIcon->setGeometry(2, 2, 32, 32);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));

  ProductName = placedLabel(panel, QStringLiteral("Viewer for Oracle Marrow Trace"), 122, 7, 252, 16);
  QFont bold = ProductName->font();
  bold.setBold(true);
  ProductName->setFont(bold);
  ProductName->setAlignment(Qt::AlignCenter);

  Version = placedLabel(panel, QStringLiteral("Version"), 168, 28, 51, 13);
  VersionNumber = placedLabel(panel, QString(), 246, 29, 80, 13);
  Label4 = placedLabel(panel, QStringLiteral("This viewer can be invoked from the command line: "), 55, 60, 306, 16);
  Label5 = placedLabel(panel, QStringLiteral("zazozav filename"), 51, 77, 190, 20);
  QFont courier(QStringLiteral("Courier New"));
  courier.setPixelSize(15);
  courier.setStyleHint(QFont::Monospace);
  Label5->setFont(courier);
  Comments = placedLabel(panel, QString(), 2, 98, 3, 16);
  Comments->setWordWrap(true);
  Label1 = placedLabel(panel, QStringLiteral("Check our website for the latest version: "), 53, 277, 236, 16);
  Label1->setAlignment(Qt::AlignCenter);

  const QString site = QStringLiteral("http://") + QLatin1String(kVersionCheckHost);
  lbURL = placedLabel(panel, QString(), 302, 277, 99, 16);
  lbURL->setText(QStringLiteral("<a href=\"%1\" style=\"color: blue; text-decoration: underline\">%2</a>")
                     .arg(site, QLatin1String(kVersionCheckHost)));
  lbURL->setToolTip(site);
  lbURL->setAlignment(Qt::AlignCenter);
  lbURL->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  lbURL->setOpenExternalLinks(false);
  lbURL->setCursor(Qt::PointingHandCursor);
  connect(lbURL, &QLabel::linkActivated, this, [this] { lbURLClick(); });

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(203, 316, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  VersionNumber->setText(QStringLiteral("1.6.3.0"));
}

void TAboutBox::lbURLClick() {
  char address[kVersionCheckAddressSize];
  versionCheckAddress(address, sizeof address);
  const QString url = QString::fromLatin1(address);
  if (openUrl && openUrl(QUrl(url))) return;
  if (showError) {
    showError(QStringLiteral("Check for New Versions"),
              QStringLiteral("Cannot start Internet browser. Use this URL to check for new versions: \r\n") + url);
  }
}
