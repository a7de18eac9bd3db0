// Join orders, their «Best so far» costs, and the final cost of each
// query block's search.
#include <charconv>
#include <cstring>

#include "facts/facts_internal.h"

namespace {

// Join-order numbers below this are looked up in a table; others (never
// seen in real traces) by a bounded walk back.
constexpr int32_t kNumbered = 65536;
constexpr int32_t kFirstNumbered = 256;  // the table's first size, a power of two as kNumbered
constexpr int32_t kMaxWalkBack = 4096;
constexpr int kMaxContinuationLines = 64;
// The method and cost chosen for a join order's last step.
constexpr std::string_view kJoinMethod = "Best:: JoinMethod:";

// The figures of «Best so far:» and of a final cost, in any letter case.
constexpr std::string_view kFigureKeys[] = {"cost:", "card:", "bytes:"};


int32_t smallNumber(const char* text, TextSpan span) {
  if (!span.present() || span.length == 0 || span.length > 5) return -1;
  int32_t n = 0;
  for (int32_t i = 0; i < span.length; ++i) {
    const char d = text[span.offset + i];
    if (!isDigitByte(d)) return -1;
    n = n * 10 + (d - '0');
  }
  return n < kNumbered ? n : -1;
}

// «NAME[ALIAS]#N»: a '[' after the first byte, then ']', '#' and digits
// to the end.
bool isTableEntry(const char* text, int32_t begin, int32_t end) {
  int32_t i = end;
  while (i > begin && isDigitByte(text[i - 1])) --i;
  if (i == end || i - 2 <= begin || text[i - 1] != '#' || text[i - 2] != ']') return false;
  const void* open = std::memchr(text + begin + 1, '[', static_cast<size_t>(i - 2 - (begin + 1)));
  return open != nullptr;
}

// Calls `take` for each white-space separated word of text[from, end).
template <class Take>
bool forEachWord(const char* text, int32_t from, int32_t end, Take take) {
  for (int32_t i = skipSpaceBytes(text, from, end); i < end; i = skipSpaceBytes(text, i, end)) {
    const int32_t start = i;
    i = skipWordBytes(text, i, end);
    if (!take(start, i)) return false;
  }
  return true;
}

bool lineIsTableEntries(const char* text, const TraceLine& line) {
  bool any = false;
  forEachWord(text, line.begin, line.end, [&](int32_t b, int32_t e) {
    any = isTableEntry(text, b, e);
    return any;
  });
  return any;
}

}  // namespace

void JoinOrderReader::startStatement(const StatementFacts&) {
  ++stamp_;
  statementStart_ = c_.facts.joinOrders.count();
  stretchStart_ = statementStart_;
}

void JoinOrderReader::rememberNumber(TextSpan number, int32_t index) {
  const int32_t k = smallNumber(c_.text, number);
  if (k < 0 || tableFailed_) return;
  if (k >= numbered_) {
    // Grown by doubling to the largest number seen: join orders are
    // numbered from 1 up and stay small, and zeroing the whole range for
    // every trace cost more than reading a short trace's join orders.
    int32_t slots = numbered_ > 0 ? numbered_ : kFirstNumbered;
    while (slots <= k) slots *= 2;
    if (byNumber_.reserve(int64_t{slots} * 2 * sizeof(int32_t)) != 0) {
      tableFailed_ = true;
      return;
    }
    std::memset(reinterpret_cast<int32_t*>(byNumber_.data()) + 2 * numbered_, 0,
                static_cast<size_t>(slots - numbered_) * 2 * sizeof(int32_t));
    numbered_ = slots;
  }
  int32_t* slot = reinterpret_cast<int32_t*>(byNumber_.data()) + 2 * k;
  slot[0] = stamp_;
  slot[1] = index;
}

int32_t JoinOrderReader::lastWithNumber(TextSpan number) {
  const int32_t k = smallNumber(c_.text, number);
  if (k >= 0 && !tableFailed_) {
    if (k >= numbered_) return kNoFact;
    const int32_t* slot = reinterpret_cast<const int32_t*>(byNumber_.data()) + 2 * k;
    return slot[0] == stamp_ ? slot[1] : kNoFact;
  }
  const std::string_view wanted = c_.facts.view(number);
  const int32_t floor = c_.facts.joinOrders.count() - kMaxWalkBack;
  for (int32_t j = c_.facts.joinOrders.count() - 1; j >= statementStart_ && j >= floor; --j) {
    if (c_.facts.view(c_.facts.joinOrders[j].number) == wanted) return j;
  }
  return kNoFact;
}

