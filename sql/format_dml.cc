// The routines for statements that change data: DELETE, UPDATE, INSERT
// (single-table, multi-table and conditional) and MERGE, with the clause
// loop that ends each of them.

#include "sql/format_internal.h"
#include "sql/sql_formatter.h"

namespace {

// Which statement runs the trailing clause loop: SET and FROM are taken
// only where the statement has them.
enum DmlKind { dmlDelete, dmlUpdate, dmlInsert, dmlMerge };

int formatTarget(SqlFormatter& s);

// The clause loop that ends every data-changing statement. It belongs to
// the calling routine (no depth of its own) and restores that routine's
// entry place before each clause. r is the caller's result so far.
int formatDmlClauses(SqlFormatter& s, SavedPlace& entry, DmlKind dml, int r) {
  while (r != 0) {
    entry.restore();
    if (s.current.kind != kwClause) return r;
    endLine(s);
    const ClauseWord clause = clauseWordOf(s.current.keywordEntry);
    r = writeKeyword(s);
    if (r == 0) return 0;
    ++s.level;
    if (clause == clauseLog || clause == clauseReject ||
        clause == clauseReturning) {
      s.context = ctxSelectList;
      r = formatList(s);
    } else if (clause == clauseWhere) {
      s.context = ctxCondition;
      r = formatCondition(s);
    } else if (clause == clauseSet && dml != dmlDelete) {
      s.context = ctxSet;
      r = formatList(s);
    } else if (clause == clauseFrom && dml == dmlDelete) {
      s.context = ctxFrom;
      r = formatFromList(s);
    } else {
      // A clause the statement does not have: its next token is written
      // here and, the clause being unknown, again by whatever follows.
      // The token-by-token check of the result rejects that output.
      writeToken(s, s.current);
    }
  }
  return r;
}

// A parenthesised list of columns or values, "(a, b) " with compact lists,
// else with the parentheses on lines of their own.
int formatColumnList(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  if (s.current.kind != sqlOpenParen) return 1;
  const bool compact = (s.options & compactLists) != 0;
  if (!compact) endLine(s);
  writeText(s, "(");
  ++s.level;
  if (!compact) endLine(s);
  int r = advance(s);
  if (r != 0) r = formatList(s);
  if (r == 0) return 0;
  entry.restore();
  if (s.current.kind == sqlCloseParen) {
    if (!compact) endLine(s);
    writeText(s, ") ");
    r = advance(s);
  }
  return r;
}

// VALUES and its list, on a new line.
int formatValues(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  if (s.current.kind != kwValues) return 1;
  endLine(s);
  int r = writeKeyword(s);
  if (r == 0) return 0;
  s.context = ctxValues;
  return formatColumnList(s);
}

// The table reference after INTO or USING: a sub-query in parentheses, or
// names joined by dots and link suffixes, up to the token that ends it.
int formatTarget(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int r = 1;
  int items = 0;
  if (s.current.kind == sqlOpenParen) {
    endLine(s);
    writeText(s, "(");
    ++s.level;
    endLine(s);
    if (advance(s) == 0) return 0;
    if (formatStatement(s) == 0) return 0;
    entry.restore();
    if (s.current.kind == sqlCloseParen) {
      endLine(s);
      writeText(s, ") ");
      r = advance(s);
      if (r == 0) return 0;
    }
  }
  for (;;) {
    if (r == 0) {
      writeSpace(s);
      return 0;
    }
    if (keywordIs(s, "USING")) {
      writeSpace(s);
      return r;
    }
    const int32_t p = s.previous.kind;
    switch (s.current.kind) {
      case sqlWord:
      case kwReserved:
        if (items > 0 && p != sqlDot && p != sqlAt) writeSpace(s);
        writeToken(s, s.current);
        break;
      case sqlDot:
      case sqlAt:
        writeToken(s, s.current);
        break;
      case sqlOpenParen:
      case kwDml:
      case kwOn:
      case kwValues:
        writeSpace(s);
        return r;
      case kwCase:
        return r;
      default:
        writeItemSeparator(s);
        break;
    }
    r = advance(s);
    ++items;
  }
}

// INTO and its target.
int formatInto(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  if (s.current.kind != kwInto) return 1;
  if (writeKeyword(s) == 0) return 0;
  return formatTarget(s);
}

// One or more INTO target (columns) [VALUES (...)] groups; in a
// multi-table INSERT each VALUES sits one level deeper than its INTO.
int formatIntoList(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int r = 1;
  while (s.current.kind == kwInto) {
    if (formatInto(s) == 0) return 0;
    if (formatColumnList(s) == 0) return 0;
    if (s.statementType == stmtMultiInsert) ++s.level;
    r = formatValues(s);
    if (r == 0) return 0;
    if (s.current.kind != kwInto) return r;
    entry.restore();
    endLine(s);
  }
  return r;
}

// The WHEN ... THEN INTO ... and ELSE INTO ... branches of a conditional
// INSERT.
int formatInsertWhen(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int r = 1;
  while (keywordIs(s, "WHEN")) {
    ++s.level;
    endLine(s);
    if (writeKeyword(s) == 0) return 0;
    ++s.level;
    s.context = ctxCase;
    r = formatCondition(s);
    if (r == 0) return 0;
    if (keywordIs(s, "THEN")) {
      endLine(s);
      if (writeKeyword(s) == 0) return 0;
      ++s.level;
      if (formatIntoList(s) == 0) return 0;
      r = formatValues(s);
      if (r == 0) return 0;
    }
    entry.restore();
    if (s.current.kind != kwCase) return r;
    if (!keywordIs(s, "ELSE")) continue;
    ++s.level;
    endLine(s);
    if (writeKeyword(s) == 0) return 0;
    ++s.level;
    if (formatIntoList(s) == 0) return 0;
    r = formatValues(s);
    if (r == 0) return 0;
  }
  return r;
}

// The query that feeds an INSERT, on a line of its own.
int formatInsertSource(SqlFormatter& s) {
  if (s.current.kind != kwDml && s.current.kind != sqlOpenParen) return 1;
  endLine(s);
  return formatStatement(s);
}

// USING and its source.
int formatUsing(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  if (!keywordIs(s, "USING")) return 1;
  if (writeKeyword(s) == 0) return 0;
  return formatTarget(s);
}

// Answers of matchWhenMatched.
constexpr int whenMatched = 1;
constexpr int whenNotMatched = 2;
constexpr int notWhenMatched = 3;

// Reads WHEN [NOT] MATCHED THEN, writing the words it recognises. Returns
// 0 at the end of the input, whenMatched, whenNotMatched, or
// notWhenMatched when the tokens do not form the phrase.
int matchWhenMatched(SqlFormatter& s) {
  if (!keywordIs(s, "WHEN")) return notWhenMatched;
  if (writeKeyword(s) == 0) return 0;
  int answer = whenMatched;
  if (keywordIs(s, "NOT")) {
    if (writeKeyword(s) == 0) return 0;
    answer = whenNotMatched;
  }
  if (!keywordIs(s, "MATCHED")) return notWhenMatched;
  if (writeKeyword(s) == 0) return 0;
  if (!keywordIs(s, "THEN")) return notWhenMatched;
  if (writeKeyword(s) == 0) return 0;
  return answer;
}

}  // namespace

