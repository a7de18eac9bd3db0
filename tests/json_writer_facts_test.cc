#include "base/json_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string quoted(const std::string& bytes) {
  SVString out;
  EXPECT_EQ(appendJsonString(out, bytes), 0);
  return std::string(out.c_str(), static_cast<size_t>(out.length()));
}

TEST(JsonWriter, EscapesEveryControlAndInvalidByte) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\r\t", "\"\\n\\r\\t\""},
      {std::string("\x00\x1b\x07\x7f", 4), "\"\\u0000\\u001b\\u0007\\u007f\""},
      {"\xc2\x9b[2J", "\"\\u009b[2J\""},        // a C1 control, encoded
      {"\x9b", "\"\\ufffd\""},                   // the same byte alone
      {"caf\xc3\xa9 \xe2\x82\xac", "\"caf\xc3\xa9 \xe2\x82\xac\""},  // valid UTF-8 stays
      {"\xe4\xf6", "\"\\ufffd\\ufffd\""},        // Latin-1 bytes
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // a surrogate
      {"\xc0\xaf", "\"\\ufffd\\ufffd\""},        // an overlong slash
      {"\xe2\x80\xa8", "\"\\u2028\""},
      {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
      {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // above U+10FFFF
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(quoted(in), out);
}

TEST(JsonWriter, NestsWithCommasAndIndentation) {
  SVString out;
  JsonWriter json(out);
  json.beginObject();
  json.key("a").number(-12);
  json.key("b");
  json.beginArray();
  json.string("x");
  json.null();
  json.boolean(true);
  json.endArray();
  json.key("c");
  json.beginObject();
  json.endObject();
  json.endObject();
  EXPECT_FALSE(json.failed());
  EXPECT_EQ(std::string(out.c_str()),
            "{\n  \"a\": -12,\n  \"b\": [\n    \"x\",\n    null,\n    true\n  ],\n  \"c\": {}\n}");
}

}  // namespace
