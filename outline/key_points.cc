#include "outline/key_points.h"

#include <cstring>

#include "outline/key_point_rules.h"
#include "trace/trace_scanner.h"

void resetKeyPoints(KeyPoints_c& list) {
  list.reset();
  list.registrations.reset();
  list.registrationsComplete = false;
}

KeyPoint* appendKeyPoint(KeyPoints_c& list) { return list.append(); }

int scanKeyPoints(KeyPoints_c& list, const SVString& text) {
  return scanKeyPoints(list, text.c_str(), text.length());
}

int scanKeyPointsReference(KeyPoints_c& list, const char* text, int32_t length) {
  list.registrations.reset();
  list.registrationsComplete = false;
  if (length <= 0) return 0;
  buildTraceDispatch();
  ScanState state;
  scanInit(state, text, length);
  KeyPointBuilder builder(list, text, length);
  while (nextTraceToken(state)) {
    if (!builder.onToken(state.kind, state.line, state.column, state.pos)) break;
  }
  return 0;
}
