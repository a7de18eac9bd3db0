#include "compare/line_table.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "base/byte_text.h"

namespace {

constexpr uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kPrime = 0x100000001b3ull;

// What stands in for a piece of noise: values above any byte.
enum Placeholder : uint64_t { kAddress = 0x101, kDateTime = 0x102, kFigure = 0x103 };

inline bool isDigit(char c) { return byteIs(c, kDigitByte); }
inline bool isHex(char c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
inline bool isWord(char c) { return byteIs(c, kWordBytes); }
inline char lower(char c) { return byteIs(c, kUpperByte) ? static_cast<char>(c + 32) : c; }
// A byte that may start noise: a digit (an address, a date, a figure),
// the «e» of «elapsed», or the «=» before a figure's key.
inline bool mayStartNoise(char c) { return isDigit(c) || (c | 0x20) == 'e' || c == '='; }

// 0xff in each byte of `bytes` within [low, low + span], 0 elsewhere.
inline __m128i inRange(__m128i bytes, char low, char span) {
  const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
}

// The bytes of a line that may start noise, in order: an «=», or a digit
// or «e» that starts a word. A digit or «e» inside a word starts none, and
// traces are full of them (names, figures): the bytes are sifted sixteen
// at a time, each with the one before it, into a mask whose candidates are
// then taken one by one. In a line shorter than sixteen bytes every digit
// and «e» counts, so the caller still tells whether one starts a word.
class NoiseStarts {
 public:
  explicit NoiseStarts(std::string_view s) : p_(s.data()), n_(s.size()), base_(s.size()) {}

  // The first candidate at or after `i`, or the line's length.
  size_t next(size_t i) {
    while (i < n_) {
      if (i - base_ >= 16) sift(i);  // also when i < base_: the difference wraps
      if (const unsigned later = mask_ >> (i - base_)) return i + static_cast<size_t>(__builtin_ctz(later));
      i = base_ + 16;
    }
    return n_;
  }

 private:
  // The mask of sixteen bytes from `i`, or of the line's last sixteen
  // when fewer are left (the caller's shift drops those before `i`).
  void sift(size_t i) {
    if (n_ < 16) {
      base_ = 0;
      mask_ = 0;
      for (size_t k = 0; k < n_; ++k) {
        if (mayStartNoise(p_[k])) mask_ |= 1u << k;
      }
      return;
    }
    base_ = std::min(i, n_ - 16);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_ + base_));
    // The line's first byte has no word before it.
    const __m128i before = base_ == 0 ? _mm_slli_si128(bytes, 1)
                                      : _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_ + base_ - 1));
    const __m128i afterWord = _mm_or_si128(_mm_or_si128(inRange(before, '0', 9), inRange(_mm_or_si128(before, caseBit), 'a', 25)),
                                           _mm_cmpeq_epi8(before, _mm_set1_epi8('_')));
    const __m128i digitOrE = _mm_or_si128(inRange(bytes, '0', 9), _mm_cmpeq_epi8(_mm_or_si128(bytes, caseBit), _mm_set1_epi8('e')));
    const __m128i any = _mm_or_si128(_mm_andnot_si128(afterWord, digitOrE), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('=')));
    mask_ = static_cast<unsigned>(_mm_movemask_epi8(any));
  }

  const char* p_;
  size_t n_;
  size_t base_;  // the sifted block's first byte; at first past every byte
  unsigned mask_ = 0;  // bit k: byte base_ + k is a candidate
};

// Lines that only frame the trace: who wrote it, where, when.
constexpr std::string_view kNoisePrefixes[] = {
    "*** ",  // time-stamp entry lines and the session, client, service, module, action lines
    "Trace file ",
    "Dump file ",
    "Node name:",
    "Instance name:",
    "Oracle process number:",
    "Unix process pid:",
    "Windows thread id:",
    "Redo thread mounted by this instance:",
};

// Keys whose value is a heap figure or an address.
constexpr std::string_view kFigureKeys[] = {"in-use", "alloc", "addr", "kxsbbbfp"};

size_t digitsAt(std::string_view s, size_t i, size_t n) {
  size_t k = 0;
  while (k < n && i + k < s.size() && isDigit(s[i + k])) ++k;
  return k;
}

// The end of a date-time that starts at `i`: «YYYY-MM-DD», 'T' or a blank,
// «hh:mm», optionally «:ss», a fraction and a zone. 0 when there is none.
size_t dateTimeEnd(std::string_view s, size_t i) {
  auto fixed = [&](size_t at, size_t n) { return digitsAt(s, at, n) == n; };
  auto is = [&](size_t at, char c) { return at < s.size() && s[at] == c; };
  if (!fixed(i, 4) || !is(i + 4, '-') || !fixed(i + 5, 2) || !is(i + 7, '-') || !fixed(i + 8, 2)) return 0;
  if (!is(i + 10, 'T') && !is(i + 10, ' ')) return 0;
  if (!fixed(i + 11, 2) || !is(i + 13, ':') || !fixed(i + 14, 2)) return 0;
  size_t end = i + 16;
  if (is(end, ':') && fixed(end + 1, 2)) end += 3;
  if (is(end, '.') && digitsAt(s, end + 1, 12) > 0) end += 1 + digitsAt(s, end + 1, 12);
  if ((is(end, '+') || is(end, '-')) && fixed(end + 1, 2)) {
    end += 3;
    if (is(end, ':') && fixed(end + 1, 2)) end += 3;
  } else if (is(end, 'Z')) {
    ++end;
  }
  return end;
}

