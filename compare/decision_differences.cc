// What the optimizer estimated and decided differently for each pair of
// statements, and the first of it in the order the optimizer worked.
#include <algorithm>
#include <string_view>

#include "compare/comparison_internal.h"

const char* decisionFactName(int32_t fact) {
  switch (fact) {
    case kDecisionQueryBlock: return "query_block";
    case kDecisionEstimated: return "estimated";
    case kDecisionCardOriginal: return "card_original";
    case kDecisionCardRounded: return "card_rounded";
    case kDecisionCardComputed: return "card_computed";
    case kDecisionFlags: return "flags";
    case kDecisionBestPath: return "best_path";
    case kDecisionBestIndex: return "best_index";
    case kDecisionBestCost: return "best_cost";
    case kDecisionJoinOrdersTried: return "join_orders_tried";
    case kDecisionJoinOrdersAborted: return "join_orders_aborted";
    case kDecisionBestJoinOrder: return "best_join_order";
    case kDecisionTableStats: return "table_stats";
    case kDecisionTableRows: return "table_rows";
    case kDecisionTableBlocks: return "table_blocks";
    case kDecisionAvgRowLen: return "avg_row_len";
    case kDecisionIndexStats: return "index_stats";
    case kDecisionIndexLevels: return "index_levels";
    case kDecisionIndexLeafBlocks: return "index_leaf_blocks";
    case kDecisionIndexDistinctKeys: return "index_distinct_keys";
    case kDecisionClusteringFactor: return "clustering_factor";
    case kDecisionColumnStats: return "column_stats";
    case kDecisionColumnNdv: return "column_ndv";
    case kDecisionColumnNulls: return "column_nulls";
    case kDecisionColumnDensity: return "column_density";
    case kDecisionColumnHistogram: return "column_histogram";
    default: return "unknown";
  }
}

bool isCostDecision(int32_t fact) { return fact == kDecisionBestCost; }

int32_t decisionItems(int32_t fact) {
  if (fact >= kDecisionTableStats && fact <= kDecisionAvgRowLen) return kTableItems;
  if (fact >= kDecisionIndexStats && fact <= kDecisionClusteringFactor) return kIndexItems;
  if (fact >= kDecisionColumnStats && fact <= kDecisionColumnHistogram) return kColumnItems;
  return kNoItems;
}

bool isStatisticDecision(int32_t fact) { return decisionItems(fact) != kNoItems; }

TextSpan decisionItemName(const TraceFacts& f, const DecisionDifference& d, bool sideB) {
  const int32_t item = sideB ? d.itemB : d.itemA;
  if (item == kNoFact) return TextSpan{};
  switch (decisionItems(d.fact)) {
    case kTableItems: return f.tableStats[item].table;
    case kIndexItems: return f.indexStats[item].name;
    case kColumnItems: return f.columnStats[item].name;
    default: return TextSpan{};
  }
}

