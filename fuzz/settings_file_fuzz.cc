// Fuzz target: any bytes as the settings file on disk, sometimes grown to
// the size limit, through the start-up read and the close-time save. A
// save either refuses and leaves the file as it was, or writes a file the
// next start reads back (never one over the read limit) holding the saved
// values and the other sections' values, with no temporary file left; a
// second save of the same settings changes nothing.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/mem_ini_file.h"
#include "app/settings_store.h"
#include "app/viewer_settings.h"
#include "fuzz/fuzz_check.h"

namespace {

// The directory the file lives in: on a memory file system when there is
// one, so that the save's flush to disk costs nothing. It is named after
// the process and removed at exit; one left by a run that died (a finding
// aborts) is removed by the next run.
std::string gBase;
std::string gDirectory;
std::string gPath;
constexpr char kDirectoryPrefix[] = "zazozav_settings_fuzz.";

void removeDirectory(const std::string& directory) {
  if (DIR* dir = opendir(directory.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        unlink((directory + "/" + entry->d_name).c_str());
      }
    }
    closedir(dir);
  }
  rmdir(directory.c_str());
}

void removeOwnDirectory() { removeDirectory(gDirectory); }

void removeDirectoriesOfDeadRuns() {
  DIR* dir = opendir(gBase.c_str());
  if (!dir) return;
  const size_t prefixLength = sizeof kDirectoryPrefix - 1;
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, kDirectoryPrefix, prefixLength) != 0) continue;
    const long pid = std::strtol(entry->d_name + prefixLength, nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      removeDirectory(gBase + "/" + entry->d_name);
    }
  }
  closedir(dir);
}

