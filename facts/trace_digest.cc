// Copying the facts the viewer shows out of the trace facts, and the
// lookups and orders the summary table and the tooltips use.
#include "facts/trace_digest.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "outline/line_shift.h"

void TraceDigest::reset() {
  statements.reset();
  rows.reset();
  finalCostRows.reset();
  joinOrders.reset();
  accessPaths.reset();
  accessCandidates.reset();
  accessFlags.reset();
  keyPointLines.reset();
  pool.clear();
  keyPointCount = 0;
}

double digestNumber(std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  double value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (begin == end || error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return value;
}

namespace {

// K of «Join order[K]:», or 0 when it is not a number that fits.
int32_t joinOrderNumber(std::string_view k) {
  int32_t n = 0;
  const auto [end, error] = std::from_chars(k.data(), k.data() + k.size(), n);
  return error == std::errc() && end == k.data() + k.size() && n > 0 ? n : 0;
}

template <class Record>
Record* appendRecord(PackedRecords<Record>& list) {
  Record* record = list.append();
  if (record) *record = Record{};
  return record;
}

class DigestBuilder {
 public:
  DigestBuilder(TraceDigest& digest, const TraceFacts& facts) : d_(digest), f_(facts) {}

  bool run() {
    if (d_.pool.ensureCapacity(poolSize() + 1) != 0 || d_.joinOrders.reserveRecords(f_.joinOrders.count()) != 0) {
      return false;
    }
    // In text order, each join order before the final cost that may share
    // its tables: the text is read once, front to back.
    for (int32_t s = 0; s < f_.statements.count(); ++s) {
      if (!copyStatement(s)) return false;
    }
    if (!copyJoinOrdersUpTo(f_.joinOrders.count()) || !copyAccessPaths()) return false;
    if (d_.keyPointLines.reserveRecords(f_.keyPointLines.count()) != 0) return false;
    for (int32_t line : f_.keyPointLines) *d_.keyPointLines.append() = line;
    markMostExpensive();
    return true;
  }

 private:
  // The bytes the pool will hold, from the records alone, so that it is
  // allocated once.
  int64_t poolSize() const {
    auto size = [](TextSpan span) { return static_cast<int64_t>(span.present() ? span.length : 0); };
    int64_t total = 0;
    for (const TextSpan& table : f_.tables) total += size(table) + 1;
    for (const JoinOrderFact& order : f_.joinOrders) total += size(order.cost) + size(order.lastStepCost);
    for (const AccessPathFact& p : f_.accessPaths) {
      total += size(p.alias) + size(p.cardOriginal) + size(p.cardRounded) + size(p.cardComputed) +
               size(p.bestPath) + size(p.bestIndex) + size(p.bestCost) + size(p.bestCard);
    }
    for (const AccessCandidateFact& c : f_.accessCandidates) total += size(c.path) + size(c.index) + size(c.cost);
    for (const StatementFacts& s : f_.statements) {
      total += size(s.sqlId) + size(s.planHashValue) + std::min<int64_t>(size(s.sqlText), kDigestSqlTextLimit);
    }
    for (const QueryBlockFact& b : f_.queryBlocks) {
      total += size(b.name) + size(b.number) + 4 + size(b.plan) + size(b.bestJoinOrder) + size(b.cost) +
               size(b.card) + size(b.bytes);
    }
    return total;
  }

  // Copies the join orders not copied yet below index `end`.
  bool copyJoinOrdersUpTo(int32_t end) {
    for (int32_t j = d_.joinOrders.count(); j < end && j < f_.joinOrders.count(); ++j) {
      const JoinOrderFact& order = f_.joinOrders[j];
      DigestJoinOrder* copy = appendRecord(d_.joinOrders);
      if (!copy || !copyTables(order, copy->tables) || !copyText(f_.view(order.cost), copy->cost) ||
          !copyText(f_.view(order.lastStepCost), copy->lastStepCost)) {
        return false;
      }
      copy->keyPoint = order.keyPoint;
      copy->line = order.line;
      copy->number = joinOrderNumber(f_.view(order.number));
      copy->aborted = order.abortedLines > 0 ? 1 : 0;
      copy->queryBlock = order.queryBlock;
    }
    return true;
  }

  // The span's bytes copied into the pool, the span rebased onto them.
  bool rebase(TextSpan& span) {
    DigestText text;
    if (!copySpan(span, text)) return false;
    span = TextSpan{text.offset, text.length};
    return true;
  }

  // The sections as they are, their spans rebased onto the pool.
  bool copyAccessPaths() {
    if (d_.accessPaths.reserveRecords(f_.accessPaths.count()) != 0 ||
        d_.accessCandidates.reserveRecords(f_.accessCandidates.count()) != 0 ||
        d_.accessFlags.reserveRecords(f_.accessFlags.count()) != 0) {
      return false;
    }
    for (const AccessPathFact& p : f_.accessPaths) {
      AccessPathFact& copy = *d_.accessPaths.append();
      copy = p;
      copy.columns = FactRange{};  // the viewer shows no column statistics
      for (TextSpan* span : {&copy.alias, &copy.cardOriginal, &copy.cardRounded, &copy.cardComputed, &copy.bestPath,
                             &copy.bestIndex, &copy.bestCost, &copy.bestCard}) {
        if (!rebase(*span)) return false;
      }
    }
    for (const AccessCandidateFact& c : f_.accessCandidates) {
      AccessCandidateFact& copy = *d_.accessCandidates.append();
      copy = c;
      if (!rebase(copy.path) || !rebase(copy.index) || !rebase(copy.cost)) return false;
    }
    for (const AccessFlagFact& flag : f_.accessFlags) *d_.accessFlags.append() = flag;
    return true;
  }

  // Opens a text at the pool's end; parts are appended until it is closed.
  DigestText open() const { return DigestText{d_.pool.length(), 0}; }
  void close(DigestText& text) const { text.length = d_.pool.length() - text.offset; }

  // Appends bytes to the open text, control bytes as blanks, at most
  // `limit` of them (cut on a character boundary; `cut`, when given, says
  // whether it was).
  bool put(std::string_view bytes, int32_t limit = std::numeric_limits<int32_t>::max(), bool* cut = nullptr) {
    if (cut) *cut = false;
    if (bytes.size() > static_cast<size_t>(limit)) {
      size_t keep = static_cast<size_t>(limit);
      while (keep > 0 && (static_cast<unsigned char>(bytes[keep]) & 0xC0) == 0x80) --keep;
      bytes = bytes.substr(0, keep);
      if (cut) *cut = true;
    }
    const int64_t need = static_cast<int64_t>(d_.pool.length()) + static_cast<int64_t>(bytes.size()) + 4;
    if (need >= std::numeric_limits<int32_t>::max() || d_.pool.ensureCapacity(need) != 0) return false;
    // One pass copies and blanks the control bytes: most texts are a word.
    char* out = d_.pool.data() + d_.pool.length();
    for (const char c : bytes) {
      const auto u = static_cast<unsigned char>(c);
      *out++ = u < 0x20 || u == 0x7F ? ' ' : c;
    }
    d_.pool.setLength(static_cast<int32_t>(out - d_.pool.data()));
    return true;
  }

  // The whole text, absent when the fact is.
  bool copyText(std::string_view bytes, DigestText& out, int32_t limit = std::numeric_limits<int32_t>::max(),
                bool* cut = nullptr) {
    out = DigestText{};
    if (bytes.data() == nullptr) return true;
    DigestText text = open();
    if (!put(bytes, limit, cut)) return false;
    close(text);
    out = text;
    return true;
  }
  bool copySpan(TextSpan span, DigestText& out) {
    if (!span.present()) {
      out = DigestText{};
      return true;
    }
    return copyText(f_.view(span), out);
  }

  bool copyTables(const JoinOrderFact& order, DigestText& out) {
    DigestText text = open();
    for (int32_t t = 0; t < order.tables.count; ++t) {
      if ((t > 0 && !put(" ")) || !put(f_.view(f_.tables[order.tables.first + t]))) return false;
    }
    close(text);
    out = text;
    return true;
  }

  bool copyStatement(int32_t index) {
    const StatementFacts& s = f_.statements[index];
    DigestStatement* out = appendRecord(d_.statements);
    if (!out) return false;
    out->keyPoints = s.keyPoints;
    out->line = s.line;
    out->rows.first = d_.rows.count();
    for (int32_t q = s.queryBlocks.first; q < s.queryBlocks.first + s.queryBlocks.count; ++q) {
      const QueryBlockFact& b = f_.queryBlocks[q];
      if (!copyJoinOrdersUpTo(std::max(b.joinOrders.first + b.joinOrders.count, b.bestJoinOrderFact + 1)) ||
          !copyQueryBlock(index, b)) {
        return false;
      }
    }
    if (!copyJoinOrdersUpTo(s.joinOrders.first + s.joinOrders.count)) return false;
    if (s.queryBlocks.count == 0) {
      DigestRow* row = appendRecord(d_.rows);
      if (!row) return false;
      row->statement = index;
      row->flags = kRowStatementOnly;
      row->line = s.line > 0 ? s.line : s.firstLine;
      row->costValue = row->cardValue = row->bytesValue = std::numeric_limits<double>::quiet_NaN();
    }
    out->rows.count = d_.rows.count() - out->rows.first;
    return copySpan(s.sqlId, out->sqlId) && copySpan(s.planHashValue, out->planHashValue) &&
           (!s.sqlText.present() || copyText(f_.view(s.sqlText), out->sqlText, kDigestSqlTextLimit, &out->sqlTextCut));
  }

  bool copyQueryBlock(int32_t statement, const QueryBlockFact& b) {
    DigestRow row;
    row.statement = statement;
    row.keyPoint = b.keyPoint;
    row.line = b.line;
    if (b.name.present() || b.number.present()) {
      row.queryBlock = open();
      if (!put(f_.view(b.name))) return false;
      if (b.number.present() && (!put(b.name.present() ? " (#" : "(#") || !put(f_.view(b.number)) || !put(")"))) {
        return false;
      }
      close(row.queryBlock);
    }
    if (!copySpan(b.plan, row.plan) || !copySpan(b.bestJoinOrder, row.bestJoinOrder) || !copySpan(b.cost, row.cost) ||
        !copySpan(b.card, row.card) || !copySpan(b.bytes, row.bytes)) {
      return false;
    }
    if (b.bestJoinOrderFact >= 0 && b.bestJoinOrderFact < d_.joinOrders.count()) {
      row.tables = d_.joinOrders[b.bestJoinOrderFact].tables;
    }
    row.tried = b.joinOrders.count;
    row.aborted = b.abortedJoinOrders;
    row.stretchJoinOrders = b.stretchJoinOrders;
    row.joinOrders = b.joinOrders;
    row.accessPaths = b.accessPaths;
    row.costValue = digestNumber(d_.view(row.cost));
    row.cardValue = digestNumber(d_.view(row.card));
    row.bytesValue = digestNumber(d_.view(row.bytes));
    DigestRow* out = appendRecord(d_.rows);
    int32_t* index = out ? d_.finalCostRows.append() : nullptr;
    if (!index) return false;
    *out = row;
    *index = d_.rows.count() - 1;
    return true;
  }

  // Marks the most expensive query block of each statement that has two or
  // more with a cost, and the rows of the statement of the highest cost
  // when two or more statements have one; the first wins a tie.
  // Marks, where there are two or more to tell apart, the costliest query
  // blocks of each statement and the statements of the highest cost; all
  // that tie for the highest are marked.
  void markMostExpensive() {
    const double none = std::numeric_limits<double>::quiet_NaN();
    double top = none;
    int32_t costed = 0;
    for (int32_t s = 0; s < d_.statements.count(); ++s) {
      DigestStatement& statement = d_.statements[s];
      statement.cost = none;
      int32_t withCost = 0;
      for (int32_t r = statement.rows.first; r < statement.rows.first + statement.rows.count; ++r) {
        const double cost = d_.rows[r].costValue;
        if (std::isnan(cost)) continue;
        ++withCost;
        if (std::isnan(statement.cost) || cost > statement.cost) statement.cost = cost;
      }
      if (withCost == 0) continue;
      ++costed;
      if (std::isnan(top) || statement.cost > top) top = statement.cost;
      if (withCost < 2) continue;
      for (int32_t r = statement.rows.first; r < statement.rows.first + statement.rows.count; ++r) {
        if (d_.rows[r].costValue == statement.cost) d_.rows[r].flags |= kRowTopOfStatement;
      }
    }
    if (costed < 2) return;
    for (const DigestStatement& statement : d_.statements) {
      if (statement.cost != top) continue;
      for (int32_t r = statement.rows.first; r < statement.rows.first + statement.rows.count; ++r) {
        d_.rows[r].flags |= kRowTopStatement;
      }
    }
  }

  TraceDigest& d_;
  const TraceFacts& f_;
};

}  // namespace

int buildTraceDigest(TraceDigest& digest, const char* text, int32_t length, const KeyPoints_c& keyPoints) {
  TraceFacts facts;
  if (buildTraceFacts(facts, text, length, keyPoints) != 0) {
    digest.reset();
    ++digest.build;
    return -1;
  }
  return digestTraceFacts(digest, facts, keyPoints.count());
}

int digestTraceFacts(TraceDigest& digest, const TraceFacts& facts, int32_t keyPointCount) {
  digest.reset();
  ++digest.build;
  digest.keyPointCount = keyPointCount;
  if (!DigestBuilder(digest, facts).run()) {
    digest.reset();
    return -1;
  }
  return 0;
}

int32_t digestShownLine(const TraceDigest& digest, int32_t line, const KeyPoints_c& shown, int32_t gainAtEnd) {
  return shownLineOf(digest.keyPointLines, shown, line, gainAtEnd);
}

int32_t digestFileLine(const TraceDigest& digest, int32_t line, const KeyPoints_c& shown, int32_t gainAtEnd) {
  return fileLineOf(digest.keyPointLines, shown, line, gainAtEnd);
}

int32_t digestStatementOfKeyPoint(const TraceDigest& digest, int32_t keyPoint) {
  const auto& s = digest.statements;
  const int32_t i = firstNotBefore(
      s, [&](const DigestStatement& x) { return x.keyPoints.first + x.keyPoints.count <= keyPoint; });
  return i < s.count() && s[i].keyPoints.first <= keyPoint ? i : kNoFact;
}

int32_t digestRowOfKeyPoint(const TraceDigest& digest, int32_t keyPoint) {
  const auto& rows = digest.finalCostRows;
  const int32_t i = firstNotBefore(rows, [&](int32_t row) { return digest.rows[row].keyPoint < keyPoint; });
  return i < rows.count() && digest.rows[rows[i]].keyPoint == keyPoint ? rows[i] : kNoFact;
}

int32_t digestJoinOrderOfKeyPoint(const TraceDigest& digest, int32_t keyPoint) {
  const auto& j = digest.joinOrders;
  const int32_t i = firstNotBefore(j, [&](const DigestJoinOrder& x) { return x.keyPoint < keyPoint; });
  return i < j.count() && j[i].keyPoint == keyPoint ? i : kNoFact;
}

namespace {

template <class T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// A missing number sorts below every number.
int compareNumbers(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return threeWay(!std::isnan(a), !std::isnan(b));
  return threeWay(a, b);
}

// An absent text sorts below every text, the empty one included.
int compareTexts(const TraceDigest& d, DigestText a, DigestText b) {
  if (!a.present() || !b.present()) return threeWay(a.present(), b.present());
  const int c = d.view(a).compare(d.view(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareRows(const TraceDigest& d, const DigestRow& a, const DigestRow& b, DigestColumn column) {
  switch (column) {
    case kColumnStatement:
      return threeWay(a.statement, b.statement);
    case kColumnQueryBlock:
      return compareTexts(d, a.queryBlock, b.queryBlock);
    case kColumnPlan:
      return compareTexts(d, a.plan, b.plan);
    case kColumnCost:
      return compareNumbers(a.costValue, b.costValue);
    case kColumnCard:
      return compareNumbers(a.cardValue, b.cardValue);
    case kColumnBytes:
      return compareNumbers(a.bytesValue, b.bytesValue);
    case kColumnTables:
      return compareTexts(d, a.tables, b.tables);
    case kColumnTried:
      return threeWay(a.tried, b.tried);
    case kColumnAborted:
      return threeWay(a.aborted, b.aborted);
    case kColumnLine:
    default:
      return threeWay(a.line, b.line);
  }
}

}  // namespace

void sortDigestRows(const TraceDigest& digest, DigestColumn column, bool descending, int32_t* order, int32_t count) {
  std::sort(order, order + count, [&](int32_t a, int32_t b) {
    const int c = compareRows(digest, digest.rows[a], digest.rows[b], column);
    if (c != 0) return descending ? c > 0 : c < 0;
    return a < b;
  });
}