DecisionValue decisionValue(const TraceFacts& f, const DecisionDifference& d, bool sideB) {
  const int32_t q = sideB ? d.queryBlockB : d.queryBlockA;
  const int32_t p = sideB ? d.pathB : d.pathA;
  DecisionValue v;
  auto text = [&](TextSpan span) {
    if (span.present()) {
      v.kind = DecisionValue::kText;
      v.text = span;
    }
    return v;
  };
  const int32_t item = sideB ? d.itemB : d.itemA;
  if (item != kNoFact) {
    switch (d.fact) {
      case kDecisionTableStats: return text(f.tableStats[item].table);
      case kDecisionTableRows: return text(f.tableStats[item].rows);
      case kDecisionTableBlocks: return text(f.tableStats[item].blocks);
      case kDecisionAvgRowLen: return text(f.tableStats[item].avgRowLen);
      case kDecisionIndexStats: return text(f.indexStats[item].name);
      case kDecisionIndexLevels: return text(f.indexStats[item].levels);
      case kDecisionIndexLeafBlocks: return text(f.indexStats[item].leafBlocks);
      case kDecisionIndexDistinctKeys: return text(f.indexStats[item].distinctKeys);
      case kDecisionClusteringFactor: return text(f.indexStats[item].clusteringFactor);
      case kDecisionColumnStats: return text(f.columnStats[item].name);
      case kDecisionColumnNdv: return text(f.columnStats[item].ndv);
      case kDecisionColumnNulls: return text(f.columnStats[item].nulls);
      case kDecisionColumnDensity: return text(f.columnStats[item].density);
      case kDecisionColumnHistogram: return text(f.columnStats[item].histogram);
      default: return v;
    }
  }
  if (p != kNoFact && !isStatisticDecision(d.fact)) {
    const AccessPathFact& path = f.accessPaths[p];
    switch (d.fact) {
      case kDecisionEstimated: return text(path.alias);
      case kDecisionCardOriginal: return text(path.cardOriginal);
      case kDecisionCardRounded: return text(path.cardRounded);
      case kDecisionCardComputed: return text(path.cardComputed);
      case kDecisionBestPath: return text(path.bestPath);
      case kDecisionBestIndex: return text(path.bestIndex);
      case kDecisionBestCost: return text(path.bestCost);
      case kDecisionFlags:
        v.kind = DecisionValue::kFlags;
        for (const AccessFlagFact& flag : slice(f.accessFlags, path.flags)) {
          v.flags |= 1u << (flag.kind & 31);
        }
        return v;
      default: break;
    }
  }
  if (q == kNoFact) return v;
  const QueryBlockFact& b = f.queryBlocks[q];
  switch (d.fact) {
    case kDecisionQueryBlock: return text(b.name);
    case kDecisionJoinOrdersTried:
      v.kind = DecisionValue::kCount;
      v.count = b.joinOrders.count;
      return v;
    case kDecisionJoinOrdersAborted:
      v.kind = DecisionValue::kCount;
      v.count = b.abortedJoinOrders;
      return v;
    case kDecisionBestJoinOrder:
      if (b.bestJoinOrderFact != kNoFact) {
        v.kind = DecisionValue::kJoinOrder;
        v.joinOrder = b.bestJoinOrderFact;
      }
      return v;
    default:
      return v;
  }
}

namespace {

class DecisionComparer {
 public:
  DecisionComparer(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out)
      : fa_(*a.facts), fb_(*b.facts), out_(out) {}

  bool pair(int32_t p) {
    const StatementPair& pair = out_.pairs[p];
    PairDifferences& d = out_.differences[p];
    d.decisions = FactRange{out_.decisions.count(), 0};
    if (pair.a == kNoFact || pair.b == kNoFact) return true;
    pair_ = p;
    PackedRecords<int32_t> a;
    PackedRecords<int32_t> b;
    if (!blocksByName(fa_, fa_.statements[pair.a], a) || !blocksByName(fb_, fb_.statements[pair.b], b)) return false;
    for (int32_t i = 0, j = 0; i < a.count() || j < b.count();) {
      const int order = i >= a.count()   ? 1
                        : j >= b.count() ? -1
                                         : fa_.view(fa_.queryBlocks[a[i]].name).compare(fb_.view(fb_.queryBlocks[b[j]].name));
      bool ok = true;
      if (order < 0) {
        ok = add(kDecisionQueryBlock, a[i], kNoFact, kNoFact, kNoFact, fa_.queryBlocks[a[i]].line, 0);
        ++i;
      } else if (order > 0) {
        ok = add(kDecisionQueryBlock, kNoFact, b[j], kNoFact, kNoFact, 0, fb_.queryBlocks[b[j]].line);
        ++j;
      } else {
        ok = blocks(a[i++], b[j++]);
      }
      if (!ok) return false;
    }
    // In the order the optimizer worked: A's lines, B's own placed beside A's.
    std::stable_sort(out_.decisions.begin() + d.decisions.first, out_.decisions.end(),
                     [](const DecisionDifference& x, const DecisionDifference& y) { return x.order < y.order; });
    d.decisions.count = out_.decisions.count() - d.decisions.first;
    return true;
  }

 private:
  bool add(int32_t fact, int32_t qa, int32_t qb, int32_t pa, int32_t pb, int32_t aLine, int32_t bLine,
           int32_t ia = kNoFact, int32_t ib = kNoFact) {
    DecisionDifference* d = out_.decisions.append();
    if (!d) return false;
    const int32_t order = aLine > 0 ? aLine : alignedLineInA(out_, bLine);
    *d = DecisionDifference{pair_, fact, qa, qb, pa, pb, ia, ib, aLine, bLine, order};
    return true;
  }

