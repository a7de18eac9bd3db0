#include "app/recent_files.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "app/mem_ini_file.h"

namespace {

void keyFor(int32_t index, char (&key)[16]) { std::snprintf(key, sizeof key, "File%d", index + 1); }

int32_t indexOf(const RecentFiles& list, const char* path) {
  for (int32_t i = 0; i < list.count; ++i) {
    if (std::strcmp(list.paths[i].c_str(), path) == 0) return i;
  }
  return -1;
}

// Moves entry `from` to the front, the ones above it down by one place.
void moveToFront(RecentFiles& list, int32_t from) {
  SVString moving(std::move(list.paths[from]));
  for (int32_t i = from; i > 0; --i) list.paths[i] = std::move(list.paths[i - 1]);
  list.paths[0] = std::move(moving);
}

}  // namespace

bool isStorablePath(const char* path) {
  const size_t n = path ? std::strlen(path) : 0;
  if (n == 0 || std::strpbrk(path, "\r\n")) return false;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return !blank(path[0]) && !blank(path[n - 1]);
}

bool isStorablePath(const char* path, size_t length) {
  return path && std::memchr(path, 0, length) == nullptr && isStorablePath(path);
}

int addRecentFile(RecentFiles& list, const char* path, size_t length) {
  return isStorablePath(path, length) ? addRecentFile(list, path) : -1;
}

int addRecentFile(RecentFiles& list, const char* path) {
  if (!isStorablePath(path)) return -1;
  int32_t at = indexOf(list, path);
  if (at < 0) {
    SVString entry;
    if (entry.assign(path) != 0) return -1;
    // The new entry takes the first free place, or the oldest one's.
    at = list.count < kRecentFileLimit ? list.count++ : kRecentFileLimit - 1;
    list.paths[at] = std::move(entry);
  }
  moveToFront(list, at);
  return 0;
}

void removeRecentFile(RecentFiles& list, const char* path) {
  const int32_t at = indexOf(list, path);
  if (at < 0) return;
  --list.count;
  for (int32_t i = at; i < list.count; ++i) list.paths[i] = std::move(list.paths[i + 1]);
  list.paths[list.count].release();
}

void clearRecentFiles(RecentFiles& list) {
  for (SVString& path : list.paths) path.release();
  list.count = 0;
}

void readRecentFiles(RecentFiles& list, const SMemIniFile& file, const char* section) {
  clearRecentFiles(list);
  for (int32_t i = 0; i < kRecentFileLimit; ++i) {
    char key[16];
    keyFor(i, key);
    SVString& entry = list.paths[list.count];
    if (!file.readString(section, key, entry)) continue;
    // An entry equal to an earlier one, or one written by hand that could
    // not be written back, is left out.
    if (isStorablePath(entry.c_str()) && indexOf(list, entry.c_str()) < 0) {
      ++list.count;
    } else {
      entry.release();
    }
  }
}

int mergeRecentFiles(const RecentFiles& own, const SMemIniFile& file, const char* section, RecentFiles& out) {
  RecentFiles stored;
  readRecentFiles(stored, file, section);
  clearRecentFiles(out);
  const RecentFiles* const sources[] = {&own, &stored};
  for (const RecentFiles* from : sources) {
    for (int32_t i = 0; i < from->count && out.count < kRecentFileLimit; ++i) {
      const char* path = from->paths[i].c_str();
      if (indexOf(out, path) >= 0) continue;
      if (out.paths[out.count].assign(path) != 0) {
        clearRecentFiles(out);
        return -1;
      }
      ++out.count;
    }
  }
  return 0;
}

int writeRecentFiles(const RecentFiles& list, SMemIniFile& file, const char* section) {
  file.eraseSection(section);
  for (int32_t i = 0; i < list.count; ++i) {
    char key[16];
    keyFor(i, key);
    const int result = file.writeString(section, key, list.paths[i].c_str());
    if (result != IniOk) return result;
  }
  return IniOk;
}
