#include "gui/search_map.h"

#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "facts/search_map_range.h"
#include "gui/trace_frame.h"
#include "gui/trace_tooltips.h"

namespace {

// Searches before the last one share the legend past this many.
constexpr int kLegendSearches = 6;

QColor searchColour(int search, int searches) {
  if (search == searches - 1) return QColor(0, 92, 197);
  // The earlier states in muted hues that walk round the wheel.
  return QColor::fromHsv((30 + search * 47) % 360, 110, 190);
}

// Markers drawn as images: the chart paints them directly instead of
// keeping an item per point, so that thousands of join orders draw fast.
QImage markerImage(int size, const QColor& colour, bool filled, bool star = false) {
  const qreal ratio = 2;  // sharp on high-density screens too
  QImage image(QSize(size, size) * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(filled ? colour.darker(130) : colour, filled ? 1.0 : 1.6));
  painter.setBrush(filled ? QBrush(colour) : Qt::NoBrush);
  const QRectF box(1, 1, size - 2, size - 2);
  if (star) {
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
      const qreal radius = (i % 2 == 0 ? 0.5 : 0.22) * box.width();
      const qreal angle = M_PI / 2 + i * M_PI / 5;
      points << box.center() + QPointF(radius * std::cos(angle), -radius * std::sin(angle));
    }
    painter.setPen(QPen(Qt::black, 1.0));
    painter.drawPolygon(points);
  } else {
    painter.drawEllipse(box);
  }
  return image;
}

// A round step between x-axis ticks, for about ten of them.
double tickInterval(int32_t count) {
  double step = 1;
  while (count / step > 12) {
    for (double factor : {2.0, 2.5, 2.0}) {
      step *= factor;
      if (count / step <= 12) break;
    }
  }
  return step;
}

// A series drawn as its points alone: a line series with an invisible
// line and image markers is painted in one pass, where a scatter series
// keeps a graphics item per point (half a second for 10,000).
QLineSeries* pointSeries() {
  auto* series = new QLineSeries;
  series->setPen(QPen(Qt::transparent, 1));
  series->setPointsVisible(true);
  return series;
}

}  // namespace

SearchMapView::SearchMapView(const TFMarrow& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  view_ = new QChartView(this);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumHeight(220);
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  note_->setContentsMargins(4, 2, 4, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_, 1);
  layout->addWidget(note_);
  showRow(-1);
}

void SearchMapView::setChart(QChart* chart) {
  // The view gives up the chart it showed; its series go with it.
  QChart* old = view_->chart();
  view_->setChart(chart);
  delete old;
}

int SearchMapView::seriesCount() const { return static_cast<int>(view_->chart()->series().size()); }

int32_t SearchMapView::joinOrderAt(double x) const {
  const int32_t k = static_cast<int32_t>(std::lround(x));
  return k >= 1 && k <= count_ ? first_ + k - 1 : -1;
}

