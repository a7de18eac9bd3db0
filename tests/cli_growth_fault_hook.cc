// Linked into the test build of zazozav-cli only. ZAZOZAV_FAIL_GROWTH=n
// makes the n-th growth of memory of the run fail (0: none); at exit the
// number of growths tried is printed to stderr as "growths: N", so a test
// can fail each of them in turn.
#include <cstdio>
#include <cstdlib>

#include "base/sv_string.h"

namespace {

void printGrowths() { std::fprintf(stderr, "growths: %lld\n", static_cast<long long>(growthsCounted())); }

[[maybe_unused]] const bool kArmed = [] {
  const char* n = std::getenv("ZAZOZAV_FAIL_GROWTH");
  if (!n) return false;
  failGrowthAt(std::atoll(n));
  std::atexit(printGrowths);
  return true;
}();

}  // namespace
