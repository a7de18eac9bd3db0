// Key points: the marker phrases of a trace that matter for navigation,
// one fixed-size record each, found by one scan over the whole text.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "base/sv_string.h"

// One record, 92 bytes: seven 32-bit fields and a 64-byte caption.
struct KeyPoint {
  int32_t level;        // outline level 0..3
  int32_t kind;         // TraceTokenKind of the marker
  int32_t line;         // line feeds before the marker (moved by re-formatting)
  int32_t column;       // column just past the marker
  int32_t pos;          // offset just past the marker, in the scanned text
  int32_t queryStart;   // final queries: start of the line after the marker
  int32_t queryLength;  // final queries: bytes up to the next line feed
  char caption[64];     // zero-terminated, may carry caption codes
};
static_assert(sizeof(KeyPoint) == 92, "key point records are 92 bytes");

constexpr int kKeyPointCaptionSize = 64;

// The two phrases the outline build looks for in the text.
constexpr char kRegisteredPhrase[] = "Registered qb:";
constexpr int32_t kRegisteredPhraseLength = sizeof kRegisteredPhrase - 1;
constexpr char kSqlIdPhrase[] = "sql_id=";
constexpr int32_t kSqlIdPhraseLength = sizeof kSqlIdPhrase - 1;

// One occurrence of a phrase the outline build looks for: where it starts
// and the bytes that follow it, at most kFollowingBytes and fewer before a
// zero byte or the end of the text (for "sql_id=", the statement's id).
constexpr int kFollowingBytes = 13;
struct NotedPhrase {
  int32_t offset;
  char following[kFollowingBytes + 1];  // zero-terminated
};

// Fills `noted` for the phrase at `offset` of the text.
void notePhraseAt(const char* text, int32_t length, int32_t offset, int32_t phraseLength, NotedPhrase& noted);

// Every occurrence of each phrase in the scanned text (marker or not), in
// increasing order. scanKeyPoints notes them while the text passes through
// the cache, so the outline build can answer its searches without reading
// the text again. Valid only while `complete` is set.
struct NotedPhrases {
  PackedRecords<NotedPhrase> registrations;
  PackedRecords<NotedPhrase> sqlIds;
  bool complete = false;

  void reset() {
    registrations.reset();
    sqlIds.reset();
    complete = false;
  }
};

class KeyPoints_c : public PackedRecords<KeyPoint> {
 public:
  NotedPhrases noted;
};

// Count 0, buffer kept; the noted phrases are dropped.
void resetKeyPoints(KeyPoints_c& list);
// Appends a zero-filled record; null (and the list released) when the
// buffer cannot grow.
KeyPoint* appendKeyPoint(KeyPoints_c& list);

// True for the record the scan adds to open a block for join orders outside
// an optimised query block: it stands where the join order after it
// stands, not at an «optimizing query block» marker.
bool opensJoinOrderBlock(const KeyPoints_c& list, int32_t i);

// Appends the key points of `text` (followed by a zero byte) to `list`.
// Does not reset the list. When the list cannot grow, the scan stops with
// the list empty and marked (outOfMemory). Uses the fast scanner; into an empty list it
// also notes the phrases of the text.
void scanKeyPoints(KeyPoints_c& list, const SVString& text);
void scanKeyPoints(KeyPoints_c& list, const char* text, int32_t length);

// Work that follows a scan over its records while their text is still in
// the cache.
class KeyPointFollower {
 public:
  // Called after each stretch of the text (64 KiB) the scan has passed:
  // the records [0, list.count()) are final. Not called once the list
  // could not grow.
  virtual void onScanned(const KeyPoints_c& list) = 0;

 protected:
  ~KeyPointFollower() = default;
};

// scanKeyPoints that tells `follower` how far it has come.
void scanKeyPoints(KeyPoints_c& list, const char* text, int32_t length, KeyPointFollower& follower);

// The same records, found token by token with nextTraceToken. Kept as the
// reference the fast scanner is checked against. Notes no phrases.
void scanKeyPointsReference(KeyPoints_c& list, const char* text, int32_t length);
