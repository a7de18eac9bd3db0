// SVString: the growable byte string every subsystem passes text in.
//
// A buffer (possibly absent), a length in bytes and a capacity in bytes.
// Whenever a buffer exists, the byte at index `length` is zero, so the
// contents can always be handed to code that expects a terminated string.
// Growth follows one rule: making room for n bytes (n counts the
// terminator) reallocates to n + n / 4 + 4 bytes. Failures are reported as
// -1 and leave the string released; nothing here throws.
#pragma once

#include <cstdint>

// Test seam for the paths taken when memory runs out. After
// failGrowthAt(n) with n > 0, the n-th growth of any SVString from then on
// (and so of every packed record list built on one) fails as a failed
// realloc would; failGrowthAt(0) lets every growth succeed again. Either
// call restarts growthsCounted(), which counts growths tried since.
void failGrowthAt(int64_t n);
int64_t growthsCounted();

class SVString {
 public:
  SVString() = default;
  ~SVString() { release(); }
  SVString(SVString&& other) noexcept;
  SVString& operator=(SVString&& other) noexcept;
  SVString(const SVString&) = delete;
  SVString& operator=(const SVString&) = delete;

  char* data() { return buffer_; }
  const char* data() const { return buffer_; }
  // The contents, or "" when there is no buffer: never null.
  const char* c_str() const { return buffer_ ? buffer_ : ""; }
  int32_t length() const { return length_; }
  int32_t capacity() const { return capacity_; }
  bool empty() const { return length_ == 0; }

  // Reallocates to n + n / 4 + 4 bytes (n counts the terminator, 0 counts
  // as 1) and writes a zero at index n - 1. Existing bytes up to the new
  // size are kept. Returns 0, or -1 after releasing the string.
  int reserve(int64_t n);
  // Grows by `reserve` only when the capacity is below n. Returns 0 or -1.
  int ensureCapacity(int64_t n);

  // Length 0 with a zero at the start; the buffer is kept.
  void clear();
  // Frees the buffer: no buffer, length and capacity 0.
  void release();

  // Appends n bytes (nothing when p is null or n is 0). Returns 0 or -1;
  // on failure the string is left empty (released).
  int append(const char* p, int64_t n);
  int append(const char* zeroTerminated);
  int append(const SVString& other);
  // Replaces the contents; an empty source clears. Returns 0 or -1.
  int assign(const char* zeroTerminated);
  int assign(const SVString& other);
  // printf-style: measures, makes room, formats and sets the length.
  int format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  // Sets the length to the offset of the first zero byte.
  void recomputeLength();
  // Sets the length to n (0 <= n < capacity) and writes the terminator.
  void setLength(int32_t n);

 private:
  char* buffer_ = nullptr;
  int32_t length_ = 0;
  int32_t capacity_ = 0;
};
