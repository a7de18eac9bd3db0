#include "gui/why_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "facts/join_order_question.h"
#include "gui/access_paths_view.h"
#include "gui/search_map.h"
#include "gui/trace_frame.h"
#include "gui/trace_tooltips.h"

namespace {

QString lineLink(int32_t first, int32_t last, const QString& text) {
  return QStringLiteral("<a href=\"lines:%1:%2\">%3</a>").arg(first).arg(last).arg(text.toHtmlEscaped());
}

}  // namespace

WhyPane::WhyPane(TFMarrow& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  heading_ = new QLabel(this);
  heading_->setWordWrap(true);
  heading_->setContentsMargins(4, 2, 4, 2);
  tabs_ = new QTabWidget(this);
  accessPaths_ = new AccessPathsView(frame, tabs_);
  searchMap_ = new SearchMapView(frame, tabs_);
  auto* questionPage = new QWidget(tabs_);
  question_ = new QLineEdit(questionPage);
  question_->setPlaceholderText("Table aliases in order, or a LEADING(...) hint");
  question_->setClearButtonEnabled(true);
  auto* askButton = new QPushButton("&Ask", questionPage);
  answer_ = new QLabel(questionPage);
  answer_->setWordWrap(true);
  answer_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  answer_->setTextFormat(Qt::RichText);
  answer_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  auto* row = new QHBoxLayout;
  row->addWidget(question_, 1);
  row->addWidget(askButton);
  auto* questionLayout = new QVBoxLayout(questionPage);
  questionLayout->addWidget(new QLabel("Was my join order considered?", questionPage));
  questionLayout->addLayout(row);
  questionLayout->addWidget(answer_, 1);
  tabs_->addTab(accessPaths_, "Access &Paths");
  tabs_->addTab(searchMap_, "Search &Map");
  tabs_->addTab(questionPage, "&Join Order Tried?");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(heading_);
  layout->addWidget(tabs_, 1);

  connect(accessPaths_, &AccessPathsView::linesChosen, this, &WhyPane::goToLines);
  connect(searchMap_, &SearchMapView::linesChosen, this, &WhyPane::goToLines);
  // The question's page takes the keys as it comes up, by key or click.
  connect(tabs_, &QTabWidget::currentChanged, this, [this, questionPage](int index) {
    if (tabs_->widget(index) == questionPage) question_->setFocus(Qt::OtherFocusReason);
  });
  connect(question_, &QLineEdit::returnPressed, this, &WhyPane::ask);
  connect(askButton, &QPushButton::clicked, this, &WhyPane::ask);
  connect(answer_, &QLabel::linkActivated, this, [this](const QString& link) {
    const QStringList parts = link.split(':');
    if (parts.size() == 3 && parts[0] == QLatin1String("lines")) goToLines(parts[1].toInt(), parts[2].toInt());
  });
  // A new trace: its rows are other rows.
  connect(&frame_, &TFMarrow::shownTextChanged, this, [this] {
    if (frame_.digest().build != build_) showRow(-1);
  });
  connect(&frame_, &TFMarrow::nodeChosen, this, &WhyPane::showKeyPoint);
  showRow(-1);
}

void WhyPane::showKeyPoint(int32_t keyPoint) {
  const TraceDigest& d = frame_.digest();
  int32_t row = digestRowOfKeyPoint(d, keyPoint);
  if (row == kNoFact) {
    const int32_t j = joinOrderOfKeyPoint(d.facts, keyPoint);
    const int32_t block = j == kNoFact ? kNoFact : d.facts.joinOrders[j].queryBlock;
    if (block >= 0 && block < d.queryBlockRows.count()) row = d.queryBlockRows[block];
  }
  if (row != kNoFact && row != row_) showRow(row);
}

void WhyPane::showRow(int32_t row) {
  const TraceDigest& d = frame_.digest();
  row_ = row >= 0 && row < d.rows.count() && (d.rows[row].flags & kRowStatementOnly) == 0 ? row : -1;
  build_ = d.build;
  stale_ = !isVisible();
  if (!stale_) refresh();
}

void WhyPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) refresh();
}

