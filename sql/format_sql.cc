// The formatting entry around the SQL formatter.
#include "sql/format_sql.h"

#include <cstring>

#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"

namespace {

// The first allocation; most final queries format into less than this.
constexpr int32_t kInitialOutput = 1000;
constexpr int32_t kIndentUnit = 2;

// Reads the next token that is not white space. Returns false at the end,
// with *stoppedEarly set when a zero byte ended the text before its length.
bool nextSolidToken(ScanState& s, bool* stoppedEarly) {
  while (nextSqlToken(s)) {
    if (s.kind != sqlSpace) return true;
  }
  *stoppedEarly = s.remaining > 0;
  return false;
}

}  // namespace

bool classifySql(const char* text, int32_t length) {
  ScanState s;
  scanInit(s, text, length);
  while (nextSqlToken(s)) {
    switch (s.kind) {
      case sqlSpace:
      case sqlComment:
      case sqlLineComment:
      case sqlOpenParen:
        continue;
      default:
        // kwDml holds exactly DELETE, INSERT, MERGE, SELECT, UPDATE, WITH.
        return s.kind == kwDml;
    }
  }
  return false;
}

int compareSqlTokens(const char* input, int32_t inputLength, const char* output, int32_t* inputOffset,
                     int32_t* outputOffset) {
  ScanState in;
  ScanState out;
  scanInit(in, input, inputLength);
  scanInit(out, output, static_cast<int32_t>(std::strlen(output)));
  for (;;) {
    bool inEarly = false;
    bool outEarly = false;
    bool inHas = nextSolidToken(in, &inEarly);
    bool outHas = nextSolidToken(out, &outEarly);
    if (!inHas && !outHas && !inEarly && !outEarly) return 0;
    if (inHas && outHas && in.kind == out.kind) continue;
    // Text the tokenizer did not reach (after a zero byte) is a difference
    // too, reported where the scan stopped.
    *inputOffset = inHas || inEarly ? in.pos : -1;
    *outputOffset = outHas || outEarly ? out.pos : -1;
    return 1;
  }
}

void growOutput(SqlFormatter& state, int32_t n) {
  if (n <= 0 || state.out == nullptr) return;
  SVString& output = *state.outString;
  const int64_t capacity = output.capacity();
  const int64_t grow = capacity / 4 > n ? capacity / 4 : n;
  if (capacity + grow >= formatSqlOutputLimit) return;
  // The string's own length is not the formatter's: make them agree, or
  // reserve would put its terminator into the middle of the output.
  output.setLength(state.outLength);
  if (output.reserve(capacity + grow) != 0) {
    state.out = nullptr;
    state.outLength = 0;
    state.room = 0;
    return;
  }
  state.room += output.capacity() - static_cast<int32_t>(capacity);
  state.out = output.data();
}

int32_t countLineFeeds(const char* text, int32_t length) {
  if (text == nullptr || length <= 0) return 0;
  int32_t count = 0;
  const char* end = text + length;
  for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p)
    ++count;
  return count;
}

int formatSql(const char* text, int32_t length, int32_t margin, uint32_t options, int32_t width,
              SVString& output) {
  if (text == nullptr || length <= 0) {
    // Cleared rather than left as it was: a caller reusing one output
    // string must never take a previous query's text for this result.
    output.clear();
    return formatSqlOk;
  }
  if (!classifySql(text, length)) {
    output.assign("Cannot format this SQL type");
    return formatSqlNotHandled;
  }
  ScanState scanner;
  scanInit(scanner, text, length);
  output.clear();
  if (output.reserve(kInitialOutput) != 0) return formatSqlFailed;

  SqlFormatter state;
  int32_t status = sqlFormatRun(state, output.data(), output.capacity() - 1, options, kIndentUnit, width, margin,
                                scanner, nullptr, &output, growOutput);
  if (status < 0) {
    // A growth that failed released the output: memory ran out, which
    // callers tell from a query that cannot be formatted by the missing
    // buffer.
    if (output.data() == nullptr) return formatSqlFailed;
    output.format("Error %d formatting SQL", status);
    return formatSqlFailed;
  }
  output.recomputeLength();

  int32_t inputOffset = 0;
  int32_t outputOffset = 0;
  if (compareSqlTokens(text, length, output.c_str(), &inputOffset, &outputOffset) != 0) {
    output.format("Error formatting SQL at pos %d", inputOffset);
    return formatSqlMismatch;
  }
  return formatSqlOk;
}
