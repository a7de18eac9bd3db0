// zazozav-cli's --version, and its manual page and bash completion held to
// its --help, which the command table writes: a command or option added to
// the table without them fails here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "tests/cli_run_facts.h"
#include "tests/test_files.h"

namespace {

const std::string kSourceDir = std::string(ZAZOZAV_SAMPLES_DIR) + "/..";

struct HelpCommand {
  std::string name;
  std::vector<std::string> options;    // "--json"
  std::vector<std::string> arguments;  // "FILE", "A", "SQL"
};

// The "  NAME SYNOPSIS" lines of --help.
std::vector<HelpCommand> helpCommands(const std::string& help) {
  std::vector<HelpCommand> commands;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    std::istringstream words(line);
    HelpCommand command;
    words >> command.name;
    for (std::string word; words >> word;) {
      if (word.front() == '[') word = word.substr(1, word.size() - 2);
      if (word.compare(0, 2, "--") == 0) command.options.push_back(word);
      else if (word != "<") command.arguments.push_back(word);
    }
    commands.push_back(command);
  }
  return commands;
}

// A name as the page's source writes it: every "-" a minus sign.
std::string roff(const std::string& text) {
  std::string escaped;
  for (char c : text) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  return escaped;
}

// The line of the COMMANDS section that opens `name`'s entry.
std::string manEntry(const std::string& page, const std::string& name) {
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(".BI " + roff(name) + " ", 0) == 0 || line.rfind(".BI \"" + roff(name) + " ", 0) == 0) return line;
  }
  return "";
}

TEST(CliManual, VersionIsTheProjectVersion) {
  TempDir dir;
  const FactsCliRun run = runFactsCli(dir, "--version");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "zazozav-cli " ZAZOZAV_VERSION "\n");
  EXPECT_EQ(run.err, "");
}

// The words of the completion's command list, and per case of its
// command switch ("keypoints|outline|text) options=...") the case's line.
struct Completion {
  std::vector<std::string> commands;
  std::vector<std::pair<std::string, std::string>> cases;  // command, line
};

Completion completionOf(const std::string& script) {
  Completion c;
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    const size_t list = line.find("commands=\"");
    if (list != std::string::npos) {
      std::istringstream words(line.substr(list + 10, line.find('"', list + 10) - list - 10));
      for (std::string word; words >> word;) c.commands.push_back(word);
    }
    const size_t start = line.find_first_not_of(' ');
    const size_t close = line.find(')');
    if (start == std::string::npos || close == std::string::npos) continue;
    const std::string pattern = line.substr(start, close - start);
    if (pattern.find_first_not_of("abcdefghijklmnopqrstuvwxyz-|") != std::string::npos) continue;
    std::istringstream names(pattern);
    for (std::string name; std::getline(names, name, '|');) c.cases.emplace_back(name, line);
  }
  return c;
}

bool describedOption(const std::string& page, const std::string& option) {
  return page.find("\n.B " + roff(option)) != std::string::npos ||
         page.find("\n.BR " + roff(option)) != std::string::npos;
}

TEST(CliManual, PageAndCompletionKnowEveryCommandAndOption) {
  TempDir dir;
  const FactsCliRun help = runFactsCli(dir, "--help");
  ASSERT_EQ(help.exitCode, 0);
  const std::vector<HelpCommand> commands = helpCommands(help.out);
  ASSERT_EQ(commands.size(), 10u) << help.out;
  const std::string page = readFile(kSourceDir + "/docs/man/zazozav-cli.1.in");
  const std::string script = readFile(kSourceDir + "/cli/zazozav-cli.bash-completion");
  const Completion completion = completionOf(script);
  ASSERT_EQ(completion.commands.size(), commands.size()) << script;
  for (const char* option : {"--help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_TRUE(describedOption(page, option)) << option;
    EXPECT_NE(script.find(std::string("$commands ") + "--help --version"), std::string::npos) << option;
  }
  for (const HelpCommand& command : commands) {
    const std::string entry = manEntry(page, command.name);
    ASSERT_NE(entry, "") << command.name << " has no entry in the manual page";
    EXPECT_NE(std::find(completion.commands.begin(), completion.commands.end(), command.name),
              completion.commands.end())
        << command.name;
    std::string caseLine;
    for (const auto& [name, line] : completion.cases) {
      if (name == command.name) caseLine = line;
    }
    EXPECT_NE(caseLine, "") << command.name << " has no case in the completion";
    for (const std::string& option : command.options) {
      EXPECT_NE(entry.find(roff(option)), std::string::npos) << command.name << " " << option;
      EXPECT_TRUE(describedOption(page, option)) << option << " is not described";
      const size_t open = caseLine.find("options=\"");
      const std::string listed =
          open == std::string::npos ? "" : " " + caseLine.substr(open + 9, caseLine.find('"', open + 9) - open - 9) + " ";
      EXPECT_NE(listed.find(" " + option + " "), std::string::npos) << command.name << " " << option;
    }
    if (command.options.empty()) {
      EXPECT_EQ(caseLine.find("options="), std::string::npos) << command.name;
    }
    for (const std::string& argument : command.arguments) {
      EXPECT_NE(entry.find(argument), std::string::npos) << command.name << " " << argument;
    }
  }
}

// Both pages render without a warning, when groff is there to say so.
TEST(CliManual, PagesRenderWithoutWarnings) {
  if (access("/usr/bin/groff", X_OK) != 0) GTEST_SKIP() << "groff is not installed";
  TempDir dir;
  for (const char* page : {"zazozav-cli.1.in", "zazozav.1.in"}) {
    const std::string command = "groff -man -Tutf8 -ww -z " + kSourceDir + "/docs/man/" + page + " 2>" + dir.file("err");
    EXPECT_EQ(std::system(command.c_str()), 0) << page;
    EXPECT_EQ(readFile(dir.file("err")), "") << page;
  }
}

}  // namespace
