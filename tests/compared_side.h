// One trace as the comparison tests hold it: its text, key points and
// facts with the lists read.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "compare/trace_comparison.h"

struct ComparedSide {
  std::string text;
  KeyPoints_c keyPoints;
  TraceFacts facts;
  explicit ComparedSide(std::string t) : text(std::move(t) + "\r\n") {
    EXPECT_EQ(scanKeyPointsAndFacts(keyPoints, facts, text.c_str(), static_cast<int32_t>(text.size())), 0);
    EXPECT_EQ(readAllStatementLists(facts), 0);
  }
  ComparedTrace compared() const { return {text.c_str(), static_cast<int32_t>(text.size()), &keyPoints, &facts}; }
};