bool JoinOrderReader::onJoinOrder(int32_t keyPoint, int32_t limit) {
  const KeyPoint& k = (*c_.keyPoints)[keyPoint];
  // Later releases write «Join order aborted2:», which the scan takes for
  // a join order: it marks the one above as aborted.
  if (k.pos + 7 <= c_.length && std::memcmp(c_.text + k.pos, " aborted", 8) == 0) {
    onAborted();
    return true;
  }
  LineReader reader = readerAfter(c_.text, limit, k);
  TraceLine line;
  reader.next(line);
  // Only «Join order[K]:» is a join order.
  int32_t i = line.begin;
  while (i < line.end && (c_.text[i] == ' ' || c_.text[i] == '\t')) ++i;
  if (i >= line.end || c_.text[i] != '[') return true;
  JoinOrderFact* order = appendFact(c_.facts.joinOrders);
  if (!order) return false;
  const int32_t index = c_.facts.joinOrders.count() - 1;
  order->line = k.line + 1;
  order->keyPoint = keyPoint;
  order->tables.first = c_.facts.tables.count();
  const void* close = std::memchr(c_.text + i, ']', static_cast<size_t>(line.end - i));
  if (!close) return true;
  const int32_t closeAt = static_cast<int32_t>(static_cast<const char*>(close) - c_.text);
  order->number = wordAfter(c_.text, i + 1, closeAt);
  rememberNumber(order->number, index);
  i = closeAt + 1;
  if (i < line.end && c_.text[i] == ':') ++i;

  int32_t tables = 0;
  auto take = [&](int32_t b, int32_t e) {
    TextSpan* table = appendFact(c_.facts.tables);
    if (!table) return false;
    *table = spanOf(b, e);
    ++tables;
    return true;
  };
  if (!forEachWord(c_.text, i, line.end, take)) return false;
  // A long list may go on over lines that hold nothing but entries.
  for (int n = 0; n < kMaxContinuationLines && reader.nextContent(line) && lineIsTableEntries(c_.text, line); ++n) {
    if (!forEachWord(c_.text, line.begin, line.end, take)) return false;
  }
  c_.facts.joinOrders[index].tables.count = tables;
  return true;
}

void JoinOrderReader::onBestSoFar(const KeyPoint& k, int32_t limit) {
  if (c_.facts.joinOrders.count() <= statementStart_) return;
  JoinOrderFact& order = c_.facts.joinOrders[c_.facts.joinOrders.count() - 1];
  LineReader reader = readerAfter(c_.text, limit, k);
  TraceLine line;
  reader.next(line);
  order.bestSoFarLine = k.line + 1;
  // One «Table#:» line per table joined; the last holds the order's total.
  TraceLine last = line;
  for (int n = 0; n < kMaxContinuationLines && reader.nextContent(line) && lineStartsWith(c_.text, line, "Table#:");
       ++n) {
    last = line;
  }
  TextSpan values[3];
  wordsAfterKeys(c_.text, last, kFigureKeys, values, 3);
  order.cost = values[0];
  order.card = values[1];
  order.bytes = values[2];
}

void JoinOrderReader::onAborted() {
  if (c_.facts.joinOrders.count() > statementStart_) {
    ++c_.facts.joinOrders[c_.facts.joinOrders.count() - 1].abortedLines;
  }
}

void JoinOrderReader::readLastStepCosts(const KeyPoint& finalCost) {
  const KeyPoints_c& keyPoints = *c_.keyPoints;
  const int32_t end = c_.facts.joinOrders.count();
  for (int32_t j = stretchStart_; j < end; ++j) {
    JoinOrderFact& order = c_.facts.joinOrders[j];
    const KeyPoint& at = keyPoints[order.keyPoint];
    const KeyPoint& next = j + 1 < end ? keyPoints[c_.facts.joinOrders[j + 1].keyPoint] : finalCost;
    const int32_t to = next.pos - next.column;
    int32_t last = -1;
    for (int32_t hit = findIn(c_.text, at.pos, to, kJoinMethod); hit >= 0;
         hit = findIn(c_.text, hit + static_cast<int32_t>(kJoinMethod.size()), to, kJoinMethod)) {
      last = hit;
    }
    if (last < 0) continue;
    LineReader reader(c_.text, to, last, 0);
    TraceLine line;
    if (reader.next(line) && reader.next(line)) order.lastStepCost = costOnLine(c_.text, line);
  }
}

