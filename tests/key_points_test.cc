#include "outline/key_points.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/trace_file.h"
#include "trace/trace_scanner.h"

namespace {

// One line per record: level kind line column pos queryStart queryLength caption.
std::vector<std::string> describe(const KeyPoints_c& list) {
  std::vector<std::string> lines;
  for (const KeyPoint& k : list) {
    lines.push_back(std::to_string(k.level) + " " + std::to_string(k.kind) + " " + std::to_string(k.line) + " " +
                    std::to_string(k.column) + " " + std::to_string(k.pos) + " " + std::to_string(k.queryStart) +
                    " " + std::to_string(k.queryLength) + " " + k.caption);
  }
  return lines;
}

std::vector<std::string> keyPointsOf(const std::string& text) {
  KeyPoints_c list;
  scanKeyPoints(list, text.c_str(), static_cast<int32_t>(text.size()));
  return describe(list);
}

struct KeyPointCase {
  const char* name;
  std::string text;
  std::vector<std::string> expected;
};

class KeyPointCases : public testing::TestWithParam<KeyPointCase> {};

TEST_P(KeyPointCases, RecordsEqualTheExpected) {
  EXPECT_EQ(keyPointsOf(GetParam().text), GetParam().expected);
}

const std::string kLongName(60, 'Q');

INSTANTIATE_TEST_SUITE_P(
    Scan, KeyPointCases,
    testing::Values(
        KeyPointCase{"EmptyText", "", {}},
        KeyPointCase{"NoMarker", "select 1 from dual\nnothing here\n", {}},
        KeyPointCase{"RegisteredQueryBlock", "Registered qb: SEL$1 0x1f2c", {"2 5 0 14 14 0 0 #02#SEL$1"}},
        KeyPointCase{"NameMissing", "Registered qb: \r\n\t ", {"2 5 0 14 14 0 0 #02#"}},
        KeyPointCase{"NameCutAtFiftyBytes",
                     "kkoqbc: optimizing query block " + kLongName,
                     {"2 11 0 30 30 0 0 #03#" + kLongName.substr(0, 50)}},
        KeyPointCase{"FixedCaptions",
                     "PARAMETERS USED BY THE OPTIMIZER\nPeeked values of the binds in SQL statement\n"
                     "Starting SQL statement dump\nExplain Plan Dump\nOptimizer state dump:",
                     {"1 6 0 32 32 0 0 Optimizer Parameters", "1 8 1 43 76 0 0 Bind Vars",
                      "1 15 2 27 104 0 0 SQL Dump", "1 16 3 17 122 0 0 Explain Plan",
                      "1 17 4 21 144 0 0 Optimizer State"}},
        KeyPointCase{"WordCaptions",
                     "Considering Query Transformations on query block SEL$1 (#0)\n"
                     "Final cost for query block SEL$1 (#0) - All Rows Plan:\n"
                     "Join order[3]:  EMP[E]#0  DEPT[D]#1",
                     {"1 7 0 48 48 0 0 Transform SEL$1", "3 10 1 26 86 0 0 Final cost for SEL$1",
                      "3 12 2 10 125 0 0 Join Order [3]:"}},
        KeyPointCase{"FinalQueryLineWithCarriageReturn",
                     "Final query after transformations:******* UNPARSED QUERY IS *******\r\nSELECT 1 FROM DUAL\r\n",
                     {"1 9 0 34 34 69 19 Final Query"}},
        KeyPointCase{"FinalQueryOnTheLastLine", "Final query after transformations:", {"1 9 0 34 34 0 0 Final Query"}},
        KeyPointCase{"FinalQueryWithoutSecondLineFeed",
                     "Final query after transformations:\nSELECT 1",
                     {"1 9 0 34 34 35 0 Final Query"}},
        KeyPointCase{"ZeroByteHidesTheLineFeed",
                     std::string("Final query after transformations:\0\nSELECT 1\n", 45),
                     {"1 9 0 34 34 0 0 Final Query"}},
        KeyPointCase{"ZeroByteInTheQueryLine",
                     std::string("Final query after transformations:\nSEL\0ECT 1\n", 46),
                     {"1 9 0 34 34 35 0 Final Query"}},
        KeyPointCase{"JoinOrdersAfterAStatementSection",
                     "Final query after transformations:\nSELECT 1\nJoin order[1]:\nJoin order[2]:",
                     {"1 9 0 34 34 35 8 Final Query", "2 11 2 10 54 0 0 #03#Permutations",
                      "3 12 2 10 54 0 0 Join Order [1]:", "3 12 3 10 69 0 0 Join Order [2]:"}},
        KeyPointCase{"JoinOrderInsideAnOptimisedBlock",
                     "kkoqbc: optimizing query block SEL$1\nJoin order[1]:",
                     {"2 11 0 30 30 0 0 #03#SEL$1", "3 12 1 10 47 0 0 Join Order [1]:"}},
        KeyPointCase{"JoinOrderFirst", "Join order[1]:", {"2 11 0 10 10 0 0 #03#Permutations",
                                                          "3 12 0 10 10 0 0 Join Order [1]:"}},
        KeyPointCase{"MarksAndEntries",
                     "x\n*** 2011-06-01 10:22:33.456\r\nBest so far: 1\nJoin order aborted: cost\n",
                     {"0 18 1 27 29 0 0 ", "3 13 2 12 43 0 0 ", "3 14 3 19 65 0 0 "}},
        KeyPointCase{"MarkersWithoutRecords",
                     "Now joining: T\nQUERY BLOCK SIGNATURE\nBest join order: 1\nTrace file /a/b.trc\n"
                     "QUERY BLOCK TEXT\nSYSTEM STATISTICS INFORMATION\nBASE STATISTICAL INFORMATION\n",
                     {}},
        KeyPointCase{"ThirdLine", "a\nb\nExplain Plan Dump", {"1 16 2 17 21 0 0 Explain Plan"}},
        KeyPointCase{"PathSwallowsAMarker", "file /a Join order", {}}),
    [](const testing::TestParamInfo<KeyPointCase>& info) { return info.param.name; });

TEST(KeyPoints, ResetKeepsTheBufferAndScansAgainAlike) {
  const std::string text = "Registered qb: SEL$1\nJoin order[1]:\n";
  KeyPoints_c list;
  scanKeyPoints(list, text.c_str(), static_cast<int32_t>(text.size()));
  const std::vector<std::string> first = describe(list);
  resetKeyPoints(list);
  EXPECT_EQ(list.count(), 0);
  scanKeyPoints(list, text.c_str(), static_cast<int32_t>(text.size()));
  EXPECT_EQ(describe(list), first);
}

// The fast scan must give exactly the records of the token-by-token scan.
void expectScansAgree(const std::string& text) {
  KeyPoints_c fast;
  KeyPoints_c reference;
  scanKeyPoints(fast, text.c_str(), static_cast<int32_t>(text.size()));
  scanKeyPointsReference(reference, text.c_str(), static_cast<int32_t>(text.size()));
  ASSERT_EQ(describe(fast), describe(reference)) << text.size() << " bytes";
}

TEST(KeyPoints, FastScanEqualsReferenceOnSamples) {
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc",
                           "edge_zero_bytes_lone_cr.trc"}) {
    SVString text;
    ASSERT_EQ(loadFromFile(text, (std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name).c_str()), 0) << name;
    text.append("\r\n", 2);
    expectScansAgree(std::string(text.c_str(), static_cast<size_t>(text.length())));
  }
}