  // Records of one range matched by a name: calls `same(i, j)` for each
  // pair and `alone(i, j)` with kNoFact for the side without it. A name may
  // stand more than once (a section read twice): the k-th record of a name
  // on one side goes with the k-th of that name on the other.
  template <class NameA, class NameB, class Same, class Alone>
  static bool matchByName(FactRange ra, FactRange rb, NameA nameA, NameB nameB, Same same, Alone alone) {
    const int32_t aEnd = ra.end();
    const int32_t bEnd = rb.end();
    for (int32_t i = ra.first; i < aEnd; ++i) {
      int32_t rank = 0;  // earlier records of A with this name
      for (int32_t p = ra.first; p < i; ++p) rank += nameA(p) == nameA(i);
      int32_t j = rb.first;
      for (; j < bEnd; ++j) {
        if (nameB(j) == nameA(i) && rank-- == 0) break;
      }
      if (!(j < bEnd ? same(i, j) : alone(i, kNoFact))) return false;
    }
    for (int32_t j = rb.first; j < bEnd; ++j) {
      int32_t rank = 0;  // earlier records of B with this name
      for (int32_t p = rb.first; p < j; ++p) rank += nameB(p) == nameB(j);
      int32_t inA = 0;
      for (int32_t i = ra.first; i < aEnd && inA <= rank; ++i) inA += nameA(i) == nameB(j);
      if (inA <= rank && !alone(kNoFact, j)) return false;
    }
    return true;
  }

  // The tables and their indexes of the statistics the two searches saw.
  bool tableStats(int32_t qa, int32_t qb) {
    auto tableA = [&](int32_t i) { return fa_.view(fa_.tableStats[i].alias); };
    auto tableB = [&](int32_t j) { return fb_.view(fb_.tableStats[j].alias); };
    auto sameTable = [&](int32_t i, int32_t j) {
      const TableStatFact& a = fa_.tableStats[i];
      const TableStatFact& b = fb_.tableStats[j];
      const struct {
        int32_t fact;
        TextSpan a, b;
      } figures[] = {{kDecisionTableRows, a.rows, b.rows},
                     {kDecisionTableBlocks, a.blocks, b.blocks},
                     {kDecisionAvgRowLen, a.avgRowLen, b.avgRowLen}};
      for (const auto& x : figures) {
        if (spansDiffer(fa_, x.a, fb_, x.b) && !add(x.fact, qa, qb, kNoFact, kNoFact, a.line, b.line, i, j)) return false;
      }
      auto indexA = [&](int32_t k) { return fa_.view(fa_.indexStats[k].name); };
      auto indexB = [&](int32_t k) { return fb_.view(fb_.indexStats[k].name); };
      auto sameIndex = [&](int32_t k, int32_t l) {
        const IndexStatFact& x = fa_.indexStats[k];
        const IndexStatFact& y = fb_.indexStats[l];
        const struct {
          int32_t fact;
          TextSpan a, b;
        } indexFigures[] = {{kDecisionIndexLevels, x.levels, y.levels},
                            {kDecisionIndexLeafBlocks, x.leafBlocks, y.leafBlocks},
                            {kDecisionIndexDistinctKeys, x.distinctKeys, y.distinctKeys},
                            {kDecisionClusteringFactor, x.clusteringFactor, y.clusteringFactor}};
        for (const auto& f : indexFigures) {
          if (spansDiffer(fa_, f.a, fb_, f.b) && !add(f.fact, qa, qb, kNoFact, kNoFact, x.line, y.line, k, l)) {
            return false;
          }
        }
        return true;
      };
      auto loneIndex = [&](int32_t k, int32_t l) {
        return add(kDecisionIndexStats, qa, qb, kNoFact, kNoFact, k != kNoFact ? fa_.indexStats[k].line : 0,
                   l != kNoFact ? fb_.indexStats[l].line : 0, k, l);
      };
      return matchByName(a.indexes, b.indexes, indexA, indexB, sameIndex, loneIndex);
    };
    auto loneTable = [&](int32_t i, int32_t j) {
      return add(kDecisionTableStats, qa, qb, kNoFact, kNoFact, i != kNoFact ? fa_.tableStats[i].line : 0,
                 j != kNoFact ? fb_.tableStats[j].line : 0, i, j);
    };
    return matchByName(fa_.queryBlocks[qa].tableStats, fb_.queryBlocks[qb].tableStats, tableA, tableB, sameTable,
                       loneTable);
  }

