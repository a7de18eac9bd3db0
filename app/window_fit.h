// Where the main window goes on the screen: its size shrunk to the
// screen's usable area and its frame centred there, the title bar never
// above the area's top.
#pragma once

#include <cstdint>

struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// The window for a client area of width × height on `area` (the screen
// without panels), when the frame adds frameWidth × frameHeight around the
// client area (borders and title bar): the client size shrunk so that the
// frame fits the area, and the frame's top-left corner that centres it
// there. Never left of or above the area, so the title bar stays on it.
// Sizes are at least 1.
PixelRect fitWindow(int32_t width, int32_t height, const PixelRect& area, int32_t frameWidth,
                    int32_t frameHeight);

// The largest client size a window with that frame can have on `area`.
int32_t largestClientWidth(const PixelRect& area, int32_t frameWidth);
int32_t largestClientHeight(const PixelRect& area, int32_t frameHeight);
