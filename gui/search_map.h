// The join-order search of a final cost's stretch as a chart: the join
// orders in trace order along x, their cost on a log scale; complete ones
// filled at their best-so-far cost, aborted ones hollow at their last
// step's cost, a step line of the best so far per search, the best join
// order marked. Each search of the stretch (a transformation state the
// optimizer costed) has a colour of its own; the last one, which gave the
// final cost, is drawn larger. Hovering tells a point's table order and
// cost; a click chooses its join order's lines.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

class QChart;
class QChartView;
class QLabel;
class QPointF;
class TFMarrow;

class SearchMapView : public QWidget {
  Q_OBJECT

 public:
  SearchMapView(const TFMarrow& frame, QWidget* parent = nullptr);

  // The search of the frame's digest row `row`; nothing for kNoFact.
  void showRow(int32_t row);

  QChartView* chartView() const { return view_; }
  // The join order (an index of the digest's joinOrders) that point x of
  // the chart stands for, or -1.
  int32_t joinOrderAt(double x) const;
  // Chooses the lines of join order `joinOrder` (of the digest's
  // joinOrders), as a click on its point does.
  void chooseJoinOrder(int32_t joinOrder);
  // The chart's series, for the tests.
  int seriesCount() const;

 signals:
  // Lines [first, last] of the text as scanned were chosen.
  void linesChosen(int32_t first, int32_t last);

 private:
  void setChart(QChart* chart);
  void pointHovered(const QPointF& point, bool state);
  void pointClicked(const QPointF& point);

  const TFMarrow& frame_;
  QChartView* view_;
  QLabel* note_;
  int32_t row_ = -1;
  int32_t first_ = 0;  // the stretch's first join order
  int32_t count_ = 0;
};
