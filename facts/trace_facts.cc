// The trace-facts pass: one walk over the key points, reading the text only
// around the markers that open the sections the facts come from.
#include "facts/trace_facts.h"

#include <cassert>
#include <cstring>

#include "facts/facts_internal.h"
#include "facts/list_lines.h"
#include "outline/line_shift.h"
#include "trace/trace_scanner.h"

void TraceFacts::reset() {
  statements.reset();
  parameters.reset();
  fixControls.reset();
  parameterFixControls.reset();
  queryBlocks.reset();
  joinOrders.reset();
  tables.reset();
  accessPaths.reset();
  accessCandidates.reset();
  accessFlags.reset();
  columnStats.reset();
  tableStats.reset();
  indexStats.reset();
  transformations.reset();
  planOperations.reset();
  outlineHints.reset();
  keyPointLines.reset();
  text = nullptr;
  length = 0;
}

namespace {

// How a key point bears on where statements begin and end.
enum class Role { kNeutral, kContent, kDump, kDumpPart };

Role roleOf(int32_t kind) {
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
      return Role::kContent;
    case tkSqlDump:
      return Role::kDump;
    case tkExplainPlan:
    case tkOptStateDump:
      return Role::kDumpPart;
    default:
      return Role::kNeutral;  // time-stamp entry lines
  }
}

// The line that closes a statement's dump, looked for in the last bytes
// before the next statement.
constexpr char kDumpEnd[] = "END SQL Statement Dump";
constexpr int32_t kEndWindow = 8192;

inline int32_t lineStartOfKeyPoint(const KeyPoint& k) { return k.pos - k.column > 0 ? k.pos - k.column : 0; }

class FactsBuilder {
 public:
  FactsBuilder(TraceFacts& facts, const char* text, int32_t length, const KeyPoints_c& keyPoints)
      : c_{facts, text, length, &keyPoints}, keyPoints_(keyPoints), joinOrders_(c_) {}

  // Reads the facts of the key points whose readers' limits are known:
  // those before the last key point that can end a section, or, once the
  // list is `complete`, all of them. Key points may be appended between
  // calls. False when a list could not grow.
  bool advance(bool complete) {
    const int32_t n = keyPoints_.count();
    for (; seen_ < n; ++seen_) {
      if (roleOf(keyPoints_[seen_].kind) != Role::kNeutral) lastSection_ = seen_;
    }
    const int32_t until = complete ? n : lastSection_;
    for (; next_ < until; ++next_) {
      int32_t* line = c_.facts.keyPointLines.append();
      if (!line) return false;
      *line = keyPoints_[next_].line + 1;
      if (!onKeyPoint(next_)) return false;
    }
    return true;
  }

  // After the last key point: the last statement's stretch.
  bool finish() {
    if (!advance(true)) return false;
    if (current_ != kNoFact) {
      closeStatement();
      placeStatement(c_.length);
    }
    return true;
  }

 private:
  StatementFacts& current() { return c_.facts.statements[current_]; }

  // Key point `keyPoint` opens a statement; the one before ends on the
  // line above it at the latest.
  bool openStatement(int32_t keyPoint) {
    if (current_ != kNoFact) {
      closeStatement();
      placeStatement(lineStartOfKeyPoint(keyPoints_[keyPoint]));
    }
    StatementFacts* s = appendFact(c_.facts.statements);
    if (!s) return false;
    current_ = c_.facts.statements.count() - 1;
    openedAt_ = lineStartOfKeyPoint(keyPoints_[keyPoint]);
    dumped_ = false;
    dumpFrom_ = -1;
    contextAt_ = -1;
    stretchBegin_ = placedEnd_;
    TraceFacts& f = c_.facts;
    s->queryBlocks.first = f.queryBlocks.count();
    s->joinOrders.first = f.joinOrders.count();
    s->transformations.first = f.transformations.count();
    joinOrders_.startStatement(*s);
    return true;
  }

  void closeStatement() {
    StatementFacts& s = current();
    const TraceFacts& f = c_.facts;
    s.queryBlocks.count = f.queryBlocks.count() - s.queryBlocks.first;
    s.joinOrders.count = f.joinOrders.count() - s.joinOrders.first;
    s.transformations.count = f.transformations.count() - s.transformations.first;
  }

