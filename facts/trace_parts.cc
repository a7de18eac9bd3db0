#include "facts/trace_parts.h"

#include <algorithm>
#include <cstring>

#include "base/find_bytes.h"

namespace {

constexpr std::string_view kFromMarker = "*** TRACE CONTINUED FROM FILE ";
constexpr std::string_view kInMarker = "*** TRACE CONTINUES IN FILE ";
constexpr char kClosing[] = " ***";
constexpr size_t kClosingLength = sizeof kClosing - 1;

// The name between `marker` and " ***" on the line text[start, end), or an
// absent span when the line does not close that way or names nothing.
TextSpan nameOnLine(const char* text, size_t start, size_t end, size_t markerLength) {
  while (end > start && (text[end - 1] == '\r' || text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  const size_t nameStart = start + markerLength;
  if (end < nameStart + kClosingLength + 1) return {};
  if (std::memcmp(text + end - kClosingLength, kClosing, kClosingLength) != 0) return {};
  return {static_cast<int32_t>(nameStart), static_cast<int32_t>(end - kClosingLength - nameStart)};
}

// The first line at or after byte `from` that opens with `marker` and names
// a part; `part.line` counts from `lineAtFrom`, `next` is past its line.
bool findMarkerLine(const char* text, size_t length, size_t from, int32_t lineAtFrom, std::string_view marker,
                    TracePart& part, size_t& next) {
  int32_t line = lineAtFrom;
  size_t counted = from;  // line feeds before here are in `line`
  while (from < length) {
    const long found = findBytes(text + from, length - from, marker.data(), marker.size());
    if (found < 0) return false;
    const size_t at = from + static_cast<size_t>(found);
    const void* feed = std::memchr(text + at, '\n', length - at);
    const size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text) : length;
    from = std::min(length, end + 1);
    if (at > 0 && text[at - 1] != '\n') continue;
    const TextSpan name = nameOnLine(text, at, end, marker.size());
    if (!name.present()) continue;
    line += static_cast<int32_t>(std::count(text + counted, text + at, '\n'));
    part = {name, line};
    next = from;
    return true;
  }
  return false;
}

}  // namespace

bool findTracePart(const char* text, size_t length, size_t from, int32_t lineAtFrom, TracePart& part,
                   size_t& next) {
  return findMarkerLine(text, length, from, lineAtFrom, kFromMarker, part, next);
}

bool findTraceContinuation(const char* text, size_t length, TracePart& part) {
  size_t from = length > kContinuationTailBytes ? length - kContinuationTailBytes : 0;
  // The tail's first line counts only when it is whole.
  if (from > 0 && text[from - 1] != '\n') {
    const void* feed = std::memchr(text + from, '\n', length - from);
    if (!feed) return false;
    from = static_cast<size_t>(static_cast<const char*>(feed) - text) + 1;
  }
  const int32_t lineAtFrom = 1 + static_cast<int32_t>(std::count(text, text + from, '\n'));
  bool found = false;
  TracePart next;
  size_t after = 0;
  // The last such line: a joined trace may name several.
  while (findMarkerLine(text, length, from, found ? part.line + 1 : lineAtFrom, kInMarker, next, after)) {
    part = next;
    found = true;
    from = after;
  }
  return found;
}

std::string_view tracePartFileName(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}
