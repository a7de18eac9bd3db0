// The highlight subcommand: the trace in terminal colours, painted by the
// viewer's own highlighter line by line, for `less -R` on a server without
// a display.
#include <cstdio>
#include <cstring>

#include "cli/cli_command.h"
#include "cli/output_buffer.h"
#include "trace/trace_highlighter.h"

namespace {

int runHighlight(int argc, char** argv);

const CliCommand kCommands[] = {
    {"highlight", "FILE",
     "      The trace with ANSI colours (bold, underline, 24-bit colours) as the viewer paints it;\n"
     "      control characters other than TAB are made visible (see below). View it with less -R.",
     runHighlight},
};

// The SGR parameters for an attribute ("" for a plain one), at most
// "1;3;4;9;38;2;255;255;255;48;2;255;255;255".
void sgrFor(const HighlighterAttribute* a, char* out, size_t capacity) {
  out[0] = 0;
  if (!a) return;
  size_t used = 0;
  auto add = [&](const char* fmt, int r, int g, int b) {
    if (used >= capacity) return;
    const int n = std::snprintf(out + used, capacity - used, fmt, used ? ";" : "", r, g, b);
    if (n > 0) used += static_cast<size_t>(n);
  };
  if (a->style & kStyleBold) add("%s1", 0, 0, 0);
  if (a->style & kStyleItalic) add("%s3", 0, 0, 0);
  if (a->style & kStyleUnderline) add("%s4", 0, 0, 0);
  if (a->style & kStyleStrikeOut) add("%s9", 0, 0, 0);
  if (a->foreground.isSet) add("%s38;2;%d;%d;%d", a->foreground.red, a->foreground.green, a->foreground.blue);
  if (a->background.isSet) add("%s48;2;%d;%d;%d", a->background.red, a->background.green, a->background.blue);
}

void writeLine(ZAzozav_Hiliter_c& h, const char* line, int32_t length, OutputBuffer& out) {
  h.beginLine(line, length, 0);
  // The tokens cover the line one after another. Plain ones are written
  // as one run: a UTF-8 character is then never cut in two before its
  // bytes are made safe, since only plain tokens hold such bytes side by side.
  int32_t plainStart = 0;
  while (!h.isLineEnd()) {
    char sgr[64];
    sgrFor(h.currentTokenAttribute(), sgr, sizeof sgr);
    if (sgr[0]) {
      const int32_t start = h.currentTokenStart();
      const std::string_view token = h.currentTokenText();
      out.writeSafe(line + plainStart, static_cast<size_t>(start - plainStart));
      out.printf("\x1b[%sm", sgr);
      out.writeSafe(token.data(), token.size());
      out.write("\x1b[0m", 4);
      plainStart = start + static_cast<int32_t>(token.size());
    }
    h.advance();
  }
  out.writeSafe(line + plainStart, static_cast<size_t>(length - plainStart));
  out.write("\n", 1);
}

int runHighlight(int argc, char** argv) {
  if (argc != 1 || argv[0][0] == '-') return usageError(kCommands[0], "exactly one FILE is needed");
  SVString text;
  if (int code = loadTraceText(argv[0], text)) return code;
  // The viewer's appended line end would only add an empty last row.
  const int32_t length = text.length() - 2;
  const char* bytes = text.c_str();

  ZAzozav_Hiliter_c h;
  h.clearRange();
  OutputBuffer out;
  int32_t lineStart = 0;
  while (lineStart < length) {
    const void* feed = std::memchr(bytes + lineStart, '\n', static_cast<size_t>(length - lineStart));
    const int32_t lineEnd = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - bytes) : length;
    // The editor's lines exclude their line end, carriage return included.
    int32_t textEnd = lineEnd;
    if (feed && textEnd > lineStart && bytes[textEnd - 1] == '\r') --textEnd;
    // Each line starts in the mode the previous one ended in.
    h.restoreRange(h.saveRange());
    writeLine(h, bytes + lineStart, textEnd - lineStart, out);
    lineStart = lineEnd + 1;
  }
  return out.finish();
}

}  // namespace

CliCommandGroup highlightCommandGroup() { return {kCommands, 1}; }