  // How far the readers of key point i may read: up to the line of the next
  // key point that is not a time-stamp line (those may stand inside any
  // list), and at least to the end of key point i's own line.
  int32_t limitAfter(int32_t i) {
    if (nextSection_ <= i) {
      nextSection_ = i + 1;
      while (nextSection_ < keyPoints_.count() && roleOf(keyPoints_[nextSection_].kind) == Role::kNeutral) {
        ++nextSection_;
      }
    }
    if (nextSection_ >= keyPoints_.count()) return c_.length;
    const KeyPoint& next = keyPoints_[nextSection_];
    // On a later line, the next key point's line starts past this one's.
    if (next.line > keyPoints_[i].line) return lineStartOfKeyPoint(next);
    const int32_t pos = keyPoints_[i].pos;
    const void* feed = pos < c_.length ? std::memchr(c_.text + pos, '\n', static_cast<size_t>(c_.length - pos)) : nullptr;
    const int32_t ownLineEnd = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - c_.text) + 1 : c_.length;
    return lineStartOfKeyPoint(next) > ownLineEnd ? lineStartOfKeyPoint(next) : ownLineEnd;
  }

  // The first section of a kind in a statement is the one kept.
  static void placeSection(SectionPlace& place, int32_t& line, const KeyPoint& k, int32_t limit) {
    if (place.offset >= 0) return;
    place = SectionPlace{k.pos, limit};
    line = k.line + 1;
  }

  bool transformationsAfter(const KeyPoint& k, int32_t from, int32_t limit) {
    const int32_t fromLine = lineOfOffset(c_.text, k.pos, k.line + 1, from);
    return readTransformations(c_, from, limit, fromLine, contextAt_);
  }

  bool onKeyPoint(int32_t i) {
    const KeyPoint& k = keyPoints_[i];
    const Role role = roleOf(k.kind);
    if (role == Role::kNeutral) return true;
    // The SQL dump ends a statement's stretch. Its explain plan and
    // state dump follow it; one that stands without a dump (a trace cut
    // short) still ends the statement's optimisation.
    bool opens = current_ == kNoFact;
    if (!opens && role == Role::kContent) opens = dumped_;
    if (!opens && role == Role::kDump) opens = current().sqlDumpKeyPoint != kNoFact;
    // Statements hold whole lines: a key point on the line of the one that
    // opened the current statement stays in it (else that statement would
    // end before its own first key point, or be empty).
    if (opens && current_ != kNoFact && lineStartOfKeyPoint(k) <= openedAt_) opens = false;
    if (opens && !openStatement(i)) return false;
    StatementFacts& s = current();
    const int32_t limit = limitAfter(i);
    if (role != Role::kContent) {
      dumped_ = true;
      dumpFrom_ = k.pos;
    }
    switch (k.kind) {
      case tkSqlDump:
        s.sqlDumpKeyPoint = i;
        readSqlDump(c_, s, k, limit);
        return true;
      // The long lists are read later; only their places are kept.
      case tkExplainPlan:
        placeSection(s.explainPlan, s.explainPlanLine, k, limit);
        return true;
      case tkOptStateDump:
        placeSection(s.stateDump, s.stateDumpLine, k, limit);
        return true;
      case tkOptParams:
        placeSection(s.parameterBlock, s.parametersLine, k, limit);
        return true;
      case tkRegisteredQb:
        contextAt_ = k.pos;
        return true;
      case tkQbTransformation:
        contextAt_ = k.pos;
        return transformationsAfter(k, k.pos, limit);
      case tkOptimizingQb:
        // The block the scan opens for join orders also follows a time
        // stamp inside a search, so only the marker starts one.
        if (!opensJoinOrderBlock(keyPoints_, i)) contextAt_ = k.pos;
        return true;
      case tkJoinOrder:
        return joinOrders_.onJoinOrder(i, limit);
      case tkBestSoFar:
        joinOrders_.onBestSoFar(k, limit);
        return true;
      case tkJoinOrderAborted:
        joinOrders_.onAborted();
        return true;
      case tkFinalQbCost: {
        const int32_t after = joinOrders_.onFinalCost(i, limit, stretchBegin_);
        if (after < 0) return false;
        // The next query block's stretch starts on the line after this one.
        const void* feed = std::memchr(c_.text + k.pos, '\n', static_cast<size_t>(c_.length - k.pos));
        stretchBegin_ = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - c_.text) + 1 : c_.length;
        contextAt_ = k.pos;
        return transformationsAfter(k, after, limit);
      }
      case tkFinalQuery:
        s.finalQueryKeyPoint = i;
        s.finalQueryLine = 0;
        s.finalQuery = TextSpan{};
        if (k.queryStart > 0) {
          TraceLine line;
          LineReader reader(c_.text, c_.length, k.queryStart, k.line + 2);
          if (reader.next(line)) {
            s.finalQueryLine = line.number;
            s.finalQuery = spanOf(line.begin, line.end);
          }
        }
        return true;
      default:
        return true;
    }
  }

  // The line of `offset`, counted from the nearer of the key points around
  // it; offsets come in increasing order.
  int32_t lineAt(int32_t offset) {
    const int32_t n = keyPoints_.count();
    while (lineAnchor_ + 1 < n && lineStartOfKeyPoint(keyPoints_[lineAnchor_ + 1]) <= offset) ++lineAnchor_;
    const int32_t below = lineAnchor_ >= 0 ? lineStartOfKeyPoint(keyPoints_[lineAnchor_]) : 0;
    const int32_t belowLine = lineAnchor_ >= 0 ? keyPoints_[lineAnchor_].line + 1 : 1;
    if (lineAnchor_ + 1 < n) {
      const KeyPoint& next = keyPoints_[lineAnchor_ + 1];
      const int32_t above = lineStartOfKeyPoint(next);
      if (above - offset < offset - below) return next.line + 1 - lineFeedsBetween(c_.text, offset, above);
    }
    return belowLine + lineFeedsBetween(c_.text, below, offset);
  }

  // The last "END SQL Statement Dump" in [from, to), looked for in the
  // last bytes before `to`: the dump's last line stands just before the
  // next statement.
  int32_t lastDumpEnd(int32_t from, int32_t to) const {
    for (int32_t window : {kEndWindow / 16, kEndWindow}) {
      const int32_t start = to - window > from ? to - window : from;
      int32_t at = -1;
      for (int32_t hit = findIn(c_.text, start, to, kDumpEnd); hit >= 0; hit = findIn(c_.text, hit + 1, to, kDumpEnd)) {
        at = hit;
      }
      if (at >= 0 || start == from) return at;
    }
    return -1;
  }

  // The current statement's stretch: it ends with the "END SQL Statement
  // Dump" line of its dump, else at `boundary`, where the next statement's
  // first key point stands (or the text ends); the next one begins right
  // after.
  void placeStatement(int32_t boundary) {
    StatementFacts& s = current();
    const int32_t begin = placedEnd_;
    int32_t end = boundary;
    if (dumpFrom_ >= 0) {
      const int32_t at = lastDumpEnd(dumpFrom_, boundary);
      if (at >= 0) {
        const void* feed = std::memchr(c_.text + at, '\n', static_cast<size_t>(boundary - at));
        end = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - c_.text) + 1 : boundary;
      }
    }
    // The next statement opens on a later line than this one, and a dump's
    // end lies past its own key point.
    assert(boundary > begin && end > begin);
    if (end <= begin) end = boundary;
    s.beginOffset = begin;
    s.endOffset = end;
    s.firstLine = lineAt(begin);
    s.lastLine = lineAt(end - 1 > begin ? end - 1 : begin);
    int32_t keyPoint = placedKeyPoints_;
    while (keyPoint < keyPoints_.count() && lineStartOfKeyPoint(keyPoints_[keyPoint]) < begin) ++keyPoint;
    s.keyPoints.first = keyPoint;
    while (keyPoint < keyPoints_.count() && lineStartOfKeyPoint(keyPoints_[keyPoint]) < end) ++keyPoint;
    s.keyPoints.count = keyPoint - s.keyPoints.first;
    placedKeyPoints_ = keyPoint;
    if (!s.sqlId.present() || s.sqlTextLine == 0) readSqlHeading(c_, s);
    placedEnd_ = end;
  }

  FactContext c_;
  const KeyPoints_c& keyPoints_;
  JoinOrderReader joinOrders_;
  int32_t current_ = kNoFact;
  int32_t openedAt_ = 0;     // where the line of the current statement's first key point starts
  bool dumped_ = false;
  int32_t dumpFrom_ = -1;    // the current statement's last dump key point, -1 before a dump
  int32_t contextAt_ = -1;   // where the query block being worked on is named
  int32_t stretchBegin_ = 0;  // where the next final cost's stretch begins
  int32_t nextSection_ = 0;  // cached by limitAfter
  int32_t lineAnchor_ = -1;  // cached by lineAt
  int32_t seen_ = 0;         // key points looked at by advance
  int32_t lastSection_ = -1;  // the last of those that can end a section
  int32_t next_ = 0;         // the first key point not read yet
  int32_t placedEnd_ = 0;    // where the last placed statement ends
  int32_t placedKeyPoints_ = 0;  // key points before that end
};

}  // namespace

