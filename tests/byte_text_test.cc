#include "base/byte_text.h"

#include <gtest/gtest.h>

namespace {

// Every byte's Windows-1252 character leads back to the byte, and its UTF-8
// form is that character's.
TEST(ByteText, Windows1252RoundTrip) {
  for (int b = 0x80; b < 0x100; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const char16_t c = windows1252Character(byte);
    EXPECT_EQ(windows1252ByteOf(c), b);
    char utf8[3];
    const int n = windows1252ToUtf8(byte, utf8);
    const auto* u = reinterpret_cast<const unsigned char*>(utf8);
    ASSERT_EQ(utf8SequenceLength(u, 0, static_cast<size_t>(n)), n) << b;
    const char16_t decoded = n == 2 ? static_cast<char16_t>((u[0] & 0x1F) << 6 | (u[1] & 0x3F))
                                    : static_cast<char16_t>((u[0] & 0x0F) << 12 | (u[1] & 0x3F) << 6 | (u[2] & 0x3F));
    EXPECT_EQ(decoded, c) << b;
    EXPECT_EQ(isUndefinedInWindows1252(byte), c == b && b < 0xA0) << b;
  }
  EXPECT_EQ(windows1252Character(0x80), u'\u20AC');
  EXPECT_EQ(windows1252ByteOf(u'\u4E00'), -1);
}

TEST(ByteText, TraceTextFacts) {
  struct Case {
    const char* text;
    bool valid;
    int64_t lone;
  };
  for (const Case& c : {Case{"plain\r\n", true, 0}, Case{"caf\xC3\xA9 and more than eight bytes", true, 0},
                        Case{"\xC0\x80 overlong", false, 0}, Case{"\xED\xA0\x80 surrogate", false, 0},
                        Case{"\xF4\x90\x80\x80 past U+10FFFF", false, 0}, Case{"cut \xE2\x82", false, 0},
                        Case{"lone\r then \r", true, 2}, Case{"\xE9\rX", false, 1}}) {
    const TraceTextFacts facts = traceTextFacts(c.text, static_cast<int64_t>(std::char_traits<char>::length(c.text)));
    EXPECT_EQ(facts.validUtf8, c.valid) << c.text;
    EXPECT_EQ(facts.loneCarriageReturns, c.lone) << c.text;
  }
}

}  // namespace
