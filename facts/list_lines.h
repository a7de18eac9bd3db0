// The lines of the parameter and fix-control lists, which make up most of
// a real trace: «name = value» and «fix NNNN = value», split in one step.
#pragma once

#include <cstdint>

#include "facts/trace_facts.h"

enum class ListLineKind { kBlank, kParameter, kFixControl, kOther };

struct ListLine {
  ListLineKind kind = ListLineKind::kOther;
  int32_t begin = 0;  // the line, as a TraceLine has it: cut at CR or LF
  int32_t end = 0;
  int32_t next = 0;   // start of the following line (or the limit)
  TextSpan name;      // the parameter's name, or the fix's number
  TextSpan value;     // trimmed; present and maybe empty
};

// Splits the line that starts at `pos` (< limit). A parameter is one word
// without '=' followed by '='; a fix control is «fix», a number and '='.
// Blank lines hold white space only; any other line is kOther.
void splitListLine(const char* text, int32_t pos, int32_t limit, ListLine& out);

// The same, byte by byte: what splitListLine does near the limit, and what
// the tests hold its fast path to.
void splitListLineBytewise(const char* text, int32_t pos, int32_t limit, ListLine& out);

// True for a kOther line that is an entry with a stray byte before its
// '=': a zero byte, or a carriage return without a line feed after it
// (which cuts the line short). Such a line is skipped, not taken for the
// end of its list.
bool isDamagedListEntry(const char* text, const ListLine& line, int32_t limit);

// Line feeds in text[from, to).
int32_t lineFeedsBetween(const char* text, int32_t from, int32_t to);
