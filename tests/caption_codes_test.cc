#include "outline/caption_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A segment written as "text/style/colour" so whole cuts compare at once.
std::vector<std::string> cut(const char* caption) {
  std::vector<std::string> out;
  CaptionCursor cursor;
  captionCursorInit(cursor, caption, static_cast<int32_t>(std::strlen(caption)));
  CaptionSegment s;
  while (nextCaptionSegment(cursor, s)) {
    out.push_back(std::string(caption + s.start, s.length) + "/" + std::to_string(s.style) + "/" +
                  std::to_string(s.colour));
  }
  return out;
}

struct CutCase {
  const char* caption;
  std::vector<std::string> segments;
};

class CaptionCutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CaptionCutTest, CutsIntoStyledRuns) {
  EXPECT_EQ(cut(GetParam().caption), GetParam().segments) << GetParam().caption;
}

INSTANTIATE_TEST_SUITE_P(
    Captions, CaptionCutTest,
    testing::Values(
        // A root: bold, colour left to the line.
        CutCase{"#10#Marrow trace", {"Marrow trace/1/0"}},
        // The code sets navy even in a first line.
        CutCase{"#02#SEL$1", {"SEL$1/0/2"}},
        // Leading blanks keep the line's look; the rest is plain black.
        CutCase{"  #01#sql_id=abc", {"  /-1/0", "sql_id=abc/0/1"}},
        // Marks after a join order.
        CutCase{"Join Order [2]: #07#- aborted", {"Join Order [2]: /-1/0", "- aborted/0/7"}},
        CutCase{"Join Order [3] #04#- best #07#- aborted",
                {"Join Order [3] /-1/0", "- best /0/4", "- aborted/0/7"}},
        // Not codes: a digit out of range, too short, cut off at the end.
        CutCase{"#8#", {"#8#/-1/0"}},
        CutCase{"#18#", {"#18#/-1/0"}},
        CutCase{"a#12", {"a#12/-1/0"}},
        CutCase{"#1x#y", {"#1x#y/-1/0"}},
        // A code as the last four bytes changes nothing and is not drawn.
        CutCase{"abc#17#", {"abc/-1/0"}},
        CutCase{"#17#", {}},
        // The first '#' is text, the code follows it.
        CutCase{"##12#x", {"#/-1/0", "x/1/2"}},
        // Colour digit 0 keeps the colour of an earlier code; styles replace.
        CutCase{"#35#a#20#b#00#c", {"a/3/5", "b/2/5", "c/0/5"}},
        // Codes back to back: only the last look reaches the text.
        CutCase{"#10##03#x", {"x/0/3"}},
        CutCase{"", {}}));

TEST(CaptionCodes, IsCodeChecksEveryByte) {
  EXPECT_TRUE(isCaptionCode("#00#"));
  EXPECT_TRUE(isCaptionCode("#77#"));
  EXPECT_FALSE(isCaptionCode("#78#"));
  EXPECT_FALSE(isCaptionCode("#/0#"));
  EXPECT_FALSE(isCaptionCode("x00#"));
  EXPECT_FALSE(isCaptionCode("#00x"));
}

TEST(CaptionCodes, CursorStopsAtTheGivenLength) {
  // The bytes after `length` must never be looked at, even if they would
  // complete a code.
  const char text[] = "ab#1" "2#cd";
  CaptionCursor cursor;
  captionCursorInit(cursor, text, 4);
  CaptionSegment s;
  ASSERT_TRUE(nextCaptionSegment(cursor, s));
  EXPECT_EQ(s.start, 0);
  EXPECT_EQ(s.length, 4);
  EXPECT_FALSE(nextCaptionSegment(cursor, s));
}

TEST(CaptionCodes, NullTextHasNoSegments) {
  CaptionCursor cursor;
  captionCursorInit(cursor, nullptr, 10);
  CaptionSegment s;
  EXPECT_FALSE(nextCaptionSegment(cursor, s));
}

TEST(CaptionCodes, PlainTextDropsCodesAndBoundsTheCopy) {
  char out[8];
  const char* caption = "#10#Marrow trace";
  EXPECT_EQ(captionPlainText(caption, 16, out, sizeof out), 12);
  EXPECT_STREQ(out, "Marrow ");
  char wide[32];
  EXPECT_EQ(captionPlainText("a #07#- aborted", 15, wide, sizeof wide), 11);
  EXPECT_STREQ(wide, "a - aborted");
}

TEST(CaptionCodes, ColourTable) {
  EXPECT_EQ(captionColours[2].blue, 128);
  EXPECT_EQ(captionColours[3].red, 128);
  EXPECT_EQ(captionColours[3].blue, 128);
  EXPECT_EQ(captionColours[4].green, 128);
  EXPECT_EQ(captionColours[7].red, 255);
  EXPECT_EQ(captionColours[7].green, 0);
}

}  // namespace
