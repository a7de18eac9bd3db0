#include "app/settings_store.h"

#include "app/mem_ini_file.h"

// Bodies follow in the next change; these keep the interface linkable.
int settingsLocation(const StartupPaths&, SettingsLocation& location) {
  location.path[0] = 0;
  location.createDirectory = false;
  return -1;
}

int readStartupSettings(const char*, ViewerSettings& settings) {
  applySettingDefaults(settings);
  return IniNoPath;
}

int saveSettingsOnClose(const char*, const ViewerSettings&, bool) { return SaveSkipped; }

int saveSettingsOnClose(const SettingsLocation& location, const ViewerSettings& settings) {
  return saveSettingsOnClose(location.path, settings, location.createDirectory);
}
