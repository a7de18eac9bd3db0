#include "app/window_fit.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FitWindow, ShrinksToTheAreaAndCentresTheFrame) {
  struct Case {
    int32_t width, height;
    PixelRect area;
    int32_t frameWidth, frameHeight;
    PixelRect expected;
  };
  const Case cases[] = {
      // The default size on a large screen: kept, centred with its frame.
      {1194, 806, {0, 0, 1920, 1080}, 10, 30, {358, 122, 1194, 806}},
      // A small screen: the frame fills the area, title bar at its top.
      {1194, 806, {0, 24, 1024, 576}, 10, 30, {0, 24, 1014, 546}},
      // A panel at the left and a screen to the right of another.
      {800, 600, {1920 + 64, 0, 1280 - 64, 1024}, 0, 0, {1920 + 64 + 208, 212, 800, 600}},
      // Stored sizes far beyond any screen.
      {INT32_MAX, INT32_MAX, {0, 0, 1280, 800}, 8, 28, {0, 0, 1272, 772}},
      // An area smaller than the frame: one pixel, never above the area.
      {500, 500, {0, 10, 5, 5}, 8, 28, {0, 10, 1, 1}},
      {0, -3, {0, 0, 800, 600}, 0, 0, {399, 299, 1, 1}},
  };
  for (const Case& c : cases) {
    const PixelRect r = fitWindow(c.width, c.height, c.area, c.frameWidth, c.frameHeight);
    EXPECT_EQ(r.left, c.expected.left) << c.width << "x" << c.height;
    EXPECT_EQ(r.top, c.expected.top) << c.width << "x" << c.height;
    EXPECT_EQ(r.width, c.expected.width) << c.width << "x" << c.height;
    EXPECT_EQ(r.height, c.expected.height) << c.width << "x" << c.height;
  }
}

}  // namespace
