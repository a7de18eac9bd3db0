// Fuzz target: any bytes as a trace whose final queries are re-formatted.
// The re-formatted text and the moved key points must agree: lines stay
// inside the text and in the key points' order, only `line` moves (and
// never up), shiftFinalQueryLines moves them exactly as
// reformatFinalQueries does, and a key point whose marker is outside every
// final-query line still lands on its marker in the new text. The viewer's
// shown text agrees too: the formatted pieces move the key points as the
// re-formatting does, and the shown text written in parts of any size (a
// size taken from the input) is the re-formatted text converted whole,
// of the length and line count told before it is written, and reads back
// as the re-formatted text where it has no lone carriage return.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/sv_string.h"
#include "outline/key_points.h"
#include "sql/final_query_reformat.h"
#include "sql/format_sql.h"
#include "sql/shown_text.h"
#include "sql/sql_formatter.h"
#include "trace/trace_scanner.h"
#include "fuzz/fuzz_check.h"

namespace {

void copyKeyPoints(const KeyPoints_c& from, KeyPoints_c& to) {
  for (const KeyPoint& k : from) {
    KeyPoint* copy = appendKeyPoint(to);
    check(copy != nullptr);
    *copy = k;
  }
}

// Offset of the start of line `line` (0-based) in the text, or -1.
int32_t lineStart(const SVString& text, int32_t line) {
  int32_t offset = 0;
  for (int32_t i = 0; i < line; ++i) {
    const void* feed = std::memchr(text.c_str() + offset, '\n', static_cast<size_t>(text.length() - offset));
    if (!feed) return -1;
    offset = static_cast<int32_t>(static_cast<const char*>(feed) - text.c_str()) + 1;
  }
  return offset;
}

// True when the marker of `k` lies on the line of a final query, where the
// formatter may have moved it.
bool insideFinalQueryLine(const KeyPoints_c& keyPoints, const KeyPoint& k) {
  for (const KeyPoint& q : keyPoints) {
    if (q.kind == tkFinalQuery && q.queryStart > 0 && k.pos > q.queryStart &&
        k.pos <= q.queryStart + q.queryLength) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool built = (buildTraceDispatch(), buildSqlDispatch(), true);
  (void)built;
  if (size > (1u << 20)) return 0;
  SVString text;
  if (text.append(reinterpret_cast<const char*>(data), static_cast<int64_t>(size)) != 0) return 0;
  if (text.append("\r\n", 2) != 0) return 0;

  KeyPoints_c scanned;
  scanKeyPoints(scanned, text);
  KeyPoints_c moved;
  KeyPoints_c shifted;
  copyKeyPoints(scanned, moved);
  copyKeyPoints(scanned, shifted);
  SVString shown;
  check(shown.assign(text) == 0);
  check(reformatFinalQueries(shown, moved) == 0);
  check(shiftFinalQueryLines(text, shifted) == 0);
  check(shown.data() != nullptr && shown.data()[shown.length()] == 0);

  const int32_t shownLines = countLineFeeds(shown.c_str(), shown.length());
  check(moved.count() == scanned.count() && shifted.count() == scanned.count());
  for (int32_t i = 0; i < moved.count(); ++i) {
    const KeyPoint& before = scanned[i];
    KeyPoint after = moved[i];
    check(std::memcmp(&after, &shifted[i], sizeof after) == 0);
    check(after.line >= before.line && after.line <= shownLines);
    if (i > 0) check(after.line >= moved[i - 1].line);
    after.line = before.line;
    check(std::memcmp(&after, &before, sizeof after) == 0);

    // The marker's line up to just past the marker, found at the moved line.
    if (insideFinalQueryLine(scanned, before)) continue;
    const int32_t start = lineStart(shown, moved[i].line);
    check(start >= 0 && start + before.column <= shown.length());
    check(before.column <= before.pos);
    check(std::memcmp(shown.c_str() + start, text.c_str() + before.pos - before.column,
                      static_cast<size_t>(before.column)) == 0);
  }
  // The viewer's shown text, from pieces over the text as loaded.
  KeyPoints_c byPieces;
  copyKeyPoints(scanned, byPieces);
  const std::vector<FormattedPiece> pieces = formatFinalQueryPieces(text.c_str(), text.length(), byPieces);
  check(byPieces.count() == moved.count());
  for (int32_t i = 0; i < moved.count(); ++i) check(std::memcmp(&byPieces[i], &moved[i], sizeof(KeyPoint)) == 0);
  const TraceTextFacts facts = traceTextFacts(text.c_str(), text.length());
  // The viewer converts by the facts of the trace as loaded: a trace that
  // needs none is shown as the CLI formats it, byte for byte (a carriage
  // return that formatting leaves alone included, see fuzz/README).
  std::string whole;
  if (facts.validUtf8 && facts.loneCarriageReturns == 0) {
    whole.assign(shown.c_str(), static_cast<size_t>(shown.length()));
  } else {
    convertShownText(shown, facts, whole);
  }
  ShownTextWriter writer(text, pieces, facts);
  check(writer.shownBytes() == static_cast<int64_t>(whole.size()));
  const int64_t part = size > 0 ? 1 + data[0] % 97 : 1;
  std::string parts;
  while (!writer.done()) {
    const size_t before = parts.size();
    check(writer.write(part, [&](const char* p, int64_t n) {
      parts.append(p, static_cast<size_t>(n));
      return true;
    }));
    check(parts.size() > before || writer.done());
    check(writer.done() || parts.back() == '\n');
  }
  check(parts == whole);
  check(shownLineFeeds(text, lineFeedsIn(text.c_str(), text.length()), pieces) ==
        lineFeedsIn(whole.data(), static_cast<int64_t>(whole.size())));
  if (traceTextFacts(shown.c_str(), shown.length()).loneCarriageReturns == 0) {
    SVString back;
    appendTraceBytes(whole.data(), static_cast<int64_t>(whole.size()), facts, back);
    check(back.length() == shown.length() && std::memcmp(back.c_str(), shown.c_str(), static_cast<size_t>(back.length())) == 0);
  }
  return 0;
}
