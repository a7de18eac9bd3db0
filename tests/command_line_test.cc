#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  std::string workDir;
  std::string traceFileName;
  bool workDirGiven;
};

// Parses `arguments` from a start where the program lives in /opt/zz/.
Parsed parse(std::vector<std::string> arguments) {
  StartupPaths paths;
  initStartupPaths(paths);
  EXPECT_EQ(setExeDirFromProgramPath(paths, "/opt/zz/zazozav"), 0);
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  parseCommandLine(paths, static_cast<int>(pointers.size()), pointers.data());
  EXPECT_STREQ(paths.exeDir, "/opt/zz/");
  return {paths.workDir, paths.traceFileName, paths.workDirGiven};
}

TEST(ParseCommandLine, ArgumentsInOrder) {
  struct Case {
    std::vector<std::string> arguments;
    const char* workDir;
    const char* trace;
    bool given;
  };
  const Case cases[] = {
      {{}, "/opt/zz/", "", false},
      {{"a.trc", "b.trc"}, "/opt/zz/", "b.trc", false},
      {{"a.trc", "workdir=/cfg", "b.trc"}, "/cfg/", "a.trc", true},
      {{"WorkDir=/cfg/"}, "/cfg/", "", true},
      {{"WORKDIR=rel"}, "rel/", "", true},
      {{"workdir="}, "/", "", true},
      {{"x=1", "a.trc"}, "/opt/zz/", "a.trc", false},
      {{"/t/a=b.trc"}, "/opt/zz/", "", false},  // has "=": an option, never a file
      {{"workdir =/cfg", "a.trc"}, "/opt/zz/", "a.trc", false},
      {{"workdir=/a=b"}, "/a=b/", "", true},
      {{"workdir=/x", "workdir=/y"}, "/x/", "", true},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.arguments);
    const std::string label = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(p.workDir, c.workDir) << label;
    EXPECT_EQ(p.traceFileName, c.trace) << label;
    EXPECT_EQ(p.workDirGiven, c.given) << label;
  }
}

TEST(ParseCommandLine, WorkDirLengthLimits) {
  struct Case {
    size_t length;   // characters of the directory value
    bool slashEnd;   // the value ends in "/"
    size_t expected; // length of workDir afterwards (0: no location)
  };
  const Case cases[] = {
      {257, false, 258}, {258, false, 0}, {259, false, 0},
      {259, true, 259},  {260, true, 0},  {600, false, 0},
  };
  for (const Case& c : cases) {
    std::string value(c.length, 'd');
    value[0] = '/';
    if (c.slashEnd) value.back() = '/';
    const Parsed p = parse({"workdir=" + value, "a.trc"});
    EXPECT_EQ(p.workDir.size(), c.expected) << c.length;
    EXPECT_TRUE(p.workDirGiven);
    EXPECT_EQ(p.traceFileName, "");
    if (c.expected) {
      EXPECT_EQ(p.workDir.back(), '/');
    }
  }
}

TEST(ParseCommandLine, TraceNameLengthLimits) {
  const std::string fits(259, 't');
  EXPECT_EQ(parse({fits}).traceFileName, fits);
  EXPECT_EQ(parse({"a.trc", fits + "u"}).traceFileName, "");
  EXPECT_EQ(parse({fits + "u", "a.trc"}).traceFileName, "a.trc");
  // Only the first 511 characters are examined for "=".
  EXPECT_EQ(parse({std::string(511, 'x') + "=1"}).traceFileName, "");
  EXPECT_EQ(parse({std::string(500, 'x') + "=1", "a.trc"}).traceFileName, "a.trc");
}

TEST(ParseCommandLine, TheTraceArgumentIsKeptForNamesTooLongToHold) {
  struct Case {
    std::vector<std::string> arguments;
    int32_t traceArgument;
  };
  const std::string longName = "/" + std::string(400, 'l') + ".trc";
  const Case cases[] = {
      {{}, -1},
      {{"x=1"}, -1},
      {{"a.trc", "x=1"}, 0},
      {{"x=1", longName}, 1},
      {{longName, "b.trc", "workdir=/c", "d.trc"}, 1},
  };
  for (const Case& c : cases) {
    StartupPaths paths;
    initStartupPaths(paths);
    std::vector<const char*> pointers;
    for (const std::string& a : c.arguments) pointers.push_back(a.c_str());
    parseCommandLine(paths, static_cast<int>(pointers.size()), pointers.data());
    EXPECT_EQ(paths.traceArgument, c.traceArgument) << c.arguments.size();
  }
}

TEST(ParseCommandLine, ProgramDirectory) {
  StartupPaths paths;
  initStartupPaths(paths);
  EXPECT_EQ(setExeDirFromProgramPath(paths, "zazozav"), -1);
  EXPECT_STREQ(paths.exeDir, "");
  EXPECT_EQ(setExeDirFromProgramPath(paths, ("/" + std::string(258, 'd') + "/z").c_str()), -1);
  EXPECT_STREQ(paths.workDir, "");
  EXPECT_EQ(setExeDirFromProgramPath(paths, ("/" + std::string(257, 'd') + "/z").c_str()), 0);
  EXPECT_EQ(std::string(paths.exeDir).size(), 259u);
  EXPECT_EQ(setExeDirFromProgramPath(paths, "/z"), 0);
  EXPECT_STREQ(paths.exeDir, "/");
  ASSERT_EQ(fillExeDir(paths), 0);
  EXPECT_EQ(paths.exeDir[0], '/');
  EXPECT_EQ(paths.exeDir[std::string(paths.exeDir).size() - 1], '/');
  EXPECT_STREQ(paths.workDir, paths.exeDir);
}

}  // namespace
