#include "app/mem_ini_file.h"

// Bodies follow in the next change; these keep the interface linkable.
int SMemIniFile::open(const char*) { return IniMissing; }
int SMemIniFile::parse(const char*, int64_t) { return IniOk; }
int32_t SMemIniFile::readInteger(const char*, const char*, int32_t fallback) const { return fallback; }
int SMemIniFile::writeInteger(const char*, const char*, int32_t) { return IniOk; }
void SMemIniFile::eraseSection(const char*) {}
int32_t SMemIniFile::lineCount() const { return 0; }
int SMemIniFile::listText(SVString&) const { return IniOk; }
int SMemIniFile::update() { return IniNoPath; }
