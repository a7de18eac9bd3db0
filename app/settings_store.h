// Reading the settings at start-up and saving them when the main window
// closes, without any GUI.
#pragma once

#include <cstddef>

#include "app/command_line.h"
#include "app/recent_files.h"
#include "app/viewer_settings.h"

constexpr size_t kSettingsPathSize = 512;
constexpr const char* kSettingsFileName = "zazozav.ini";
constexpr const char* kSettingsSection = "ZAzozav";
// What the viewer keeps beside its own section: the window's state.
constexpr const char* kWindowSection = "Window";
constexpr const char* kMaximizedKey = "Maximized";
// Whether the summary pane is shown.
constexpr const char* kSummarySection = "Summary";
constexpr const char* kSummaryVisibleKey = "Visible";
// Whether the pane of why the plan was chosen is shown.
constexpr const char* kWhySection = "Why";

// What the viewer remembers besides the settings record, each part in a
// section of its own: the recent traces, whether the window was maximized
// and whether the summary and why panes were shown. Nothing of it is written while
// it is empty or off.
struct ViewerSession {
  RecentFiles recentFiles;
  bool maximized = false;
  bool summaryVisible = false;
  bool whyVisible = false;
};

struct SettingsLocation {
  char path[kSettingsPathSize];  // the settings file; empty when there is none
  bool createDirectory;          // saving may create the directory (per-user fallback)
};

// Where the settings live: workDir + "zazozav.ini" when a workdir option was
// given or the program's directory is writable; otherwise the per-user
// directory $XDG_CONFIG_HOME/zazozav/ (an absolute XDG_CONFIG_HOME only),
// else $HOME/.config/zazozav/, with createDirectory set. A path that would
// not fit in 511 characters is not cut: the path is left empty. Returns 0,
// or -1 when the path is empty.
int settingsLocation(const StartupPaths& paths, SettingsLocation& location);

// Applies the defaults, then reads section "ZAzozav" of the file at `path`.
// A missing, unreadable, empty or absent (empty path) file leaves the
// defaults. Returns the IniResult of opening the file (IniNoPath for an
// empty path).
int readStartupSettings(const char* path, ViewerSettings& settings);

// readStartupSettings that also reads the session's sections (emptied
// first).
int readStartupSettings(const char* path, ViewerSettings& settings, ViewerSession& session);

enum SaveResult : int {
  SaveWritten = 0,
  SaveSkipped = 1,  // nothing to write: no file and every value at its default
  // Negative: an IniResult from opening or writing; nothing was changed.
};

// The close-time save: opens the file, counts its lines, writes the
// settings into section "ZAzozav" (which thus ends up last) and writes the
// file back when it now has a line or had one before. So a file is created
// only when some value differs from its default, and an existing file is
// rewritten even when every value is back at its default. With
// `createDirectory`, a missing directory of `path` (and its parents) is made
// first, mode 0700. Failures change nothing on disk and are only returned.
int saveSettingsOnClose(const char* path, const ViewerSettings& settings, bool createDirectory);

// saveSettingsOnClose for a location from settingsLocation.
int saveSettingsOnClose(const SettingsLocation& location, const ViewerSettings& settings);

// saveSettingsOnClose that first rewrites the session's sections, so the
// section "ZAzozav" still ends up last.
int saveSettingsOnClose(const SettingsLocation& location, const ViewerSettings& settings,
                        const ViewerSession& session);
