// DifferenceListModel: the rows of a comparison's DifferenceList as a
// table of three columns ("Difference", "A", "B") for a flat tree view.
// Headings are bold on a light grey band and cannot be chosen, so the
// arrow keys go from one difference to the next.
#pragma once

#include <QAbstractTableModel>

#include "compare/difference_list.h"

class DifferenceListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kWhatColumn = 0, kAColumn = 1, kBColumn = 2, kColumnCount = 3 };

  using QAbstractTableModel::QAbstractTableModel;

  // Shows `list`, which must outlive its use here; null shows nothing.
  void setList(const DifferenceList* list);
  // The row's record, or null outside the list.
  const DifferenceRow* rowAt(int row) const;
  bool isHeading(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const DifferenceList* list_ = nullptr;
};
