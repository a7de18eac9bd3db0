// A small HTML writer into an SVString, for reports that travel by mail:
// every element it opens it closes, in order, and every text or attribute
// value it is given is escaped, so nothing taken from a trace can become
// markup or script.
//
// Tag and attribute names are the caller's own constants. Texts may hold
// any bytes: they come out as valid UTF-8 without the characters an HTML5
// parser rejects (controls other than TAB and line feed become blanks,
// noncharacters U+FFFD), a byte that starts no UTF-8 sequence standing for
// its Windows-1252 character, as the viewer shows it ('?' for the five
// the code page leaves undefined), and & < > " ' as
// character references.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/sv_string.h"

struct HtmlAttribute {
  const char* name;
  std::string_view value;
};

class HtmlWriter {
 public:
  explicit HtmlWriter(SVString& out) : out_(out) {}

  // «<tag name="value" ...>»; the values escaped.
  void open(const char* tag, std::initializer_list<HtmlAttribute> attributes = {});
  // A void element such as <meta>, which has no end tag.
  void voidElement(const char* tag, std::initializer_list<HtmlAttribute> attributes);
  // Closes the innermost open element; nothing when none is open.
  void close();
  // open, text, close.
  void element(const char* tag, std::string_view text, std::initializer_list<HtmlAttribute> attributes = {});
  void text(std::string_view bytes);
  void number(int64_t value);
  // The writer's own markup, written as it is: the document type and the
  // style sheet. Never text from a trace.
  void markup(std::string_view ownMarkup);

  // Elements open now.
  int depth() const { return depth_; }
  // True once an append failed for want of memory or elements nested
  // deeper than the writer keeps.
  bool failed() const { return failed_; }

 private:
  static constexpr int kMaxDepth = 32;
  void put(std::string_view bytes);
  void startTag(const char* tag, std::initializer_list<HtmlAttribute> attributes);

  SVString& out_;
  const char* open_[kMaxDepth] = {};
  int depth_ = 0;
  bool failed_ = false;
};

// Appends `bytes` escaped as HtmlWriter::text does. Returns 0 or -1.
int appendHtmlText(SVString& out, std::string_view bytes);
