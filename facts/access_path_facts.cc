// The single-table sections of a query block's stretch: for each table
// alias the optimizer estimated, its cardinality, the access paths it
// costed and the one it chose.
//
// A section starts at «Single Table Cardinality Estimation for ALIAS» and
// runs to the figures line of its first «Best:: AccessPath: P» (the first
// of the three lines after it holding "Cost:"), or, without one, to the
// line before the next estimation, «Access path analysis for» or «OPTIMIZER
// STATISTICS AND COMPUTATIONS» line.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "facts/facts_internal.h"

namespace {

constexpr std::string_view kEstimation = "Single Table Cardinality Estimation for";
constexpr std::string_view kAnalysis = "Access path analysis for";
constexpr std::string_view kStatistics = "OPTIMIZER STATISTICS AND COMPUTATIONS";
constexpr std::string_view kCandidate = "Access Path:";
constexpr std::string_view kBest = "Best:: AccessPath:";
constexpr std::string_view kIndex = "Index:";
constexpr std::string_view kCard = "Card: Original:";
constexpr std::string_view kBitmapStart = "****** trying bitmap/domain indexes ******";
constexpr std::string_view kBitmapEnd = "****** finished trying bitmap/domain indexes ******";
constexpr std::string_view kProrated = "Using prorated density";
// Lines after «Best:: AccessPath:» that may hold its figures.
constexpr int kBestFigureLines = 3;

bool lineHolds(const char* text, const TraceLine& line, std::string_view needle) {
  return findIn(text, line.begin, line.end, needle) >= 0;
}

// The rest of the line after `prefix` (which starts it, after blanks), trimmed.
TextSpan restAfter(const char* text, const TraceLine& line, std::string_view prefix) {
  TraceLine rest = line;
  rest.begin = skipBlanks(text, line.begin, line.end) + static_cast<int32_t>(prefix.size());
  return trimmedLine(text, rest);
}

// An original card of 1 rounds to 1 without a guess.
bool isOne(std::string_view number) {
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc() && end == number.data() + number.size() && value == 1.0;
}

// The first «Index: NAME» line of a range names the index.
TextSpan indexName(const char* text, const TraceLine& line) {
  return wordOnLine(text, skipBlanks(text, line.begin, line.end) + static_cast<int32_t>(kIndex.size()), line.end);
}

// Where the sections of this stretch start, and the alias each names.
struct Estimation {
  int32_t offset;  // start of its line
  TextSpan alias;
};

class SectionReader {
 public:
  SectionReader(FactContext& c, int32_t limit) : c_(c), limit_(limit) {}

  // Reads the section whose estimation line starts at `offset`, on line
  // `number`, into a new record. False when a list could not grow.
  bool read(int32_t offset, int32_t number, TextSpan alias) {
    AccessPathFact* fact = appendFact(c_.facts.accessPaths);
    if (!fact) return false;
    fact->line = number;
    fact->alias = alias;
    fact->candidates.first = c_.facts.accessCandidates.count();
    fact->flags.first = c_.facts.accessFlags.count();
    fact->columns.first = c_.facts.columnStats.count();
    column_ = -1;
    path_ = c_.facts.accessPaths.count() - 1;
    LineReader reader(c_.text, limit_, offset, number);
    TraceLine line;
    reader.next(line);
    bool bitmap = false;
    bool cardPending = false;  // the card line did not hold "Rounded:"
    int32_t lastLine = number;
    for (; reader.next(line); lastLine = line.number) {
      const char* t = c_.text;
      if (lineStartsWith(t, line, kEstimation) || lineStartsWith(t, line, kAnalysis) ||
          lineStartsWith(t, line, kStatistics)) {
        break;
      }
      if (cardPending) {
        cardPending = false;
        readRoundedAndComputed(line);
      }
      if (lineStartsWith(t, line, kBest)) {
        lastLine = readBest(reader, line);
        break;
      }
      if (lineStartsWith(t, line, kCandidate)) {
        if (!startCandidate(line, bitmap)) return false;
        continue;
      }
      if (candidate_ < 0 && !noteColumn(line)) return false;
      if (lineStartsWith(t, line, kBitmapStart)) {
        bitmap = true;
      } else if (lineStartsWith(t, line, kBitmapEnd)) {
        bitmap = false;
      }
      if (lineStartsWith(t, line, kIndex)) noteIndex(line);
      if (candidate_ >= 0 && !current().cost.present()) current().cost = costOnLine(c_.text, line);
      if (path().cardLine == 0 && lineHolds(t, line, kCard)) {
        readCard(line);
        cardPending = !path().cardRounded.present();
      }
      if (lineHolds(t, line, kProrated)) ok_ = flag(kFlagProratedDensity, line.number) && ok_;
      if (!ok_) return false;
    }
    closeCandidate();
    AccessPathFact& done = path();
    done.lastLine = lastLine;
    done.candidates.count = c_.facts.accessCandidates.count() - done.candidates.first;
    done.flags.count = c_.facts.accessFlags.count() - done.flags.first;
    done.columns.count = c_.facts.columnStats.count() - done.columns.first;
    return true;
  }

