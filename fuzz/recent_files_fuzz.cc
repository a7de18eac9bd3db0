// Fuzz target: the recent files through the settings file. Any bytes give
// up to twelve paths (each a length byte and its bytes, line ends and zero
// bytes included) and the settings file they are saved into. Every path
// the list takes is storable and first once added; written into the file
// and read back from its listing, the list is the same, byte for byte;
// the file's other sections keep their values; merged with the file's
// own entries, the list comes first, ten entries at most, none twice.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/mem_ini_file.h"
#include "app/recent_files.h"
#include "fuzz/fuzz_check.h"

namespace {

bool sameLists(const RecentFiles& a, const RecentFiles& b) {
  if (a.count != b.count) return false;
  for (int32_t i = 0; i < a.count; ++i) {
    if (a.paths[i].length() != b.paths[i].length() ||
        std::memcmp(a.paths[i].c_str(), b.paths[i].c_str(), static_cast<size_t>(a.paths[i].length())) != 0) {
      return false;
    }
  }
  return true;
}

const char* const kSections[] = {"ZAzozav", "Window", "Other", "recent files"};
const char* const kKeys[] = {"Options", "Maximized", "File1", "k"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 16)) return 0;
  size_t at = 1;
  RecentFiles list;
  for (int n = data[0] % 13; n > 0 && at < size; --n) {
    const size_t wanted = data[at++];
    const size_t length = wanted < size - at ? wanted : size - at;
    const std::string path(reinterpret_cast<const char*>(data) + at, length);
    at += length;
    const int added = addRecentFile(list, path.c_str(), path.size());
    check(added == (isStorablePath(path.c_str(), path.size()) ? 0 : -1));
    if (added == 0) check(std::strcmp(list.paths[0].c_str(), path.c_str()) == 0);
    check(list.count <= kRecentFileLimit);
  }

  SMemIniFile file;
  if (file.parse(reinterpret_cast<const char*>(data) + at, static_cast<int64_t>(size - at)) != IniOk) return 0;
  int32_t others[4][4];
  for (int s = 0; s < 4; ++s) {
    for (int k = 0; k < 4; ++k) others[s][k] = file.readInteger(kSections[s], kKeys[k], 7);
  }
  RecentFiles merged;
  check(mergeRecentFiles(list, file, kRecentFilesSection, merged) == 0);
  check(merged.count <= kRecentFileLimit && merged.count >= list.count);
  for (int32_t i = 0; i < merged.count; ++i) {
    if (i < list.count) check(std::strcmp(merged.paths[i].c_str(), list.paths[i].c_str()) == 0);
    for (int32_t j = 0; j < i; ++j) check(std::strcmp(merged.paths[i].c_str(), merged.paths[j].c_str()) != 0);
  }

  if (writeRecentFiles(list, file, kRecentFilesSection) != IniOk) return 0;
  SVString listing;
  check(file.listText(listing) == IniOk);
  SMemIniFile back;
  check(back.parse(listing.c_str(), listing.length()) == IniOk);
  RecentFiles read;
  readRecentFiles(read, back, kRecentFilesSection);
  check(sameLists(read, list));
  for (int s = 0; s < 4; ++s) {
    if (s == 3) continue;  // "recent files" is the list's own section
    for (int k = 0; k < 4; ++k) check(back.readInteger(kSections[s], kKeys[k], 7) == others[s][k]);
  }
  return 0;
}
