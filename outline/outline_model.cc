#include "outline/outline_model.h"

#include <algorithm>
#include <cstring>

#include "base/bounded_copy.h"
#include "base/find_bytes.h"
#include "trace/trace_scanner.h"

// ---- NodeMarrow_Array_c ----------------------------------------------------

const char* NodeMarrow_Array_c::caption(int32_t i, int which) const {
  if (i < 0 || i >= count() || which < 1 || which > 4) return nullptr;
  const OutlineNode& node = nodes_[i];
  const int32_t offsets[4] = {node.caption1, node.caption2, node.caption3, node.caption4};
  const int32_t offset = offsets[which - 1];
  return offset == kNoCaption ? nullptr : captions_.data() + offset;
}

int32_t NodeMarrow_Array_c::appendNode() {
  OutlineNode* node = nodes_.append();
  if (!node) return kNoNode;
  node->parent = node->firstChild = node->nextSibling = kNoNode;
  node->caption1 = node->caption2 = node->caption3 = node->caption4 = kNoCaption;
  node->nodeIndex = nodes_.count() - 1;
  return node->nodeIndex;
}

int NodeMarrow_Array_c::setCaption(int32_t node, int which, const char* text) {
  return setCaption(node, which, text, static_cast<int32_t>(std::strlen(text)));
}

int NodeMarrow_Array_c::setCaption(int32_t node, int which, const char* text, int32_t length) {
  if (node < 0 || node >= count() || which < 1 || which > 4) return -1;
  const int32_t offset = captions_.length();
  // Each caption keeps its own zero byte inside the pool.
  if (captions_.append(text, static_cast<int64_t>(length) + 1) != 0) return -1;
  OutlineNode& record = nodes_[node];
  int32_t* fields[4] = {&record.caption1, &record.caption2, &record.caption3, &record.caption4};
  *fields[which - 1] = offset;
  return 0;
}

int NodeMarrow_Array_c::extendCaption1(int32_t node, const char* suffix) {
  if (node < 0 || node >= count() || nodes_[node].caption1 == kNoCaption) return -1;
  const int32_t offset = nodes_[node].caption1;
  const int32_t oldLength = static_cast<int32_t>(std::strlen(captions_.data() + offset));
  if (offset + oldLength + 1 == captions_.length()) {
    // The caption is the pool's last: grow it in place.
    captions_.setLength(offset + oldLength);
    return captions_.append(suffix, static_cast<int64_t>(std::strlen(suffix)) + 1);
  }
  SVString joined;
  if (joined.append(captions_.data() + offset, oldLength) != 0 || joined.append(suffix) != 0) return -1;
  return setCaption(node, 1, joined.c_str());
}

int NodeMarrow_Array_c::reserveNodes(int32_t n) { return nodes_.reserveRecords(n); }

void NodeMarrow_Array_c::reset() {
  nodes_.reset();
  captions_.clear();
  outOfMemory_ = false;
}

void NodeMarrow_Array_c::release() {
  nodes_.release();
  captions_.release();
  outOfMemory_ = false;
}

// ---- buildOutline ------------------------------------------------------------

JoinOrderCounts countJoinOrders(const KeyPoint* first, int32_t n) {
  JoinOrderCounts counts{0, 0};
  for (int32_t i = 0; i < n; ++i) {
    const int32_t kind = first[i].kind;
    if (kind == tkJoinOrder) {
      ++counts.joinOrders;
    } else if (kind == tkBestSoFar) {
      counts.best = counts.joinOrders;
    } else if (kind != tkJoinOrderAborted) {
      break;
    }
  }
  return counts;
}

namespace {

constexpr int32_t kRegistrationWindow = 10000;

// Offset of the first `needle` that starts in [from, startLimit) and lies
// wholly inside the text, or -1. Never reads outside the text.
int32_t findStartingBefore(const char* text, int32_t length, int32_t from, int32_t startLimit,
                           const char* needle, int32_t needleLength) {
  if (from < 0 || from >= length || startLimit <= from) return -1;
  const int64_t windowEnd = static_cast<int64_t>(startLimit) - 1 + needleLength;
  const int32_t end = windowEnd < length ? static_cast<int32_t>(windowEnd) : length;
  if (end - from < needleLength) return -1;
  const long hit = findBytes(text + from, static_cast<size_t>(end - from), needle, static_cast<size_t>(needleLength));
  return hit < 0 ? -1 : from + static_cast<int32_t>(hit);
}

class OutlineBuilder {
 public:
  OutlineBuilder(NodeMarrow_Array_c& nodes, const KeyPoints_c& keyPoints, const char* text, int32_t length)
      : nodes_(nodes), keyPoints_(keyPoints), text_(text), length_(length) {}

