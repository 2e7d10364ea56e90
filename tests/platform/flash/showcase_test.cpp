#include <gtest/gtest.h>

#include <set>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/samples.h"

using namespace swf;

namespace {

constexpr uint32_t kMagenta = 0xFF00FF;

// Pixels within a small distance of the colour of the frames that must never show.
int warnings(const flashtest::Picture& p) {
  int n = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) n += flashtest::colorDistance(p.at(x, y), kMagenta) < 40;
  return n;
}

TEST(Showcase, HoldsAPictureOfEveryKind) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    MovieReadStatus status{};
    auto movie = readMovie(swfwrite::showcaseMovie(compressed), &status);
    ASSERT_TRUE(movie);
    EXPECT_TRUE(movie->complete);
    EXPECT_EQ(movie->header.frameRect.width(), 240 * 20);
    EXPECT_EQ(movie->header.frameRect.height(), 320 * 20);
    struct Row {
      uint16_t id;
      int width, height;
      bool opaque;
    } rows[] = {{100, 16, 16, true}, {101, 32, 32, false}, {102, 64, 64, false}, {103, 64, 48, true}};
    for (const Row& r : rows) {
      SCOPED_TRACE(r.id);
      const Character* c = movie->character(r.id);
      ASSERT_TRUE(c);
      ASSERT_EQ(c->kind, CharacterKind::Bitmap);
      ASSERT_TRUE(c->bitmap);
      EXPECT_EQ(c->bitmap->width, r.width);
      EXPECT_EQ(c->bitmap->height, r.height);
      EXPECT_EQ(c->bitmap->opaque, r.opaque);
    }
  }
}

TEST(Showcase, ItsActionsSkipEveryFrameThatMustNotShowAndLoopTheScene) {
  MoviePlayer player;
  ASSERT_TRUE(player.load(swfwrite::showcaseMovie(true)));
  ASSERT_EQ(player.totalFrames(), 64);
  ASSERT_EQ(player.findLabel("scene"), 16);
  std::vector<int> shown;
  for (int i = 0; i < 12 + 2 * 46 + 1; ++i) {
    shown.push_back(player.currentFrame());
    if (i % 3 == 0) {  // every third frame keeps the test quick under the sanitizers
      SCOPED_TRACE(player.currentFrame());
      EXPECT_EQ(warnings(flashtest::render(player, 240, 320)), 0);
    }
    player.tick();
  }
  std::vector<int> expected;
  for (int f = 0; f < 12; ++f) expected.push_back(f);
  for (int loop = 0; loop < 2; ++loop)
    for (int f = 16; f < 63; ++f)
      if (f != 40) expected.push_back(f);
  expected.push_back(16);
  EXPECT_EQ(shown, expected);
  EXPECT_TRUE(player.playing());
}

TEST(Showcase, TheCurtainOpensOnTheScene) {
  MoviePlayer player;
  ASSERT_TRUE(player.load(swfwrite::showcaseMovie(false)));
  auto brightness = [](const flashtest::Picture& p) {
    long sum = 0;
    for (uint32_t c : p.pixels) sum += (c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF);
    return sum / long(p.pixels.size());
  };
  long previous = -1;
  for (int f = 0; f < 13; ++f) {
    SCOPED_TRACE(f);
    long now = brightness(flashtest::render(player, 240, 320));
    EXPECT_GT(now, previous);
    previous = now;
    player.tick();
  }
  // Open: the moon's face is light grey and the painting's corner is one colour of its swirl.
  flashtest::Picture p = flashtest::render(player, 240, 320);
  uint32_t moon = p.at(196, 46);
  EXPECT_GT(moon >> 16 & 0xFF, 150u);
  EXPECT_LT(flashtest::colorDistance(moon, (moon >> 16 & 0xFF) * 0x010101u), 30);
  std::set<uint32_t> painting;
  for (int x = 170; x < 220; x += 5) painting.insert(p.at(x, 262) & 0xF0F0F0);
  EXPECT_GT(painting.size(), 4u) << "a swirl of colours, not one colour";
}

}  // namespace
