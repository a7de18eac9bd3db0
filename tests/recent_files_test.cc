#include "app/recent_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mem_ini_file.h"

namespace {

std::vector<std::string> entries(const RecentFiles& list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.count; ++i) out.emplace_back(list.paths[i].c_str());
  return out;
}

std::string listing(const SMemIniFile& file) {
  SVString out;
  EXPECT_EQ(file.listText(out), IniOk);
  return out.c_str();
}

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostTen) {
  RecentFiles list;
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(addRecentFile(list, ("/t/" + std::to_string(i)).c_str()), 0);
  EXPECT_EQ(list.count, kRecentFileLimit);
  EXPECT_EQ(entries(list).front(), "/t/12");
  EXPECT_EQ(entries(list).back(), "/t/3");
  // Opening one again moves it up without dropping another.
  EXPECT_EQ(addRecentFile(list, "/t/5"), 0);
  EXPECT_EQ(list.count, kRecentFileLimit);
  const std::vector<std::string> moved = entries(list);
  EXPECT_EQ((std::vector<std::string>(moved.begin(), moved.begin() + 3)),
            (std::vector<std::string>{"/t/5", "/t/12", "/t/11"}));
  EXPECT_EQ(moved.back(), "/t/3");
  removeRecentFile(list, "/t/12");
  removeRecentFile(list, "/t/none");
  EXPECT_EQ(list.count, kRecentFileLimit - 1);
  EXPECT_EQ(entries(list)[1], "/t/11");
  EXPECT_EQ(list.paths[kRecentFileLimit - 1].length(), 0);
  for (const char* bad : {"", " /lead", "/trail ", "/a\nb", "/a\rb"}) {
    EXPECT_EQ(addRecentFile(list, bad), -1) << bad;
  }
  // Bytes taken whole from a path: a zero byte inside is not cut off.
  for (const std::string& bad : {std::string("/a\0b.trc", 8), std::string("/a.trc\0", 7), std::string("\0", 1)}) {
    EXPECT_EQ(addRecentFile(list, bad.c_str(), bad.size()), -1);
  }
  EXPECT_EQ(addRecentFile(list, "/t/4", 4), 0);
  EXPECT_EQ(entries(list).front(), "/t/4");
  EXPECT_EQ(list.count, kRecentFileLimit - 1);
  clearRecentFiles(list);
  EXPECT_EQ(list.count, 0);
}

TEST(RecentFiles, ReadAndWrittenInTheirOwnSection) {
  SMemIniFile file;
  const std::string text =
      "[ZAzozav]\nOptions=0\n\n[Recent Files]\nFile2=/b.trc\nFile1=/a b.trc\nFile3=/a b.trc\n"
      "File11=/eleven\nFile4=\nfile5=/e=1.trc\n";
  ASSERT_EQ(file.parse(text.data(), static_cast<int64_t>(text.size())), IniOk);
  RecentFiles list;
  readRecentFiles(list, file, kRecentFilesSection);
  EXPECT_EQ(entries(list), (std::vector<std::string>{"/a b.trc", "/b.trc", "/e=1.trc"}));
  ASSERT_EQ(writeRecentFiles(list, file, kRecentFilesSection), IniOk);
  EXPECT_EQ(listing(file),
            "[ZAzozav]\nOptions=0\n\n[Recent Files]\nFile1=/a b.trc\nFile2=/b.trc\nFile3=/e=1.trc\n\n");
  clearRecentFiles(list);
  ASSERT_EQ(writeRecentFiles(list, file, kRecentFilesSection), IniOk);
  EXPECT_EQ(listing(file), "[ZAzozav]\nOptions=0\n\n");
}

}  // namespace
