#include "app/window_fit.h"

#include <algorithm>

namespace {

int32_t largestClient(int32_t areaExtent, int32_t frameExtent) {
  return std::max<int32_t>(1, areaExtent - std::max<int32_t>(0, frameExtent));
}

// The start of an extent of `size` centred in [start, start + extent),
// never before `start`. In 64 bits: the area may lie anywhere.
int32_t centred(int32_t start, int32_t extent, int32_t size) {
  const int64_t offset = (static_cast<int64_t>(extent) - size) / 2;
  return static_cast<int32_t>(start + std::max<int64_t>(0, offset));
}

}  // namespace

int32_t largestClientWidth(const PixelRect& area, int32_t frameWidth) {
  return largestClient(area.width, frameWidth);
}

int32_t largestClientHeight(const PixelRect& area, int32_t frameHeight) {
  return largestClient(area.height, frameHeight);
}

PixelRect fitWindow(int32_t width, int32_t height, const PixelRect& area, int32_t frameWidth,
                    int32_t frameHeight) {
  frameWidth = std::max<int32_t>(0, frameWidth);
  frameHeight = std::max<int32_t>(0, frameHeight);
  PixelRect place;
  place.width = std::clamp<int32_t>(width, 1, largestClientWidth(area, frameWidth));
  place.height = std::clamp<int32_t>(height, 1, largestClientHeight(area, frameHeight));
  place.left = centred(area.left, area.width, place.width + frameWidth);
  place.top = centred(area.top, area.height, place.height + frameHeight);
  return place;
}
