// Fuzz target: any bytes as a command line, its arguments separated by
// zero bytes, the first one taken as the program's path. The start-up
// paths must stay terminated inside their buffers and follow the rules of
// the command line (the last trace name wins and is never kept cut short;
// a workdir option stops the walk and gives its directory with one "/", or
// none when it cannot be held), and the settings path, the window caption
// and the load messages built from them must be what they promise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings_store.h"
#include "app/trace_file.h"
#include "fuzz/fuzz_check.h"

namespace {

template <size_t N>
std::string terminated(const char (&buffer)[N]) {
  const void* end = std::memchr(buffer, 0, N);
  check(end != nullptr);
  return std::string(buffer, static_cast<size_t>(static_cast<const char*>(end) - buffer));
}

bool isWorkdirKey(const std::string& key) {
  if (key.size() != 7) return false;
  for (size_t i = 0; i < 7; ++i) {
    const char c = key[i] >= 'a' && key[i] <= 'z' ? static_cast<char>(key[i] - 'a' + 'A') : key[i];
    if (c != "WORKDIR"[i]) return false;
  }
  return true;
}

// What the command line asks for, read straight from its rules.
struct Expected {
  std::string lastName;  // the last trace name before any workdir option
  bool hasName = false;
  bool workdir = false;
  std::string workDir;   // the option's value, as examined (first 511 characters)
};

Expected expectedFrom(const std::vector<std::string>& arguments) {
  Expected e;
  for (const std::string& full : arguments) {
    const std::string argument = full.substr(0, kArgumentBufferSize - 1);
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      e.lastName = full;
      e.hasName = true;
      continue;
    }
    if (isWorkdirKey(argument.substr(0, equals))) {
      e.workdir = true;
      e.workDir = argument.substr(equals + 1);
      return e;
    }
  }
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool environment = (setenv("HOME", "/nonexistent/home", 1), unsetenv("XDG_CONFIG_HOME"), true);
  (void)environment;
  if (size > 8192) return 0;
  // The program path, then the arguments; the bytes after the last zero
  // make one more argument.
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  const std::string programPath = parts[0];
  const std::vector<std::string> arguments(parts.begin() + 1, parts.end());
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());

  StartupPaths paths;
  initStartupPaths(paths);
  const bool exeDirSet = setExeDirFromProgramPath(paths, programPath.c_str()) == 0;
  const std::string exeDir = terminated(paths.exeDir);
  check(exeDirSet == !exeDir.empty());
  if (exeDirSet) check(exeDir.back() == '/' && programPath.compare(0, exeDir.size(), exeDir) == 0);
  check(terminated(paths.workDir) == exeDir);

  parseCommandLine(paths, static_cast<int>(argv.size()), argv.data());
  const Expected e = expectedFrom(arguments);
  const std::string trace = terminated(paths.traceFileName);
  // The name is the last one given, whole, or none at all.
  check(trace.empty() || (e.hasName && trace == e.lastName));
  if (e.hasName && e.lastName.size() < kPathBufferSize && !e.lastName.empty()) check(trace == e.lastName);
  if (!e.hasName) check(trace.empty());
  check(paths.workDirGiven == e.workdir);
  const std::string workDir = terminated(paths.workDir);
  if (!e.workdir) {
    check(workDir == exeDir);
  } else {
    // The directory exactly as given with one "/" at its end, or none
    // when that cannot be held.
    const bool endsInSlash = !e.workDir.empty() && e.workDir.back() == '/';
    if (workDir.empty()) {
      check(endsInSlash ? e.workDir.size() > kPathBufferSize - 1 : e.workDir.size() >= kPathBufferSize - 2);
    } else {
      check(workDir == (endsInSlash ? e.workDir : e.workDir + "/"));
    }
  }

  SettingsLocation location;
  const bool located = settingsLocation(paths, location) == 0;
  const std::string settings = terminated(location.path);
  check(located == !settings.empty());
  if (located) {
    check(settings.size() < kSettingsPathSize);
    check(settings.size() >= 12 && settings.compare(settings.size() - 12, 12, "/zazozav.ini") == 0);
    if (paths.workDirGiven) check(settings == workDir + kSettingsFileName && !location.createDirectory);
  }

  // The caption shows the last path component, split at its last dot.
  char name[kPathBufferSize];
  char extension[kPathBufferSize];
  splitFileName(paths.traceFileName, name, extension);
  const std::string base = trace.substr(trace.rfind('/') == std::string::npos ? 0 : trace.rfind('/') + 1);
  const std::string nameText = terminated(name);
  const std::string extensionText = terminated(extension);
  check(nameText + extensionText == base);
  check(extensionText.empty() || (extensionText[0] == '.' && extensionText.find('.', 1) == std::string::npos));
  char caption[kMessageBufferSize];
  captionFor(name, extension, caption, sizeof caption);
  check(terminated(caption) == ("Marrow Viewer - " + base).substr(0, sizeof caption - 1));

  char message[kMessageBufferSize];
  const struct {
    int code;
    std::string text;
  } messages[] = {{LoadCannotOpen, "Cannot open file " + trace},
                  {LoadTooLarge, "File " + trace + " is too large"},
                  {LoadNoMemory, "Cannot allocate memory for the file"}};
  for (const auto& m : messages) {
    loadErrorMessage(m.code, paths.traceFileName, message, sizeof message);
    check(terminated(message) == m.text.substr(0, sizeof message - 1));
  }
  return 0;
}
