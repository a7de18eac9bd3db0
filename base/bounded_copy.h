// Bounded copies into fixed text buffers.
#pragma once

#include <cstddef>

// Copies `source` into `dest` of `capacity` bytes: at most capacity - 1
// characters are kept and the result always ends with a zero byte. Returns
// the number of characters copied. A capacity of 0 writes nothing.
size_t boundedCopy(char* dest, size_t capacity, const char* source);

// Appends `source` to the zero-terminated text in `dest` under the same
// bound. Returns the new length.
size_t boundedAppend(char* dest, size_t capacity, const char* source);
