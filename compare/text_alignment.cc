// The line diff aligned by section: paired statements in order, inside
// them sections matched by the marker that opens them, and lines diffed
// within each matched pair of sections (and within each gap between them).
#include <algorithm>

#include "compare/comparison_internal.h"
#include "compare/increasing_run.h"
#include "trace/trace_scanner.h"

namespace {

bool opensSection(int32_t kind) {
  switch (kind) {
    case tkRegisteredQb:
    case tkOptParams:
    case tkQbTransformation:
    case tkBindVars:
    case tkFinalQuery:
    case tkOptimizingQb:
    case tkSqlDump:
    case tkExplainPlan:
    case tkOptStateDump:
      return true;
    default:
      return false;
  }
}

// A statement's sections: its head, then one per opening key point.
struct Section {
  int32_t firstLine;
  int32_t lastLine;
  int32_t kind;  // 0 for the head
  uint64_t key;  // of kind and caption, and of how many alike came before
};

uint64_t sectionKey(int32_t kind, const char* caption) {
  uint64_t h = 0xcbf29ce484222325ull;
  auto mix = [&](uint64_t v) { h = (h ^ v) * 0x100000001b3ull; };
  mix(static_cast<uint64_t>(kind) + 0x1000);
  for (const char* c = caption; *c; ++c) mix(static_cast<unsigned char>(*c));
  return h;
}

bool sectionsOf(const ComparedTrace& t, const StatementFacts& s, PackedRecords<Section>& out) {
  out.reset();
  Section* head = out.append();
  if (!head) return false;
  *head = Section{s.firstLine, s.lastLine, 0, sectionKey(0, "")};
  const KeyPoints_c& k = *t.keyPoints;
  for (int32_t i = s.keyPoints.first; i < s.keyPoints.end(); ++i) {
    if (!opensSection(k[i].kind)) continue;
    const int32_t line = k[i].line + 1;
    Section& last = out[out.count() - 1];
    if (line <= last.firstLine || line > s.lastLine) continue;  // a second marker on a line
    last.lastLine = line - 1;
    Section* next = out.append();
    if (!next) return false;
    *next = Section{line, s.lastLine, k[i].kind, sectionKey(k[i].kind, k[i].caption)};
  }
  // Alike sections are told apart by how many came before: sort by key
  // (stably, by index) and number each run.
  PackedRecords<int32_t> order;
  if (order.reserveRecords(out.count()) != 0) return false;
  for (int32_t i = 0; i < out.count(); ++i) *order.append() = i;
  std::sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    return out[x].key != out[y].key ? out[x].key < out[y].key : x < y;
  });
  for (int32_t i = 0, run = 0; i < order.count(); ++i) {
    run = i > 0 && out[order[i - 1]].key == out[order[i]].key ? run + 1 : 0;
    if (run > 0) out[order[i]].key = (out[order[i]].key ^ (static_cast<uint64_t>(run) + 0x2000)) * 0x100000001b3ull;
  }
  return true;
}

class TextAligner {
 public:
  TextAligner(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out)
      : a_(a), b_(b), out_(out), differ_(out.aLines, out.bLines) {}

  int run() {
    PackedRecords<int32_t> anchors;
    if (!statementAnchors(anchors)) return -1;
    // The lines before the first key point (the trace's own header) go
    // with each other, whichever statements get paired.
    const int32_t aHead = headerEnd(a_, out_.aLines);
    const int32_t bHead = headerEnd(b_, out_.bLines);
    if (!block(1, aHead, 1, bHead, kNoFact, 0)) return -1;
    int32_t aNext = aHead + 1;
    int32_t bNext = bHead + 1;
    for (int32_t pairIndex : anchors) {
      const StatementPair& pair = out_.pairs[pairIndex];
      StatementFacts sa = a_.facts->statements[pair.a];
      StatementFacts sb = b_.facts->statements[pair.b];
      sa.firstLine = std::max(sa.firstLine, aNext);
      sb.firstLine = std::max(sb.firstLine, bNext);
      if (!block(aNext, sa.firstLine - 1, bNext, sb.firstLine - 1, kNoFact, 0)) return -1;
      if (!statementPair(pairIndex, sa, sb)) return -1;
      aNext = sa.lastLine + 1;
      bNext = sb.lastLine + 1;
    }
    if (!block(aNext, out_.aLines.lineCount, bNext, out_.bLines.lineCount, kNoFact, 0)) return -1;
    return tidyRuns(runs_, out_.equalRuns) == 0 && hunks() ? 0 : -1;
  }

 private:
  // The last line before the first key point (every line when there is none).
  static int32_t headerEnd(const ComparedTrace& t, const LineTable& lines) {
    return t.keyPoints->count() > 0 ? std::min((*t.keyPoints)[0].line, lines.lineCount) : lines.lineCount;
  }

  // The paired statements that keep their order on both sides: the
  // longest run of pairs (in A's order) whose B statements increase.
  bool statementAnchors(PackedRecords<int32_t>& anchors) {
    PackedRecords<int32_t> full;
    for (int32_t p = 0; p < out_.pairs.count(); ++p) {
      if (out_.pairs[p].a == kNoFact || out_.pairs[p].b == kNoFact) continue;
      int32_t* slot = full.append();
      if (!slot) return false;
      *slot = p;
    }
    if (longestIncreasingRun(full.count(), [&](int32_t i) { return out_.pairs[full[i]].b; }, anchors) != 0) {
      return false;
    }
    for (int32_t& anchor : anchors) anchor = full[anchor];
    return true;
  }

