#include "gui/main_window.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>

#include "app/trace_file.h"
#include "base/sv_string.h"
#include "gui/about_box.h"
#include "gui/editor_search.h"
#include "gui/trace_frame.h"

namespace {

// An empty gap of the toolbar, `width` pixels wide.
QWidget* spacer(QWidget* parent, int width) {
  auto* label = new QLabel(parent);
  label->setFixedWidth(width);
  return label;
}

// The first local file of a drop, or an empty text.
QString droppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return QString();
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return QString();
}

}  // namespace

TForm1::TForm1(int argumentCount, const char* const* arguments, QWidget* parent)
    : QMainWindow(parent) {
  Q_INIT_RESOURCE(zazozav);
  setWindowTitle(kTitle);
  setAcceptDrops(true);
  TFMarrow1 = new TFMarrow(this);
  setCentralWidget(TFMarrow1);
  createActions();
  createToolBar();

  applySettingDefaults(settings_);
  applyingSettings_ = true;
  TFMarrow1->setSearchHandler([this](QWidget* control, const QString& text, int flags) {
    return editorSearchHandler(control, text, flags);
  });

  initStartupPaths(paths_);
  fillExeDir(paths_);
  parseCommandLine(paths_, argumentCount, arguments);
  ::settingsLocation(paths_, location_);
  readStartupSettings(location_.path, settings_);

  resize(windowWidthFor(settings_), windowHeightFor(settings_));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
  }

  TFMarrow1->applySettings(settings_, kDefaultResolution, font());
  cbWrapText->setChecked(hasOption(settings_, OptWrapText));
  cbReadOnly->setChecked(hasOption(settings_, OptReadOnly));
  cbFormatFQuery->setChecked(hasOption(settings_, OptFormatFinalQuery));
  applyingSettings_ = false;
  setWindowIcon(QIcon(":/zazozav.png"));

  if (paths_.traceFileName[0] != '\0') {
    char name[kPathBufferSize];
    char extension[kPathBufferSize];
    splitFileName(paths_.traceFileName, name, extension);
    loadTraceFile(paths_.traceFileName, name, extension);
  }
}

TForm1::~TForm1() = default;

void TForm1::createActions() {
  acOpen = new QAction(style()->standardIcon(QStyle::SP_DialogOpenButton), "Open File", this);
  acOpen->setToolTip("Open File");
  connect(acOpen, &QAction::triggered, this, [this] { ToolButtonOpenFileClick(); });

  acFind_loc = new QAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), "Find", this);
  acFind_loc->setToolTip("Find");
  acFind_loc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  connect(acFind_loc, &QAction::triggered, this, [this] { TFMarrow1->find(); });

  acFindNext = new QAction("acFindNext", this);
  acFindNext->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  connect(acFindNext, &QAction::triggered, this, [this] { TFMarrow1->findNext(); });

  acFindPrev = new QAction("acFindPrev", this);
  acFindPrev->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  connect(acFindPrev, &QAction::triggered, this, [this] { TFMarrow1->findPrevious(); });

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
  addActions({acFind_loc, acFindNext, acFindPrev, acFontDec, acFontInc, acHelp});
  for (QAction* action : {acFind_loc, acFindNext, acFindPrev, acFontDec, acFontInc, acHelp}) {
    action->setShortcutContext(Qt::WindowShortcut);
  }
  // The editor binds some of these keys itself (zoom on Ctrl+Minus and
  // Ctrl+Plus) and would take them while it is editable.
  QsciCommandSet* commands = TFMarrow1->editor()->standardCommands();
  for (const QKeySequence& key :
       {acFind_loc->shortcut(), acFindNext->shortcut(), acFindPrev->shortcut(), acFontDec->shortcut(),
        acFontInc->shortcuts()[0], acFontInc->shortcuts()[1]}) {
    const int code = key[0].toCombined();
    for (QsciCommand* command : commands->commands()) {
      if (command->key() == code) command->setKey(0);
      if (command->alternateKey() == code) command->setAlternateKey(0);
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
  ToolBar1->addWidget(cbWrapText);
  ToolBar1->addWidget(cbReadOnly);
  ToolBar1->addWidget(cbFormatFQuery);
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
}

int TForm1::loadTraceFile(const char* path, const char* name, const char* extension) {
  SVString text;
  const int result = loadFromFile(text, path);
  if (result != 0) return result;
  const int shown = TFMarrow1->loadTrace(text);
  char caption[kMessageBufferSize];
  captionFor(name, extension, caption, sizeof caption);
  setWindowTitle(QString::fromUtf8(caption));
  return shown;
}

void TForm1::openFile(const QString& path) {
  const QByteArray local = path.toLocal8Bit();
  // The record of the path is bounded; a path that does not fit is not
  // kept cut short, where it would name some other file. The load itself
  // always takes the whole path.
  const bool fits = local.size() < static_cast<qsizetype>(kPathBufferSize);
  std::snprintf(paths_.traceFileName, kPathBufferSize, "%s", fits ? local.constData() : "");
  char name[kPathBufferSize];
  char extension[kPathBufferSize];
  splitFileName(local.constData(), name, extension);
  const int result = loadTraceFile(local.constData(), name, extension);
  if (result < 0) {
    char message[kMessageBufferSize];
    loadErrorMessage(result, local.constData(), message, sizeof message);
    QMessageBox::information(this, "Information", QString::fromLocal8Bit(message));
  }
}

void TForm1::ToolButtonOpenFileClick() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                    "Trace files (*.trc *.TRC);;All Files (*)");
  if (!path.isEmpty()) openFile(path);
}

void TForm1::cbWrapTextClick(bool on) {
  if (!applyingSettings_) TFMarrow1->setWrap(on);
}

void TForm1::cbReadOnlyClick(bool on) {
  if (!applyingSettings_) TFMarrow1->setReadOnly(on);
}

void TForm1::cbFormatFQueryClick(bool on) {
  if (!applyingSettings_) TFMarrow1->setFormatFinalQuery(on);
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
  // A settings file that cannot be written is skipped without a word.
  saveSettingsOnClose(location_, settings_);
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!applyingSettings_) storeWindowSize(settings_, width(), height());
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = droppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  openFile(path);
}
