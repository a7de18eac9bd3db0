#include "gui/main_window.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QShortcutEvent>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include <unistd.h>

#include <cstdio>

#include "app/trace_file.h"
#include "app/window_fit.h"
#include "base/sv_string.h"
#include "gui/about_box.h"
#include "gui/compare_view.h"
#include "gui/editor_search.h"
#include "gui/file_drops.h"
#include "gui/native_paths.h"
#include "gui/summary_pane.h"
#include "gui/trace_dialog.h"
#include "gui/why_pane.h"
#include "gui/trace_editor.h"
#include "gui/trace_frame.h"

namespace {

// An empty gap of the toolbar, `width` pixels wide.
QWidget* spacer(QWidget* parent, int width) {
  auto* label = new QLabel(parent);
  label->setFixedWidth(width);
  return label;
}

// Room for the title bar and borders that the window manager adds, until
// the window is shown and its frame is known.
constexpr int kFrameAllowanceWidth = 10;
constexpr int kFrameAllowanceHeight = 40;

// Swallows tool-tip requests: the help button shows no hint, though its
// action's caption would serve as one.
class NoToolTip : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    return event->type() == QEvent::ToolTip || QObject::eventFilter(watched, event);
  }
};

// Makes a check box's mnemonic (Alt+W and the others) act at once. The
// toolkit shows the box pressed for 100 ms before it acts on its mnemonic,
// which is most of the time the view takes to switch; an ambiguous
// mnemonic keeps the toolkit's handling (focus moves between the boxes).
class InstantMnemonic : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
      if (auto* box = qobject_cast<QAbstractButton*>(watched)) {
        box->click();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// The caption of a recent-files entry: its number as accelerator and the
// path with its ampersands doubled, so they show instead of marking keys.
QString recentEntryText(int index, const QString& path) {
  QString shown = path;
  shown.replace('&', QStringLiteral("&&"));
  return index < 9 ? QStringLiteral("&%1 %2").arg(index + 1).arg(shown) : QStringLiteral("1&0 %1").arg(shown);
}

}  // namespace

TForm1::TForm1(int argumentCount, const char* const* arguments, QWidget* parent)
    : QMainWindow(parent) {
  Q_INIT_RESOURCE(zazozav);
  setWindowTitle(kTitle);
  initStartupPaths(paths_);
  fillExeDir(paths_);
  parseCommandLine(paths_, argumentCount, arguments);
  // The trace named is read while the window is made.
  if (paths_.traceArgument >= 0 && paths_.traceArgument < argumentCount) {
    startupRead_.start(arguments[paths_.traceArgument]);
  }
  TFMarrow1 = new TFMarrow(this);
  // The file changed while its text went in: shown as it is now, from its
  // bytes kept whole this time, so that a file that keeps changing cannot
  // make the loads go round.
  connect(TFMarrow1, &TFMarrow::traceChangedWhileOpening, this, [this] {
    rereadFromFile_ = false;
    const int result = reloadTrace();
    rereadFromFile_ = true;
    // What is shown is only part of the text, the rest given back: it does
    // not stay once the file cannot be read.
    if (result < 0) {
      SVString none;
      TFMarrow1->loadTrace(none);
      currentTrace_.clear();
      setWindowTitle(kTitle);
    }
  });
  // The frame let the trace go: memory ran out for what describes it.
  connect(TFMarrow1, &TFMarrow::traceDroppedForMemory, this, [this] {
    const QByteArray path = currentTrace_;
    currentTrace_.clear();
    setWindowTitle(kTitle);
    showLoadError(LoadNoMemory, path);
  });
  setCentralWidget(TFMarrow1);
  createActions();
  createToolBar();
  createSummaryPane();
  createWhyPane();
  // Owned by the window; watches it and every child that takes drops.
  auto* drops = new FileDropFilter(this, [this](const QByteArray& path) { openFile(path); });
  drops->watch(this);

  applySettingDefaults(settings_);
  applyingSettings_ = true;
  TFMarrow1->setSearchHandler([this](QWidget* control, const QString& text, int flags) {
    return editorSearchHandler(control, text, flags);
  });

  ::settingsLocation(paths_, location_);
  readStartupSettings(location_.path, settings_, session_);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    fitToArea(screen->availableGeometry());
  } else {
    resize(windowWidthFor(settings_), windowHeightFor(settings_));
    startSize_ = size();
  }
  if (session_.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  summaryDock_->setVisible(session_.summaryVisible);
  whyDock_->setVisible(session_.whyVisible);

  TFMarrow1->applySettings(settings_, kDefaultResolution, font());
  cbWrapText->setChecked(hasOption(settings_, OptWrapText));
  cbReadOnly->setChecked(hasOption(settings_, OptReadOnly));
  cbFormatFQuery->setChecked(hasOption(settings_, OptFormatFinalQuery));
  applyingSettings_ = false;
  // The application's icon, which the About dialog shows too.
  QApplication::setWindowIcon(QIcon(":/zazozav.png"));
  setWindowIcon(QApplication::windowIcon());
  createComparison();
  createReportAction();

  // The whole argument, also when it is too long for the path record.
  if (paths_.traceArgument >= 0 && paths_.traceArgument < argumentCount) {
    const QByteArray path(arguments[paths_.traceArgument]);
    const int result = openTrace(path);
    if (result < 0) noteStartupFailure(QFile::decodeName(path), result);
  }
  // The text takes the keys from the start: left to the toolkit, the focus
  // lands on the first check box of the toolbar, where a Space or an arrow
  // would switch a view option.
  returnFocusToEditor();
}

