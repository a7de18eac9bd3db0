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
// The pieces go into the editor one after another, with room made for the
// whole text first, so the editor's buffer is allocated once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_text.h"
#include "base/sv_string.h"
#include "outline/key_points.h"

class FileBackedBytes;
class QsciScintilla;

// One final query shown formatted: the bytes [start, start + length) of the
// kept text give way to `text`.
struct FormattedPiece {
  int32_t start = 0;
  int32_t length = 0;
  int32_t formattedLength = 0;  // of `text`, also once it is released
  std::string text;             // sized exactly: thousands of them are held at once
};

// Formats the final queries of the `length` bytes at `text` (followed by a
// zero byte) as reformatFinalQueries does and moves the key points as it
// does; returns the formatted pieces in text order. buildSqlDispatch must
// have run.
std::vector<FormattedPiece> formatFinalQueryPieces(const char* text, int32_t length, KeyPoints_c& keyPoints);

// Makes `text` with `pieces` in place the editor's whole text, converted
// as the facts require; each piece's text is released once it is in. With
// `giveBack`, for a caller that drops `text` afterwards, the memory of the
// text already in the editor (or converted for it) is given back to the
// system as it goes in, so that the trace is not held twice at the peak;
// `text` must not be read again then. Change notices and undo are the
// caller's concern.
void appendShownText(QsciScintilla& editor, const SVString& text, std::vector<FormattedPiece>& pieces,
                     const TraceTextFacts& facts, bool giveBack);

// appendShownText a slice at a time: the same bytes in the same order, each
// slice ending after a line feed (or at the end of the text), so that no
// line, character or carriage return with its line feed is split between
// slices. `text` and `pieces` must stay where they are, unchanged, until
// the appender is done or dropped; with `giveBack`, `text` must not be read
// by anyone else meanwhile.
//
// With `giveBack` and `backing`, the bytes `backing` holds (the start of
// `text`, as read from its file) that are not in yet when the editor makes
// room for the whole text are given back then, and read again from the
// file as they go in. When the file no longer holds them the appender
// stops, done and failed, with part of the text in; so it does, done and
// out of memory, when the editor cannot make room (it throws
// std::bad_alloc then).
class ShownTextAppender {
 public:
  // Counts the shown text; the slices make room in the editor for it.
  ShownTextAppender(QsciScintilla& editor, const SVString& text, std::vector<FormattedPiece>& pieces,
                    const TraceTextFacts& facts, bool giveBack, FileBackedBytes* backing = nullptr);
  ~ShownTextAppender();
  ShownTextAppender(const ShownTextAppender&) = delete;
  ShownTextAppender& operator=(const ShownTextAppender&) = delete;

  // Appends at least `bytes` more bytes of the text (all that is left when
  // less remains) up to the next line feed; true once everything is in.
  bool appendSlice(int64_t bytes);
  bool done() const { return done_; }
  // The file behind `backing` no longer held the bytes to come.
  bool failed() const { return failed_; }
  // The editor could not make room for the text.
  bool outOfMemory() const { return outOfMemory_; }

  // Test seam: called with the room asked of the editor before each time
  // it is asked; returning false makes that request fail as the editor
  // fails when memory runs out. Null (the default) for none.
  static bool (*roomHook)(int64_t room);

 private:
  struct Sinks;
  // Makes room in the editor for the next `bytes` of a slice; returns how
  // many of them to append before room is made again.
  int64_t makeRoom(int64_t bytes);
  // Appends at least `bytes` bytes (all that is left when less remains) up
  // to the next line feed; returns how many it appended.
  int64_t appendPart(int64_t bytes);
  // Hands `n` bytes of the current stretch at `p` to the editor.
  void put(const char* p, int64_t n);
  // Kept bytes below this are in memory.
  int64_t readableEnd() const;
  // Brings the kept bytes below `to` back from the file where they were
  // given back; false (and failed) when the file no longer holds them.
  bool makeReadable(int64_t to);
  // The offset just past the first line feed in kept bytes [from, end),
  // or `end` when there is none; -1 when the file failed.
  int64_t lineEndFrom(int64_t from, int64_t end);

  const SVString& text_;
  std::vector<FormattedPiece>& pieces_;
  bool convert_;
  bool giveBack_;
  FileBackedBytes* backing_;
  std::unique_ptr<Sinks> sinks_;  // the converter and the editor's buffer
  const char* given_;             // the kept text before this is given back
  size_t piece_ = 0;              // the next piece
  int64_t at_ = 0;                // kept bytes put or replaced by pieces so far
  int64_t shownBytes_ = 0;        // the whole text's length in the editor
  int64_t room_ = 0;              // the room made in the editor so far
  bool done_ = false;
  bool failed_ = false;
  bool outOfMemory_ = false;
};

// Sets `out` to `text` (no pieces) as the editor shows it with these
// facts, converted as appendShownText converts it; `out` is sized exactly
// first. Throws std::bad_alloc when memory runs out.
void convertShownText(const SVString& text, const TraceTextFacts& facts, std::string& out);

// Line feeds among `length` bytes.
int64_t lineFeedsIn(const char* bytes, int64_t length);

// Line feeds of the shown text made of `text`, which has `textLineFeeds`,
// with `pieces` in place (before any is released): the editor's line count
// once the text is in, less one.
int64_t shownLineFeeds(const SVString& text, int64_t textLineFeeds, const std::vector<FormattedPiece>& pieces);

// The length in the editor of `length` bytes of a trace with these facts,
// which has no lone carriage return.
int64_t shownLength(const char* bytes, int64_t length, const TraceTextFacts& facts);

// Appends to `out` the trace bytes that `length` bytes of the editor's
// text stand for, in a trace with these facts and no lone carriage return:
// the bytes themselves for valid UTF-8, else each Windows-1252 character
// as its byte.
void appendTraceBytes(const char* shown, int64_t length, const TraceTextFacts& facts, SVString& out);
