// Oracle SQL tokenizer (being filled in).
#include "sql/sql_tokenizer.h"

void buildSqlDispatch() { buildKeywordTable(); }

bool isNameByte(unsigned char byte) {
  return byte == '#' || byte == '$' || byte == '_' || byte >= 0x80 ||
         (byte >= '0' && byte <= '9') || ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
}

bool nextSqlToken(ScanState& state) {
  state.kind = sqlEnd;
  return false;
}
