// Escaping of trace bytes for terminal output: control characters become
// visible text, every other byte stays as it is.
#include "cli/safe_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string safe(const std::string& bytes, bool field) {
  SVString out;
  const int result = field ? appendFieldSafe(out, bytes.data(), bytes.size())
                           : appendTerminalSafe(out, bytes.data(), bytes.size());
  EXPECT_EQ(result, 0);
  return std::string(out.c_str(), static_cast<size_t>(out.length()));
}

TEST(SafeText, ControlCharactersBecomeVisible) {
  struct Case {
    std::string in;
    std::string text;   // appendTerminalSafe
    std::string field;  // appendFieldSafe
  };
  const Case cases[] = {
      {"Join Order [1]: SEL$1", "Join Order [1]: SEL$1", "Join Order [1]: SEL$1"},
      {"a\tb", "a\tb", "a^Ib"},
      {std::string("\0\x01\x1b\x1f\x7f", 5), "^@^A^[^_^?", "^@^A^[^_^?"},
      {"id\r\nnext", "id^M^Jnext", "id^M^Jnext"},
      {"\x1b]0;title\x07", "^[]0;title^G", "^[]0;title^G"},
      // C1 controls: a single byte, and U+0080..U+009F in UTF-8.
      {"\x9b" "2J \x80 \x9f", "<9B>2J <80> <9F>", "<9B>2J <80> <9F>"},
      {"\xc2\x9b" "2J \xc2\x80 \xc2\x9f", "<U+009B>2J <U+0080> <U+009F>", "<U+009B>2J <U+0080> <U+009F>"},
      // Well-formed UTF-8 stays, continuation bytes 0x80..0x9F included.
      {"\xc2\xa0 \xe2\x82\xac \xf0\x9f\x98\x80 \xc3\xa9", "\xc2\xa0 \xe2\x82\xac \xf0\x9f\x98\x80 \xc3\xa9",
       "\xc2\xa0 \xe2\x82\xac \xf0\x9f\x98\x80 \xc3\xa9"},
      // Single-byte code pages from 0xA0 up stay; a broken sequence keeps
      // its lead byte and shows its stray continuation bytes.
      {"K\xf6ln M\xfcller", "K\xf6ln M\xfcller", "K\xf6ln M\xfcller"},
      {"\xe2\x82x \xc0\x9b \xed\xa0\x80 \xf4\x90\x80\x80", "\xe2<82>x \xc0<9B> \xed\xa0<80> \xf4<90><80><80>",
       "\xe2<82>x \xc0<9B> \xed\xa0<80> \xf4<90><80><80>"},
      {"\xc2", "\xc2", "\xc2"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(safe(c.in, false), c.text) << c.in;
    EXPECT_EQ(safe(c.in, true), c.field) << c.in;
  }
}

TEST(SafeText, AppendsToWhatIsThere) {
  SVString out;
  ASSERT_EQ(out.append("0\t"), 0);
  ASSERT_EQ(appendFieldSafe(out, "a\nb", 3), 0);
  EXPECT_STREQ(out.c_str(), "0\ta^Jb");
}

}  // namespace
