// The SQL keyword table: 1593 Oracle words in 24 classes, hashed into 256
// chains. Built once, read-only afterwards, never freed.
#pragma once

#include <cstdint>

// One keyword. `text` is the canonical spelling the formatter writes.
struct KeywordEntry {
  const KeywordEntry* next;  // next entry of the same chain, or null
  const char* text;          // canonical text, zero-terminated
  uint16_t length;           // strlen(text)
  uint16_t wordClass;        // SqlTokenKind of the word, 20 to 43
};

constexpr int keywordCount = 1593;
constexpr int keywordChainCount = 256;

// Fills the entry array from the class lists (class order 20, 21, 22, 23,
// 25, 24, 26..43, each list in its own order) and rebuilds the 256 chains.
// Within a chain entries ascend by length; of equal lengths the one
// inserted later comes first. Running it again rebuilds the same table.
void buildKeywordTable();

// One byte's step of the chain hash: h = (h << shift) + add. Letters add
// 2..27 case-blind, '_' 1 and "[\]^`" 0, each after doubling h; other
// bytes (digits, '$', '#', 0x80 and up) leave h as it is.
struct KeywordHashStep {
  uint8_t shift;
  uint8_t add;
};
struct KeywordHashSteps {
  KeywordHashStep byByte[256];
};
extern const KeywordHashSteps keywordHashSteps;

// Advances a word's hash over one more byte; starting from 0 and masking
// the result with 255 gives keywordHash. Inline so that the tokenizer can
// hash a word while it scans it.
inline uint32_t keywordHashByte(uint32_t h, unsigned char byte) {
  const KeywordHashStep step = keywordHashSteps.byByte[byte];
  return (h << step.shift) + step.add;
}

// The chain a word belongs to, 0 to 255. Letters count case-blind; digits,
// '$', '#' and bytes from 0x80 do not change the hash.
int keywordHash(const unsigned char* word, int32_t length);

// The entry whose text equals the word without regard to ASCII letter
// case, or null. Allocates nothing. buildKeywordTable must have run.
const KeywordEntry* lookupKeyword(const unsigned char* word, int32_t length);
// The same, for a caller that already has the word's keywordHash.
const KeywordEntry* lookupKeywordInChain(int bucket, const unsigned char* word, int32_t length);

// The whole entry array in table order (keywordCount entries), and the
// head of chain `bucket`; for tests and diagnostics.
const KeywordEntry* keywordEntries();
const KeywordEntry* keywordChain(int bucket);