void WhyPane::refresh() {
  stale_ = false;
  const TraceDigest& d = frame_.digest();
  if (row_ < 0) {
    heading_->setText("Choose a query block: a row of the summary, or its final cost or a join order in the outline.");
  } else {
    const DigestRow& r = d.rows[row_];
    const QueryBlockFact& b = digestBlock(d, r);
    heading_->setText(QStringLiteral("<b>%1</b>, final cost %2 (line %3): %4 table%5 estimated, %6 join order%7 tried "
                                     "in its last search")
                          .arg(shownTraceText(frame_, d, r.name).toHtmlEscaped(),
                               shownTraceText(frame_, d, b.cost).toHtmlEscaped())
                          .arg(r.line)
                          .arg(b.accessPaths.count)
                          .arg(b.accessPaths.count == 1 ? "" : "s")
                          .arg(b.joinOrders.count)
                          .arg(b.joinOrders.count == 1 ? "" : "s"));
  }
  accessPaths_->showRow(row_);
  searchMap_->showRow(row_);
  answer_->clear();
  if (!question_->text().trimmed().isEmpty()) ask();
}

void WhyPane::goToLines(int32_t first, int32_t last) {
  const TraceDigest& d = frame_.digest();
  if (d.build != build_) return;
  frame_.showLines(frame_.shownLineOf(first), frame_.shownLineOf(last));
}

void WhyPane::ask() {
  const TraceDigest& d = frame_.digest();
  if (row_ < 0) {
    answer_->setText("Choose a query block first.");
    return;
  }
  const QByteArray input = question_->text().toUtf8();
  const std::string_view view(input.constData(), static_cast<size_t>(input.size()));
  PackedRecords<TextSpan> tables;
  JoinOrderAnswer a;
  if (joinOrderTablesOf(view, tables) != 0 || askJoinOrder(d, row_, view, tables, a) != 0) {
    answer_->setText("Out of memory.");
    return;
  }
  if (tables.count() == 0) {
    answer_->setText("Type the table aliases in the order you expected, e.g. <i>d e l</i> or <i>LEADING(d e l)</i>.");
    return;
  }
  auto named = [&](int32_t t) {
    return QString::fromUtf8(input.constData() + tables[t].offset, tables[t].length).toHtmlEscaped();
  };
  const DigestRow& r = d.rows[row_];
  const TraceFacts& f = d.facts;
  const int32_t stretchEnd = digestBlock(d, r).stretchJoinOrders.end();
  auto linkTo = [&](int32_t j) {
    const JoinOrderFact& o = f.joinOrders[j];
    const int32_t last = j + 1 < stretchEnd ? f.joinOrders[j + 1].line - 1 : r.line - 1;
    return lineLink(o.line, std::max(o.line, last), QStringLiteral("Join order[%1]").arg(joinOrderNumber(f, o))) +
           QStringLiteral(" (line %1)").arg(o.line);
  };
  auto cost = [&](TextSpan t) { return shownTraceText(frame_, d, t).toHtmlEscaped(); };
  QStringList out;
  for (int32_t t : a.unknown) out << QStringLiteral("No join order of this query block has <b>%1</b>.").arg(named(t));
  for (const JoinOrderMatch& m : a.matches) {
    const JoinOrderFact& o = f.joinOrders[m.joinOrder];
    QString line = QStringLiteral("<b>Tried</b> in search %1 of %2%3 at %4: ")
                       .arg(m.search + 1)
                       .arg(a.searches)
                       .arg(m.search == a.searches - 1 ? QStringLiteral(" (the one that gave the final cost)") : QString())
                       .arg(linkTo(m.joinOrder));
    if (o.abortedLines > 0) {
      line += o.lastStepCost.present() ? QStringLiteral("aborted at a cost of %1").arg(cost(o.lastStepCost))
                                       : QStringLiteral("aborted");
    } else if (o.cost.present()) {
      line += QStringLiteral("complete, cost %1").arg(cost(o.cost));
    } else {
      line += QStringLiteral("complete");
    }
    line += m.bestBefore.present() ? QStringLiteral(", against a best so far of %1.").arg(cost(m.bestBefore))
                                   : QStringLiteral(", the first of its search.");
    out << line;
  }
  if (a.matches.count() == 0) {
    out << QStringLiteral("<b>Never tried</b> in the %1 search%2 of this query block.")
               .arg(a.searches)
               .arg(a.searches == 1 ? "" : "es");
    if (a.sameFirstTable > 0) {
      out << QStringLiteral("%1 join order%2 start%3 with %4; the first: %5.")
                 .arg(a.sameFirstTable)
                 .arg(a.sameFirstTable == 1 ? "" : "s")
                 .arg(a.sameFirstTable == 1 ? "s" : "")
                 .arg(named(0), linkTo(a.firstWithSameFirstTable));
    } else {
      out << QStringLiteral("No join order starts with %1.").arg(named(0));
    }
  }
  answer_->setText(out.join("<br>"));
}
