// The facts pass run beside the key-point scan gives what the pass run
// after it gives, wherever the scan's stretches end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/trace_file.h"
#include "facts/facts_internal.h"
#include "facts/trace_facts.h"
#include "tests/facts_trace_builder.h"
#include "tests/same_facts.h"

namespace {

std::string sample(const char* name) {
  SVString text;
  EXPECT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0) << name;
  return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

std::string repeatedTo(const std::string& piece, size_t size) {
  std::string text;
  while (text.size() < size) text += piece;
  return text;
}

// Traces of one stretch and of many, so that stretches end inside
// statements, lists and join orders.
std::vector<std::string> traces() {
  StatementSpec interrupted;
  interrupted.interrupted = true;
  StatementSpec wrapped;
  wrapped.wrapJoinOrder = true;
  wrapped.firstRowsPlan = true;
  StatementSpec cut;
  cut.cutBeforeDump = true;
  const std::string built = traceHeader() + statementTrace(StatementSpec{}) + statementTrace(interrupted) +
                            statementTrace(wrapped) + statementTrace(cut);
  const std::string samples = sample("hr_two_statements.trc") + "\n" + sample("update_crlf.trc") + "\n" +
                              sample("cp1252_no_final_newline.trc") + "\n";
  return {"",
          "no markers at all\n",
          sample("hr_two_statements.trc"),
          sample("edge_zero_bytes_lone_cr.trc"),
          built,
          repeatedTo(built, 300 * 1024),
          repeatedTo(samples, 400 * 1024),
          // Cut off in the middle of a statement, after several stretches.
          repeatedTo(built, 200 * 1024) + statementTrace(cut).substr(0, 3000)};
}

TEST(FactsFollowingTheScan, GiveTheFactsOfThePassAfterIt) {
  for (const std::string& trace : traces()) {
    const std::string text = trace + "\r\n";
    const char* bytes = text.c_str();
    const int32_t length = static_cast<int32_t>(text.size());
    KeyPoints_c keyPoints;
    scanKeyPoints(keyPoints, bytes, length);
    TraceFacts after;
    ASSERT_EQ(buildTraceFacts(after, bytes, length, keyPoints), 0);

    KeyPoints_c followed;
    scanKeyPoints(followed, "Join order[1]:  T1[T1]#0\n", 25);  // stale records go
    TraceFacts beside;
    ASSERT_EQ(scanKeyPointsAndFacts(followed, beside, bytes, length), 0);
    EXPECT_TRUE(sameKeyPoints(followed, keyPoints)) << length;
    EXPECT_TRUE(sameFacts(beside, after)) << length;
    if (keyPoints.count() > 20) {
      EXPECT_GT(after.queryBlocks.count(), 0) << length;
    }

    for (int32_t step : {1, 2, 7, 300}) {
      TraceFacts stepped;
      ASSERT_EQ(buildTraceFactsInSteps(stepped, bytes, length, keyPoints, step), 0);
      EXPECT_TRUE(sameFacts(stepped, after)) << length << " in steps of " << step;
    }
    ASSERT_EQ(readAllStatementLists(after), 0);
    ASSERT_EQ(readAllStatementLists(beside), 0);
    EXPECT_TRUE(sameFacts(beside, after)) << length;
  }
}

}  // namespace
