// Fast search for a short byte string in a buffer.
#pragma once

#include <cstddef>

// The offset of the first occurrence of `needle` (n >= 1 bytes) in
// haystack[0, size), or -1. Zero bytes are ordinary bytes. Compares the
// first and the last two needle bytes sixteen positions at a time and verifies the
// few candidates, which is several times faster than memmem on traces.
long findBytes(const char* haystack, size_t size, const char* needle, size_t n);
