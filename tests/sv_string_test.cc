#include "base/sv_string.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/bounded_copy.h"
#include "base/packed_records.h"

TEST(SVString, ReserveFollowsTheGrowthRule) {
  struct Case {
    int64_t request;
    int32_t capacity;
  };
  const Case cases[] = {{0, 5}, {1, 5}, {4, 9}, {1000, 1254}, {67108865, 83886085}};
  for (const Case& c : cases) {
    SVString s;
    ASSERT_EQ(s.reserve(c.request), 0);
    EXPECT_EQ(s.capacity(), c.capacity) << c.request;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.data()[0], 0);
  }
}

TEST(SVString, AppendKeepsTheTerminatorAndGrowsOnlyWhenNeeded) {
  SVString s;
  ASSERT_EQ(s.append("abc"), 0);
  const int32_t capacity = s.capacity();
  ASSERT_EQ(s.append("d", 1), 0);
  EXPECT_EQ(s.capacity(), capacity);
  EXPECT_STREQ(s.c_str(), "abcd");
  ASSERT_EQ(s.append(s), 0);
  EXPECT_STREQ(s.c_str(), "abcdabcd");
  EXPECT_EQ(s.append(nullptr, 5), 0);
  EXPECT_EQ(s.append("x", 0), 0);
  EXPECT_EQ(s.length(), 8);
}

TEST(SVString, AssignFormatAndLength) {
  SVString s;
  ASSERT_EQ(s.assign("hello"), 0);
  SVString empty;
  ASSERT_EQ(s.assign(empty), 0);
  EXPECT_EQ(s.length(), 0);
  ASSERT_EQ(s.format("Error %d formatting SQL", -3), 0);
  EXPECT_STREQ(s.c_str(), "Error -3 formatting SQL");
  EXPECT_EQ(s.length(), 23);
  s.data()[5] = 0;
  s.recomputeLength();
  EXPECT_EQ(s.length(), 5);
}

TEST(SVString, FailedGrowthReleasesTheString) {
  SVString s;
  ASSERT_EQ(s.append("abc"), 0);
  EXPECT_EQ(s.reserve(int64_t{1} << 40), -1);
  EXPECT_EQ(s.data(), nullptr);
  EXPECT_EQ(s.length(), 0);
  EXPECT_EQ(s.capacity(), 0);
  EXPECT_STREQ(s.c_str(), "");
}

TEST(BoundedCopy, KeepsAtMostCapacityMinusOneCharacters) {
  char buffer[4];
  EXPECT_EQ(boundedCopy(buffer, sizeof buffer, "abcdef"), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(boundedCopy(buffer, sizeof buffer, nullptr), 0u);
  EXPECT_STREQ(buffer, "");
  boundedCopy(buffer, sizeof buffer, "a");
  EXPECT_EQ(boundedAppend(buffer, sizeof buffer, "bcd"), 3u);
  EXPECT_STREQ(buffer, "abc");
}

TEST(PackedRecords, AppendZeroFillsAndKeepsEarlierRecords) {
  struct Record {
    int32_t a;
    char text[8];
  };
  PackedRecords<Record> list;
  for (int i = 0; i < 1000; ++i) {
    Record* r = list.append();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->a, 0);
    EXPECT_EQ(r->text[7], 0);
    r->a = i;
  }
  ASSERT_EQ(list.count(), 1000);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(list[i].a, i);
  list.reset();
  EXPECT_EQ(list.count(), 0);
}

// Growth must never disturb records already in the list, whatever the
// record size and wherever the capacity happens to end.
template <size_t kSize>
void expectRecordsSurviveGrowth() {
  struct Record {
    unsigned char bytes[kSize];
  };
  PackedRecords<Record> list;
  for (int i = 0; i < 3000; ++i) {
    Record* r = list.append();
    ASSERT_NE(r, nullptr);
    std::memset(r->bytes, 0xA5, kSize);
  }
  for (int i = 0; i < list.count(); ++i) {
    for (size_t b = 0; b < kSize; ++b) ASSERT_EQ(list[i].bytes[b], 0xA5) << "size " << kSize << " record " << i;
  }
}

TEST(PackedRecords, GrowthKeepsEveryByteOfEveryRecord) {
  expectRecordsSurviveGrowth<1>();
  expectRecordsSurviveGrowth<3>();
  expectRecordsSurviveGrowth<4>();
  expectRecordsSurviveGrowth<7>();
  expectRecordsSurviveGrowth<44>();
  expectRecordsSurviveGrowth<92>();
}
