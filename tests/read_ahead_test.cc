// The trace read ahead gives what a read at the time of opening would
// have, for the path it was started on and only once.
#include "app/read_ahead.h"

#include <gtest/gtest.h>

#include <string>

#include "app/trace_file.h"
#include "tests/test_files.h"

namespace {

TEST(ReadAhead, TakenOnceForItsPathAsLoadFromFileGivesIt) {
  TempDir dir;
  const std::string bytes("a\r\nb\0c\xff\n", 8);
  writeFile(dir.file("t.trc"), bytes);
  const struct {
    std::string path;
    int result;
  } cases[] = {
      {dir.file("t.trc"), LoadOk},
      {dir.file("missing.trc"), LoadCannotOpen},
      {dir.path(), LoadCannotOpen},  // a directory is refused, not read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ReadAhead ahead;
    ahead.start(c.path.c_str());
    SVString text;
    int result = 1;
    // Another path is not served: the caller reads it itself.
    EXPECT_FALSE(ahead.take((c.path + "x").c_str(), text, result));
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(ahead.take(c.path.c_str(), text, result));
    EXPECT_EQ(result, c.result);
    if (c.result == LoadOk) {
      ASSERT_EQ(text.length(), 8);
      EXPECT_EQ(std::string(text.data(), 8), bytes);
      EXPECT_EQ(text.data()[8], 0);
    }
    // Taken once: a reload reads the file as it is then.
    EXPECT_FALSE(ahead.take(c.path.c_str(), text, result));
  }
}

TEST(ReadAhead, NotTakenIsWaitedForAndFreed) {
  TempDir dir;
  writeFile(dir.file("t.trc"), "some text\n");
  ReadAhead ahead;
  ahead.start(dir.file("t.trc").c_str());
  ahead.start(dir.file("t.trc").c_str());  // the first read's bytes are dropped
  SVString text;
  int result = 1;
  ASSERT_TRUE(ahead.take(dir.file("t.trc").c_str(), text, result));
  EXPECT_EQ(result, LoadOk);
  ahead.start(dir.file("t.trc").c_str());  // never taken: the sanitizer run checks it is freed
}

}  // namespace
