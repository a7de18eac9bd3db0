#include "outline/line_shift.h"

int32_t lineAnchor(const PackedRecords<int32_t>& scanned, int32_t line) {
  return firstNotBefore(scanned, [line](int32_t at) { return at <= line; }) - 1;
}

namespace {

// Key point k's shift (its line shown less its line as scanned) and the
// next one's.
struct KeyPointShift {
  int32_t fileLine = 0;  // 1-based
  int32_t shift = 0;
  int32_t next = 0;
};

KeyPointShift shiftAt(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t k, int32_t gainAtEnd) {
  KeyPointShift at;
  at.fileLine = scanned[k];
  at.shift = shown[k].line + 1 - scanned[k];
  at.next = k + 1 < scanned.count() ? shown[k + 1].line + 1 - scanned[k + 1] : gainAtEnd;
  return at;
}

}  // namespace

int32_t shownLineOf(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t line, int32_t gainAtEnd) {
  if (shown.count() != scanned.count() || line <= 0) return line;
  const int32_t anchor = lineAnchor(scanned, line);
  if (anchor < 0) return line;
  const KeyPointShift at = shiftAt(scanned, shown, anchor, gainAtEnd);
  // Past a formatted query on the line after the marker: its gain too.
  return line + (at.next > at.shift && line > at.fileLine + 1 ? at.next : at.shift);
}

int32_t fileLineOf(const PackedRecords<int32_t>& scanned, const KeyPoints_c& shown, int32_t line, int32_t gainAtEnd) {
  if (shown.count() != scanned.count() || line <= 0) return line;
  const int32_t anchor =
      static_cast<int32_t>(std::partition_point(shown.begin(), shown.end(),
                                                [line](const KeyPoint& k) { return k.line + 1 <= line; }) -
                           shown.begin()) -
      1;
  if (anchor < 0) return line;
  const KeyPointShift at = shiftAt(scanned, shown, anchor, gainAtEnd);
  const int32_t query = at.fileLine + 1;
  if (at.next <= at.shift || line - at.shift <= query) return std::max(1, line - at.shift);
  // Within the formatted query's rows, or below them.
  return line <= query + at.next ? query : line - at.next;
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

