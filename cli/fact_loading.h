// A trace loaded, scanned and read for its facts, as the summary and the
// comparison commands need it.
#pragma once

#include "base/sv_string.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"

struct LoadedFacts {
  SVString text;  // the file and "\r\n": what the facts' spans describe
  KeyPoints_c keyPoints;
  TraceFacts facts;
};

// Loads FILE as the viewer does and reads its facts. On failure prints a
// message to stderr and returns non-zero.
int loadFacts(const char* path, LoadedFacts& out);
