// Finding the previous parts that a split trace names.
#include "facts/trace_parts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every part found, as "line:name" joined by ";".
std::string partsOf(const std::string& text) {
  std::string found;
  size_t from = 0;
  int32_t line = 1;
  TracePart part;
  while (findTracePart(text.data(), text.size(), from, line, part, from)) {
    if (!found.empty()) found += ";";
    found += std::to_string(part.line) + ":" + text.substr(part.name.offset, part.name.length);
    line = part.line + 1;
  }
  return found;
}

TEST(TraceParts, FindsEachMarkerLineAndItsName) {
  const std::string marker = "*** TRACE CONTINUED FROM FILE ";
  const struct {
    std::string text;
    std::string parts;
  } cases[] = {
      {"", ""},
      {"Trace file /u01/orcl_ora_42_2.trc\n", ""},
      {marker + "/u01/orcl_ora_42_1.trc ***\n", "1:/u01/orcl_ora_42_1.trc"},
      // Header lines first, Windows line ends, blanks after the closing stars.
      {"Trace file x\r\nOracle Database\r\n" + marker + "C:\\t\\orcl_ora_42_1.trc *** \r\nkkoqbc\r\n",
       "3:C:\\t\\orcl_ora_42_1.trc"},
      {marker + "last line.trc ***", "1:last line.trc"},
      // Joined parts: one marker per part after the first.
      {"a\n" + marker + "p1.trc ***\nb\nc\n" + marker + "p2.trc ***\n", "2:p1.trc;5:p2.trc"},
      // Not a marker line: inside a line, unclosed, or naming nothing.
      {"note: " + marker + "p1.trc ***\n", ""},
      {marker + "p1.trc\n", ""},
      {marker + "***\n" + marker + " ***\n", ""},
      {marker + "p1.trc ***x\n" + marker + "p2.trc ***\n", "2:p2.trc"},
  };
  for (const auto& c : cases) EXPECT_EQ(partsOf(c.text), c.parts) << c.text;
}

// The part a trace continues in, as "line:name", or "" when it names none.
std::string continuationOf(const std::string& text) {
  TracePart part;
  if (!findTraceContinuation(text.data(), text.size(), part)) return "";
  return std::to_string(part.line) + ":" + text.substr(part.name.offset, part.name.length);
}

TEST(TraceParts, FindsTheNextPartInTheLastLines) {
  const std::string marker = "*** TRACE CONTINUES IN FILE ";
  const std::string body(kContinuationTailBytes, 'x');
  const struct {
    std::string text;
    std::string next;
  } cases[] = {
      {"", ""},
      {"kkoqbc\n" + marker + "/u01/orcl_ora_42_2.trc ***\n", "2:/u01/orcl_ora_42_2.trc"},
      {marker + "C:\\t\\orcl_ora_42_2.trc *** \r\n\r\n", "1:C:\\t\\orcl_ora_42_2.trc"},
      // The backward marker is not the forward one.
      {"*** TRACE CONTINUED FROM FILE p1.trc ***\n", ""},
      // Joined parts: the last one named.
      {marker + "p2.trc ***\n" + marker + "p3.trc ***\n", "2:p3.trc"},
      // Far from the end it is not the trace's own continuation; lines
      // still count from the start when the tail begins mid-line.
      {marker + "p2.trc ***\n" + body + "\n", ""},
      {body + "\n" + marker + "p2.trc ***\n", "2:p2.trc"},
      {"a\n" + body + marker + "p2.trc ***\n", ""},
      {marker + "p2.trc\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(continuationOf(c.text), c.next) << c.text.substr(0, 80);
}

TEST(TraceParts, FileNameIsTheLastComponent) {
  EXPECT_EQ(tracePartFileName("/u01/diag/orcl_ora_42_1.trc"), "orcl_ora_42_1.trc");
  EXPECT_EQ(tracePartFileName("C:\\diag\\orcl_ora_42_1.trc"), "orcl_ora_42_1.trc");
  EXPECT_EQ(tracePartFileName("orcl_ora_42_1.trc"), "orcl_ora_42_1.trc");
  EXPECT_EQ(tracePartFileName("/u01/diag/"), "");
}

}  // namespace