// Scans on two threads at once (the two sides of a comparison) each
// prepare the scanner's table first; that must not disturb the other's
// scan under way.
TEST(KeyPoints, ScansOnTwoThreadsAtOnceAgree) {
  SVString loaded;
  ASSERT_EQ(loadFromFile(loaded, (std::string(ZAZOZAV_SAMPLES_DIR) + "/hr_two_statements.trc").c_str()), 0);
  const std::string text(loaded.c_str(), static_cast<size_t>(loaded.length()));
  const std::vector<std::string> expected = keyPointsOf(text);
  std::atomic<bool> scanning{true};
  std::thread other([&] {
    while (scanning) buildTraceDispatch();
  });
  int differing = 0;
  for (int round = 0; round < 200; ++round) differing += keyPointsOf(text) != expected;
  scanning = false;
  other.join();
  EXPECT_EQ(differing, 0);
}

TEST(KeyPoints, FastScanEqualsReferenceOnRandomTraces) {
  const std::vector<std::string> pieces = {
      "Join order", "Join order aborted:", "Best so far:", "file", "file ", "/u01/x", "*** 2021-01-01",
      "*** MODULE", "Registered qb: ", "SEL$1", "kkoqbc: optimizing query block",
      "Final query after transformations:", "Final cost for query block", "x", "(", " ", "  ", "\n", "\r\n", "\r",
      std::string(1, '\0'), "\xc3\xa9", "\t", "JOIN ORDER", "f", "k", "*", "B", "d:", "Explain Plan Dump",
      "QUERY BLOCK TEXT"};
  std::mt19937 random(1234);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    // Random alignment against the sixteen-byte blocks.
    text = std::string(random() % 17, ' ') + text;
    expectScansAgree(text);
  }
  // A text of several chunks of the fast scan, with tokens across their ends.
  std::string large;
  while (large.size() < 300 * 1024) large += pieces[random() % pieces.size()];
  expectScansAgree(large);
}

}  // namespace
