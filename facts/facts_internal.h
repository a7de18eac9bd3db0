// What the readers of the trace-facts pass share: the text, the key points
// and the statement being filled. Each reader starts at one key point (or
// at a place a key point left), reads no further than a limit (the start
// of the line of the next key point that could end its section), appends
// records and returns false only when a list could not grow.
#pragma once

#include <cstdint>

#include "facts/fact_lines.h"
#include "facts/trace_facts.h"

struct FactContext {
  TraceFacts& facts;
  const char* text;
  int32_t length;
  const KeyPoints_c* keyPoints;  // none when the lists are read later
};

// Appends a record with every field at its default (absent spans).
template <class Record>
Record* appendFact(PackedRecords<Record>& list) {
  Record* record = list.append();
  if (record) *record = Record{};
  return record;
}

// The readers of the long lists start at the statement's places.
// "PARAMETERS USED BY THE OPTIMIZER": the parameters of its lists and the
// «fix» lines among them.
bool readParameterBlock(FactContext& c, StatementFacts& s);
// "Optimizer state dump:": the «fix» lines of its "Bug Fix Control Environment".
bool readStateDumpFixControls(FactContext& c, StatementFacts& s);

// "Starting SQL statement dump": the «sql_id=... plan_hash_value=...» line
// and the first line of the SQL text after it.
void readSqlDump(FactContext& c, StatementFacts& s, const KeyPoint& k, int32_t limit);
// The sql_id and SQL text of a statement the dump did not give them for,
// from the first "Current SQL Statement" heading of its stretch.
void readSqlHeading(FactContext& c, StatementFacts& s);
// "Explain Plan Dump": the plan table's rows, then the outline hints.
bool readExplainPlan(FactContext& c, StatementFacts& s);

// The join orders of a statement, and the final costs that close each
// query block's search.
class JoinOrderReader {
 public:
  explicit JoinOrderReader(FactContext& c) : c_(c) {}

  // A new statement: join orders and searches start afresh.
  void startStatement(const StatementFacts& s);
  bool onJoinOrder(int32_t keyPoint, int32_t limit);
  // «Best so far:» and «Join order aborted:» belong to the last join order.
  void onBestSoFar(const KeyPoint& k, int32_t limit);
  void onAborted();
  // The final cost at `keyPoint` closes the stretch that began at offset
  // `stretchBegin`. Returns the offset just past the lines read, for the
  // transformation reader; -1 when a list could not grow.
  int32_t onFinalCost(int32_t keyPoint, int32_t limit, int32_t stretchBegin);

 private:
  int32_t lastWithNumber(TextSpan number);
  // The cost after each join order's last «Best:: JoinMethod:», for the
  // join orders of the stretch that `finalCost` closes.
  void readLastStepCosts(const KeyPoint& finalCost);
  void rememberNumber(TextSpan number, int32_t index);

  FactContext& c_;
  int32_t statementStart_ = 0;  // first join order of the statement
  int32_t stretchStart_ = 0;    // first join order after the statement's last final cost
  int32_t stamp_ = 0;        // statement generation for byNumber_
  // The last join order with number K (K small) in this statement, valid
  // when its stamp matches: {stamp, index} pairs for K below numbered_,
  // grown as larger numbers come. Once it could not grow, lookups walk
  // back instead.
  SVString byNumber_;
  int32_t numbered_ = 0;
  bool tableFailed_ = false;
};

// The single-table sections of a query block's stretch text[from, to),
// the last one of each alias, into facts.accessPaths and
// `block.accessPaths`; key points below `keyPointLimit` give the lines.
// False when a list could not grow.
bool readAccessPaths(FactContext& c, int32_t from, int32_t to, int32_t keyPointLimit, QueryBlockFact& block);

// The tables and indexes of the last «BASE STATISTICAL INFORMATION» of a
// query block's stretch text[from, to), into facts.tableStats and
// `block.tableStats`. False when a list could not grow.
bool readBaseStatistics(FactContext& c, int32_t from, int32_t to, int32_t keyPointLimit, QueryBlockFact& block);

// The 1-based line of `offset`, counted from the last key point below
// `keyPointLimit` whose line starts at or before it.
int32_t lineNearKeyPoints(const FactContext& c, int32_t keyPointLimit, int32_t offset);

// Lines of text[from, to) that state a transformation's outcome. The query
// block being worked on is the word at `contextAt` (-1 for none), read only
// when a line names none.
bool readTransformations(FactContext& c, int32_t from, int32_t to, int32_t fromLine, int32_t contextAt);

// buildTraceFacts with the key points handed to the pass `step` at a time,
// as a scan that the pass follows hands them over; for the checks that
// hold scanKeyPointsAndFacts to buildTraceFacts at every split.
int buildTraceFactsInSteps(TraceFacts& facts, const char* text, int32_t length, const KeyPoints_c& keyPoints,
                           int32_t step);
