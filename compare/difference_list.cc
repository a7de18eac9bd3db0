#include "compare/difference_list.h"

#include <cstdio>

#include "base/byte_text.h"

namespace {

class ListBuilder {
 public:
  ListBuilder(const ComparedTrace& a, const ComparedTrace& b, const TraceComparison& c, DifferenceList& out)
      : a_(a), b_(b), fa_(*a.facts), fb_(*b.facts), c_(c), out_(out) {}

  bool run() {
    int32_t full = 0;
    int32_t firstFull = kNoFact;
    for (int32_t p = 0; p < c_.pairs.count(); ++p) {
      if (!isFull(p)) continue;
      ++full;
      if (firstFull == kNoFact) firstFull = p;
    }
    if (c_.firstDivergence != kNoFact) {
      const DecisionDifference& d = c_.decisions[c_.firstDivergence];
      heading([&] {
        put("First divergence: ");
        putStatement(fa_, c_.pairs[d.pair].a, "A");
        put(" and ");
        putStatement(fb_, c_.pairs[d.pair].b, "B");
      });
      decisionRow(c_.firstDivergence, kDifferenceFirstDivergence);
    }
    // Common differences are marked only when two pairs or more have them.
    if (full >= 2 && hasCommon(c_.differences[firstFull])) {
      heading([&] { put("In every pair of statements (lines of the first pair)"); });
      listRows(c_.differences[firstFull], true);
    }
    for (int32_t p = 0; p < c_.pairs.count(); ++p) {
      if (isFull(p)) pairRows(p);
    }
    bool unpairedHeading = false;
    for (int32_t p = 0; p < c_.pairs.count(); ++p) {
      if (isFull(p)) continue;
      if (!unpairedHeading) heading([&] { put("In one trace only"); });
      unpairedHeading = true;
      unpairedRow(p);
    }
    if (c_.hunks.count() > 0) {
      heading([&] {
        putNumber(c_.hunks.count());
        put(c_.hunks.count() == 1 ? " run of differing lines" : " runs of differing lines");
      });
    }
    for (int32_t h = 0; h < c_.hunks.count(); ++h) hunkRow(h);
    return !failed_;
  }

 private:
  bool isFull(int32_t p) const { return c_.pairs[p].a != kNoFact && c_.pairs[p].b != kNoFact; }

  bool hasCommon(const PairDifferences& d) const {
    for (const ListDifference& parameter : slice(c_.parameters, d.parameters)) {
      if (parameter.common) return true;
    }
    for (const ListDifference& fix : slice(c_.fixControls, d.fixControls)) {
      if (fix.common) return true;
    }
    return false;
  }

  // The text `write` puts into the pool, as a cell.
  template <class Write>
  DifferenceText cell(Write write) {
    const int32_t start = out_.text.length();
    write();
    return failed_ ? DifferenceText{0, 0} : DifferenceText{start, out_.text.length() - start};
  }

  void put(std::string_view s) {
    if (!failed_ && out_.text.append(s.data(), static_cast<int64_t>(s.size())) != 0) failed_ = true;
  }

