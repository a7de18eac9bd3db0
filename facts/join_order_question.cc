#include "facts/join_order_question.h"

#include <algorithm>

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '"' || c == '(' || c == ')' ||
         c == '/' || c == '*' || c == '+';
}

std::string_view viewOf(std::string_view input, TextSpan span) {
  return input.substr(static_cast<size_t>(span.offset), static_cast<size_t>(span.length));
}

// The blank-separated words of a join order's tables (a table's bytes
// that were control bytes are blanks in the digest), the first kMost.
class Entries {
 public:
  Entries(const TraceFacts& facts, const JoinOrderFact& order) {
    for (const TextSpan& table : slice(facts.tables, order.tables)) {
      const std::string_view text = facts.view(table);
      for (size_t i = 0; i < text.size() && count_ < kMost;) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) entries_[count_++] = text.substr(start, i - start);
      }
    }
  }
  int count() const { return count_; }
  std::string_view operator[](int i) const { return entries_[i]; }

 private:
  // More tables than this in one join order are not looked at.
  static constexpr int kMost = 256;
  std::string_view entries_[kMost];
  int count_ = 0;
};

}  // namespace

int joinOrderTablesOf(std::string_view input, PackedRecords<TextSpan>& tables) {
  tables.reset();
  size_t from = 0;
  size_t to = input.size();
  for (size_t i = 0; i + 8 <= input.size(); ++i) {
    if (sameLetters(input.substr(i, 8), "leading(")) {
      from = i + 8;
      const size_t close = input.find(')', from);
      if (close != std::string_view::npos) to = close;
      break;
    }
  }
  for (size_t i = from; i < to;) {
    if (isSeparator(input[i])) {
      ++i;
    } else if (input[i] == '@') {
      // A query-block qualifier: «@"SEL$1"» or «@SEL$1».
      ++i;
      if (i < to && input[i] == '"') {
        const size_t end = input.find('"', i + 1);
        i = end == std::string_view::npos || end >= to ? to : end + 1;
      } else {
        while (i < to && !isSeparator(input[i])) ++i;
      }
    } else {
      const size_t start = i;
      while (i < to && !isSeparator(input[i]) && input[i] != '@') ++i;
      TextSpan* t = tables.append();
      if (!t) return -1;
      *t = TextSpan{static_cast<int32_t>(start), static_cast<int32_t>(i - start)};
    }
  }
  return 0;
}

bool joinOrderEntryIs(std::string_view entry, std::string_view named) {
  if (sameLetters(entry, named)) return true;
  const size_t open = entry.find('[');
  const size_t close = open == std::string_view::npos ? std::string_view::npos : entry.find(']', open);
  if (close == std::string_view::npos) {
    const size_t hash = entry.rfind('#');
    return hash != std::string_view::npos && sameLetters(entry.substr(0, hash), named);
  }
  return sameLetters(entry.substr(open + 1, close - open - 1), named) || sameLetters(entry.substr(0, open), named);
}

int askJoinOrder(const TraceDigest& digest, int32_t row, std::string_view input, const PackedRecords<TextSpan>& tables,
                 JoinOrderAnswer& answer) {
  answer.searches = 0;
  answer.matches.reset();
  answer.sameFirstTable = 0;
  answer.firstWithSameFirstTable = kNoFact;
  answer.unknown.reset();
  if (row < 0 || row >= digest.rows.count() || tables.count() == 0) return 0;
  const int32_t named = tables.count();
  // Which named tables some join order has: a bit per table, for the first 64.
  uint64_t seen = 0;
  const TraceFacts& f = digest.facts;
  const FactRange stretch = digestBlock(digest, digest.rows[row]).stretchJoinOrders;
  int32_t search = -1;
  TextSpan best;
  for (int32_t j = stretch.first; j < stretch.end() && j < f.joinOrders.count(); ++j) {
    const JoinOrderFact& order = f.joinOrders[j];
    if (opensJoinOrderSearch(f, order) || search < 0) {
      ++search;
      best = TextSpan{};
    }
    const Entries entries(f, order);
    for (int32_t t = 0; t < named && t < 64; ++t) {
      for (int e = 0; e < entries.count() && !(seen >> t & 1); ++e) {
        if (joinOrderEntryIs(entries[e], viewOf(input, tables[t]))) seen |= uint64_t{1} << t;
      }
    }
    bool starts = entries.count() >= named;
    for (int32_t t = 0; starts && t < named; ++t) starts = joinOrderEntryIs(entries[t], viewOf(input, tables[t]));
    if (starts) {
      JoinOrderMatch* match = answer.matches.append();
      if (!match) return -1;
      *match = JoinOrderMatch{j, search, best};
    }
    if (entries.count() > 0 && joinOrderEntryIs(entries[0], viewOf(input, tables[0]))) {
      if (answer.firstWithSameFirstTable == kNoFact) answer.firstWithSameFirstTable = j;
      ++answer.sameFirstTable;
    }
    if (order.cost.present()) best = order.cost;
  }
  answer.searches = search + 1;
  for (int32_t t = 0; t < named && t < 64; ++t) {
    if (seen >> t & 1) continue;
    int32_t* index = answer.unknown.append();
    if (!index) return -1;
    *index = t;
  }
  return 0;
}
