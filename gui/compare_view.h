// CompareView: two traces side by side, A (the trace the window shows) at
// the left and B at the right, each in a trace editor highlighted as the
// main one, with the list of their differences under them. The lines that
// differ (noise left out) are marked in both editors; choosing a
// difference puts its lines on the second row of both and shades them as
// a chosen outline node is shaded; scrolling one editor keeps the other
// aligned. The files are read and compared on a worker thread
// (ComparisonJob) while a busy cursor shows. The worker also builds each
// editor's document with its text (DocumentLoader): the editors swap the
// documents in and show the texts as soon as they are built, while the
// worker compares them; the markers and the list follow the comparison.
// No full-size text or room for one is touched on the GUI thread, so the
// window keeps answering throughout (compare_view_text.cc).
//
// Each editor holds its trace once: the texts the worker read are freed
// once they are compared, and what the view keeps of the comparison (line
// tables, equal runs, hunks, the list's rows) needs no trace text. The
// differing lines are marked a block of lines at a time as the views come
// to them: two unrelated traces differ in every line, and a marker costs
// the editor an allocation per line.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "compare/file_comparison.h"

class AlignedScrolling;
class QsciScintilla;
class ComparisonJob;
class DifferenceListModel;
class DocumentLoader;
class ElidedLabel;
class QAction;
class QFont;
class QLabel;
class QSplitter;
class QToolButton;
class QTreeView;
class TFFind;
class TraceEditor;
class TraceLexer;

// Takes the keys of `actions`' shortcuts from `editor`'s own bindings, so
// that the window's shortcuts work while the editor has the focus.
void releaseEditorKeys(QsciScintilla* editor, const QList<QAction*>& actions);

class CompareView : public QWidget {
  Q_OBJECT

 public:
  // Markers of the differing lines: a light background, and a bar in the
  // narrow margin beside the line numbers.
  static constexpr int kDifferingLineMarker = 2;
  static constexpr int kDifferingBarMarker = 3;
  // The differing lines of the chosen difference.
  static constexpr int kChosenLineMarker = 4;
  // Lines inside a run of differing lines that the comparison leaves out
  // as noise (time stamps, addresses).
  static constexpr int kNoiseLineMarker = 5;
  static constexpr int kBarMargin = 1;
  // Lines marked at a time.
  static constexpr int32_t kMarkBlockLines = 1024;

  explicit CompareView(QWidget* parent = nullptr);
  ~CompareView() override;

  // Reads the traces at `pathA` and `pathB` (local 8-bit paths) and
  // compares them, replacing what the view showed; the view shows that it
  // is at work until the result is in, then `shown` or `failed` follows.
  void start(const QByteArray& pathA, const QByteArray& pathB);
  // Drops the comparison, or the one under way; the editors let go of
  // both traces in the next turns of the event loop.
  void clear();
  // Reading or comparing.
  bool busy() const { return job_ != nullptr; }
  // The comparison shown (its texts and facts already given away), or null.
  const FileComparison* comparison() const;

  // Both editors take `font` (the main editor's), bold styles kept.
  void setEditorFont(const QFont& font);
  // The editors give up their own bindings of the actions' keys, so that
  // the window's shortcuts work while they have the focus.
  void releaseKeys(const QList<QAction*>& actions);

  // The find commands and going to a line act on the side the reader was
  // last in (A until then): the bar under the editors searches it.
  TraceEditor* searchedEditor() const;
  void find();
  void findNext();
  void findPrevious();
  // Puts the caret at the start of 1-based `line` of the searched side,
  // that line on the second row, and gives that editor the focus.
  void goToLine(int32_t line);
  TFFind* findBar() const { return findBar_; }

  // Shows difference `row` of the list in both editors (a heading or a
  // row outside the list does nothing).
  void showDifference(int row);
  // Makes `row` the list's current row, which shows it.
  void chooseDifference(int row);