  // Builds every section from `first`. False when memory ran out.
  bool build(int32_t first) {
    for (int32_t s = first; s < keyPoints_.count();) {
      int32_t end = s + 1;
      while (end < keyPoints_.count() && keyPoints_[end].kind != tkNewEntry) ++end;
      if (!buildSection(s, end)) return false;
      s = end;
    }
    return true;
  }

 private:
  bool buildSection(int32_t s, int32_t end) {
    const int32_t endPos = end < keyPoints_.count() ? keyPoints_[end].pos : length_;
    const int32_t searchStart = keyPoints_[s].pos;
    const int64_t windowLimit = static_cast<int64_t>(searchStart) + kRegistrationWindow + 1;
    const int32_t startLimit = windowLimit < endPos ? static_cast<int32_t>(windowLimit) : endPos;
    NotedPhrase registration;
    const bool opensRoot = findPhrase(keyPoints_.noted.registrations, kRegisteredPhrase, kRegisteredPhraseLength,
                                      searchStart, startLimit, registration);
    if (!opensRoot && levelStack_[0] == kNoNode) return true;
    if (opensRoot && !openRoot(s, searchStart, endPos)) return false;
    for (int32_t k = keyPoints_[s].kind == tkNewEntry ? s + 1 : s; k < end; ++k) {
      if (!addKeyPoint(k, end)) return false;
    }
    return true;
  }

  // Finds the first `phrase` starting in [from, startLimit): from the
  // occurrences the key-point scan noted when it has them, else by reading
  // the text. False when there is none.
  bool findPhrase(const PackedRecords<NotedPhrase>& noted, const char* phrase, int32_t phraseLength, int32_t from,
                  int32_t startLimit, NotedPhrase& found) const {
    if (!keyPoints_.noted.complete) {
      const int32_t offset = findStartingBefore(text_, length_, from, startLimit, phrase, phraseLength);
      if (offset < 0) return false;
      notePhraseAt(text_, length_, offset, phraseLength, found);
      return true;
    }
    if (from < 0 || from >= length_ || startLimit <= from) return false;
    const NotedPhrase* first = std::lower_bound(
        noted.begin(), noted.end(), from, [](const NotedPhrase& a, int32_t offset) { return a.offset < offset; });
    if (first == noted.end() || first->offset >= startLimit) return false;
    found = *first;
    return true;
  }

  bool openRoot(int32_t s, int32_t searchStart, int32_t endPos) {
    levelStack_[1] = levelStack_[2] = levelStack_[3] = kNoNode;
    optimizingGroupMade_ = false;
    const int32_t root = nodes_.appendNode();
    if (root == kNoNode) return false;
    if (levelStack_[0] != kNoNode) nodes_[levelStack_[0]].nextSibling = root;
    levelStack_[0] = root;
    nodes_[root].keyPointIndex = s;

    char sqlIdLine[32] = "";
    NotedPhrase sqlId;
    if (findPhrase(keyPoints_.noted.sqlIds, kSqlIdPhrase, kSqlIdPhraseLength, searchStart, endPos, sqlId)) {
      boundedCopy(sqlIdLine, sizeof sqlIdLine, "  #01#sql_id=");
      boundedAppend(sqlIdLine, sizeof sqlIdLine, sqlId.following);
    }
    if (nodes_.setCaption(root, 1, "#10#Marrow trace") != 0 || nodes_.setCaption(root, 2, sqlIdLine) != 0) {
      return false;
    }

    const int32_t group = nodes_.appendNode();
    if (group == kNoNode || nodes_.setCaption(group, 1, "#02#QUERY BLOCKS") != 0) return false;
    nodes_[group].parent = root;
    nodes_[group].keyPointIndex = s;
    nodes_[root].firstChild = group;
    levelStack_[1] = group;
    prevLevel_ = 1;
    lastNode_ = group;
    return true;
  }

