#include "tests/platform/flash/flashtest.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace flashtest {

int Picture::count(uint32_t color, int x0, int y0, int x1, int y1) const {
  if (x1 < 0) x1 = width;
  if (y1 < 0) y1 = height;
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += at(x, y) == color;
  return n;
}

int colorDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  return d;
}

std::vector<std::string> traceLines(swfwrite::MovieWriter& movie, int frames) {
  swf::MoviePlayer player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  EXPECT_TRUE(player.load(movie.finish()));
  for (int i = 1; i < frames; ++i) player.tick();
  return lines;
}

swfwrite::MovieWriter whiteMovie(int width, int height, float rate) {
  swfwrite::MovieWriter movie(width, height, rate);
  movie.setBackground({255, 255, 255, 255});
  return movie;
}

swfwrite::ShapeBuilder rectShape(int x, int y, int width, int height, swf::Rgba color) {
  swfwrite::ShapeBuilder shape;
  int fill = shape.addSolidFill(color);
  shape.rectangle(x * kTw, y * kTw, width * kTw, height * kTw, fill);
  return shape;
}

}  // namespace flashtest
