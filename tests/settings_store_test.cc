#include "app/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/mem_ini_file.h"
#include "tests/test_files.h"

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (hadOld_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_;
};

ViewerSettings defaults() {
  ViewerSettings s;
  applySettingDefaults(s);
  return s;
}

bool sameFields(const ViewerSettings& a, const ViewerSettings& b) {
  for (int i = 0; i < kSettingDescriptorCount; ++i) {
    const auto field = kSettingDescriptors[i].field;
    if (a.*field != b.*field) return false;
  }
  return true;
}

StartupPaths pathsWith(const std::string& exeDir, const char* workDirOption) {
  StartupPaths paths;
  initStartupPaths(paths);
  setExeDirFromProgramPath(paths, (exeDir + "zazozav").c_str());
  if (workDirOption) parseCommandLine(paths, 1, &workDirOption);
  return paths;
}

TEST(SettingsLocation, ProgramDirectoryWorkDirOrPerUser) {
  TempDir dir;
  const std::string exe = dir.file("bin/");
  ASSERT_EQ(mkdir(exe.c_str(), 0755), 0);
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("config").c_str());
  ScopedEnv home("HOME", "/home/someone");
  struct Case {
    std::string exeDir;
    const char* option;
    std::string path;  // empty: no location
    bool create;
  };
  const std::string tooLong = "workdir=/" + std::string(300, 'd');
  const Case cases[] = {
      {exe, nullptr, exe + "zazozav.ini", false},
      {exe, "workdir=/nowhere", "/nowhere/zazozav.ini", false},
      {exe, tooLong.c_str(), "", false},
      // An unusable program directory: works the same for root, who may
      // write anywhere that exists.
      {dir.file("missing/"), nullptr, dir.file("config/zazozav/zazozav.ini"), true},
      {dir.file("plain/x/"), nullptr, dir.file("config/zazozav/zazozav.ini"), true},
  };
  writeFile(dir.file("plain"), "not a directory");
  for (const Case& c : cases) {
    SettingsLocation location;
    const StartupPaths paths = pathsWith(c.exeDir, c.option);
    EXPECT_EQ(settingsLocation(paths, location), c.path.empty() ? -1 : 0);
    EXPECT_EQ(location.path, c.path) << c.exeDir;
    EXPECT_EQ(location.createDirectory, c.create) << c.exeDir;
  }
}

TEST(SettingsLocation, PerUserFallbacks) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* path;
  };
  const std::string longXdg = "/" + std::string(500, 'x');
  const Case cases[] = {
      {"/cfg", "/home/u", "/cfg/zazozav/zazozav.ini"},
      {"relative", "/home/u", "/home/u/.config/zazozav/zazozav.ini"},
      {"", "/home/u", "/home/u/.config/zazozav/zazozav.ini"},
      {nullptr, "/home/u", "/home/u/.config/zazozav/zazozav.ini"},
      {nullptr, nullptr, ""},
      {longXdg.c_str(), "/home/u", ""},
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    SettingsLocation location;
    settingsLocation(pathsWith("/nonexistent/dir/", nullptr), location);
    EXPECT_STREQ(location.path, c.path) << (c.xdg ? c.xdg : "(unset)");
  }
}

TEST(ReadStartupSettings, BadFilesGiveTheDefaults) {
  TempDir dir;
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) >> 3));
  struct Case {
    std::string bytes;
    int result;
  };
  const Case cases[] = {
      {"", IniOk},
      {noise, IniOk},
      {std::string("\0\0\0[ZAzozav]\0Options=0\0", 24), IniOk},
      {"[ZAzozav]\rOptions=0x\r", IniOk},
      {"[ZAzozav]\nFontSize=" + std::string(10 * 1024 * 1024, '9') + "\n", IniOk},
  };
  const ViewerSettings expected = defaults();
  for (const Case& c : cases) {
    writeFile(dir.file("zazozav.ini"), c.bytes);
    ViewerSettings s;
    EXPECT_EQ(readStartupSettings(dir.file("zazozav.ini").c_str(), s), c.result);
    EXPECT_TRUE(sameFields(s, expected)) << c.bytes.substr(0, 40);
  }
  ViewerSettings s;
  EXPECT_EQ(readStartupSettings(dir.file("none.ini").c_str(), s), IniMissing);
  EXPECT_EQ(s.Options, 6);
  EXPECT_EQ(readStartupSettings(dir.file("").c_str(), s), IniCannotRead);
  EXPECT_EQ(readStartupSettings("", s), IniNoPath);
  EXPECT_EQ(s.FontSize, -1);
}

TEST(ReadStartupSettings, ReadsTheSectionWithAnyLineEnds) {
  TempDir dir;
  writeFile(dir.file("a.ini"), "[Other]\r\nOptions=1\r\n[zazozav]\r\nOptions=0\r\nTop=100\r\n");
  ViewerSettings s;
  ASSERT_EQ(readStartupSettings(dir.file("a.ini").c_str(), s), IniOk);
  EXPECT_EQ(s.Options, 0);
  EXPECT_EQ(s.Top, 100);
}

