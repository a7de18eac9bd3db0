#include "base/sv_string.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <utility>

namespace {
// Capacities are 32-bit: refuse anything whose grown size would not fit.
constexpr int64_t kMaxRequest = (INT32_MAX - 4) / 5 * 4;

std::atomic<int64_t> growths{0};
std::atomic<int64_t> failingGrowth{0};

// One growth more; true when it is the one set to fail.
bool growthFails() {
  const int64_t n = growths.fetch_add(1, std::memory_order_relaxed) + 1;
  return n == failingGrowth.load(std::memory_order_relaxed);
}
}  // namespace

void failGrowthAt(int64_t n) {
  growths.store(0, std::memory_order_relaxed);
  failingGrowth.store(n, std::memory_order_relaxed);
}

int64_t growthsCounted() { return growths.load(std::memory_order_relaxed); }

SVString::SVString(SVString&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SVString& SVString::operator=(SVString&& other) noexcept {
  if (this != &other) {
    release();
    buffer_ = std::exchange(other.buffer_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

int SVString::reserve(int64_t n) {
  if (n <= 0) n = 1;
  if (n > kMaxRequest || growthFails()) {
    release();
    return -1;
  }
  const int64_t size = n + n / 4 + 4;
  char* grown = static_cast<char*>(std::realloc(buffer_, static_cast<size_t>(size)));
  if (!grown) {
    release();
    return -1;
  }
  buffer_ = grown;
  capacity_ = static_cast<int32_t>(size);
  if (length_ >= capacity_) length_ = capacity_ - 1;
  buffer_[n - 1] = 0;
  buffer_[length_] = 0;
  return 0;
}

int SVString::ensureCapacity(int64_t n) {
  if (buffer_ && capacity_ >= n) return 0;
  return reserve(n);
}

void SVString::clear() {
  length_ = 0;
  if (buffer_) buffer_[0] = 0;
}

void SVString::release() {
  std::free(buffer_);
  buffer_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

int SVString::append(const char* p, int64_t n) {
  if (!p || n <= 0) return 0;
  if (ensureCapacity(length_ + n + 1) != 0) return -1;
  std::memmove(buffer_ + length_, p, static_cast<size_t>(n));
  length_ += static_cast<int32_t>(n);
  buffer_[length_] = 0;
  return 0;
}

int SVString::append(const char* zeroTerminated) {
  if (!zeroTerminated) return 0;
  return append(zeroTerminated, static_cast<int64_t>(std::strlen(zeroTerminated)));
}

int SVString::append(const SVString& other) {
  if (&other == this) {
    // Appending to itself: the source may move when the buffer grows.
    const int32_t n = length_;
    if (n == 0) return 0;
    if (ensureCapacity(static_cast<int64_t>(length_) + n + 1) != 0) return -1;
    std::memcpy(buffer_ + length_, buffer_, static_cast<size_t>(n));
    length_ += n;
    buffer_[length_] = 0;
    return 0;
  }
  return append(other.buffer_, other.length_);
}

int SVString::assign(const char* zeroTerminated) {
  if (!zeroTerminated || !*zeroTerminated) {
    clear();
    return 0;
  }
  const size_t n = std::strlen(zeroTerminated);
  if (buffer_ && zeroTerminated >= buffer_ && zeroTerminated < buffer_ + capacity_) {
    std::memmove(buffer_, zeroTerminated, n + 1);
    length_ = static_cast<int32_t>(n);
    return 0;
  }
  clear();
  return append(zeroTerminated, static_cast<int64_t>(n));
}

int SVString::assign(const SVString& other) {
  if (&other == this) return 0;
  clear();
  return append(other.buffer_, other.length_);
}

int SVString::format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list measure;
  va_copy(measure, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  if (n < 0 || ensureCapacity(static_cast<int64_t>(n) + 1) != 0) {
    va_end(args);
    if (n < 0) clear();
    return -1;
  }
  std::vsnprintf(buffer_, static_cast<size_t>(n) + 1, fmt, args);
  va_end(args);
  length_ = n;
  return 0;
}

void SVString::recomputeLength() {
  if (!buffer_) {
    length_ = 0;
    return;
  }
  const void* zero = std::memchr(buffer_, 0, static_cast<size_t>(capacity_));
  length_ = zero ? static_cast<int32_t>(static_cast<const char*>(zero) - buffer_) : capacity_ - 1;
  buffer_[length_] = 0;
}

void SVString::setLength(int32_t n) {
  if (!buffer_ || n < 0 || n >= capacity_) return;
  length_ = n;
  buffer_[n] = 0;
}
