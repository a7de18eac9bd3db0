// The check of every fuzz target: a property that does not hold aborts the
// run, naming itself and its line on stderr, so that a finding says what
// broke. Included last, after every header of the code under test, because
// `check` is a macro.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void checkAt(bool condition, const char* what, int line) {
  if (condition) return;
  std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
  std::abort();
}
#define check(condition) checkAt((condition), #condition, __LINE__)
