#include "app/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/mem_ini_file.h"
#include "base/bounded_copy.h"

namespace {

// Joins the parts into `out` (kSettingsPathSize bytes). Returns false,
// leaving `out` empty, when the result does not fit: a cut path would name
// some other file.
bool joinPath(char* out, const char* a, const char* b, const char* c) {
  out[0] = 0;
  if (strlen(a) + strlen(b) + strlen(c) > kSettingsPathSize - 1) return false;
  boundedAppend(out, kSettingsPathSize, a);
  boundedAppend(out, kSettingsPathSize, b);
  boundedAppend(out, kSettingsPathSize, c);
  return true;
}

// The per-user settings file: under an absolute $XDG_CONFIG_HOME (relative
// values are to be ignored), else under $HOME/.config.
bool perUserPath(char* out) {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return joinPath(out, config, "/zazozav/", kSettingsFileName);
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return joinPath(out, home, "/.config/zazozav/", kSettingsFileName);
  out[0] = 0;
  return false;
}

// Makes every missing directory on the way to the last "/" of `path`.
// Returns true when the directory exists afterwards.
bool makeParentDirectories(const char* path) {
  char buffer[kSettingsPathSize];
  boundedCopy(buffer, sizeof buffer, path);
  char* last = strrchr(buffer, '/');
  if (!last || last == buffer) return true;
  *last = 0;
  for (char* p = buffer + 1; *p; ++p) {
    if (*p != '/') continue;
    *p = 0;
    if (::mkdir(buffer, 0700) != 0 && errno != EEXIST) return false;
    *p = '/';
  }
  if (::mkdir(buffer, 0700) != 0 && errno != EEXIST) return false;
  struct stat info;
  return ::stat(buffer, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int settingsLocation(const StartupPaths& paths, SettingsLocation& location) {
  location.path[0] = 0;
  location.createDirectory = false;
  if (paths.workDirGiven) {
    // A workdir the command line could not hold gives no location at all.
    if (paths.workDir[0] == 0) return -1;
    return joinPath(location.path, paths.workDir, "", kSettingsFileName) ? 0 : -1;
  }
  if (paths.workDir[0] != 0 && ::access(paths.workDir, W_OK) == 0) {
    return joinPath(location.path, paths.workDir, "", kSettingsFileName) ? 0 : -1;
  }
  // The program's directory cannot take the file (an installed program
  // usually sits in a system directory): keep it per user instead of
  // never saving at all.
  if (!perUserPath(location.path)) return -1;
  location.createDirectory = true;
  return 0;
}

int readStartupSettings(const char* path, ViewerSettings& settings) {
  applySettingDefaults(settings);
  SMemIniFile file;
  const int result = file.open(path);
  readSettings(settings, file, kSettingsSection);
  return result;
}

int readStartupSettings(const char* path, ViewerSettings& settings, ViewerSession& session) {
  applySettingDefaults(settings);
  SMemIniFile file;
  const int result = file.open(path);
  readSettings(settings, file, kSettingsSection);
  readRecentFiles(session.recentFiles, file, kRecentFilesSection);
  session.maximized = file.readInteger(kWindowSection, kMaximizedKey, 0) == 1;
  session.summaryVisible = file.readInteger(kSummarySection, kSummaryVisibleKey, 0) == 1;
  session.whyVisible = file.readInteger(kWhySection, kSummaryVisibleKey, 0) == 1;
  return result;
}

namespace {

// Rewrites the session's sections; each vanishes when it has nothing. The
// recent files of the file as it is now (another window may have saved
// since this one started) follow this window's own; the other sections
// are this window's alone.
int writeSession(const ViewerSession& session, SMemIniFile& file) {
  RecentFiles merged;
  if (mergeRecentFiles(session.recentFiles, file, kRecentFilesSection, merged) != 0) return IniNoMemory;
  const int result = writeRecentFiles(merged, file, kRecentFilesSection);
  if (result != IniOk) return result;
  file.eraseSection(kWindowSection);
  const int window = session.maximized ? file.writeInteger(kWindowSection, kMaximizedKey, 1) : IniOk;
  if (window != IniOk) return window;
  file.eraseSection(kSummarySection);
  const int summary = session.summaryVisible ? file.writeInteger(kSummarySection, kSummaryVisibleKey, 1) : IniOk;
  if (summary != IniOk) return summary;
  file.eraseSection(kWhySection);
  return session.whyVisible ? file.writeInteger(kWhySection, kSummaryVisibleKey, 1) : IniOk;
}

int saveToFile(const char* path, const ViewerSettings& settings, const ViewerSession* session,
               bool createDirectory) {
  SMemIniFile file;
  const int opened = file.open(path);
  if (opened != IniOk && opened != IniMissing) return opened;
  const int32_t before = file.lineCount();
  const int sessionWritten = session ? writeSession(*session, file) : IniOk;
  if (sessionWritten != IniOk) return sessionWritten;
  const int written = writeSettings(settings, file, kSettingsSection);
  if (written != IniOk) return written;
  if (file.lineCount() == 0 && before == 0) return SaveSkipped;
  if (createDirectory && !makeParentDirectories(path)) return IniCannotWrite;
  return file.update();
}

}  // namespace

int saveSettingsOnClose(const char* path, const ViewerSettings& settings, bool createDirectory) {
  return saveToFile(path, settings, nullptr, createDirectory);
}

int saveSettingsOnClose(const SettingsLocation& location, const ViewerSettings& settings) {
  return saveSettingsOnClose(location.path, settings, location.createDirectory);
}

int saveSettingsOnClose(const SettingsLocation& location, const ViewerSettings& settings,
                        const ViewerSession& session) {
  return saveToFile(location.path, settings, &session, location.createDirectory);
}
