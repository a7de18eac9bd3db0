// The Oracle SQL tokenizer: cuts SQL text into tokens for the formatter
// and for the token-by-token check of a formatted result.
//
// It shares ScanState and scanInit with the trace scanner but has its own
// 256-entry dispatch table. `mode` carries an unterminated comment, hint,
// string or quoted name from one piece of text into the next.
#pragma once

#include <cstdint>

#include "sql/keyword_table.h"
#include "trace/scan_state.h"

// Token kinds. The numbers are fixed: the formatter tests them and the
// result check compares them. 20 to 43 are the keyword classes.
enum SqlTokenKind : int32_t {
  sqlEnd = 0,
  sqlSpace = 1,
  sqlNumber = 2,
  sqlOperator = 3,
  sqlChar = 4,
  sqlWord = 5,
  sqlString = 6,
  sqlComment = 7,
  sqlLineComment = 8,
  sqlLineHint = 9,
  sqlHint = 10,
  sqlOpenParen = 11,
  sqlCloseParen = 12,
  sqlComma = 13,
  sqlDot = 14,
  sqlSemicolon = 15,
  sqlQuotedName = 16,
  sqlBind = 17,
  sqlAt = 18,
  sqlOuterJoin = 19,
  kwDml = 20,
  kwClause = 21,
  kwJoinModifier = 22,
  kwJoin = 23,
  kwOn = 24,
  kwSetOperator = 25,
  kwAll = 26,
  kwFirst = 27,
  kwInto = 28,
  kwValues = 29,
  kwAndOr = 30,
  kwIn = 31,
  kwBy = 32,
  kwCase = 33,
  kwEnd = 34,
  kwReserved = 35,
  kwObjectType = 36,
  kwProcedural = 37,
  kwDataType = 38,
  kwException = 39,
  kwFunction = 40,
  kwPackage = 41,
  kwClientCommand = 42,
  kwRemark = 43,
};

// Values of ScanState::mode while a token is open at the end of a piece.
constexpr int32_t commentMode = 1;     // inside an unterminated /* comment
constexpr int32_t hintMode = 2;        // inside an unterminated /*+ hint
constexpr int32_t stringMode = 3;      // inside an unterminated 'string'
constexpr int32_t quotedNameMode = 4;  // inside an unterminated "name"

// Builds the keyword table, then the SQL dispatch table. Must run before
// the first nextSqlToken; running it again rebuilds the same tables.
void buildSqlDispatch();

// True for the bytes that continue a name: '#', '$', digits, ASCII
// letters, '_' and every byte from 0x80.
bool isNameByte(unsigned char byte);

// Scans one token: tokenStart, tokenLine, pos, remaining, column, line,
// kind, mode and keywordEntry describe it afterwards. Returns false, with
// kind sqlEnd, when no bytes remain or the next byte is a zero byte (the
// SQL text ends at a zero byte, so a loop until false always ends). Never
// reads at or beyond pos + remaining.
bool nextSqlToken(ScanState& state);
