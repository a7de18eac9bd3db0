// zazozav-cli when memory runs out: each growth of memory a command makes
// is failed in turn (the test build of the tool fails the one it is told
// to). The command then either gives its whole, unchanged result, or fails
// with the loader's kind of message and its error code: never a shorter
// result and exit code 0.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/test_files.h"

namespace {

struct FaultRun {
  int exitCode;
  std::string out;
  std::string err;
};

FaultRun runFailingGrowth(const TempDir& dir, const std::string& arguments, long long failing) {
  const std::string out = dir.file("cli.out");
  const std::string err = dir.file("cli.err");
  const std::string command = "ZAZOZAV_FAIL_GROWTH=" + std::to_string(failing) + " timeout 60 " +
                              ZAZOZAV_CLI_GROWTH_FAULTS_PATH + " " + arguments + " >" + out + " 2>" + err +
                              " </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

long long growthsOf(const FaultRun& run) {
  const size_t at = run.err.rfind("growths: ");
  return at == std::string::npos ? -1 : std::atoll(run.err.c_str() + at + 9);
}

std::string sample(const char* name) { return std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name; }

TEST(CliGrowthFaults, EveryFailedGrowthIsAnErrorOrChangesNothing) {
  TempDir dir;
  const std::string trace = sample("hr_two_statements.trc");
  const std::string other = sample("sh_four_statements.trc");
  struct Case {
    std::string arguments;
    int failureCode;  // compare's 1 means "differ"; its trouble is 2
  };
  const Case cases[] = {
      {"outline " + trace, 1},         {"outline --no-format " + trace, 1},
      {"keypoints " + trace, 1},       {"keypoints --no-format " + trace, 1},
      {"summary " + trace, 1},         {"summary --json " + trace, 1},
      {"text " + trace, 1},            {"compare " + trace + " " + other, 2},
      {"compare --json " + trace + " " + other, 2},
      {"report " + trace, 1},          {"report " + trace + " " + other, 1},
  };
  for (const Case& c : cases) {
    const FaultRun clean = runFailingGrowth(dir, c.arguments, 0);
    ASSERT_LE(clean.exitCode, 1) << c.arguments << "\n" << clean.err;
    const long long growths = growthsOf(clean);
    ASSERT_GT(growths, 0) << c.arguments;
    for (long long n = 1; n <= growths; ++n) {
      const FaultRun run = runFailingGrowth(dir, c.arguments, n);
      if (run.exitCode == clean.exitCode && run.out == clean.out) continue;
      EXPECT_EQ(run.exitCode, c.failureCode) << c.arguments << ", growth " << n << " failed\n" << run.err;
      EXPECT_NE(run.err.find("Cannot allocate memory for "), std::string::npos)
          << c.arguments << ", growth " << n << " failed\n" << run.err;
    }
  }
}

}  // namespace