  // Sections matched by key (their order kept), then lines within them.
  bool statementPair(int32_t pairIndex, const StatementFacts& sa, const StatementFacts& sb) {
    if (!sectionsOf(a_, sa, sectionsA_) || !sectionsOf(b_, sb, sectionsB_)) return false;
    keysA_.lines.reset();
    keysB_.lines.reset();
    for (const Section& s : sectionsA_) {
      LineEntry* e = keysA_.lines.append();
      if (!e) return false;
      *e = LineEntry{s.key, 0, 0};
    }
    for (const Section& s : sectionsB_) {
      LineEntry* e = keysB_.lines.append();
      if (!e) return false;
      *e = LineEntry{s.key, 0, 0};
    }
    PackedRecords<EqualRun> matched;
    PackedRecords<EqualRun> ordered;
    LineDiffer keys(keysA_, keysB_);
    if (keys.diff(0, keysA_.lines.count(), 0, keysB_.lines.count(), matched) != 0 ||
        tidyRuns(matched, ordered) != 0) {
      return false;
    }
    // Matched sections one by one; the unmatched ones between two matches
    // as one block, so renamed query blocks still get their lines diffed.
    int32_t i = 0;
    int32_t j = 0;
    for (int32_t r = 0; r <= ordered.count(); ++r) {
      const int32_t toI = r < ordered.count() ? ordered[r].aSeq : sectionsA_.count();
      const int32_t toJ = r < ordered.count() ? ordered[r].bSeq : sectionsB_.count();
      if (toI > i || toJ > j) {
        const int32_t aFirst = i < sectionsA_.count() ? sectionsA_[i].firstLine : sa.lastLine + 1;
        const int32_t aLast = toI > i ? sectionsA_[toI - 1].lastLine : aFirst - 1;
        const int32_t bFirst = j < sectionsB_.count() ? sectionsB_[j].firstLine : sb.lastLine + 1;
        const int32_t bLast = toJ > j ? sectionsB_[toJ - 1].lastLine : bFirst - 1;
        if (!block(aFirst, aLast, bFirst, bLast, pairIndex, 0)) return false;
      }
      if (r == ordered.count()) break;
      for (int32_t k = 0; k < ordered[r].count; ++k) {
        const Section& x = sectionsA_[toI + k];
        const Section& y = sectionsB_[toJ + k];
        if (!block(x.firstLine, x.lastLine, y.firstLine, y.lastLine, pairIndex, x.kind)) return false;
      }
      i = toI + ordered[r].count;
      j = toJ + ordered[r].count;
    }
    return true;
  }

  // Lines [aFirst, aLast] of A against [bFirst, bLast] of B.
  bool block(int32_t aFirst, int32_t aLast, int32_t bFirst, int32_t bLast, int32_t pair, int32_t kind) {
    if (aLast < aFirst && bLast < bFirst) return true;
    SectionPair* section = out_.sections.append();
    if (!section) return false;
    *section = SectionPair{aFirst, aLast, bFirst, bLast, pair, kind};
    const int32_t aFrom = out_.aLines.firstAtOrAfter(aFirst);
    const int32_t aTo = out_.aLines.firstAtOrAfter(aLast + 1);
    const int32_t bFrom = out_.bLines.firstAtOrAfter(bFirst);
    const int32_t bTo = out_.bLines.firstAtOrAfter(bLast + 1);
    return differ_.diff(aFrom, aTo, bFrom, bTo, runs_) == 0;
  }

  // The hunks are the gaps between the equal runs.
  bool hunks() {
    const LineTable& la = out_.aLines;
    const LineTable& lb = out_.bLines;
    int32_t aSeq = 0;
    int32_t bSeq = 0;
    for (int32_t r = 0; r <= out_.equalRuns.count(); ++r) {
      const int32_t aTo = r < out_.equalRuns.count() ? out_.equalRuns[r].aSeq : la.lines.count();
      const int32_t bTo = r < out_.equalRuns.count() ? out_.equalRuns[r].bSeq : lb.lines.count();
      if (aTo > aSeq || bTo > bSeq) {
        TextHunk* h = out_.hunks.append();
        if (!h) return false;
        auto place = [](const LineTable& t, int32_t from, int32_t to, int32_t& line, int32_t& count) {
          line = from < t.lines.count() ? t.lines[from].line : t.lineCount + 1;
          count = to > from ? t.lines[to - 1].line - line + 1 : 0;
        };
        *h = TextHunk{0, 0, 0, 0, aSeq, aTo - aSeq, bSeq, bTo - bSeq};
        place(la, aSeq, aTo, h->aLine, h->aCount);
        place(lb, bSeq, bTo, h->bLine, h->bCount);
      }
      if (r == out_.equalRuns.count()) break;
      aSeq = aTo + out_.equalRuns[r].count;
      bSeq = bTo + out_.equalRuns[r].count;
    }
    return true;
  }

  const ComparedTrace& a_;
  const ComparedTrace& b_;
  TraceComparison& out_;
  LineDiffer differ_;
  PackedRecords<EqualRun> runs_;
  PackedRecords<Section> sectionsA_;
  PackedRecords<Section> sectionsB_;
  LineTable keysA_;
  LineTable keysB_;
};

}  // namespace

int compareTexts(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out) {
  TextAligner aligner(a, b, out);
  return aligner.run();
}
