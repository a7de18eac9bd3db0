// The summary pane beside the outline: what the optimizer decided, as a
// table with one row per final cost of a query block (and one per
// statement that has none), sortable by any column. Choosing a row
// chooses the outline node of its final cost, or the statement's root, so
// the editor goes there and shades its lines as the outline does; a row
// without a node in the outline moves the editor to its line. The
// costliest query block of each statement is bold, and the statement of
// the highest cost is tinted.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "facts/trace_digest.h"

class QLabel;
class QTableView;
class TFMarrow;

class SummaryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The background of the rows of the statement of the highest cost.
  static QColor topStatementBackground();

  explicit SummaryModel(const TFMarrow& frame, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Columns as sortDigestRows orders them; persistent indexes (the view's
  // selection) stay on their rows.
  void sort(int column, Qt::SortOrder order) override;

  // The frame's digest again: a new trace in the order last asked for.
  void reload();
  // No rows, until reload.
  void clear();

  // The digest row shown in view row `row`, or kNoFact.
  int32_t digestRow(int row) const;

 private:
  QString text(TextSpan text) const;
  QString display(const DigestRow& row, int column) const;
  QString toolTip(const DigestRow& row) const;

  const TFMarrow& frame_;
  std::vector<int32_t> order_;  // digest rows in view order
  int sortColumn_ = kColumnStatement;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

class SummaryPane : public QWidget {
  Q_OBJECT

 public:
  // Follows `frame`'s loads and final-query switches, and installs the
  // outline's tooltips (trace_tooltips.h).
  explicit SummaryPane(TFMarrow& frame, QWidget* parent = nullptr);

  QTableView* table() const { return table_; }
  SummaryModel* model() const { return model_; }
  QLabel* heading() const { return heading_; }

  // Chooses view row `row` as a click on it does.
  void chooseRow(int row);
  // The outline's tree node that choosing digest row `row` chooses, or
  // kNoTreeNode.
  int32_t treeNodeOf(int32_t row);

  QSize sizeHint() const override;

 signals:
  // Digest row `row` was chosen.
  void rowChosen(int32_t row);

 protected:
  // Notes presses on the table, so that a press on the current row
  // chooses it again.
  // A hidden pane follows the trace only once it is shown.
  void showEvent(QShowEvent* event) override;

 private:
  void onShownTextChanged();
  void updateHeading();

  TFMarrow& frame_;
  SummaryModel* model_;
  QTableView* table_;
  QLabel* heading_;
  std::vector<int32_t> nodeOfKeyPoint_;  // the first tree node of each key point
  int64_t nodesBuild_ = -1;              // the digest build they were found for
  int64_t shownBuild_ = -1;              // the digest build the table shows
  bool stale_ = false;                   // the trace changed while the pane was hidden
  int32_t chosen_ = kNoFact;             // the digest row chosen last
  uint64_t choices_ = 0;
};
