#pragma once
// Pixel surfaces under the drawing interface: the screen and every bitmap.
// The screen and the image library read and make them directly.

#include <cstdint>
#include <vector>

#include "platform/core/region.h"
#include "platform/core/wintypes.h"

namespace gdi {

// 32-bit pixels are 0x00RRGGBB; a monochrome surface holds 0 (black) or 1 (white).
struct Surface {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  std::vector<std::uint32_t> pixels;

  bool mono() const { return bitsPerPixel == 1; }
  std::uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
  const std::uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
};

inline std::uint32_t pixelOf(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
inline COLORREF colorOf(std::uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

// Sets `count` pixels to `value`, several at a store.
void fillPixels(std::uint32_t* pixels, size_t count, std::uint32_t value);
// `count` pixels of `value`, for a new surface.
std::vector<std::uint32_t> filledPixels(size_t count, std::uint32_t value);

// The screen's pixels, sized to the window manager's screen.
Surface& screenSurface();
// The screen areas drawn since the last call.
Region takeScreenDirty();
void markScreenDirty(const RECT& r);
// Whether the display's power escape left the screen on.
bool screenPowerOn();

// Lets the window manager erase backgrounds and paint windows without a
// paint handler of their own. Called by whoever owns the screen.
void installWindowHooks();

// A bitmap that takes over `pixels` (width x height, 32-bit or 0/1 values).
HBITMAP createBitmapFromPixels(int width, int height, bool mono, std::vector<std::uint32_t> pixels);
// The pixels of a bitmap (null for anything else).
const Surface* bitmapSurface(HBITMAP bitmap);
// The pixels of a 32-bit bitmap, rows top down, for a caller that draws into
// them itself rather than through a DC (null for anything else).
std::uint32_t* bitmapPixels(HBITMAP bitmap);

}  // namespace gdi
