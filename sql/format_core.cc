// The formatter's state, output primitives, token advance, run procedure
// and statement dispatcher.

#include <cstring>
#include <limits>

#include "sql/format_internal.h"
#include "sql/sql_formatter.h"

namespace {

// Makes sure a write of n bytes (plus its terminating zero) fits, asking
// the grow hook when it does not. A failed write records status -3; once
// the run stopped for nesting (status -2) nothing more is written at all.
bool ensureRoom(SqlFormatter& s, int64_t n) {
  if (s.status == sqlFormatTooDeep) return false;
  // outLength must stay representable, whatever room a hook hands out.
  const bool lengthFits =
      n < std::numeric_limits<int32_t>::max() - int64_t{s.outLength};
  if (lengthFits && s.out != nullptr && s.room > n) return true;
  if (lengthFits && s.growHook != nullptr) {
    s.growHook(s, static_cast<int32_t>(n));
    if (s.out != nullptr && s.room > n) return true;
  }
  // Status 1 is no error, so a failure while copying the rest replaces it:
  // a truncated output must never count as a success.
  if (s.status >= 0) s.status = sqlFormatNoRoom;
  return false;
}

// Appends n bytes that ensureRoom has admitted, and the terminating zero.
void append(SqlFormatter& s, const char* bytes, int32_t n) {
  std::memcpy(s.out + s.outLength, bytes, static_cast<size_t>(n));
  s.outLength += n;
  s.room -= n;
  s.out[s.outLength] = 0;
  if (s.growHook != nullptr) s.growHook(s, 0);
}

// Starts a fresh output line with the indentation of `level` plus the
// margin. The very first line of the output is never indented.
void indentNewLine(SqlFormatter& s) {
  if (s.lineStarted != 0 || s.outLength == 0) return;
  s.lineStarted = 1;
  int64_t spaces = int64_t{s.level} * s.indentUnit + s.margin;
  if (spaces < 0) spaces = 0;
  if (!ensureRoom(s, spaces)) return;
  s.column = static_cast<int32_t>(spaces);
  std::memset(s.out + s.outLength, ' ', static_cast<size_t>(spaces));
  s.outLength += static_cast<int32_t>(spaces);
  s.room -= static_cast<int32_t>(spaces);
  s.out[s.outLength] = 0;
  if (s.growHook != nullptr) s.growHook(s, 0);
}

// The statement keywords: the type each sets and the routine that lays the
// statement out.
struct DmlStatement {
  const char* keyword;
  int32_t type;
  int (*routine)(SqlFormatter&);
};
constexpr DmlStatement dmlStatements[] = {
    {"SELECT", stmtSelect, formatSelect},
    {"INSERT", stmtInsert, formatInsert},
    {"UPDATE", stmtUpdate, formatUpdate},
    {"DELETE", stmtDelete, formatDelete},
    {"MERGE", stmtMerge, formatMerge},
    {"WITH", stmtWith, formatWith},
};

// Lays out the statement whose keyword is current. The first statement
// keyword of the run decides the statement type.
int formatDmlStatement(SqlFormatter& s) {
  for (const DmlStatement& dml : dmlStatements) {
    if (!keywordIs(s, dml.keyword)) continue;
    if (s.statementType == stmtNone) s.statementType = dml.type;
    return dml.routine(s);
  }
  // A statement word without a routine: the statement ends here.
  if (s.statementType == stmtNone) s.statementType = stmtOtherDml;
  return 1;
}

bool isPlainComment(int32_t kind) {
  return kind == sqlComment || kind == sqlLineComment;
}

}  // namespace

void endLine(SqlFormatter& s) {
  if (s.lineStarted == 0) return;
  if (!ensureRoom(s, 2)) return;
  append(s, "\r\n", 2);
  s.lineStarted = 0;
}

void writeBytes(SqlFormatter& s, const char* bytes, int32_t n) {
  if (s.lineStarted == 0) indentNewLine(s);
  if (!ensureRoom(s, n)) return;
  append(s, bytes, n);
  s.column += n;
  s.lineStarted = 1;
}

void writeToken(SqlFormatter& s, const SqlToken& token) {
  writeBytes(s, reinterpret_cast<const char*>(token.text) + token.start,
             token.length);
}

void writeKeywordText(SqlFormatter& s, const SqlToken& token) {
  if (token.keywordEntry == nullptr) {
    writeToken(s, token);
    return;
  }
  writeBytes(s, token.keywordEntry->text, token.keywordEntry->length);
}

