#include "facts/trace_parts.h"

#include <algorithm>
#include <cstring>

#include "base/find_bytes.h"

namespace {

constexpr char kMarker[] = "*** TRACE CONTINUED FROM FILE ";
constexpr size_t kMarkerLength = sizeof kMarker - 1;
constexpr char kClosing[] = " ***";
constexpr size_t kClosingLength = sizeof kClosing - 1;

// The name between the marker and " ***" on the line text[start, end), or an
// absent span when the line does not close that way or names nothing.
TextSpan nameOnLine(const char* text, size_t start, size_t end) {
  while (end > start && (text[end - 1] == '\r' || text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  const size_t nameStart = start + kMarkerLength;
  if (end < nameStart + kClosingLength + 1) return {};
  if (std::memcmp(text + end - kClosingLength, kClosing, kClosingLength) != 0) return {};
  return {static_cast<int32_t>(nameStart), static_cast<int32_t>(end - kClosingLength - nameStart)};
}

}  // namespace

bool findTracePart(const char* text, size_t length, size_t from, int32_t lineAtFrom, TracePart& part,
                   size_t& next) {
  int32_t line = lineAtFrom;
  size_t counted = from;  // line feeds before here are in `line`
  while (from < length) {
    const long found = findBytes(text + from, length - from, kMarker, kMarkerLength);
    if (found < 0) return false;
    const size_t at = from + static_cast<size_t>(found);
    const void* feed = std::memchr(text + at, '\n', length - at);
    const size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text) : length;
    from = std::min(length, end + 1);
    if (at > 0 && text[at - 1] != '\n') continue;
    const TextSpan name = nameOnLine(text, at, end);
    if (!name.present()) continue;
    line += static_cast<int32_t>(std::count(text + counted, text + at, '\n'));
    part = {name, line};
    next = from;
    return true;
  }
  return false;
}
