// zazozav-cli report as a whole process: the page on standard output, the
// viewer's load messages, and its usage errors.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli_run_facts.h"
#include "tests/html_check.h"

namespace {

TEST(ReportCli, WritesThePageOrSaysWhyNot) {
  TempDir dir;
  const std::string a = std::string(ZAZOZAV_SAMPLES_DIR) + "/hr_two_statements.trc";
  const std::string b = std::string(ZAZOZAV_SAMPLES_DIR) + "/hr_join_search.trc";
  const struct {
    std::string arguments;
    int exitCode;
    std::string outStart;
    std::string err;
  } cases[] = {
      {"report " + a, 0, "<!DOCTYPE html>\n<html lang=\"en\"><head>", ""},
      {"report " + a + " " + b, 0, "<!DOCTYPE html>\n", ""},
      {"report " + dir.file("missing.trc"), 1, "", "Cannot open file " + dir.file("missing.trc") + "\n"},
      {"report " + a + " " + dir.file("missing.trc"), 1, "", "Cannot open file " + dir.file("missing.trc") + "\n"},
      {"report", 2, "", "zazozav-cli report: A is missing\nUsage: zazozav-cli report A [B]\n"},
      {"report --json " + a, 2, "", "zazozav-cli report: unknown option\nUsage: zazozav-cli report A [B]\n"},
      {"report " + a + " " + a + " " + a, 2, "",
       "zazozav-cli report: at most two files may be named\nUsage: zazozav-cli report A [B]\n"},
  };
  for (const auto& c : cases) {
    const FactsCliRun run = runFactsCli(dir, c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(run.out.rfind(c.outStart, 0), 0u) << c.arguments;
    if (c.exitCode != 0) {
      EXPECT_EQ(run.out, "") << c.arguments;
    } else {
      EXPECT_EQ(unbalancedTags(run.out), "") << c.arguments;
    }
    EXPECT_EQ(run.err, c.err) << c.arguments;
  }
}

}  // namespace
