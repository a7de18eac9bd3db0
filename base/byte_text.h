// The bytes of trace text: one table of byte classes, one UTF-8 validator
// and one Windows-1252 table, for every reader and writer of trace bytes
// (the scanners and fact readers, JSON, HTML and safe-text output, the
// editor's text and the panes' texts).
//
// A trace that is not valid UTF-8 is read as Windows-1252, one character a
// byte; the five bytes that code page leaves undefined stand for the
// control characters of the same number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Classes of bytes, from one 256-entry table so a test costs one lookup.
enum ByteClass : uint16_t {
  kSpaceByte = 1,        // 0x00..0x20, as the trace scanner counts white space
  kControlByte = 2,      // C0 controls and DEL
  kDigitByte = 4,        // 0-9
  kUpperByte = 8,        // A-Z
  kLowerByte = 16,       // a-z
  kUnderscoreByte = 32,  // _
  kDollarHashByte = 64,  // $ and #: in names of SQL and of parameters
  kDotByte = 128,        // .: in parameter names
  kSqlOperatorByte = 256,  // one of !#%&*+<=>?[]^`{}~
  kHighByte = 512,         // 0x80 and up
};

// Letters, digits and underscore.
constexpr uint16_t kWordBytes = kDigitByte | kUpperByte | kLowerByte | kUnderscoreByte;

struct ByteClassTable {
  uint16_t classes[256];
};

constexpr ByteClassTable makeByteClasses() {
  ByteClassTable t{};
  for (int c = 0; c <= 0x20; ++c) t.classes[c] |= kSpaceByte;
  for (int c = 0; c < 0x20; ++c) t.classes[c] |= kControlByte;
  t.classes[0x7F] |= kControlByte;
  for (int c = '0'; c <= '9'; ++c) t.classes[c] |= kDigitByte;
  for (int c = 'A'; c <= 'Z'; ++c) t.classes[c] |= kUpperByte;
  for (int c = 'a'; c <= 'z'; ++c) t.classes[c] |= kLowerByte;
  t.classes[static_cast<int>('_')] |= kUnderscoreByte;
  for (char c : {'$', '#'}) t.classes[static_cast<int>(c)] |= kDollarHashByte;
  t.classes[static_cast<int>('.')] |= kDotByte;
  for (const char* op = "!#%&*+<=>?[]^`{}~"; *op != '\0'; ++op) {
    t.classes[static_cast<unsigned char>(*op)] |= kSqlOperatorByte;
  }
  for (int c = 0x80; c < 256; ++c) t.classes[c] |= kHighByte;
  return t;
}

inline constexpr ByteClassTable kByteClasses = makeByteClasses();

// True when byte `c` is in one of `classes`.
inline bool byteIs(unsigned char c, unsigned classes) { return (kByteClasses.classes[c] & classes) != 0; }
inline bool byteIs(char c, unsigned classes) { return byteIs(static_cast<unsigned char>(c), classes); }

// True when one of the eight bytes of `word` is a carriage return.
inline bool hasCarriageReturn(uint64_t word) {
  constexpr uint64_t kLowBits = 0x0101010101010101ull;
  const uint64_t x = word ^ (kLowBits * '\r');
  return ((x - kLowBits) & ~x & 0x8080808080808080ull) != 0;
}

// The length (2 to 4) of the well-formed UTF-8 sequence that starts at
// s[i] (a byte of 0x80 or more) within the n bytes at s, or 0 when it is
// not one: overlong forms, surrogates and values past U+10FFFF are not.
int utf8SequenceLength(const unsigned char* s, size_t i, size_t n);

// What one pass over a trace's bytes tells about showing them.
struct TraceTextFacts {
  bool validUtf8 = true;
  int64_t loneCarriageReturns = 0;
};

// Whether the bytes are valid UTF-8, and the carriage returns not followed
// by a line feed; a carriage return at the very end counts as lone.
TraceTextFacts traceTextFacts(const char* text, int64_t length);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const char* text, int64_t length);

// The character Windows-1252 byte `b` stands for.
char16_t windows1252Character(unsigned char b);

// The Windows-1252 byte that stands for character `c`, or -1 when none.
int windows1252ByteOf(char16_t c);

// The UTF-8 form of the Windows-1252 byte `b` (0x80 or more) in `out`;
// returns its length, 2 or 3.
int windows1252ToUtf8(unsigned char b, char* out);

// True for the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D), which stand for C1 controls.
inline bool isUndefinedInWindows1252(unsigned char b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}
