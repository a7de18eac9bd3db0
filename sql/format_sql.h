// The formatting entry: decides whether an SQL text may be formatted, runs
// the formatter over it and checks the result token by token against the
// input, so that a faulty layout can never silently change a query.
#pragma once

#include <cstdint>

#include "base/sv_string.h"

struct SqlFormatter;

// Results of formatSql.
constexpr int formatSqlOk = 0;           // output holds the formatted text
constexpr int formatSqlNotHandled = 1;   // "Cannot format this SQL type"
constexpr int formatSqlFailed = -1;      // no memory, or a negative run status
constexpr int formatSqlMismatch = -2;    // the result's tokens differ

// A formatted statement stops growing before it reaches this many bytes.
constexpr int32_t formatSqlOutputLimit = 1048576;

// Formats the `length` bytes at `text` (indentation unit 2) into `output`.
// Returns formatSqlOk with the formatted text in `output` (empty for an
// empty text); otherwise `output` holds a message: "Cannot format this SQL
// type", "Error %d formatting SQL" with the run status, or "Error
// formatting SQL at pos %d" with the input offset of the first difference.
// When memory runs out it returns formatSqlFailed with `output` released.
// buildSqlDispatch must have run.
int formatSql(const char* text, int32_t length, int32_t margin, uint32_t options, int32_t width,
              SVString& output);

// True when the first token that is not white space, a plain comment or
// "(" is one of the keywords DELETE, INSERT, MERGE, SELECT, UPDATE, WITH.
bool classifySql(const char* text, int32_t length);

// Compares the token kinds of the input with those of the zero-terminated
// output, skipping white space. Returns 0 when they agree. Otherwise
// returns 1 and stores, for each side, the offset just past its differing
// token, or -1 when that side had run out. A zero byte that ends a side
// early (see nextSqlToken) counts as a difference at its offset, so bytes
// after it can never be dropped unnoticed.
int compareSqlTokens(const char* input, int32_t inputLength, const char* output, int32_t* inputOffset,
                     int32_t* outputOffset);

// The formatter's grow hook. n = 0 is the after-write notice and does
// nothing. Otherwise grows the output string by the larger of a quarter of
// its capacity and n, updating out and room, unless the capacity would
// reach formatSqlOutputLimit; the formatter then stops with status -3. On
// a failed allocation out becomes null and room and outLength 0, and no
// later call grows again.
void growOutput(SqlFormatter& state, int32_t n);

// Number of line feed bytes in the `length` bytes at `text`; 0 for none.
int32_t countLineFeeds(const char* text, int32_t length);
