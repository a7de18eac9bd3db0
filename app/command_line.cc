#include "app/command_line.h"

#include <unistd.h>

#include <cstring>

#include "base/bounded_copy.h"

namespace {

// ASCII-only upper-casing: the key is plain ASCII, and a locale must not
// change what the option is called.
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(const char* a, size_t aLen, const char* b) {
  const size_t bLen = strlen(b);
  if (aLen != bLen) return false;
  for (size_t i = 0; i < aLen; ++i) {
    if (upperAscii(a[i]) != upperAscii(b[i])) return false;
  }
  return true;
}

// Takes the workdir value. The "/" rule: append one when the value does
// not end in "/" and is shorter than 258 characters. A longer value
// without its "/" would glue the file name onto the directory name, and a
// value over 259 characters would be cut: both would put the settings
// somewhere the user did not name, so the directory is left empty instead.
void takeWorkDir(StartupPaths& paths, const char* value) {
  const size_t length = strlen(value);
  const bool endsInSlash = length > 0 && value[length - 1] == '/';
  paths.workDirGiven = true;
  if (endsInSlash ? length > kPathBufferSize - 1 : length >= kPathBufferSize - 2) {
    paths.workDir[0] = 0;
    return;
  }
  boundedCopy(paths.workDir, kPathBufferSize, value);
  if (!endsInSlash) boundedAppend(paths.workDir, kPathBufferSize, "/");
}

}  // namespace

void initStartupPaths(StartupPaths& paths) {
  paths.exeDir[0] = 0;
  paths.workDir[0] = 0;
  paths.traceFileName[0] = 0;
  paths.workDirGiven = false;
  paths.traceArgument = -1;
}

int setExeDirFromProgramPath(StartupPaths& paths, const char* programPath) {
  paths.exeDir[0] = 0;
  paths.workDir[0] = 0;
  const char* slash = programPath ? strrchr(programPath, '/') : nullptr;
  if (!slash) return -1;
  const size_t dirLength = static_cast<size_t>(slash - programPath) + 1;
  if (dirLength > kPathBufferSize - 1) return -1;
  memcpy(paths.exeDir, programPath, dirLength);
  paths.exeDir[dirLength] = 0;
  boundedCopy(paths.workDir, kPathBufferSize, paths.exeDir);
  return 0;
}

int fillExeDir(StartupPaths& paths) {
  char target[4096];
  const ssize_t n = readlink("/proc/self/exe", target, sizeof target - 1);
  if (n <= 0) {
    paths.exeDir[0] = 0;
    paths.workDir[0] = 0;
    return -1;
  }
  target[n] = 0;
  return setExeDirFromProgramPath(paths, target);
}

void parseCommandLine(StartupPaths& paths, int count, const char* const* arguments) {
  char argument[kArgumentBufferSize];
  for (int i = 0; i < count; ++i) {
    if (!arguments[i]) continue;
    boundedCopy(argument, sizeof argument, arguments[i]);
    const char* equals = strchr(argument, '=');
    if (!equals) {
      paths.traceArgument = i;
      // A cut-off name could open a different file: keep none instead.
      if (strlen(arguments[i]) > kPathBufferSize - 1) {
        paths.traceFileName[0] = 0;
      } else {
        boundedCopy(paths.traceFileName, kPathBufferSize, argument);
      }
      continue;
    }
    if (equalsIgnoringCase(argument, static_cast<size_t>(equals - argument), "workdir")) {
      takeWorkDir(paths, equals + 1);
      return;
    }
  }
}