void SearchMapView::showRow(int32_t row) {
  const TraceDigest& d = frame_.digest();
  row_ = row >= 0 && row < d.rows.count() ? row : -1;
  auto* chart = new QChart;
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->legend()->setAlignment(Qt::AlignBottom);
  const TraceFacts& f = d.facts;
  const FactRange stretch = row_ >= 0 ? digestBlock(d, d.rows[row_]).stretchJoinOrders : FactRange{};
  first_ = stretch.first;
  count_ = std::min(stretch.count, f.joinOrders.count() - stretch.first);
  if (count_ <= 0) {
    chart->setTitle(row_ >= 0 ? "No join order in this query block's stretch" : "Choose a query block");
    chart->legend()->hide();
    setChart(chart);
    note_->clear();
    return;
  }
  // The scales first: a range set once the points are in lays them all out again.
  const SearchMapRange range = searchMapRange(f, FactRange{first_, count_});
  const int searches = range.searches;
  const int32_t bestK = static_cast<int32_t>(digestNumber(d.view(digestBlock(d, d.rows[row_]).bestJoinOrder)));
  auto* axisX = new QValueAxis;
  axisX->setTitleText("Join orders, in trace order");
  axisX->setLabelFormat("%d");
  axisX->setRange(0, count_ + 1);
  axisX->setTickType(QValueAxis::TicksDynamic);
  axisX->setTickAnchor(0);
  axisX->setTickInterval(tickInterval(count_));
  auto* axisY = new QLogValueAxis;
  axisY->setTitleText("Cost (log scale)");
  axisY->setLabelFormat("%g");
  axisY->setRange(range.low / 1.6, range.high * 1.6);
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);
  int uncosted = 0;
  int search = -1;
  QLineSeries* complete = nullptr;
  QLineSeries* aborted = nullptr;
  QLineSeries* step = nullptr;
  double best = NAN;
  QLineSeries* bestMark = pointSeries();
  bestMark->setName(QStringLiteral("Best join order (%1)").arg(bestK));
  bestMark->setMarkerSize(18);
  bestMark->setColor(QColor(230, 160, 0));
  bestMark->setLightMarker(markerImage(18, bestMark->color(), true, true));
  // The points of the current search, put in its series at once: append()
  // lays a series out again for each point it adds, replace() once.
  QList<QPointF> completePoints;
  QList<QPointF> abortedPoints;
  QList<QPointF> stepPoints;
  auto flush = [&] {
    if (complete) complete->replace(completePoints);
    if (aborted) aborted->replace(abortedPoints);
    if (step) step->replace(stepPoints);
    completePoints.clear();
    abortedPoints.clear();
    stepPoints.clear();
  };
  auto add = [&](QAbstractSeries* series) {
    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
  };
  for (int32_t j = first_; j < first_ + count_; ++j) {
    const JoinOrderFact& order = f.joinOrders[j];
    const bool orderAborted = order.abortedLines > 0;
    if (j == first_ || opensJoinOrderSearch(f, order)) {
      flush();
      ++search;
      const bool last = search == searches - 1;
      const QColor colour = searchColour(search, searches);
      complete = pointSeries();
      complete->setName(last ? QStringLiteral("Search %1 (gave the final cost)").arg(search + 1)
                             : QStringLiteral("Search %1").arg(search + 1));
      const int size = last ? 10 : 7;
      complete->setMarkerSize(size);
      complete->setColor(colour);
      complete->setLightMarker(markerImage(size, colour, true));
      aborted = pointSeries();
      aborted->setName(QStringLiteral("aborted"));
      aborted->setMarkerSize(size);
      aborted->setColor(colour);
      aborted->setLightMarker(markerImage(size, colour, false));
      step = new QLineSeries;
      step->setPen(QPen(colour, last ? 2.0 : 1.0));
      best = NAN;
      for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(step), static_cast<QAbstractSeries*>(complete),
                                      static_cast<QAbstractSeries*>(aborted)}) {
        add(series);
      }
    }
    const double x = j - first_ + 1;
    const double y = drawnJoinOrderCost(f, order);
    if (std::isnan(y)) {
      ++uncosted;
      continue;
    }
    (orderAborted ? abortedPoints : completePoints).append(QPointF(x, y));
    if (!orderAborted && order.cost.present() && (std::isnan(best) || y <= best)) {
      if (!std::isnan(best)) stepPoints.append(QPointF(x, best));
      stepPoints.append(QPointF(x, y));
      best = y;
    }
    if (search == searches - 1 && joinOrderNumber(f, order) == bestK && !orderAborted) bestMark->append(x, y);
  }
  flush();
  add(bestMark);
  // One legend entry per search (the earlier ones shared past a few), none
  // for the hollow and line series.
  int searchSeen = -1;
  for (QLegendMarker* marker : chart->legend()->markers()) {
    QAbstractSeries* series = marker->series();
    if (series == bestMark) continue;
    const bool isComplete = series->name().startsWith(QLatin1String("Search"));
    if (!isComplete) {
      marker->setVisible(false);
      continue;
    }
    ++searchSeen;
    if (searches > kLegendSearches && searchSeen < searches - 1) {
      marker->setVisible(searchSeen == 0);
      if (searchSeen == 0) marker->setLabel(QStringLiteral("Searches 1\u2013%1: states costed before").arg(searches - 1));
    }
  }
  for (QAbstractSeries* series : chart->series()) {
    auto* points = static_cast<QLineSeries*>(series);
    if (points->pointsVisible()) {
      connect(points, &QLineSeries::hovered, this, &SearchMapView::pointHovered);
      connect(points, &QLineSeries::clicked, this, &SearchMapView::pointClicked);
    }
  }
  chart->setTitle(QStringLiteral("%1 join order%2 in %3 search%4; the last gave the final cost")
                      .arg(count_)
                      .arg(count_ == 1 ? "" : "s")
                      .arg(searches)
                      .arg(searches == 1 ? "" : "es"));
  setChart(chart);
  QString note = QStringLiteral(
      "Filled: a complete join order at its best-so-far cost; hollow: aborted, at its last step's cost; "
      "line: the best so far in each search. Click a point to go to its join order.");
  if (uncosted > 0) note += QStringLiteral(" %1 aborted before any cost, not drawn.").arg(uncosted);
  note_->setText(note);
}

void SearchMapView::pointHovered(const QPointF& point, bool state) {
  if (!state) {
    QToolTip::hideText();
    return;
  }
  const int32_t j = joinOrderAt(point.x());
  if (j < 0) return;
  const TraceDigest& d = frame_.digest();
  const JoinOrderFact& order = d.facts.joinOrders[j];
  QString tip = QStringLiteral("Join order[%1], line %2\n%3\n")
                    .arg(joinOrderNumber(d.facts, order))
                    .arg(order.line)
                    .arg(shownJoinOrderTables(frame_, d.facts, order));
  tip += order.abortedLines > 0 ? QStringLiteral("aborted, last step cost %1").arg(shownTraceText(frame_, d.view(order.lastStepCost)))
                       : QStringLiteral("best so far: %1").arg(shownTraceText(frame_, d.view(order.cost)));
  QToolTip::showText(QCursor::pos(), tip, view_);
}

void SearchMapView::pointClicked(const QPointF& point) { chooseJoinOrder(joinOrderAt(point.x())); }

void SearchMapView::chooseJoinOrder(int32_t j) {
  if (j < first_ || j >= first_ + count_) return;
  const TraceDigest& d = frame_.digest();
  const int32_t line = d.facts.joinOrders[j].line;
  int32_t last = line;
  if (j + 1 < first_ + count_) {
    last = d.facts.joinOrders[j + 1].line - 1;
  } else if (row_ >= 0) {
    last = d.rows[row_].line - 1;
  }
  emit linesChosen(line, std::max(line, last));
}
