#include "report/html_writer.h"

#include <cstdio>

#include "base/byte_text.h"

namespace {

// U+FDD0..U+FDEF and the last two code points of every plane, which an
// HTML5 parser reports as errors, from their UTF-8 bytes.
bool isNoncharacter(const unsigned char* s, int length) {
  if (length == 3 && s[0] == 0xEF && s[1] == 0xB7 && s[2] >= 0x90 && s[2] <= 0xAF) return true;
  if (length == 3) return s[0] == 0xEF && s[1] == 0xBF && (s[2] == 0xBE || s[2] == 0xBF);
  return length == 4 && (s[1] & 0x0F) == 0x0F && s[2] == 0xBF && (s[3] == 0xBE || s[3] == 0xBF);
}

const char* reference(unsigned char b) {
  switch (b) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return nullptr;
  }
}

}  // namespace

int appendHtmlText(SVString& out, std::string_view bytes) {
  const auto* u = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t plain = 0;  // start of the run of bytes copied as they are
  int failed = 0;
  auto flush = [&](size_t end) {
    if (end > plain) failed |= out.append(bytes.data() + plain, static_cast<int64_t>(end - plain));
  };
  for (size_t i = 0; i < n;) {
    const unsigned char b = u[i];
    if (b >= 0x20 && b < 0x7F && !reference(b)) {
      ++i;
      continue;
    }
    if (b == '\t' || b == '\n') {
      ++i;
      continue;
    }
    const int length = b < 0x80 ? 1 : utf8SequenceLength(u, i, n);
    // A C1 control written as UTF-8: U+0080..U+009F.
    const bool c1 = length == 2 && b == 0xC2 && u[i + 1] < 0xA0;
    if (length >= 2 && !c1 && !isNoncharacter(u + i, length)) {
      i += static_cast<size_t>(length);
      continue;
    }
    flush(i);
    char single[3];
    if (const char* ref = b < 0x80 ? reference(b) : nullptr) {
      failed |= out.append(ref);
    } else if (b < 0x80) {
      failed |= out.append(" ", 1);  // a control
    } else if (length >= 2) {
      failed |= out.append("\xEF\xBF\xBD", 3);
    } else if (isUndefinedInWindows1252(b)) {
      failed |= out.append("?", 1);
    } else {
      failed |= out.append(single, windows1252ToUtf8(b, single));
    }
    i += length >= 2 ? static_cast<size_t>(length) : 1;
    plain = i;
  }
  flush(n);
  return failed ? -1 : 0;
}

void HtmlWriter::put(std::string_view bytes) {
  if (out_.append(bytes.data(), static_cast<int64_t>(bytes.size())) != 0) failed_ = true;
}

void HtmlWriter::open(const char* tag, std::initializer_list<HtmlAttribute> attributes) {
  if (depth_ == kMaxDepth) {
    failed_ = true;
    return;
  }
  open_[depth_++] = tag;
  startTag(tag, attributes);
}

void HtmlWriter::voidElement(const char* tag, std::initializer_list<HtmlAttribute> attributes) {
  startTag(tag, attributes);
}

void HtmlWriter::startTag(const char* tag, std::initializer_list<HtmlAttribute> attributes) {
  put("<");
  put(tag);
  for (const HtmlAttribute& a : attributes) {
    put(" ");
    put(a.name);
    put("=\"");
    if (appendHtmlText(out_, a.value) != 0) failed_ = true;
    put("\"");
  }
  put(">");
}

void HtmlWriter::close() {
  if (depth_ == 0) return;
  put("</");
  put(open_[--depth_]);
  put(">");
}

void HtmlWriter::element(const char* tag, std::string_view text, std::initializer_list<HtmlAttribute> attributes) {
  open(tag, attributes);
  this->text(text);
  close();
}

void HtmlWriter::text(std::string_view bytes) {
  if (appendHtmlText(out_, bytes) != 0) failed_ = true;
}

void HtmlWriter::number(int64_t value) {
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
  put(std::string_view(digits, static_cast<size_t>(length)));
}

void HtmlWriter::markup(std::string_view ownMarkup) { put(ownMarkup); }
