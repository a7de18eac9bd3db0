// Private to the SQL formatter: the output primitives, the nesting and
// saved-place guards, and the formatting routines the source files share.
//
// Every formatting routine takes the run state and returns the "more" flag:
// non-zero while a current token exists, 0 once the input is exhausted or
// formatting stopped; a caller that gets 0 stops its own work and returns 0.
#pragma once

#include <cstdint>
#include <cstring>

#include "sql/sql_formatter.h"

// Counts one formatting routine as active for as long as it lives.
struct DepthGuard {
  SqlFormatter& state;
  explicit DepthGuard(SqlFormatter& s) : state(s) { ++state.depth; }
  ~DepthGuard() { --state.depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  // True once the nesting passes sqlFormatMaxDepth; records status -2
  // (unless an error is already recorded). The routine then returns 0.
  bool tooDeep() const {
    if (state.depth <= sqlFormatMaxDepth) return false;
    if (state.status >= 0) state.status = sqlFormatTooDeep;
    return true;
  }
};

// Remembers context and level on entry to a routine that restores them,
// and puts both back on every return (and whenever restore() is called).
struct SavedPlace {
  SqlFormatter& state;
  int32_t context;
  int32_t level;
  explicit SavedPlace(SqlFormatter& s)
      : state(s), context(s.context), level(s.level) {}
  ~SavedPlace() { restore(); }
  SavedPlace(const SavedPlace&) = delete;
  SavedPlace& operator=(const SavedPlace&) = delete;
  void restore() {
    state.context = context;
    state.level = level;
  }
};

// ---- Output primitives (format_core.cc) ----

// Ends the current output line with CR LF; nothing when no line is
// started, so line ends never repeat.
void endLine(SqlFormatter& s);
// Writes n bytes at the current position, indenting a fresh line first.
void writeBytes(SqlFormatter& s, const char* bytes, int32_t n);
// Writes a token's bytes as they stand in the input.
void writeToken(SqlFormatter& s, const SqlToken& token);
// Writes a fixed text.
inline void writeText(SqlFormatter& s, const char* text) {
  writeBytes(s, text, static_cast<int32_t>(std::strlen(text)));
}
// Writes one space.
inline void writeSpace(SqlFormatter& s) { writeBytes(s, " ", 1); }
// Writes a token's canonical keyword text (its own bytes if it has none).
void writeKeywordText(SqlFormatter& s, const SqlToken& token);
// Writes the current keyword in canonical form and a space, then advances.
// Returns the advance's result.
int writeKeyword(SqlFormatter& s);
// A set operator (UNION, MINUS, ...) and an ALL after it, on a line of
// their own. Returns the last write's result: 0 when the run must stop.
int writeSetOperator(SqlFormatter& s);
// Space, the current token, space: the separator between list items.
void writeItemSeparator(SqlFormatter& s);
// A hint or line hint as current token is written on the current line,
// which then ends; returns the advance's result, or 1 when no hint.
int writeHint(SqlFormatter& s);

// True when the current token is the keyword whose canonical text is
// `name` (so the input's letter case does not matter).
inline bool keywordIs(const SqlFormatter& s, const char* name) {
  const KeywordEntry* entry = s.current.keywordEntry;
  // Most tests fail on the first letter; spare them the call.
  return entry != nullptr && entry->text[0] == name[0] &&
         std::strcmp(entry->text, name) == 0;
}

// Makes the next non-space token current. Returns 1, or 0 at the end.
inline int advance(SqlFormatter& s) { return s.nextToken(s, 0); }

// True when column + extra is greater than the line width.
inline bool beyondWidth(const SqlFormatter& s, int32_t extra) {
  return static_cast<int64_t>(s.column) + extra > s.lineWidth;
}

// ---- Statements (format_core.cc) ----
int formatStatement(SqlFormatter& s);
int formatParenStatement(SqlFormatter& s);

// ---- Expressions (format_expressions.cc) ----
int formatExpression(SqlFormatter& s);
int formatArguments(SqlFormatter& s);
int formatParenExpression(SqlFormatter& s);
int formatCase(SqlFormatter& s);
int formatList(SqlFormatter& s);
int formatCondition(SqlFormatter& s);
int formatParenCondition(SqlFormatter& s);
// The loop shared by formatList and formatFromList; with fromItems, a "("
// at the start of an item opens a parenthesised FROM item. Not counted as
// a routine of its own.
int formatListItems(SqlFormatter& s, bool fromItems);

// ---- Queries (format_queries.cc) ----
int formatSelect(SqlFormatter& s);
int formatFromList(SqlFormatter& s);
int formatParenFromItem(SqlFormatter& s);
int formatWith(SqlFormatter& s);

// The clause keywords (class kwClause), for the clause loops.
enum ClauseWord {
  clauseOther,
  clauseConnect,
  clauseFrom,
  clauseGroup,
  clauseHaving,
  clauseLog,
  clauseOrder,
  clauseReject,
  clauseReturning,
  clauseSet,
  clauseStart,
  clauseWhere,
};
// Which clause keyword an entry is; clauseOther for none.
ClauseWord clauseWordOf(const KeywordEntry* entry);

// ---- Data-changing statements (format_dml.cc) ----
int formatDelete(SqlFormatter& s);
int formatUpdate(SqlFormatter& s);
int formatInsert(SqlFormatter& s);
int formatMerge(SqlFormatter& s);
