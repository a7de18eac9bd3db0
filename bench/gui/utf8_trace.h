// The 64 MiB benchmark trace made valid UTF-8 (every byte above 0x7F
// becomes '?') with a word of its own, "zyzzyva", on its last line, for
// the viewer benchmarks that search and move the caret through it.
#pragma once

// Writes it to `path`. Returns 0, or -1 when the file cannot be written.
int writeUtf8Trace(const char* path);
