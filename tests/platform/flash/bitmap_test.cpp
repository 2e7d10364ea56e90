// Pictures as bitmap fills: every lossless pixel format, JPEG pictures with
// and without alpha, how a fill meets the picture's edges, and pictures that
// are damaged or claim more than a movie may hold.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/flash/movieplayer.h"
#include "platform/flash/swfbitmap.h"
#include "tests/platform/flash/flashtest.h"

using namespace swf;
using namespace swfwrite;
using flashtest::colorDistance;
using flashtest::kTw;
using flashtest::Picture;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kMissing = 0xFFFFFF;  // a missing picture draws nothing over the white stage
constexpr int kCell = 10;                // screen pixels per picture pixel

// A 4 x 2 picture whose colours survive 15-bit storage.
Image smallPicture(bool withAlpha) {
  Image image{4, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848484, 0xFFFF00FF, 0xFF00FFFF}};
  if (withAlpha) {
    image.pixels[5] = 0x80FF0000;  // half transparent red
    image.pixels[7] = 0x00000000;  // fully transparent
  }
  return image;
}

// What a straight colour with alpha becomes over white.
uint32_t overWhite(uint32_t argb) {
  unsigned a = argb >> 24;
  uint32_t out = 0;
  for (int shift : {0, 8, 16}) out |= (((argb >> shift) & 0xFF) * a / 255 + 255 * (255 - a) / 255) << shift;
  return out;
}

// Draws a rectangle at (20, 20) of `cellsWide` x `cellsHigh` cells of kCell
// pixels, filled with bitmap 1 at one cell a picture pixel.
Picture showBitmap(MovieWriter movie, int cellsWide, int cellsHigh, BitmapEdges edges = BitmapEdges::Repeated,
                   std::optional<ColorTransform> cx = std::nullopt, BitmapSampling sampling = BitmapSampling::Nearest) {
  ShapeBuilder s;
  Matrix scale = Matrix::translation(20 * kTw, 20 * kTw) * Matrix::scaling(kCell * kTw, kCell * kTw);
  int fill = s.addBitmapFill(1, scale, edges, sampling);
  s.rectangle(20 * kTw, 20 * kTw, cellsWide * kCell * kTw, cellsHigh * kCell * kTw, fill);
  movie.defineShape(2, s);
  movie.placeObject2({.depth = 1, .characterId = 2, .colorTransform = cx});
  movie.showFrame();
  MoviePlayer player;
  EXPECT_TRUE(player.load(movie.finish()));
  return flashtest::render(player, 240, 180);
}

uint32_t cellColor(const Picture& p, int column, int row) {
  return p.at(20 + column * kCell + kCell / 2, 20 + row * kCell + kCell / 2);
}

TEST(Bitmaps, EveryLosslessFormatShowsItsPixels) {
  struct Case {
    const char* name;
    Lossless format;
    bool withAlpha;
  } cases[] = {
      {"colour-mapped", Lossless::ColorMapped, false},
      {"colour-mapped with alpha", Lossless::ColorMapped, true},
      {"15-bit", Lossless::Rgb15, false},
      {"24-bit", Lossless::Rgb32, false},
      {"ARGB", Lossless::Rgb32, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = smallPicture(c.withAlpha);
    auto movie = flashtest::whiteMovie();
    ASSERT_TRUE(movie.defineBitsLossless(1, image, c.format, c.withAlpha));
    Picture p = showBitmap(movie, 4, 2);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
        uint32_t expected = overWhite(image.pixels[size_t(y * 4 + x)]);
        EXPECT_LE(colorDistance(cellColor(p, x, y), expected), 2);
      }
    }
    EXPECT_EQ(p.at(19, 19), kWhite);  // the fill stays inside its shape
    EXPECT_EQ(p.at(20 + 4 * kCell, 25), kWhite);
  }
}

