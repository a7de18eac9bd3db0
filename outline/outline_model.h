// The outline model: the flat key-point list turned into a forest of
// nodes with composed, colour-coded captions.
#pragma once

#include <cstdint>

#include "base/packed_records.h"
#include "base/sv_string.h"
#include "outline/key_points.h"

constexpr int32_t kNoNode = -1;
constexpr int32_t kNoCaption = -1;

// One record, 44 bytes. Links are node indexes (kNoNode for none) so they
// survive the array growing; captions are offsets of zero-terminated texts
// in the array's caption pool (kNoCaption for none).
struct OutlineNode {
  int32_t parent;
  int32_t firstChild;
  int32_t nextSibling;
  int32_t keyPointIndex;
  int32_t nodeIndex;
  int32_t tagA;
  int32_t tagB;
  int32_t caption1;
  int32_t caption2;
  int32_t caption3;
  int32_t caption4;
};
static_assert(sizeof(OutlineNode) == 44, "outline node records are 44 bytes");

class NodeMarrow_Array_c {
 public:
  int32_t count() const { return nodes_.count(); }
  OutlineNode& operator[](int32_t i) { return nodes_[i]; }
  const OutlineNode& operator[](int32_t i) const { return nodes_[i]; }

  // A caption of node i (1..4), or null when the node has none.
  const char* caption(int32_t i, int which) const;

  // Appends a zero-filled node with its links and captions set to none and
  // its nodeIndex set. Returns the index, or kNoNode when out of memory.
  int32_t appendNode();
  // Stores a caption of `length` bytes for the node (`which` 1..4).
  // Returns 0 or -1.
  int setCaption(int32_t node, int which, const char* text, int32_t length);
  int setCaption(int32_t node, int which, const char* text);
  // Appends text to caption 1 of the node. Returns 0 or -1.
  int extendCaption1(int32_t node, const char* suffix);
  int reserveNodes(int32_t n);

  // Count 0, buffers kept.
  void reset();
  void release();

  // Set by buildOutline when memory ran out (the array is then empty),
  // until the next reset or release.
  bool outOfMemory() const { return outOfMemory_; }
  void markOutOfMemory() {
    release();
    outOfMemory_ = true;
  }

 private:
  PackedRecords<OutlineNode> nodes_;
  SVString captions_;  // every caption, each followed by its zero byte
  bool outOfMemory_ = false;
};

// Appends the outline of `keyPoints` to `nodes` (whose count the caller set
// to 0). `text` is the text the key points' `pos` values
// describe: the trace as scanned, before any re-formatting. When memory
// runs out the array is left empty and marked (outOfMemory).
void buildOutline(NodeMarrow_Array_c& nodes, const KeyPoints_c& keyPoints, const char* text, int32_t length);

struct JoinOrderCounts {
  int32_t joinOrders;
  int32_t best;  // number of the best join order in the run, 0 for none
};
// Walks `n` key points from `first`: join orders count, "Best so far:"
// marks the current count as best, aborted marks change nothing, any other
// kind ends the walk.
JoinOrderCounts countJoinOrders(const KeyPoint* first, int32_t n);
