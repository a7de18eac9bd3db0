// The query routines: SELECT with its clauses, FROM lists with joins and
// parenthesised items, and WITH.
//
// Each clause keyword begins a line at the query's level with its content
// after it; continuation lines sit one level deeper, and so do joins.

#include "sql/format_internal.h"
#include "sql/sql_formatter.h"

namespace {

struct ClauseName {
  const char* text;
  ClauseWord word;
};
constexpr ClauseName clauseNames[] = {
    {"CONNECT", clauseConnect}, {"FROM", clauseFrom},
    {"GROUP", clauseGroup},     {"HAVING", clauseHaving},
    {"LOG", clauseLog},         {"ORDER", clauseOrder},
    {"REJECT", clauseReject},   {"RETURNING", clauseReturning},
    {"SET", clauseSet},         {"START", clauseStart},
    {"WHERE", clauseWhere},
};

// Writes the current keyword if its canonical text is `name`. Returns 0
// at the end of the input, else 1.
int optionalKeyword(SqlFormatter& s, const char* name) {
  if (!keywordIs(s, name)) return 1;
  return writeKeyword(s);
}

}  // namespace

ClauseWord clauseWordOf(const KeywordEntry* entry) {
  if (entry == nullptr) return clauseOther;
  for (const ClauseName& clause : clauseNames) {
    if (std::strcmp(entry->text, clause.text) == 0) return clause.word;
  }
  return clauseOther;
}

int formatSelect(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int r = writeKeyword(s);
  if (r == 0) return 0;
  ++s.level;
  // A hint right after SELECT stays on the SELECT line; the list then
  // starts on the next one.
  r = writeHint(s);
  if (r == 0) return 0;
  s.context = ctxSelectList;
  r = formatList(s);
  if (r == 0) return 0;
  while (r != 0) {
    entry.restore();
    if (s.current.kind != kwClause) return r;
    endLine(s);
    const ClauseWord clause = clauseWordOf(s.current.keywordEntry);
    r = writeKeyword(s);
    if (r == 0) return 0;
    ++s.level;
    switch (clause) {
      case clauseConnect:
        if (optionalKeyword(s, "BY") == 0) return 0;
        if (optionalKeyword(s, "NOCYCLE") == 0) return 0;
        if (optionalKeyword(s, "PRIOR") == 0) return 0;
        [[fallthrough]];
      case clauseStart:
        if (optionalKeyword(s, "WITH") == 0) return 0;
        s.context = ctxCondition;
        r = formatCondition(s);
        break;
      case clauseWhere:
      case clauseHaving:
        s.context = ctxCondition;
        r = formatCondition(s);
        break;
      case clauseFrom:
        s.context = ctxFrom;
        r = formatFromList(s);
        break;
      case clauseOrder:
        if (optionalKeyword(s, "SIBLINGS") == 0) return 0;
        [[fallthrough]];
      case clauseGroup:
        if (s.current.kind == kwBy) {
          r = writeKeyword(s);
          if (r == 0) return 0;
        }
        s.context = ctxSelectList;
        r = formatList(s);
        break;
      case clauseReject:
      case clauseLog:
      case clauseReturning:
        s.context = ctxSelectList;
        r = formatList(s);
        break;
      case clauseSet:
      case clauseOther:
        // Nothing more: the loop goes on with the token after the keyword.
        break;
    }
  }
  return r;
}

int formatFromList(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  return formatListItems(s, true);
}

int formatParenFromItem(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  endLine(s);
  writeText(s, "(");
  ++s.level;
  for (;;) {
    if (advance(s) == 0) return 0;
    if (formatFromList(s) == 0) return 0;
    if (s.current.kind != sqlCloseParen) {
      writeItemSeparator(s);
      continue;
    }
    entry.restore();
    endLine(s);
    writeText(s, ")");
    int r = advance(s);
    if (r == 0) return 0;
    if (s.current.kind == kwSetOperator) r = writeSetOperator(s);
    return r;
  }
}

int formatWith(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  int r = writeKeyword(s);
  if (r == 0) return 0;
  // Every comma of the WITH list ends the line and the level stays: each
  // query name starts a line at the level of WITH.
  s.context = ctxWith;
  endLine(s);
  r = formatList(s);
  if (r == 0) return 0;
  endLine(s);
  return formatStatement(s);
}
