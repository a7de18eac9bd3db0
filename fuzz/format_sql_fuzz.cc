// Fuzz target: any bytes as SQL. The tokenizer must cover every byte with
// tokens that stay inside the input, formatSql must return, and any text
// it reports as formatted must carry the input's tokens.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/sv_string.h"
#include "sql/format_sql.h"
#include "sql/sql_formatter.h"
#include "sql/sql_tokenizer.h"
#include "fuzz/fuzz_check.h"

namespace {

// Tokenizes the whole input; a zero byte ends one piece and the next
// piece starts after it, so every byte is visited.
void tokenizeFully(const char* text, int32_t length) {
  int32_t base = 0;
  while (base < length) {
    ScanState s;
    scanInit(s, text + base, length - base);
    int32_t previousPos = 0;
    while (nextSqlToken(s)) {
      check(s.tokenStart == previousPos);
      check(s.pos > s.tokenStart);
      check(s.pos + s.remaining == length - base);
      check(s.kind >= sqlSpace && s.kind <= kwRemark);
      check((s.keywordEntry != nullptr) == (s.kind >= kwDml));
      check(s.line >= s.tokenLine);
      previousPos = s.pos;
    }
    check(s.kind == sqlEnd);
    if (s.remaining == 0) return;
    check(text[base + s.pos] == 0 && s.mode == 0);
    base += s.pos + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool built = (buildSqlDispatch(), true);
  (void)built;
  if (size > (1u << 20)) return 0;
  // An exact-size copy, so reading past the input is caught.
  const auto length = static_cast<int32_t>(size);
  char* text = static_cast<char*>(std::malloc(size ? size : 1));
  check(text != nullptr);
  if (size) std::memcpy(text, data, size);

  tokenizeFully(text, length);

  SVString out;
  const int result = formatSql(text, length, 0, compactLists, 80, out);
  check(result >= formatSqlMismatch && result <= formatSqlNotHandled);
  check(out.length() < formatSqlOutputLimit);
  check(out.data() == nullptr || out.data()[out.length()] == 0);
  if (result == formatSqlOk && length > 0) {
    int32_t inputOffset = 0;
    int32_t outputOffset = 0;
    check(compareSqlTokens(text, length, out.c_str(), &inputOffset, &outputOffset) == 0);
  }
  std::free(text);
  return 0;
}