TForm1::~TForm1() = default;

void TForm1::createActions() {
  acOpen = new QAction(style()->standardIcon(QStyle::SP_DialogOpenButton), "Open File", this);
  acOpen->setToolTip("Open File");
  acOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(acOpen, &QAction::triggered, this, [this] { ToolButtonOpenFileClick(); });

  acFind_loc = new QAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), "Find", this);
  acFind_loc->setToolTip("Find");
  acFind_loc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  // In a comparison the find commands act on the side in use.
  connect(acFind_loc, &QAction::triggered, this, [this] {
    comparisonShown() ? compareView_->find() : TFMarrow1->find();
  });

  // F3 and Shift+F3 as well, as in most programs.
  acFindNext = new QAction("acFindNext", this);
  acFindNext->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_N), QKeySequence(Qt::Key_F3)});
  connect(acFindNext, &QAction::triggered, this, [this] {
    comparisonShown() ? compareView_->findNext() : TFMarrow1->findNext();
  });

  acFindPrev = new QAction("acFindPrev", this);
  acFindPrev->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::SHIFT | Qt::Key_F3)});
  connect(acFindPrev, &QAction::triggered, this, [this] {
    comparisonShown() ? compareView_->findPrevious() : TFMarrow1->findPrevious();
  });

  acGoToLine = new QAction("Go to Line", this);
  acGoToLine->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(acGoToLine, &QAction::triggered, this, [this] { goToLine(); });

  acReload = new QAction("Reload", this);
  acReload->setShortcut(QKeySequence(Qt::Key_F5));
  connect(acReload, &QAction::triggered, this, [this] { reloadTrace(); });

  acQuit = new QAction("Quit", this);
  acQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(acQuit, &QAction::triggered, this, [this] { close(); });

  // The minus key and the key that carries "=" and "+", with Ctrl; "+"
  // arrives as Ctrl+Plus on layouts that need Shift for it.
  acFontDec = new QAction("A- ", this);
  acFontDec->setToolTip("Decrease Font");
  acFontDec->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  acFontInc = new QAction("A+", this);
  acFontInc->setToolTip("Increase Font");
  acFontInc->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  connect(acFontDec, &QAction::triggered, this, [this] { acFontExecute(acFontDec); });
  connect(acFontInc, &QAction::triggered, this, [this] { acFontExecute(acFontInc); });

  acHelp = new QAction(style()->standardIcon(QStyle::SP_MessageBoxQuestion), "acHelp", this);
  acHelp->setShortcut(QKeySequence(Qt::Key_F1));
  connect(acHelp, &QAction::triggered, this, [this] { acHelpExecute(); });

  // Window-wide shortcuts: they work whichever child has the focus.
  const QList<QAction*> windowActions = {acOpen,   acFind_loc, acFindNext, acFindPrev, acFontDec,
                                         acFontInc, acHelp,    acGoToLine, acReload,   acQuit};
  addActions(windowActions);
  // The editor binds some of these keys itself (zoom on Ctrl+Minus and
  // Ctrl+Plus) and would take them while it is editable.
  QsciCommandSet* commands = TFMarrow1->editor()->standardCommands();
  for (QAction* action : windowActions) {
    action->setShortcutContext(Qt::WindowShortcut);
    for (const QKeySequence& key : action->shortcuts()) {
      const int code = key[0].toCombined();
      for (QsciCommand* command : commands->commands()) {
        if (command->key() == code) command->setKey(0);
        if (command->alternateKey() == code) command->setAlternateKey(0);
      }
    }
  }
}

