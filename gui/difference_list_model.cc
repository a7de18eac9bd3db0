#include "gui/difference_list_model.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

void DifferenceListModel::setList(const DifferenceList* list) {
  beginResetModel();
  list_ = list;
  endResetModel();
}

const DifferenceRow* DifferenceListModel::rowAt(int row) const {
  if (!list_ || row < 0 || row >= list_->rows.count()) return nullptr;
  return &list_->rows[row];
}

bool DifferenceListModel::isHeading(int row) const {
  const DifferenceRow* r = rowAt(row);
  return r && r->kind == kDifferenceHeading;
}

int DifferenceListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !list_ ? 0 : list_->rows.count();
}

int DifferenceListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant DifferenceListModel::data(const QModelIndex& index, int role) const {
  const DifferenceRow* r = rowAt(index.row());
  if (!r) return {};
  const bool heading = r->kind == kDifferenceHeading;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const DifferenceText cell = index.column() == kWhatColumn ? r->what : index.column() == kAColumn ? r->inA : r->inB;
      const std::string_view text = list_->cell(cell);
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::FontRole: {
      if (!heading) return {};
      QFont font = QApplication::font();
      font.setBold(true);
      return font;
    }
    case Qt::BackgroundRole:
      return heading ? QVariant(QApplication::palette().color(QPalette::AlternateBase).darker(104)) : QVariant();
    case Qt::ForegroundRole:
      // Headings are not enabled, yet read as plain text.
      return heading ? QVariant(QApplication::palette().color(QPalette::Active, QPalette::Text)) : QVariant();
    default:
      return {};
  }
}

QVariant DifferenceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kWhatColumn:
      return QStringLiteral("Difference");
    case kAColumn:
      return QStringLiteral("A");
    case kBColumn:
      return QStringLiteral("B");
    default:
      return {};
  }
}

Qt::ItemFlags DifferenceListModel::flags(const QModelIndex& index) const {
  if (!rowAt(index.row())) return Qt::NoItemFlags;
  if (isHeading(index.row())) return Qt::ItemNeverHasChildren;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