int buildTraceFacts(TraceFacts& facts, const char* text, int32_t length, const KeyPoints_c& keyPoints) {
  facts.reset();
  facts.text = text;
  facts.length = length;
  if (keyPoints.outOfMemory()) return -1;
  if (length <= 0 || !text) return 0;
  FactsBuilder builder(facts, text, length, keyPoints);
  if (facts.keyPointLines.reserveRecords(keyPoints.count()) != 0 || !builder.finish()) {
    facts.reset();
    return -1;
  }
  return 0;
}

namespace {

// Reads each stretch's key points as soon as the scan has passed it.
class FactsFollower final : public KeyPointFollower {
 public:
  explicit FactsFollower(FactsBuilder& builder) : builder_(builder) {}
  void onScanned(const KeyPoints_c&) override {
    if (ok_) ok_ = builder_.advance(false);
  }
  bool ok() const { return ok_; }

 private:
  FactsBuilder& builder_;
  bool ok_ = true;
};

}  // namespace

int scanKeyPointsAndFacts(KeyPoints_c& keyPoints, TraceFacts& facts, const char* text, int32_t length) {
  resetKeyPoints(keyPoints);
  facts.reset();
  facts.text = text;
  facts.length = length;
  if (length <= 0 || !text) return 0;
  FactsBuilder builder(facts, text, length, keyPoints);
  FactsFollower follower(builder);
  scanKeyPoints(keyPoints, text, length, follower);
  // A scan whose list could not grow leaves no key points: no facts
  // either, and a failure, not the facts of a trace without markers.
  if (keyPoints.outOfMemory()) {
    facts.reset();
    return -1;
  }
  if (!follower.ok() || !builder.finish()) {
    facts.reset();
    return -1;
  }
  return 0;
}

