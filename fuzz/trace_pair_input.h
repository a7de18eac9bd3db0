// Two traces from one fuzz input, for the targets that compare them: the
// first byte says where the input splits, each part gets the line break
// the loader adds, its key points and its facts with every list read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/sv_string.h"
#include "compare/trace_comparison.h"
#include "facts/trace_facts.h"
#include "outline/key_points.h"

struct Trace {
  SVString text;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  bool ready = false;
  Trace(const uint8_t* data, size_t size) {
    if (text.append(reinterpret_cast<const char*>(data), static_cast<int64_t>(size)) != 0) return;
    if (text.append("\r\n", 2) != 0) return;
    ready = scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), text.length()) == 0 &&
            readAllStatementLists(facts) == 0;
  }
  ComparedTrace compared() const { return {text.c_str(), text.length(), &keyPoints, &facts}; }
};

// Inputs larger than this are skipped: the comparison is the point, not size.
constexpr size_t kTracePairInputLimit = size_t{1} << 19;

// The split point of `data`: part A is data[1, split), part B data[split, size).
inline size_t tracePairSplit(const uint8_t* data, size_t size) { return 1 + (size - 1) * data[0] / 255; }
