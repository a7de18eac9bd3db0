// KeptText: where the bytes of the trace shown live. The viewer scans,
// formats and describes the trace as loaded (with "\r\n" after it), and
// shows a text made from it (sql/shown_text.h). One copy serves where it
// can: the loaded buffer is taken, not copied; while the editor's document
// of a large trace is built, the bytes can be given back and read again
// from the file (FileBackedBytes); and once the editor's text holds the
// whole shown text and can be read back as the trace (no lone carriage
// returns), the kept bytes are let go and the editor's text stands for
// them, with the trace form of each final query it shows formatted noted
// here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/file_backed_bytes.h"
#include "base/byte_text.h"
#include "base/sv_string.h"
#include "sql/shown_text.h"

class KeptText {
 public:
  // A final query the shown text has formatted while the kept bytes are
  // let go: where the formatted text is in the shown text, and the query
  // as the trace has it.
  struct ShownPiece {
    int64_t start = 0;
    int64_t length = 0;
    std::string trace;
  };

  // Takes `text`'s buffer (the caller's string is left empty) with "\r\n"
  // appended; the facts, the shown pieces and any file backing go.
  void take(SVString& text);
  // The facts of the bytes taken, counted by the caller (on another core).
  void setFacts(const TraceTextFacts& facts) { facts_ = facts; }

  // The kept bytes; empty once let go.
  const SVString& bytes() const { return bytes_; }
  const TraceTextFacts& facts() const { return facts_; }
  // Not valid UTF-8: shown as Windows-1252, a character per byte.
  bool singleByte() const { return !facts_.validUtf8; }
  // The shown text can be read back as the trace: the kept bytes may be
  // let go once the editor holds it.
  bool canLetGo() const { return facts_.loneCarriageReturns == 0; }
  // True while the shown text stands for the kept bytes.
  bool letGo() const { return letGo_; }

  // Notes where `pieces` will be in the shown text made of the kept bytes,
  // and the trace form of each, so that the shown text can stand for them.
  // With `from`, the pieces were formatted from the bytes there instead
  // (the editor's text while it is the let-go bytes as they are).
  void notePieces(const std::vector<FormattedPiece>& pieces, const char* from = nullptr);
  const std::vector<ShownPiece>& shownPieces() const { return shownPieces_; }
  void forgetShownPieces() { shownPieces_.clear(); }

  // Backs the kept bytes by the file at `path` they were read from (see
  // TraceDocumentBuild); returns the backing, which lives until the next
  // take or letGoOfBytes.
  FileBackedBytes* backByFile(const char* path);
  // Frees the kept bytes: the shown text stands for them from now on.
  void letGoOfBytes();
  // Makes the kept bytes again from the `length` bytes of shown text at
  // `shown`, which stands for them; does nothing unless let go.
  void restore(const char* shown, int64_t length);

 private:
  SVString bytes_;
  TraceTextFacts facts_;
  bool letGo_ = false;
  std::vector<ShownPiece> shownPieces_;  // while let go, in text order
  std::unique_ptr<FileBackedBytes> backing_;
};