  bool addKeyPoint(int32_t k, int32_t end) {
    const KeyPoint& point = keyPoints_[k];
    const char* caption = point.caption;
    int32_t length = static_cast<int32_t>(strnlen(caption, kKeyPointCaptionSize - 1));
    char marked[kKeyPointCaptionSize];
    switch (point.kind) {
      case tkBestSoFar:
        return true;
      case tkJoinOrderAborted:
        // Every mark is kept: the pool holds captions of any length.
        return lastNode_ == kNoNode || nodes_.extendCaption1(lastNode_, " #07#- aborted") == 0;
      case tkOptimizingQb:
        if (!startOptimizingGroup(k, end)) return false;
        break;
      case tkJoinOrder:
        if (++joinOrderCounter_ == bestJoinOrder_) {
          boundedCopy(marked, sizeof marked, caption);
          length = static_cast<int32_t>(boundedAppend(marked, sizeof marked, " #04#- best"));
          caption = marked;
        }
        break;
      default:
        break;
    }
    return addNode(k, point.level, caption, length);
  }

  bool startOptimizingGroup(int32_t k, int32_t end) {
    if (!optimizingGroupMade_) {
      const int32_t group = nodes_.appendNode();
      if (group == kNoNode || nodes_.setCaption(group, 1, "#03#OPTIMIZING QB") != 0) return false;
      nodes_[group].keyPointIndex = k;
      if (levelStack_[1] != kNoNode) {
        nodes_[levelStack_[1]].nextSibling = group;
        nodes_[group].parent = nodes_[levelStack_[1]].parent;
      }
      levelStack_[1] = group;
      lastNode_ = group;
    }
    optimizingGroupMade_ = true;
    joinOrderCounter_ = 0;
    bestJoinOrder_ = countJoinOrders(&keyPoints_[k] + 1, end - k - 1).best;
    return true;
  }

  bool addNode(int32_t k, int32_t level, const char* caption, int32_t length) {
    if (level < 0 || level > 3) level = 3;
    const int32_t node = nodes_.appendNode();
    if (node == kNoNode || nodes_.setCaption(node, 1, caption, length) != 0) return false;
    nodes_[node].keyPointIndex = k;
    for (int32_t i = level + 1; i <= prevLevel_; ++i) levelStack_[i] = kNoNode;
    if (levelStack_[level] != kNoNode) {
      nodes_[levelStack_[level]].nextSibling = node;
      nodes_[node].parent = nodes_[levelStack_[level]].parent;
    }
    if (prevLevel_ < level && levelStack_[prevLevel_] != kNoNode) {
      nodes_[levelStack_[prevLevel_]].firstChild = node;
      nodes_[node].parent = levelStack_[prevLevel_];
    }
    levelStack_[level] = node;
    prevLevel_ = level;
    lastNode_ = node;
    return true;
  }

  NodeMarrow_Array_c& nodes_;
  const KeyPoints_c& keyPoints_;
  const char* text_;
  int32_t length_;
  int32_t levelStack_[4] = {kNoNode, kNoNode, kNoNode, kNoNode};
  int32_t prevLevel_ = 0;
  bool optimizingGroupMade_ = false;
  int32_t joinOrderCounter_ = 0;
  int32_t bestJoinOrder_ = 0;
  int32_t lastNode_ = kNoNode;
};

}  // namespace

void buildOutline(NodeMarrow_Array_c& nodes, const KeyPoints_c& keyPoints, const char* text, int32_t length) {
  if (keyPoints.count() == 0 || !text || length < 0) return;
  if (nodes.reserveNodes(keyPoints.count()) != 0) {
    nodes.markOutOfMemory();
    return;
  }
  int32_t first = 0;
  while (first < keyPoints.count() && keyPoints[first].kind != tkNewEntry &&
         keyPoints[first].kind != tkRegisteredQb) {
    ++first;
  }
  if (first == keyPoints.count()) return;
  OutlineBuilder builder(nodes, keyPoints, text, length);
  if (!builder.build(first)) nodes.markOutOfMemory();
}
