// The text the trace editor shows, built from the kept trace text without
// a second full copy of it:
//
// - with the final-query option, each final query that formats cleanly is
//   shown formatted in place of its line (as reformatFinalQueries would
//   build it), and the key points after it move down by the lines it
//   gained;
// - a trace that is not valid UTF-8 is shown as Windows-1252, each byte
//   one character (bytes that code page leaves undefined show as the
//   control characters of the same number);
// - a carriage return without a line feed after it is shown as the symbol
//   U+240D instead of breaking the line, so that the editor's lines are
//   the trace's lines as the key points count them (line feeds).
//
// Plain bytes in, plain bytes out: the viewer hands what ShownTextWriter
// writes to its editor's document, on whichever thread builds it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_text.h"
#include "base/sv_string.h"
#include "outline/key_points.h"

// One final query shown formatted: the bytes [start, start + length) of the
// kept text give way to `text`.
struct FormattedPiece {
  int32_t start = 0;
  int32_t length = 0;
  int32_t formattedLength = 0;  // of `text`
  std::string text;             // sized exactly: thousands of them are held at once
};

// Formats the final queries of the `length` bytes at `text` (followed by a
// zero byte) as reformatFinalQueries does and moves the key points as it
// does; returns the formatted pieces in text order. buildSqlDispatch must
// have run.
std::vector<FormattedPiece> formatFinalQueryPieces(const char* text, int32_t length, KeyPoints_c& keyPoints);

// Writes the shown text made of `text` with `pieces` in place, converted
// as `facts` require, a part at a time. `text` and `pieces` must stay as
// they are while the writer lives; they are only read, so several writers
// may walk the same text on different threads.
class ShownTextWriter {
 public:
  // Takes (bytes, count) and returns false to stop the writing.
  using Sink = std::function<bool(const char*, int64_t)>;
  // Called before the writer reads kept bytes below `end` it has not read
  // before (ends only grow); returns false when they cannot be had, which
  // stops the writing. For kept text whose memory was given back.
  using Readable = std::function<bool(int64_t end)>;

  // Counts the shown text (one pass over the text when it is converted).
  ShownTextWriter(const SVString& text, const std::vector<FormattedPiece>& pieces, const TraceTextFacts& facts);
  ShownTextWriter(const SVString&, std::vector<FormattedPiece>&&, const TraceTextFacts&) = delete;

  // The whole shown text's length.
  int64_t shownBytes() const { return shownBytes_; }
  // Shown bytes written so far.
  int64_t written() const { return written_; }
  // Bytes of the kept text read so far: the writer reads none before them
  // again.
  int64_t keptRead() const { return at_; }
  bool done() const { return done_; }
  // Writes at least `bytes` more shown bytes (all that is left when less
  // remains), ending after a line feed or at the end of the text, so that
  // no line, character or carriage return with its line feed is split
  // between parts. With `readable`, asks it for the kept bytes first.
  // Returns false when `sink` refused bytes or `readable` failed (the
  // writer is done then, short).
  bool write(int64_t bytes, const Sink& sink, const Readable& readable = nullptr);

 private:
  // Hands `n` bytes of the kept text or of a piece to the converter or
  // straight to the sink.
  bool put(const char* p, int64_t n, const Sink& sink);
  bool flush(const Sink& sink);

  const SVString& text_;
  const std::vector<FormattedPiece>& pieces_;
  bool convert_;
  bool windows1252_;
  bool pendingCr_ = false;  // a converted carriage return decided by the next byte
  std::string buffer_;      // converted bytes not handed on yet
  size_t piece_ = 0;        // the next piece
  int64_t at_ = 0;          // kept bytes put or replaced by pieces so far
  int64_t shownBytes_ = 0;
  int64_t written_ = 0;
  bool done_ = false;
};

// Sets `out` to `text` (no pieces) as the editor shows it with these
// facts; `out` is sized exactly first. Throws std::bad_alloc when memory
// runs out.
void convertShownText(const SVString& text, const TraceTextFacts& facts, std::string& out);

// Line feeds among `length` bytes.
int64_t lineFeedsIn(const char* bytes, int64_t length);

// Line feeds of the shown text made of `text`, which has `textLineFeeds`,
// with `pieces` in place: the editor's line count once the text is in,
// less one.
int64_t shownLineFeeds(const SVString& text, int64_t textLineFeeds, const std::vector<FormattedPiece>& pieces);

// The length in the editor of `length` bytes of a trace with these facts,
// which has no lone carriage return.
int64_t shownLength(const char* bytes, int64_t length, const TraceTextFacts& facts);

// Appends to `out` the trace bytes that `length` bytes of the editor's
// text stand for, in a trace with these facts and no lone carriage return:
// the bytes themselves for valid UTF-8, else each Windows-1252 character
// as its byte.
void appendTraceBytes(const char* shown, int64_t length, const TraceTextFacts& facts, SVString& out);
