// Runs zazozav-cli as a whole process for the summary and comparison tests.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/test_files.h"

struct FactsCliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// Runs the tool with a time limit, so a hang fails instead of blocking.
inline FactsCliRun runFactsCli(const TempDir& dir, const std::string& arguments) {
  const std::string out = dir.file("cli.out");
  const std::string err = dir.file("cli.err");
  const std::string command =
      "timeout 60 " + std::string(ZAZOZAV_CLI_PATH) + " " + arguments + " >" + out + " 2>" + err + " </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}
