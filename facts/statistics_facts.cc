// The statistics the optimizer saw for a query block: the tables and
// indexes of its «BASE STATISTICAL INFORMATION».
//
//   Table Stats::
//     Table: LOCATIONS  Alias: L
//     #Rows: 23  SSZ: 0  LGR: 0  #Blks:  5  AvgRowLen:  49.00  ...
//   Index Stats::
//     Index: LOC_COUNTRY_IX  Col#: 2
//       LVLS: 0  #LB: 1  #DK: 11  LB/K: 1.00  DB/K: 1.00  CLUF: 7.00  ...
#include "facts/facts_internal.h"

namespace {

constexpr std::string_view kBaseStatistics = "BASE STATISTICAL INFORMATION";
// Lines that end the block: what the optimizer prints after it.
constexpr std::string_view kBlockEnds[] = {"SINGLE TABLE ACCESS PATH", "Access path analysis for",
                                           "OPTIMIZER STATISTICS AND COMPUTATIONS", "SPD: BEGIN",
                                           "Single Table Cardinality Estimation for"};
// A block longer than this is read no further (thousands of partitions).
constexpr int kMostLines = 200000;

}  // namespace

bool readBaseStatistics(FactContext& c, int32_t from, int32_t to, int32_t keyPointLimit, QueryBlockFact& block) {
  block.tableStats = FactRange{c.facts.tableStats.count(), 0};
  int32_t last = -1;
  for (int32_t at = findIn(c.text, from, to, kBaseStatistics); at >= 0;
       at = findIn(c.text, at + static_cast<int32_t>(kBaseStatistics.size()), to, kBaseStatistics)) {
    if (skipBlanks(c.text, lineStartOf(c.text, from, at), at) == at) last = at;
  }
  if (last < 0) return true;
  LineReader reader(c.text, to, last, lineNearKeyPoints(c, keyPointLimit, last));
  TraceLine line;
  reader.next(line);
  int32_t table = -1;   // the table the figures and indexes below belong to
  int32_t index = -1;   // the index whose figures may follow
  for (int n = 0; n < kMostLines && reader.next(line); ++n) {
    const char* t = c.text;
    bool ends = false;
    for (std::string_view end : kBlockEnds) ends = ends || lineStartsWith(t, line, end);
    if (ends) break;
    if (lineStartsWith(t, line, "Table:")) {
      TableStatFact* fact = appendFact(c.facts.tableStats);
      if (!fact) return false;
      fact->line = line.number;
      fact->table = valueAfterKey(t, line, "Table:");
      fact->alias = valueAfterKey(t, line, "Alias:");
      fact->indexes.first = c.facts.indexStats.count();
      table = c.facts.tableStats.count() - 1;
      index = -1;
    } else if (table >= 0 && lineStartsWith(t, line, "#Rows:")) {
      TableStatFact& fact = c.facts.tableStats[table];
      fact.rows = valueAfterKey(t, line, "#Rows:");
      fact.blocks = valueAfterKey(t, line, "#Blks:");
      fact.avgRowLen = valueAfterKey(t, line, "AvgRowLen:");
    } else if (table >= 0 && lineStartsWith(t, line, "Index:")) {
      IndexStatFact* fact = appendFact(c.facts.indexStats);
      if (!fact) return false;
      fact->line = line.number;
      fact->name = valueAfterKey(t, line, "Index:");
      index = c.facts.indexStats.count() - 1;
      ++c.facts.tableStats[table].indexes.count;
    } else if (index >= 0 && lineStartsWith(t, line, "LVLS:")) {
      IndexStatFact& fact = c.facts.indexStats[index];
      fact.levels = valueAfterKey(t, line, "LVLS:");
      fact.leafBlocks = valueAfterKey(t, line, "#LB:");
      fact.distinctKeys = valueAfterKey(t, line, "#DK:");
      fact.clusteringFactor = valueAfterKey(t, line, "CLUF:");
      index = -1;
    }
  }
  block.tableStats.count = c.facts.tableStats.count() - block.tableStats.first;
  return true;
}
