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
//
// While the text passes through the cache, the scan also notes where
// "Registered qb:" and "sql_id=" stand, so the outline build need not read
// the text again.
#include <emmintrin.h>

#include <cstring>

#include "base/find_bytes.h"
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

// The first offset in [from, limit) (from >= 1) where a phrase prefix
// stands after white space, or -1.
int32_t nextCandidate(const unsigned char* text, int32_t length, int32_t from, int32_t limit) {
  int32_t p = from;
  while (p + 16 <= limit) {
    uint32_t mask = candidateMask(text + p);
    while (mask) {
      const int32_t at = p + __builtin_ctz(mask);
      if (hasPrefixAt(text, length, at)) return at;
      mask &= mask - 1;
    }
    p += 16;
  }
  for (; p < limit; ++p) {
    if (text[p - 1] <= 0x20 && isTriggerByte(text[p]) && hasPrefixAt(text, length, p)) return p;
  }
  return -1;
}

// Notes the occurrences of `phrase` (n bytes) that start in [from, to)
// and lie wholly inside the text. False when the list cannot grow.
bool recordPhrase(const char* text, int32_t length, int32_t from, int32_t to, const char* phrase, int32_t n,
                  PackedRecords<NotedPhrase>& occurrences) {
  const int32_t end = to - 1 + n < length ? to - 1 + n : length;
  for (int32_t p = from; p < end;) {
    const long hit = findBytes(text + p, static_cast<size_t>(end - p), phrase, static_cast<size_t>(n));
    if (hit < 0) break;
    NotedPhrase* noted = occurrences.append();
    if (!noted) return false;
    notePhraseAt(text, length, p + static_cast<int32_t>(hit), n, *noted);
    p = noted->offset + 1;
  }
  return true;
}

bool recordNotedPhrases(const char* text, int32_t length, int32_t from, int32_t to, NotedPhrases& noted) {
  return recordPhrase(text, length, from, to, kRegisteredPhrase, kRegisteredPhraseLength, noted.registrations) &&
         recordPhrase(text, length, from, to, kSqlIdPhrase, kSqlIdPhraseLength, noted.sqlIds);
}

// The text goes through in chunks that fit the cache: each chunk is read
// once for the noted phrases and once more, from the cache, for the key
// points.
constexpr int32_t kChunkSize = 64 * 1024;

// Bits set in a 16-bit mask; portable code has no popcount instruction.
inline int countBits16(uint32_t x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return static_cast<int>((x + (x >> 8)) & 0x1Fu);
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
        lines_ += countBits16(mask);
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

namespace {

void scanFollowed(KeyPoints_c& list, const char* text, int32_t length, KeyPointFollower* follower) {
  // The noted phrases describe one text: only a scan into an empty list
  // records them.
  bool recording = list.count() == 0;
  list.noted.reset();
  if (length <= 0) return;
  buildTraceDispatch();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  KeyPointBuilder builder(list, text, length);
  LineCounter lines(bytes);

  // Offsets before `next` are done. When `nextFollowsNonText` is set, the
  // token before `next` is not plain text (the start, or the end of a
  // marker), so a marker may start right there; beyond `next`, a marker
  // may only start after white space.
  int32_t next = 0;
  bool nextFollowsNonText = true;
  for (int32_t chunk = 0; chunk < length; chunk += kChunkSize) {
    const int32_t chunkEnd = length - chunk > kChunkSize ? chunk + kChunkSize : length;
    if (recording && !recordNotedPhrases(text, length, chunk, chunkEnd, list.noted)) {
      recording = false;
      list.noted.reset();
    }
    while (next < chunkEnd) {
      int32_t at;
      if (nextFollowsNonText) {
        nextFollowsNonText = false;
        if (!isTriggerByte(bytes[next]) || !hasPrefixAt(bytes, length, next)) {
          ++next;
          continue;
        }
        at = next;
      } else {
        at = nextCandidate(bytes, length, next, chunkEnd);
        if (at < 0) {
          next = chunkEnd;
          break;
        }
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
          list.noted.reset();
          return;
        }
      } while (state.mode != 0 && state.remaining > 0);
      next = state.pos;
      nextFollowsNonText = state.kind != tkText;
    }
    if (follower) follower->onScanned(list);
  }
  list.noted.complete = recording;
}

}  // namespace

void scanKeyPoints(KeyPoints_c& list, const char* text, int32_t length) { scanFollowed(list, text, length, nullptr); }

void scanKeyPoints(KeyPoints_c& list, const char* text, int32_t length, KeyPointFollower& follower) {
  scanFollowed(list, text, length, &follower);
}
