#include "app/mem_ini_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/test_files.h"

namespace {

std::string listing(const SMemIniFile& file) {
  SVString out;
  EXPECT_EQ(file.listText(out), IniOk);
  return std::string(out.c_str(), static_cast<size_t>(out.length()));
}

void parseText(SMemIniFile& file, const std::string& text) {
  ASSERT_EQ(file.parse(text.data(), static_cast<int64_t>(text.size())), IniOk);
}

int countEntries(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

TEST(SMemIniFile, ReadsIntegersByTheValueRules) {
  struct Case {
    const char* value;
    int32_t expected;  // 99 is the fallback
  };
  const Case cases[] = {
      {"700", 700},        {"-1", -1},           {"+5", 5},
      {"0", 0},            {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},                {"2147483648", 99},
      {"-2147483649", 99}, {"99999999999999999999", 99},
      {"0x1F", 31},        {"0XfF", 255},        {"0xFFFFFFFF", -1},
      {"0x80000000", INT32_MIN},                 {"0x000000010", 16},
      {"0x100000000", 99}, {"0x", 99},           {"0xG", 99},
      {"-0x10", 99},       {"12abc", 99},        {"1 2", 99},
      {"", 99},            {"-", 99},            {"abc", 99},
      {" 42\t", 42},       {"4.5", 99},
  };
  for (const Case& c : cases) {
    SMemIniFile file;
    parseText(file, std::string("[S]\nk=") + c.value + "\n");
    EXPECT_EQ(file.readInteger("S", "k", 99), c.expected) << '"' << c.value << '"';
  }
}

TEST(SMemIniFile, SectionsAndKeysIgnoreCaseAndBlanks) {
  SMemIniFile file;
  parseText(file, "[zazozav]\n  options = 0 \n[ Other ]\nk=1\n");
  EXPECT_EQ(file.readInteger("ZAzozav", "Options", 6), 0);
  EXPECT_EQ(file.readInteger("OTHER", "K", 0), 1);
  EXPECT_EQ(file.readInteger("ZAzozav", "k", 7), 7);  // a key of another section
  EXPECT_EQ(file.readInteger("Missing", "k", 7), 7);
}

TEST(SMemIniFile, LinesThatAreNotKeysAreNotRead) {
  SMemIniFile file;
  parseText(file, "k=5\n[S]\n;k=1\n#k=2\n=3\n[broken\nk\n");
  EXPECT_EQ(file.readInteger("S", "k", 9), 9);
  EXPECT_EQ(file.readInteger("", "k", 9), 9);  // before the first section
}

TEST(SMemIniFile, FirstOfDuplicateKeysIsReadAndWritten) {
  SMemIniFile file;
  parseText(file, "[S]\nk=1\nk=2\n[s]\nk=3\n");
  EXPECT_EQ(file.readInteger("S", "k", 0), 1);
  ASSERT_EQ(file.writeInteger("S", "K", 10), IniOk);
  EXPECT_EQ(listing(file), "[S]\nK=10\nk=2\n[s]\nk=3\n");
}

TEST(SMemIniFile, WritingToAMissingSectionAddsItAtTheEnd) {
  SMemIniFile file;
  parseText(file, "; top\n[A]\na=1");
  ASSERT_EQ(file.writeInteger("B", "b", 2), IniOk);
  ASSERT_EQ(file.writeInteger("B", "c", -3), IniOk);
  ASSERT_EQ(file.writeInteger("A", "z", 4), IniOk);
  EXPECT_EQ(listing(file), "; top\n[A]\na=1\nz=4\n\n[B]\nb=2\nc=-3\n\n");
  EXPECT_EQ(file.lineCount(), 9);
}

TEST(SMemIniFile, EraseKeepsCommentsAndOtherSections) {
  SMemIniFile file;
  parseText(file, "; head\n\n[Z]\n; about Z\nk=1\n\n[Other]\no=2\n[z]\nk=3\n");
  file.eraseSection("Z");
  EXPECT_EQ(listing(file), "; head\n\n; about Z\n[Other]\no=2\n");
  EXPECT_EQ(file.readInteger("Z", "k", 0), 0);
  ASSERT_EQ(file.writeInteger("Z", "k", 5), IniOk);
  EXPECT_EQ(listing(file), "; head\n\n; about Z\n[Other]\no=2\n\n[Z]\nk=5\n\n");
}

TEST(SMemIniFile, RewritingTheLastSectionIsStable) {
  const std::string text = "[A]\na=1\n\n[Z]\nk=5\n\n";
  SMemIniFile file;
  parseText(file, text);
  file.eraseSection("Z");
  ASSERT_EQ(file.writeInteger("Z", "k", 5), IniOk);
  EXPECT_EQ(listing(file), text);
}

TEST(SMemIniFile, RefusesNamesThatWouldNotReadBack) {
  const char* sections[] = {"a]b", "a\nb", " a", "a "};
  const char* keys[] = {"", "a=b", "a\rb", "[a", ";a", "#a", " a", "a\t", "\xEF\xBB\xBFk"};
  SMemIniFile file;
  parseText(file, "[S]\nk=1\n");
  for (const char* s : sections) EXPECT_EQ(file.writeInteger(s, "k", 1), IniBadName) << s;
  for (const char* k : keys) EXPECT_EQ(file.writeInteger("S", k, 1), IniBadName) << k;
  EXPECT_EQ(listing(file), "[S]\nk=1\n");
}

TEST(SMemIniFile, LineEndsAndOddBytes) {
  struct Case {
    std::string input;
    std::string listed;
  };
  const Case cases[] = {
      {"[S]\r\nk=1\r\n", "[S]\r\nk=1\r\n"},
      {"[S]\rk=1\rj=2", "[S]\nk=1\nj=2\n"},
      {"[S]\nk=1\r\n", "[S]\nk=1\n"},
      {std::string("[S]\nk=1\0x\nj=2\n", 14), std::string("[S]\nk=1\0x\nj=2\n", 14)},
      {"\xEF\xBB\xBF[S]\nk=1\n", "\xEF\xBB\xBF[S]\nk=1\n"},
      {"", ""},
      {"\n\n", "\n\n"},
  };
  for (const Case& c : cases) {
    SMemIniFile file;
    parseText(file, c.input);
    EXPECT_EQ(listing(file), c.listed);
  }
  SMemIniFile file;
  parseText(file, std::string("[S]\r\nk=1\0x\r\nj=2\r\n\xEF\xBB\xBF", 21));
  EXPECT_EQ(file.readInteger("S", "j", 0), 2);
  EXPECT_EQ(file.readInteger("S", "k", 0), 0);  // "1\0x" is not an integer
  SMemIniFile bom;
  parseText(bom, "\xEF\xBB\xBF[S]\nk=1\n");
  EXPECT_EQ(bom.readInteger("S", "k", 0), 1);
  bom.eraseSection("S");
  EXPECT_EQ(listing(bom), "\xEF\xBB\xBF");
}

TEST(SMemIniFile, BinaryNoiseAndALongLine) {
  std::string noise;
  uint32_t x = 12345;
  for (int i = 0; i < 100000; ++i) {
    x = x * 1103515245 + 12345;
    noise.push_back(static_cast<char>(x >> 24));
  }
  SMemIniFile file;
  parseText(file, noise);
  // Line ends are normalised once; after that a listing reads back as itself.
  const std::string once = listing(file);
  SMemIniFile again;
  parseText(again, once);
  EXPECT_EQ(listing(again), once);
  ASSERT_EQ(file.writeInteger("ZAzozav", "Options", 0), IniOk);
  EXPECT_EQ(file.readInteger("ZAzozav", "Options", 6), 0);

  std::string longLine = "[S]\nk=" + std::string(10 * 1024 * 1024, '7') + "\nj=1\n";
  SMemIniFile big;
  parseText(big, longLine);
  EXPECT_EQ(big.readInteger("S", "k", -5), -5);
  EXPECT_EQ(big.readInteger("S", "j", 0), 1);
  EXPECT_EQ(listing(big), longLine);
}

TEST(SMemIniFile, OpenReportsWhatItFound) {
  TempDir dir;
  SMemIniFile file;
  EXPECT_EQ(file.open(dir.file("none.ini").c_str()), IniMissing);
  EXPECT_EQ(file.lineCount(), 0);
  EXPECT_EQ(file.open(dir.file("").c_str()), IniCannotRead);  // a directory
  writeFile(dir.file("plain"), "x");
  EXPECT_EQ(file.open((dir.file("plain") + "/a.ini").c_str()), IniMissing);
  EXPECT_EQ(file.update(), IniCannotWrite);  // its parent is a regular file
  EXPECT_EQ(file.open(""), IniNoPath);
  writeFile(dir.file("big.ini"), std::string(kMaxIniFileSize + 1, '\n'));
  EXPECT_EQ(file.open(dir.file("big.ini").c_str()), IniTooLarge);
  EXPECT_EQ(file.update(), IniTooLarge);
  EXPECT_EQ(readFile(dir.file("big.ini")).size(), size_t{kMaxIniFileSize + 1});
}

TEST(SMemIniFile, UnreadableFileIsNeverReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  TempDir dir;
  const std::string path = dir.file("a.ini");
  writeFile(path, "[S]\nk=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  SMemIniFile file;
  EXPECT_EQ(file.open(path.c_str()), IniCannotRead);
  ASSERT_EQ(file.writeInteger("S", "k", 2), IniOk);
  EXPECT_EQ(file.update(), IniCannotRead);
  chmod(path.c_str(), 0600);
  EXPECT_EQ(readFile(path), "[S]\nk=1\n");
}

TEST(SMemIniFile, UpdateReplacesTheFileAndKeepsItsMode) {
  TempDir dir;
  const std::string path = dir.file("a.ini");
  writeFile(path, "; mine\r\n[S]\r\nk=1\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  SMemIniFile file;
  ASSERT_EQ(file.open(path.c_str()), IniOk);
  ASSERT_EQ(file.writeInteger("S", "k", 2), IniOk);
  ASSERT_EQ(file.update(), IniOk);
  EXPECT_EQ(readFile(path), "; mine\r\n[S]\r\nk=2\r\n");
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(countEntries(dir.file("")), 1) << "no temporary file is left";
}

TEST(SMemIniFile, UpdateThroughASymbolicLinkReplacesItsTarget) {
  TempDir dir;
  writeFile(dir.file("real.ini"), "[S]\nk=1\n");
  ASSERT_EQ(symlink(dir.file("real.ini").c_str(), dir.file("link.ini").c_str()), 0);
  SMemIniFile file;
  ASSERT_EQ(file.open(dir.file("link.ini").c_str()), IniOk);
  ASSERT_EQ(file.writeInteger("S", "k", 3), IniOk);
  ASSERT_EQ(file.update(), IniOk);
  struct stat info;
  ASSERT_EQ(lstat(dir.file("link.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(readFile(dir.file("real.ini")), "[S]\nk=3\n");
}

TEST(SMemIniFile, ParsedFromMemoryHasNoFileToUpdate) {
  SMemIniFile file;
  parseText(file, "[S]\nk=1\n");
  EXPECT_EQ(file.update(), IniNoPath);
}

// Bytes the heap has handed out, small and mapped blocks alike.
int64_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

TEST(SMemIniFile, StringValuesReadBackAsWritten) {
  SMemIniFile file;
  parseText(file, "[Recent]\nFile1 =  /a b/c=d.trc \n");
  SVString value;
  ASSERT_TRUE(file.readString("recent", "file1", value));
  EXPECT_STREQ(value.c_str(), "/a b/c=d.trc");
  EXPECT_FALSE(file.readString("Recent", "File2", value));
  EXPECT_EQ(value.length(), 0);
  ASSERT_EQ(file.writeString("Recent", "File2", "/x;#[y]"), IniOk);
  ASSERT_EQ(file.writeString("Recent", "File1", ""), IniOk);
  EXPECT_EQ(listing(file), "[Recent]\nFile1=\nFile2=/x;#[y]\n");
  for (const char* bad : {" lead", "trail\t", "a\nb", "a\rb"}) {
    EXPECT_EQ(file.writeString("Recent", "File3", bad), IniBadValue) << bad;
  }
  EXPECT_EQ(file.writeString("Recent", "=", "x"), IniBadName);
  EXPECT_EQ(listing(file), "[Recent]\nFile1=\nFile2=/x;#[y]\n");
}

TEST(SMemIniFile, RunsOfVerbatimLinesListAndEraseLineByLine) {
  struct Case {
    std::string input;
    std::string listed;  // after erasing section S
    int32_t lines;       // listing lines before the erase
  };
  const Case cases[] = {
      {"; a\r\n\r\n[S]\r\n\r\n# c\r\nk=1\r\n\r\n", "; a\r\n\r\n# c\r\n", 7},
      {"x\ry\n\n[S]\n \n\t\n;z\n", "x\ny\n\n;z\n", 7},
      {"[T]\n\n\n[S]\n\n", "[T]\n\n\n", 5},
      {"\n\n\n", "\n\n\n", 3},
  };
  for (const Case& c : cases) {
    SMemIniFile file;
    parseText(file, c.input);
    EXPECT_EQ(file.lineCount(), c.lines) << c.input;
    file.eraseSection("S");
    EXPECT_EQ(listing(file), c.listed) << c.input;
  }
  // A new section after a run that ends in a blank line needs no other.
  SMemIniFile file;
  parseText(file, "[A]\na=1\n; note\n\n");
  ASSERT_EQ(file.writeInteger("B", "b", 2), IniOk);
  EXPECT_EQ(listing(file), "[A]\na=1\n; note\n\n[B]\nb=2\n\n");
}

TEST(SMemIniFile, ManyBlankLinesCostLittleMemory) {
  const std::string text = "[ZAzozav]\n" + std::string(kMaxIniFileSize - 20, '\n') + "Options=0\n";
  const int64_t before = heapInUse();
  SMemIniFile file;
  parseText(file, text);
  const int64_t used = heapInUse() - before;
  EXPECT_EQ(file.readInteger("ZAzozav", "Options", 6), 0);
  EXPECT_LT(used, 2 * static_cast<int64_t>(text.size())) << "bytes held for a file of blank lines";
}

TEST(SMemIniFile, NeverWritesAFileItWouldRefuseToRead) {
  TempDir dir;
  const std::string path = dir.file("a.ini");
  const std::string text = "; " + std::string(kMaxIniFileSize - 4, 'x') + "\n";
  writeFile(path, text);
  SMemIniFile file;
  ASSERT_EQ(file.open(path.c_str()), IniOk);
  ASSERT_EQ(file.writeInteger("ZAzozav", "Options", 0), IniOk);
  EXPECT_EQ(file.update(), IniTooLarge);
  EXPECT_EQ(readFile(path), text);
  EXPECT_EQ(countEntries(dir.path()), 1) << "no temporary file is left";
  ASSERT_EQ(file.open(path.c_str()), IniOk);
}

TEST(SMemIniFile, UpdateRemovesStaleTemporariesOfItsOwn) {
  TempDir dir;
  const std::string path = dir.file("zazozav.ini");
  writeFile(path, "[S]\nk=1\n");
  struct Leftover {
    const char* name;
    bool old;
    bool removed;
  };
  const Leftover leftovers[] = {
      {"zazozav.ini.tmp-a1B2c3", true, true},    {"zazozav.ini.tmp-Zz9999", false, false},
      {"zazozav.ini.tmp-a1B2c", true, false},    {"zazozav.ini.tmp-a1B2c3d", true, false},
      {"zazozav.ini.tmp-a1B.c3", true, false},   {"other.ini.tmp-a1B2c3", true, false},
      {"zazozav.ini.bak-a1B2c3", true, false},
  };
  for (const Leftover& l : leftovers) {
    writeFile(dir.file(l.name), "partial");
    if (!l.old) continue;
    const struct timeval times[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
    ASSERT_EQ(utimes(dir.file(l.name).c_str(), times), 0);
  }
  ASSERT_EQ(mkdir(dir.file("zazozav.ini.tmp-dir000").c_str(), 0700), 0);
  SMemIniFile file;
  ASSERT_EQ(file.open(path.c_str()), IniOk);
  ASSERT_EQ(file.writeInteger("S", "k", 2), IniOk);
  ASSERT_EQ(file.update(), IniOk);
  for (const Leftover& l : leftovers) {
    EXPECT_EQ(access(dir.file(l.name).c_str(), F_OK) != 0, l.removed) << l.name;
  }
  EXPECT_EQ(access(dir.file("zazozav.ini.tmp-dir000").c_str(), F_OK), 0);
  EXPECT_EQ(readFile(path), "[S]\nk=2\n");
}

}  // namespace
