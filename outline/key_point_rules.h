// What a key-point scan keeps of each marker token: level, caption and the
// final query's place. Shared by the reference and the fast scanner, so
// the two differ only in how they find the tokens.
#pragma once

#include <cstdint>

#include "outline/key_points.h"

class KeyPointBuilder {
 public:
  KeyPointBuilder(KeyPoints_c& list, const char* text, int32_t length)
      : list_(list), text_(reinterpret_cast<const unsigned char*>(text)), length_(length) {}

  // True when a token of `kind` yields a key point (the others are skipped).
  static bool isKeyKind(int32_t kind);

  // Records the key point(s) of one token; `line`, `column` and `pos` are
  // the scanner's after the token. Returns false when the list could not
  // grow: it is then empty and the scan must stop.
  bool onToken(int32_t kind, int32_t line, int32_t column, int32_t pos);

 private:
  bool append(int32_t level, int32_t kind, int32_t line, int32_t column, int32_t pos, int32_t queryStart,
              int32_t queryLength, const char* caption);
  // The caption's fixed text followed by the next word after `pos`.
  void captionWithNextWord(char* caption, const char* prefix, int32_t pos, int32_t maxWord) const;

  KeyPoints_c& list_;
  const unsigned char* text_;
  int32_t length_;
  int32_t lastLevel_ = 0;
};
