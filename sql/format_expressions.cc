// The expression-level formatting routines every clause uses: expression
// runs, argument lists, parenthesised expressions, CASE, comma lists and
// conditions.

#include "sql/format_internal.h"
#include "sql/sql_formatter.h"

namespace {

// Writes a join word (a modifier or JOIN) inside a FROM list: it opens a
// new line unless a modifier stands before it on the same line.
void writeJoinWord(SqlFormatter& s, int32_t previousKind) {
  if (previousKind == kwJoinModifier) {
    writeSpace(s);
  } else {
    endLine(s);
  }
  writeKeywordText(s, s.current);
}

// The loop of formatArguments and formatParenExpression after the "(":
// expression runs separated by commas (which may end the line) up to ")".
// Returns with the ")" current and not yet written, or 0 at the end.
int formatParenItems(SqlFormatter& s) {
  for (;;) {
    if (advance(s) == 0) return 0;
    if (formatExpression(s) == 0) return 0;
    if (s.current.kind == sqlCloseParen) return 1;
    if (s.current.kind == sqlComma) {
      writeText(s, ", ");
      if (beyondWidth(s, 30)) endLine(s);
    } else {
      writeItemSeparator(s);
    }
  }
}

}  // namespace

int formatExpression(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int items = 0;
  int r = 1;
  while (r != 0) {
    int32_t p = s.previous.kind;
    switch (s.current.kind) {
      case sqlNumber:
      case sqlOperator:
      case sqlString:
      case sqlBind:
      case kwBy:
      case kwReserved:
      case kwObjectType:
      case kwProcedural:
      case kwDataType:
      case kwException:
      case kwPackage:
      case kwClientCommand:
      case kwRemark:
        if (items > 0 && p != sqlDot && p != sqlAt && p != sqlOpenParen) {
          writeSpace(s);
        }
        writeToken(s, s.current);
        break;
      case sqlDot:
      case sqlAt:
      case sqlOuterJoin:
        writeToken(s, s.current);
        break;
      case sqlWord:
      case sqlQuotedName:
      case kwFunction:
        if (items > 0 && p != sqlDot && p != sqlOpenParen) writeSpace(s);
        writeToken(s, s.current);
        if (advance(s) == 0) return 0;
        ++items;
        if (s.current.kind == sqlOpenParen) {
          s.context = ctxArguments;
          r = formatArguments(s);
        }
        continue;
      case kwCase:
        // THEN, WHEN and ELSE belong to the enclosing CASE.
        if (!keywordIs(s, "CASE")) return r;
        if (items > 0) writeSpace(s);
        r = formatCase(s);
        ++items;
        continue;
      case sqlLineComment:
      case sqlComment:
        // A comment stays on the line of the token it followed in the input.
        if (s.previous.startLine == s.current.startLine) {
          writeSpace(s);
        } else {
          endLine(s);
        }
        writeToken(s, s.current);
        if (s.current.kind == sqlLineComment) endLine(s);
        break;
      case sqlOpenParen:
        if (items > 0 && p != sqlOpenParen) writeSpace(s);
        ++items;
        r = formatParenExpression(s);
        continue;
      case kwIn:
        writeText(s, " IN ");
        if (advance(s) == 0) return 0;
        ++items;
        if (s.current.kind == sqlOpenParen) {
          s.context = ctxInList;
          r = formatArguments(s);
        }
        continue;
      case kwDml: {
        if (keywordIs(s, "DELETE")) return r;
        const bool select = keywordIs(s, "SELECT");
        const bool nestedQuery =
            p == sqlOpenParen ||
            (select && (p == kwSetOperator || p == kwAll));
        if (select || (keywordIs(s, "WITH") && nestedQuery)) {
          if (!nestedQuery) return r;
          // A sub-query starts on a new line; the run goes on after it.
          endLine(s);
          r = formatStatement(s);
          endLine(s);
          continue;
        }
        writeSpace(s);
        writeToken(s, s.current);
        break;
      }
      case kwJoinModifier:
        if (s.context != ctxFrom) {
          writeSpace(s);
          writeToken(s, s.current);
          break;
        }
        if (advance(s) == 0) return 0;
        if (s.current.kind != kwJoinModifier && s.current.kind != kwJoin) {
          // Not a join after all (an alias such as LEFT): keep its letters.
          writeSpace(s);
          writeToken(s, s.previous);
          continue;
        }
        endLine(s);
        writeKeywordText(s, s.previous);
        writeJoinWord(s, kwJoinModifier);
        break;
      case kwJoin:
        if (s.context == ctxFrom) {
          writeJoinWord(s, p);
        } else {
          writeSpace(s);
          writeToken(s, s.current);
        }
        break;
      case kwOn:
        if (s.context == ctxFrom) {
          writeText(s, " ON ");
          if (advance(s) == 0) return 0;
          r = formatCondition(s);
          continue;
        }
        writeSpace(s);
        writeToken(s, s.current);
        break;
      default:
        return r;
    }
    // The common step after a token written in place.
    r = advance(s);
    ++items;
  }
  return r;
}

