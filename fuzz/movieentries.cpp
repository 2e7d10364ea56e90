#include <vector>

#include "fuzz/fuzzentries.h"
#include "platform/flash/movieplayer.h"

int fuzzMovieLoader(const std::uint8_t* data, std::size_t size) {
  swf::MoviePlayer player;
  if (!player.load(std::span<const std::uint8_t>(data, size))) {
    if (player.hasMovie() || player.totalFrames() != 0) std::abort();
    return 0;
  }
  // A few frames of play, drawn small and turned, so that the timeline,
  // the display list and the rasteriser all see what the stream built.
  constexpr int kWidth = 64, kHeight = 48;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  swf::Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
  player.setRootProperty(swf::kPropertyRotation, 30);
  for (int frame = 0; frame < 4; ++frame) {
    player.render(canvas);
    player.tick();
  }
  if (player.currentFrame() < 0 || player.currentFrame() >= player.totalFrames()) std::abort();
  return 0;
}
