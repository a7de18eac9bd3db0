// Byte scans for the find bar's search over the editor's text: sixteen
// bytes at a time where the processor has SSE2, one at a time elsewhere.
// A byte matches a wanted value exactly, or, when `fold` is set for it,
// after OR-ing 0x20 (which maps ASCII capitals to small letters and other
// bytes to something the caller checks again).
#pragma once

#include <cstdint>

struct WantedByte {
  uint8_t value;  // already OR-ed with 0x20 when `fold` is set
  bool fold;
};

// The first p in [from, last] whose byte matches `first` and, unless
// `second` is null, whose next byte matches *second; -1 when none. The
// bytes up to last + 1 must be readable when `second` is given.
int64_t findCandidateForward(const char* bytes, int64_t from, int64_t last, WantedByte first, const WantedByte* second);

// The last such p in [from, last]; -1 when none.
int64_t findCandidateBackward(const char* bytes, int64_t from, int64_t last, WantedByte first, const WantedByte* second);

// The first byte at or above 0x80 in [from, to), or -1.
int64_t firstHighByte(const char* bytes, int64_t from, int64_t to);

// The last byte at or above 0x80 in [from, to), or -1.
int64_t lastHighByte(const char* bytes, int64_t from, int64_t to);
