// zazozav-cli report: one trace, or the comparison of two, as a
// self-contained HTML page on standard output.
#include <cstdio>
#include <cstring>

#include "app/trace_file.h"
#include "cli/cli_command.h"
#include "compare/file_comparison.h"
#include "report/report_files.h"

namespace {

int runReport(int argc, char** argv);

const CliCommand kCommands[] = {
    {"report", "A [B]",
     "      One self-contained HTML5 page (inline style sheet and SVG charts, no script, nothing\n"
     "      loaded from elsewhere) to mail or attach: per statement its SQL text, query blocks with\n"
     "      costs and best join orders, per query block the join-order search as a chart, the access\n"
     "      paths with the signs of a guessed estimate and the statistics the optimizer saw, the\n"
     "      transformations and the plan, each fact with its trace line. With B, the comparison of A\n"
     "      with B: its differences (the first divergence first), its try-script, then both traces.\n"
     "      Every text from a trace is escaped. Redirect it to a file: report A > report.html.",
     runReport},
};

int runReport(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  int named = 0;
  for (int i = 0; i < argc; ++i) {
    if (argv[i][0] == '-' && argv[i][1] != 0) return usageError(kCommands[0], "unknown option");
    if (named == 2) return usageError(kCommands[0], "at most two files may be named");
    paths[named++] = argv[i];
  }
  if (named == 0) return usageError(kCommands[0], "A is missing");
  SVString page;
  int32_t failedSide = kComparedA;
  const int code = named == 1 ? reportTraceFile(paths[0], page) : reportComparedFiles(paths[0], paths[1], page, failedSide);
  if (code == LoadNoMemory) return noMemory("the report");
  if (code != LoadOk) {
    char message[kMessageBufferSize];
    loadErrorMessage(code, paths[failedSide == kComparedB ? 1 : 0], message, sizeof message);
    std::fprintf(stderr, "%s\n", message);
    return 1;
  }
  return writeOutput(page.c_str(), static_cast<size_t>(page.length()));
}

}  // namespace

CliCommandGroup reportCommandGroup() {
  return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])};
}
