// THi0: the base of the viewer's line highlighters.
//
// Adapts a byte scanner over a ScanState to the editor's highlighter
// protocol. For each line the editor first restores the carried state
// (clearRange for the first line, otherwise restoreRange with what
// saveRange returned after the line before), calls beginLine, then reads
// the current token and calls advance until isLineEnd. The only state
// carried from line to line is the scanner's `mode`.
//
// Lines are bytes. The editor text is UTF-8 (or a single-byte code page),
// so every byte from 0x80 up is scanned as the letter Z: a non-ASCII
// character then stays inside its word and never splits a marker test,
// and all offsets are byte offsets into the line as handed over.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/sv_string.h"
#include "trace/scan_state.h"

// A colour, or none: an attribute without a colour of its own lets the
// editor's text or background colour show.
struct HighlightColor {
  bool isSet;
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};
constexpr HighlightColor kNoColor = {false, 0, 0, 0};
constexpr HighlightColor rgbColor(uint8_t red, uint8_t green, uint8_t blue) {
  return {true, red, green, blue};
}

// Font style bits of an attribute; 0 is plain.
enum HighlightStyle : uint8_t {
  kStyleBold = 1,
  kStyleItalic = 2,
  kStyleUnderline = 4,
  kStyleStrikeOut = 8,
};

// How the tokens of one kind look.
struct HighlighterAttribute {
  const char* name;
  HighlightColor foreground;
  HighlightColor background;
  uint8_t style;  // HighlightStyle bits
};

class THi0 {
 public:
  THi0() = default;
  virtual ~THi0() = default;
  THi0(const THi0&) = delete;
  THi0& operator=(const THi0&) = delete;

  // The attribute of token kind `index`, or null when the index is outside
  // the table (or the entry is empty).
  const HighlighterAttribute* attributeForIndex(int32_t index) const;

  // The attributes the subclass created, in creation order.
  int32_t registeredAttributeCount() const { return registeredCount_; }
  // The attribute created `i`-th (0-based), or null outside the list.
  const HighlighterAttribute* registeredAttribute(int32_t i) const;

  // True when the current kind is tkEnd: the line has no more tokens.
  bool isLineEnd() const;
  // The scanner mode, the state the editor keeps with the line.
  int32_t saveRange() const { return state_.mode; }
  // Sets the scanner mode to a value saveRange returned.
  void restoreRange(int32_t value) { state_.mode = value; }
  // Sets the scanner mode to 0, for the first line of a text.
  void clearRange() { state_.mode = 0; }

  // The current token's bytes, cut from the line as it was handed over
  // (bytes from 0x80 up unchanged).
  std::string_view currentTokenText() const;
  // The attribute of the current kind (null for kinds without one).
  const HighlighterAttribute* currentTokenAttribute() const;
  int32_t currentTokenKind() const { return state_.kind; }
  // Byte offset of the current token in its line.
  int32_t currentTokenStart() const { return state_.tokenStart; }

  // Scans the next token of the current line.
  virtual void advance() = 0;

  // Takes a new line of `length` bytes and scans its first token; the
  // mode the editor restored is kept. The line is copied, so the caller's
  // buffer need not outlive the call. `lineNumber` is not used. When the
  // copy cannot be allocated the line is treated as empty.
  void beginLine(const char* line, int32_t length, int32_t lineNumber);

  // Attribute settings are never persisted: both do nothing and return
  // false, so the colours are always the subclass's.
  bool loadAttributeSettings(const char* rootKey, const char* keyPath);
  bool saveAttributeSettings(const char* rootKey, const char* keyPath) const;

 protected:
  // Set by the subclass in its constructor: the table indexed by token
  // kind (entries may be null) and the attributes in creation order.
  const HighlighterAttribute* const* attributeTable_ = nullptr;
  int32_t attributeCount_ = 0;
  const HighlighterAttribute* const* registered_ = nullptr;
  int32_t registeredCount_ = 0;

  ScanState state_ = {};

 private:
  SVString lineBytes_;  // the scanned copy: bytes >= 0x80 as 'Z', zero after
  SVString lineText_;   // the line exactly as handed over
};
