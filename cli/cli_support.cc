#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
  if (text.append("\r\n", 2) != 0) {
    std::fprintf(stderr, "Cannot allocate memory for the file\n");
    return 1;
  }
  return 0;
}

int readStandardInput(SVString& text) {
  text.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::fprintf(stderr, "Cannot read standard input\n");
      return 1;
    }
    if (n == 0) break;
    if (text.append(chunk, n) != 0) {
      std::fprintf(stderr, "Cannot allocate memory for the input\n");
      return 1;
    }
  }
  if (text.ensureCapacity(1) != 0) return 1;  // a buffer, even for no input
  return 0;
}

int writeOutput(const char* bytes, size_t length) {
  if (length && std::fwrite(bytes, 1, length, stdout) != length) return 1;
  return 0;
}

int usageError(const CliCommand& command, const char* message) {
  std::fprintf(stderr, "zazozav-cli %s: %s\nUsage: zazozav-cli %s %s\n", command.name, message, command.name,
               command.synopsis);
  return 2;
}