int formatDelete(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  if (writeKeyword(s) == 0) return 0;
  ++s.level;
  int r = writeHint(s);
  if (r == 0) return 0;
  return formatDmlClauses(s, entry, dmlDelete, r);
}

int formatUpdate(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  if (writeKeyword(s) == 0) return 0;
  ++s.level;
  if (writeHint(s) == 0) return 0;
  // The table and its alias, up to SET.
  s.context = ctxFrom;
  int r = formatFromList(s);
  if (r == 0) return 0;
  return formatDmlClauses(s, entry, dmlUpdate, r);
}

int formatInsert(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  if (writeKeyword(s) == 0) return 0;
  int r = writeHint(s);
  if (r == 0) return 0;
  for (;;) {
    const int32_t kind = s.current.kind;
    if (kind == sqlComment || kind == sqlLineComment) {
      writeToken(s, s.current);
      if (kind == sqlComment) {
        writeSpace(s);
      } else {
        endLine(s);
      }
      r = advance(s);
      if (r == 0) return 0;
      continue;
    }
    if (kind == kwAll || kind == kwFirst || kind == kwCase) {
      if (kind != kwCase) {
        r = writeKeyword(s);
        if (r == 0) return 0;
        if (s.current.kind != kwCase) endLine(s);
      }
      s.statementType = stmtMultiInsert;
      if (formatInsertWhen(s) == 0) return 0;
      r = formatIntoList(s);
      if (r == 0) return 0;
      r = formatInsertSource(s);
      if (r == 0) return 0;
    } else if (kind == kwInto) {
      s.statementType = stmtInsert;
      r = formatIntoList(s);
      if (r == 0) return 0;
      r = formatInsertSource(s);
      if (r == 0) return 0;
    }
    break;
  }
  return formatDmlClauses(s, entry, dmlInsert, r);
}

namespace {

// One action of a WHEN MATCHED branch, when the current word is `action`:
// the action a level deeper on a line of its own, then `clause` with its
// `part` in `context`, then back to the statement's entry place. Sets r to
// the part's result; returns 0 when the run must stop.
int formatMatchedAction(SqlFormatter& s, SavedPlace& entry, const char* action, const char* clause,
                        int32_t context, int (*part)(SqlFormatter&), int& r) {
  if (!keywordIs(s, action)) return 1;
  ++s.level;
  endLine(s);
  if (writeKeyword(s) == 0) return 0;
  if (keywordIs(s, clause)) {
    if (writeKeyword(s) == 0) return 0;
    s.context = context;
    r = part(s);
    if (r == 0) return 0;
  }
  entry.restore();
  return 1;
}

}  // namespace

int formatMerge(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  if (writeKeyword(s) == 0) return 0;
  if (writeHint(s) == 0) return 0;
  if (formatInto(s) == 0) return 0;
  endLine(s);
  if (formatUsing(s) == 0) return 0;
  // The ON part is a plain expression run: "ON" as a word after a space,
  // the condition as a parenthesised expression.
  int r = formatExpression(s);
  if (r == 0) return 0;
  for (;;) {
    endLine(s);
    const int m = matchWhenMatched(s);
    r = m;
    if (m == 0) return 0;
    if (m == whenMatched) {
      if (formatMatchedAction(s, entry, "UPDATE", "SET", ctxSet, formatList, r) == 0) return 0;
      if (formatMatchedAction(s, entry, "DELETE", "WHERE", ctxCondition, formatCondition, r) == 0) return 0;
      continue;
    }
    if (m == whenNotMatched && keywordIs(s, "INSERT")) {
      ++s.level;
      endLine(s);
      if (writeKeyword(s) == 0) return 0;
      if (formatColumnList(s) == 0) return 0;
      r = formatValues(s);
      if (r == 0) return 0;
      if (keywordIs(s, "WHERE")) {
        endLine(s);
        if (writeKeyword(s) == 0) return 0;
        s.context = ctxCondition;
        r = formatCondition(s);
        if (r == 0) return 0;
      }
      entry.restore();
    }
    break;
  }
  return formatDmlClauses(s, entry, dmlMerge, r);
}