TEST(Bitmaps, AFillRepeatsThePictureOrExtendsItsEdges) {
  Image image{2, 1, {0xFFFF0000, 0xFF0000FF}};
  for (BitmapEdges edges : {BitmapEdges::Repeated, BitmapEdges::Clipped}) {
    bool repeated = edges == BitmapEdges::Repeated;
    SCOPED_TRACE(repeated ? "repeated" : "clipped");
    auto movie = flashtest::whiteMovie();
    ASSERT_TRUE(movie.defineBitsLossless(1, image, Lossless::Rgb32, false));
    Picture p = showBitmap(movie, 5, 2, edges);
    EXPECT_EQ(cellColor(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(cellColor(p, 1, 0), 0x0000FFu);
    EXPECT_EQ(cellColor(p, 2, 0), repeated ? 0xFF0000u : 0x0000FFu);
    EXPECT_EQ(cellColor(p, 4, 0), repeated ? 0xFF0000u : 0x0000FFu);
    EXPECT_EQ(cellColor(p, 1, 1), 0x0000FFu);  // below: the only row again either way
  }
}

TEST(Bitmaps, SmoothedFillsBlendBetweenPixelsAndNearestOnesDoNot) {
  Image image{2, 1, {0xFFFF0000, 0xFF0000FF}};
  auto movie = flashtest::whiteMovie();
  ASSERT_TRUE(movie.defineBitsLossless(1, image, Lossless::Rgb32, false));
  Picture nearest = showBitmap(movie, 4, 1, BitmapEdges::Clipped);
  Picture smooth = showBitmap(movie, 4, 1, BitmapEdges::Clipped, std::nullopt, BitmapSampling::Smoothed);
  // Columns 29 and 30 meet where the picture's two pixels do.
  EXPECT_EQ(nearest.at(29, 25), 0xFF0000u);
  EXPECT_EQ(nearest.at(30, 25), 0x0000FFu);
  for (int x : {29, 30}) {
    SCOPED_TRACE(x);
    uint32_t c = smooth.at(x, 25);
    EXPECT_GT(c >> 16, 0x60u) << "red and blue mix";
    EXPECT_LT(c >> 16, 0xA0u);
    EXPECT_GT(c & 0xFF, 0x60u);
    EXPECT_LT(c & 0xFF, 0xA0u);
  }
  // At the pixels' centres and beyond the clipped edges the colours are whole.
  EXPECT_LE(colorDistance(smooth.at(25, 25), 0xFF0000), 30);
  EXPECT_LE(colorDistance(smooth.at(35, 25), 0x0000FF), 30);
  EXPECT_EQ(smooth.at(21, 25), 0xFF0000u);
  EXPECT_EQ(smooth.at(55, 25), 0x0000FFu);
}

TEST(Bitmaps, ColourTransformsReachPictures) {
  auto movie = flashtest::whiteMovie();
  ASSERT_TRUE(movie.defineBitsLossless(1, smallPicture(false), Lossless::Rgb32, false));
  // Red dropped, blue raised by 64.
  Picture p = showBitmap(movie, 4, 2, BitmapEdges::Repeated, ColorTransform{0, 256, 256, 256, 0, 0, 64, 0});
  EXPECT_EQ(cellColor(p, 0, 0), 0x000040u);  // red
  EXPECT_EQ(cellColor(p, 1, 0), 0x00FF40u);  // green
  EXPECT_EQ(cellColor(p, 0, 1), 0x00FFFFu);  // white
}

// A 16 x 16 picture of four coloured quarters.
Image quarters() {
  Image image{16, 16, std::vector<uint32_t>(256)};
  const uint32_t colours[4] = {0xFFE00000, 0xFF00C000, 0xFF0000E0, 0xFFE0E000};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) image.pixels[size_t(y * 16 + x)] = colours[(y / 8) * 2 + x / 8];
  return image;
}

// The DQT and DHT segments of a JPEG as a tables stream, and the rest as
// the picture, the way DefineBits and JPEGTables split them.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> splitTables(const std::vector<uint8_t>& jpeg) {
  std::vector<uint8_t> tables{0xFF, 0xD8}, picture{0xFF, 0xD8};
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i + 1] != 0xDA) {
    size_t end = i + 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    auto& to = jpeg[i + 1] == 0xDB || jpeg[i + 1] == 0xC4 ? tables : picture;
    to.insert(to.end(), jpeg.begin() + ptrdiff_t(i), jpeg.begin() + ptrdiff_t(end));
    i = end;
  }
  picture.insert(picture.end(), jpeg.begin() + ptrdiff_t(i), jpeg.end());
  tables.insert(tables.end(), {0xFF, 0xD9});
  return {tables, picture};
}