int writeKeyword(SqlFormatter& s) {
  writeKeywordText(s, s.current);
  writeSpace(s);
  return advance(s);
}

void writeItemSeparator(SqlFormatter& s) {
  writeSpace(s);
  writeToken(s, s.current);
  writeSpace(s);
}

int writeHint(SqlFormatter& s) {
  if (s.current.kind != sqlLineHint && s.current.kind != sqlHint) return 1;
  writeToken(s, s.current);
  endLine(s);
  return advance(s);
}

int nextFormatToken(SqlFormatter& s, int keepSpace) {
  // `previous` looks through plain comments, so spacing decisions after a
  // comment see the token before it; hints count as tokens.
  if (!isPlainComment(s.current.kind)) s.previous = s.current;
  ScanState& scan = *s.scanner;
  for (;;) {
    if (!nextSqlToken(scan)) return 0;
    s.current.text = scan.text;
    s.current.start = scan.tokenStart;
    s.current.length = scan.pos - scan.tokenStart;
    s.current.kind = scan.kind;
    s.current.startLine = scan.tokenLine;
    s.current.keywordEntry = scan.keywordEntry;
    if (keepSpace != 0 || scan.kind != sqlSpace) return 1;
  }
}

int32_t sqlFormatRun(SqlFormatter& state, char* out, int32_t room,
                     uint32_t options, int32_t indentUnit, int32_t lineWidth,
                     int32_t margin, ScanState& scanner,
                     SqlTokenAdvance nextToken, SVString* outString,
                     SqlGrowHook growHook) {
  state = SqlFormatter{};
  state.out = out;
  state.room = room;
  state.options = options;
  state.indentUnit = indentUnit;
  state.lineWidth = lineWidth;
  state.margin = margin;
  state.scanner = &scanner;
  state.nextToken = nextToken != nullptr ? nextToken : nextFormatToken;
  state.outString = outString;
  state.growHook = growHook;
  // An empty result is still a terminated text.
  if (out != nullptr && room > 0) out[0] = 0;

  int more = advance(state);
  if (more != 0) more = formatStatement(state);
  if (more != 0) {
    // The statement ended before the text did: copy the rest byte for
    // byte, white space and line ends included.
    if (state.status == sqlFormatDone) state.status = sqlFormatRestCopied;
    endLine(state);
    do {
      writeToken(state, state.current);
    } while (state.nextToken(state, 1) != 0);
  }
  return state.status;
}

int formatStatement(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  int r = 1;
  for (;;) {
    switch (s.current.kind) {
      case sqlLineComment:
        endLine(s);
        writeToken(s, s.current);
        endLine(s);
        if (advance(s) == 0) return 0;
        continue;
      case sqlComment: {
        endLine(s);
        writeToken(s, s.current);
        const int32_t commentLine = s.current.startLine;
        if (advance(s) == 0) return 0;
        // Comments that shared an input line share an output line.
        if (isPlainComment(s.current.kind) &&
            s.current.startLine == commentLine) {
          writeSpace(s);
        } else {
          endLine(s);
        }
        continue;
      }
      case sqlOpenParen:
        r = formatParenStatement(s);
        if (r == 0) return 0;
        continue;
      case sqlCloseParen:
      case kwCase:
        return r;
      case kwDml:
        r = formatDmlStatement(s);
        if (r == 0) return 0;
        break;
      default:
        break;
    }
    if (s.current.kind != kwSetOperator) return r;
    r = writeSetOperator(s);
    if (r == 0) return 0;
  }
}

int writeSetOperator(SqlFormatter& s) {
  endLine(s);
  int r = writeKeyword(s);
  if (r == 0) return 0;
  if (s.current.kind == kwAll) {
    r = writeKeyword(s);
    if (r == 0) return 0;
  }
  endLine(s);
  return r;
}

int formatParenStatement(SqlFormatter& s) {
  DepthGuard depth(s);
  if (depth.tooDeep()) return 0;
  SavedPlace entry(s);
  writeText(s, "(");
  endLine(s);
  ++s.level;
  for (;;) {
    if (advance(s) == 0) return 0;
    if (formatStatement(s) == 0) return 0;
    if (s.current.kind == sqlCloseParen) {
      entry.restore();
      endLine(s);
      writeText(s, ")");
      return advance(s);
    }
    writeItemSeparator(s);
  }
}
