#include "app/trace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/test_files.h"

namespace {

TEST(LoadFromFile, KeepsTheBytesUnchanged) {
  TempDir dir;
  const std::string bytes("a\r\nb\rc\0d\xff\n", 10);
  writeFile(dir.file("t.trc"), bytes);
  SVString text;
  ASSERT_EQ(loadFromFile(text, dir.file("t.trc").c_str()), LoadOk);
  ASSERT_EQ(text.length(), 10);
  EXPECT_EQ(std::string(text.data(), 10), bytes);
  EXPECT_EQ(text.data()[10], 0);
}

TEST(LoadFromFile, EmptyFileIsAnEmptyText) {
  TempDir dir;
  writeFile(dir.file("empty.trc"), "");
  SVString text;
  ASSERT_EQ(loadFromFile(text, dir.file("empty.trc").c_str()), LoadOk);
  EXPECT_EQ(text.length(), 0);
  ASSERT_NE(text.data(), nullptr);
  EXPECT_EQ(text.data()[0], 0);
}

TEST(LoadFromFile, SizeLimitIsSixtyFourMebibytes) {
  TempDir dir;
  for (int64_t size : {maxTraceFileSize, maxTraceFileSize + 1}) {
    const std::string path = dir.file("big.trc");
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);  // sparse: no disk needed
    ::close(fd);
    SVString text;
    EXPECT_EQ(loadFromFile(text, path.c_str()), size > maxTraceFileSize ? LoadTooLarge : LoadOk) << size;
    if (size == maxTraceFileSize) {
      EXPECT_EQ(text.length(), maxTraceFileSize);
    }
  }
}

TEST(LoadFromFile, WhatCannotBeReadGivesCannotOpen) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
  const std::string cases[] = {dir.file("missing.trc"), dir.path(), dir.file("fifo"), "/dev/zero", ""};
  for (const std::string& path : cases) {
    SVString text;
    EXPECT_EQ(loadFromFile(text, path.c_str()), LoadCannotOpen) << path;
  }
}

TEST(LoadFromFile, UnreadableFileGivesCannotOpen) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  writeFile(dir.file("secret.trc"), "x");
  ::chmod(dir.file("secret.trc").c_str(), 0);
  SVString text;
  EXPECT_EQ(loadFromFile(text, dir.file("secret.trc").c_str()), LoadCannotOpen);
}

TEST(LoadMessages, NameThePath) {
  struct Case {
    int code;
    const char* expected;
  };
  const Case cases[] = {{LoadCannotOpen, "Cannot open file /t/a.trc"},
                        {LoadTooLarge, "File /t/a.trc is too large"},
                        {LoadNoMemory, "Cannot allocate memory for the file"},
                        {LoadOk, ""}};
  for (const Case& c : cases) {
    char message[kMessageBufferSize];
    loadErrorMessage(c.code, "/t/a.trc", message, sizeof message);
    EXPECT_STREQ(message, c.expected);
  }
  const std::string longPath(600, 'p');
  char message[kMessageBufferSize];
  loadErrorMessage(LoadTooLarge, longPath.c_str(), message, sizeof message);
  EXPECT_EQ(std::string(message).size(), 511u);
}

TEST(Caption, IsTheProductNameAndTheFileName) {
  struct Case {
    const char* path;
    const char* caption;
  };
  const Case cases[] = {{"/d/t/orcl_ora_1.trc", "Marrow Viewer - orcl_ora_1.trc"},
                        {"/d/t/trace", "Marrow Viewer - trace"},
                        {"relative.v2.trc", "Marrow Viewer - relative.v2.trc"},
                        {"/d/.hidden", "Marrow Viewer - .hidden"}};
  for (const Case& c : cases) {
    char name[260];
    char extension[260];
    splitFileName(c.path, name, extension);
    char caption[512];
    captionFor(name, extension, caption, sizeof caption);
    EXPECT_STREQ(caption, c.caption);
  }
  char name[260];
  char extension[260];
  splitFileName("/d/orcl_ora_1.trc", name, extension);
  EXPECT_STREQ(name, "orcl_ora_1");
  EXPECT_STREQ(extension, ".trc");
}

}  // namespace
