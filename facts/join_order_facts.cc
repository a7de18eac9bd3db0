// Join orders, their «Best so far» costs, and the final cost of each
// query block's search.
#include <cstring>

#include "facts/facts_internal.h"

namespace {

// Join-order numbers below this are looked up in a table; others (never
// seen in real traces) by a bounded walk back.
constexpr int32_t kNumbered = 65536;
constexpr int32_t kMaxWalkBack = 4096;
constexpr int kMaxContinuationLines = 64;

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
  searchStart_ = statementStart_;
}

void JoinOrderReader::startSearch() { searchStart_ = c_.facts.joinOrders.count(); }

void JoinOrderReader::rememberNumber(TextSpan number, int32_t index) {
  const int32_t k = smallNumber(c_.text, number);
  if (k < 0) return;
  if (!byNumber_.data()) {
    if (byNumber_.reserve(int64_t{kNumbered} * 2 * sizeof(int32_t)) != 0) return;
    std::memset(byNumber_.data(), 0, static_cast<size_t>(kNumbered) * 2 * sizeof(int32_t));
  }
  int32_t* slot = reinterpret_cast<int32_t*>(byNumber_.data()) + 2 * k;
  slot[0] = stamp_;
  slot[1] = index;
}

int32_t JoinOrderReader::lastWithNumber(TextSpan number) {
  const int32_t k = smallNumber(c_.text, number);
  if (k >= 0 && byNumber_.data()) {
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
  JoinOrderFact* order = appendFact(c_.facts.joinOrders);
  if (!order) return false;
  const int32_t index = c_.facts.joinOrders.count() - 1;
  order->line = k.line + 1;
  order->keyPoint = keyPoint;
  order->tables.first = c_.facts.tables.count();
  LineReader reader = readerAfter(c_.text, limit, k);
  TraceLine line;
  reader.next(line);
  int32_t i = line.begin;
  while (i < line.end && (c_.text[i] == ' ' || c_.text[i] == '\t')) ++i;
  if (i >= line.end || c_.text[i] != '[') return true;
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

int32_t JoinOrderReader::onFinalCost(int32_t keyPoint, int32_t limit) {
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

  const int32_t end = c_.facts.joinOrders.count();
  block->joinOrders = FactRange{searchStart_, end - searchStart_};
  for (int32_t j = searchStart_; j < end; ++j) {
    JoinOrderFact& order = c_.facts.joinOrders[j];
    order.queryBlock = index;
    if (order.abortedLines > 0) ++block->abortedJoinOrders;
  }
  searchStart_ = end;
  return after;
}
