#include <gtest/gtest.h>

#include "platform/flash/movieplayer.h"
#include "platform/flash/swfvideo.h"
#include "tests/platform/flash/flashtest.h"

using namespace swf;
using namespace swfwrite;
using flashtest::colorDistance;
using flashtest::kTw;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kNothing = kWhite;  // the stage shows through
constexpr uint32_t kFrameColors[] = {0xE07828, 0x28A096, 0x7030B0};
constexpr int kVideoWidth = 32, kVideoHeight = 24;
constexpr int kLeft = 20, kTop = 30;
constexpr int kTolerance = 8;  // coding and colour conversion each round a little

Image flatPicture(uint32_t rgb) {
  return {kVideoWidth, kVideoHeight, std::vector<uint32_t>(size_t(kVideoWidth) * kVideoHeight, 0xFF000000u | rgb)};
}

std::vector<std::vector<uint8_t>> encodedFrames() {
  std::vector<Image> pictures;
  for (uint32_t c : kFrameColors) pictures.push_back(flatPicture(c));
  return encodeSorensonVideo(pictures);
}

struct VideoCase {
  const char* name;
  VideoStream stream;
  bool damaged;                    // frames of noise instead of the encoded ones
  std::vector<uint16_t> ratios;    // one movie frame each, the video moved to that ratio
  std::vector<uint32_t> expected;  // inside the stream's box after each movie frame
};

const VideoCase kCases[] = {
    {"each ratio shows its frame, back and forth",
     {3, kVideoWidth, kVideoHeight},
     false,
     {0, 2, 1, 0, 2},
     {kFrameColors[0], kFrameColors[2], kFrameColors[1], kFrameColors[0], kFrameColors[2]}},
    {"a ratio past the data shows the last frame before it",
     {9, kVideoWidth, kVideoHeight},
     false,
     {7},
     {kFrameColors[2]}},
    {"frames stretch over the stream's size",
     {3, kVideoWidth * 3, kVideoHeight * 2, true},
     false,
     {1},
     {kFrameColors[1]}},
    {"damaged frames draw nothing", {3, kVideoWidth, kVideoHeight}, true, {0, 2}, {kNothing, kNothing}},
    {"an unknown codec draws nothing", {3, kVideoWidth, kVideoHeight, false, 9}, false, {0}, {kNothing}},
};

TEST(Video, PlacementsShowTheFrameOfTheirRatio) {
  auto frames = encodedFrames();
  ASSERT_EQ(frames.size(), 3u);
  for (const VideoCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie();
    movie.defineVideoStream(1, c.stream);
    for (uint16_t i = 0; i < frames.size(); ++i)
      movie.videoFrame(1, i, c.damaged ? std::vector<uint8_t>(frames[i].size(), uint8_t(0x5A + i)) : frames[i]);
    for (size_t i = 0; i < c.ratios.size(); ++i) {
      Placement place{.depth = 1, .move = i > 0, .ratio = c.ratios[i]};
      if (i == 0) {
        place.characterId = 1;
        place.matrix = Matrix{1, 0, 0, 1, float(kLeft * kTw), float(kTop * kTw)};
      }
      movie.placeObject2(place);
      movie.showFrame();
    }
    MoviePlayer player;
    ASSERT_TRUE(player.load(movie.finish()));
    for (size_t i = 0; i < c.expected.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "movie frame " << i);
      if (i > 0) player.tick();
      auto picture = flashtest::render(player, 240, 180);
      int right = kLeft + c.stream.width - 1, bottom = kTop + c.stream.height - 1;
      for (auto [x, y] : {std::pair{kLeft, kTop}, {right, bottom}, {(kLeft + right) / 2, (kTop + bottom) / 2}})
        EXPECT_LE(colorDistance(picture.at(x, y), c.expected[i]), kTolerance) << x << "," << y;
      EXPECT_EQ(picture.at(right + 1, bottom + 1), kWhite);
      EXPECT_EQ(picture.at(kLeft - 1, kTop - 1), kWhite);
    }
  }
}

TEST(Video, KeyFramesAreToldFromTheirHeaders) {
  auto frames = encodedFrames();
  ASSERT_EQ(frames.size(), 3u);
  struct Row {
    const char* name;
    uint8_t codec;
    std::vector<uint8_t> data;
    bool key;
  };
  const Row rows[] = {
      {"H.263 intra picture", 2, frames[0], true},
      {"H.263 predicted picture", 2, frames[1], false},
      {"H.263 without its start code", 2, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false},
      {"H.263 cut short", 2, {0x00, 0x00}, false},
      {"VP6 intra frame", 4, {0x64, 0x30}, true},
      {"VP6 inter frame", 4, {0xE4, 0x30}, false},
      {"VP6 with alpha skips its alpha offset", 5, {0xFF, 0xFF, 0xFF, 0x64}, true},
      {"VP6 with alpha, inter", 5, {0x00, 0x00, 0x00, 0xE4}, false},
      {"VP6 with alpha, no frame after the offset", 5, {0x00, 0x00, 0x00}, false},
      {"nothing", 4, {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(isVideoKeyFrame(row.codec, row.data), row.key);
  }
}

}  // namespace
