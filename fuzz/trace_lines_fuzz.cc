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
#include "fuzz/input_window.h"
#include "trace/trace_highlighter.h"
#include "trace/trace_scanner.h"
#include "fuzz/fuzz_check.h"

namespace {

// How far past its first line the fresh pass reads (see below).
constexpr int32_t kFreshWindow = 8192;

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

// Styles `count` lines into `styles` from mode 0, as the lexer does, and
// stores each line's end mode in `modes`.
void styleLines(ZAzozav_Hiliter_c& h, const char* text, const Line* lines, int32_t count, uint8_t* styles,
                int32_t* modes) {
  int32_t mode = 0;
  for (int32_t i = 0; i < count; ++i) {
    const Line& line = lines[i];
    h.restoreRange(mode);
    fillTraceLineStyles(h, text + line.start, line.textLength, line.eolLength, 0, styles + line.start);
    mode = h.saveRange();
    modes[i] = mode;
  }
}

// Reads line `line` token by token with `h` from `mode`: the token texts
// are the line's own bytes, one token after another, and each token's
// kind goes into `kinds` (the line's bytes). Returns the mode after it.
int32_t readTokens(ZAzozav_Hiliter_c& h, const char* text, const Line& line, int32_t mode, uint8_t* kinds) {
  h.restoreRange(mode);
  h.beginLine(text + line.start, line.textLength, 0);
  int32_t expectedStart = 0;
  while (!h.isLineEnd()) {
    const std::string_view token = h.currentTokenText();
    check(h.currentTokenStart() == expectedStart && !token.empty());
    check(expectedStart + static_cast<int32_t>(token.size()) <= line.textLength);
    check(std::memcmp(token.data(), text + line.start + expectedStart, token.size()) == 0);
    std::memset(kinds + expectedStart, h.currentTokenKind(), token.size());
    expectedStart += static_cast<int32_t>(token.size());
    h.advance();
  }
  check(expectedStart == line.textLength);
  return h.saveRange();
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
  styleLines(h, text, &lines[0], count, styles, &modes[0]);
  if (std::memcmp(styles, kinds, static_cast<size_t>(length)) != 0) {
    for (int32_t i = 0; i < length; ++i) check(styles[i] == kinds[i]);
  }

  // A pass token by token from a line the input's hash picks, with a
  // highlighter that has seen no line before, given only the mode the line
  // before ended in: the same kinds and modes, and token texts that are
  // the line's bytes. It covers the lines that start within kFreshWindow
  // bytes of that line (to the end on a short input); a short input also
  // has its lines above read. Over a run every line is a start: see
  // input_window.h.
  const int32_t pick = length > 0 ? static_cast<int32_t>(inputHash(data, size) % static_cast<uint32_t>(length)) : 0;
  int32_t first = 0;
  for (int32_t low = 0, high = count - 1; low <= high;) {  // the last line starting at or before `pick`
    const int32_t mid = low + (high - low) / 2;
    if (lines[mid].start <= pick) {
      first = mid;
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  std::memcpy(again, styles, static_cast<size_t>(length));
  ZAzozav_Hiliter_c fresh;
  int32_t mode = first > 0 ? modes[first - 1] : 0;
  int32_t last = first;
  for (; last < count && (last == first || lines[last].start - lines[first].start < kFreshWindow); ++last) {
    mode = readTokens(fresh, text, lines[last], mode, again + lines[last].start);
    check(mode == modes[last]);
  }
  if (length <= kFreshWindow) {
    for (int32_t i = 0; i < first; ++i) readTokens(h, text, lines[i], i > 0 ? modes[i - 1] : 0, again + lines[i].start);
  }
  check(std::memcmp(again, styles, static_cast<size_t>(length)) == 0);
  return 0;
}
