// Copying the facts the viewer shows out of the trace facts, and the
// lookups and orders the summary table and the tooltips use.
#include "facts/trace_digest.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>

#include "outline/line_shift.h"

void TraceDigest::reset() {
  facts.reset();
  statements.reset();
  rows.reset();
  queryBlockRows.reset();
  pool.clear();
  keyPointCount = 0;
}

const QueryBlockFact& digestBlock(const TraceDigest& digest, const DigestRow& row) {
  static const QueryBlockFact none;
  assert(row.queryBlock < digest.facts.queryBlocks.count());
  return row.queryBlock >= 0 && row.queryBlock < digest.facts.queryBlocks.count()
             ? digest.facts.queryBlocks[row.queryBlock]
             : none;
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

// Appends a copy of `record` to `list`; null when it could not grow.
template <class Record>
Record* appendCopy(PackedRecords<Record>& list, const Record& record) {
  Record* copy = list.append();
  if (copy) *copy = record;
  return copy;
}

class DigestBuilder {
 public:
  DigestBuilder(TraceDigest& digest, const TraceFacts& facts) : d_(digest), f_(facts), to_(digest.facts) {}

  bool run() {
    for (int32_t s = 0; s < f_.statements.count(); ++s) {
      if (!copyStatement(s)) return false;
    }
    if (!copyJoinOrders() || !copyAccessPaths() || !copyAll(f_.keyPointLines, to_.keyPointLines)) return false;
    markMostExpensive();
    to_.text = d_.pool.c_str();
    to_.length = d_.pool.length();
    return true;
  }

 private:
  // Appends bytes to the pool, control bytes as blanks, at most `limit`
  // of them (cut on a character boundary; `cut`, when given, says whether
  // it was).
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

  // The span's bytes copied into the pool, the span moved onto them; an
  // absent span stays absent.
  bool rebase(TextSpan& span, int32_t limit = std::numeric_limits<int32_t>::max(), bool* cut = nullptr) {
    if (!span.present()) return true;
    const int32_t offset = d_.pool.length();
    if (!put(f_.view(span), limit, cut)) return false;
    span = TextSpan{offset, d_.pool.length() - offset};
    return true;
  }

  template <class Record>
  bool copyAll(const PackedRecords<Record>& from, PackedRecords<Record>& to) {
    if (to.reserveRecords(from.count()) != 0) return false;
    for (const Record& record : from) *to.append() = record;
    return true;
  }

  // A statement's place, key points and heading; its query blocks with
  // their rows.
  bool copyStatement(int32_t index) {
    const StatementFacts& s = f_.statements[index];
    StatementFacts kept;
    kept.firstLine = s.firstLine;
    kept.lastLine = s.lastLine;
    kept.keyPoints = s.keyPoints;
    kept.sqlDumpKeyPoint = s.sqlDumpKeyPoint;
    kept.line = s.line;
    kept.sqlId = s.sqlId;
    kept.planHashValue = s.planHashValue;
    kept.sqlTextLine = s.sqlTextLine;
    kept.sqlText = s.sqlText;
    kept.queryBlocks = s.queryBlocks;
    kept.joinOrders = s.joinOrders;
    kept.listsRead = true;  // none kept: there is nothing to read them from
    DigestStatement* summary = d_.statements.append();
    if (!summary || !rebase(kept.sqlId) || !rebase(kept.planHashValue) ||
        !rebase(kept.sqlText, kDigestSqlTextLimit, &summary->sqlTextCut) || !appendCopy(to_.statements, kept)) {
      return false;
    }
    summary->rows.first = d_.rows.count();
    for (const QueryBlockFact& b : slice(f_.queryBlocks, s.queryBlocks)) {
      if (!copyQueryBlock(index, b)) return false;
    }
    if (s.queryBlocks.count == 0) {
      DigestRow* row = d_.rows.append();
      if (!row) return false;
      row->statement = index;
      row->flags = kRowStatementOnly;
      row->queryBlock = kNoFact;
      row->line = s.line > 0 ? s.line : s.firstLine;
      row->costValue = row->cardValue = row->bytesValue = std::numeric_limits<double>::quiet_NaN();
    }
    d_.statements[index].rows.count = d_.rows.count() - d_.statements[index].rows.first;
    return true;
  }

  bool copyQueryBlock(int32_t statement, const QueryBlockFact& b) {
    DigestRow row;
    row.statement = statement;
    row.queryBlock = to_.queryBlocks.count();
    row.line = b.line;
    if (b.name.present() || b.number.present()) {
      const int32_t offset = d_.pool.length();
      if (!put(f_.view(b.name))) return false;
      if (b.number.present() && (!put(b.name.present() ? " (#" : "(#") || !put(f_.view(b.number)) || !put(")"))) {
        return false;
      }
      row.name = TextSpan{offset, d_.pool.length() - offset};
    }
    assert(b.bestJoinOrderFact < f_.joinOrders.count());
    if (b.bestJoinOrderFact >= 0 && b.bestJoinOrderFact < f_.joinOrders.count()) {
      const int32_t offset = d_.pool.length();
      const JoinOrderFact& best = f_.joinOrders[b.bestJoinOrderFact];
      for (int32_t t = best.tables.first; t < best.tables.end(); ++t) {
        if ((t > best.tables.first && !put(" ")) || !put(f_.view(f_.tables[t]))) return false;
      }
      row.tables = TextSpan{offset, d_.pool.length() - offset};
    }
    row.costValue = digestNumber(f_.view(b.cost));
    row.cardValue = digestNumber(f_.view(b.card));
    row.bytesValue = digestNumber(f_.view(b.bytes));
    QueryBlockFact kept = b;
    kept.tableStats = FactRange{};  // the viewer shows no table statistics
    for (TextSpan* span : {&kept.name, &kept.number, &kept.plan, &kept.bestJoinOrder, &kept.cost, &kept.card,
                           &kept.bytes}) {
      if (!rebase(*span)) return false;
    }
    int32_t* index = d_.queryBlockRows.append();
    if (!index || !appendCopy(to_.queryBlocks, kept) || !appendCopy(d_.rows, row)) return false;
    *index = d_.rows.count() - 1;
    return true;
  }

  // The join orders and their tables, their spans rebased.
  bool copyJoinOrders() {
    if (!copyAll(f_.joinOrders, to_.joinOrders) || !copyAll(f_.tables, to_.tables)) return false;
    for (JoinOrderFact& order : to_.joinOrders) {
      order.card = order.bytes = TextSpan{};  // the viewer shows a join order's cost alone
      for (TextSpan* span : {&order.number, &order.cost, &order.lastStepCost}) {
        if (!rebase(*span)) return false;
      }
    }
    for (TextSpan& table : to_.tables) {
      if (!rebase(table)) return false;
    }
    return true;
  }

  // The single-table sections as they are, their spans rebased.
  bool copyAccessPaths() {
    if (!copyAll(f_.accessPaths, to_.accessPaths) || !copyAll(f_.accessCandidates, to_.accessCandidates) ||
        !copyAll(f_.accessFlags, to_.accessFlags)) {
      return false;
    }
    for (AccessPathFact& p : to_.accessPaths) {
      p.columns = FactRange{};  // the viewer shows no column statistics
      for (TextSpan* span : {&p.alias, &p.cardOriginal, &p.cardRounded, &p.cardComputed, &p.bestPath, &p.bestIndex,
                             &p.bestCost, &p.bestCard}) {
        if (!rebase(*span)) return false;
      }
    }
    for (AccessCandidateFact& c : to_.accessCandidates) {
      if (!rebase(c.path) || !rebase(c.index) || !rebase(c.cost)) return false;
    }
    return true;
  }

  // Marks, where there are two or more to tell apart, the costliest query
  // blocks of each statement and the statements of the highest cost; all
  // that tie for the highest are marked.
  void markMostExpensive() {
    const double none = std::numeric_limits<double>::quiet_NaN();
    double top = none;
    int32_t costed = 0;
    for (DigestStatement& statement : d_.statements) {
      statement.cost = none;
      int32_t withCost = 0;
      for (const DigestRow& row : slice(d_.rows, statement.rows)) {
        const double cost = row.costValue;
        if (std::isnan(cost)) continue;
        ++withCost;
        if (std::isnan(statement.cost) || cost > statement.cost) statement.cost = cost;
      }
      if (withCost == 0) continue;
      ++costed;
      if (std::isnan(top) || statement.cost > top) top = statement.cost;
      if (withCost < 2) continue;
      for (DigestRow& row : slice(d_.rows, statement.rows)) {
        if (row.costValue == statement.cost) row.flags |= kRowTopOfStatement;
      }
    }
    if (costed < 2) return;
    for (const DigestStatement& statement : d_.statements) {
      if (statement.cost != top) continue;
      for (DigestRow& row : slice(d_.rows, statement.rows)) row.flags |= kRowTopStatement;
    }
  }

  TraceDigest& d_;
  const TraceFacts& f_;
  TraceFacts& to_;
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
  return shownLineOf(digest.facts.keyPointLines, shown, line, gainAtEnd);
}

int32_t digestFileLine(const TraceDigest& digest, int32_t line, const KeyPoints_c& shown, int32_t gainAtEnd) {
  return fileLineOf(digest.facts.keyPointLines, shown, line, gainAtEnd);
}

int32_t digestRowOfKeyPoint(const TraceDigest& digest, int32_t keyPoint) {
  const int32_t q = queryBlockOfKeyPoint(digest.facts, keyPoint);
  return q == kNoFact || q >= digest.queryBlockRows.count() ? kNoFact : digest.queryBlockRows[q];
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
int compareTexts(const TraceDigest& d, TextSpan a, TextSpan b) {
  if (!a.present() || !b.present()) return threeWay(a.present(), b.present());
  const int c = d.view(a).compare(d.view(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareRows(const TraceDigest& d, const DigestRow& a, const DigestRow& b, DigestColumn column) {
  const QueryBlockFact& x = digestBlock(d, a);
  const QueryBlockFact& y = digestBlock(d, b);
  switch (column) {
    case kColumnStatement:
      return threeWay(a.statement, b.statement);
    case kColumnQueryBlock:
      return compareTexts(d, a.name, b.name);
    case kColumnPlan:
      return compareTexts(d, x.plan, y.plan);
    case kColumnCost:
      return compareNumbers(a.costValue, b.costValue);
    case kColumnCard:
      return compareNumbers(a.cardValue, b.cardValue);
    case kColumnBytes:
      return compareNumbers(a.bytesValue, b.bytesValue);
    case kColumnTables:
      return compareTexts(d, a.tables, b.tables);
    case kColumnTried:
      return threeWay(x.joinOrders.count, y.joinOrders.count);
    case kColumnAborted:
      return threeWay(x.abortedJoinOrders, y.abortedJoinOrders);
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
