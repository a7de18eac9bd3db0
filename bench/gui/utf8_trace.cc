#include "bench/gui/utf8_trace.h"

#include <cstdio>
#include <cstring>

#include "bench/bench_support.h"

int writeUtf8Trace(const char* path) {
  SVString text;
  text.assign(generatedTrace(kLargeTraceSize));
  char* bytes = text.data();
  const int64_t n = text.length() - 2;  // without the appended line end
  for (int64_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) bytes[i] = '?';
  }
  int64_t last = n - 2;
  while (last > 0 && bytes[last - 1] != '\n') --last;
  std::memcpy(bytes + last, "last zyzzyva", 12);
  FILE* file = std::fopen(path, "wb");
  if (!file) return -1;
  const bool ok = std::fwrite(bytes, 1, static_cast<size_t>(n), file) == static_cast<size_t>(n);
  return std::fclose(file) == 0 && ok ? 0 : -1;
}
