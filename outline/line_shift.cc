#include "outline/line_shift.h"

int32_t lineAnchor(const PackedRecords<int32_t>& scanned, int32_t line) {
  return firstNotBefore(scanned, [line](int32_t at) { return at <= line; }) - 1;
}

int32_t shownLineOf(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t line) {
  if (shown.count() != scanned.count()) return line;
  const int32_t anchor = lineAnchor(scanned, line);
  return anchor < 0 ? line : line + (shown[anchor].line + 1 - scanned[anchor]);
}

AnchoredLine anchorLine(const KeyPoints_c& points, int32_t line, int32_t limit) {
  const KeyPoint* end = limit < 0 || limit >= points.count() ? points.end() : points.begin() + limit + 1;
  const KeyPoint* after =
      std::partition_point(points.begin(), end, [line](const KeyPoint& k) { return k.line <= line; });
  AnchoredLine held;
  held.line = line;
  held.anchor = static_cast<int32_t>(after - points.begin()) - 1;
  if (held.anchor >= 0) held.anchorLine = points[held.anchor].line;
  return held;
}

int32_t movedLine(const AnchoredLine& held, const KeyPoints_c& points) {
  if (held.anchor < 0 || held.anchor >= points.count()) return held.line;
  return held.line + (points[held.anchor].line - held.anchorLine);
}

