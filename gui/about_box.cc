#include "gui/about_box.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

#include "gui/url_opener.h"

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

// Space kept between a label and the panel's bevel, and between the two
// labels of the version-check line.
constexpr int kPanelMargin = 2;
constexpr int kLabelGap = 4;

// Moves `label` sideways so it lies inside `panel`, as far as it can.
void keepInside(QLabel* label, const QWidget* panel) {
  QRect r = label->geometry();
  const int right = panel->width() - kPanelMargin;
  if (r.right() >= right) r.moveRight(right - 1);
  if (r.left() < kPanelMargin) r.moveLeft(kPanelMargin);
  label->setGeometry(r);
}

// Widens and heightens `label` to what its text needs in the font it has
// (the faces a desktop has are wider than the ones the layout was drawn
// with): a centred label grows about its centre, any other to the right.
void fitLabel(QLabel* label, const QWidget* panel) {
  const QSize needed = label->sizeHint();
  QRect r = label->geometry();
  const int width = std::max(r.width(), needed.width());
  const int height = std::max(r.height(), needed.height());
  if (label->alignment() & Qt::AlignHCenter) r.setLeft(r.center().x() - width / 2);
  r.setSize(QSize(width, height));
  label->setGeometry(r);
  keepInside(label, panel);
}

// Sets `left` and `right` side by side, centred where the pair was, when
// their fitted widths made them overlap.
void fitPair(QLabel* left, QLabel* right, const QWidget* panel) {
  if (left->geometry().right() + kLabelGap <= right->geometry().left()) return;
  const int centre = (left->geometry().left() + right->geometry().right()) / 2;
  const int total = left->width() + kLabelGap + right->width();
  const int last = std::max(kPanelMargin, panel->width() - kPanelMargin - total);
  const int start = std::clamp(centre - total / 2, kPanelMargin, last);
  left->move(start, left->y());
  right->move(start + left->width() + kLabelGap, right->y());
}

void showCritical(const QString& caption, const QString& text) {
  // No owner window, as the failure is the browser's, not the dialog's.
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent),
      openUrl([this](const QUrl& url) { return openUrlInBrowser(url, this, [this] { browserFailed(); }); }),
      showError(showCritical) {
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
  for (QLabel* label : {ProductName, Version, VersionNumber, Label4, Label5, Label1, lbURL}) {
    fitLabel(label, panel);
  }
  fitPair(Version, VersionNumber, panel);
  fitPair(Label1, lbURL, panel);
}

void TAboutBox::lbURLClick() {
  char address[kVersionCheckAddressSize];
  versionCheckAddress(address, sizeof address);
  if (openUrl && openUrl(QUrl(QString::fromLatin1(address)))) return;
  browserFailed();
}

void TAboutBox::browserFailed() {
  char address[kVersionCheckAddressSize];
  versionCheckAddress(address, sizeof address);
  if (showError) {
    showError(QStringLiteral("Check for New Versions"),
              QStringLiteral("Cannot start Internet browser. Use this URL to check for new versions: \r\n") +
                  QString::fromLatin1(address));
  }
}
