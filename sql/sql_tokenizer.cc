// Oracle SQL tokenizer.
//
// One routine per kind of first byte, chosen through a 256-entry dispatch
// table, so a token costs one table lookup plus one pass over its bytes.
// Routines never read at or beyond pos + remaining: the formatter hands us
// slices of a larger trace that are not zero-terminated.
#include "sql/sql_tokenizer.h"

#include "base/byte_text.h"

namespace {

// Names continue over '#' and '$' but those bytes begin an operator run
// and a single byte respectively, so "name byte" and "operator character"
// are separate classes; bytes of 0x80 and up continue names too.
constexpr unsigned kName = kWordBytes | kDollarHashByte | kHighByte;  // continues a word or bind name
constexpr unsigned kOperator = kSqlOperatorByte;
constexpr unsigned kDigit = kDigitByte;

inline bool hasClass(unsigned char byte, unsigned classes) { return byteIs(byte, classes); }

// Ends the current token at offset `to`: advances pos and column, lowers
// remaining by the token's length.
inline void finish(ScanState& s, int32_t to, int32_t kind) {
  int32_t n = to - s.pos;
  s.pos = to;
  s.remaining -= n;
  s.column += n;
  s.kind = kind;
}

inline int32_t textEnd(const ScanState& s) { return s.pos + s.remaining; }

// Offset just past the run of bytes of class `bits` starting at `i`.
inline int32_t skipClass(const ScanState& s, int32_t i, unsigned bits) {
  const int32_t end = textEnd(s);
  while (i < end && hasClass(s.text[i], bits)) ++i;
  return i;
}

using SqlRoutine = void (*)(ScanState&);

// A zero byte ends the SQL text: nothing is consumed and nextSqlToken
// reports the end, so callers looping until false always stop.
void scanZero(ScanState& s) { s.kind = sqlEnd; }

// White space stops before a zero byte, which ends the text.
void scanSpace(ScanState& s) {
  const int32_t end = textEnd(s);
  int32_t i = s.pos;
  while (i < end && s.text[i] <= 0x20 && s.text[i] != 0) {
    if (s.text[i] == '\n') ++s.line;
    ++i;
  }
  finish(s, i, sqlSpace);
}

// Digits, an optional fraction, and an exponent only when digits follow
// the E (and its sign): "1e" and "1e+" end before the e.
void scanNumber(ScanState& s) {
  const int32_t end = textEnd(s);
  const unsigned char* p = s.text;
  int32_t i = skipClass(s, s.pos + 1, kDigit);
  if (i < end && p[i] == '.') i = skipClass(s, i + 1, kDigit);
  if (end - i >= 2 && (p[i] == 'E' || p[i] == 'e')) {
    unsigned char c = p[i + 1];
    if (c == '+' || c == '-') {
      if (end - i >= 3 && hasClass(p[i + 2], kDigit))
        i = skipClass(s, i + 3, kDigit);
    } else if (hasClass(c, kDigit)) {
      i = skipClass(s, i + 2, kDigit);
    }
  }
  finish(s, i, sqlNumber);
}

// A word, hashed while it is scanned so the keyword lookup reads it once.
void scanWord(ScanState& s) {
  const int32_t end = textEnd(s);
  const unsigned char* p = s.text;
  const int32_t start = s.pos;
  uint32_t h = keywordHashByte(0, p[start]);
  int32_t i = start + 1;
  for (; i < end && hasClass(p[i], kName); ++i) h = keywordHashByte(h, p[i]);
  const KeywordEntry* entry = lookupKeywordInChain(static_cast<int>(h & 255), p + start, i - start);
  finish(s, i, entry != nullptr ? int32_t{entry->wordClass} : int32_t{sqlWord});
  s.keywordEntry = entry;
}

void scanOperator(ScanState& s) {
  finish(s, skipClass(s, s.pos + 1, kOperator), sqlOperator);
}

void scanOpenParen(ScanState& s) {
  if (s.remaining >= 3 && s.text[s.pos + 1] == '+' && s.text[s.pos + 2] == ')')
    finish(s, s.pos + 3, sqlOuterJoin);
  else
    finish(s, s.pos + 1, sqlOpenParen);
}

// One byte of a fixed kind: ")", ",", ".", ";" and the other bytes. A
// routine per kind, so the dispatch alone decides the kind.
template <int32_t Kind>
void scanSingle(ScanState& s) {
  finish(s, s.pos + 1, Kind);
}

// Consumes up to and including the next `quote` from `i`, counting line
// feeds. Returns the offset past the quote, or the text's end (with
// *closed false) when there is none.
int32_t scanToQuote(ScanState& s, int32_t i, unsigned char quote, bool* closed) {
  // Locals, so the loop keeps the text and the count in registers.
  const unsigned char* text = s.text;
  const int32_t end = textEnd(s);
  int32_t lineFeeds = 0;
  for (; i < end; ++i) {
    const unsigned char c = text[i];
    if (c == quote) {
      s.line += lineFeeds;
      *closed = true;
      return i + 1;
    }
    lineFeeds += c == '\n';
  }
  s.line += lineFeeds;
  *closed = false;
  return end;
}

// A string literal, or the rest of one when stringMode is set. A doubled
// quote stands for one quote and keeps the literal open.
void scanString(ScanState& s) {
  int32_t i = s.pos;
  if (s.mode == 0) {
    ++i;
    s.mode = stringMode;
  }
  bool closed = false;
  for (;;) {
    i = scanToQuote(s, i, '\'', &closed);
    if (!closed) break;
    if (i < textEnd(s) && s.text[i] == '\'') {
      ++i;
      continue;
    }
    s.mode = 0;
    break;
  }
  finish(s, i, sqlString);
}

// A double-quoted name, or the rest of one in quotedNameMode; no doubling.
void scanQuotedName(ScanState& s) {
  int32_t i = s.pos;
  if (s.mode == 0) {
    ++i;
    s.mode = quotedNameMode;
  }
  bool closed = false;
  i = scanToQuote(s, i, '"', &closed);
  if (closed) s.mode = 0;
  finish(s, i, sqlQuotedName);
}

// The body of a block comment from `i` up to and including "*/". Without a
// closing "*/" the token takes the rest and the mode stays set.
void scanCommentBody(ScanState& s, int32_t i) {
  const int32_t end = textEnd(s);
  const int32_t kind = s.mode == hintMode ? sqlHint : sqlComment;
  for (; end - i >= 2; ++i) {
    if (s.text[i] == '*' && s.text[i + 1] == '/') {
      s.mode = 0;
      finish(s, i + 2, kind);
      return;
    }
    if (s.text[i] == '\n') ++s.line;
  }
  if (i < end && s.text[i] == '\n') ++s.line;
  finish(s, end, kind);
}

// "--" (or "--+", a hint) up to the line end; else a one-byte operator.
void scanMinus(ScanState& s) {
  if (s.remaining < 2 || s.text[s.pos + 1] != '-') {
    finish(s, s.pos + 1, sqlOperator);
    return;
  }
  const int32_t end = textEnd(s);
  int32_t kind =
      s.remaining >= 3 && s.text[s.pos + 2] == '+' ? sqlLineHint : sqlLineComment;
  int32_t i = s.pos + 2;
  while (i < end && s.text[i] != '\r' && s.text[i] != '\n') ++i;
  finish(s, i, kind);
}

// "/*" (or "/*+", a hint) opens a block comment; else a one-byte operator.
void scanSlash(ScanState& s) {
  if (s.remaining < 2 || s.text[s.pos + 1] != '*') {
    finish(s, s.pos + 1, sqlOperator);
    return;
  }
  s.mode = s.remaining >= 3 && s.text[s.pos + 2] == '+' ? hintMode : commentMode;
  scanCommentBody(s, s.pos + 2);
}

void scanBar(ScanState& s) {
  if (s.remaining >= 2 && (s.text[s.pos + 1] == '|' || s.text[s.pos + 1] == '='))
    finish(s, s.pos + 2, sqlOperator);
  else
    finish(s, s.pos + 1, sqlChar);
}

// ":name" is a bind variable; otherwise the colon begins an operator run,
// so ":=" is one operator.
void scanColon(ScanState& s) {
  if (s.remaining >= 2 && isNameByte(s.text[s.pos + 1]))
    finish(s, skipClass(s, s.pos + 2, kName), sqlBind);
  else
    scanOperator(s);
}

// A database-link suffix takes the same two forms as the colon.
void scanAt(ScanState& s) {
  scanColon(s);
  s.kind = sqlAt;
}

SqlRoutine dispatch[256];

}  // namespace