 private:
  AccessPathFact& path() { return c_.facts.accessPaths[path_]; }
  AccessCandidateFact& current() { return c_.facts.accessCandidates[candidate_]; }

  bool flag(int32_t kind, int32_t line) {
    AccessFlagFact* f = appendFact(c_.facts.accessFlags);
    if (!f) return false;
    f->kind = kind;
    f->line = line;
    return true;
  }

  void closeCandidate() {
    if (candidate_ < 0) return;
    // «Access Path: index (index (FFS))» names the index and has no cost;
    // the costed «Access Path: index (FFS)» after it does not repeat it.
    AccessCandidateFact& c = current();
    if (!c.index.present() && candidate_ > path().candidates.first) {
      const AccessCandidateFact& before = c_.facts.accessCandidates[candidate_ - 1];
      if (!before.cost.present()) c.index = before.index;
    }
    candidate_ = -1;
  }

  bool startCandidate(const TraceLine& line, bool bitmap) {
    closeCandidate();
    AccessCandidateFact* c = appendFact(c_.facts.accessCandidates);
    if (!c) return false;
    c->line = line.number;
    c->path = restAfter(c_.text, line, kCandidate);
    c->bitmap = bitmap ? 1 : 0;
    candidate_ = c_.facts.accessCandidates.count() - 1;
    return true;
  }

  // «Column (#N): NAME(TYPE)» opens a column's statistics, the first of
  // its name in the section; its «AvgLen: ... NDV: ...» and «Histogram:»
  // lines follow. False when the list could not grow.
  bool noteColumn(const TraceLine& line) {
    const char* t = c_.text;
    if (lineStartsWith(t, line, "Column (#")) {
      column_ = -1;
      const int32_t close = findIn(t, line.begin, line.end, "):");
      if (close < 0) return true;
      const TextSpan name = wordOnLine(t, close + 2, line.end);
      if (!name.present()) return true;
      const AccessPathFact& p = path();
      for (int32_t k = p.columns.first; k < c_.facts.columnStats.count(); ++k) {
        if (c_.facts.view(c_.facts.columnStats[k].name) == c_.facts.view(name)) return true;
      }
      ColumnStatFact* column = appendFact(c_.facts.columnStats);
      if (!column) return false;
      column->line = line.number;
      column->name = name;
      column_ = c_.facts.columnStats.count() - 1;
      return true;
    }
    if (column_ < 0) return true;
    ColumnStatFact& column = c_.facts.columnStats[column_];
    if (lineStartsWith(t, line, "AvgLen:") && !column.ndv.present()) {
      column.ndv = valueAfterKey(t, line, "NDV:");
      column.nulls = valueAfterKey(t, line, "Nulls:");
      column.density = valueAfterKey(t, line, "Density:");
    } else if (lineStartsWith(t, line, "Histogram:")) {
      column.histogram = valueAfterKey(t, line, "Histogram:");
      column_ = -1;
    }
    return true;
  }

  void noteIndex(const TraceLine& line) {
    if (candidate_ >= 0 && !current().index.present()) current().index = indexName(c_.text, line);
  }

  void readCard(const TraceLine& line) {
    AccessPathFact& p = path();
    p.cardLine = line.number;
    p.cardOriginal = valueAfterKey(c_.text, line, kCard);
    readRoundedAndComputed(line);
  }