  TraceEditor* editorA() const { return a_.editor; }
  TraceEditor* editorB() const { return b_.editor; }
  TraceLexer* lexerA() const { return a_.lexer; }
  TraceLexer* lexerB() const { return b_.lexer; }
  QTreeView* differenceList() const { return list_; }
  DifferenceListModel* differenceModel() const { return model_; }
  QToolButton* closeButton() const { return closeButton_; }
  // Copies the comparison's try-script (compare/try_script.h).
  QToolButton* scriptButton() const { return scriptButton_; }
  ElidedLabel* summary() const { return summary_; }
  // What the editors' line backgrounds mean.
  QLabel* legend() const { return legend_; }
  // The titles over the editors.
  ElidedLabel* titleA() const { return a_.title; }
  ElidedLabel* titleB() const { return b_.title; }

 signals:
  // The close button or Escape.
  void closeRequested();
  // A file could not be read: the load's code and the file's path.
  void failed(int code, const QByteArray& path);
  // The comparison is shown.
  void shown();

 private:
  // One trace's pane: its title, editor and lexer, the document it shows
  // (held so that it can be freed away from the GUI thread), the blocks of
  // lines whose markers are set, and the chosen lines.
  struct Side {
    bool isA = true;
    ElidedLabel* title = nullptr;
    TraceEditor* editor = nullptr;
    TraceLexer* lexer = nullptr;
    std::unique_ptr<DocumentLoader> document;
    std::vector<uint8_t> markedBlocks;
    int32_t chosenFirst = 0;  // 0-based
    int32_t chosenCount = 0;
  };
  QWidget* makePane(const char* name, Side& side);
  void jobFinished();
  // Shows the comparison once it is done (the texts show already), after
  // the editors' marker room is made (compare_view_text.cc).
  void presentLater();
  void present();

  // compare_view_text.cc: the texts' documents into the editors, and the
  // markers.
  // A's document now, B's in the next turn (or when the job ends first).
  void showDocuments();
  void showDocumentB();
  void showDocument(Side& side, std::unique_ptr<DocumentLoader> document);
  // Makes the editor's room for markers, one pointer per line, which its
  // first marker would make (tens of milliseconds for a large trace): one
  // side per turn of the event loop, A first, so that neither turn is long.
  void makeMarkerRoom(Side& side);
  // Gives the editor an empty document; its own is freed on another thread.
  void emptyEditor(Side& side);
  // The same for both editors, one per turn of the event loop.
  void emptyEditorsLater();
  // Sets the markers of the blocks of lines around the side's view.
  void markAround(Side& side);
  void markBlock(Side& side, int32_t block);
  // Shows the 0-based lines [first, first + count) of the side as chosen.
  void setChosen(Side& side, int32_t first, int32_t count);
  // Sets (or with `add` false clears) the chosen marker on the differing
  // lines among the side's chosen lines, in the blocks marked so far.
  void markChosen(Side& side, bool add);
  // Puts 1-based `line` on the second row of the side's view and shows
  // [line, line + count) as chosen.
  void placeChosen(Side& side, int32_t line, int32_t count);
  void updateGutters();
  QString summaryText() const;
  void setBusyCursor(bool on);
  void dropJob();

  ElidedLabel* summary_;
  QLabel* legend_;
  QToolButton* closeButton_;
  QToolButton* scriptButton_;
  QSplitter* splitter_;
  QSplitter* editors_;
  Side a_;
  Side b_;
  QTreeView* list_;
  TFFind* findBar_;
  QPointer<TraceEditor> lastEditor_;  // the side the reader was last in
  DifferenceListModel* model_;
  AlignedScrolling* scrolling_;

  ComparisonJob* job_ = nullptr;  // the comparison under way, a child of the view
  std::unique_ptr<FileComparison> comparison_;
  std::unique_ptr<FileComparison> arriving_;  // done, shown once the marker room is made
  QByteArray pathA_;
  QByteArray pathB_;
  bool busyCursor_ = false;
  uint32_t emptying_ = 0;  // counts the requests to empty the editors; the last one stands
};
