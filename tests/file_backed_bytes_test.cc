#include "app/file_backed_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_files.h"

namespace {

// Three and a half blocks of bytes that differ from block to block.
std::string fileBytes() {
  std::string bytes(3 * (1 << 20) + (1 << 19), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
  return bytes;
}

// Released from a point inside the first page, the bytes come back block
// by block, each checked; a file changed or cut after the release fails
// at the first block it no longer holds, and the blocks before it stay
// good. A file removed reads as it was, through the descriptor opened at
// the start, and so does one grown after the bytes; one that could not be
// opened fails at the first block.
TEST(FileBackedBytes, RefillsWhatTheFileStillHolds) {
  const std::string original = fileBytes();
  const int64_t length = static_cast<int64_t>(original.size());
  const int64_t from = 1000;
  const int64_t block = 1 << 20;
  struct Case {
    const char* name;
    int64_t changedAt;  // -1: the file stays as it was
    bool cut;
    bool removed;
    bool missing;  // gone before the bytes were backed by it
    bool appended = false;  // grown after them, as a trace still being written
  };
  for (const Case& c : {Case{"unchanged", -1, false, false, false},
                        Case{"a byte changed", from + 2 * block + 5, false, false, false},
                        Case{"cut short", from + 3 * block, true, false, false}, Case{"removed", -1, false, true, false},
                        Case{"missing", -1, false, false, true}, Case{"appended", -1, false, false, false, true}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("t.trc");
    writeFile(path, original);
    std::vector<char> bytes(original.begin(), original.end());
    if (c.missing) {
      ASSERT_EQ(std::remove(path.c_str()), 0);
    }
    FileBackedBytes backed(path.c_str(), bytes.data(), length);
    EXPECT_TRUE(backed.refill(length));  // nothing released: nothing to read
    backed.release(from);
    backed.release(0);  // only the first release counts
    EXPECT_EQ(backed.readableTo(), from);
    std::string changed = original;
    if (c.changedAt >= 0) changed[static_cast<size_t>(c.changedAt)] ^= 1;
    if (c.cut) changed.resize(static_cast<size_t>(c.changedAt));
    if (c.appended) changed += "*** 2026-12-10T23:59:59.000000+00:00\nmore\n";
    if (c.removed) {
      ASSERT_EQ(std::remove(path.c_str()), 0);
    } else if (!c.missing) {
      writeFile(path, changed);
    }
    const bool good = c.changedAt < 0 && !c.missing;
    EXPECT_EQ(backed.refill(from + 1), !c.missing);
    EXPECT_EQ(backed.refill(length), good);
    const int64_t goodTo = good ? length : c.missing ? from : from + (c.changedAt - from) / block * block;
    EXPECT_EQ(backed.readableTo(), goodTo);
    EXPECT_EQ(std::string(bytes.data(), static_cast<size_t>(goodTo)), original.substr(0, static_cast<size_t>(goodTo)));
    EXPECT_EQ(backed.refill(length), good);  // a failure stays
  }
}

TEST(ByteChecksum, EveryByteAndTheLengthCount) {
  // Shorter than the four lanes, and long enough for them and a tail.
  for (const std::string& bytes : {std::string("0123456789abcdefX"), std::string(101, 'q')}) {
    const uint64_t sum = byteChecksum(bytes.data(), static_cast<int64_t>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
      std::string changed = bytes;
      changed[i] ^= 0x20;
      EXPECT_NE(byteChecksum(changed.data(), static_cast<int64_t>(changed.size())), sum) << i;
    }
    EXPECT_NE(byteChecksum(bytes.data(), static_cast<int64_t>(bytes.size()) - 1), sum);
  }
  EXPECT_NE(byteChecksum("\0", 1), byteChecksum("", 0));
}

}  // namespace
