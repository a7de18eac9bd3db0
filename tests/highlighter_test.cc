// The highlighter protocol: lines as bytes, the carried mode, token texts.
#include "trace/highlighter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace/trace_highlighter.h"

namespace {

struct Token {
  int32_t start;
  std::string text;
  int32_t kind;
  bool operator==(const Token&) const = default;
};

// Runs the editor's side of the protocol over one line.
std::vector<Token> lineTokens(THi0& h, const std::string& line) {
  std::vector<Token> tokens;
  h.beginLine(line.data(), static_cast<int32_t>(line.size()), 0);
  while (!h.isLineEnd()) {
    tokens.push_back({h.currentTokenStart(), std::string(h.currentTokenText()), h.currentTokenKind()});
    h.advance();
  }
  return tokens;
}

TEST(THi0, EmptyLineEndsAtOnce) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  h.beginLine("", 0, 0);
  EXPECT_TRUE(h.isLineEnd());
  EXPECT_EQ(h.currentTokenAttribute(), nullptr);
  h.beginLine(nullptr, 5, 0);  // a missing buffer is an empty line, never a read
  EXPECT_TRUE(h.isLineEnd());
}

TEST(THi0, NonAsciiBytesStayInsideTheirWord) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  // "naïve_x" in UTF-8, then a two-byte and a four-byte character alone.
  const std::string line = "a na\xC3\xAFve_x \xC3\xA9 \xF0\x9F\x98\x80z.";
  const std::vector<Token> expected = {
      {0, "a", tkText},
      {1, " ", tkSpace},
      {2, "na\xC3\xAFve_x", tkText},
      {10, " ", tkSpace},
      {11, "\xC3\xA9", tkText},
      {13, " ", tkSpace},
      {14, "\xF0\x9F\x98\x80z", tkText},
      {19, ".", tkText},
  };
  EXPECT_EQ(lineTokens(h, line), expected);
}

TEST(THi0, NonAsciiLetterBeforeAMarkerBlocksIt) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  // A Windows-1252 e-acute glued to "Join order" makes it one word.
  const std::vector<Token> tokens = lineTokens(h, "\xE9Join order");
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens[0], (Token{0, "\xE9Join", tkText}));
}

TEST(THi0, ModeCarriesAcrossLinesOnlyWhenRestored) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  lineTokens(h, "Trace file");
  const int32_t saved = h.saveRange();
  EXPECT_EQ(saved, fileNameMode);

  h.restoreRange(saved);
  std::vector<Token> tokens = lineTokens(h, "/u01/x");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0], (Token{0, "/u01/x", tkFileName}));

  h.clearRange();
  tokens = lineTokens(h, "/u01/x");
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens[0], (Token{0, "/", tkText}));
}

TEST(THi0, ModeSurvivesAnEmptyLine) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  lineTokens(h, "file");
  h.restoreRange(h.saveRange());
  lineTokens(h, "");
  h.restoreRange(h.saveRange());
  const std::vector<Token> tokens = lineTokens(h, "/a/b");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].kind, tkFileName);
}

TEST(THi0, ZeroBytesInsideALineAreWhiteSpace) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  const std::string line("ab\0\0cd", 6);
  const std::vector<Token> expected = {
      {0, "ab", tkText}, {2, std::string("\0\0", 2), tkSpace}, {4, "cd", tkText}};
  EXPECT_EQ(lineTokens(h, line), expected);
}

TEST(THi0, ALongerLineAfterAShortOneIsScannedWhole) {
  ZAzozav_Hiliter_c h;
  h.clearRange();
  lineTokens(h, "x");
  const std::string longLine(5000, 'q');
  const std::vector<Token> tokens = lineTokens(h, longLine + " Best so far:");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].text.size(), 5000u);
  EXPECT_EQ(tokens[2], (Token{5001, "Best so far:", tkBestSoFar}));
}

TEST(THi0, AttributeForIndexOutsideTheTableIsNone) {
  ZAzozav_Hiliter_c h;
  EXPECT_EQ(h.attributeForIndex(-1), nullptr);
  EXPECT_EQ(h.attributeForIndex(0), nullptr);
  EXPECT_EQ(h.attributeForIndex(24), nullptr);
  EXPECT_EQ(h.attributeForIndex(1000), nullptr);
  ASSERT_NE(h.attributeForIndex(3), nullptr);
  EXPECT_STREQ(h.attributeForIndex(3)->name, "Blue");
  EXPECT_STREQ(h.attributeForIndex(4)->name, "Green");
  EXPECT_EQ(h.registeredAttribute(-1), nullptr);
  EXPECT_EQ(h.registeredAttribute(kTraceAttributeCount), nullptr);
}

TEST(THi0, AttributeSettingsAreNeverPersisted) {
  ZAzozav_Hiliter_c h;
  const HighlighterAttribute before = *h.attributeForIndex(tkFileName);
  EXPECT_FALSE(h.loadAttributeSettings("HKCU", "Software\\x"));
  EXPECT_FALSE(h.saveAttributeSettings("HKCU", "Software\\x"));
  const HighlighterAttribute& after = *h.attributeForIndex(tkFileName);
  EXPECT_STREQ(after.name, before.name);
  EXPECT_EQ(after.style, before.style);
  EXPECT_EQ(after.foreground.blue, before.foreground.blue);
}

}  // namespace