  // The column statistics of an alias estimated on both sides.
  bool columnStats(int32_t qa, int32_t qb, int32_t pa, int32_t pb) {
    auto nameA = [&](int32_t i) { return fa_.view(fa_.columnStats[i].name); };
    auto nameB = [&](int32_t j) { return fb_.view(fb_.columnStats[j].name); };
    auto same = [&](int32_t i, int32_t j) {
      const ColumnStatFact& a = fa_.columnStats[i];
      const ColumnStatFact& b = fb_.columnStats[j];
      const struct {
        int32_t fact;
        TextSpan a, b;
      } figures[] = {{kDecisionColumnNdv, a.ndv, b.ndv},
                     {kDecisionColumnNulls, a.nulls, b.nulls},
                     {kDecisionColumnDensity, a.density, b.density},
                     {kDecisionColumnHistogram, a.histogram, b.histogram}};
      for (const auto& x : figures) {
        if (spansDiffer(fa_, x.a, fb_, x.b) && !add(x.fact, qa, qb, pa, pb, a.line, b.line, i, j)) return false;
      }
      return true;
    };
    auto alone = [&](int32_t i, int32_t j) {
      return add(kDecisionColumnStats, qa, qb, pa, pb, i != kNoFact ? fa_.columnStats[i].line : 0,
                 j != kNoFact ? fb_.columnStats[j].line : 0, i, j);
    };
    return matchByName(fa_.accessPaths[pa].columns, fb_.accessPaths[pb].columns, nameA, nameB, same, alone);
  }

  bool blocks(int32_t qa, int32_t qb) {
    const QueryBlockFact& a = fa_.queryBlocks[qa];
    const QueryBlockFact& b = fb_.queryBlocks[qb];
    if (!tableStats(qa, qb) || !paths(qa, qb)) return false;
    // The search that gave the cost.
    const int32_t searchA = a.joinOrders.count > 0 ? fa_.joinOrders[a.joinOrders.first].line : a.line;
    const int32_t searchB = b.joinOrders.count > 0 ? fb_.joinOrders[b.joinOrders.first].line : b.line;
    if (a.joinOrders.count != b.joinOrders.count &&
        !add(kDecisionJoinOrdersTried, qa, qb, kNoFact, kNoFact, searchA, searchB)) {
      return false;
    }
    if (a.abortedJoinOrders != b.abortedJoinOrders &&
        !add(kDecisionJoinOrdersAborted, qa, qb, kNoFact, kNoFact, searchA, searchB)) {
      return false;
    }
    if (tablesDiffer(fa_, a.bestJoinOrderFact, fb_, b.bestJoinOrderFact)) {
      const int32_t lineA = a.bestJoinOrderFact != kNoFact ? fa_.joinOrders[a.bestJoinOrderFact].line : a.line;
      const int32_t lineB = b.bestJoinOrderFact != kNoFact ? fb_.joinOrders[b.bestJoinOrderFact].line : b.line;
      if (!add(kDecisionBestJoinOrder, qa, qb, kNoFact, kNoFact, lineA, lineB)) return false;
    }
    return true;
  }

  // The aliases of two matched query blocks, matched by alias.
  bool paths(int32_t qa, int32_t qb) {
    const FactRange ra = fa_.queryBlocks[qa].accessPaths;
    const FactRange rb = fb_.queryBlocks[qb].accessPaths;
    for (int32_t i = ra.first; i < ra.end(); ++i) {
      const int32_t j = aliasIn(fb_, rb, fa_.view(fa_.accessPaths[i].alias));
      if (j == kNoFact) {
        if (!add(kDecisionEstimated, qa, qb, i, kNoFact, fa_.accessPaths[i].line, 0)) return false;
      } else if (!alias(qa, qb, i, j)) {
        return false;
      }
    }
    for (int32_t j = rb.first; j < rb.end(); ++j) {
      if (aliasIn(fa_, ra, fb_.view(fb_.accessPaths[j].alias)) == kNoFact &&
          !add(kDecisionEstimated, qa, qb, kNoFact, j, 0, fb_.accessPaths[j].line)) {
        return false;
      }
    }
    return true;
  }

