// Helpers for the SQL formatter tests: run one text through the tokenizer
// and the formatter, and spell expected output as a list of lines.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/sv_string.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"

namespace sqlfmt_test {

struct FormatResult {
  std::string text;
  int32_t status;
  int32_t statementType;
};

// Grows the test's output string by what the formatter asks for, up to a
// cap kept in a global so a test can refuse growth.
inline int64_t growCap = int64_t{1} << 30;

inline void testGrow(SqlFormatter& s, int32_t n) {
  if (n == 0) return;
  SVString& out = *s.outString;
  const int64_t want = int64_t{out.capacity()} + n + 1;
  if (want > growCap) return;
  const int32_t before = out.capacity();
  // reserve terminates at the string's own length: keep it the formatter's.
  out.setLength(s.outLength);
  if (out.reserve(want) != 0) return;
  s.out = out.data();
  s.room += out.capacity() - before;
}

// Formats `sql` with indentation unit 2. The output starts in a buffer of
// 19 bytes, so the growth path is exercised by every test.
inline FormatResult formatText(const std::string& sql,
                               uint32_t options = compactLists,
                               int32_t width = 80, int32_t margin = 0) {
  ScanState scan;
  scanInit(scan, sql.data(), static_cast<int32_t>(sql.size()));
  SVString out;
  EXPECT_EQ(out.reserve(12), 0);
  SqlFormatter state;
  const int32_t status =
      sqlFormatRun(state, out.data(), out.capacity() - 1, options, 2, width,
                   margin, scan, nullptr, &out, testGrow);
  EXPECT_LT(state.outLength, out.capacity());
  // A zero byte inside a string or comment is copied like any other byte;
  // otherwise the output is one terminated text.
  if (sql.find('\0') == std::string::npos) {
    EXPECT_EQ(std::strlen(out.data()), static_cast<size_t>(state.outLength));
  }
  EXPECT_EQ(out.data()[state.outLength], 0);
  EXPECT_EQ(state.depth, 0);
  return {std::string(out.data(), static_cast<size_t>(state.outLength)),
          status, state.statementType};
}

// The lines joined by CR LF, as the formatter ends them.
inline std::string lines(const std::vector<std::string>& parts) {
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += "\r\n";
    joined += parts[i];
  }
  return joined;
}

// One input and its expected layout (compact lists, width 80, margin 0).
struct LayoutCase {
  const char* input;
  std::vector<std::string> expected;
  int32_t status;
};

inline void checkLayouts(const std::vector<LayoutCase>& cases) {
  for (const LayoutCase& c : cases) {
    const FormatResult r = formatText(c.input);
    EXPECT_EQ(r.text, lines(c.expected)) << "input: " << c.input;
    EXPECT_EQ(r.status, c.status) << "input: " << c.input;
  }
}

class SqlFormatterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildSqlDispatch(); }
};

}  // namespace sqlfmt_test
