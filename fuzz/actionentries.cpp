#include <algorithm>
#include <vector>

#include "fuzz/fuzzentries.h"
#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/swfwriter.h"

// The first byte picks the movie's version (4 to 11); the rest is one action
// block, run as the script of two frames, of a sprite placed on them and of
// its DoInitAction, under small bounds so that a run stays short.
int fuzzActionBlock(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  uint8_t version = uint8_t(4 + data[0] % 8);
  std::vector<uint8_t> block(data + 1, data + size);
  swfwrite::MovieWriter movie(64, 48, 12, version);
  swfwrite::TagStream sprite;
  sprite.tag(12, block);
  sprite.showFrame();
  sprite.showFrame();
  movie.defineSprite(1, sprite);
  std::vector<uint8_t> init(block.size() + 2);
  init[0] = 1;  // the sprite's id
  std::copy(block.begin(), block.end(), init.begin() + 2);
  movie.tag(59, init);
  movie.placeObject2({.depth = 1, .characterId = 1, .name = std::string("clip")});
  movie.tag(12, block);
  movie.showFrame();
  movie.tag(12, block);
  movie.showFrame();
  swf::MoviePlayer player;
  player.setScriptLimits({.maxActionsPerFrame = 20000, .maxStack = 2000, .maxCallDepth = 32, .maxObjects = 20000});
  player.setTraceSink([](const std::string&) {});
  if (!player.load(movie.finish())) std::abort();
  for (int frame = 0; frame < 3; ++frame) player.tick();
  player.keyDown(39, 0);
  player.keyUp(39);
  if (player.currentFrame() < 0 || player.currentFrame() >= player.totalFrames()) std::abort();
  return 0;
}