void TForm1::createToolBar() {
  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->addAction(acOpen);
  // The Open button's arrow lists the recent files.
  ToolButton1 = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(acOpen));
  recentMenu_ = new QMenu(this);
  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });
  ToolButton1->setMenu(recentMenu_);
  ToolButton1->setPopupMode(QToolButton::MenuButtonPopup);
  ToolBar1->addWidget(spacer(ToolBar1, 30));
  ToolBar1->addAction(acFind_loc);
  ToolBar1->addWidget(spacer(ToolBar1, 30));

  cbWrapText = new QCheckBox("&Wrap Text", ToolBar1);
  cbWrapText->setToolTip("Wrap text of trace file");
  cbWrapText->setFixedWidth(120);
  cbReadOnly = new QCheckBox("&Read only", ToolBar1);
  cbReadOnly->setToolTip("Uncheck Read only box to edit the content");
  cbReadOnly->setFixedWidth(120);
  cbFormatFQuery = new QCheckBox("Format Final &Query", ToolBar1);
  cbFormatFQuery->setFixedWidth(160);
  for (QCheckBox* box : {cbWrapText, cbReadOnly, cbFormatFQuery}) {
    box->installEventFilter(new InstantMnemonic(box));
    ToolBar1->addWidget(box);
  }
  connect(cbWrapText, &QCheckBox::toggled, this, [this](bool on) { cbWrapTextClick(on); });
  connect(cbReadOnly, &QCheckBox::toggled, this, [this](bool on) { cbReadOnlyClick(on); });
  connect(cbFormatFQuery, &QCheckBox::toggled, this, [this](bool on) { cbFormatFQueryClick(on); });

  for (QAction* action : {acFontDec, acFontInc}) {
    auto* button = new QToolButton(ToolBar1);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedWidth(24);
    ToolBar1->addWidget(button);
  }
  ToolBar1->addWidget(spacer(ToolBar1, 30));
  ToolBar1->addAction(acHelp);
  ToolButton3 = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(acHelp));
  ToolButton3->installEventFilter(new NoToolTip(ToolButton3));
}

void TForm1::createSummaryPane() {
  summaryDock_ = new QDockWidget("Summary", this);
  summaryDock_->setObjectName("summaryDock");
  summaryDock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
  summaryPane_ = new SummaryPane(*TFMarrow1, summaryDock_);
  summaryDock_->setWidget(summaryPane_);
  // Below the editor: a wide table beside the outline would leave the
  // editor fewer than 80 columns at the default window size.
  addDockWidget(Qt::BottomDockWidgetArea, summaryDock_);
  summaryDock_->hide();

  acSummary_ = summaryDock_->toggleViewAction();
  acSummary_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  acSummary_->setText("Summary");
  acSummary_->setToolTip("Show or hide the summary of the optimizer's decisions (F9)");
  acSummary_->setShortcut(QKeySequence(Qt::Key_F9));
  acSummary_->setShortcutContext(Qt::WindowShortcut);
  addAction(acSummary_);
  ToolBar1->addAction(acSummary_);
  // Shown from the keyboard, the pane takes the keys: arrows walk the rows.
  // Given the focus for any reason but a click, the table would make its
  // first row current, which chooses it and moves the editor; with none
  // current, the first key down still comes to the first row.
  connect(acSummary_, &QAction::triggered, this, [this](bool shown) {
    if (shown) summaryPane_->table()->setFocus(Qt::MouseFocusReason);
  });
}