  void putNumber(int64_t n) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(n));
    put(std::string_view(digits, static_cast<size_t>(length)));
  }

  // Trace text, trimmed, as valid UTF-8 without control characters: a
  // control becomes a blank, a byte that starts no UTF-8 sequence stands
  // for its Windows-1252 character, as the editor shows it ('?' for the
  // five the code page leaves undefined). Cut after kDifferenceCellBytes
  // bytes.
  void putTrace(std::string_view s) {
    const auto* u = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    size_t n = s.size();
    while (i < n && (u[i] == ' ' || u[i] == '\t')) ++i;
    while (n > i && (u[n - 1] == ' ' || u[n - 1] == '\t' || u[n - 1] == '\r')) --n;
    char safe[kDifferenceCellBytes + 4];
    int32_t used = 0;
    while (i < n) {
      const unsigned char b = u[i];
      const int length = b < 0x80 ? 1 : utf8SequenceLength(u, i, n);
      char single[3];
      int written = length;
      if (length == 0) written = isUndefinedInWindows1252(b) ? 1 : windows1252ToUtf8(b, single);
      if (used + written > kDifferenceCellBytes) {
        put(std::string_view(safe, static_cast<size_t>(used)));
        put("...");
        return;
      }
      if (length == 1) {
        safe[used++] = byteIs(b, kControlByte) ? ' ' : static_cast<char>(b);
      } else if (length == 0 && written == 1) {
        safe[used++] = '?';
      } else {
        const char* from = length == 0 ? single : s.data() + i;
        for (int k = 0; k < written; ++k) safe[used++] = from[k];
      }
      i += length == 0 ? 1 : static_cast<size_t>(length);
    }
    put(std::string_view(safe, static_cast<size_t>(used)));
  }

  // The span, or "-" when it is absent or empty.
  void putSpan(const TraceFacts& f, TextSpan span) {
    if (span.present() && span.length > 0) {
      putTrace(f.view(span));
    } else {
      put("-");
    }
  }

  void putLine(int32_t line) {
    put(" (line ");
    putNumber(line);
    put(")");
  }

  // «lines 3-5», «line 3», or «nothing, before line 3».
  void putLineRange(int32_t line, int32_t count) {
    if (count == 0) {
      put("nothing, before line ");
      putNumber(line);
    } else if (count == 1) {
      put("line ");
      putNumber(line);
    } else {
      put("lines ");
      putNumber(line);
      put("-");
      putNumber(line + count - 1);
    }
  }

  void putStatement(const TraceFacts& f, int32_t index, const char* side) {
    put(side);
    put(" ");
    putNumber(index + 1);
    put(" (sql_id ");
    putSpan(f, f.statements[index].sqlId);
    put(")");
  }

  void add(int32_t kind, int32_t source, DifferenceText what, DifferenceText inA, DifferenceText inB, int32_t aLine,
           int32_t aCount, int32_t bLine, int32_t bCount) {
    if (failed_) return;
    DifferenceRow* row = out_.rows.append();
    if (!row) {
      failed_ = true;
      return;
    }
    *row = DifferenceRow{kind, source, what, inA, inB, aLine, aCount, bLine, bCount};
  }

  template <class Write>
  void heading(Write write) {
    add(kDifferenceHeading, kNoFact, cell(write), {}, {}, 0, 0, 0, 0);
  }

  static int32_t statementLine(const StatementFacts& s) { return s.line > 0 ? s.line : s.firstLine; }

  // The parameters and fix controls of one pair whose `common` mark is
  // `wantCommon`.
  void listRows(const PairDifferences& d, bool wantCommon) {
    entryRows(kDifferenceParameter, c_.parameters, d.parameters, wantCommon);
    entryRows(kDifferenceFixControl, c_.fixControls, d.fixControls, wantCommon);
  }

  // A list's differences, a row each; those that one side alone has, when
  // they are many, a row for each side (an upgrade brings hundreds).
  void entryRows(int32_t kind, const PackedRecords<ListDifference>& list, FactRange range, bool wantCommon) {
    const OneSidedCounts counts = countOneSided(list, range, wantCommon);
    for (int32_t i = range.first; i < range.end(); ++i) {
      const ListDifference& d = list[i];
      if (d.common == wantCommon && !counts.grouped(d)) entryRow(kind, i, d);
    }
    for (int side = 0; side < 2; ++side) {
      const int32_t n = counts.onlyIn[side];
      if (n >= OneSidedCounts::kGroupFrom) groupRow(kind, list, range, wantCommon, side == 1, n);
    }
  }

  void groupRow(int32_t kind, const PackedRecords<ListDifference>& list, FactRange range, bool wantCommon, bool inB,
                int32_t count) {
    const bool parameter = kind == kDifferenceParameter;
    const TraceFacts& f = inB ? fb_ : fa_;
    int32_t first = 0;
    int32_t last = 0;
    const DifferenceText what = cell([&] {
      putNumber(count);
      put(parameter ? " parameters only in " : " fix controls only in ");
      put(inB ? "B" : "A");
    });
    const DifferenceText names = cell([&] {
      const int32_t start = out_.text.length();
      for (const ListDifference& d : slice(list, range)) {
        if (d.common != wantCommon || (inB ? d.a != kNoFact : d.b != kNoFact)) continue;
        const int32_t index = inB ? d.b : d.a;
        const int32_t line = parameter ? f.parameters[index].line : f.fixControls[index].line;
        if (first == 0 || line < first) first = line;
        if (line > last) last = line;
        if (out_.text.length() - start > kDifferenceCellBytes) continue;
        if (out_.text.length() > start) put(" ");
        putSpan(f, parameter ? f.parameters[index].name : f.fixControls[index].number);
      }
      if (out_.text.length() - start > kDifferenceCellBytes) put(" ...");
    });
    const DifferenceText none = cell([&] { put("-"); });
    const int32_t lines = first > 0 ? last - first + 1 : 0;
    if (inB) {
      add(kDifferenceGroup, kNoFact, what, none, names, 0, 0, first, lines);
    } else {
      add(kDifferenceGroup, kNoFact, what, names, none, first, lines, 0, 0);
    }
  }

  void entryRow(int32_t kind, int32_t source, const ListDifference& d) {
    const bool parameter = kind == kDifferenceParameter;
    auto nameOf = [&](const TraceFacts& f, int32_t index) {
      return parameter ? f.parameters[index].name : f.fixControls[index].number;
    };
    auto valueOf = [&](const TraceFacts& f, int32_t index) {
      return parameter ? f.parameters[index].value : f.fixControls[index].value;
    };
    auto lineOf = [&](const TraceFacts& f, int32_t index) {
      return index == kNoFact ? 0 : parameter ? f.parameters[index].line : f.fixControls[index].line;
    };
    auto side = [&](const TraceFacts& f, int32_t index) {
      return cell([&] {
        if (index == kNoFact) {
          put("-");
          return;
        }
        putSpan(f, valueOf(f, index));
        putLine(lineOf(f, index));
      });
    };
    const DifferenceText what = cell([&] {
      put(parameter ? "parameter " : "fix control ");
      putSpan(d.a != kNoFact ? fa_ : fb_, nameOf(d.a != kNoFact ? fa_ : fb_, d.a != kNoFact ? d.a : d.b));
    });
    const DifferenceText inA = side(fa_, d.a);
    const DifferenceText inB = side(fb_, d.b);
    const int32_t aLine = lineOf(fa_, d.a);
    const int32_t bLine = lineOf(fb_, d.b);
    add(kind, source, what, inA, inB, aLine, aLine > 0 ? 1 : 0, bLine, bLine > 0 ? 1 : 0);
  }

  void pairRows(int32_t p) {
    const StatementPair& pair = c_.pairs[p];
    const PairDifferences& d = c_.differences[p];
    int32_t own = d.queryBlocks.count + d.decisions.count + (d.planHashDiffers ? 1 : 0) + (d.sqlIdDiffers ? 1 : 0);
    for (const ListDifference& parameter : slice(c_.parameters, d.parameters)) own += !parameter.common;
    for (const ListDifference& fix : slice(c_.fixControls, d.fixControls)) {
      own += !fix.common;
    }
    if (own == 0) return;
    const StatementFacts& sa = fa_.statements[pair.a];
    const StatementFacts& sb = fb_.statements[pair.b];
    heading([&] {
      putStatement(fa_, pair.a, "A");
      put(" and ");
      putStatement(fb_, pair.b, "B");
      put(pair.pairedBy == kPairedBySqlId ? ", paired by sql_id" : ", paired in order");
    });
    auto statementRow = [&](int32_t kind, const char* name, TextSpan StatementFacts::*field) {
      const DifferenceText what = cell([&] { put(name); });
      const DifferenceText inA = cell([&] { putSpan(fa_, sa.*field); });
      const DifferenceText inB = cell([&] { putSpan(fb_, sb.*field); });
      add(kind, p, what, inA, inB, statementLine(sa), 1, statementLine(sb), 1);
    };
    for (int32_t i = d.decisions.first; i < d.decisions.end(); ++i) {
      decisionRow(i, kDifferenceDecision);
    }
    if (d.sqlIdDiffers) statementRow(kDifferenceSqlId, "sql_id", &StatementFacts::sqlId);
    if (d.planHashDiffers) statementRow(kDifferencePlanHash, "plan hash value", &StatementFacts::planHashValue);
    listRows(d, false);
    for (int32_t i = d.queryBlocks.first; i < d.queryBlocks.end(); ++i) queryBlockRow(i);
  }

  // One side's value of a decision, with its line.
  void putDecisionValue(const TraceFacts& f, const DecisionDifference& d, bool sideB) {
    const DecisionValue v = decisionValue(f, d, sideB);
    switch (v.kind) {
      case DecisionValue::kText:
        putSpan(f, v.text);
        break;
      case DecisionValue::kCount:
        putNumber(v.count);
        break;
      case DecisionValue::kFlags: {
        bool any = false;
        for (int32_t kind : {kFlagProratedDensity, kFlagRoundedToOne}) {
          if (!(v.flags >> kind & 1)) continue;
          if (any) put(" ");
          put(accessFlagName(kind));
          any = true;
        }
        if (!any) put("none");
        break;
      }
      case DecisionValue::kJoinOrder: {
        const JoinOrderFact& order = f.joinOrders[v.joinOrder];
        for (int32_t t = 0; t < order.tables.count; ++t) {
          if (t > 0) put(" ");
          putSpan(f, f.tables[order.tables.first + t]);
        }
        break;
      }
      default:
        put("-");
        return;
    }
    const int32_t line = sideB ? d.bLine : d.aLine;
    if (line > 0) putLine(line);
  }

  void decisionRow(int32_t index, int32_t kind) {
    const DecisionDifference& d = c_.decisions[index];
    const TraceFacts& namedIn = d.queryBlockA != kNoFact ? fa_ : fb_;
    const QueryBlockFact& block = namedIn.queryBlocks[d.queryBlockA != kNoFact ? d.queryBlockA : d.queryBlockB];
    const DifferenceText what = cell([&] {
      put("query block ");
      putSpan(namedIn, block.name);
      if (d.pathA != kNoFact || d.pathB != kNoFact) {
        put(", ");
        putSpan(d.pathA != kNoFact ? fa_ : fb_,
                d.pathA != kNoFact ? fa_.accessPaths[d.pathA].alias : fb_.accessPaths[d.pathB].alias);
      }
      const bool itemInA = decisionItemName(fa_, d, false).present();
      const TextSpan item = itemInA ? decisionItemName(fa_, d, false) : decisionItemName(fb_, d, true);
      if (item.present()) {
        put(", ");
        putSpan(itemInA ? fa_ : fb_, item);
      }
      put(": ");
      put(decisionFactName(d.fact));
    });
    const DifferenceText inA = cell([&] { putDecisionValue(fa_, d, false); });
    const DifferenceText inB = cell([&] { putDecisionValue(fb_, d, true); });
    add(kind, index, what, inA, inB, d.aLine, d.aLine > 0 ? 1 : 0, d.bLine, d.bLine > 0 ? 1 : 0);
  }

  void queryBlockRow(int32_t index) {
    const QueryBlockDifference& q = c_.queryBlocks[index];
    const TraceFacts& namedIn = q.a != kNoFact ? fa_ : fb_;
    const QueryBlockFact& named = namedIn.queryBlocks[q.a != kNoFact ? q.a : q.b];
    const DifferenceText what = cell([&] {
      put("query block ");
      putSpan(namedIn, named.name);
      put(", ");
      putSpan(namedIn, named.plan);
    });
    auto figures = [&](const TraceFacts& f, int32_t i) {
      return cell([&] {
        if (i == kNoFact) {
          put("-");
          return;
        }
        const QueryBlockFact& block = f.queryBlocks[i];
        put("cost ");
        putSpan(f, block.cost);
        put(", card ");
        putSpan(f, block.card);
        put(", bytes ");
        putSpan(f, block.bytes);
        if (block.bestJoinOrderFact != kNoFact) {
          put(", tables");
          const JoinOrderFact& order = f.joinOrders[block.bestJoinOrderFact];
          for (int32_t t = 0; t < order.tables.count; ++t) {
            put(" ");
            putSpan(f, f.tables[order.tables.first + t]);
          }
        }
        putLine(block.line);
      });
    };
    const DifferenceText inA = figures(fa_, q.a);
    const DifferenceText inB = figures(fb_, q.b);
    const int32_t aLine = q.a != kNoFact ? fa_.queryBlocks[q.a].line : 0;
    const int32_t bLine = q.b != kNoFact ? fb_.queryBlocks[q.b].line : 0;
    add(kDifferenceQueryBlock, index, what, inA, inB, aLine, aLine > 0 ? 1 : 0, bLine, bLine > 0 ? 1 : 0);
  }

  void unpairedRow(int32_t p) {
    const bool inA = c_.pairs[p].a != kNoFact;
    const TraceFacts& f = inA ? fa_ : fb_;
    const int32_t index = inA ? c_.pairs[p].a : c_.pairs[p].b;
    const StatementFacts& s = f.statements[index];
    const int32_t count = s.lastLine - s.firstLine + 1;
    const DifferenceText what = cell([&] { putStatement(f, index, inA ? "statement A" : "statement B"); });
    const DifferenceText here = cell([&] { putLineRange(s.firstLine, count); });
    const DifferenceText there = cell([&] { put("-"); });
    if (inA) {
      add(kDifferenceStatement, p, what, here, there, s.firstLine, count, 0, 0);
    } else {
      add(kDifferenceStatement, p, what, there, here, 0, 0, s.firstLine, count);
    }
  }

  // The line of entry `seq` of a line table, without its line end.
  static std::string_view entryText(const ComparedTrace& t, const LineTable& table, int32_t seq) {
    const int32_t start = table.lines[seq].offset;
    int32_t end = start;
    while (end < t.length && t.text[end] != '\n') ++end;
    return std::string_view(t.text + start, static_cast<size_t>(end - start));
  }

  void hunkRow(int32_t index) {
    const TextHunk& h = c_.hunks[index];
    const DifferenceText what = cell([&] {
      if (h.aSeqCount > 0) {
        putTrace(entryText(a_, c_.aLines, h.aSeq));
      } else if (h.bSeqCount > 0) {
        putTrace(entryText(b_, c_.bLines, h.bSeq));
      }
    });
    const DifferenceText inA = cell([&] { putLineRange(h.aLine, h.aCount); });
    const DifferenceText inB = cell([&] { putLineRange(h.bLine, h.bCount); });
    add(kDifferenceText, index, what, inA, inB, h.aLine, h.aCount, h.bLine, h.bCount);
  }

  const ComparedTrace& a_;
  const ComparedTrace& b_;
  const TraceFacts& fa_;
  const TraceFacts& fb_;
  const TraceComparison& c_;
  DifferenceList& out_;
  bool failed_ = false;
};

}  // namespace

int buildDifferenceList(const ComparedTrace& a, const ComparedTrace& b, const TraceComparison& c,
                        DifferenceList& out) {
  out.rows.reset();
  out.text.clear();
  ListBuilder builder(a, b, c, out);
  if (builder.run()) return 0;
  out.rows.release();
  out.text.release();
  return -1;
}
