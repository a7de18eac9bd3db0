// A list line is split with bit masks of its first 64 bytes (line breaks,
// white space, '='), so each field is found by counting zero bits instead
// of walking bytes; longer lines and lines near the limit go byte by byte.
#include "facts/list_lines.h"

#include <immintrin.h>

#include <cstring>

#include "facts/fact_lines.h"

namespace {

inline int32_t nextLineStart(const char* text, int32_t stop, int32_t limit) {
  if (stop >= limit) return limit;
  if (text[stop] == '\n') return stop + 1;
  if (stop + 1 < limit && text[stop + 1] == '\n') return stop + 2;
  const void* feed = std::memchr(text + stop, '\n', static_cast<size_t>(limit - stop));
  return feed ? static_cast<int32_t>(static_cast<const char*>(feed) - text) + 1 : limit;
}

TextSpan trimmedValue(const char* text, int32_t from, int32_t end) {
  while (from < end && isSpaceByte(text[from])) ++from;
  while (end > from && isSpaceByte(text[end - 1])) --end;
  return spanOf(from, end);
}

bool isFix(const char* text, int32_t at) { return text[at] == 'f' && text[at + 1] == 'i' && text[at + 2] == 'x'; }

// Offsets k with bit k set, above bit `from` (from < 64).
inline uint64_t above(uint64_t mask, int32_t from) { return from >= 64 ? 0 : mask & (~uint64_t{0} << from); }
inline int32_t lowest(uint64_t mask, int32_t none) { return mask ? __builtin_ctzll(mask) : none; }

}  // namespace

void splitListLineBytewise(const char* text, int32_t pos, int32_t limit, ListLine& out) {
  int32_t e = pos;
  while (e < limit && text[e] != '\n' && text[e] != '\r') ++e;
  out = ListLine{ListLineKind::kOther, pos, e, nextLineStart(text, e, limit), TextSpan{}, TextSpan{}};
  int32_t i = pos;
  while (i < e && isSpaceByte(text[i])) ++i;
  if (i == e) {
    out.kind = ListLineKind::kBlank;
    return;
  }
  const int32_t word = i;
  while (i < e && !isSpaceByte(text[i]) && text[i] != '=') ++i;
  const int32_t wordEnd = i;
  if (wordEnd - word == 3 && isFix(text, word) && wordEnd < e && isSpaceByte(text[wordEnd])) {
    int32_t j = wordEnd;
    while (j < e && isSpaceByte(text[j])) ++j;
    const int32_t digits = j;
    while (j < e && isDigitByte(text[j])) ++j;
    int32_t k = j;
    while (k < e && isSpaceByte(text[k])) ++k;
    if (j > digits && k < e && text[k] == '=') {
      out.kind = ListLineKind::kFixControl;
      out.name = spanOf(digits, j);
      out.value = trimmedValue(text, k + 1, e);
      return;
    }
  }
  int32_t k = wordEnd;
  while (k < e && isSpaceByte(text[k])) ++k;
  if (wordEnd > word && k < e && text[k] == '=') {
    out.kind = ListLineKind::kParameter;
    out.name = spanOf(word, wordEnd);
    out.value = trimmedValue(text, k + 1, e);
  }
}

namespace {

// Bit k of each mask describes byte pos + k of the 64 bytes at `at`.
struct LineMasks {
  uint64_t breaks;  // '\n' or '\r'
  uint64_t spaces;  // 0x00..0x20
  uint64_t equals;
  uint64_t digits;
};

LineMasks masksSse2(const char* at) {
  LineMasks m{0, 0, 0, 0};
  for (int chunk = 0; chunk < 4; ++chunk) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * chunk));
    const __m128i fromZero = _mm_sub_epi8(b, _mm_set1_epi8('0'));
    const int shift = 16 * chunk;
    auto bits = [](__m128i v) { return uint64_t(unsigned(_mm_movemask_epi8(v))); };
    m.breaks |= bits(_mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(b, _mm_set1_epi8('\r'))))
                << shift;
    m.spaces |= bits(_mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x20)), b)) << shift;
    m.equals |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('='))) << shift;
    m.digits |= bits(_mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero)) << shift;
  }
  return m;
}

__attribute__((target("avx2"))) inline uint64_t bits256(__m256i v) {
  return uint64_t(unsigned(_mm256_movemask_epi8(v)));
}

