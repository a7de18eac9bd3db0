// zazozav-cli summary as a whole process.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/cli_run_facts.h"
#include "tests/facts_trace_builder.h"
#include "tests/json_check_facts.h"

namespace {

std::string sample(const char* name) { return std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name; }

TEST(SummaryCli, ReportHasOneLinePerQueryBlock) {
  TempDir dir;
  const FactsCliRun run = runFactsCli(dir, "summary " + sample("hr_two_statements.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Statement 1 of 2: sql_id 7hq2m4rzk0x1d, plan hash value -1907313524 (line 477; lines 1-592)\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("  463   SEL$683B0107 (#1)  All Rows Plan  79.311486  119.000000  19022.000000  4      2        "
                         "3 (line 411): LOCATIONS[L]#1 DEPARTMENTS[D]#2 EMPLOYEES[E]#3 VW_SQ_1[VW_SQ_1]#0\n"),
            std::string::npos)
      << run.out;
}

TEST(SummaryCli, JsonHasTheFactsAndIsValid) {
  TempDir dir;
  for (const char* name : {"hr_two_statements.trc", "update_crlf.trc", "cp1252_no_final_newline.trc",
                           "edge_zero_bytes_lone_cr.trc"}) {
    const FactsCliRun run = runFactsCli(dir, "summary --json " + sample(name));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(JsonCheck::valid(run.out)) << name << "\n" << run.out;
  }
  const FactsCliRun run = runFactsCli(dir, "summary --json " + sample("hr_two_statements.trc"));
  for (const char* expected : {"\"sql_id\": \"7hq2m4rzk0x1d\"", "\"plan_hash_value\": \"-1907313524\"",
                               "\"line\": 477", "\"best_join_order\": \"3\"", "\"cost\": \"79.311486\"",
                               "\"_pga_max_size\": \"409600 KB\"", "\"3834770\": \"1\"", "\"fix_controls\": null"}) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
  }
}

// A hostile trace cannot drive the terminal or break the JSON.
TEST(SummaryCli, ControlBytesNeverReachTheOutput) {
  TempDir dir;
  StatementSpec spec;
  spec.sqlId = "abc\x1b[2Jdef";
  spec.sql = "select \x1b]0;owned\x07 \xc2\x9b" "31m from dual";
  spec.defaults = {"evil\x1b[31m = \x9b" "1m"};
  writeFile(dir.file("evil.trc"), statementTrace(spec));
  const FactsCliRun report = runFactsCli(dir, "summary " + dir.file("evil.trc"));
  ASSERT_EQ(report.exitCode, 0) << report.err;
  EXPECT_EQ(report.out.find('\x1b'), std::string::npos) << report.out;
  EXPECT_EQ(report.out.find('\x07'), std::string::npos);
  EXPECT_EQ(report.out.find("\xc2\x9b"), std::string::npos);
  EXPECT_EQ(report.out.find('\x9b'), std::string::npos);
  const FactsCliRun json = runFactsCli(dir, "summary --json " + dir.file("evil.trc"));
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_TRUE(JsonCheck::valid(json.out));
  EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
  EXPECT_NE(json.out.find("\"sql_id\": \"abc\""), std::string::npos);  // the id stops at the first odd byte
}

// A part of a split trace names the parts before it ahead of its statements,
// made safe for the terminal like every other word of the trace.
TEST(SummaryCli, SplitTraceNamesItsParts) {
  TempDir dir;
  writeFile(dir.file("part3.trc"), "Trace file /u01/orcl_ora_42_3.trc\n"
                                   "*** TRACE CONTINUED FROM FILE /u01/orcl_ora_42_2.trc ***\n"
                                   "*** TRACE CONTINUED FROM FILE /u01/\x1b[2Jorcl_ora_42_1.trc ***\r\n" +
                                       readFile(sample("hr_two_statements.trc")));
  const FactsCliRun report = runFactsCli(dir, "summary " + dir.file("part3.trc"));
  ASSERT_EQ(report.exitCode, 0) << report.err;
  EXPECT_EQ(report.out.rfind("Continued from file /u01/orcl_ora_42_2.trc (line 2)\n"
                             "Continued from file /u01/^[[2Jorcl_ora_42_1.trc (line 3)\n\n"
                             "Statement 1 of 2: sql_id 7hq2m4rzk0x1d",
                             0),
            0u)
      << report.out;
  const FactsCliRun json = runFactsCli(dir, "summary --json " + dir.file("part3.trc"));
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_TRUE(JsonCheck::valid(json.out));
  EXPECT_EQ(json.out.rfind("{\n  \"continued_from\": [\n    {\n      \"file\": \"/u01/orcl_ora_42_2.trc\",\n"
                           "      \"line\": 2\n    },",
                           0),
            0u)
      << json.out;

  // The first part names the next in its last line.
  const std::string first = readFile(sample("hr_two_statements.trc"));
  writeFile(dir.file("part1.trc"), first + "*** TRACE CONTINUES IN FILE /u01/orcl_ora_42_2.trc ***\n");
  const int32_t markerLine = static_cast<int32_t>(std::count(first.begin(), first.end(), '\n')) + 1;
  const FactsCliRun cut = runFactsCli(dir, "summary " + dir.file("part1.trc"));
  EXPECT_EQ(cut.out.rfind("Continues in file /u01/orcl_ora_42_2.trc (line " + std::to_string(markerLine) +
                              ")\n\nStatement 1 of 2",
                          0),
            0u)
      << cut.out;
  const FactsCliRun cutJson = runFactsCli(dir, "summary --json " + dir.file("part1.trc"));
  EXPECT_NE(cutJson.out.find("\"continues_in\": {\n    \"file\": \"/u01/orcl_ora_42_2.trc\",\n    \"line\": " +
                             std::to_string(markerLine)),
            std::string::npos)
      << cutJson.out.substr(0, 200);
}

TEST(SummaryCli, UsageAndLoadErrors) {
  TempDir dir;
  EXPECT_EQ(runFactsCli(dir, "summary").exitCode, 2);
  EXPECT_EQ(runFactsCli(dir, "summary --bogus x").exitCode, 2);
  EXPECT_EQ(runFactsCli(dir, "summary a b").exitCode, 2);
  const FactsCliRun missing = runFactsCli(dir, "summary " + dir.file("missing.trc"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Cannot open file"), std::string::npos);
  writeFile(dir.file("empty.trc"), "");
  const FactsCliRun empty = runFactsCli(dir, "summary --json " + dir.file("empty.trc"));
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "{\n  \"statements\": []\n}\n");
}

}  // namespace

namespace {

TEST(SummaryCli, SkippedListLinesAreCountedOnlyWhenThereAreSome) {
  TempDir dir;
  StatementSpec damaged;
  damaged.defaults.insert(damaged.defaults.begin() + 1, std::string("optimizer_\0cost = 1", 19));
  writeFile(dir.file("damaged.trc"), traceHeader() + statementTrace(damaged));
  writeFile(dir.file("clean.trc"), traceHeader() + statementTrace(StatementSpec{}));
  const char* line = "  Unreadable list lines skipped: 1 (a zero byte or a lone carriage return)\n";
  const FactsCliRun report = runFactsCli(dir, "summary " + dir.file("damaged.trc"));
  ASSERT_EQ(report.exitCode, 0) << report.err;
  EXPECT_NE(report.out.find(line), std::string::npos) << report.out;
  const FactsCliRun json = runFactsCli(dir, "summary --json " + dir.file("damaged.trc"));
  EXPECT_NE(json.out.find("\"skipped_list_lines\": 1"), std::string::npos) << json.out;
  for (const char* command : {"summary ", "summary --json "}) {
    const FactsCliRun clean = runFactsCli(dir, command + dir.file("clean.trc"));
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(clean.out.find("kipped"), std::string::npos) << clean.out;
  }
}

}  // namespace
