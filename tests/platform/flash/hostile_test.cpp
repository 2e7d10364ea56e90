// Damaged and hostile movies: none may crash the engine, read outside its
// data, or make a frame cost without bound. The sanitizer build checks the
// memory side of every case here.

#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <random>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/samples.h"

using namespace swf;
using namespace swfwrite;
using flashtest::kTw;

namespace {

// Loads, plays, seeks and draws whatever the bytes hold.
void exercise(std::span<const uint8_t> bytes) {
  MoviePlayer player;
  if (!player.load(bytes)) {
    EXPECT_EQ(player.totalFrames(), 0);
    return;
  }
  EXPECT_GE(player.totalFrames(), 1);
  std::vector<uint32_t> pixels(64 * 48);
  Canvas canvas{pixels.data(), 64, 48, 64};
  player.render(canvas);
  for (int i = 0; i < 3; ++i) player.tick();
  player.gotoFrame(player.totalFrames() / 2);
  player.setRootProperty(kPropertyRotation, 33);
  player.zoom(37);
  player.render(canvas);
  player.gotoFrame(0);
  player.render(canvas);
}

// The FWS form of a movie with its body replaced by `body`.
std::vector<uint8_t> withBody(const std::vector<uint8_t>& fws, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(8 + body.size());
  std::copy_n(fws.begin(), 8, out.begin());
  std::copy(body.begin(), body.end(), out.begin() + 8);
  return out;
}

std::vector<uint8_t> compress(const std::vector<uint8_t>& fws) {
  std::vector<uint8_t> out(fws.begin(), fws.begin() + 8);
  out[0] = 'C';
  uLongf size = compressBound(uLong(fws.size()));
  std::vector<uint8_t> packed(size);
  ::compress(packed.data(), &size, fws.data() + 8, uLong(fws.size() - 8));
  out.insert(out.end(), packed.begin(), packed.begin() + ptrdiff_t(size));
  return out;
}

TEST(HostileMovies, EveryTruncationIsSurvived) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    auto movie = demoMovie(compressed);
    for (size_t length = 0; length < movie.size(); length += 1 + length / 16) {
      SCOPED_TRACE(length);
      // A copy of exactly `length` bytes, so that reading past it is caught.
      std::vector<uint8_t> cut(movie.begin(), movie.begin() + ptrdiff_t(length));
      exercise(cut);
    }
  }
}

TEST(HostileMovies, RandomBitFlipsAreSurvived) {
  std::mt19937 random(20261207);
  struct Source {
    const char* what;
    std::vector<uint8_t> fws;
  } sources[] = {{"demo", demoMovie(false)}, {"busy", busyMovie(12, 3, false)}};
  for (const auto& source : sources) {
    SCOPED_TRACE(source.what);
    for (int round = 0; round < 150; ++round) {
      SCOPED_TRACE(round);
      std::vector<uint8_t> mutant = source.fws;
      int flips = 1 + int(random() % 8);
      for (int i = 0; i < flips; ++i) {
        size_t at = 8 + random() % (mutant.size() - 8);  // keep the signature
        mutant[at] ^= uint8_t(1u << (random() % 8));
      }
      exercise(mutant);
      if (round % 5 == 0) exercise(compress(mutant));  // the same damage behind zlib
    }
  }
}

TEST(HostileMovies, RandomBytesAfterAValidHeaderAreSurvived) {
  std::mt19937 random(7);
  auto fws = flashtest::whiteMovie().finish();
  std::vector<uint8_t> header(fws.begin() + 8, fws.begin() + 20);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> body = header;
    size_t length = random() % 300;
    for (size_t i = 0; i < length; ++i) body.push_back(uint8_t(random()));
    exercise(withBody(fws, body));
  }
}

// Crafted movies that claim much more than they hold.
TEST(HostileMovies, ClaimsBeyondTheDataAreBounded) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  {
    // A tag whose long length says 4 GB.
    auto fws = flashtest::whiteMovie().finish();
    std::vector<uint8_t> body(fws.begin() + 8, fws.begin() + 20);
    for (uint8_t b : {0x3F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2}) body.push_back(b);
    cases.push_back({"tag longer than the file", withBody(fws, body)});
  }
  {
    // A shape whose style count says 65535 but holds one.
    auto movie = flashtest::whiteMovie();
    BitWriter w;
    w.u16(1);
    w.rect(0, 100, 0, 100);
    w.u8(0xFF);
    w.u16(0xFFFF);
    w.u8(0);
    w.rgb({1, 2, 3});
    movie.tag(22, w.take());
    movie.placeObject2({.depth = 1, .characterId = 1});
    movie.showFrame();
    cases.push_back({"style count beyond the data", movie.finish()});
  }
  {
    // Coordinates at the edge of what 31 bits hold, and a gradient squeezed to nothing.
    auto movie = flashtest::whiteMovie();
    ShapeBuilder s;
    int g = s.addLinearGradient(Matrix::scaling(0, 0), {{0, {1, 2, 3, 255}}, {255, {4, 5, 6, 255}}});
    int line = s.addLineStyle(65535, {0, 0, 0, 255});
    s.setFill1(g);
    s.setLine(line);
    s.moveTo(-(1 << 29), -(1 << 29));
    s.lineTo((1 << 29), -(1 << 29));
    s.curveTo((1 << 29), (1 << 29), -(1 << 29), (1 << 29));
    s.lineTo(-(1 << 29), -(1 << 29));
    movie.defineShape(1, s);
    movie.placeObject2({.depth = 1, .characterId = 1, .matrix = Matrix{1000, 0, 0, 1000, 0, 0}});
    movie.showFrame();
    cases.push_back({"huge coordinates", movie.finish()});
  }
  {
    // 65535 depths of one shape on one frame, and 2000 empty frames.
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, flashtest::rectShape(0, 0, 240, 180, {9, 9, 9, 128}));
    for (int d = 1; d <= 65535; d += 7) movie.placeObject2({.depth = uint16_t(d), .characterId = 1});
    for (int f = 0; f < 2000; ++f) movie.showFrame();
    cases.push_back({"thousands of objects and frames", movie.finish()});
  }
  {
    // Sprites nested in a binary tree through themselves.
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, flashtest::rectShape(0, 0, 240, 180, {9, 9, 9, 128}));
    TagStream sprite;
    sprite.placeObject2({.depth = 1, .characterId = 1});
    sprite.placeObject2({.depth = 2, .characterId = 2});
    sprite.placeObject2({.depth = 3, .characterId = 2});
    sprite.showFrame();
    sprite.showFrame();
    movie.defineSprite(2, sprite);
    movie.placeObject2({.depth = 1, .characterId = 2});
    movie.showFrame();
    cases.push_back({"self-nesting sprites", movie.finish()});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto start = std::chrono::steady_clock::now();
    exercise(c.file);
    // Not a timing assertion: a guard that the case finished at all within reason.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(2));
  }
}

}  // namespace