int formatArguments(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  ++s.level;
  writeText(s, "(");
  if (formatParenItems(s) == 0) return 0;
  writeText(s, ")");
  return advance(s);
}

int formatParenExpression(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  // "(" goes out before the level rises and ")" while it is still raised,
  // so a ")" that starts a line sits one level deeper than its "(".
  writeText(s, "(");
  ++s.level;
  if (formatParenItems(s) == 0) return 0;
  writeText(s, ")");
  entry.restore();
  return advance(s);
}

int formatCase(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  s.context = ctxCase;
  endLine(s);
  int r = writeKeyword(s);
  if (r == 0) return 0;
  ++s.level;
  const int32_t branchContext = s.context;
  const int32_t branchLevel = s.level;
  while (r != 0) {
    if (s.current.kind == kwEnd) {
      entry.restore();
      endLine(s);
      writeText(s, "END");
      return advance(s);
    }
    if (s.current.kind == kwCase) {
      if (keywordIs(s, "WHEN") || keywordIs(s, "ELSE")) {
        s.context = branchContext;
        s.level = branchLevel;
      }
      if (!keywordIs(s, "THEN") || beyondWidth(s, 30)) {
        endLine(s);
      } else {
        writeSpace(s);
      }
      r = writeKeyword(s);
      if (r == 0) return 0;
      ++s.level;
    }
    r = formatCondition(s);
    if (r == 0) return 0;
    if (s.current.kind != kwCase && s.current.kind != kwEnd) {
      writeToken(s, s.current);
      r = advance(s);
    }
  }
  return r;
}

int formatListItems(SqlFormatter& s, bool fromItems) {
  int r = 1;
  while (r != 0) {
    while (fromItems && s.current.kind == sqlOpenParen) {
      r = formatParenFromItem(s);
      if (r == 0) return 0;
    }
    r = formatExpression(s);
    if (r == 0) return 0;
    switch (s.current.kind) {
      case kwClause:
      case kwSetOperator:
      case sqlCloseParen:
      case kwDml:
      case kwCase:
        return r;
      case sqlComma:
        // ", " keeps its trailing space at a line end.
        writeText(s, ", ");
        if (advance(s) == 0) return 0;
        if (s.current.kind == kwFunction || s.context == ctxWith ||
            s.context == ctxSet || (s.options & compactLists) == 0 ||
            beyondWidth(s, 30)) {
          endLine(s);
        }
        continue;
      case kwInto:
        writeSpace(s);
        if ((s.options & compactLists) == 0 || beyondWidth(s, 40)) endLine(s);
        r = writeKeyword(s);
        ++s.level;
        continue;
      default:
        writeItemSeparator(s);
        r = advance(s);
        continue;
    }
  }
  return r;
}

int formatList(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  return formatListItems(s, false);
}

int formatCondition(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  int r = 1;
  while (r != 0) {
    for (;;) {
      if (s.current.kind == sqlOpenParen) {
        r = formatParenCondition(s);
        if (r == 0) return 0;
      } else if (keywordIs(s, "NOT")) {
        r = writeKeyword(s);
        if (r == 0) return 0;
      } else {
        break;
      }
    }
    r = formatExpression(s);
    if (r == 0) return 0;
    switch (s.current.kind) {
      case sqlOpenParen:
        continue;
      case sqlCloseParen:
      case kwClause:
      case kwSetOperator:
      case kwCase:
      case kwEnd:
        return r;
      case sqlComma:
        writeText(s, ", ");
        break;
      case kwAndOr:
        // Join and CASE conditions keep AND/OR on a short line; elsewhere
        // each one begins a line.
        if ((s.context == ctxCase || s.context == ctxFrom) &&
            int64_t{s.column} + 30 < s.lineWidth) {
          writeSpace(s);
        } else {
          endLine(s);
        }
        writeKeywordText(s, s.current);
        writeSpace(s);
        break;
      default:
        writeItemSeparator(s);
        break;
    }
    r = advance(s);
  }
  return r;
}

int formatParenCondition(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  ++s.level;
  writeText(s, "(");
  for (;;) {
    if (advance(s) == 0) return 0;
    if (formatCondition(s) == 0) return 0;
    if (s.current.kind == sqlCloseParen) {
      writeText(s, ")");
      return advance(s);
    }
    writeItemSeparator(s);
  }
}
