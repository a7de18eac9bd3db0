// Fuzz target: any bytes as a trace. The fast key-point scan must equal the
// token-by-token scan, and the outline build must stay inside the text and
// link only nodes that exist.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/sv_string.h"
#include "outline/key_points.h"
#include "outline/outline_model.h"
#include "fuzz/fuzz_check.h"

namespace {

void checkLinks(const NodeMarrow_Array_c& nodes) {
  for (int32_t i = 0; i < nodes.count(); ++i) {
    const OutlineNode& node = nodes[i];
    for (int32_t link : {node.parent, node.firstChild, node.nextSibling}) {
      check(link == kNoNode || (link >= 0 && link < nodes.count()));
    }
    check(node.nodeIndex == i);
    check(nodes.caption(i, 1) != nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // The text as the viewer scans it: the bytes, "\r\n", and a zero byte.
  SVString text;
  if (text.append(reinterpret_cast<const char*>(data), static_cast<int64_t>(size)) != 0) return 0;
  if (text.append("\r\n", 2) != 0) return 0;

  KeyPoints_c fast;
  KeyPoints_c reference;
  scanKeyPoints(fast, text);
  scanKeyPointsReference(reference, text.c_str(), text.length());
  check(fast.count() == reference.count());
  check(fast.count() == 0 || std::memcmp(&fast[0], &reference[0], sizeof(KeyPoint) * fast.count()) == 0);
  for (const KeyPoint& k : fast) {
    check(k.pos > 0 && k.pos <= text.length());
    check(k.queryStart >= 0 && k.queryStart + k.queryLength <= text.length());
    check(std::memchr(k.caption, 0, sizeof k.caption) != nullptr);
  }

  // The registrations the fast scan notes must give the outline that
  // reading the text gives.
  NodeMarrow_Array_c nodes;
  buildOutline(nodes, fast, text.c_str(), text.length());
  checkLinks(nodes);
  NodeMarrow_Array_c fromText;
  buildOutline(fromText, reference, text.c_str(), text.length());
  check(fromText.count() == nodes.count());
  for (int32_t i = 0; i < nodes.count(); ++i) {
    check(std::memcmp(&nodes[i], &fromText[i], sizeof(OutlineNode)) == 0);
    for (int which = 1; which <= 4; ++which) {
      const char* a = nodes.caption(i, which);
      const char* b = fromText.caption(i, which);
      check((a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0));
    }
  }
  return 0;
}