TEST(SaveSettingsOnClose, CreatesAFileOnlyWhenSomethingDiffers) {
  TempDir dir;
  const std::string path = dir.file("zazozav.ini");
  EXPECT_EQ(saveSettingsOnClose(path.c_str(), defaults(), false), SaveSkipped);
  EXPECT_EQ(readFile(path), "<missing>");

  ViewerSettings s = defaults();
  storeWindowSize(s, 1194, 700);
  EXPECT_EQ(saveSettingsOnClose(path.c_str(), s, false), SaveWritten);
  EXPECT_EQ(readFile(path), "[ZAzozav]\nHeight=700\n\n");

  // Back at the defaults: the file is rewritten and the section vanishes.
  EXPECT_EQ(saveSettingsOnClose(path.c_str(), defaults(), false), SaveWritten);
  EXPECT_EQ(readFile(path), "");
}

TEST(SaveSettingsOnClose, KeepsCommentsAndOtherSectionsAndPutsItsOwnLast) {
  TempDir dir;
  const std::string path = dir.file("zazozav.ini");
  writeFile(path, "; kept\r\n\r\n[ZAzozav]\r\nTop=100\r\nFontSize=13\r\n\r\n[Other]\r\nx=1\r\n");
  ViewerSettings s;
  ASSERT_EQ(readStartupSettings(path.c_str(), s), IniOk);
  EXPECT_EQ(fontHeightFor(s, 96), 13);
  EXPECT_EQ(saveSettingsOnClose(path.c_str(), s, false), SaveWritten);
  const std::string once = readFile(path);
  EXPECT_EQ(once, "; kept\r\n\r\n[Other]\r\nx=1\r\n\r\n[ZAzozav]\r\nTop=100\r\nFontSize=13\r\n\r\n");

  // A second run changes nothing; one step up and down stores -1 and the
  // next close drops the key.
  ASSERT_EQ(readStartupSettings(path.c_str(), s), IniOk);
  ASSERT_EQ(saveSettingsOnClose(path.c_str(), s, false), SaveWritten);
  EXPECT_EQ(readFile(path), once);
  stepFont(s, 96, +1);
  stepFont(s, 96, -1);
  ASSERT_EQ(saveSettingsOnClose(path.c_str(), s, false), SaveWritten);
  EXPECT_EQ(readFile(path), "; kept\r\n\r\n[Other]\r\nx=1\r\n\r\n[ZAzozav]\r\nTop=100\r\n\r\n");
}

TEST(SaveSettingsOnClose, FailedWritesChangeNothing) {
  TempDir dir;
  writeFile(dir.file("plain"), "x");
  ViewerSettings s = defaults();
  s.Options = 0;
  // No directory to write into, whoever runs the test.
  EXPECT_EQ(saveSettingsOnClose(dir.file("plain/zazozav.ini").c_str(), s, false), IniCannotWrite);
  EXPECT_EQ(saveSettingsOnClose(dir.file("plain/z/zazozav.ini").c_str(), s, true), IniCannotWrite);
  EXPECT_EQ(saveSettingsOnClose(dir.file("none/zazozav.ini").c_str(), s, false), IniCannotWrite);
  EXPECT_EQ(readFile(dir.file("plain")), "x");

  // A full disk, simulated by a file-size limit: the write fails part way
  // and the old file must stay whole, with no temporary file left over.
  const std::string path = dir.file("zazozav.ini");
  const std::string old = "; " + std::string(100, 'c') + "\n[ZAzozav]\nOptions=1\n";
  writeFile(path, old);
  ViewerSettings big = defaults();
  big.Top = big.Left = big.Width = big.Height = big.SplitterPos = 123456789;
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int result = saveSettingsOnClose(path.c_str(), big, false);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, handler);
  EXPECT_EQ(result, IniCannotWrite);
  EXPECT_EQ(readFile(path), old);
  const std::string listing = "ls -A '" + dir.file("") + "' | grep -q tmp";
  EXPECT_NE(system(listing.c_str()), 0) << "a temporary file was left";
}

