#include "app/viewer_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "app/mem_ini_file.h"

namespace {

ViewerSettings defaults() {
  ViewerSettings s;
  applySettingDefaults(s);
  return s;
}

ViewerSettings readFrom(const std::string& text) {
  SMemIniFile file;
  EXPECT_EQ(file.parse(text.data(), static_cast<int64_t>(text.size())), IniOk);
  ViewerSettings s = defaults();
  readSettings(s, file, "ZAzozav");
  return s;
}

std::string written(const ViewerSettings& s, const std::string& before = "") {
  SMemIniFile file;
  EXPECT_EQ(file.parse(before.data(), static_cast<int64_t>(before.size())), IniOk);
  EXPECT_EQ(writeSettings(s, file, "ZAzozav"), IniOk);
  SVString out;
  EXPECT_EQ(file.listText(out), IniOk);
  return out.c_str();
}

TEST(ViewerSettings, DescriptorTableInFieldOrder) {
  const char* keys[] = {"Top", "Left", "Height", "Width", "SplitterPos", "FontSize", "Options"};
  const int32_t defaultsInOrder[] = {NotSet, NotSet, NotSet, NotSet, NotSet, -1, 6};
  ViewerSettings s = defaults();
  ASSERT_EQ(s.descriptorCount, 7);
  const int32_t* fields = &s.Top;
  for (int i = 0; i < 7; ++i) {
    EXPECT_STREQ(s.descriptors[i].key, keys[i]);
    EXPECT_EQ(s.descriptors[i].kind, SettingInt32);
    EXPECT_EQ(s.descriptors[i].defaultValue, defaultsInOrder[i]);
    EXPECT_EQ(&(s.*s.descriptors[i].field), fields + i) << keys[i];
    EXPECT_EQ(fields[i], defaultsInOrder[i]);
  }
}

TEST(ViewerSettings, ReadKeepsDefaultsForWhatIsNotThere) {
  const ViewerSettings options = readFrom("[ZAzozav]\nOptions=0\n");
  EXPECT_FALSE(hasOption(options, OptWrapText));
  EXPECT_FALSE(hasOption(options, OptReadOnly));
  EXPECT_FALSE(hasOption(options, OptFormatFinalQuery));
  EXPECT_EQ(options.FontSize, -1);
  EXPECT_EQ(options.Width, NotSet);

  const ViewerSettings odd = readFrom(
      "[ZAzozav]\noptions=0x0D\nTop=100\nWidth=-2147483648\nHeight=abc\nFontSize=13\n"
      "[Other]\nLeft=5\n");
  EXPECT_EQ(odd.Options, 13);  // unknown bit 8 is kept
  EXPECT_EQ(odd.Top, 100);
  EXPECT_EQ(odd.Left, NotSet);
  EXPECT_EQ(odd.Width, NotSet);
  EXPECT_EQ(odd.Height, NotSet);
  EXPECT_EQ(odd.FontSize, 13);
}

TEST(ViewerSettings, WriteStoresOnlyWhatDiffersInTableOrder) {
  EXPECT_EQ(written(defaults()), "");
  ViewerSettings s = defaults();
  s.Options = 0;
  s.Height = 700;
  s.Top = 100;
  EXPECT_EQ(written(s), "[ZAzozav]\nTop=100\nHeight=700\nOptions=0\n\n");
  EXPECT_EQ(written(defaults(), "[zazozav]\nWidth=9\n[A]\na=1\n"), "[A]\na=1\n");
  EXPECT_EQ(written(s, "[ZAzozav]\nWidth=9\n\n[A]\na=1\n"),
            "[A]\na=1\n\n[ZAzozav]\nTop=100\nHeight=700\nOptions=0\n\n");
}

TEST(ViewerSettings, WindowSize) {
  struct Case {
    int32_t width, height, storedWidth, storedHeight;
  };
  const Case cases[] = {
      {1194, 700, NotSet, 700}, {1194, 806, NotSet, NotSet}, {1000, 806, 1000, NotSet},
      {800, 600, 800, 600},
  };
  for (const Case& c : cases) {
    ViewerSettings s = defaults();
    storeWindowSize(s, c.width, c.height);
    EXPECT_EQ(s.Width, c.storedWidth);
    EXPECT_EQ(s.Height, c.storedHeight);
    EXPECT_EQ(windowWidthFor(s), c.width);
    EXPECT_EQ(windowHeightFor(s), c.height);
  }
  ViewerSettings bad = defaults();
  bad.Width = 0;
  bad.Height = -40;
  EXPECT_EQ(windowWidthFor(bad), 1194);
  EXPECT_EQ(windowHeightFor(bad), 806);
}

TEST(ViewerSettings, SplitterAndTreeWidth) {
  struct Case {
    int32_t width, stored;
  };
  const Case cases[] = {{250, NotSet}, {0, 1}, {300, 300}, {1, 1}, {251, 251}};
  for (const Case& c : cases) {
    ViewerSettings s = defaults();
    s.SplitterPos = 77;
    storeSplitterPos(s, c.width);
    EXPECT_EQ(s.SplitterPos, c.stored) << c.width;
  }
  ViewerSettings s = defaults();
  EXPECT_EQ(defaultTreeWidth(96), 250);
  EXPECT_EQ(defaultTreeWidth(144), 375);
  EXPECT_EQ(treeWidthFor(s, 96), 250);
  EXPECT_EQ(treeWidthFor(s, 192), 500);
  s.SplitterPos = 300;
  EXPECT_EQ(treeWidthFor(s, 96), 300);
  s.SplitterPos = -7;
  EXPECT_EQ(treeWidthFor(s, 96), 250);
}

TEST(ViewerSettings, FontStepsRunBothWays) {
  struct Case {
    int32_t start;
    int direction;
    int32_t steps[6];
  };
  const Case cases[] = {
      {13, +1, {15, 17, 19, 21, 23, 25}},
      {10, +1, {11, 12, 13, 15, 17, 19}},
      {17, -1, {15, 13, 12, 11, 10, 10}},
      {14, -1, {12, 11, 10, 10, 10, 10}},
      {7, -1, {7, 7, 7, 7, 7, 7}},
      {INT32_MAX - 3, +1, {INT32_MAX - 1, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}},
  };
  for (const Case& c : cases) {
    int32_t h = c.start;
    for (int32_t expected : c.steps) {
      h = stepFontHeight(h, c.direction);
      EXPECT_EQ(h, expected) << "from " << c.start;
    }
  }
  EXPECT_EQ(stepFontHeight(20, 0), 20);
}

TEST(ViewerSettings, FontSizeIsStoredOnlyAwayFromTheDefault) {
  EXPECT_EQ(defaultFontHeight(96), 13);
  EXPECT_EQ(defaultFontHeight(72), 10);
  ViewerSettings s = defaults();
  EXPECT_EQ(fontHeightFor(s, 96), 13);
  EXPECT_EQ(stepFont(s, 96, +1), 15);
  EXPECT_EQ(s.FontSize, 15);
  EXPECT_EQ(stepFont(s, 96, -1), 13);
  EXPECT_EQ(s.FontSize, -1);

  s.FontSize = 13;  // stored explicitly: kept until the font is stepped
  EXPECT_EQ(fontHeightFor(s, 96), 13);
  stepFont(s, 96, +1);
  stepFont(s, 96, -1);
  EXPECT_EQ(s.FontSize, -1);

  s.FontSize = 10;
  EXPECT_EQ(stepFont(s, 96, -1), 10);
  EXPECT_EQ(s.FontSize, 10);

  s.FontSize = 0;  // no font is 0 pixels high
  EXPECT_EQ(fontHeightFor(s, 96), 13);
}

TEST(ViewerSettings, StoredValuesAreClampedToWhatTheScreenCanShow) {
  struct Case {
    int32_t width, height, splitter, font;  // as stored
    int32_t expectedWidth, expectedHeight, expectedSplitter, expectedFont;
  };
  const Case cases[] = {
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 1270, 770, 1270, kMaxFontHeight},
      {NotSet, NotSet, NotSet, -1, NotSet, NotSet, NotSet, -1},
      {1000, 700, 300, 20, 1000, 700, 300, 20},
      {5, 5, 0, 1, kMinWindowWidth, kMinWindowHeight, 0, 1},
      {-4, 0, -7, 0, -4, 0, -7, 0},
      {1194, 900, 1300, 300, NotSet, 770, 1270, kMaxFontHeight},
  };
  for (const Case& c : cases) {
    ViewerSettings s = defaults();
    s.Width = c.width;
    s.Height = c.height;
    s.SplitterPos = c.splitter;
    s.FontSize = c.font;
    s.Options = 0x41;
    s.Top = INT32_MAX;
    clampSettings(s, 1270, 770);
    EXPECT_EQ(s.Width, c.expectedWidth) << c.width;
    EXPECT_EQ(s.Height, c.expectedHeight) << c.height;
    EXPECT_EQ(s.SplitterPos, c.expectedSplitter) << c.splitter;
    EXPECT_EQ(s.FontSize, c.expectedFont) << c.font;
    EXPECT_EQ(s.Options, 0x41);
    EXPECT_EQ(s.Top, INT32_MAX);
  }
  // A screen narrower than the smallest window: the screen wins.
  ViewerSettings s = defaults();
  s.Width = 1000;
  clampSettings(s, 300, 200);
  EXPECT_EQ(s.Width, 300);
}

TEST(ViewerSettings, FontHeightStopsAtTheLargestUsable) {
  ViewerSettings s = defaults();
  s.FontSize = INT32_MAX;
  EXPECT_EQ(fontHeightFor(s, 96), kMaxFontHeight);
  EXPECT_EQ(stepFont(s, 96, +1), kMaxFontHeight);
  EXPECT_EQ(s.FontSize, kMaxFontHeight);
  EXPECT_EQ(stepFont(s, 96, -1), kMaxFontHeight - 2);
}

TEST(ViewerSettings, OptionBits) {
  ViewerSettings s = defaults();
  s.Options |= 64;
  setOption(s, OptWrapText, true);
  setOption(s, OptReadOnly, false);
  EXPECT_EQ(s.Options, 64 | OptWrapText | OptFormatFinalQuery);
  EXPECT_TRUE(hasOption(s, OptWrapText));
  EXPECT_FALSE(hasOption(s, OptReadOnly));
}

}  // namespace
