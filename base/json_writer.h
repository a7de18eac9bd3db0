// A small JSON writer into an SVString, indented two spaces per level.
//
// Any bytes make a valid JSON string: quotes, backslashes and control bytes
// (C0, DEL and the C1 range U+0080..U+009F) are escaped, as are U+2028 and
// U+2029, and every byte that is not part of well-formed UTF-8 becomes
// U+FFFD. So the output is plain ASCII-safe text for any terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/sv_string.h"

class JsonWriter {
 public:
  explicit JsonWriter(SVString& out) : out_(out) {}

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // Inside an object: the name of the next value.
  JsonWriter& key(std::string_view name);
  void string(std::string_view text);
  void number(int64_t value);
  void null();
  void boolean(bool value);

  // True once an append failed for want of memory.
  bool failed() const { return failed_; }

 private:
  static constexpr int kMaxDepth = 64;
  void open(char bracket);
  void close(char bracket);
  void beforeValue();
  void newline();
  void put(std::string_view bytes);

  SVString& out_;
  int depth_ = 0;
  bool hasItems_[kMaxDepth + 1] = {};
  bool afterKey_ = false;
  bool failed_ = false;
};

// Appends `text` as a quoted, escaped JSON string. Returns 0 or -1.
int appendJsonString(SVString& out, std::string_view text);
