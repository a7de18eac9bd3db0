// The SQL formatter: lays one Oracle SQL statement out again as indented
// lines.
//
// A recursive descent over the tokenizer's tokens, one token of look-ahead
// and no tree: each construct (statement, clause, list, condition,
// expression, parenthesis) is one routine that writes as it reads. White
// space of the input is replaced by the formatter's own line ends (CR LF),
// indentation and single spaces; every other token is copied, keywords in
// their canonical spelling where a routine chooses to.
//
// The output goes into a caller's buffer that a grow hook may enlarge. The
// formatter allocates nothing, throws nothing and reports through the
// run status below.
#pragma once

#include <cstdint>

#include "sql/sql_tokenizer.h"
#include "trace/scan_state.h"

class SVString;

// One token, copied by value.
struct SqlToken {
  const unsigned char* text;  // the scanned text, not owned
  int32_t start;              // offset of the first byte
  int32_t length;             // bytes
  int32_t kind;               // SqlTokenKind
  int32_t startLine;          // line feeds before the token
  const KeywordEntry* keywordEntry;  // set for keywords, else null
};

// What kind of construct encloses the current position.
enum SqlFormatContext : int32_t {
  ctxNone = 0,
  ctxSelectList = 1,  // select, GROUP BY, ORDER BY, RETURNING, LOG, REJECT
  ctxValues = 2,      // the VALUES clause
  ctxFrom = 3,        // FROM lists, the table list of UPDATE
  ctxCondition = 4,   // WHERE, HAVING, START WITH, CONNECT BY
  ctxArguments = 5,   // an argument list after a name
  ctxInList = 6,      // the list after IN
  ctxCase = 7,        // CASE; the conditions of a conditional INSERT
  ctxWith = 8,        // the list after WITH
  ctxSet = 9,         // SET lists
};

// Statement types, set by the first statement keyword of a run.
enum SqlStatementType : int32_t {
  stmtNone = 0,
  stmtOtherDml = 1,
  stmtDelete = 2,
  stmtInsert = 3,       // INSERT into one table
  stmtMultiInsert = 4,  // INSERT ALL, INSERT FIRST, conditional INSERT
  stmtMerge = 5,
  stmtSelect = 6,
  stmtUpdate = 7,
  stmtWith = 8,
};

// Run status. The first error sticks.
constexpr int32_t sqlFormatDone = 0;       // the statement took the whole text
constexpr int32_t sqlFormatRestCopied = 1; // text after it was copied unchanged
constexpr int32_t sqlFormatTooDeep = -2;   // nesting beyond sqlFormatMaxDepth
constexpr int32_t sqlFormatNoRoom = -3;    // output could not be enlarged

// Deepest nesting of formatting routines before the run gives up.
constexpr int32_t sqlFormatMaxDepth = 1000;

// Option bits.
constexpr uint32_t compactLists = 1;  // list items share lines until full

struct SqlFormatter;

// Asked for n bytes, enlarges the output (updating out and room) or leaves
// it; called with n = 0 after every write as a notice.
using SqlGrowHook = void (*)(SqlFormatter& state, int32_t n);
// Makes the next token current. Returns 1, or 0 at the end of the input
// (current then stays as it was). keepSpace 0 skips white space.
using SqlTokenAdvance = int (*)(SqlFormatter& state, int keepSpace);

// The state of one run; lives for one sqlFormatRun call and owns nothing.
struct SqlFormatter {
  char* out;               // output buffer; every write ends with a zero
  int32_t outLength;       // bytes written
  int32_t room;            // bytes that may still be written (a write of n needs room > n)
  int32_t statementType;   // SqlStatementType
  int32_t status;          // run status
  uint32_t options;        // option bits
  int32_t indentUnit;      // spaces per level
  int32_t lineWidth;       // target line width
  int32_t margin;          // spaces added to every indented line
  int32_t column;          // output column after the last byte of the line
  int32_t lineStarted;     // 1 once anything is on the current line
  int32_t depth;           // nesting of formatting routines
  SqlToken current;        // the token under examination
  SqlToken previous;       // the one before, skipping plain comments
  int32_t context;         // SqlFormatContext
  int32_t level;           // indentation level of the next new line
  SVString* outString;     // the output string object, for the grow hook
  SqlGrowHook growHook;    // may be null: output limited to the first room
  ScanState* scanner;      // the tokenizer's state over the input
  SqlTokenAdvance nextToken;
};

// Formats the statement the scanner (scanInit already run, buildSqlDispatch
// already run) is positioned on into `out`, which may take `room` bytes
// (room counts the bytes before the terminating zero). nextToken null means
// nextFormatToken. Text after the statement is copied unchanged. Returns
// the status: 0, 1, sqlFormatTooDeep or sqlFormatNoRoom.
int32_t sqlFormatRun(SqlFormatter& state, char* out, int32_t room,
                     uint32_t options, int32_t indentUnit, int32_t lineWidth,
                     int32_t margin, ScanState& scanner,
                     SqlTokenAdvance nextToken, SVString* outString,
                     SqlGrowHook growHook);

// The default token advance: keeps `previous` (unless current is a plain
// comment), reads the next token from the scanner, skipping white space
// unless keepSpace. Returns 1, or 0 at the end with current unchanged.
int nextFormatToken(SqlFormatter& state, int keepSpace);
