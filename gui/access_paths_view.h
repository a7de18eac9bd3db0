// The tables a final cost's stretch estimated: per alias its cards, the
// access path chosen with its index and cost, the whole paths costed
// (cheapest first, the chosen one marked, any cheaper one that lost made
// plain), the parts of bitmap plans apart (their costs do not compare with
// whole paths) and the signs of a guessed estimate as warnings. Every row
// names the lines of the trace it comes from.
#pragma once

#include <QTreeWidget>

#include <cstdint>

#include "facts/trace_digest.h"

class TFMarrow;

class AccessPathsView : public QTreeWidget {
  Q_OBJECT

 public:
  // The trace lines, 1-based as scanned, of the row's item.
  static constexpr int kFirstLineRole = Qt::UserRole;
  static constexpr int kLastLineRole = Qt::UserRole + 1;

  AccessPathsView(const TFMarrow& frame, QWidget* parent = nullptr);

  // The sections of the frame's digest row `row`; none for kNoFact.
  void showRow(int32_t row);

 signals:
  // Lines [first, last] of the text as scanned were chosen.
  void linesChosen(int32_t first, int32_t last);

 private:
  QString text(TextSpan span) const;
  void addSection(const AccessPathFact& path);

  const TFMarrow& frame_;
};
