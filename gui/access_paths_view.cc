#include "gui/access_paths_view.h"

#include <QBrush>
#include <QFont>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gui/trace_frame.h"
#include "gui/trace_tooltips.h"

namespace {

enum Column { kPathColumn, kCostColumn, kCardColumn, kIndexColumn, kLineColumn, kColumns };

// A whole path cheaper than the chosen one: rare, and worth a look.
QColor cheaperLoser() { return QColor(196, 78, 0); }

double numberOf(const TraceDigest& d, TextSpan span) { return digestNumber(d.view(span)); }

}  // namespace

AccessPathsView::AccessPathsView(const TFMarrow& frame, QWidget* parent) : QTreeWidget(parent), frame_(frame) {
  setColumnCount(kColumns);
  setHeaderLabels({"Table / access path", "Cost", "Card", "Index", "Line"});
  headerItem()->setToolTip(kPathColumn, "Each table alias estimated for the query block, and the paths costed for it");
  headerItem()->setToolTip(kCardColumn, "Card: Original \u2192 Rounded, as the trace prints them");
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setAlternatingRowColors(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(kPathColumn, QHeaderView::Stretch);
  auto choose = [this](QTreeWidgetItem* item) {
    if (!item) return;
    const int32_t first = item->data(kPathColumn, kFirstLineRole).toInt();
    if (first > 0) emit linesChosen(first, item->data(kPathColumn, kLastLineRole).toInt());
  };
  connect(this, &QTreeWidget::itemClicked, this, [choose](QTreeWidgetItem* item) { choose(item); });
  connect(this, &QTreeWidget::itemActivated, this, [choose](QTreeWidgetItem* item) { choose(item); });
}

QString AccessPathsView::text(TextSpan span) const {
  return shownTraceText(frame_, frame_.digest().view(span));
}

void AccessPathsView::showRow(int32_t row) {
  clear();
  const TraceDigest& d = frame_.digest();
  if (row < 0 || row >= d.rows.count()) return;
  for (const AccessPathFact& p : slice(d.facts.accessPaths, digestBlock(d, d.rows[row]).accessPaths)) addSection(p);
  for (int column = kCostColumn; column < kColumns; ++column) resizeColumnToContents(column);
}

void AccessPathsView::addSection(const AccessPathFact& p) {
  const TraceDigest& d = frame_.digest();
  // The file's line, as everywhere outside the editor's margin.
  auto lines = [&](QTreeWidgetItem* item, int32_t first, int32_t last) {
    item->setData(kPathColumn, kFirstLineRole, first);
    item->setData(kPathColumn, kLastLineRole, std::max(first, last));
    item->setText(kLineColumn, QString::number(first));
    item->setTextAlignment(kLineColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kCostColumn, Qt::AlignRight | Qt::AlignVCenter);
  };
  auto* table = new QTreeWidgetItem(this);
  QFont bold = table->font(kPathColumn);
  bold.setBold(true);
  table->setFont(kPathColumn, bold);
  QString caption = text(p.alias);
  if (p.bestLine > 0) caption += QStringLiteral(" \u2014 ") + text(p.bestPath);
  table->setText(kPathColumn, caption);
  table->setText(kCostColumn, text(p.bestCost));
  table->setText(kIndexColumn, text(p.bestIndex));
  if (p.cardLine > 0) table->setText(kCardColumn, text(p.cardOriginal) + QStringLiteral(" \u2192 ") + text(p.cardRounded));
  table->setToolTip(kPathColumn, QStringLiteral("Single Table Cardinality Estimation for %1").arg(text(p.alias)));
  lines(table, p.line, p.lastLine);

  // The chosen path is the costed candidate with its cost and index.
  const double bestCost = numberOf(d, p.bestCost);
  std::vector<int32_t> whole;
  std::vector<int32_t> bitmap;
  int32_t chosen = kNoFact;
  for (int32_t c = p.candidates.first; c < p.candidates.end(); ++c) {
    const AccessCandidateFact& x = d.facts.accessCandidates[c];
    (x.bitmap ? bitmap : whole).push_back(c);
    if (!x.bitmap && chosen == kNoFact && p.bestLine > 0 && d.view(x.cost) == d.view(p.bestCost) &&
        d.view(x.index) == d.view(p.bestIndex)) {
      chosen = c;
    }
  }
  auto byCost = [&](int32_t a, int32_t b) {
    const double ca = numberOf(d, d.facts.accessCandidates[a].cost);
    const double cb = numberOf(d, d.facts.accessCandidates[b].cost);
    if (std::isnan(ca) != std::isnan(cb)) return std::isnan(cb);
    return !std::isnan(ca) && ca < cb;
  };
  std::stable_sort(whole.begin(), whole.end(), byCost);
  std::stable_sort(bitmap.begin(), bitmap.end(), byCost);
  // A candidate's lines run to the next candidate's (in trace order), or
  // to the chosen path's line.
  auto lastLineOf = [&](int32_t c) {
    if (c + 1 < p.candidates.end()) return d.facts.accessCandidates[c + 1].line - 1;
    return p.bestLine > 0 ? p.bestLine - 1 : p.lastLine;
  };
  auto addCandidate = [&](QTreeWidgetItem* parent, int32_t c) {
    const AccessCandidateFact& x = d.facts.accessCandidates[c];
    auto* item = new QTreeWidgetItem(parent);
    item->setText(kPathColumn, text(x.path));
    item->setText(kCostColumn, text(x.cost));
    item->setText(kIndexColumn, text(x.index));
    lines(item, x.line, lastLineOf(c));
    const double cost = numberOf(d, x.cost);
    if (c == chosen) {
      item->setText(kPathColumn, QStringLiteral("\u2714 ") + text(x.path) + QStringLiteral("  (chosen)"));
      QFont font = item->font(kPathColumn);
      font.setBold(true);
      for (int column = 0; column < kColumns; ++column) item->setFont(column, font);
    } else if (!x.bitmap && !std::isnan(cost) && !std::isnan(bestCost) && cost < bestCost) {
      item->setText(kPathColumn, text(x.path) + QStringLiteral("  (cheaper than the chosen path)"));
      item->setToolTip(kPathColumn, "A whole access path that costs less than the one chosen");
      for (int column = 0; column < kColumns; ++column) item->setForeground(column, cheaperLoser());
    }
  };
  for (int32_t c : whole) addCandidate(table, c);
  if (!bitmap.empty()) {
    auto* group = new QTreeWidgetItem(table);
    group->setText(kPathColumn, QStringLiteral("Bitmap trials (%1): parts of a bitmap plan").arg(bitmap.size()));
    group->setToolTip(kPathColumn,
                      "Costed between \u00abtrying bitmap/domain indexes\u00bb and its end: parts of a bitmap plan,\n"
                      "not whole access paths, so their costs do not compare with the paths above");
    QFont italic = group->font(kPathColumn);
    italic.setItalic(true);
    group->setFont(kPathColumn, italic);
    lines(group, d.facts.accessCandidates[bitmap.front()].line, d.facts.accessCandidates[bitmap.front()].line);
    for (int32_t c : bitmap) addCandidate(group, c);
  }
  if (p.bestLine > 0) {
    auto* best = new QTreeWidgetItem(table);
    best->setText(kPathColumn, QStringLiteral("Best:: AccessPath: ") + text(p.bestPath));
    best->setText(kCostColumn, text(p.bestCost));
    best->setText(kCardColumn, text(p.bestCard));
    best->setText(kIndexColumn, text(p.bestIndex));
    lines(best, p.bestLine, p.lastLine);
  }
  const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
  for (const AccessFlagFact& flag : slice(d.facts.accessFlags, p.flags)) {
    auto* item = new QTreeWidgetItem(table);
    item->setIcon(kPathColumn, warning);
    if (flag.kind == kFlagRoundedToOne) {
      item->setText(kPathColumn, QStringLiteral("Card rounded to 1 from %1: an estimate this low is often a guess")
                                     .arg(text(p.cardOriginal)));
    } else {
      item->setText(kPathColumn,
                    "Using prorated density: a value outside the column's statistics, its selectivity guessed");
    }
    lines(item, flag.line, flag.line);
  }
  table->setExpanded(true);
}
