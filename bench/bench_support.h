// Inputs shared by the benchmarks: large traces generated from the samples.
#pragma once

#include <cstdint>

#include "base/sv_string.h"

// A trace of `size` bytes made by repeating the sample traces (each copy a
// complete statement), followed by "\r\n" as the viewer scans it. Built
// once per size and kept for the whole run.
const SVString& generatedTrace(int64_t size);

constexpr int64_t kLargeTraceSize = 64 * 1024 * 1024 - 2;  // 64 MiB with the appended line end

// Writes generatedTrace(size) without its appended line end to `path`.
// Returns 0, or -1 when the file cannot be written.
int writeGeneratedTrace(const char* path, int64_t size);
