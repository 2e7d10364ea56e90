#pragma once
// Helpers of the Flash engine tests: a movie rendered into memory and read
// back pixel by pixel.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/swfwriter.h"

namespace flashtest {

constexpr int kTw = 20;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF; }
  uint32_t argbAt(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  // Pixels of exactly `rgb` in the rectangle [x0, x1) x [y0, y1).
  int count(uint32_t rgb, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) const;
};

inline Picture render(swf::MoviePlayer& player, int width, int height) {
  Picture p{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  player.render({p.pixels.data(), width, height, width});
  return p;
}

inline uint32_t rgb(swf::Rgba c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// A channel-wise distance between two 0xRRGGBB colours.
int colorDistance(uint32_t a, uint32_t b);

// Loads `movie` and plays it for `frames` frames; the lines its scripts traced.
std::vector<std::string> traceLines(swfwrite::MovieWriter& movie, int frames = 1);

// A movie of `width` x `height` pixels with a white background.
swfwrite::MovieWriter whiteMovie(int width = 240, int height = 180, float rate = 12);

// A rectangle shape in pixels, filled with `color`.
swfwrite::ShapeBuilder rectShape(int x, int y, int width, int height, swf::Rgba color);

}  // namespace flashtest
