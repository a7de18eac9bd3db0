#include "facts/list_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string describe(const char* text, const ListLine& l) {
  auto span = [&](TextSpan s) { return s.present() ? "[" + std::string(text + s.offset, s.length) + "]" : "-"; };
  return std::to_string(static_cast<int>(l.kind)) + " " + std::to_string(l.begin) + "-" + std::to_string(l.end) +
         " next " + std::to_string(l.next) + " " + span(l.name) + " " + span(l.value);
}

// The fast split (64 bytes at a time) and the bytewise one agree.
void expectBothAgree(const std::string& line) {
  const std::string text = line + std::string(80, 'x');
  ListLine fast;
  ListLine slow;
  const int32_t limit = static_cast<int32_t>(text.size());
  splitListLine(text.c_str(), 0, limit, fast);
  splitListLineBytewise(text.c_str(), 0, limit, slow);
  EXPECT_EQ(describe(text.c_str(), fast), describe(text.c_str(), slow)) << line;
}

struct SplitCase {
  std::string line;
  ListLineKind kind;
  std::string name;
  std::string value;
};

TEST(ListLines, SplitsParametersAndFixControls) {
  const std::vector<SplitCase> cases = {
      {"optimizer_mode                      = all_rows\n", ListLineKind::kParameter, "optimizer_mode", "all_rows"},
      {"_pga_max_size = 409600 KB   \r\n", ListLineKind::kParameter, "_pga_max_size", "409600 KB"},
      {"cpu_count=8\n", ListLineKind::kParameter, "cpu_count", "8"},
      {"empty_value =\n", ListLineKind::kParameter, "empty_value", ""},
      {"    fix  3834770 = 1       \n", ListLineKind::kFixControl, "3834770", "1"},
      {"fix 9=enabled\n", ListLineKind::kFixControl, "9", "enabled"},
      {"fix = 1\n", ListLineKind::kParameter, "fix", "1"},
      {"fix abc = 1\n", ListLineKind::kOther, "", ""},
      {"Column Usage Monitoring is ON: tracking level = 1\n", ListLineKind::kOther, "", ""},
      {"= value\n", ListLineKind::kOther, "", ""},
      {"*** 2021-03-15T09:41:07.118204+01:00\n", ListLineKind::kOther, "", ""},
      {"   \t \n", ListLineKind::kBlank, "", ""},
      {"\n", ListLineKind::kBlank, "", ""},
      {"cut = at a lone\rcarriage return\n", ListLineKind::kParameter, "cut", "at a lone"},
  };
  for (const SplitCase& c : cases) {
    expectBothAgree(c.line);
    const std::string text = c.line + std::string(80, ' ');
    ListLine l;
    splitListLine(text.c_str(), 0, static_cast<int32_t>(text.size()), l);
    EXPECT_EQ(l.kind, c.kind) << c.line;
    if (c.kind == ListLineKind::kParameter || c.kind == ListLineKind::kFixControl) {
      EXPECT_EQ(std::string(text.c_str() + l.name.offset, l.name.length), c.name) << c.line;
      EXPECT_EQ(std::string(text.c_str() + l.value.offset, l.value.length), c.value) << c.line;
    }
    EXPECT_EQ(l.next, static_cast<int32_t>(c.line.size())) << c.line;
  }
}

TEST(ListLines, FastAndBytewiseAgreeOnRandomLines) {
  std::mt19937 random(7);
  const std::string alphabet = "fix 0123456789=_aZ\t\r\n*.#$ ";
  for (int i = 0; i < 20000; ++i) {
    std::string line;
    const int n = static_cast<int>(random() % 70);
    for (int k = 0; k < n; ++k) line += alphabet[random() % alphabet.size()];
    expectBothAgree(line);
  }
}

TEST(ListLines, CountsLineFeeds) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += (i % 3 ? "abc\n" : "\n\n");
  EXPECT_EQ(lineFeedsBetween(text.c_str(), 0, static_cast<int32_t>(text.size())),
            static_cast<int32_t>(std::count(text.begin(), text.end(), '\n')));
  EXPECT_EQ(lineFeedsBetween(text.c_str(), 1, 7), static_cast<int32_t>(std::count(text.begin() + 1, text.begin() + 7, '\n')));
}

}  // namespace
