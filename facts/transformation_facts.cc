// Lines on which the optimizer states whether a transformation paid off.
#include <emmintrin.h>

#include <cstring>

#include "facts/facts_internal.h"

namespace {

struct VerdictPhrase {
  std::string_view needle;
  int32_t verdict;  // 0: decided by the word before the needle
};

// "best state" is preceded by "Updated" (kept) or "Not update" (dropped).
constexpr VerdictPhrase kPhrases[] = {
    {"is better cost", kTransformationBetter},
    {"is worse cost", kTransformationWorse},
    {"best state", 0},
};

inline bool isUpperOrDigit(char c) { return byteIs(c, kUpperByte | kDigitByte); }

bool endsWith(const char* text, int32_t begin, int32_t end, std::string_view suffix) {
  return static_cast<size_t>(end - begin) >= suffix.size() &&
         std::memcmp(text + end - static_cast<int32_t>(suffix.size()), suffix.data(), suffix.size()) == 0;
}

int32_t stateVerdict(const char* text, int32_t lineBegin, int32_t at) {
  int32_t end = at;
  while (end > lineBegin && text[end - 1] == ' ') --end;
  if (endsWith(text, lineBegin, end, "Not update")) return kTransformationWorse;
  if (endsWith(text, lineBegin, end, "Updated")) return kTransformationBetter;
  return 0;
}

// «ORE: ...» gives "ORE": an upper-case word and a colon opening the line.
TextSpan linePrefix(const char* text, TextSpan line) {
  int32_t i = line.offset;
  const int32_t end = line.offset + line.length;
  while (i < end && isUpperOrDigit(text[i])) ++i;
  if (i == line.offset || i >= end || text[i] != ':') return TextSpan{};
  return spanOf(line.offset, i);
}

constexpr int kPhraseCount = sizeof kPhrases / sizeof kPhrases[0];

// The phrase that starts at `at` and ends by `to`, or -1.
int phraseAt(const char* text, int32_t at, int32_t to) {
  for (int p = 0; p < kPhraseCount; ++p) {
    const std::string_view needle = kPhrases[p].needle;
    if (to - at >= static_cast<int32_t>(needle.size()) && std::memcmp(text + at, needle.data(), needle.size()) == 0) {
      return p;
    }
  }
  return -1;
}

struct PhraseHit {
  int32_t at;
  int phrase;
};

// The first phrase in text[from, to), or {-1, -1}: one walk for all of
// them. Every phrase starts "is " or «b??t », so only the offsets that
// look so are compared.
PhraseHit nextPhrase(const char* text, int32_t from, int32_t to) {
  int32_t i = from;
  auto load = [&](int32_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)); };
  auto equal = [](__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  for (; i + 20 <= to; i += 16) {
    const __m128i at0 = load(i);
    const __m128i at1 = load(i + 1);
    const __m128i at2 = load(i + 2);
    const __m128i at3 = load(i + 3);
    const __m128i at4 = load(i + 4);
    const __m128i is = _mm_and_si128(_mm_and_si128(equal(at0, 'i'), equal(at1, 's')), equal(at2, ' '));
    const __m128i best = _mm_and_si128(_mm_and_si128(equal(at0, 'b'), equal(at3, 't')), equal(at4, ' '));
    for (uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(is, best))); mask; mask &= mask - 1) {
      const int32_t at = i + __builtin_ctz(mask);
      const int p = phraseAt(text, at, to);
      if (p >= 0) return PhraseHit{at, p};
    }
  }
  for (; i < to; ++i) {
    const int p = phraseAt(text, i, to);
    if (p >= 0) return PhraseHit{i, p};
  }
  return PhraseHit{-1, -1};
}

}  // namespace

bool readTransformations(FactContext& c, int32_t from, int32_t to, int32_t fromLine, int32_t contextAt) {
  int32_t countedAt = from;
  int32_t countedLine = fromLine;
  int32_t lastLineBegin = -1;
  // The phrases' occurrences in text order, one fact per line.
  for (PhraseHit hit = nextPhrase(c.text, from, to); hit.at >= 0; hit = nextPhrase(c.text, hit.at + 1, to)) {
    const int32_t at = hit.at;
    const int p = hit.phrase;
    TraceLine line;
    LineReader reader(c.text, to, lineStartOf(c.text, from, at), 0);
    reader.next(line);
    if (line.begin == lastLineBegin) continue;
    if (line.end < at + static_cast<int32_t>(kPhrases[p].needle.size())) continue;  // after a carriage return
    const int32_t verdict = kPhrases[p].verdict ? kPhrases[p].verdict : stateVerdict(c.text, line.begin, at);
    if (verdict == 0) continue;
    TransformationFact* fact = appendFact(c.facts.transformations);
    if (!fact) return false;
    countedLine = lineOfOffset(c.text, countedAt, countedLine, line.begin);
    countedAt = line.begin;
    lastLineBegin = line.begin;
    fact->line = countedLine;
    fact->verdict = verdict;
    fact->text = trimmedLine(c.text, line);
    fact->kind = linePrefix(c.text, fact->text);
    const TextSpan named = valueAfterKey(c.text, line, "query block ");
    fact->queryBlock = named.present() ? named : contextAt >= 0 ? wordOnLine(c.text, contextAt, c.length) : TextSpan{};
  }
  return true;
}