TEST(Bitmaps, JpegPicturesInEveryTagThatHoldsThem) {
  Image image = quarters();
  std::vector<uint8_t> jpeg = encodeJpeg(image);
  ASSERT_FALSE(jpeg.empty());
  std::vector<uint8_t> prefixed{0xFF, 0xD9, 0xFF, 0xD8};
  prefixed.insert(prefixed.end(), jpeg.begin(), jpeg.end());
  const auto split = splitTables(jpeg);  // tables, then the picture
  ASSERT_GT(split.first.size(), 4u);
  std::vector<uint8_t> opaque(256, 255), leftClear(256, 255);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 8; ++x) leftClear[size_t(y * 16 + x)] = 0;

  struct Case {
    const char* name;
    std::function<void(MovieWriter&)> define;
    bool leftShown;
  } cases[] = {
      {"JPEG2", [&](MovieWriter& m) { m.defineBitsJpeg2(1, jpeg); }, true},
      {"JPEG2 after an extra marker pair", [&](MovieWriter& m) { m.defineBitsJpeg2(1, prefixed); }, true},
      {"JPEG3 opaque", [&](MovieWriter& m) { m.defineBitsJpeg3(1, jpeg, opaque); }, true},
      {"JPEG3 with a clear left half", [&](MovieWriter& m) { m.defineBitsJpeg3(1, jpeg, leftClear); }, false},
      {"DefineBits with JPEGTables",
       [&](MovieWriter& m) {
         m.jpegTables(split.first);
         m.defineBits(1, split.second);
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie();
    c.define(movie);
    // One picture pixel to one screen pixel: the rectangle is 16 x 16 at (20, 20).
    ShapeBuilder s;
    int fill = s.addBitmapFill(1, Matrix::translation(20 * kTw, 20 * kTw) * Matrix::scaling(kTw, kTw));
    s.rectangle(20 * kTw, 20 * kTw, 16 * kTw, 16 * kTw, fill);
    movie.defineShape(2, s);
    movie.placeObject2({.depth = 1, .characterId = 2});
    movie.showFrame();
    MoviePlayer player;
    ASSERT_TRUE(player.load(movie.finish(true)));
    Picture p = flashtest::render(player, 240, 180);
    EXPECT_LE(colorDistance(p.at(24, 24), c.leftShown ? 0xE00000 : kWhite), 12);
    EXPECT_LE(colorDistance(p.at(31, 24), 0x00C000), 12);
    EXPECT_LE(colorDistance(p.at(24, 31), c.leftShown ? 0x0000E0 : kWhite), 12);
    EXPECT_LE(colorDistance(p.at(31, 31), 0xE0E000), 12);
    EXPECT_EQ(p.at(37, 28), kWhite);
  }
}

// Raw tag bodies that no writer should make.
std::vector<uint8_t> losslessBody(uint8_t format, uint16_t width, uint16_t height, std::vector<uint8_t> data,
                                  uint8_t id = 1) {
  std::vector<uint8_t> body{id, 0, format, uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8)};
  body.insert(body.end(), data.begin(), data.end());
  return body;
}