  // The rounded and computed cards, on the card line or on the line
  // after it, where 11.2 goes on when it adjusts the card. True when the
  // line held them.
  bool readRoundedAndComputed(const TraceLine& line) {
    AccessPathFact& p = path();
    const TextSpan rounded = valueAfterKey(c_.text, line, "Rounded:");
    if (!rounded.present()) return false;
    p.cardRounded = rounded;
    p.cardComputed = valueAfterKey(c_.text, line, "Computed:");
    if (c_.facts.view(rounded) == "1" && !isOne(c_.facts.view(p.cardOriginal))) {
      ok_ = flag(kFlagRoundedToOne, p.cardLine) && ok_;
    }
    return true;
  }

  // Returns the section's last line: the figures line, else the last read.
  int32_t readBest(LineReader& reader, const TraceLine& bestLine) {
    closeCandidate();
    AccessPathFact& p = path();
    p.bestLine = bestLine.number;
    p.bestPath = restAfter(c_.text, bestLine, kBest);
    TraceLine line;
    int32_t last = bestLine.number;
    for (int n = 0; n < kBestFigureLines && reader.next(line); ++n) {
      const TextSpan cost = costOnLine(c_.text, line);
      if (cost.present()) {
        p.bestCost = cost;
        p.bestCard = valueAfterKey(c_.text, line, "Card:");
        return line.number;
      }
      if (!p.bestIndex.present() && lineStartsWith(c_.text, line, kIndex)) p.bestIndex = indexName(c_.text, line);
    }
    return last;
  }

  FactContext& c_;
  int32_t limit_;
  int32_t path_ = -1;
  int32_t candidate_ = -1;
  int32_t column_ = -1;  // the column whose figures may follow
  bool ok_ = true;  // false once a list could not grow
};

}  // namespace

int32_t lineNearKeyPoints(const FactContext& c, int32_t keyPointLimit, int32_t offset) {
  const KeyPoints_c& k = *c.keyPoints;
  // The first key point whose line starts past `offset`.
  const KeyPoint* after = std::partition_point(k.begin(), k.begin() + keyPointLimit,
                                               [offset](const KeyPoint& x) { return x.pos - x.column <= offset; });
  if (after == k.begin()) return lineOfOffset(c.text, 0, 1, offset);
  const KeyPoint& below = after[-1];
  return lineOfOffset(c.text, below.pos - below.column, below.line + 1, offset);
}

const char* accessFlagName(int32_t kind) {
  return kind == kFlagRoundedToOne ? "rounded_to_one" : "prorated_density";
}

bool readAccessPaths(FactContext& c, int32_t from, int32_t to, int32_t keyPointLimit, QueryBlockFact& block) {
  block.accessPaths = FactRange{c.facts.accessPaths.count(), 0};
  // The estimation lines of the stretch; of several for one alias, the last.
  PackedRecords<Estimation> found;
  for (int32_t at = findIn(c.text, from, to, kEstimation); at >= 0;
       at = findIn(c.text, at + static_cast<int32_t>(kEstimation.size()), to, kEstimation)) {
    const int32_t start = lineStartOf(c.text, from, at);
    if (skipBlanks(c.text, start, at) != at) continue;
    const void* feed = std::memchr(c.text + at, '\n', static_cast<size_t>(to - at));
    TraceLine line{start, feed ? static_cast<int32_t>(static_cast<const char*>(feed) - c.text) : to, 0};
    if (line.end > line.begin && c.text[line.end - 1] == '\r') --line.end;
    Estimation* e = found.append();
    if (!e) return false;
    *e = Estimation{start, restAfter(c.text, line, kEstimation)};
  }
  if (found.count() == 0) return true;
  PackedRecords<int32_t> order;
  if (order.reserveRecords(found.count()) != 0) return false;
  for (int32_t i = 0; i < found.count(); ++i) *order.append() = i;
  auto aliasOf = [&](int32_t i) { return c.facts.view(found[i].alias); };
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return aliasOf(a) < aliasOf(b); });
  // The last of each run of one alias is kept: mark the others.
  for (int32_t k = 0; k + 1 < order.count(); ++k) {
    if (aliasOf(order[k]) == aliasOf(order[k + 1])) found[order[k]].offset = -1;
  }
  SectionReader reader(c, to);
  for (const Estimation& e : found) {
    if (e.offset < 0) continue;
    if (!reader.read(e.offset, lineNearKeyPoints(c, keyPointLimit, e.offset), e.alias)) return false;
  }
  block.accessPaths.count = c.facts.accessPaths.count() - block.accessPaths.first;
  return true;
}