void TForm1::createWhyPane() {
  whyDock_ = new QDockWidget("Why This Plan", this);
  whyDock_->setObjectName("whyDock");
  whyDock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
  whyPane_ = new WhyPane(*TFMarrow1, whyDock_);
  whyDock_->setWidget(whyPane_);
  addDockWidget(Qt::BottomDockWidgetArea, whyDock_);
  whyDock_->hide();
  connect(summaryPane_, &SummaryPane::rowChosen, whyPane_, &WhyPane::showRow);

  acWhy_ = whyDock_->toggleViewAction();
  acWhy_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
  acWhy_->setText("Why");
  acWhy_->setToolTip("Show or hide why the optimizer chose the plan: access paths, join-order search (F8)");
  acWhy_->setShortcut(QKeySequence(Qt::Key_F8));
  acWhy_->setShortcutContext(Qt::WindowShortcut);
  addAction(acWhy_);
  // Beside the summary's button.
  const QList<QAction*> actions = ToolBar1->actions();
  const qsizetype at = actions.indexOf(acSummary_);
  ToolBar1->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, acWhy_);
}

int TForm1::loadTraceFile(const char* path, const char* name, const char* extension) {
  SVString text;
  int result = 0;
  if (!startupRead_.take(path, text, result)) result = loadFromFile(text, path);
  if (result != 0) return result;
  const int shown = TFMarrow1->loadTrace(text, rereadFromFile_ ? path : nullptr);
  if (shown != 0) {
    // The frame is empty now: no trace is shown, none can be reloaded.
    currentTrace_.clear();
    setWindowTitle(kTitle);
    return shown;
  }
  char caption[kMessageBufferSize];
  captionFor(name, extension, caption, sizeof caption);
  setWindowTitle(QString::fromUtf8(caption));
  return shown;
}

int TForm1::openTrace(const QByteArray& local) {
  // The record of the path is bounded; a path that does not fit is not
  // kept cut short, where it would name some other file. The load itself
  // always takes the whole path.
  const bool fits = local.size() < static_cast<qsizetype>(kPathBufferSize);
  std::snprintf(paths_.traceFileName, kPathBufferSize, "%s", fits ? local.constData() : "");
  char name[kPathBufferSize];
  char extension[kPathBufferSize];
  splitFileName(local.constData(), name, extension);
  const int result = loadTraceFile(local.constData(), name, extension);
  if (result < 0) return result;
  currentTrace_ = absoluteNativePath(local);
  addRecentFile(session_.recentFiles, currentTrace_.constData(), static_cast<size_t>(currentTrace_.size()));
  traceOpenedForComparison();
  noteOpened(currentTrace_);
  return result;
}

void TForm1::showLoadError(int result, const QByteArray& path) {
  char message[kMessageBufferSize];
  loadErrorMessage(result, path.constData(), message, sizeof message);
  QMessageBox::information(this, "Information", QString::fromLocal8Bit(message));
}

void TForm1::openFile(const QByteArray& path) {
  const int result = openTrace(path);
  if (result < 0) showLoadError(result, path);
}

void TForm1::openFile(const QString& path) { openFile(QFile::encodeName(path)); }

void TForm1::openRecentFile(const QByteArray& path) {
  if (::access(path.constData(), F_OK) != 0) {
    removeRecentFile(session_.recentFiles, path.constData());
    QMessageBox::information(this, "Information",
                             QStringLiteral("File %1 no longer exists; it was taken off the recent files.")
                                 .arg(QFile::decodeName(path)));
    return;
  }
  openFile(path);
}

void TForm1::fillRecentMenu() {
  recentMenu_->clear();
  const RecentFiles& recent = session_.recentFiles;
  for (int32_t i = 0; i < recent.count; ++i) {
    const QByteArray path(recent.paths[i].c_str());
    connect(recentMenu_->addAction(recentEntryText(i, QFile::decodeName(path))), &QAction::triggered, this,
            [this, path] { openRecentFile(path); });
  }
  if (recent.count == 0) recentMenu_->addAction("No recent files")->setEnabled(false);
  recentMenu_->addSeparator();
  recentMenu_->addAction(acSaveReport_);
}

int TForm1::reloadTrace() {
  if (currentTrace_.isEmpty()) return 0;
  const TFMarrow::ViewPlace place = TFMarrow1->viewPlace();
  const QByteArray path = currentTrace_;
  const int result = openTrace(path);
  if (result < 0) {
    showLoadError(result, path);
    return result;
  }
  TFMarrow1->restoreViewPlace(place);
  return 0;
}

