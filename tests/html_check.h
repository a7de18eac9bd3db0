// Checks of a report page for the tests: its tags balanced as the report's
// writer makes them, and an HTML5 parser's strict verdict when python3
// with html5lib is there to give one.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_files.h"

// "" when every start tag but <meta> has its end tag in order, no text
// holds a bare '<' or '>' and the page starts with its document type;
// else what is wrong and where.
inline std::string unbalancedTags(const std::string& page) {
  if (page.rfind("<!DOCTYPE html>\n", 0) != 0) return "no document type";
  std::vector<std::string> open;
  for (size_t i = 16; i < page.size(); ++i) {
    if (page[i] == '>') return "a bare '>' at " + std::to_string(i);
    if (page[i] != '<') continue;
    const bool closing = i + 1 < page.size() && page[i + 1] == '/';
    size_t end = i + (closing ? 2 : 1);
    const size_t nameStart = end;
    while (end < page.size() && (std::isalnum(static_cast<unsigned char>(page[end])) || page[end] == '-')) ++end;
    const std::string name = page.substr(nameStart, end - nameStart);
    if (name.empty()) return "a bare '<' at " + std::to_string(i);
    const size_t close = page.find('>', end);
    if (close == std::string::npos) return "an unclosed tag at " + std::to_string(i);
    if (page.find('<', end) < close) return "a '<' inside the tag at " + std::to_string(i);
    i = close;
    if (!closing) {
      if (name != "meta") open.push_back(name);
      continue;
    }
    if (open.empty() || open.back() != name) return "</" + name + "> does not close <" +
                                                      (open.empty() ? std::string() : open.back()) + ">";
    open.pop_back();
  }
  return open.empty() ? "" : "<" + open.back() + "> is never closed";
}

// The page parsed by html5lib in strict mode: 0 when it is valid HTML5, 1
// when not (the parser's message on stderr), -1 when html5lib is missing.
// The system's python3, where Debian's python3-html5lib puts it.
inline int html5libVerdict(const std::string& path) {
  if (std::system("/usr/bin/python3 -c 'import html5lib' 2>/dev/null") != 0) return -1;
  const std::string command = "/usr/bin/python3 -c 'import sys, html5lib; html5lib.HTMLParser(strict=True).parse("
                              "open(sys.argv[1], encoding=\"utf-8\").read())' '" + path + "'";
  return std::system(command.c_str()) == 0 ? 0 : 1;
}