int buildTraceFactsInSteps(TraceFacts& facts, const char* text, int32_t length, const KeyPoints_c& keyPoints,
                           int32_t step) {
  facts.reset();
  facts.text = text;
  facts.length = length;
  if (length <= 0 || !text) return 0;
  KeyPoints_c arrived;
  FactsBuilder builder(facts, text, length, arrived);
  bool ok = true;
  for (int32_t i = 0; i < keyPoints.count() && ok; ++i) {
    KeyPoint* k = appendKeyPoint(arrived);
    if (!k) break;
    *k = keyPoints[i];
    if ((i + 1) % step == 0) ok = builder.advance(false);
  }
  if (!ok || arrived.count() != keyPoints.count() || !builder.finish()) {
    facts.reset();
    return -1;
  }
  return 0;
}

int32_t statementAtLine(const TraceFacts& facts, int32_t line) {
  const auto& s = facts.statements;
  const int32_t i = firstNotBefore(s, [&](const StatementFacts& x) { return x.lastLine < line; });
  return i < s.count() && s[i].firstLine <= line ? i : kNoFact;
}

int32_t statementOfKeyPoint(const TraceFacts& facts, int32_t keyPoint) {
  const auto& s = facts.statements;
  const int32_t i =
      firstNotBefore(s, [&](const StatementFacts& x) { return x.keyPoints.end() <= keyPoint; });
  return i < s.count() && s[i].keyPoints.first <= keyPoint ? i : kNoFact;
}

int32_t joinOrderOfKeyPoint(const TraceFacts& facts, int32_t keyPoint) {
  const auto& j = facts.joinOrders;
  const int32_t i = firstNotBefore(j, [&](const JoinOrderFact& x) { return x.keyPoint < keyPoint; });
  return i < j.count() && j[i].keyPoint == keyPoint ? i : kNoFact;
}

int32_t queryBlockOfKeyPoint(const TraceFacts& facts, int32_t keyPoint) {
  const auto& q = facts.queryBlocks;
  const int32_t i = firstNotBefore(q, [&](const QueryBlockFact& x) { return x.keyPoint < keyPoint; });
  return i < q.count() && q[i].keyPoint == keyPoint ? i : kNoFact;
}
