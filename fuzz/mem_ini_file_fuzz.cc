// Fuzz target: any bytes as an INI file. Reading, writing and erasing must
// keep their promises (a written key reads back, an erased section reads
// as missing), and a listing must parse back into the same listing.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/mem_ini_file.h"
#include "app/viewer_settings.h"
#include "fuzz/fuzz_check.h"

namespace {

// Names both ordinary and odd; the odd ones must be refused or work.
const char* const kNames[] = {"ZAzozav", "zazozav", "Other", "", "a b", "k;x", "[x", " s",
                              "x]",      "=",       "Options", "FontSize", "#c", "\xEF\xBB\xBF"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

void listing(const SMemIniFile& file, SVString& out) {
  out.clear();
  check(file.listText(out) == IniOk);
}

// The listing of `file` parses into an object with the same listing and
// the same values.
void checkRoundTrip(const SMemIniFile& file) {
  SVString first;
  listing(file, first);
  SMemIniFile again;
  check(again.parse(first.c_str(), first.length()) == IniOk);
  SVString second;
  listing(again, second);
  check(first.length() == second.length());
  check(memcmp(first.c_str(), second.c_str(), static_cast<size_t>(first.length())) == 0);
  check(again.lineCount() == file.lineCount());
  for (const char* section : kNames) {
    for (const char* key : kNames) {
      check(again.readInteger(section, key, 7) == file.readInteger(section, key, 7));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The last bytes drive the operations; all bytes are the file.
  const char* text = reinterpret_cast<const char*>(data);
  SMemIniFile file;
  if (file.parse(text, static_cast<int64_t>(size)) != IniOk) return 0;
  check(file.update() == IniNoPath);

  ViewerSettings settings;
  applySettingDefaults(settings);
  readSettings(settings, file, "ZAzozav");
  checkRoundTrip(file);

  for (size_t i = 0; i + 2 < size && i < 48; i += 3) {
    const char* section = kNames[data[size - 1 - i] % kNameCount];
    const char* key = kNames[data[size - 2 - i] % kNameCount];
    const int32_t value = static_cast<int32_t>(data[size - 3 - i]) * 16777619 - 1000;
    if (data[size - 3 - i] % 5 == 0) {
      file.eraseSection(section);
      check(file.readInteger(section, key, 7) == 7);
      continue;
    }
    const int result = file.writeInteger(section, key, value);
    check(result == IniOk || result == IniBadName);
    if (result == IniOk) check(file.readInteger(section, key, value ^ 1) == value);
  }
  checkRoundTrip(file);

  check(writeSettings(settings, file, "ZAzozav") == IniOk);
  ViewerSettings back;
  applySettingDefaults(back);
  readSettings(back, file, "ZAzozav");
  for (int i = 0; i < kSettingDescriptorCount; ++i) {
    const auto field = kSettingDescriptors[i].field;
    // NotSet reads as "no value", so only set values must come back.
    if (settings.*field != NotSet) check(back.*field == settings.*field);
  }
  checkRoundTrip(file);
  return 0;
}
