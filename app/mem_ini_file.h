// SMemIniFile: an INI file held in memory, read whole, changed in memory
// and written back in one piece.
//
// The file is kept as its lines, each with its original bytes, so that a
// rewrite reproduces everything it did not change: comment lines (";" or
// "#"), blank lines, lines before the first section, unreadable lines and
// other sections. Sections and keys compare without regard to ASCII case.
//
// Line forms, after blanks (space, tab) at either end are set aside:
//   [name]       section header; text after "]" is ignored. A "[" line
//                without "]" is kept but starts nothing.
//   key=value    key line when the key (text before the first "=",
//                trimmed) is not empty; the value is the trimmed rest.
//   ; or #       comment. Anything else is kept verbatim and ignored.
// LF, CRLF and a lone CR all end a line; a UTF-8 byte-order mark at the
// start of the file is kept there, and one at the start of any line is not
// read as part of it. NUL bytes are
// ordinary bytes. A key that occurs twice in a section (or in two blocks
// of one section name) is read from its first occurrence; writing changes
// that first occurrence and leaves later copies as they are.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "base/sv_string.h"

// Larger settings files are not read (and so never overwritten).
constexpr int64_t kMaxIniFileSize = 16 * 1024 * 1024;
// A temporary file of an update that is older than this is a leftover of
// a killed one; a younger one may belong to another instance saving now.
constexpr int kStaleTemporaryAge = 60;

enum IniResult : int {
  IniOk = 0,
  IniMissing = 1,        // open: no file yet; the object is empty and may be written
  IniCannotRead = -1,    // open: exists but unreadable; update refuses to replace it
  IniTooLarge = -2,      // open: over kMaxIniFileSize; update refuses as well, and
                         // refuses to write a listing over it, which could never be read

  IniNoMemory = -3,      // the object is incomplete; update refuses
  IniCannotWrite = -4,   // update: the file could not be replaced; the old one is intact
  IniNoPath = -5,        // update: the object was not opened on a path
  IniBadName = -6,       // writeInteger: a name that would not read back as itself
  IniBadValue = -7,      // writeString: a value that would not read back as itself
};

// One record of the listing: a section header, a key line, a line the
// program wrote, or a run of consecutive lines kept verbatim as read
// (comments, blank and unreadable lines). A run costs one record however
// many lines it holds, so a file of many such lines stays small in memory;
// names and values are found again from the text when they are needed.
struct IniLine {
  int32_t textPos;  // the line, or the run with the line ends inside it,
  int32_t textLen;  // without the final line end
  int32_t kind;     // IniLineKind
};

enum IniLineKind : int32_t {
  IniOther = 0,  // comment or unreadable: kept verbatim
  IniBlank = 1,
  IniSection = 2,
  IniKey = 3,
  IniErased = 4,            // removed from the listing
  IniRun = 5,               // consecutive comment, blank and unreadable lines as read
  IniRunWithoutBlanks = 6,  // a run whose blank lines went with their section
};

class SMemIniFile {
 public:
  SMemIniFile() = default;
  SMemIniFile(const SMemIniFile&) = delete;
  SMemIniFile& operator=(const SMemIniFile&) = delete;

  // Forgets any content and reads the file at `path`, which update() will
  // replace. Returns IniOk, IniMissing (no such file: empty), or
  // IniCannotRead / IniTooLarge / IniNoMemory (empty, and update() will
  // refuse so that a file that could not be read is never clobbered).
  int open(const char* path);

  // Forgets any content and parses `size` bytes from memory. No path is
  // set. Returns IniOk, IniTooLarge (over kMaxIniFileSize) or IniNoMemory.
  int parse(const char* data, int64_t size);

  // The integer value of `key` in `section`, or `fallback` when the key is
  // missing or its value is not an integer. A value is an optional sign and
  // decimal digits within the 32-bit range, or "0x"/"0X" and one to eight
  // significant hex digits read as the 32-bit pattern (0xFFFFFFFF is -1).
  // Anything else, trailing text or blanks between digits included, is not
  // an integer.
  int32_t readInteger(const char* section, const char* key, int32_t fallback) const;

  // Stores `value` in decimal. An existing key line is rewritten as
  // key=value; a new key goes after the last key of the section; a missing
  // section is added at the end of the file, after a blank line when the
  // file does not end in one. Returns IniOk, IniNoMemory, or IniBadName
  // (nothing changed) when the section holds "]" or a line end or has
  // blanks at either end, or the key is empty, holds "=" or a line end,
  // starts with "[", ";", "#" or a byte-order mark, or has blanks at either
  // end.
  int writeInteger(const char* section, const char* key, int32_t value);

  // The text value of `key` in `section` (trimmed, as read) into `out`.
  // Returns true when the key exists; false leaves `out` empty. False as
  // well when memory ran out.
  bool readString(const char* section, const char* key, SVString& out) const;

  // Stores `value` as writeInteger stores a number. Returns IniOk,
  // IniNoMemory, IniBadName as writeInteger does, or IniBadValue (nothing
  // changed) when the value holds a line end or has blanks at either end,
  // which would not read back.
  int writeString(const char* section, const char* key, const char* value);

  // Removes every header of `section` with its key and blank lines. Its
  // comment and unreadable lines stay in place, joining the section above.
  void eraseSection(const char* section);

  // Number of lines the listing has.
  int32_t lineCount() const;

  // Appends the listing to `out`: the file's byte-order mark if it had one,
  // then the kept lines in order, each ended by the file's line end (CRLF
  // when the file's first line ended so, else LF). Returns IniOk or
  // IniNoMemory.
  int listText(SVString& out) const;

  // Replaces the file given to open() with the listing: written to a
  // temporary file in the same directory, flushed to disk and renamed over
  // it, so the old file stays whole when anything fails. A symbolic link is
  // followed and its target replaced. A listing over kMaxIniFileSize is
  // not written (IniTooLarge): open() would refuse the result. Temporary
  // files that an earlier, killed update left beside the file (same name
  // plus ".tmp-" and six letters or digits, owned by this user and
  // unchanged for kStaleTemporaryAge seconds) are removed first. Returns
  // IniOk or a negative IniResult.
  int update();

 private:
  void reset();
  int splitLines();
  int outOfMemory();
  int setLineText(IniLine& line, const char* text, int64_t length);
  int insertLine(int32_t insertAfter, const char* text, int64_t length);
  int writeLine(const char* section, const char* key, const SVString& text);
  int32_t findKey(const char* section, const char* key) const;
  int32_t findInsertPoint(const char* section) const;

  SVString pool_;  // bytes of every line, original and written
  PackedRecords<IniLine> lines_;
  SVString path_;
  bool crlf_ = false;           // lines end in CRLF (as the file's first did)
  bool bom_ = false;            // the file starts with a UTF-8 byte-order mark
  int openResult_ = IniNoPath;  // what update() reports when it may not write
  bool writable_ = false;       // update() may replace the file
};
