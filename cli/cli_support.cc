#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/trace_file.h"
#include "cli/cli_command.h"

int loadTraceText(const char* path, SVString& text) {
  const int code = loadFromFile(text, path);
  if (code != LoadOk) {
    char message[kMessageBufferSize];
    loadErrorMessage(code, path, message, sizeof message);
    std::fprintf(stderr, "%s\n", message);
    return 1;
  }
  if (text.append("\r\n", 2) != 0) return noMemory("the file");
  return 0;
}

int readStandardInput(SVString& text) {
  text.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::fprintf(stderr, "Cannot read standard input: %s\n", std::strerror(errno));
      return 1;
    }
    if (n == 0) break;
    // Checked before appending, so an endless input costs no more memory
    // than the largest accepted one.
    if (text.length() + n > maxTraceFileSize) {
      std::fprintf(stderr, "Standard input is too large: at most %lld bytes (64 MiB) are read\n",
                   static_cast<long long>(maxTraceFileSize));
      return 1;
    }
    if (text.append(chunk, n) != 0) {
      std::fprintf(stderr, "Cannot allocate memory for the input\n");
      return 1;
    }
  }
  if (text.ensureCapacity(1) != 0) return 1;  // a buffer, even for no input
  return 0;
}

void reportOutputError() { reportOutputError(errno); }

void reportOutputError(int error) {
  static bool reported = false;
  if (reported) return;
  reported = true;
  if (error == 0) {
    std::fprintf(stderr, "zazozav-cli: cannot write to standard output\n");
  } else {
    std::fprintf(stderr, "zazozav-cli: cannot write to standard output: %s\n", std::strerror(error));
  }
}

int writeOutput(const char* bytes, size_t length) {
  if (length && std::fwrite(bytes, 1, length, stdout) != length) {
    reportOutputError();
    return 1;
  }
  return 0;
}

int finishStandardOutput(int code) {
  // A write that failed unchecked left only the error flag, not its reason.
  const bool failedBefore = std::ferror(stdout) != 0;
  const bool hadPending = __fpending(stdout) != 0;
  errno = 0;
  const bool closed = std::fclose(stdout) == 0;
  const int error = errno;
  // A closed stdout that was never written to is no failure: nothing was lost.
  if (failedBefore || (!closed && (hadPending || error != EBADF))) {
    reportOutputError(closed ? 0 : error);
    if (code == 0) code = 1;
  }
  return code;
}

int noMemory(const char* what) {
  std::fprintf(stderr, "Cannot allocate memory for %s\n", what);
  return 1;
}

int usageError(const CliCommand& command, const char* message) {
  std::fprintf(stderr, "zazozav-cli %s: %s\nUsage: zazozav-cli %s %s\n", command.name, message, command.name,
               command.synopsis);
  return 2;
}
