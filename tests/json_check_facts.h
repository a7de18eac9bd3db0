// A strict JSON syntax check for the tests and fuzz targets of the JSON
// the tool writes: one value, nothing after it, strings valid UTF-8 with
// no raw control bytes.
#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

class JsonCheck {
 public:
  static bool valid(std::string_view text) {
    JsonCheck check(text);
    return check.value(0) && (check.skipSpace(), check.at_ == text.size());
  }

 private:
  explicit JsonCheck(std::string_view text) : s_(text) {}

  void skipSpace() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
  }
  bool eat(char c) {
    skipSpace();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool literal(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool string() {
    if (!eat('"')) return false;
    while (at_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at_ >= s_.size()) return false;
        const char e = s_[at_++];
        if (e == 'u') {
          for (int i = 0; i < 4; ++i, ++at_) {
            if (at_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_]))) return false;
          }
        } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
          return false;
        }
      } else if (c >= 0x80) {
        const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
        if (more < 0 || c > 0xF4) return false;
        for (int i = 0; i < more; ++i, ++at_) {
          if (at_ >= s_.size() || (static_cast<unsigned char>(s_[at_]) & 0xC0) != 0x80) return false;
        }
      }
    }
    return false;
  }
  bool number() {
    const size_t start = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
    return at_ > start && s_[at_ - 1] != '-';
  }
  bool value(int depth) {
    if (depth > 64) return false;
    skipSpace();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') {
      ++at_;
      if (eat('}')) return true;
      do {
        if (!string() || !eat(':') || !value(depth + 1)) return false;
      } while (eat(','));
      return eat('}');
    }
    if (c == '[') {
      ++at_;
      if (eat(']')) return true;
      do {
        if (!value(depth + 1)) return false;
      } while (eat(','));
      return eat(']');
    }
    if (c == '"') return string();
    if (c == 'n') return literal("null");
    if (c == 't') return literal("true");
    if (c == 'f') return literal("false");
    return number();
  }

  std::string_view s_;
  size_t at_ = 0;
};