TEST(Bitmaps, DamagedOrOversizedPicturesShowAsMissing) {
  // A stored (uncompressed) zlib block of four bytes: one 24-bit pixel.
  const std::vector<uint8_t> onePixel{0x78, 0x01, 0x01, 0x04, 0x00, 0xFB, 0xFF, 0, 0xFF, 0, 0, 0x00, 0x00, 0x00, 0x00};
  struct Case {
    const char* name;
    uint16_t code;
    std::vector<uint8_t> body;
    bool shown;
  } cases[] = {
      {"one good pixel", 20, losslessBody(5, 1, 1, onePixel), true},
      {"not zlib", 20, losslessBody(5, 1, 1, {1, 2, 3, 4, 5, 6}), false},
      {"unknown format", 20, losslessBody(7, 1, 1, onePixel), false},
      {"15-bit with alpha", 36, losslessBody(4, 1, 1, onePixel), false},
      {"no size", 20, losslessBody(5, 0, 1, onePixel), false},
      {"beyond what a movie may hold", 20, losslessBody(5, 8000, 4000, onePixel), false},
      {"a JPEG that is only a header",
       21,
       {1, 0, 0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0x20, 0, 0x20, 0, 1, 1, 0x11, 0},
       false},
      {"a JPEG claiming a huge picture",
       21,
       {1, 0, 0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0x7F, 0xFF, 0x7F, 0xFF, 1, 1, 0x11, 0},
       false},
      {"nothing after the id", 35, {1, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie();
    movie.tag(c.code, c.body);
    Picture p = showBitmap(movie, 2, 2);
    EXPECT_EQ(cellColor(p, 0, 0), c.shown ? 0xFF0000u : kMissing);
  }
}

TEST(Bitmaps, PicturesOfOneMovieShareOneBudget) {
  // Pictures of a quarter of the budget each: four fit, and then nothing
  // more does. Their data is cut short, which leaves them transparent.
  constexpr uint16_t kSide = 2048;
  static_assert(size_t(kSide) * kSide * 4 == kMaxBitmapPixelsPerMovie);
  const std::vector<uint8_t> onePixel{0x78, 0x01, 0x01, 0x04, 0x00, 0xFB, 0xFF, 0, 0xFF, 0, 0};
  for (int big : {3, 4}) {
    SCOPED_TRACE(big);
    auto movie = flashtest::whiteMovie();
    for (int i = 0; i < big; ++i) movie.tag(20, losslessBody(5, kSide, kSide, onePixel, uint8_t(10 + i)));
    ASSERT_TRUE(movie.defineBitsLossless(1, Image{1, 1, {0xFFFF0000}}, Lossless::Rgb32, false));
    EXPECT_EQ(cellColor(showBitmap(movie, 1, 1), 0, 0), big == 3 ? 0xFF0000u : kMissing);
  }
}

TEST(JpegStreams, TablesAndPictureAreJoinedIntoOneStream) {
  using Bytes = std::vector<uint8_t>;
  const Bytes dqt{0xFF, 0xDB, 0x00, 0x04, 0xAA, 0xBB};
  const Bytes sos{0xFF, 0xDA, 0x00, 0x02, 0x12, 0xFF, 0xD9};
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const Bytes soi{0xFF, 0xD8}, eoi{0xFF, 0xD9};
  struct Case {
    const char* name;
    Bytes in, out;
  } cases[] = {
      {"one stream stays as it is", cat({soi, dqt, sos}), cat({soi, dqt, sos})},
      {"the marker pair in front goes", cat({eoi, soi, soi, dqt, sos}), cat({soi, dqt, sos})},
      {"a marker pair in front without its own start", cat({eoi, soi, dqt, sos}), cat({soi, dqt, sos})},
      {"tables and picture become one", cat({soi, dqt, eoi, soi, sos}), cat({soi, dqt, sos})},
      {"a segment longer than the data ends the walk", cat({soi, {0xFF, 0xDB, 0x01, 0x00, 1}}),
       cat({soi, {0xFF, 0xDB, 0x01, 0x00, 1}})},
      {"nothing", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(joinJpegStreams(c.in), c.out);
  }
  PictureSize size;
  joinJpegStreams(cat({soi, {0xFF, 0xC0, 0x00, 0x0B, 8, 0x01, 0x02, 0x03, 0x04, 1, 1, 0x11, 0}, sos}), &size);
  EXPECT_EQ(size.height, 0x0102);
  EXPECT_EQ(size.width, 0x0304);
}

}  // namespace
