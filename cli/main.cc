// zazozav-cli: the headless tool over the viewer's core.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/cli_command.h"

namespace {

// The reports lay their tables out in standard containers, which throw
// when memory runs out: that is an error like any other, not an abort.
int runCommand(const CliCommand& command, int argc, char** argv) {
  try {
    return command.run(argc, argv);
  } catch (const std::bad_alloc&) {
    return noMemory("the output");
  }
}

const CliCommandGroup kGroups[] = {traceCommandGroup(), sqlCommandGroup(), highlightCommandGroup(),
                                   summaryCommandGroup(), compareCommandGroup(), reportCommandGroup()};

// The help text, whole: written in one piece, a failed write is told
// with its reason even when the text is longer than the stream's buffer.
std::string helpText() {
  std::string out =
               "Usage: zazozav-cli COMMAND [ARGS]\n"
               "       zazozav-cli --help | --version\n"
               "Reads Oracle optimizer traces and SQL the way the Marrow Viewer does, without a display.\n"
               "\"The text\" of a FILE is its bytes followed by \"\\r\\n\", as the viewer scans it.\n"
               "Fields are separated by one TAB and every record line ends in \"\\n\".\n\nCommands:\n";
  for (const CliCommandGroup& group : kGroups) {
    for (int i = 0; i < group.count; ++i) {
      const CliCommand& command = group.commands[i];
      out = out + "  " + command.name + " " + command.synopsis + "\n" + command.description + "\n";
    }
  }
  out +=
               "\nWords taken from a trace are printed with control characters made visible, so that no\n"
               "trace byte can act on the terminal or split a record: C0 controls and DEL in caret\n"
               "notation (^[ for ESC, ^J for a line feed, ^? for DEL; also ^I for a TAB inside a field),\n"
               "C1 controls as <9B> (a single byte) or <U+009B> (UTF-8). text and format-sql print bytes\n"
               "unchanged. SQL read from stdin may hold at most 67108864 bytes (64 MiB), as a trace file.\n"
               "A failed write to stdout is an error.\n"
               "\nExit codes: 0 success, 1 an error (message on stderr), 2 a usage error.\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    const std::string help = helpText();
    if (argc < 2) {
      std::fputs(help.c_str(), stderr);
      return finishStandardOutput(2);
    }
    return finishStandardOutput(writeOutput(help.data(), help.size()));
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("zazozav-cli %s\n", ZAZOZAV_VERSION);
    return finishStandardOutput(0);
  }
  for (const CliCommandGroup& group : kGroups) {
    for (int i = 0; i < group.count; ++i) {
      if (std::strcmp(group.commands[i].name, argv[1]) == 0) {
        return finishStandardOutput(runCommand(group.commands[i], argc - 2, argv + 2));
      }
    }
  }
  std::fprintf(stderr, "zazozav-cli: unknown command '%s' (see zazozav-cli --help)\n", argv[1]);
  return 2;
}
