#include "gui/summary_pane.h"

#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

#include "gui/multi_line_tree.h"
#include "gui/press_again.h"
#include "gui/trace_frame.h"
#include "gui/trace_tooltips.h"

namespace {

// By DigestColumn.
constexpr const char* kHeaders[kDigestColumnCount] = {"Statement", "Query block", "Cost",    "Best join order", "Card",
                                                      "Bytes",     "Tried",       "Aborted", "Plan",            "Line"};
constexpr const char* kHeaderTips[kDigestColumnCount] = {
    "The statement's sql_id",
    "The query block whose final cost the row shows",
    "The query block's final cost",
    "The tables of its best join order, in order",
    "Its cardinality",
    "Its bytes",
    "Join orders tried for the query block",
    "Join orders aborted",
    "The kind of plan the cost is for",
    "The line of the final cost in the file",
};

bool isNumberColumn(int column) {
  return column == kColumnCost || column == kColumnCard || column == kColumnBytes || column == kColumnTried ||
         column == kColumnAborted || column == kColumnLine;
}

// Widest a column is made by fitting it to its contents, in pixels.
constexpr int kWidestColumn = 260;

}  // namespace

QColor SummaryModel::topStatementBackground() { return QColor(255, 236, 179); }

SummaryModel::SummaryModel(const TFMarrow& frame, QObject* parent) : QAbstractTableModel(parent), frame_(frame) {}

int SummaryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int SummaryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kDigestColumnCount; }

int32_t SummaryModel::digestRow(int row) const {
  if (row < 0 || row >= static_cast<int>(order_.size())) return kNoFact;
  // Between a load's new digest and its signal the rows may name records
  // the digest no longer has.
  const int32_t r = order_[static_cast<size_t>(row)];
  return r < frame_.digest().rows.count() ? r : kNoFact;
}

QString SummaryModel::text(TextSpan text) const { return shownTraceText(frame_, frame_.digest(), text); }

QString SummaryModel::display(const DigestRow& row, int column) const {
  const TraceDigest& d = frame_.digest();
  const bool statementOnly = (row.flags & kRowStatementOnly) != 0;
  const QueryBlockFact& block = digestBlock(d, row);
  switch (column) {
    case kColumnStatement: {
      const TextSpan id = d.facts.statements[row.statement].sqlId;
      return id.present() ? text(id) : QStringLiteral("#%1").arg(row.statement + 1);
    }
    case kColumnQueryBlock:
      return statementOnly ? QStringLiteral("(no final cost)") : text(row.name);
    case kColumnPlan:
      return text(block.plan);
    case kColumnCost:
      return text(block.cost);
    case kColumnCard:
      return text(block.card);
    case kColumnBytes:
      return text(block.bytes);
    case kColumnTables:
      return text(row.tables);
    case kColumnTried:
      return statementOnly ? QString() : QString::number(block.joinOrders.count);
    case kColumnAborted:
      return statementOnly ? QString() : QString::number(block.abortedJoinOrders);
    case kColumnLine:
      // The file's line, whatever form the final queries are shown in.
      return row.line > 0 ? QString::number(row.line) : QString();
    default:
      return QString();
  }
}

QString SummaryModel::toolTip(const DigestRow& row) const {
  const TraceDigest& d = frame_.digest();
  const StatementFacts& s = d.facts.statements[row.statement];
  QStringList lines;
  lines << QStringLiteral("Statement: %1 of %2").arg(row.statement + 1).arg(d.statements.count());
  auto add = [&lines](const char* label, const QString& value) {
    if (!value.isEmpty()) lines << QStringLiteral("%1: %2").arg(QLatin1String(label), value);
  };
  add("sql_id", text(s.sqlId));
  add("Plan hash value", text(s.planHashValue));
  add("SQL", shownSqlText(frame_, d, row.statement));
  if (row.flags & kRowStatementOnly) {
    add("Query block", QStringLiteral("no final cost in this statement"));
  } else {
    add("Query block", text(row.name));
    const QString tables = text(row.tables).split(' ', Qt::SkipEmptyParts).join(QStringLiteral(" \u2192 "));
    add("Best join order", text(digestBlock(d, row).bestJoinOrder) + (tables.isEmpty() ? QString() : QStringLiteral(": ") + tables));
  }
  if (row.flags & kRowTopOfStatement) add("Marked", QStringLiteral("the costliest query block of its statement"));
  if (row.flags & kRowTopStatement) add("Marked", QStringLiteral("the statement of the highest cost"));
  return toolTipText(lines);
}

