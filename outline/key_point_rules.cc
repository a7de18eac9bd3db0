#include "outline/key_point_rules.h"

#include <cstring>

#include "base/bounded_copy.h"
#include "trace/trace_scanner.h"

namespace {

inline bool isCaptionSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Offset of the first line feed at or after `from`, or -1 when a zero byte
// (or the end of the text) comes first.
int32_t findLineFeed(const unsigned char* text, int32_t length, int32_t from) {
  for (int32_t i = from; i < length; ++i) {
    if (text[i] == '\n') return i;
    if (text[i] == 0) return -1;
  }
  return -1;
}

}  // namespace

bool KeyPointBuilder::isKeyKind(int32_t kind) {
  switch (kind) {
    case tkRegisteredQb:
    case tkOptParams:
    case tkQbTransformation:
    case tkBindVars:
    case tkFinalQuery:
    case tkFinalQbCost:
    case tkOptimizingQb:
    case tkJoinOrder:
    case tkBestSoFar:
    case tkJoinOrderAborted:
    case tkSqlDump:
    case tkExplainPlan:
    case tkOptStateDump:
    case tkNewEntry:
      return true;
    default:
      return false;
  }
}

void KeyPointBuilder::captionWithNextWord(char* caption, const char* prefix, int32_t pos,
                                          int32_t maxWord) const {
  size_t used = boundedCopy(caption, kKeyPointCaptionSize, prefix);
  int32_t i = pos;
  while (i < length_ && isCaptionSpace(text_[i])) ++i;
  int32_t taken = 0;
  // The word ends at white space, at a zero byte or at the bound.
  while (i < length_ && taken < maxWord && text_[i] != 0 && !isCaptionSpace(text_[i]) &&
         used + 1 < static_cast<size_t>(kKeyPointCaptionSize)) {
    caption[used++] = static_cast<char>(text_[i++]);
    ++taken;
  }
  caption[used] = 0;
}

bool KeyPointBuilder::append(int32_t level, int32_t kind, int32_t line, int32_t column, int32_t pos,
                             int32_t queryStart, int32_t queryLength, const char* caption) {
  KeyPoint* record = appendKeyPoint(list_);
  if (!record) return false;
  record->level = level;
  record->kind = kind;
  record->line = line;
  record->column = column;
  record->pos = pos;
  record->queryStart = queryStart;
  record->queryLength = queryLength;
  boundedCopy(record->caption, kKeyPointCaptionSize, caption);
  return true;
}

bool KeyPointBuilder::onToken(int32_t kind, int32_t line, int32_t column, int32_t pos) {
  char caption[kKeyPointCaptionSize] = "";
  int32_t level = 1;
  int32_t queryStart = 0;
  int32_t queryLength = 0;
  switch (kind) {
    case tkRegisteredQb:
      level = 2;
      captionWithNextWord(caption, "#02#", pos, 50);
      break;
    case tkOptParams:
      boundedCopy(caption, sizeof caption, "Optimizer Parameters");
      break;
    case tkQbTransformation:
      captionWithNextWord(caption, "Transform ", pos, 40);
      break;
    case tkBindVars:
      boundedCopy(caption, sizeof caption, "Bind Vars");
      break;
    case tkFinalQuery: {
      boundedCopy(caption, sizeof caption, "Final Query");
      const int32_t lineEnd = findLineFeed(text_, length_, pos);
      if (lineEnd >= 0) {
        queryStart = lineEnd + 1;
        const int32_t queryEnd = findLineFeed(text_, length_, queryStart);
        if (queryEnd >= 0) queryLength = queryEnd - queryStart;
      }
      break;
    }
    case tkFinalQbCost:
      level = 3;
      captionWithNextWord(caption, "Final cost for ", pos, 40);
      break;
    case tkOptimizingQb:
      level = 2;
      captionWithNextWord(caption, "#03#", pos, 50);
      break;
    case tkJoinOrder:
      // Join orders outside an optimised query block get a block of their own.
      if (lastLevel_ < 2 &&
          !append(2, tkOptimizingQb, line, column, pos, 0, 0, "#03#Permutations")) {
        return false;
      }
      level = 3;
      captionWithNextWord(caption, "Join Order ", pos, 40);
      break;
    case tkBestSoFar:
    case tkJoinOrderAborted:
      level = 3;
      break;
    case tkSqlDump:
      boundedCopy(caption, sizeof caption, "SQL Dump");
      break;
    case tkExplainPlan:
      boundedCopy(caption, sizeof caption, "Explain Plan");
      break;
    case tkOptStateDump:
      boundedCopy(caption, sizeof caption, "Optimizer State");
      break;
    case tkNewEntry:
      level = 0;
      break;
    default:
      return true;
  }
  if (!append(level, kind, line, column, pos, queryStart, queryLength, caption)) return false;
  lastLevel_ = level;
  return true;
}
