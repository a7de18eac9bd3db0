#include "cli/fact_loading.h"

#include <cstdio>

#include "cli/cli_command.h"

int loadFacts(const char* path, LoadedFacts& out) {
  if (int code = loadTraceText(path, out.text)) return code;
  if (scanKeyPointsAndFacts(out.keyPoints, out.facts, out.text.c_str(), out.text.length()) != 0 ||
      readAllStatementLists(out.facts) != 0) {
    return noMemory("the facts");
  }
  return 0;
}
