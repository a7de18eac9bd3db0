#include "base/json_writer.h"

#include <cstdio>

#include "base/byte_text.h"

namespace {

int appendEscape(SVString& out, unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", code);
  return out.append(escape, 6);
}

}  // namespace

int appendJsonString(SVString& out, std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  if (out.append("\"", 1) != 0) return -1;
  size_t plain = 0;  // start of the run of bytes copied as they are
  for (size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    int length = 1;
    const char* replacement = nullptr;
    unsigned code = 0x10000;  // none
    if (b < 0x80) {
      if (b == '"') replacement = "\\\"";
      else if (b == '\\') replacement = "\\\\";
      else if (b == '\n') replacement = "\\n";
      else if (b == '\r') replacement = "\\r";
      else if (b == '\t') replacement = "\\t";
      else if (b < 0x20 || b == 0x7F) code = b;
    } else {
      length = utf8SequenceLength(s, i, n);
      if (length == 0) {
        length = 1;
        code = 0xFFFD;
      } else if (length == 2 && b == 0xC2 && s[i + 1] < 0xA0) {
        code = s[i + 1];  // a C1 control
      } else if (length == 3 && b == 0xE2 && s[i + 1] == 0x80 && (s[i + 2] == 0xA8 || s[i + 2] == 0xA9)) {
        code = 0x2000u + (s[i + 2] - 0x80u);  // line and paragraph separators
      }
    }
    if (replacement || code != 0x10000) {
      if (out.append(text.data() + plain, static_cast<int64_t>(i - plain)) != 0) return -1;
      if (replacement ? out.append(replacement) != 0 : appendEscape(out, code) != 0) return -1;
      plain = i + static_cast<size_t>(length);
    }
    i += static_cast<size_t>(length);
  }
  if (out.append(text.data() + plain, static_cast<int64_t>(n - plain)) != 0) return -1;
  return out.append("\"", 1);
}

void JsonWriter::put(std::string_view bytes) {
  if (out_.append(bytes.data(), static_cast<int64_t>(bytes.size())) != 0) failed_ = true;
}

void JsonWriter::newline() {
  put("\n");
  for (int i = 0; i < depth_; ++i) put("  ");
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (depth_ > 0) {
    if (hasItems_[depth_]) put(",");
    newline();
  }
  hasItems_[depth_] = true;
}

void JsonWriter::open(char bracket) {
  beforeValue();
  put(std::string_view(&bracket, 1));
  if (depth_ < kMaxDepth) ++depth_;
  hasItems_[depth_] = false;
}

void JsonWriter::close(char bracket) {
  const bool any = hasItems_[depth_];
  if (depth_ > 0) --depth_;
  if (any) newline();
  put(std::string_view(&bracket, 1));
}

JsonWriter& JsonWriter::key(std::string_view name) {
  beforeValue();
  if (appendJsonString(out_, name) != 0) failed_ = true;
  put(": ");
  afterKey_ = true;
  return *this;
}

void JsonWriter::string(std::string_view text) {
  beforeValue();
  if (appendJsonString(out_, text) != 0) failed_ = true;
}

void JsonWriter::number(int64_t value) {
  beforeValue();
  char digits[24];
  const int n = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
  put(std::string_view(digits, static_cast<size_t>(n)));
}

void JsonWriter::null() {
  beforeValue();
  put("null");
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  put(value ? "true" : "false");
}
