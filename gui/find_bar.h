// TFFind: the one-line find strip under the trace editor.
//
// Holds the text to look for with a history of earlier searches, Next and
// Previous buttons, a case option and a "No match found" notice. It does
// not search itself: runSearch hands the text and flags to `onSearch`,
// which the trace frame points at its forwarder to the main window's
// search handler.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QFont;
class QFrame;
class QLabel;
class QPushButton;

// Search flags passed along the search chain.
constexpr int SearchBackward = 1;
constexpr int SearchMatchCase = 2;

class TFFind : public QWidget {
  Q_OBJECT

 public:
  static constexpr int historyLimit = 30;
  // (control, text, flags) -> number of matches, or -1 without a control.
  using SearchFunction = std::function<int(QWidget* control, const QString& text, int flags)>;

  explicit TFFind(QWidget* parent = nullptr);

  // Opens the bar for `editor`: sets its height, puts a non-empty `text`
  // at the top of the history, hides "No match found", clears
  // lastSearchFailed and gives the combo box the focus with its text
  // selected, so typing replaces it. Does not search.
  void showFindBar(QWidget* editor, const QString& text);
  // Collapses the bar; the text, the history and targetEditor remain.
  void hideFindBar();
  // Searches with the combo box's text (adding SearchMatchCase when "Match
  // case" is ticked), which enters the history even when empty; beeps at
  // the first failure of a run when beepOnFailure is set and shows "No
  // match found" exactly when nothing was found.
  void runSearch(int flags);

  // The font of the combo box (the main window's, through the frame).
  void setComboFont(const QFont& font);

  bool barShown = true;
  bool lastSearchFailed = false;
  bool beepOnFailure = false;
  int barResolution = 96;
  QPointer<QWidget> targetEditor;
  SearchFunction onSearch;
  // The failure sound; tests replace it to count beeps.
  std::function<void()> beep;

  QFrame* pnFind;
  QPushButton* btCloseFind;
  QLabel* lbFind;
  QComboBox* Edit1;
  QPushButton* btNext;
  QPushButton* btPrev;
  QCheckBox* cbCase;
  QLabel* lbNoMatch;

 protected:
  // Enter in the combo box acts as Next and Escape closes the bar; both
  // are consumed.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Collapses the bar and gives the focus back to the editor searched.
  void closeAndReturnFocus();
  void btCloseFindClick();
  void SearchClick(int flags);
  // Removes an entry equal to `text` without regard to case, drops the
  // oldest when the list is full, and puts `text` on top, selected.
  void addToHistory(const QString& text);
};
