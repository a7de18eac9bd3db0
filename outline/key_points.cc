#include "outline/key_points.h"

#include <cstring>

#include "outline/key_point_rules.h"
#include "trace/trace_scanner.h"

void notePhraseAt(const char* text, int32_t length, int32_t offset, int32_t phraseLength, NotedPhrase& noted) {
  noted.offset = offset;
  int n = 0;
  for (int32_t i = offset + phraseLength; i < length && n < kFollowingBytes && text[i] != 0; ++i) {
    noted.following[n++] = text[i];
  }
  noted.following[n] = 0;
}

void resetKeyPoints(KeyPoints_c& list) {
  list.reset();
  list.noted.reset();
}

KeyPoint* appendKeyPoint(KeyPoints_c& list) { return list.append(); }

void scanKeyPoints(KeyPoints_c& list, const SVString& text) { scanKeyPoints(list, text.c_str(), text.length()); }

void scanKeyPointsReference(KeyPoints_c& list, const char* text, int32_t length) {
  list.noted.reset();
  if (length <= 0) return;
  buildTraceDispatch();
  ScanState state;
  scanInit(state, text, length);
  KeyPointBuilder builder(list, text, length);
  while (nextTraceToken(state)) {
    if (!builder.onToken(state.kind, state.line, state.column, state.pos)) break;
  }
}

bool opensJoinOrderBlock(const KeyPoints_c& list, int32_t i) {
  return i >= 0 && i + 1 < list.count() && list[i].kind == tkOptimizingQb && list[i + 1].kind == tkJoinOrder &&
         list[i + 1].pos == list[i].pos;
}