bool makeDirectory() {
  const char* tmp = getenv("TMPDIR");
  gBase = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
  removeDirectoriesOfDeadRuns();
  gDirectory = gBase + "/" + kDirectoryPrefix + std::to_string(getpid());
  removeDirectory(gDirectory);
  if (mkdir(gDirectory.c_str(), 0700) != 0) return false;
  gPath = gDirectory + "/" + kSettingsFileName;
  std::atexit(removeOwnDirectory);
  return true;
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

std::string readWhole(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  std::fclose(f);
  return bytes;
}

// Only the settings file: a save leaves no temporary file behind.
void checkDirectoryHoldsOnlyTheFile() {
  DIR* dir = opendir(gDirectory.c_str());
  check(dir != nullptr);
  while (const dirent* entry = readdir(dir)) {
    const char* n = entry->d_name;
    check(std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0 || std::strcmp(n, kSettingsFileName) == 0);
  }
  closedir(dir);
}

// Names of other sections and keys whose values a save must keep.
const char* const kSections[] = {"Other", "zazozav", "ZAzozavX", "a", "", "[x"};
const char* const kKeys[] = {"Top", "Options", "k", "Width", "a=b", ""};

// A file of exactly `target` bytes in one of a few shapes of many lines.
std::string grownFile(uint8_t shape, int64_t target) {
  const std::string comment = ";" + std::string(1022, 'c');
  struct Shape {
    const char* head;
    std::string line;
  };
  const Shape shapes[] = {
      {"", comment + "\n"},
      {"[Other]\r\nk=1\r\n", comment + "\n"},  // rewritten with CRLF after its first line
      {"", comment + "\r"},                     // lone carriage returns
      {"\xEF\xBB\xBF[ZAzozav]\nOptions=0\n", comment + "\n"},
      {"[Big]\n", "k=" + std::string(1020, '1') + "\n"},
      {"[Big]\nk=", std::string(1024, 'v')},  // one line the size of the file
  };
  const Shape& chosen = shapes[shape % (sizeof shapes / sizeof shapes[0])];
  std::string file = chosen.head;
  file.reserve(static_cast<size_t>(target));
  while (static_cast<int64_t>(file.size() + chosen.line.size()) <= target) file += chosen.line;
  file.append(chosen.line, 0, static_cast<size_t>(target) - file.size());
  return file;
}

// Sizes of grown files, from the read limit: below, at and just above it.
constexpr int64_t kGrownOffsets[4] = {-64, -16, 0, 48};

// FNV-1a over the input.
uint32_t hashOf(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

// The value a control byte gives a setting: ordinary, extreme or unset.
int32_t valueFrom(uint8_t byte, int32_t defaultValue) {
  switch (byte % 8) {
    case 0: return defaultValue;
    case 1: return NotSet;
    case 2: return INT32_MAX;
    case 3: return NotSet + 1;
    case 4: return 0;
    default: return static_cast<int32_t>(byte) * 37 - 2000;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = makeDirectory();
  if (!ready || size < 9 || size > (1u << 20)) return 0;
  // With byte 0 at 0xFF, and for one such input in 128 by a hash of all
  // bytes, the file is one of 24 grown to about the read limit: a shape and
  // a size from bytes 1 and 2, saved with fixed settings. Every pass over a
  // grown file takes a second here, so they stay rare however the fuzzer
  // mutates one. Otherwise bytes 1..7 are the settings to save and say
  // whether there is a file at all, and the rest is the file.
  const int64_t limit = kMaxIniFileSize;
  const bool grown = data[0] == 0xFF && hashOf(data, size) % 128 == 0;
  const std::string file =
      grown ? grownFile(data[1], limit + kGrownOffsets[data[2] % 4])
            : std::string(reinterpret_cast<const char*>(data) + 8, size - 8);
  unlink(gPath.c_str());
  const bool present = grown || data[1] % 5 != 0;
  if (present) check(writeWhole(gPath, file));

  ViewerSettings settings;
  const int opened = readStartupSettings(gPath.c_str(), settings);
  check(opened == (present ? IniOk : IniMissing) || opened == IniTooLarge);
  for (int i = 0; i < kSettingDescriptorCount; ++i) {
    const SettingDescriptor& d = kSettingDescriptors[i];
    settings.*d.field = grown ? d.defaultValue + 100 : valueFrom(data[1 + i], d.defaultValue);
  }

  // The other sections' values, read before the save (on smaller files
  // only: on a grown one every pass takes a second here). One file object
  // at a time: a large file's lines take much memory.
  constexpr size_t kNameCount = sizeof kSections / sizeof kSections[0];
  constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
  int32_t others[kNameCount][kKeyCount];
  bool othersKnown = false;
  {
    SMemIniFile before;
    othersKnown = present && file.size() <= (1u << 20) &&
                  before.parse(file.data(), static_cast<int64_t>(file.size())) == IniOk;
    for (size_t i = 0; i < kNameCount; ++i) {
      for (size_t k = 0; k < kKeyCount; ++k) others[i][k] = before.readInteger(kSections[i], kKeys[k], 7);
    }
  }
  const int saved = saveSettingsOnClose(gPath.c_str(), settings, false);
  const std::string after = readWhole(gPath);
  checkDirectoryHoldsOnlyTheFile();
  if (saved != SaveWritten) {
    check(after == (present ? file : std::string("<missing>")));
    if (opened == IniOk || opened == IniMissing) check(saved == SaveSkipped || saved == IniTooLarge);
    return 0;
  }
  check(opened != IniTooLarge);

  // The next start can read what was written, and finds the saved values.
  check(static_cast<int64_t>(after.size()) <= limit);
  SMemIniFile back;
  check(back.open(gPath.c_str()) == IniOk);
  for (int i = 0; i < kSettingDescriptorCount; ++i) {
    const SettingDescriptor& d = kSettingDescriptors[i];
    const int32_t value = settings.*d.field;
    // A value at its default is not stored; any other is, NotSet included.
    if (value == d.defaultValue) {
      check(back.readInteger(kSettingsSection, d.key, 7) == 7 && back.readInteger(kSettingsSection, d.key, 8) == 8);
    } else {
      check(back.readInteger(kSettingsSection, d.key, value ^ 1) == value);
    }
  }
  // Other sections keep their values.
  if (othersKnown) {
    for (size_t i = 0; i < kNameCount; ++i) {
      if (strcasecmp(kSections[i], kSettingsSection) == 0) continue;
      for (size_t k = 0; k < kKeyCount; ++k) check(back.readInteger(kSections[i], kKeys[k], 7) == others[i][k]);
    }
  }
  back.parse("", 0);  // frees its lines before the second save reads the file
  // Saving the same settings again writes the same bytes (on smaller
  // files); a file the first save left without a line (empty, or holding
  // only the byte-order mark it kept) is not written again.
  if (after.size() > (1u << 20)) return 0;
  const int again = saveSettingsOnClose(gPath.c_str(), settings, false);
  check(again == SaveWritten || (again == SaveSkipped && (after.empty() || after == "\xEF\xBB\xBF")));
  check(readWhole(gPath) == after);
  return 0;
}
