// TForm1: the viewer's only main window. A toolbar to open a trace,
// search, switch the three view options, step the editor font and show
// the About dialog; below it the trace frame. It reads the settings at
// start-up and saves them when it closes.
#pragma once

#include <QFile>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

#include "app/command_line.h"
#include "app/read_ahead.h"
#include "app/settings_store.h"
#include "app/viewer_settings.h"

class CompareView;
class QStackedWidget;
class QStatusBar;
class QAction;
class QCheckBox;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class SummaryPane;
class WhyPane;
class TFMarrow;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Marrow Viewer";

  // Builds the window from the program's arguments (without the program
  // path): reads the settings, sizes and centres itself on the screen's
  // usable area, applies the settings to the frame and loads the trace
  // named on the command line (the whole name, however long), silently
  // keeping the empty view when that fails.
  TForm1(int argumentCount, const char* const* arguments, QWidget* parent = nullptr);
  ~TForm1() override;

  // Reads `path` and hands it to the frame; the caption becomes
  // captionFor(name, extension). Returns 0 or the load's negative code:
  // when the file could not be read the frame and the caption are
  // unchanged; when the frame ran out of memory (LoadNoMemory) it is
  // empty and no trace is current.
  int loadTraceFile(const char* path, const char* name, const char* extension);

  // The Open command after the dialog: loads `path` and shows the failure
  // message in an "Information" box. A trace that loads becomes the first
  // of the recent files.
  // `path` is the name's bytes (gui/native_paths.h); a name given as text
  // is encoded with QFile::encodeName.
  void openFile(const QByteArray& path);
  void openFile(const QString& path);
  void openFile(const char* path) { openFile(QByteArray(path)); }
  // A recent file chosen from the Open button's drop-down; one that no
  // longer exists leaves the list with a short notice.
  void openRecentFile(const QByteArray& path);
  // F5: loads the shown trace again from its file and keeps the view on
  // the same key point where it is still there.
  // Returns 0, or the load's negative code after its message was shown.
  int reloadTrace();
  // Ctrl+G: asks for a line number and goes there.
  void goToLine();

  // "Compare with…" (main_window_compare.cc). The chooser of the second
  // trace gets the window and the folder to start in and returns a path,
  // or an empty text when the user gives none; by default a file dialog.
  using CompareFileChooser = std::function<QString(QWidget* parent, const QString& folder)>;
  void setCompareFileChooser(CompareFileChooser chooser) { compareChooser_ = std::move(chooser); }
  // Ctrl+D and the toolbar button: closes the comparison when it shows,
  // else asks for a second trace and compares the shown one with it.
  void toggleComparison();
  // Shows the shown trace (read again from its file) beside the trace at
  // `path`, with their differences. A file that cannot be read gives the
  // message Open gives and the one-trace view.
  void compareWith(const QString& path);
  // Back to the one-trace view as it was when the comparison opened, its
  // editor where side A was.
  void closeComparison();
  // Puts 1-based file line `top` at the top of the frame's editor and the
  // caret `caretOffset` bytes into file line `caretLine`.
  void showFileLinesAt(int32_t top, int32_t caretLine, int32_t caretOffset);
  bool comparisonShown() const;
  CompareView* compareView() const { return compareView_; }

  // "Save Report…" (main_window_report.cc): the HTML report of the shown
  // trace, or of the comparison while one shows, written to the file the
  // chooser names. The chooser gets the window and the proposed path (a
  // name beside the trace) and returns a path or an empty text; by default
  // a save dialog. The trace file is never written.
  using ReportFileChooser = std::function<QString(QWidget* parent, const QString& proposed)>;
  void setReportFileChooser(ReportFileChooser chooser) { reportChooser_ = std::move(chooser); }
  // Asks for the file and writes the report; a failure is told in a
  // message box. Returns 0, 1 when no file was chosen, or -1 on failure.
  int saveReport();
  // Writes the report of what is shown to `path`. Returns 0, or -1 with
  // `error` saying why.
  int writeReport(const QString& path, QString& error);
  QAction* saveReportAction() const { return acSaveReport_; }
  // The files the notice's "Open" links stand for, in their order, and
  // the same as a click on the link of `index`.
  const QStringList& noticeLinks() const { return noticeLinks_; }
  void openNoticeLink(int index);
  QAction* compareAction() const { return acCompare; }

  // Sizes the window for the settings on `area` (a screen's usable part)
  // as start-up does: stored values clamped to it, the size shrunk to fit
  // it with the frame, and the frame centred.
  void fitToArea(const QRect& area);

  TFMarrow* frame() const { return TFMarrow1; }
  ViewerSettings& settings() { return settings_; }
  ViewerSession& session() { return session_; }
  const StartupPaths& paths() const { return paths_; }
  const SettingsLocation& settingsLocation() const { return location_; }
  // The path of the trace shown, as opened; empty when none is.
  QString currentTrace() const { return QFile::decodeName(currentTrace_); }
  const QByteArray& currentTracePath() const { return currentTrace_; }
  QCheckBox* wrapBox() const { return cbWrapText; }
  QCheckBox* readOnlyBox() const { return cbReadOnly; }
  QCheckBox* formatQueryBox() const { return cbFormatFQuery; }
  QMenu* recentMenu() const { return recentMenu_; }
  // The status area's notice; empty while none shows.
  QString notice() const;
  // The summary pane beside the outline, its dock and the action that
  // shows and hides it (F9, and a toolbar button).
  SummaryPane* summaryPane() const { return summaryPane_; }
  QDockWidget* summaryDock() const { return summaryDock_; }
  QAction* summaryAction() const { return acSummary_; }
  QDockWidget* whyDock() const { return whyDock_; }
  WhyPane* whyPane() const { return whyPane_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void createActions();
  void createToolBar();
  void ToolButtonOpenFileClick();
  void cbWrapTextClick(bool on);
  void cbReadOnlyClick(bool on);
  void cbFormatFQueryClick(bool on);
  void acFontExecute(QAction* action);
  void acHelpExecute();
  // Searches the editor for the find bar; -1 for any other control.
  int editorSearchHandler(QWidget* control, const QString& text, int flags);
  // Loads the trace at `path`; on success it becomes the current trace
  // and the first recent file. Returns 0 or the load's negative code.
  int openTrace(const QByteArray& path);
  void showLoadError(int result, const QByteArray& path);
  // The comparison's action, its toolbar button, and the stack that holds
  // the frame and the comparison view (main_window_compare.cc).
  void createComparison();
  // A trace was opened: it can be compared, and a comparison of the one
  // before it closes.
  void traceOpenedForComparison();
  // The commands that work on the frame's trace alone.
  void setSingleTraceCommandsEnabled(bool on);
  void fillRecentMenu();
  // A one-line notice in the status area; an empty one hides the area
  // (main_window_notices.cc). Each of `links` is a file that an "Open"
  // link after the text opens.
  void showNotice(const QString& text, const QStringList& links = {});
  // The notes on the parts of a split trace that the file at `path`
  // names, and the parts that exist beside it.
  void splitTraceNotes(const QString& path, QStringList& notes, QStringList& links) const;
  // Tells why the trace named at start-up is not shown.
  void noteStartupFailure(const QString& path, int result);
  // Tells that the trace just opened is binary or holds no traced
  // statement, or clears the notice.
  void noteOpened(const QString& path);
  // Tells which of the compared files holds no traced statement.
  void noteCompared();
  // The "Save Report…" action, in the Open button's menu.
  void createReportAction();
  // After a toolbar option: the keys belong to the text, not to the box.
  void returnFocusToEditor();
  // The summary pane in a dock at the left, hidden until the session
  // shows it; its action on the toolbar.
  void createSummaryPane();
  void createWhyPane();

  TFMarrow* TFMarrow1;
  QToolBar* ToolBar1;
  QToolButton* ToolButton1;
  QToolButton* ToolButton3;
  QCheckBox* cbWrapText;
  QCheckBox* cbReadOnly;
  QCheckBox* cbFormatFQuery;
  QAction* acOpen;
  QAction* acHelp;
  QAction* acFontDec;
  QAction* acFontInc;
  QAction* acFind_loc;
  QAction* acFindNext;
  QAction* acFindPrev;
  QAction* acGoToLine;
  QAction* acReload;
  QAction* acQuit;
  QMenu* recentMenu_;
  QStatusBar* noticeBar_ = nullptr;  // made with the first notice
  QLabel* noticeLabel_ = nullptr;    // the notice's text and links
  QString noticeText_;
  QStringList noticeLinks_;
  QAction* acSaveReport_ = nullptr;
  ReportFileChooser reportChooser_;
  QByteArray comparedTrace_;  // B of the comparison shown, as given
  QDockWidget* summaryDock_ = nullptr;
  QDockWidget* whyDock_ = nullptr;
  WhyPane* whyPane_ = nullptr;
  SummaryPane* summaryPane_ = nullptr;
  QAction* acSummary_ = nullptr;
  QAction* acWhy_ = nullptr;

  StartupPaths paths_;
  ReadAhead startupRead_;  // the trace named on the command line, until opened
  SettingsLocation location_;
  ViewerSettings settings_;
  ViewerSession session_;
  QByteArray currentTrace_;  // the name's bytes, absolute
  QSize startSize_;           // the size applied at start-up
  bool sizeSettled_ = false;  // a size other than startSize_ was seen
  bool applyingSettings_ = true;
  bool rereadFromFile_ = true;  // loads let the frame read the file again (see loadTrace)
  QAction* acCompare = nullptr;
  QStackedWidget* centralStack_ = nullptr;
  CompareView* compareView_ = nullptr;
  CompareFileChooser compareChooser_;
  QPointer<QWidget> focusBeforeComparison_;
  // The panes about the frame's trace that a comparison hides, shown again
  // after it.
  struct PanesShown {
    bool summary = false;
    bool why = false;
  } panesBeforeComparison_;
};
