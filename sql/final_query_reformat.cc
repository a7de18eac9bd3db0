// Final-query re-formatting over a whole trace text.
#include "sql/final_query_reformat.h"

#include <utility>

#include "base/packed_records.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "trace/trace_scanner.h"

namespace {

constexpr int32_t kWidth = 80;

// Where a formatted final query's line starts and the lines it gained,
// kept so that the key points are moved only once the new text is
// complete. The queries taken lie in text order.
class Shifts_c : public PackedRecords<FinalQueryShift> {};

// Formats the final queries of `bytes` and moves the key points after each
// one by the lines it gained. With `result`, also builds the new text
// there. Returns 0, or -1 when memory ran out (key points unchanged).
int walkFinalQueries(const char* bytes, int32_t length, KeyPoints_c& keyPoints, SVString* result) {
  SVString formatted;
  Shifts_c shifts;
  if (result && result->ensureCapacity(static_cast<int64_t>(length) + 1) != 0) return -1;

  int32_t copied = 0;       // text before this offset is in `result`
  int32_t previousEnd = 0;  // end of the previous query taken
  for (const KeyPoint& k : keyPoints) {
    if (k.kind != tkFinalQuery) continue;
    // Records the walk cannot take in order, or that point outside the
    // text, are left alone: their bytes are copied with the rest.
    if (k.queryLength <= 0 || k.queryStart < previousEnd || k.queryStart > length - k.queryLength) continue;
    previousEnd = k.queryStart + k.queryLength;
    if (result && result->append(bytes + copied, k.queryStart - copied) != 0) return -1;
    copied = k.queryStart;
    if (formatFinalQuery(bytes + k.queryStart, k.queryLength, formatted) != formatSqlOk) {
      // A query that cannot be formatted stays as it is; one that memory
      // ran out for is a failure, not a query shown unformatted.
      if (formatted.data() == nullptr) return -1;
      continue;
    }
    if (result && result->append(formatted) != 0) return -1;
    FinalQueryShift* shift = shifts.append();
    if (shift == nullptr) return -1;
    *shift = {k.queryStart, countLineFeeds(formatted.c_str(), formatted.length())};
    copied = k.queryStart + k.queryLength;
  }
  if (result && result->append(bytes + copied, length - copied) != 0) return -1;

  moveKeyPointsPastQueries(keyPoints, shifts.begin(), shifts.count());
  return 0;
}

}  // namespace

int formatFinalQuery(const char* query, int32_t length, SVString& formatted) {
  if (length > 1 && query[length - 1] == '\r') --length;
  return formatSql(query, length, 0, compactLists, kWidth, formatted);
}

void moveKeyPointsPastQueries(KeyPoints_c& keyPoints, const FinalQueryShift* shifts, int32_t count) {
  int32_t moved = 0;
  int32_t next = 0;  // the first query whose lines are not in `moved` yet
  for (KeyPoint& k : keyPoints) {
    while (next < count && shifts[next].queryStart < k.pos) moved += shifts[next++].lines;
    k.line += moved;
  }
}

int reformatFinalQueries(SVString& text, KeyPoints_c& keyPoints) {
  SVString result;
  if (walkFinalQueries(text.c_str(), text.length(), keyPoints, &result) != 0) return -1;
  text = std::move(result);
  return 0;
}

int shiftFinalQueryLines(const SVString& text, KeyPoints_c& keyPoints) {
  return walkFinalQueries(text.c_str(), text.length(), keyPoints, nullptr);
}