void buildSqlDispatch() {
  buildKeywordTable();
  for (int b = 0; b < 256; ++b) {
    SqlRoutine r = scanSingle<sqlChar>;
    auto byte = static_cast<unsigned char>(b);
    if (b == 0) r = scanZero;
    else if (b <= 0x20) r = scanSpace;
    else if (hasClass(byte, kDigit)) r = scanNumber;
    else if (hasClass(byte, kOperator)) r = scanOperator;
    else if (hasClass(byte, kName) && b != '$') r = scanWord;
    dispatch[b] = r;
  }
  dispatch[uint8_t{'('}] = scanOpenParen;
  dispatch[uint8_t{')'}] = scanSingle<sqlCloseParen>;
  dispatch[uint8_t{','}] = scanSingle<sqlComma>;
  dispatch[uint8_t{'.'}] = scanSingle<sqlDot>;
  dispatch[uint8_t{';'}] = scanSingle<sqlSemicolon>;
  dispatch[uint8_t{'\''}] = scanString;
  dispatch[uint8_t{'"'}] = scanQuotedName;
  dispatch[uint8_t{'-'}] = scanMinus;
  dispatch[uint8_t{'/'}] = scanSlash;
  dispatch[uint8_t{'|'}] = scanBar;
  dispatch[uint8_t{':'}] = scanColon;
  dispatch[uint8_t{'@'}] = scanAt;
}

bool isNameByte(unsigned char byte) { return hasClass(byte, kName); }

bool nextSqlToken(ScanState& s) {
  if (s.remaining <= 0) {
    s.kind = sqlEnd;
    return false;
  }
  s.tokenStart = s.pos;
  s.tokenLine = s.line;
  s.keywordEntry = nullptr;
  if (s.mode == 0) {
    dispatch[s.text[s.pos]](s);
    return s.kind != sqlEnd;
  }
  // Continue the token a previous piece of text left open.
  if (s.mode == stringMode) scanString(s);
  else if (s.mode == quotedNameMode) scanQuotedName(s);
  else scanCommentBody(s, s.pos);
  return true;
}
