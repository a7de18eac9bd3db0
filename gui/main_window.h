// TForm1: the viewer's only main window. A toolbar to open a trace,
// search, switch the three view options, step the editor font and show
// the About dialog; below it the trace frame. It reads the settings at
// start-up and saves them when it closes.
#pragma once

#include <QMainWindow>

#include <cstdint>

#include "app/command_line.h"
#include "app/settings_store.h"
#include "app/viewer_settings.h"

class QAction;
class QCheckBox;
class QToolBar;
class TFMarrow;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Marrow Viewer";

  // Builds the window from the program's arguments (without the program
  // path): reads the settings, sizes and centres itself, applies the
  // settings to the frame and loads the trace named on the command line,
  // silently keeping the empty view when that fails.
  TForm1(int argumentCount, const char* const* arguments, QWidget* parent = nullptr);
  ~TForm1() override;

  // Reads `path` and hands it to the frame; the caption becomes
  // captionFor(name, extension). Returns 0 or the load's negative code, in
  // which case the frame and the caption are unchanged.
  int loadTraceFile(const char* path, const char* name, const char* extension);

  // The Open command after the dialog: loads `path` and shows the failure
  // message in an "Information" box.
  void openFile(const QString& path);

  TFMarrow* frame() const { return TFMarrow1; }
  ViewerSettings& settings() { return settings_; }
  const StartupPaths& paths() const { return paths_; }
  const SettingsLocation& settingsLocation() const { return location_; }
  QCheckBox* wrapBox() const { return cbWrapText; }
  QCheckBox* readOnlyBox() const { return cbReadOnly; }
  QCheckBox* formatQueryBox() const { return cbFormatFQuery; }
  QAction* fontIncAction() const { return acFontInc; }
  QAction* fontDecAction() const { return acFontDec; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

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

  TFMarrow* TFMarrow1;
  QToolBar* ToolBar1;
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

  StartupPaths paths_;
  SettingsLocation location_;
  ViewerSettings settings_;
  bool applyingSettings_ = true;
};
