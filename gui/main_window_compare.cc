// The main window's "Compare with…": a toolbar button and Ctrl+D ask for a
// second trace and show the comparison in place of the trace frame; the
// same keys, Escape or the view's close button bring the frame back as it
// was (it is only hidden meanwhile).
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QPainter>
#include <QStackedWidget>
#include <QToolBar>
#include <QTreeView>

#include <algorithm>

#include "gui/compare_view.h"
#include "gui/main_window.h"
#include "gui/trace_dialog.h"
#include "gui/trace_editor.h"
#include "gui/trace_frame.h"
#include "gui/trace_lexer.h"

namespace {

// Two pages side by side, a line of each marked.
QIcon compareIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  for (int page = 0; page < 2; ++page) {
    const QRectF sheet(2.5 + page * 15, 3.5, 12, 25);
    painter.setPen(QPen(QColor(70, 70, 70), 1.5));
    painter.setBrush(Qt::white);
    painter.drawRect(sheet);
    for (int line = 0; line < 5; ++line) {
      const QColor ink = line == 2 ? QColor(230, 140, 30) : QColor(150, 150, 150);
      painter.fillRect(QRectF(sheet.left() + 2.5, 8 + line * 4, 7, 2), ink);
    }
  }
  return QIcon(pixmap);
}

}  // namespace

void TForm1::createComparison() {
  acCompare = new QAction(compareIcon(), "Compare with…", this);
  acCompare->setToolTip("Compare with another trace (Ctrl+D)");
  acCompare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  acCompare->setShortcutContext(Qt::WindowShortcut);
  acCompare->setEnabled(false);  // until a trace is shown
  connect(acCompare, &QAction::triggered, this, [this] { toggleComparison(); });
  addAction(acCompare);
  // The editor's own Ctrl+D duplicates a line.
  releaseEditorKeys(TFMarrow1->editor(), {acCompare});

  // The button goes after Find.
  const QList<QAction*> bar = ToolBar1->actions();
  const qsizetype find = bar.indexOf(acFind_loc);
  ToolBar1->insertAction(find >= 0 && find + 1 < bar.size() ? bar[find + 1] : nullptr, acCompare);

  centralStack_ = new QStackedWidget(this);
  QWidget* frame = takeCentralWidget();
  centralStack_->addWidget(frame);
  compareView_ = new CompareView(centralStack_);
  centralStack_->addWidget(compareView_);
  setCentralWidget(centralStack_);
  centralStack_->setCurrentWidget(frame);
  compareView_->releaseKeys(actions());
  connect(compareView_, &CompareView::closeRequested, this, [this] { closeComparison(); });
  connect(compareView_, &CompareView::shown, this, [this] { noteCompared(); });
  connect(compareView_, &CompareView::failed, this, [this](int code, const QByteArray& path) {
    closeComparison();
    showLoadError(code, path);
  });
  // The comparison's editors follow the frame's font steps.
  for (QAction* step : {acFontDec, acFontInc}) {
    connect(step, &QAction::triggered, this, [this] {
      if (comparisonShown()) compareView_->setEditorFont(TFMarrow1->lexer()->defaultFont(0));
    });
  }
}

bool TForm1::comparisonShown() const { return centralStack_ && centralStack_->currentWidget() == compareView_; }

void TForm1::toggleComparison() {
  if (comparisonShown()) {
    closeComparison();
    return;
  }
  if (currentTrace_.isEmpty()) return;
  const QString folder = QFileInfo(QFile::decodeName(currentTrace_)).absolutePath();
  const QString path = compareChooser_ ? compareChooser_(this, folder) : chooseTraceFile(this, "Compare with", folder);
  if (!path.isEmpty()) compareWith(path);
}

void TForm1::compareWith(const QString& path) {
  if (currentTrace_.isEmpty()) return;
  if (!comparisonShown()) {
    focusBeforeComparison_ = QApplication::focusWidget();
    panesBeforeComparison_ = {!summaryDock_->isHidden(), !whyDock_->isHidden()};
  }
  compareView_->setEditorFont(TFMarrow1->lexer()->defaultFont(0));
  setSingleTraceCommandsEnabled(false);
  centralStack_->setCurrentWidget(compareView_);
  // The list has the keys from the start: Escape closes, arrows choose.
  compareView_->differenceList()->setFocus(Qt::OtherFocusReason);
  comparedTrace_ = QFile::encodeName(path);
  compareView_->start(currentTrace_, comparedTrace_);
}

void TForm1::closeComparison() {
  if (!comparisonShown()) return;
  // Side A shows the frame's trace as the file has it: the frame takes up
  // the place the reader had come to there.
  const bool placed = compareView_->comparison() != nullptr && !compareView_->busy();
  QsciScintilla* a = compareView_->editorA();
  const long topA = a->SendScintilla(QsciScintillaBase::SCI_DOCLINEFROMVISIBLE,
                                     static_cast<unsigned long>(a->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE)));
  const long caretA = a->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
  const long caretLineA = a->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(caretA));
  const long caretOffsetA =
      caretA - a->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(caretLineA));
  compareView_->clear();
  if (placed) {
    showFileLinesAt(static_cast<int32_t>(topA) + 1, static_cast<int32_t>(caretLineA) + 1,
                    static_cast<int32_t>(caretOffsetA));
  }
  centralStack_->setCurrentWidget(TFMarrow1);
  setSingleTraceCommandsEnabled(true);
  noteOpened(currentTrace_);
  QWidget* focus = focusBeforeComparison_;
  if (focus && focus->isVisible()) {
    focus->setFocus(Qt::OtherFocusReason);
  } else {
    TFMarrow1->editor()->setFocus(Qt::OtherFocusReason);
  }
}

void TForm1::showFileLinesAt(int32_t top, int32_t caretLine, int32_t caretOffset) {
  TFMarrow1->completeText();
  QsciScintilla* editor = TFMarrow1->editor();
  const long caretShown = TFMarrow1->shownLineOf(caretLine) - 1;
  const long lineStart = editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(caretShown));
  const long lineEnd = editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(caretShown));
  // Neither scrolls: the view goes to the top line after.
  editor->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION,
                        static_cast<unsigned long>(std::min(lineEnd, lineStart + std::max(0, caretOffset))));
  editor->SendScintilla(QsciScintillaBase::SCI_CHOOSECARETX);
  const long topShown = TFMarrow1->shownLineOf(top) - 1;
  editor->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE,
                        static_cast<unsigned long>(
                            editor->SendScintilla(QsciScintillaBase::SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(topShown))));
}

void TForm1::traceOpenedForComparison() {
  if (acCompare) acCompare->setEnabled(true);
  if (acSaveReport_) acSaveReport_->setEnabled(true);
  closeComparison();
}

void TForm1::setSingleTraceCommandsEnabled(bool on) {
  acReload->setEnabled(on);
  // The summary and "Why This Plan" tell of the frame's trace alone: hidden
  // while comparing, shown again as they were after.
  acSummary_->setEnabled(on);
  acWhy_->setEnabled(on);
  summaryDock_->setVisible(on && panesBeforeComparison_.summary);
  whyDock_->setVisible(on && panesBeforeComparison_.why);
  for (QCheckBox* box : {cbWrapText, cbReadOnly, cbFormatFQuery}) box->setEnabled(on);
  // Docked panes go with the frame's trace: choosing in them would move
  // the hidden frame.
  for (QDockWidget* dock : findChildren<QDockWidget*>()) {
    if (dock->widget()) dock->widget()->setEnabled(on);
  }
}
