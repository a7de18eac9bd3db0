#include "gui/find_bar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr int kBarHeight = 22;  // at 96 dots per inch
}

TFFind::TFFind(QWidget* parent) : QWidget(parent), beep([] { QApplication::beep(); }) {
  pnFind = new QFrame(this);
  pnFind->setFrameShape(QFrame::NoFrame);
  pnFind->setFocusPolicy(Qt::TabFocus);

  btCloseFind = new QPushButton(QStringLiteral("x"), pnFind);
  btCloseFind->setToolTip(QStringLiteral("Close Find bar"));
  btCloseFind->setFixedSize(20, 20);

  lbFind = new QLabel(QStringLiteral("Find:"), pnFind);

  Edit1 = new QComboBox(pnFind);
  Edit1->setEditable(true);
  // The bar keeps the history itself; Enter must not add entries.
  Edit1->setInsertPolicy(QComboBox::NoInsert);
  Edit1->setMaxCount(historyLimit);
  Edit1->setFixedWidth(230);
  // The combo box has the focus and hands keys to its line edit by a
  // direct call that no filter sees, so both are watched.
  Edit1->installEventFilter(this);
  Edit1->lineEdit()->installEventFilter(this);

  btNext = new QPushButton(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("&Next"), pnFind);
  btNext->setFixedSize(76, 20);
  btPrev = new QPushButton(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("&Previous"), pnFind);
  btPrev->setFixedSize(80, 20);

  cbCase = new QCheckBox(QStringLiteral("Match case"), pnFind);
  cbCase->setFixedWidth(95);

  lbNoMatch = new QLabel(QStringLiteral("No match found"), pnFind);
  QPalette red = lbNoMatch->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  lbNoMatch->setPalette(red);
  QFont noticeFont = lbNoMatch->font();
  noticeFont.setPixelSize(13);
  lbNoMatch->setFont(noticeFont);
  lbNoMatch->hide();

  auto* row = new QHBoxLayout(pnFind);
  row->setContentsMargins(3, 1, 3, 1);
  row->setSpacing(7);
  row->addWidget(btCloseFind);
  row->addSpacing(5);
  row->addWidget(lbFind);
  row->addWidget(Edit1);
  row->addWidget(btNext);
  row->addWidget(btPrev);
  row->addSpacing(5);
  row->addWidget(cbCase);
  row->addWidget(lbNoMatch);
  row->addStretch(1);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(pnFind);

  setTabOrder(btCloseFind, Edit1);
  setTabOrder(Edit1, btNext);
  setTabOrder(btNext, btPrev);
  setTabOrder(btPrev, cbCase);

  connect(btCloseFind, &QPushButton::clicked, this, [this] { btCloseFindClick(); });
  connect(btNext, &QPushButton::clicked, this, [this] { SearchClick(0); });
  connect(btPrev, &QPushButton::clicked, this, [this] { SearchClick(SearchBackward); });

  setFixedHeight(kBarHeight);
}

void TFFind::setComboFont(const QFont& font) { Edit1->setFont(font); }

void TFFind::showFindBar(QWidget* editor, const QString& text) {
  if (!barShown) {
    barShown = true;
    setFixedHeight(barResolution * kBarHeight / 96);
    show();
  }
  if (!text.isEmpty()) addToHistory(text);
  lbNoMatch->hide();
  lastSearchFailed = false;
  Edit1->setFocus();
  // Typing replaces the proposal, as in any find box.
  Edit1->lineEdit()->selectAll();
  targetEditor = editor;
}

void TFFind::hideFindBar() {
  if (!barShown) return;
  barShown = false;
  setFixedHeight(0);
  hide();
}

void TFFind::runSearch(int flags) {
  if (cbCase->isChecked()) flags |= SearchMatchCase;
  const QString text = Edit1->currentText();
  addToHistory(text);
  const int result = onSearch ? onSearch(targetEditor.data(), text, flags) : -1;
  if (beepOnFailure && result == 0 && !lastSearchFailed && beep) beep();
  // A negative result (no control to search) is not a failure.
  lastSearchFailed = result == 0;
  lbNoMatch->setVisible(result == 0);
}

void TFFind::addToHistory(const QString& text) {
  for (int i = Edit1->count() - 1; i >= 0; --i) {
    if (Edit1->itemText(i).compare(text, Qt::CaseInsensitive) == 0) Edit1->removeItem(i);
  }
  while (Edit1->count() >= historyLimit) Edit1->removeItem(Edit1->count() - 1);
  Edit1->insertItem(0, text);
  Edit1->setCurrentIndex(0);
  // setCurrentIndex leaves the edit alone when the index did not change.
  Edit1->setEditText(text);
}

bool TFFind::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == Edit1 || watched == Edit1->lineEdit()) && event->type() == QEvent::KeyPress) {
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const int key = keyEvent->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      btNext->click();
      return true;
    }
    if (key == Qt::Key_Escape && keyEvent->modifiers() == Qt::NoModifier) {
      closeAndReturnFocus();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFFind::closeAndReturnFocus() {
  hideFindBar();
  // Hiding the focused bar would pass the focus on to whatever comes next
  // in the chain (a toolbar check box); the text is where keys belong.
  if (targetEditor) targetEditor->setFocus(Qt::OtherFocusReason);
}

void TFFind::btCloseFindClick() { closeAndReturnFocus(); }

void TFFind::SearchClick(int flags) { runSearch(flags); }