  static uint32_t flagsOf(const TraceFacts& f, int32_t path) {
    DecisionDifference d{};
    d.fact = kDecisionFlags;
    d.queryBlockA = d.queryBlockB = d.pathB = d.itemA = d.itemB = kNoFact;
    d.pathA = path;
    return decisionValue(f, d, false).flags;
  }

  static int32_t aliasIn(const TraceFacts& f, FactRange range, std::string_view alias) {
    for (int32_t i = range.first; i < range.end(); ++i) {
      if (f.view(f.accessPaths[i].alias) == alias) return i;
    }
    return kNoFact;
  }

  bool alias(int32_t qa, int32_t qb, int32_t i, int32_t j) {
    const AccessPathFact& a = fa_.accessPaths[i];
    const AccessPathFact& b = fb_.accessPaths[j];
    struct Compared {
      int32_t fact;
      bool differs;
      int32_t aLine;
      int32_t bLine;
    };
    const int32_t cardA = a.cardLine > 0 ? a.cardLine : a.line;
    const int32_t cardB = b.cardLine > 0 ? b.cardLine : b.line;
    const int32_t bestA = a.bestLine > 0 ? a.bestLine : a.line;
    const int32_t bestB = b.bestLine > 0 ? b.bestLine : b.line;
    // A flag stands on its own line, the card's for a card rounded to 1.
    auto flagLine = [](const TraceFacts& f, const AccessPathFact& p, int32_t card) {
      return p.flags.count > 0 ? f.accessFlags[p.flags.first].line : card;
    };
    const Compared facts[] = {
        {kDecisionCardOriginal, spansDiffer(fa_, a.cardOriginal, fb_, b.cardOriginal), cardA, cardB},
        {kDecisionCardRounded, spansDiffer(fa_, a.cardRounded, fb_, b.cardRounded), cardA, cardB},
        {kDecisionCardComputed, spansDiffer(fa_, a.cardComputed, fb_, b.cardComputed), cardA, cardB},
        {kDecisionFlags, flagsOf(fa_, i) != flagsOf(fb_, j), flagLine(fa_, a, cardA), flagLine(fb_, b, cardB)},
        {kDecisionBestPath, spansDiffer(fa_, a.bestPath, fb_, b.bestPath), bestA, bestB},
        {kDecisionBestIndex, spansDiffer(fa_, a.bestIndex, fb_, b.bestIndex), bestA, bestB},
        {kDecisionBestCost, spansDiffer(fa_, a.bestCost, fb_, b.bestCost), bestA, bestB},
    };
    for (const Compared& c : facts) {
      if (c.differs && !add(c.fact, qa, qb, i, j, c.aLine, c.bLine)) return false;
    }
    return columnStats(qa, qb, i, j);
  }

  const TraceFacts& fa_;
  const TraceFacts& fb_;
  TraceComparison& out_;
  int32_t pair_ = 0;
};

}  // namespace

int compareDecisions(const ComparedTrace& a, const ComparedTrace& b, TraceComparison& out) {
  DecisionComparer comparer(a, b, out);
  for (int32_t p = 0; p < out.pairs.count(); ++p) {
    if (!comparer.pair(p)) return -1;
  }
  // The first that is neither a cost nor a statistic, in the order of A's
  // statements; else the first cost; else the first statistic.
  int32_t firstCost = kNoFact;
  int32_t firstStatistic = kNoFact;
  for (int32_t i = 0; i < out.decisions.count(); ++i) {
    const int32_t fact = out.decisions[i].fact;
    if (isStatisticDecision(fact)) {
      if (firstStatistic == kNoFact) firstStatistic = i;
    } else if (isCostDecision(fact)) {
      if (firstCost == kNoFact) firstCost = i;
    } else {
      out.firstDivergence = i;
      return 0;
    }
  }
  out.firstDivergence = firstCost != kNoFact ? firstCost : firstStatistic;
  return 0;
}
