// zazozav-cli as a whole process: output formats, exit codes and messages,
// also on inputs that must never crash or hang it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/test_files.h"

namespace {

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// Runs the tool with a time limit, so a hang fails instead of blocking.
// Standard input is empty, or the output of the shell command `input`;
// standard output goes to `output` when one is named (then `out` is empty).
CliRun runCli(const std::string& arguments, const std::string& input = "", const std::string& output = "") {
  const std::string out = "/tmp/zazozav_cli_test.out";
  const std::string err = "/tmp/zazozav_cli_test.err";
  std::remove(out.c_str());
  const std::string command = (input.empty() ? "" : input + " | ") + "timeout 60 " + std::string(ZAZOZAV_CLI_PATH) +
                              " " + arguments + " >" + (output.empty() ? out : output) + " 2>" + err +
                              (input.empty() ? " </dev/null" : "");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output.empty() ? readFile(out) : "", readFile(err)};
}

std::string writeTemp(const TempDir& dir, const char* name, const std::string& bytes) {
  writeFile(dir.file(name), bytes);
  return dir.file(name);
}

std::string sample(const char* name) { return std::string(ZAZOZAV_SAMPLES_DIR) + "/" + name; }

TEST(Cli, TextIsTheFileAndALineEnd) {
  const CliRun run = runCli("text --no-format " + sample("cp1252_no_final_newline.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, readFile(sample("cp1252_no_final_newline.trc")) + "\r\n");
}

TEST(Cli, OutlineListsNodesDepthFirst) {
  const CliRun run = runCli("outline --no-format " + sample("hr_two_statements.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first;
  std::string second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first, "0\t0\t0\t15\t#10#Marrow trace\t  #01#sql_id=7hq2m4rzk0x1d");
  EXPECT_EQ(second, "1\t1\t0\t15\t#02#QUERY BLOCKS");
  EXPECT_NE(run.out.find("3\t19\t22\t441\tJoin Order [4]: #07#- aborted #07#- aborted\n"), std::string::npos);
}

TEST(Cli, KeyPointsAndTokensHaveTheirFields) {
  CliRun run = runCli("keypoints --no-format " + sample("hr_two_statements.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "0\t0\t18\t15\t47\t582\t0\t0\t\n");
  run = runCli("trace-tokens " + sample("cp1252_no_final_newline.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "20\t0\t5\t0\t5\t0\n");
}

TEST(Cli, HighlightColoursMarkersLikeTheViewer) {
  const CliRun run = runCli("highlight " + sample("hr_two_statements.trc"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string bold = "\x1b[1;48;2;240;240;240m";
  EXPECT_NE(run.out.find("\n" + bold + "*** 2021-03-15T09:41:07.118204+01:00 (HRPDB(4))\x1b[0m\n"), std::string::npos);
  EXPECT_NE(run.out.find("\x1b[38;2;128;0;0mJoin order aborted:\x1b[0m cost > best plan cost\n"), std::string::npos);
  EXPECT_NE(run.out.find("\x1b[38;2;0;128;0mBest so far:\x1b[0m"), std::string::npos);
}

TEST(Cli, BadInputGivesTheViewersMessages) {
  TempDir dir;
  const std::string big = dir.file("big.trc");
  const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_EQ(::ftruncate(fd, 64 * 1024 * 1024 + 1), 0);
  ::close(fd);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
  struct Case {
    std::string path;
    std::string message;
  };
  const Case cases[] = {{dir.file("missing.trc"), "Cannot open file " + dir.file("missing.trc") + "\n"},
                        {dir.file(""), "Cannot open file " + dir.file("") + "\n"},
                        {dir.file("fifo"), "Cannot open file " + dir.file("fifo") + "\n"},
                        {big, "File " + big + " is too large\n"}};
  for (const Case& c : cases) {
    const CliRun run = runCli("keypoints --no-format '" + c.path + "'");
    EXPECT_EQ(run.exitCode, 1) << c.path;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
  }
}

TEST(Cli, HostileTracesNeverCrash) {
  TempDir dir;
  std::string noise(1 << 20, '\0');
  unsigned state = 12345;
  for (char& c : noise) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 16);
  }
  const std::string cases[] = {writeTemp(dir, "empty.trc", ""), writeTemp(dir, "noise.trc", noise),
                               writeTemp(dir, "nul.trc", std::string("*** 2020\0Registered qb: A\0\nJoin order\0", 39)),
                               writeTemp(dir, "line.trc", "Registered qb: " + std::string(10 * 1024 * 1024, 'x')),
                               writeTemp(dir, "cr.trc", "*** 2020\rRegistered qb: A\rJoin order[1]:\r")};
  for (const std::string& path : cases) {
    for (const char* command : {"keypoints --no-format", "outline --no-format", "trace-tokens"}) {
      const CliRun run = runCli(std::string(command) + " " + path);
      EXPECT_EQ(run.exitCode, 0) << command << " " << path << ": " << run.err;
    }
  }
}

size_t countOf(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

// The bytes that could act on a terminal: C0 controls but TAB and line
// feed, DEL, and the C1 controls this test's trace holds (raw and UTF-8).
// The highlight command's own colour sequences are taken out first.
std::string terminalControlsIn(std::string text) {
  for (size_t at; (at = text.find("\x1b[")) != std::string::npos;) {
    const size_t end = text.find_first_not_of("0123456789;", at + 2);
    if (end == std::string::npos || text[end] != 'm') break;
    text.erase(at, end + 1 - at);
  }
  std::string found;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F || c == 0x9B) found += text[i];
  }
  return found;
}

TEST(Cli, TraceBytesCannotDriveTheTerminalOrSplitARecord) {
  TempDir dir;
  const std::string trace = writeTemp(dir, "controls.trc",
                                      "*** 2021-01-01 10:00:00.000\n"
                                      "(sql_id=ab\tc\r\n"
                                      "Registered qb: SEL\x1b]0;owned\x07 0x1\n"
                                      "kkoqbc: optimizing query block Q\x9b" "2J\n"
                                      "Join order[1\xc2\x9b]: caf\xc3\xa9\n"
                                      "Best so far: \x1b[31m \x9b[31m \xc2\x9b[31m\n");
  struct Case {
    const char* command;
    size_t records;
    size_t tabsPerRecord;  // 0: not a TAB-separated listing
    const char* shown;     // a part of the output with escaped bytes
  };
  const Case cases[] = {
      {"outline --no-format", 6, 0, "0\t0\t0\t0\t#10#Marrow trace\t  #01#sql_id=ab^Ic^M^JRegiste\n"},
      {"outline --no-format", 6, 0, "\t#02#SEL^[]0;owned^G\n"},
      {"keypoints --no-format", 5, 8, "\t#03#Q<9B>2J\n"},
      {"keypoints --no-format", 5, 8, "\tJoin Order [1<U+009B>]:\n"},
      {"highlight", 6, 0, "caf\xc3\xa9\n"},
      {"highlight", 6, 0, "\x1b[0m ^[[31m <9B>[31m <U+009B>[31m\n"},
  };
  for (const Case& c : cases) {
    const CliRun run = runCli(std::string(c.command) + " " + trace);
    ASSERT_EQ(run.exitCode, 0) << c.command << ": " << run.err;
    EXPECT_EQ(terminalControlsIn(run.out), "") << c.command;
    EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos) << c.command;
    EXPECT_NE(run.out.find(c.shown), std::string::npos) << c.command << ":\n" << run.out;
    EXPECT_EQ(countOf(run.out, '\n'), c.records) << c.command << ":\n" << run.out;
    if (c.tabsPerRecord) {
      EXPECT_EQ(countOf(run.out, '\t'), c.records * c.tabsPerRecord) << c.command;
    }
  }
  // The outline's records: four TABs, and a fifth before a root's sql_id line.
  const CliRun outline = runCli("outline --no-format " + trace);
  EXPECT_EQ(countOf(outline.out, '\t'), 6 * 4 + 1);
}

TEST(Cli, AFailedWriteToStandardOutputIsAnError) {
  const std::string hr = sample("hr_two_statements.trc");
  const std::string sql = "echo 'SELECT a FROM t WHERE b = 1'";
  struct Case {
    std::string arguments;
    std::string input;
  };
  const Case cases[] = {{"format-sql", sql},         {"sql-tokens", sql},          {"text " + hr, ""},
                        {"text --no-format " + hr, ""}, {"keypoints " + hr, ""},     {"outline " + hr, ""},
                        {"highlight " + hr, ""},        {"trace-tokens " + hr, ""},  {"--help", ""}};
  for (const Case& c : cases) {
    const CliRun run = runCli(c.arguments, c.input, "/dev/full");
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    EXPECT_EQ(run.err, "zazozav-cli: cannot write to standard output: No space left on device\n") << c.arguments;
  }
  // A closed standard output that nothing was written to loses nothing.
  const CliRun closed = runCli("keypoints " + sample("missing.trc"), "", "&-");
  EXPECT_EQ(closed.exitCode, 1);
  EXPECT_EQ(closed.err, "Cannot open file " + sample("missing.trc") + "\n");
}

TEST(Cli, StandardInputIsBoundedLikeATraceFile) {
  const CliRun tooLarge = runCli("format-sql", "head -c 67108865 /dev/zero");
  EXPECT_EQ(tooLarge.exitCode, 1);
  EXPECT_EQ(tooLarge.err, "Standard input is too large: at most 67108864 bytes (64 MiB) are read\n");
  EXPECT_EQ(tooLarge.out, "");
  const CliRun largest = runCli("format-sql", "head -c 67108864 /dev/zero | tr '\\0' ' '");
  EXPECT_EQ(largest.exitCode, 1);
  EXPECT_EQ(largest.err, "Cannot format this SQL type\n");
  const CliRun help = runCli("--help");
  EXPECT_NE(help.out.find("at most 67108864 bytes (64 MiB)"), std::string::npos);
}

TEST(Cli, UsageErrorsExitWithTwo) {
  for (const char* arguments : {"", "no-such-command", "keypoints", "keypoints --no-format a b", "trace-tokens"}) {
    EXPECT_EQ(runCli(arguments).exitCode, 2) << arguments;
  }
  const CliRun help = runCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"trace-tokens", "keypoints", "outline", "text"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
}

}  // namespace
