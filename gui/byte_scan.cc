#include "gui/byte_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool matches(const char* bytes, int64_t p, WantedByte wanted) {
  const uint8_t b = static_cast<uint8_t>(bytes[p]);
  return (wanted.fold ? (b | 0x20) : b) == wanted.value;
}

bool candidateAt(const char* bytes, int64_t p, WantedByte first, const WantedByte* second) {
  return matches(bytes, p, first) && (second == nullptr || matches(bytes, p + 1, *second));
}

#if defined(__SSE2__)
// The mask of the sixteen positions from `at` whose bytes match.
unsigned matchMask(const char* bytes, int64_t at, WantedByte wanted) {
  __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
  if (wanted.fold) chunk = _mm_or_si128(chunk, _mm_set1_epi8(0x20));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(wanted.value)))));
}

unsigned candidateMask(const char* bytes, int64_t at, WantedByte first, const WantedByte* second) {
  unsigned mask = matchMask(bytes, at, first);
  if (mask != 0 && second != nullptr) mask &= matchMask(bytes, at + 1, *second);
  return mask;
}

unsigned highMask(const char* bytes, int64_t at) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at))));
}
#endif

}  // namespace

int64_t findCandidateForward(const char* bytes, int64_t from, int64_t last, WantedByte first, const WantedByte* second) {
  int64_t p = from;
#if defined(__SSE2__)
  // Sixteen candidates at a time while the loads (sixteen bytes, or
  // seventeen with a second byte) stay within [from, last + 1].
  for (; p + 15 <= last; p += 16) {
    const unsigned mask = candidateMask(bytes, p, first, second);
    if (mask != 0) return p + __builtin_ctz(mask);
  }
#endif
  for (; p <= last; ++p) {
    if (candidateAt(bytes, p, first, second)) return p;
  }
  return -1;
}

int64_t findCandidateBackward(const char* bytes, int64_t from, int64_t last, WantedByte first, const WantedByte* second) {
  int64_t p = last;
#if defined(__SSE2__)
  for (; p - 15 >= from; p -= 16) {
    const unsigned mask = candidateMask(bytes, p - 15, first, second);
    if (mask != 0) return p - 15 + (31 - __builtin_clz(mask));
  }
#endif
  for (; p >= from; --p) {
    if (candidateAt(bytes, p, first, second)) return p;
  }
  return -1;
}

int64_t firstHighByte(const char* bytes, int64_t from, int64_t to) {
  int64_t i = from;
#if defined(__SSE2__)
  for (; i + 16 <= to; i += 16) {
    const unsigned mask = highMask(bytes, i);
    if (mask != 0) return i + __builtin_ctz(mask);
  }
#endif
  for (; i < to; ++i) {
    if (static_cast<uint8_t>(bytes[i]) >= 0x80) return i;
  }
  return -1;
}

int64_t lastHighByte(const char* bytes, int64_t from, int64_t to) {
  int64_t i = to;
#if defined(__SSE2__)
  for (; i - 16 >= from; i -= 16) {
    const unsigned mask = highMask(bytes, i - 16);
    if (mask != 0) return i - 16 + (31 - __builtin_clz(mask));
  }
#endif
  for (; i > from; --i) {
    if (static_cast<uint8_t>(bytes[i - 1]) >= 0x80) return i - 1;
  }
  return -1;
}
