// SQL keyword table (being filled in).
#include "sql/keyword_table.h"

void buildKeywordTable() {}
int keywordHash(const unsigned char*, int32_t) { return 0; }
const KeywordEntry* lookupKeyword(const unsigned char*, int32_t) { return nullptr; }
const KeywordEntry* keywordEntries() { return nullptr; }
const KeywordEntry* keywordChain(int) { return nullptr; }
