#include "base/find_bytes.h"

#include <immintrin.h>

#include <cstring>

namespace {

// The tail (and needles shorter than three bytes): one offset at a time.
long findFrom(const char* haystack, size_t i, size_t lastStart, const char* needle, size_t n) {
  for (; i <= lastStart; ++i) {
    if (haystack[i] == needle[0] && std::memcmp(haystack + i, needle, n) == 0) return static_cast<long>(i);
  }
  return -1;
}

// Candidates are offsets where the first and the last two needle bytes
// match; in trace text that leaves few to verify with memcmp.
long findSse2(const char* haystack, size_t size, const char* needle, size_t n) {
  const size_t lastStart = size - n;
  size_t i = 0;
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i beforeLast = _mm_set1_epi8(needle[n - 2]);
  const __m128i last = _mm_set1_epi8(needle[n - 1]);
  for (; i + 16 <= lastStart + 1; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + i + n - 2));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack + i + n - 1));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_and_si128(_mm_cmpeq_epi8(b, beforeLast), _mm_cmpeq_epi8(c, last)))));
    while (mask) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      if (std::memcmp(haystack + at + 1, needle + 1, n - 3) == 0) return static_cast<long>(at);
      mask &= mask - 1;
    }
  }
  return findFrom(haystack, i, lastStart, needle, n);
}

// The same with 32 offsets per step, for processors that have AVX2.
__attribute__((target("avx2"))) long findAvx2(const char* haystack, size_t size, const char* needle, size_t n) {
  const size_t lastStart = size - n;
  size_t i = 0;
  const __m256i first = _mm256_set1_epi8(needle[0]);
  const __m256i beforeLast = _mm256_set1_epi8(needle[n - 2]);
  const __m256i last = _mm256_set1_epi8(needle[n - 1]);
  for (; i + 32 <= lastStart + 1; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + i + n - 2));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(haystack + i + n - 1));
    unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
        _mm256_cmpeq_epi8(a, first), _mm256_and_si256(_mm256_cmpeq_epi8(b, beforeLast), _mm256_cmpeq_epi8(c, last)))));
    while (mask) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      if (std::memcmp(haystack + at + 1, needle + 1, n - 3) == 0) return static_cast<long>(at);
      mask &= mask - 1;
    }
  }
  return findFrom(haystack, i, lastStart, needle, n);
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

long findBytes(const char* haystack, size_t size, const char* needle, size_t n) {
  if (n == 0 || n > size) return -1;
  if (n < 3) return findFrom(haystack, 0, size - n, needle, n);
  return kHasAvx2 ? findAvx2(haystack, size, needle, n) : findSse2(haystack, size, needle, n);
}