void TForm1::goToLine() {
  // In a comparison, the side in use.
  const bool comparing = comparisonShown();
  if (comparing && compareView_->comparison() == nullptr) return;
  QsciScintilla* editor = comparing ? compareView_->searchedEditor() : TFMarrow1->editor();
  // The file's lines, as everywhere outside the margin; the comparison's
  // editors show the files as they are.
  const int32_t lines =
      comparing ? static_cast<int32_t>(std::max(1L, editor->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT)))
                : TFMarrow1->fileLineCount();
  int line = 0;
  int index = 0;
  editor->getCursorPosition(&line, &index);
  const int32_t current = comparing ? line + 1 : TFMarrow1->fileLineOf(line + 1);
  QInputDialog prompt(this);
  prompt.setWindowTitle("Go to Line");
  QString label = QStringLiteral("Line of the file (1 - %1):").arg(lines);
  if (!comparing && TFMarrow1->lineCount() != lines) {
    label += QStringLiteral("\nThe margin numbers the lines shown, formatted final queries included.");
  }
  prompt.setLabelText(label);
  prompt.setInputMode(QInputDialog::IntInput);
  prompt.setIntRange(1, lines);
  prompt.setIntValue(std::min(current, lines));
  if (prompt.exec() != QDialog::Accepted) return;
  if (comparisonShown()) {
    compareView_->goToLine(prompt.intValue());
  } else {
    TFMarrow1->goToFileLine(prompt.intValue());
  }
}

void TForm1::fitToArea(const QRect& area) {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  // The frame's real size once the window manager has framed the window.
  const bool framed = isVisible() && frame.size() != client.size();
  const int frameWidth = framed ? frame.width() - client.width() : kFrameAllowanceWidth;
  const int frameHeight = framed ? frame.height() - client.height() : kFrameAllowanceHeight;
  const PixelRect usable{area.left(), area.top(), area.width(), area.height()};
  clampSettings(settings_, largestClientWidth(usable, frameWidth), largestClientHeight(usable, frameHeight));
  const PixelRect place =
      fitWindow(windowWidthFor(settings_), windowHeightFor(settings_), usable, frameWidth, frameHeight);
  const bool applying = applyingSettings_;
  applyingSettings_ = true;
  resize(place.width, place.height);
  move(place.left, place.top);
  applyingSettings_ = applying;
  startSize_ = QSize(place.width, place.height);
  sizeSettled_ = false;
}

void TForm1::ToolButtonOpenFileClick() {
  // Beside the trace shown, where its neighbours are likeliest.
  const QString folder = currentTrace_.isEmpty() ? QString() : QFileInfo(QFile::decodeName(currentTrace_)).absolutePath();
  const QString path = chooseTraceFile(this, "Open", folder);
  if (!path.isEmpty()) openFile(path);
}

void TForm1::returnFocusToEditor() { TFMarrow1->editor()->setFocus(Qt::OtherFocusReason); }

void TForm1::cbWrapTextClick(bool on) {
  if (applyingSettings_) return;
  TFMarrow1->setWrap(on);
  returnFocusToEditor();
}

void TForm1::cbReadOnlyClick(bool on) {
  if (applyingSettings_) return;
  TFMarrow1->setReadOnly(on);
  returnFocusToEditor();
}

void TForm1::cbFormatFQueryClick(bool on) {
  if (applyingSettings_) return;
  TFMarrow1->setFormatFinalQuery(on);
  returnFocusToEditor();
}

void TForm1::acFontExecute(QAction* action) { TFMarrow1->stepFont(action == acFontInc ? 1 : -1); }

void TForm1::acHelpExecute() {
  TAboutBox box(this);
  box.exec();
}

int TForm1::editorSearchHandler(QWidget* control, const QString& text, int flags) {
  auto* editor = qobject_cast<QsciScintilla*>(control);
  return editor != nullptr ? editorSearch(editor, text, flags) : -1;
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The panes a comparison hid count as shown.
  session_.summaryVisible = comparisonShown() ? panesBeforeComparison_.summary : !summaryDock_->isHidden();
  session_.whyVisible = comparisonShown() ? panesBeforeComparison_.why : !whyDock_->isHidden();
  // A settings file that cannot be written is skipped without a word.
  saveSettingsOnClose(location_, settings_, session_);
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (applyingSettings_) return;
  // A maximized or full-screen size is the screen's, not one to return to.
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  // The size start-up applied is what the settings say, or their default
  // fitted to the screen: storing it would keep a fitted default as a size.
  if (!sizeSettled_ && size() == startSize_) return;
  sizeSettled_ = true;
  storeWindowSize(settings_, width(), height());
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) session_.maximized = isMaximized();
}