bool endsWithKey(std::string_view s, size_t at, std::string_view key) {
  if (at == 0 || s[at - 1] != key.back()) return false;
  if (at < key.size() || s.substr(at - key.size(), key.size()) != key) return false;
  return at == key.size() || !isWord(s[at - key.size() - 1]);
}

bool wordAt(std::string_view s, size_t i, std::string_view word) {
  if (s.size() - i < word.size() || (i > 0 && isWord(s[i - 1]))) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (lower(s[i + k]) != word[k]) return false;
  }
  return true;
}

// The bytes that start a noise prefix: most lines start with none.
struct PrefixStarts {
  bool of[256] = {};
  constexpr PrefixStarts() {
    for (std::string_view prefix : kNoisePrefixes) of[static_cast<unsigned char>(prefix[0])] = true;
  }
};
constexpr PrefixStarts kPrefixStarts;

}  // namespace

bool isNoiseLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  const std::string_view rest = line.substr(i);
  if (rest.empty() || !kPrefixStarts.of[static_cast<unsigned char>(rest[0])]) return false;
  for (std::string_view prefix : kNoisePrefixes) {
    if (prefix[0] == rest[0] && rest.starts_with(prefix)) return true;
  }
  return false;
}

namespace {

// The normalised line is hashed as its maximal runs of plain bytes, eight
// at a time, and the placeholders between them; each run's length goes in
// with it, so where runs end cannot alias.
class LineHasher {
 public:
  void run(const char* p, size_t n) {
    if (n == 0) return;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      mix(word);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p + i, n - i);
    mix(tail);
    mix(0x5a00000000000000ull + n);
  }
  void token(uint64_t value) { mix(0xa500000000000000ull + value); }
  uint64_t finish() const {
    uint64_t h = h_;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
  }

 private:
  void mix(uint64_t word) {
    h_ = (h_ ^ word) * kPrime;
    h_ = (h_ << 29) | (h_ >> 35);
  }
  uint64_t h_ = kOffsetBasis;
};

}  // namespace

uint64_t lineHash(std::string_view s) {
  LineHasher hash;
  // The next number that starts a word before this position is an elapsed
  // time. Noise passed over on the way does not count against the reach.
  size_t maskUntil = 0;
  size_t plain = 0;  // start of the run of plain bytes not hashed yet
  // Ends the plain run before `at` with a placeholder for the noise there,
  // which ends at `to`.
  auto noise = [&](size_t at, size_t to, Placeholder kind) {
    hash.run(s.data() + plain, at - plain);
    hash.token(kind);
    if (maskUntil > at) maskUntil += to - at;
    plain = to;
  };
  const size_t n = s.size();
  NoiseStarts starts(s);
  for (size_t i = 0; i < n;) {
    i = starts.next(i);
    if (i == n) break;
    const char c = s[i];
    const bool startsWord = i == 0 || !isWord(s[i - 1]);
    if (c == '=') {
      ++i;
      for (std::string_view key : kFigureKeys) {
        if (!endsWithKey(s, i - 1, key)) continue;
        size_t to = i;
        while (to < n && isWord(s[to])) ++to;
        noise(i, to, kFigure);
        i = to;
        break;
      }
    } else if (!startsWord) {
      ++i;
    } else if (c == '0' && i + 2 < n && (s[i + 1] == 'x' || s[i + 1] == 'X') && isHex(s[i + 2])) {
      size_t to = i + 2;
      while (to < n && isHex(s[to])) ++to;
      noise(i, to, kAddress);
      i = to;
    } else if (size_t to = isDigit(c) ? dateTimeEnd(s, i) : 0; to != 0) {
      noise(i, to, kDateTime);
      i = to;
    } else if (isDigit(c) && i < maskUntil) {
      size_t to = i;
      while (to < n && (isDigit(s[to]) || s[to] == '.')) ++to;
      maskUntil = 0;
      noise(i, to, kFigure);
      i = to;
    } else {
      ++i;
      if (!isDigit(c) && wordAt(s, i - 1, "elapsed")) {
        maskUntil = i + 6 + 24;  // the rest of the word, then a little way on
      }
    }
  }
  hash.run(s.data() + plain, n - plain);
  return hash.finish();
}

int32_t LineTable::firstAtOrAfter(int32_t line) const {
  return firstNotBefore(lines, [line](const auto& entry) { return entry.line < line; });
}

int buildLineTable(const char* text, int32_t length, LineTable& table) {
  table.lines.reset();
  table.lineCount = 0;
  int32_t number = 0;
  for (int32_t pos = 0; pos < length || (pos == length && number == 0);) {
    const void* feed = std::memchr(text + pos, '\n', static_cast<size_t>(length - pos));
    const int32_t end = feed ? static_cast<int32_t>(static_cast<const char*>(feed) - text) : length;
    ++number;
    int32_t stop = end;
    if (stop > pos && text[stop - 1] == '\r') --stop;
    const std::string_view line(text + pos, static_cast<size_t>(stop - pos));
    if (!isNoiseLine(line)) {
      LineEntry* entry = table.lines.append();
      if (!entry) {
        table.lineCount = 0;
        return -1;
      }
      *entry = LineEntry{lineHash(line), number, pos};
    }
    if (!feed) break;
    pos = end + 1;
  }
  table.lineCount = number;
  return 0;
}
