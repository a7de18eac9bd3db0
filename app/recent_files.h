// The traces opened last, newest first, as the Open button's drop-down
// lists them and the settings file keeps them (a section of their own, so
// the viewer's own section stays as it is).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/sv_string.h"

class SMemIniFile;

constexpr int32_t kRecentFileLimit = 10;
constexpr const char* kRecentFilesSection = "Recent Files";

struct RecentFiles {
  SVString paths[kRecentFileLimit];  // newest first; entries past count are empty
  int32_t count = 0;
};

// True when the settings file can hold `path` as a value that reads back
// as itself: not empty, no line end, no blank at either end.
bool isStorablePath(const char* path);
// The same for the `length` bytes at `path` (a zero byte follows them),
// which must not hold a zero byte either: cut there, the entry would name
// some other file.
bool isStorablePath(const char* path, size_t length);

// Puts `path` first: an equal entry moves up, and the oldest one drops out
// when the list is full. A path that is not storable is not added.
// Returns 0, or -1 when it was not added (not storable, or no memory).
int addRecentFile(RecentFiles& list, const char* path);
int addRecentFile(RecentFiles& list, const char* path, size_t length);

// Removes the entry equal to `path`, if any; the later ones move up.
void removeRecentFile(RecentFiles& list, const char* path);

void clearRecentFiles(RecentFiles& list);

// Reads keys "File1" to "File10" of `section`, in order, skipping missing,
// unstorable and repeated entries.
void readRecentFiles(RecentFiles& list, const SMemIniFile& file, const char* section);

// `own` followed by the entries of `section` in `file` that `own` lacks,
// at most kRecentFileLimit in all: what a window saves, so that the traces
// another window opened and saved meanwhile are kept. Returns 0 or -1 (no
// memory; `out` is then empty).
int mergeRecentFiles(const RecentFiles& own, const SMemIniFile& file, const char* section, RecentFiles& out);

// Erases `section` and writes the entries as "File1", "File2", ...
// Returns 0 or a negative IniResult (the file object must then not be
// written back).
int writeRecentFiles(const RecentFiles& list, SMemIniFile& file, const char* section);
