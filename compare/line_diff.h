// The line diff of two runs of line-table entries, never quadratic.
//
// Each block first loses its common head and tail. Myers's O((N+M)D)
// search then runs with D bounded so that its work stays within a budget;
// when a block needs more edits than that, lines that occur once on each
// side are matched in order (the longest increasing run of them, as
// patience diff does) and the gaps between them are diffed again, a few
// levels deep. What no step can match counts as changed. Lines are equal
// when their hashes are.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "compare/line_table.h"

// Entries [aSeq, aSeq + count) of A equal [bSeq, bSeq + count) of B.
struct EqualRun {
  int32_t aSeq;
  int32_t bSeq;
  int32_t count;
};

class LineDiffer {
 public:
  LineDiffer(const LineTable& a, const LineTable& b) : a_(a), b_(b) {}

  // Appends the equal runs of entries [aFrom, aTo) of A and [bFrom, bTo)
  // of B to `runs`, in increasing order. Returns 0 or -1 (out of memory).
  int diff(int32_t aFrom, int32_t aTo, int32_t bFrom, int32_t bTo, PackedRecords<EqualRun>& runs);

 private:
  struct Block {
    int32_t aFrom, aTo, bFrom, bTo, depth;
  };
  bool same(int32_t a, int32_t b) const { return a_.lines[a].hash == b_.lines[b].hash; }
  bool addRun(int32_t aSeq, int32_t bSeq, int32_t count);
  bool push(const Block& block);
  // Myers within the bound; false when the block needs more edits.
  bool myers(const Block& block);
  // Matches the lines unique on both sides and pushes the gaps between
  // them; false when there are none.
  bool patience(const Block& block);

  const LineTable& a_;
  const LineTable& b_;
  PackedRecords<EqualRun>* runs_ = nullptr;
  bool failed_ = false;
  PackedRecords<Block> pending_;  // a stack: the records from `pendingTop_` on are free
  int32_t pendingTop_ = 0;
  SVString frontiers_;  // Myers's frontier after each edit count, int32_t each
};

// Appends `runs` to `out` in order, joining those that touch. Returns 0 or -1.
int tidyRuns(PackedRecords<EqualRun>& runs, PackedRecords<EqualRun>& out);
