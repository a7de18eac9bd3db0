// Lines on which the optimizer states whether a transformation paid off.
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

}  // namespace

bool readTransformations(FactContext& c, int32_t from, int32_t to, int32_t fromLine, int32_t contextAt) {
  constexpr int kCount = sizeof kPhrases / sizeof kPhrases[0];
  int32_t next[kCount];
  for (int p = 0; p < kCount; ++p) next[p] = findIn(c.text, from, to, kPhrases[p].needle);
  int32_t countedAt = from;
  int32_t countedLine = fromLine;
  int32_t lastLineBegin = -1;
  // The phrases' occurrences in text order, one fact per line.
  for (;;) {
    int p = -1;
    for (int q = 0; q < kCount; ++q) {
      if (next[q] >= 0 && (p < 0 || next[q] < next[p])) p = q;
    }
    if (p < 0) return true;
    const int32_t at = next[p];
    next[p] = findIn(c.text, at + 1, to, kPhrases[p].needle);
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
}
