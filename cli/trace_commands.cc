// Trace subcommands: tokens, key points, outline and text of a trace file.
#include <cstdio>
#include <cstring>

#include "cli/cli_command.h"
#include "cli/output_buffer.h"
#include "outline/key_points.h"
#include "outline/outline_model.h"
#include "sql/final_query_reformat.h"
#include "sql/sql_tokenizer.h"
#include "trace/trace_scanner.h"

namespace {

// The arguments of a trace command: [--no-format] FILE.
struct TraceArguments {
  bool noFormat = false;
  const char* path = nullptr;
};

int parseTraceArguments(const CliCommand& command, int argc, char** argv, TraceArguments& out) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-format") == 0) {
      out.noFormat = true;
    } else if (argv[i][0] == '-' && argv[i][1] != 0 && !out.path) {
      return usageError(command, "unknown option");
    } else if (!out.path) {
      out.path = argv[i];
    } else {
      return usageError(command, "only one FILE may be named");
    }
  }
  if (!out.path) return usageError(command, "FILE is missing");
  return 0;
}

// Loads the trace and, unless --no-format, applies the final-query
// re-formatting the viewer shows by default: the key points' lines move,
// and with `wantShownText` the re-formatted text is built too (only the
// text command needs it, so the others keep one copy of the trace).
struct LoadedTrace {
  SVString text;       // as loaded, with "\r\n": what the key points describe
  SVString formatted;  // the re-formatted text, when built
  KeyPoints_c keyPoints;
  bool isFormatted = false;
  const SVString& shown() const { return isFormatted ? formatted : text; }
};

int loadTrace(const CliCommand& command, int argc, char** argv, bool wantShownText, LoadedTrace& trace) {
  TraceArguments args;
  if (int code = parseTraceArguments(command, argc, argv, args)) return code;
  if (int code = loadTraceText(args.path, trace.text)) return code;
  scanKeyPoints(trace.keyPoints, trace.text);
  if (trace.keyPoints.outOfMemory()) return noMemory("the key points");
  if (args.noFormat) return 0;
  buildSqlDispatch();
  int result;
  if (wantShownText) {
    result = trace.formatted.assign(trace.text);
    if (result == 0) result = reformatFinalQueries(trace.formatted, trace.keyPoints);
    trace.isFormatted = result == 0;
  } else {
    result = shiftFinalQueryLines(trace.text, trace.keyPoints);
  }
  if (result != 0) return noMemory("the formatted final queries");
  return 0;
}

int runTraceTokens(int argc, char** argv);
int runKeyPoints(int argc, char** argv);
int runOutline(int argc, char** argv);
int runText(int argc, char** argv);

const CliCommand kCommands[] = {
    {"trace-tokens", "FILE",
     "      One line per token of the text: kind, tokenStart, pos, line, column, mode (the state after it).",
     runTraceTokens},
    {"keypoints", "[--no-format] FILE",
     "      One line per key point: index, level, kind, line, column, pos, queryStart, queryLength, caption\n"
     "      (control characters made visible, see below).",
     runKeyPoints},
    {"outline", "[--no-format] FILE",
     "      One line per outline node reachable from node 0, depth first: depth, nodeIndex,\n"
     "      keyPointIndex, line, caption1, and caption2 for roots (control characters made visible).",
     runOutline},
    {"text", "[--no-format] FILE", "      The text exactly, as the viewer shows it.", runText},
};

int runTraceTokens(int argc, char** argv) {
  if (argc != 1) return usageError(kCommands[0], "exactly one FILE is needed");
  SVString text;
  if (int code = loadTraceText(argv[0], text)) return code;
  buildTraceDispatch();
  ScanState state;
  scanInit(state, text.c_str(), text.length());
  OutputBuffer out;
  while (nextTraceToken(state)) {
    out.printf("%d\t%d\t%d\t%d\t%d\t%d\n", state.kind, state.tokenStart, state.pos, state.line, state.column,
               state.mode);
  }
  return out.finish();
}

int runKeyPoints(int argc, char** argv) {
  LoadedTrace trace;
  if (int code = loadTrace(kCommands[1], argc, argv, false, trace)) return code;
  OutputBuffer out;
  for (int32_t i = 0; i < trace.keyPoints.count(); ++i) {
    const KeyPoint& k = trace.keyPoints[i];
    out.printf("%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t", i, k.level, k.kind, k.line, k.column, k.pos, k.queryStart,
               k.queryLength);
    out.writeField(k.caption, strnlen(k.caption, sizeof k.caption));
    out.write("\n", 1);
  }
  return out.finish();
}

void printOutlineFrom(const NodeMarrow_Array_c& nodes, const KeyPoints_c& keyPoints, int32_t first, int depth,
                      OutputBuffer& out) {
  for (int32_t i = first; i != kNoNode; i = nodes[i].nextSibling) {
    const OutlineNode& node = nodes[i];
    out.printf("%d\t%d\t%d\t%d\t", depth, node.nodeIndex, node.keyPointIndex, keyPoints[node.keyPointIndex].line);
    const char* first = nodes.caption(i, 1);
    out.writeField(first, std::strlen(first));
    if (const char* second = nodes.caption(i, 2)) {
      out.write("\t", 1);
      out.writeField(second, std::strlen(second));
    }
    out.write("\n", 1);
    if (node.firstChild != kNoNode) printOutlineFrom(nodes, keyPoints, node.firstChild, depth + 1, out);
  }
}

int runOutline(int argc, char** argv) {
  LoadedTrace trace;
  if (int code = loadTrace(kCommands[2], argc, argv, false, trace)) return code;
  NodeMarrow_Array_c nodes;
  buildOutline(nodes, trace.keyPoints, trace.text.c_str(), trace.text.length());
  if (nodes.outOfMemory()) return noMemory("the outline");
  OutputBuffer out;
  if (nodes.count() > 0) printOutlineFrom(nodes, trace.keyPoints, 0, 0, out);
  return out.finish();
}

int runText(int argc, char** argv) {
  LoadedTrace trace;
  if (int code = loadTrace(kCommands[3], argc, argv, true, trace)) return code;
  return writeOutput(trace.shown().c_str(), static_cast<size_t>(trace.shown().length()));
}

}  // namespace

CliCommandGroup traceCommandGroup() { return {kCommands, static_cast<int>(sizeof kCommands / sizeof kCommands[0])}; }
