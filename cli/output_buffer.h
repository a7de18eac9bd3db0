// Buffered formatted output to stdout for record listings, which can run to
// millions of lines.
#pragma once

#include <cstddef>

#include "base/sv_string.h"

class OutputBuffer {
 public:
  ~OutputBuffer();
  void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void write(const char* bytes, size_t length);
  // Writes trace bytes with control characters made visible
  // (appendTerminalSafe); writeField also shows a TAB as ^I, for a field
  // of a TAB-separated record.
  void writeSafe(const char* bytes, size_t length);
  void writeField(const char* bytes, size_t length);
  // Flushes; returns 0, or 1 after printing a message when a write failed
  // or memory ran out.
  int finish();

 private:
  void appended(int result);
  void flush();
  SVString pending_;
  bool failed_ = false;      // a write failed (reported where it failed)
  bool outOfMemory_ = false;
};
