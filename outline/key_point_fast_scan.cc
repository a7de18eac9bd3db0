// The key-point scan, fast path.
//
// Key points come only from marker tokens, and in plain text (file-name
// mode off) a marker can only start at a byte with marker phrases ('B',
// 'C', ..., 'k', '*' or the 'f' of "file") whose previous byte is white
// space: after any other byte the previous token is plain text, or the
// byte sits inside a word, and no phrase is tried. So the scan skips
// sixteen bytes at a time to such candidates, rejects most of them with
// one 32-bit comparison, and hands the rest to the token scanner itself,
// started with the exact state it would have there (line, column, previous
// kind). The token scanner runs until file-name mode is off again; then
// the skipping resumes. The records therefore equal those of
// scanKeyPointsReference, which tests and the fuzz target check.
#include <emmintrin.h>

#include <cstring>

#include "outline/key_point_rules.h"
#include "outline/key_points.h"
#include "trace/trace_scanner.h"

namespace {

// First four bytes of every phrase that can start a marker, per first byte.
struct PrefixSet {
  uint32_t prefixes[4];
  int count;
};

struct PrefixTable {
  PrefixSet byFirstByte[256];
  PrefixTable() : byFirstByte{} {
    for (int c = 0; c < 256; ++c) {
      const TraceMarkerPhrase* phrase = traceMarkerPhrases(static_cast<unsigned char>(c));
      for (; phrase && phrase->text; ++phrase) add(phrase->text);
    }
    add("file");
    add("*** 20");
  }
  void add(const char* text) {
    PrefixSet& set = byFirstByte[static_cast<unsigned char>(text[0])];
    uint32_t prefix;
    std::memcpy(&prefix, text, 4);
    for (int i = 0; i < set.count; ++i) {
      if (set.prefixes[i] == prefix) return;
    }
    set.prefixes[set.count++] = prefix;
  }
};

const PrefixTable kPrefixTable;

inline bool hasPrefixAt(const unsigned char* text, int32_t length, int32_t at) {
  if (length - at < 4) return false;
  uint32_t have;
  std::memcpy(&have, text + at, 4);
  const PrefixSet& set = kPrefixTable.byFirstByte[text[at]];
  for (int i = 0; i < set.count; ++i) {
    if (set.prefixes[i] == have) return true;
  }
  return false;
}

inline bool isTriggerByte(unsigned char c) { return kPrefixTable.byFirstByte[c].count > 0; }

// Bit k set when byte k of the block may start a marker: it is a byte with
// phrases (the range 'B'..'S' is a superset of the capitals, checked
// exactly later) and the byte before it is white space.
inline uint32_t candidateMask(const unsigned char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 1));
  const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(0x42));
  const __m128i capital = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(0x11)), offset);
  const __m128i other = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('f')),
                                                  _mm_cmpeq_epi8(bytes, _mm_set1_epi8('k'))),
                                     _mm_cmpeq_epi8(bytes, _mm_set1_epi8('*')));
  const __m128i space = _mm_cmpeq_epi8(_mm_min_epu8(before, _mm_set1_epi8(0x20)), before);
  return static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_and_si128(_mm_or_si128(capital, other), space)));
}

// The first offset >= from (from >= 1) where a phrase prefix stands after
// white space, or -1.
int32_t nextCandidate(const unsigned char* text, int32_t length, int32_t from) {
  int32_t p = from;
  while (p + 16 <= length) {
    uint32_t mask = candidateMask(text + p);
    while (mask) {
      const int32_t at = p + __builtin_ctz(mask);
      if (hasPrefixAt(text, length, at)) return at;
      mask &= mask - 1;
    }
    p += 16;
  }
  for (; p < length; ++p) {
    if (text[p - 1] <= 0x20 && isTriggerByte(text[p]) && hasPrefixAt(text, length, p)) return p;
  }
  return -1;
}

// Line feeds counted lazily up to increasing offsets.
class LineCounter {
 public:
  explicit LineCounter(const unsigned char* text) : text_(text) {}

  // Counts up to `offset` (exclusive); returns the line there and sets
  // `column` to the offset's distance from its line's start.
  int32_t lineAt(int32_t offset, int32_t& column) {
    int32_t p = counted_;
    const __m128i lf = _mm_set1_epi8('\n');
    int32_t lastBlockWithLf = -1;
    for (; p + 16 <= offset; p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + p));
      const uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
      if (mask) {
        lines_ += __builtin_popcount(mask);
        lastBlockWithLf = p + 31 - __builtin_clz(mask);
      }
    }
    if (lastBlockWithLf >= 0) lineStart_ = lastBlockWithLf + 1;
    for (; p < offset; ++p) {
      if (text_[p] == '\n') {
        ++lines_;
        lineStart_ = p + 1;
      }
    }
    counted_ = offset;
    column = offset - lineStart_;
    return lines_;
  }

 private:
  const unsigned char* text_;
  int32_t counted_ = 0;
  int32_t lines_ = 0;
  int32_t lineStart_ = 0;
};

}  // namespace

int scanKeyPoints(KeyPoints_c& list, const char* text, int32_t length) {
  if (length <= 0) return 0;
  buildTraceDispatch();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  KeyPointBuilder builder(list, text, length);
  LineCounter lines(bytes);

  int32_t resume = 0;          // a token boundary in plain text
  bool previousIsText = false;  // the token before `resume` is tkText
  while (resume < length) {
    int32_t at;
    if (!previousIsText && isTriggerByte(bytes[resume]) && hasPrefixAt(bytes, length, resume)) {
      at = resume;
    } else {
      at = resume + 1 < length ? nextCandidate(bytes, length, resume + 1) : -1;
      if (at < 0) break;
    }
    ScanState state;
    scanInit(state, text, length);
    state.pos = at;
    state.remaining = length - at;
    state.kind = tkSpace;  // any kind but tkText: the marker is tried
    state.line = lines.lineAt(at, state.column);
    do {
      nextTraceToken(state);
      if (KeyPointBuilder::isKeyKind(state.kind) &&
          !builder.onToken(state.kind, state.line, state.column, state.pos)) {
        return 0;
      }
    } while (state.mode != 0 && state.remaining > 0);
    resume = state.pos;
    previousIsText = state.kind == tkText;
  }
  return 0;
}
