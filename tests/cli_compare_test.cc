// zazozav-cli compare as a whole process: report, JSON, exit status.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli_run_facts.h"
#include "tests/facts_trace_builder.h"
#include "tests/json_check_facts.h"

namespace {

std::string sample(const char* name) { return std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name; }

TEST(CompareCli, ExitStatusSaysWhetherTracesDiffer) {
  TempDir dir;
  const std::string text = readFile(sample("hr_two_statements.trc"));
  std::string noisy = text;
  for (size_t at = noisy.find("0x7f3a"); at != std::string::npos; at = noisy.find("0x7f3a", at + 1)) noisy[at + 2] = '1';
  writeFile(dir.file("noisy.trc"), noisy);
  const FactsCliRun same = runFactsCli(dir, "compare " + sample("hr_two_statements.trc") + " " + dir.file("noisy.trc"));
  EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
  EXPECT_NE(same.out.find("No differences."), std::string::npos);

  StatementSpec changed;
  changed.planHash = "12345";
  changed.defaults[2] = "cpu_count                           = 16";
  writeFile(dir.file("a.trc"), statementTrace(StatementSpec{}));
  writeFile(dir.file("b.trc"), statementTrace(changed));
  const FactsCliRun differ = runFactsCli(dir, "compare " + dir.file("a.trc") + " " + dir.file("b.trc"));
  EXPECT_EQ(differ.exitCode, 1) << differ.err;
  for (const char* expected : {"  plan hash value: -1907313524 (2387653772) / 12345\n", "  parameter cpu_count: 8 (line 23) / 16 (line 23)\n",
                               "  - cpu_count                           = 8\n",
                               "  + cpu_count                           = 16\n"}) {
    EXPECT_NE(differ.out.find(expected), std::string::npos) << expected << "\n" << differ.out;
  }
  const FactsCliRun json = runFactsCli(dir, "compare --json " + dir.file("a.trc") + " " + dir.file("b.trc"));
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_TRUE(JsonCheck::valid(json.out)) << json.out;
  for (const char* expected : {"\"matched_by\": \"sql_id\"", "\"plan_hash_value\": {\n        \"a\": \"-1907313524\",\n        \"b\": \"12345\"",
                               "\"name\": \"cpu_count\",\n          \"a\": \"8\",\n          \"b\": \"16\"", "\"a_line\": 23,\n      \"a_count\": 1"}) {
    EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;
  }
}

TEST(CompareCli, TroubleIsTwo) {
  TempDir dir;
  EXPECT_EQ(runFactsCli(dir, "compare").exitCode, 2);
  EXPECT_EQ(runFactsCli(dir, "compare " + sample("hr_two_statements.trc")).exitCode, 2);
  EXPECT_EQ(runFactsCli(dir, "compare --nope a b").exitCode, 2);
  const FactsCliRun missing = runFactsCli(dir, "compare " + sample("hr_two_statements.trc") + " " + dir.file("none.trc"));
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("Cannot open file"), std::string::npos);
}

TEST(CompareCli, AnyBytesGiveValidJsonAndASafeReport) {
  TempDir dir;
  StatementSpec evil;
  evil.sqlId = "e\x1b[31m";
  evil.defaults[0] = "optimizer_mode_hinted = \x1b]0;x\x07\xc2\x9b";
  writeFile(dir.file("evil.trc"), statementTrace(evil) + std::string("\0\xff\xfe\r\r\n", 6));
  writeFile(dir.file("plain.trc"), statementTrace(StatementSpec{}));
  const std::string files = dir.file("plain.trc") + " " + dir.file("evil.trc");
  const FactsCliRun report = runFactsCli(dir, "compare " + files);
  EXPECT_EQ(report.exitCode, 1);
  EXPECT_EQ(report.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(report.out.find('\x07'), std::string::npos);
  EXPECT_EQ(report.out.find("\xc2\x9b"), std::string::npos);
  const FactsCliRun json = runFactsCli(dir, "compare --json " + files);
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_TRUE(JsonCheck::valid(json.out));
}

}  // namespace