__attribute__((target("avx2"))) LineMasks masksAvx2(const char* at) {
  LineMasks m{0, 0, 0, 0};
  for (int half = 0; half < 2; ++half) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 * half));
    const __m256i fromZero = _mm256_sub_epi8(b, _mm256_set1_epi8('0'));
    const int shift = 32 * half;
    m.breaks |= bits256(_mm256_or_si256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8('\n')),
                                     _mm256_cmpeq_epi8(b, _mm256_set1_epi8('\r'))))
                << shift;
    m.spaces |= bits256(_mm256_cmpeq_epi8(_mm256_min_epu8(b, _mm256_set1_epi8(0x20)), b)) << shift;
    m.equals |= bits256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8('='))) << shift;
    m.digits |= bits256(_mm256_cmpeq_epi8(_mm256_min_epu8(fromZero, _mm256_set1_epi8(9)), fromZero)) << shift;
  }
  return m;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

void splitListLine(const char* text, int32_t pos, int32_t limit, ListLine& out) {
  if (limit - pos < 64) return splitListLineBytewise(text, pos, limit, out);
  const LineMasks m = kHasAvx2 ? masksAvx2(text + pos) : masksSse2(text + pos);
  if (m.breaks == 0) return splitListLineBytewise(text, pos, limit, out);
  const int32_t e = __builtin_ctzll(m.breaks);
  const uint64_t within = e == 0 ? 0 : ~uint64_t{0} >> (64 - e);
  const uint64_t solid = ~m.spaces & within;
  out.begin = pos;
  out.end = pos + e;
  out.next = nextLineStart(text, pos + e, limit);
  out.name = TextSpan{};
  out.value = TextSpan{};
  if (solid == 0) {
    out.kind = ListLineKind::kBlank;
    return;
  }
  out.kind = ListLineKind::kOther;
  const int32_t word = __builtin_ctzll(solid);
  const int32_t wordEnd = lowest(above((m.spaces | m.equals) & within, word), e);
  int32_t equalsAt = -1;
  int32_t nameBegin = word;
  int32_t nameEnd = wordEnd;
  if (wordEnd - word == 3 && isFix(text, pos + word) && wordEnd < e && (m.spaces >> wordEnd & 1)) {
    const int32_t digits = lowest(above(solid, wordEnd), e);
    const int32_t digitsEnd = lowest(above(~m.digits & within, digits), e);
    const int32_t k = lowest(above(solid, digitsEnd), e);
    if (digitsEnd > digits && k < e && text[pos + k] == '=') {
      out.kind = ListLineKind::kFixControl;
      equalsAt = k;
      nameBegin = digits;
      nameEnd = digitsEnd;
    }
  }
  if (equalsAt < 0) {
    const int32_t k = lowest(above(solid, wordEnd), e);
    if (wordEnd == word || k >= e || text[pos + k] != '=') return;
    out.kind = ListLineKind::kParameter;
    equalsAt = k;
  }
  out.name = TextSpan{pos + nameBegin, nameEnd - nameBegin};
  const uint64_t rest = above(solid, equalsAt + 1);
  if (rest == 0) {
    out.value = TextSpan{pos + e, 0};
  } else {
    const int32_t first = __builtin_ctzll(rest);
    out.value = TextSpan{pos + first, 64 - __builtin_clzll(solid) - first};
  }
}

bool isDamagedListEntry(const char* text, const ListLine& line, int32_t limit) {
  if (line.kind != ListLineKind::kOther) return false;
  // The whole line up to its line feed: a lone carriage return ended
  // `line.end` early.
  int32_t end = line.next;
  if (end > line.begin && end <= limit && text[end - 1] == '\n') --end;
  if (end > line.begin && text[end - 1] == '\r') --end;
  bool stray = false;
  for (int32_t i = line.begin; i < end; ++i) {
    if (text[i] == 0 || text[i] == '\r') {
      stray = true;
    } else if (text[i] == '=') {
      return stray;
    }
  }
  return false;
}

int32_t lineFeedsBetween(const char* text, int32_t from, int32_t to) {
  int32_t count = 0;
  int32_t i = from;
  const __m128i feed = _mm_set1_epi8('\n');
  while (to - i >= 16) {
    // Each byte of `sums` counts up to 255 line feeds of its column.
    __m128i sums = _mm_setzero_si128();
    for (int blocks = 0; blocks < 255 && to - i >= 16; ++blocks, i += 16) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(b, feed));
    }
    const __m128i total = _mm_sad_epu8(sums, _mm_setzero_si128());
    count += _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
  }
  for (; i < to; ++i) count += text[i] == '\n';
  return count;
}