TEST(SaveSettingsOnClose, TheSessionGoesInSectionsOfItsOwnBeforeTheSettings) {
  TempDir dir;
  StartupPaths paths = pathsWith(dir.file(""), nullptr);
  SettingsLocation location;
  ASSERT_EQ(settingsLocation(paths, location), 0);
  ViewerSession session;
  EXPECT_EQ(saveSettingsOnClose(location, defaults(), session), SaveSkipped);
  addRecentFile(session.recentFiles, "/t/b.trc");
  addRecentFile(session.recentFiles, "/t/a.trc");
  session.maximized = true;
  session.summaryVisible = true;
  ViewerSettings s = defaults();
  s.Options = 0;
  ASSERT_EQ(saveSettingsOnClose(location, s, session), SaveWritten);
  const std::string expected =
      "[Recent Files]\nFile1=/t/a.trc\nFile2=/t/b.trc\n\n[Window]\nMaximized=1\n\n[Summary]\nVisible=1\n\n"
      "[ZAzozav]\nOptions=0\n\n";
  EXPECT_EQ(readFile(location.path), expected);
  // Read back and saved again, nothing moves; the settings-only save
  // leaves the session's sections alone.
  ViewerSession back;
  ViewerSettings read;
  ASSERT_EQ(readStartupSettings(location.path, read, back), IniOk);
  EXPECT_TRUE(back.maximized);
  EXPECT_TRUE(back.summaryVisible);
  ASSERT_EQ(back.recentFiles.count, 2);
  EXPECT_STREQ(back.recentFiles.paths[0].c_str(), "/t/a.trc");
  ASSERT_EQ(saveSettingsOnClose(location, read, back), SaveWritten);
  EXPECT_EQ(readFile(location.path), expected);
  ASSERT_EQ(saveSettingsOnClose(location, read), SaveWritten);
  EXPECT_EQ(readFile(location.path), expected);
  // Emptied, the window's sections vanish; the recent files of the file
  // stay, as another window's would.
  ViewerSession empty;
  ASSERT_EQ(saveSettingsOnClose(location, read, empty), SaveWritten);
  EXPECT_EQ(readFile(location.path), "[Recent Files]\nFile1=/t/a.trc\nFile2=/t/b.trc\n\n[ZAzozav]\nOptions=0\n\n");
}

TEST(SaveSettingsOnClose, TwoWindowsKeepTheRecentFilesOfBoth) {
  TempDir dir;
  StartupPaths paths = pathsWith(dir.file(""), nullptr);
  SettingsLocation location;
  ASSERT_EQ(settingsLocation(paths, location), 0);
  ViewerSession first;
  ViewerSession second;
  // Both started before either saved; each opened traces of its own, and
  // both opened /t/both.
  for (const char* path : {"/t/1a", "/t/both", "/t/1b"}) addRecentFile(first.recentFiles, path);
  for (int i = 0; i < 9; ++i) addRecentFile(second.recentFiles, ("/t/2-" + std::to_string(i)).c_str());
  addRecentFile(second.recentFiles, "/t/both");
  second.maximized = true;
  ASSERT_EQ(saveSettingsOnClose(location, defaults(), first), SaveWritten);
  ASSERT_EQ(saveSettingsOnClose(location, defaults(), second), SaveWritten);
  // The last one's list first, then the other's it lacks, ten at most;
  // the window's own section is the last writer's.
  EXPECT_EQ(readFile(location.path),
            "[Recent Files]\nFile1=/t/both\nFile2=/t/2-8\nFile3=/t/2-7\nFile4=/t/2-6\nFile5=/t/2-5\n"
            "File6=/t/2-4\nFile7=/t/2-3\nFile8=/t/2-2\nFile9=/t/2-1\nFile10=/t/2-0\n\n[Window]\nMaximized=1\n\n");
  // With room, the first window's entries follow.
  ViewerSession third;
  addRecentFile(third.recentFiles, "/t/3");
  std::remove(location.path);
  ASSERT_EQ(saveSettingsOnClose(location, defaults(), first), SaveWritten);
  ASSERT_EQ(saveSettingsOnClose(location, defaults(), third), SaveWritten);
  EXPECT_EQ(readFile(location.path), "[Recent Files]\nFile1=/t/3\nFile2=/t/1b\nFile3=/t/both\nFile4=/t/1a\n\n");
}

TEST(SaveSettingsOnClose, UnreadableFileIsLeftAlone) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  TempDir dir;
  const std::string path = dir.file("zazozav.ini");
  writeFile(path, "[ZAzozav]\nOptions=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  EXPECT_EQ(saveSettingsOnClose(path.c_str(), defaults(), false), IniCannotRead);
  chmod(path.c_str(), 0600);
  EXPECT_EQ(readFile(path), "[ZAzozav]\nOptions=1\n");
}

TEST(SaveSettingsOnClose, PerUserDirectoryIsCreatedWhenSaving) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("cfg/deeper").c_str());
  SettingsLocation location;
  ASSERT_EQ(settingsLocation(pathsWith(dir.file("missing/"), nullptr), location), 0);
  ASSERT_TRUE(location.createDirectory);
  EXPECT_EQ(saveSettingsOnClose(location, defaults()), SaveSkipped);
  struct stat info;
  EXPECT_NE(stat(dir.file("cfg").c_str(), &info), 0) << "nothing to save, nothing created";

  ViewerSettings s = defaults();
  s.Options = 0;
  ASSERT_EQ(saveSettingsOnClose(location, s), SaveWritten);
  ASSERT_EQ(stat(dir.file("cfg/deeper/zazozav").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ViewerSettings back;
  ASSERT_EQ(readStartupSettings(location.path, back), IniOk);
  EXPECT_EQ(back.Options, 0);
}

}  // namespace
