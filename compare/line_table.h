// The lines of a trace as the comparison sees them: one 64-bit hash per
// line, taken after the noise is taken out, so two lines that differ only
// in noise hash alike. Lines that are nothing but noise (time-stamp entry
// lines, the header lines that name the trace file, host, instance and
// process) are left out of the table altogether.
//
// Noise inside a line: hexadecimal addresses («0x7f3a12c8»), date-times
// («2020-05-20T18:13:19.855558+01:00», «2019-12-23 17:16:37.856»), heap
// figures and addresses after «in-use=», «alloc=», «addr=», «kxsbbbfp=»,
// and the figure after «elapsed». A carriage return before a line feed is
// not part of the line.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/packed_records.h"

struct LineEntry {
  uint64_t hash;
  int32_t line;    // 1-based
  int32_t offset;  // of the line's first byte
};

struct LineTable {
  PackedRecords<LineEntry> lines;  // the lines that are not all noise, in order
  int32_t lineCount = 0;           // every line of the text

  // The index of the first entry whose line is at or after `line`
  // (lines.count() when none is).
  int32_t firstAtOrAfter(int32_t line) const;
};

// Fills `table` from text[0, length). Returns 0, or -1 (table empty) when
// memory ran out.
int buildLineTable(const char* text, int32_t length, LineTable& table);

// True when the line (without its line end) is noise as a whole.
bool isNoiseLine(std::string_view line);
// The hash of the line with its noise taken out.
uint64_t lineHash(std::string_view line);