int32_t JoinOrderReader::onFinalCost(int32_t keyPoint, int32_t limit, int32_t stretchBegin) {
  const KeyPoint& k = (*c_.keyPoints)[keyPoint];
  QueryBlockFact* block = appendFact(c_.facts.queryBlocks);
  if (!block) return -1;
  const int32_t index = c_.facts.queryBlocks.count() - 1;
  block->line = k.line + 1;
  block->keyPoint = keyPoint;
  LineReader reader = readerAfter(c_.text, limit, k);
  TraceLine line;
  reader.next(line);
  // « SEL$1 (#0) - All Rows Plan:»
  block->name = wordAfter(c_.text, line.begin, line.end);
  int32_t i = block->name.present() ? block->name.offset + block->name.length : line.end;
  while (i < line.end && c_.text[i] == ' ') ++i;
  if (i + 1 < line.end && c_.text[i] == '(' && c_.text[i + 1] == '#') {
    const int32_t digits = i + 2;
    i = digits;
    while (i < line.end && isDigitByte(c_.text[i])) ++i;
    if (i > digits) block->number = spanOf(digits, i);
  }
  const void* dash = i < line.end ? std::memchr(c_.text + i, '-', static_cast<size_t>(line.end - i)) : nullptr;
  if (dash) {
    int32_t begin = static_cast<int32_t>(static_cast<const char*>(dash) - c_.text) + 1;
    int32_t end = line.end;
    while (begin < end && isSpaceByte(c_.text[begin])) ++begin;
    while (end > begin && (isSpaceByte(c_.text[end - 1]) || c_.text[end - 1] == ':')) --end;
    if (end > begin) block->plan = spanOf(begin, end);
  }
  // «Best join order: K», then «Cost: ... Card: ... Bytes: ...», which a
  // narrow trace may wrap.
  int32_t after = reader.offset();
  for (int n = 0; n < 4 && reader.nextContent(line); ++n) {
    if (lineStartsWith(c_.text, line, "Best join order:")) {
      const int32_t colon = static_cast<int32_t>(lineView(c_.text, line).find(':'));
      block->bestJoinOrder = wordAfter(c_.text, line.begin + colon + 1, line.end);
      after = reader.offset();
      continue;
    }
    TextSpan values[3];
    wordsAfterKeys(c_.text, line, kFigureKeys, values, 3);
    if (!values[0].present() && !values[1].present() && !values[2].present()) break;
    if (values[0].present() && !block->cost.present()) block->cost = values[0];
    if (values[1].present() && !block->card.present()) block->card = values[1];
    if (values[2].present() && !block->bytes.present()) block->bytes = values[2];
    after = reader.offset();
    if (block->cost.present() && block->card.present() && block->bytes.present()) break;
  }
  if (block->bestJoinOrder.present()) block->bestJoinOrderFact = lastWithNumber(block->bestJoinOrder);

  // The last search of the stretch starts at its last «Join order[1]:».
  const int32_t end = c_.facts.joinOrders.count();
  int32_t search = stretchStart_;
  for (int32_t j = end - 1; j >= stretchStart_; --j) {
    if (c_.facts.view(c_.facts.joinOrders[j].number) == "1") {
      search = j;
      break;
    }
  }
  block->stretchJoinOrders = FactRange{stretchStart_, end - stretchStart_};
  for (int32_t j = search; j < end; ++j) {
    if (c_.facts.joinOrders[j].abortedLines > 0) ++block->abortedJoinOrders;
  }
  block->joinOrders = FactRange{search, end - search};
  for (int32_t j = stretchStart_; j < end; ++j) c_.facts.joinOrders[j].queryBlock = index;
  readLastStepCosts(k);
  stretchStart_ = end;
  const int32_t finalCostLine = k.pos - k.column;
  if (!readBaseStatistics(c_, stretchBegin, finalCostLine, keyPoint, c_.facts.queryBlocks[index]) ||
      !readAccessPaths(c_, stretchBegin, finalCostLine, keyPoint, c_.facts.queryBlocks[index])) {
    return -1;
  }
  return after;
}

int32_t joinOrderNumber(const TraceFacts& facts, const JoinOrderFact& order) {
  const std::string_view k = facts.view(order.number);
  int32_t n = 0;
  const auto [end, error] = std::from_chars(k.data(), k.data() + k.size(), n);
  return error == std::errc() && end == k.data() + k.size() && n > 0 ? n : 0;
}

bool opensJoinOrderSearch(const TraceFacts& facts, const JoinOrderFact& order) {
  return facts.view(order.number) == "1";
}

std::vector<JoinOrderSearch> joinOrderSearches(const TraceFacts& facts, FactRange stretch) {
  std::vector<JoinOrderSearch> searches;
  const int32_t end = stretch.end();
  for (int32_t j = stretch.first; j < end;) {
    JoinOrderSearch search;
    search.first = j;
    do {
      search.aborted += facts.joinOrders[j].abortedLines > 0 ? 1 : 0;
      ++j;
    } while (j < end && !opensJoinOrderSearch(facts, facts.joinOrders[j]));
    search.count = j - search.first;
    searches.push_back(search);
  }
  return searches;
}