QVariant SummaryModel::data(const QModelIndex& index, int role) const {
  const int32_t r = index.isValid() ? digestRow(index.row()) : kNoFact;
  if (r == kNoFact) return QVariant();
  const DigestRow& row = frame_.digest().rows[r];
  switch (role) {
    case Qt::DisplayRole:
      return display(row, index.column());
    case Qt::ToolTipRole:
      return toolTip(row);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter | (isNumberColumn(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::FontRole:
      if (row.flags & (kRowTopOfStatement | kRowStatementOnly)) {
        QFont font;
        font.setBold((row.flags & kRowTopOfStatement) != 0);
        font.setItalic((row.flags & kRowStatementOnly) != 0);
        return font;
      }
      return QVariant();
    // The tint with dark text, whatever the palette.
    case Qt::BackgroundRole:
      return row.flags & kRowTopStatement ? QVariant(topStatementBackground()) : QVariant();
    case Qt::ForegroundRole:
      return row.flags & kRowTopStatement ? QVariant(QColor(Qt::black)) : QVariant();
    default:
      return QVariant();
  }
}

QVariant SummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kDigestColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (role == Qt::DisplayRole) return QString::fromLatin1(kHeaders[section]);
  if (role == Qt::ToolTipRole) return QString::fromLatin1(kHeaderTips[section]);
  // The costliest first, at the first click.
  if (role == Qt::InitialSortOrderRole && isNumberColumn(section) && section != kColumnLine) {
    return static_cast<int>(Qt::DescendingOrder);
  }
  return QVariant();
}

void SummaryModel::sort(int column, Qt::SortOrder order) {
  sortColumn_ = column >= 0 && column < kDigestColumnCount ? column : kColumnStatement;
  sortOrder_ = order;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<int32_t> rows;
  rows.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) rows.push_back(digestRow(index.row()));
  sortDigestRows(frame_.digest(), static_cast<DigestColumn>(sortColumn_), order == Qt::DescendingOrder, order_.data(),
                 static_cast<int32_t>(order_.size()));
  std::vector<int> viewRowOf(order_.size());
  for (size_t i = 0; i < order_.size(); ++i) viewRowOf[static_cast<size_t>(order_[i])] = static_cast<int>(i);
  QModelIndexList after;
  for (qsizetype i = 0; i < before.size(); ++i) {
    const int32_t r = rows[static_cast<size_t>(i)];
    after << (r == kNoFact ? QModelIndex() : index(viewRowOf[static_cast<size_t>(r)], before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SummaryModel::reload() {
  beginResetModel();
  order_.resize(static_cast<size_t>(frame_.digest().rows.count()));
  std::iota(order_.begin(), order_.end(), 0);
  sortDigestRows(frame_.digest(), static_cast<DigestColumn>(sortColumn_), sortOrder_ == Qt::DescendingOrder,
                 order_.data(), static_cast<int32_t>(order_.size()));
  endResetModel();
}

void SummaryModel::clear() {
  if (order_.empty()) return;
  beginResetModel();
  order_.clear();
  endResetModel();
}

SummaryPane::SummaryPane(TFMarrow& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  model_ = new SummaryModel(frame, this);
  heading_ = new QLabel(this);
  heading_->setWordWrap(true);
  heading_->setContentsMargins(4, 2, 4, 2);
  table_ = new QTableView(this);
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setSortIndicator(kColumnStatement, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(heading_);
  layout->addWidget(table_);

  connect(&frame_, &TFMarrow::shownTextChanged, this, [this] { onShownTextChanged(); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (current.isValid() && model_->digestRow(current.row()) != chosen_) chooseRow(current.row());
  });
  // Enter, a double click, or a press on the row chosen last: go there again.
  connect(table_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) { chooseRow(index.row()); });
  new PressAgain(table_, [this] { return choices_; }, [this](const QModelIndex& index) { chooseRow(index.row()); });
  installOutlineToolTips(frame_);
  stale_ = true;
}

QSize SummaryPane::sizeHint() const { return QSize(520, 240); }

void SummaryPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) onShownTextChanged();
}

void SummaryPane::onShownTextChanged() {
  const TraceDigest& d = frame_.digest();
  // Rows of an older digest would name records it no longer has.
  stale_ = !isVisible();
  if (stale_) {
    if (d.build != shownBuild_) model_->clear();
    return;
  }
  // The same trace with its final queries in another form: the rows
  // give the file's lines, which stay.
  if (d.build == shownBuild_) return;
  shownBuild_ = d.build;
  chosen_ = kNoFact;
  model_->reload();
  table_->resizeColumnsToContents();
  for (int column = 0; column < kDigestColumnCount; ++column) {
    if (table_->columnWidth(column) > kWidestColumn) table_->setColumnWidth(column, kWidestColumn);
  }
  updateHeading();
}

void SummaryPane::updateHeading() {
  const TraceDigest& d = frame_.digest();
  const int32_t statements = d.statements.count();
  const int32_t costs = d.queryBlockRows.count();
  if (statements == 0) {
    heading_->setText(QStringLiteral("No traced statement."));
    return;
  }
  // The legend names the marks the rows carry, and only those.
  int32_t flags = 0;
  for (int32_t r = 0; r < d.rows.count(); ++r) flags |= d.rows[r].flags;
  QString legend;
  if (flags & kRowTopOfStatement) legend += QStringLiteral(" <b>Bold</b>: the costliest query block of its statement.");
  if (flags & kRowTopStatement) {
    legend += QStringLiteral(" <span style=\"background-color:%1; color:black\">&nbsp;Tinted&nbsp;</span>: "
                             "the statement of the highest cost.")
                  .arg(SummaryModel::topStatementBackground().name());
  }
  heading_->setText(QStringLiteral("%1 statement%2, %3 final cost%4.%5")
                        .arg(statements)
                        .arg(statements == 1 ? "" : "s")
                        .arg(costs)
                        .arg(costs == 1 ? "" : "s")
                        .arg(legend));
}

int32_t SummaryPane::treeNodeOf(int32_t r) {
  const TraceDigest& d = frame_.digest();
  const MultiLineTree0& tree = *frame_.tree();
  const NodeMarrow_Array_c& nodes = frame_.nodes();
  if (r < 0 || r >= d.rows.count() || d.keyPointCount != frame_.keyPoints().count()) return kNoTreeNode;
  auto keyPointOf = [&](int32_t treeNode) {
    const int32_t n = tree.item(treeNode).userIndex;
    return n >= 0 && n < nodes.count() ? nodes[n].keyPointIndex : -1;
  };
  const DigestRow& row = d.rows[r];
  if (row.flags & kRowStatementOnly) {
    for (int32_t root = tree.firstTopLevel(); root != kNoTreeNode; root = tree.nextSibling(root)) {
      if (statementOfRoot(frame_, keyPointOf(root)) == row.statement) return root;
    }
    return kNoTreeNode;
  }
  if (nodesBuild_ != d.build) {
    // Nodes are added parents first, so a root comes before the group
    // that shares its key point.
    nodeOfKeyPoint_.assign(static_cast<size_t>(d.keyPointCount), kNoTreeNode);
    for (int32_t node = 0; node < tree.nodeCount(); ++node) {
      const int32_t k = keyPointOf(node);
      if (k >= 0 && k < d.keyPointCount && nodeOfKeyPoint_[static_cast<size_t>(k)] == kNoTreeNode) {
        nodeOfKeyPoint_[static_cast<size_t>(k)] = node;
      }
    }
    nodesBuild_ = d.build;
  }
  const int32_t keyPoint = digestBlock(d, row).keyPoint;
  return keyPoint >= 0 && keyPoint < d.keyPointCount ? nodeOfKeyPoint_[static_cast<size_t>(keyPoint)] : kNoTreeNode;
}

void SummaryPane::chooseRow(int viewRow) {
  const int32_t r = model_->digestRow(viewRow);
  if (r == kNoFact) return;
  chosen_ = r;
  ++choices_;
  emit rowChosen(r);
  MultiLineTree0& tree = *frame_.tree();
  const int32_t node = treeNodeOf(r);
  if (node != kNoTreeNode) {
    // Choosing the node the tree has chosen already would change nothing.
    tree.selectionModel()->clearSelection();
    tree.chooseNode(node);
    tree.scrollTo(tree.indexOf(node));
    return;
  }
  const DigestRow& row = frame_.digest().rows[r];
  if (row.line <= 0) return;
  frame_.goToLine(frame_.shownLineOf(row.line));
  table_->setFocus(Qt::OtherFocusReason);
}
