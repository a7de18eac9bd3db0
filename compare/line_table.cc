#include "compare/line_table.h"

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
    if (rest.starts_with(prefix)) return true;
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
  int maskNumberWithin = 0;  // bytes left in which the next number is an elapsed time
  size_t plain = 0;          // start of the run of plain bytes not hashed yet
  // Ends the plain run before `at` with a placeholder for the noise there.
  auto noise = [&](size_t at, Placeholder kind) {
    hash.run(s.data() + plain, at - plain);
    hash.token(kind);
  };
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (!mayStartNoise(c)) {
      ++i;
      if (maskNumberWithin > 0) --maskNumberWithin;
      continue;
    }
    const bool startsWord = i == 0 || !isWord(s[i - 1]);
    if (c == '0' && startsWord && i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && isHex(s[i + 2])) {
      noise(i, kAddress);
      i += 2;
      while (i < s.size() && isHex(s[i])) ++i;
      plain = i;
    } else if (size_t end = isDigit(c) && startsWord ? dateTimeEnd(s, i) : 0; end != 0) {
      noise(i, kDateTime);
      i = plain = end;
    } else if (isDigit(c) && startsWord && maskNumberWithin > 0) {
      noise(i, kFigure);
      while (i < s.size() && (isDigit(s[i]) || s[i] == '.')) ++i;
      plain = i;
      maskNumberWithin = 0;
    } else {
      // A byte that starts no noise stays in the plain run.
      ++i;
      if (maskNumberWithin > 0) --maskNumberWithin;
      if (c == '=') {
        for (std::string_view key : kFigureKeys) {
          if (!endsWithKey(s, i - 1, key)) continue;
          noise(i, kFigure);
          while (i < s.size() && isWord(s[i])) ++i;
          plain = i;
          break;
        }
      } else if ((c == 'e' || c == 'E') && startsWord && wordAt(s, i - 1, "elapsed")) {
        maskNumberWithin = 6 + 24;  // the rest of the word, then a little way on
      }
    }
  }
  hash.run(s.data() + plain, s.size() - plain);
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
