// Where a costly check looks in a long fuzz input. A check whose work grows
// with the input but whose property holds for any stretch of bytes (a
// string escaped as JSON, the lines split from any line start) looks at a
// window of the input, placed by a hash of the input, instead of all of it:
// a mutation moves the window, every start is as likely, so over a run the
// check covers whole inputs at the cost of a short one each.
#pragma once

#include <cstddef>
#include <cstdint>

struct InputWindow {
  int32_t begin;
  int32_t end;
};

// FNV-1a over the size and 64 bytes spread over the input: cheap for any
// length, and changed by most mutations.
inline uint32_t inputHash(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  auto mix = [&](uint32_t byte) { h = (h ^ byte) * 16777619u; };
  for (size_t i = 0; i < sizeof size; ++i) mix(static_cast<uint32_t>(size >> (8 * i)) & 0xFFu);
  if (size == 0) return h;
  const size_t step = size / 64 + 1;
  for (size_t i = 0; i < size; i += step) mix(data[i]);
  return h;
}

// The whole input when it has at most `budget` bytes, else `budget` bytes
// from an offset the hash picks.
inline InputWindow inputWindow(const uint8_t* data, size_t size, int32_t budget) {
  const auto length = static_cast<int32_t>(size);
  if (length <= budget) return {0, length};
  const auto begin = static_cast<int32_t>(inputHash(data, size) % static_cast<uint32_t>(length - budget + 1));
  return {begin, begin + budget};
}
