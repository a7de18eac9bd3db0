// Fuzz target: any bytes as a trace styled line by line, the way the
// editor's lexer and the highlight command paint it. Each line is styled
// from the mode the line before ended in; every byte must then get the
// token kind a scan of the whole text gives it (with bytes from 0x80 up
// read as letters, as the highlighter reads them), a pass that starts at
// any line with a fresh highlighter must give the same, and every token's
// text must be the line's own bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "trace/trace_highlighter.h"
#include "trace/trace_scanner.h"

namespace {

// Aborts, naming the check that failed, so that a finding says what broke.
void checkAt(bool condition, const char* what, int line) {
  if (condition) return;
  std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
  std::abort();
}
#define check(condition) checkAt((condition), #condition, __LINE__)

// One editor line: its text and the line end after it (CR LF, LF or none).
struct Line {
  int32_t start;
  int32_t textLength;
  int32_t eolLength;
};

// The kind of every byte from one scan over the whole text.
void wholeTextKinds(const char* text, int32_t length, uint8_t* kinds) {
  SVString mapped;
  check(mapped.ensureCapacity(int64_t{length} + 1) == 0);
  for (int32_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    mapped.data()[i] = c >= 0x80 ? 'Z' : static_cast<char>(c);
  }
  mapped.setLength(length);
  ScanState state;
  scanInit(state, mapped.c_str(), length);
  while (nextTraceToken(state)) {
    check(state.tokenStart >= 0 && state.pos > state.tokenStart && state.pos <= length);
    std::memset(kinds + state.tokenStart, state.kind, static_cast<size_t>(state.pos - state.tokenStart));
  }
}

// Styles lines [first, count) into `styles` from `mode`, as the lexer
// does; checks each token's text on the way. Returns the mode after the
// last line and stores each line's end mode in `modes`.
int32_t styleLines(ZAzozav_Hiliter_c& h, const char* text, const Line* lines, int32_t first, int32_t count,
                   int32_t mode, uint8_t* styles, int32_t* modes) {
  for (int32_t i = first; i < count; ++i) {
    const Line& line = lines[i];
    h.restoreRange(mode);
    fillTraceLineStyles(h, text + line.start, line.textLength, line.eolLength, 0, styles + line.start);
    mode = h.saveRange();
    modes[i] = mode;
  }
  return mode;
}

// The token texts of one line are its own bytes, one token after another.
void checkTokenTexts(ZAzozav_Hiliter_c& h, const char* text, const Line& line, int32_t mode) {
  h.restoreRange(mode);
  h.beginLine(text + line.start, line.textLength, 0);
  int32_t expectedStart = 0;
  while (!h.isLineEnd()) {
    const std::string_view token = h.currentTokenText();
    check(h.currentTokenStart() == expectedStart && !token.empty());
    check(std::memcmp(token.data(), text + line.start + expectedStart, token.size()) == 0);
    expectedStart += static_cast<int32_t>(token.size());
    h.advance();
  }
  check(expectedStart == line.textLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool built = (buildTraceDispatch(), true);
  (void)built;
  if (size > (1u << 18)) return 0;
  const char* text = reinterpret_cast<const char*>(data);
  const auto length = static_cast<int32_t>(size);

  SVString buffers;  // kinds, then two style passes, each `length` bytes
  check(buffers.ensureCapacity(3 * int64_t{length} + 1) == 0);
  auto* kinds = reinterpret_cast<uint8_t*>(buffers.data());
  uint8_t* styles = kinds + length;
  uint8_t* again = styles + length;
  wholeTextKinds(text, length, kinds);

  // Lines end at line feeds; a carriage return before one belongs to the
  // line end, as in the editor.
  PackedRecords<Line> lines;
  for (int32_t start = 0; start < length || start == 0;) {
    const void* feed = std::memchr(text + start, '\n', static_cast<size_t>(length - start));
    const int32_t end = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - text) : length;
    int32_t textEnd = end;
    if (feed && textEnd > start && text[textEnd - 1] == '\r') --textEnd;
    Line* line = lines.append();
    check(line != nullptr);
    *line = {start, textEnd - start, (feed ? end + 1 : end) - textEnd};
    start = feed ? end + 1 : length;
    if (!feed) break;
  }
  const int32_t count = lines.count();
  PackedRecords<int32_t> modes;
  for (int32_t i = 0; i < count; ++i) check(modes.append() != nullptr);

  ZAzozav_Hiliter_c h;
  h.clearRange();
  styleLines(h, text, &lines[0], 0, count, 0, styles, &modes[0]);
  for (int32_t i = 0; i < length; ++i) check(styles[i] == kinds[i]);

  // A pass from a line chosen by the input, with a highlighter that has
  // seen no line before, given only the mode the line before ended in.
  const int32_t first = size ? data[0] % count : 0;
  const int32_t startMode = first > 0 ? modes[first - 1] : 0;
  ZAzozav_Hiliter_c fresh;
  std::memcpy(again, styles, static_cast<size_t>(length));
  PackedRecords<int32_t> freshModes;
  for (int32_t i = 0; i < count; ++i) check(freshModes.append() != nullptr);
  styleLines(fresh, text, &lines[0], first, count, startMode, again, &freshModes[0]);
  check(std::memcmp(again, styles, static_cast<size_t>(length)) == 0);
  for (int32_t i = first; i < count; ++i) check(freshModes[i] == modes[i]);

  for (int32_t i = 0; i < count; ++i) checkTokenTexts(h, text, lines[i], i > 0 ? modes[i - 1] : 0);
  return 0;
}
