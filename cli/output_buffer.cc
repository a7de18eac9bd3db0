#include "cli/output_buffer.h"

#include <cstdarg>
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/safe_text.h"

namespace {
constexpr int32_t kFlushThreshold = 1 << 20;
}

OutputBuffer::~OutputBuffer() { flush(); }

void OutputBuffer::printf(const char* fmt, ...) {
  char small[512];
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  if (n < 0) {
    outOfMemory_ = true;
  } else if (static_cast<size_t>(n) < sizeof small) {
    write(small, static_cast<size_t>(n));
  } else {
    SVString large;
    if (large.ensureCapacity(static_cast<int64_t>(n) + 1) == 0) {
      std::vsnprintf(large.data(), static_cast<size_t>(n) + 1, fmt, again);
      write(large.data(), static_cast<size_t>(n));
    } else {
      outOfMemory_ = true;
    }
  }
  va_end(again);
}

void OutputBuffer::write(const char* bytes, size_t length) {
  appended(pending_.append(bytes, static_cast<int64_t>(length)));
}

void OutputBuffer::writeSafe(const char* bytes, size_t length) {
  appended(appendTerminalSafe(pending_, bytes, length));
}

void OutputBuffer::writeField(const char* bytes, size_t length) { appended(appendFieldSafe(pending_, bytes, length)); }

void OutputBuffer::appended(int result) {
  if (result != 0) outOfMemory_ = true;
  if (pending_.length() >= kFlushThreshold) flush();
}

void OutputBuffer::flush() {
  const size_t n = static_cast<size_t>(pending_.length());
  // After a failed write nothing more is tried: the listing is lost anyway.
  if (n && !failed_ && writeOutput(pending_.data(), n) != 0) failed_ = true;
  pending_.clear();
}

int OutputBuffer::finish() {
  flush();
  if (!failed_ && std::fflush(stdout) != 0) {
    reportOutputError();
    failed_ = true;
  }
  if (outOfMemory_) noMemory("the output");
  return failed_ || outOfMemory_ ? 1 : 0;
}
