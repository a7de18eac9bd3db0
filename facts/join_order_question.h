// "Was my join order considered?": the tables a reader names, in order,
// looked for among the join orders a final cost's stretch tried.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/packed_records.h"
#include "facts/trace_digest.h"

// The tables named by `input`, as spans of it: aliases or table names
// separated by blanks or commas, or a hint such as «LEADING(t1 t2 l)» or
// «/*+ LEADING(@"SEL$1" "T1"@"SEL$1" "T2"@"SEL$1") */» (query-block
// qualifiers and quotes are left out). Returns 0, or -1 when memory ran
// out.
int joinOrderTablesOf(std::string_view input, PackedRecords<TextSpan>& tables);

// Whether a join-order entry «NAME[ALIAS]#N» is the table a reader named:
// its alias, its name or the whole entry, in any letter case.
bool joinOrderEntryIs(std::string_view entry, std::string_view named);

struct JoinOrderMatch {
  int32_t joinOrder = kNoFact;  // in the digest's facts.joinOrders
  int32_t search = 0;           // 0-based among the searches of the stretch
  // The best so far in its search just before it: the «Best so far» cost
  // of the last earlier join order that had one; absent for the first.
  TextSpan bestBefore;
};

struct JoinOrderAnswer {
  int32_t searches = 0;                   // in the stretch
  PackedRecords<JoinOrderMatch> matches;  // join orders that start with the named tables, in trace order
  // The join orders that start with the first named table.
  int32_t sameFirstTable = 0;
  int32_t firstWithSameFirstTable = kNoFact;
  PackedRecords<int32_t> unknown;  // named tables (their indexes) no join order of the stretch has
};

// Looks for the join orders of digest row `row`'s stretch whose tables
// begin with the named ones (spans of `input`), in that order: a hint may
// name only the first few. Returns 0, or -1 when memory ran out.
int askJoinOrder(const TraceDigest& digest, int32_t row, std::string_view input, const PackedRecords<TextSpan>& tables,
                 JoinOrderAnswer& answer);
