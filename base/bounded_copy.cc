#include "base/bounded_copy.h"

#include <cstring>

size_t boundedCopy(char* dest, size_t capacity, const char* source) {
  if (capacity == 0) return 0;
  const size_t n = source ? strnlen(source, capacity - 1) : 0;
  if (n) std::memcpy(dest, source, n);
  dest[n] = 0;
  return n;
}

size_t boundedAppend(char* dest, size_t capacity, const char* source) {
  if (capacity == 0) return 0;
  const size_t used = strnlen(dest, capacity - 1);
  return used + boundedCopy(dest + used, capacity - used, source);
}
