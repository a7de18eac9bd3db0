// A trace that reaches its size limit goes on in a new file (Oracle 12c
// and later), which names the part before it in a line
// «*** TRACE CONTINUED FROM FILE NAME ***»; the part cut off names the next
// one in its last lines. Traces joined back together hold one such line
// per part after the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "facts/trace_facts.h"

struct TracePart {
  TextSpan name;  // NAME, the previous part's path as the trace writes it
  int32_t line;   // 1-based line of the marker
};

// Finds the first marker line at or after byte `from` of text[0, length),
// the phrase opening its line; the name runs to the closing " ***" (blanks
// and a carriage return after it are allowed). Sets `part` and `next` (where
// to look for the following one) and returns true, or returns false when
// no marker is left. `lineAtFrom` is the 1-based line of byte `from`.
bool findTracePart(const char* text, size_t length, size_t from, int32_t lineAtFrom, TracePart& part,
                   size_t& next);

// The part that follows a trace cut at its size limit, which the trace
// names in one of its last lines, «*** TRACE CONTINUES IN FILE NAME ***».
// Looks at the last kContinuationTailBytes of text[0, length) only, so a
// caller may hand just the file's tail. Returns true and sets `part`
// (its line counted from the start of `text`) when such a line is there.
constexpr size_t kContinuationTailBytes = 4096;
bool findTraceContinuation(const char* text, size_t length, TracePart& part);

// The last component of a part's name, which may be a path of the
// server's system: after the last '/' or '\'. Empty when the name ends in
// one.
std::string_view tracePartFileName(std::string_view name);
