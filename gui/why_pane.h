// The "why this plan" pane: for the query block chosen (a summary row, or
// an outline node of its final cost or its join orders), the tables it
// estimated with their access paths, its join-order search as a chart,
// and whether a join order the reader names was tried. Every row and
// point goes to its lines in the editor, shaded as a chosen node is.
#pragma once

#include <QWidget>

#include <cstdint>

class AccessPathsView;
class QLabel;
class QLineEdit;
class QTabWidget;
class SearchMapView;
class TFMarrow;

class WhyPane : public QWidget {
  Q_OBJECT

 public:
  explicit WhyPane(TFMarrow& frame, QWidget* parent = nullptr);

  // Shows digest row `row` (kNoFact: none).
  void showRow(int32_t row);
  // Shows the query block of key point `keyPoint` when it is a final cost
  // or one of its join orders.
  void showKeyPoint(int32_t keyPoint);
  int32_t shownRow() const { return row_; }

  QTabWidget* tabs() const { return tabs_; }
  AccessPathsView* accessPaths() const { return accessPaths_; }
  SearchMapView* searchMap() const { return searchMap_; }
  QLineEdit* question() const { return question_; }
  QLabel* answer() const { return answer_; }

  QSize sizeHint() const override { return QSize(520, 300); }

 protected:
  // A hidden pane follows the choices only once it is shown.
  void showEvent(QShowEvent* event) override;

 private:
  void refresh();
  void ask();
  // Lines [first, last] of the text as scanned, into the editor.
  void goToLines(int32_t first, int32_t last);

  TFMarrow& frame_;
  QLabel* heading_;
  QTabWidget* tabs_;
  AccessPathsView* accessPaths_;
  SearchMapView* searchMap_;
  QLineEdit* question_;
  QLabel* answer_;
  int32_t row_ = -1;
  int64_t build_ = -1;  // the digest build row_ belongs to
  bool stale_ = false;  // row_ changed while the pane was hidden
};
