#include <gtest/gtest.h>

#include <cmath>

#include "platform/flash/movieplayer.h"
#include "platform/flash/swfraster.h"
#include "tests/platform/flash/flashtest.h"

using namespace swf;
using namespace swfwrite;
using flashtest::colorDistance;
using flashtest::kTw;
using flashtest::Picture;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr Rgba kRedRgba{255, 0, 0, 255};
constexpr Rgba kBlueRgba{0, 0, 255, 255};

struct Loaded {
  MoviePlayer player;
  explicit Loaded(const MovieWriter& movie, MovieWriter::Compression compression = MovieWriter::Compression::None) {
    EXPECT_TRUE(player.load(movie.finish(compression)));
  }
  Picture picture(int width = 240, int height = 180) { return flashtest::render(player, width, height); }
};

// A movie with `shape` placed at depth 1 on its only frame.
MovieWriter oneShape(const ShapeBuilder& shape, int version = 3) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, shape, version);
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.showFrame();
  return movie;
}

TEST(Render, ASolidRectangleCoversExactlyItsPixels) {
  using C = MovieWriter::Compression;
  for (C compression : {C::None, C::Zlib, C::Lzma}) {
    SCOPED_TRACE(compression == C::None ? "FWS" : compression == C::Zlib ? "CWS" : "ZWS");
    Loaded m(oneShape(flashtest::rectShape(40, 30, 100, 50, kRedRgba)), compression);
    Picture p = m.picture();
    EXPECT_EQ(p.count(kRed), 100 * 50);
    EXPECT_EQ(p.count(kRed, 40, 30, 140, 80), 100 * 50);
    EXPECT_EQ(p.at(39, 30), kWhite);
    EXPECT_EQ(p.at(140, 79), kWhite);
    EXPECT_EQ(p.argbAt(40, 30), 0xFFFF0000u);  // opaque
  }
}

TEST(Render, EdgesBetweenPixelsAreAntiAliased) {
  auto movie = flashtest::whiteMovie();
  ShapeBuilder s;
  int black = s.addSolidFill({0, 0, 0, 255});
  s.rectangle(10 * kTw + 10, 10 * kTw, 20 * kTw, 10 * kTw + 5, black);  // x from 10.5, y to 20.25
  movie.defineShape(1, s);
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.showFrame();
  Picture p = Loaded(movie).picture();
  struct Case {
    int x, y;
    int grey;  // expected channel value
  } cases[] = {{10, 15, 128}, {11, 15, 0}, {30, 15, 127}, {31, 15, 255}, {15, 20, 191}, {15, 21, 255}, {10, 20, 223}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EXPECT_NEAR(int(p.at(c.x, c.y) & 0xFF), c.grey, 2);
  }
}

TEST(Render, ACurvedShapeFillsItsInsideOnly) {
  ShapeBuilder s;
  int fill = s.addSolidFill(kBlueRgba);
  s.ellipse(120 * kTw, 90 * kTw, 60 * kTw, 40 * kTw, fill);
  Picture p = Loaded(oneShape(s)).picture();
  int inside = 0, outside = 0, wrongInside = 0, wrongOutside = 0;
  for (int y = 0; y < 180; ++y) {
    for (int x = 0; x < 240; ++x) {
      float dx = (x + 0.5f - 120) / 60, dy = (y + 0.5f - 90) / 40;
      float r = std::sqrt(dx * dx + dy * dy);
      if (r < 0.95f) ++inside, wrongInside += p.at(x, y) != kBlue;
      if (r > 1.05f) ++outside, wrongOutside += p.at(x, y) != kWhite;
    }
  }
  EXPECT_GT(inside, 6000);
  EXPECT_EQ(wrongInside, 0);
  EXPECT_EQ(wrongOutside, 0);
  // The area within a pixel row of the true ellipse.
  EXPECT_NEAR(p.count(kBlue), 3.14159 * 60 * 40, 2 * 3.14159 * 50);
}

TEST(Render, HolesOfTheOtherFillSideStayEmpty) {
  // A square ring: the inner square has the fill on its left side (fill 0).
  ShapeBuilder s;
  int fill = s.addSolidFill(kRedRgba);
  s.rectangle(50 * kTw, 50 * kTw, 100 * kTw, 80 * kTw, fill);
  s.setFill1(0);
  s.setFill0(fill);
  s.moveTo(70 * kTw, 70 * kTw);
  s.lineTo(130 * kTw, 70 * kTw);
  s.lineTo(130 * kTw, 110 * kTw);
  s.lineTo(70 * kTw, 110 * kTw);
  s.lineTo(70 * kTw, 70 * kTw);
  Picture p = Loaded(oneShape(s)).picture();
  EXPECT_EQ(p.at(60, 60), kRed);
  EXPECT_EQ(p.at(100, 90), kWhite);
  EXPECT_EQ(p.count(kRed), 100 * 80 - 60 * 40);
}

TEST(Render, ANewStyleArrayIsALayerOverTheLinesBeforeIt) {
  // Layer 1: a black line across; layer 2: a red square over its middle, and
  // a blue line of its own over the square.
  ShapeBuilder s;
  int black = s.addLineStyle(10 * kTw, {0, 0, 0, 255});
  s.setLine(black);
  s.moveTo(20 * kTw, 90 * kTw);
  s.lineTo(220 * kTw, 90 * kTw);
  s.newStyles();
  int red = s.addSolidFill(kRedRgba);
  int blue = s.addLineStyle(4 * kTw, kBlueRgba);
  s.rectangle(100 * kTw, 60 * kTw, 40 * kTw, 60 * kTw, red);
  s.setLine(blue);
  s.moveTo(120 * kTw, 40 * kTw);
  s.lineTo(120 * kTw, 140 * kTw);
  for (int version : {2, 3, 4}) {
    SCOPED_TRACE(version);
    Picture p = Loaded(oneShape(s, version)).picture();
    EXPECT_EQ(p.at(60, 90), 0x000000u);
    EXPECT_EQ(p.at(110, 90), kRed) << "the later layer's fill covers the earlier line";
    EXPECT_EQ(p.at(120, 90), kBlue) << "each layer's lines are over its own fills";
    EXPECT_EQ(p.at(120, 50), kBlue);
  }
}

TEST(Render, GradientsRunFromTheirFirstToTheirLastColour) {
  // A linear gradient across x 20..220 and a radial one of radius 50.
  ShapeBuilder lin;
  Matrix box = Matrix::translation(120 * kTw, 90 * kTw) * Matrix::scaling(200.0f * kTw / 32768, 1);
  int l = lin.addLinearGradient(box, {{0, kRedRgba}, {255, kBlueRgba}});
  lin.rectangle(0, 0, 240 * kTw, 180 * kTw, l);
  Picture p = Loaded(oneShape(lin)).picture();
  EXPECT_EQ(p.at(5, 90), kRed);  // padded before the start
  EXPECT_LE(colorDistance(p.at(21, 90), kRed), 4);
  EXPECT_LE(colorDistance(p.at(218, 90), kBlue), 4);
  EXPECT_EQ(p.at(235, 10), kBlue);  // padded after the end
  EXPECT_LE(colorDistance(p.at(120, 90), 0x800080), 3);

  ShapeBuilder rad;
  Matrix circle =
      Matrix::translation(120 * kTw, 90 * kTw) * Matrix::scaling(100.0f * kTw / 32768, 100.0f * kTw / 32768);
  int r = rad.addRadialGradient(circle, {{0, {255, 255, 255, 255}}, {255, {0, 128, 0, 255}}});
  rad.rectangle(0, 0, 240 * kTw, 180 * kTw, r);
  Picture q = Loaded(oneShape(rad)).picture();
  EXPECT_LE(colorDistance(q.at(120, 90), kWhite), 6);
  EXPECT_EQ(q.at(120 + 60, 90), 0x008000u);
  EXPECT_EQ(q.at(120, 90 - 55), 0x008000u);
  EXPECT_LE(colorDistance(q.at(145, 90), 0x80C080), 6);  // half way out
}

TEST(Render, AFocalGradientStartsAtItsFocalPoint) {
  // Radius 50 about (120, 90), the focal point half way to the right edge:
  // a point's colour is how far it lies from there on the way to the circle.
  ShapeBuilder rad;
  Matrix circle =
      Matrix::translation(120 * kTw, 90 * kTw) * Matrix::scaling(100.0f * kTw / 32768, 100.0f * kTw / 32768);
  int r = rad.addFocalGradient(circle, {{0, {255, 255, 255, 255}}, {255, {0, 128, 0, 255}}}, 0.5f);
  rad.rectangle(0, 0, 240 * kTw, 180 * kTw, r);
  Picture q = Loaded(oneShape(rad, 4)).picture();
  struct Row {
    int x, y;
    uint32_t expected;
    const char* where;
  } rows[] = {
      {145, 90, kWhite, "the focal point"},
      {120, 90, 0xAAD5AA, "the centre: a third of the way from the focal point to the left edge"},
      {95, 90, 0x55AA55, "two thirds of the way to the left edge"},
      {165, 90, 0x2E972E, "four fifths of the short way to the right edge"},
      {60, 90, 0x008000, "outside the circle: the last colour"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.where);
    EXPECT_LE(colorDistance(q.at(row.x, row.y), row.expected), 8);
  }
}

TEST(Render, StrokesHaveTheirWidth) {
  struct Case {
    uint16_t widthTwips;
    int pixels;  // black pixels of one column
  } cases[] = {{6 * kTw, 6}, {2 * kTw, 2}, {11 * kTw, 11}, {0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.widthTwips);
    ShapeBuilder s;
    int line = s.addLineStyle(c.widthTwips, {0, 0, 0, 255});
    s.setLine(line);
    // Centred on a pixel row's middle when the width is odd.
    int y = c.pixels % 2 ? 90 * kTw + kTw / 2 : 90 * kTw;
    s.moveTo(20 * kTw, y);
    s.lineTo(220 * kTw, y);
    Picture p = Loaded(oneShape(s)).picture();
    int dark = 0, partial = 0;
    for (int row = 0; row < 180; ++row) {
      uint32_t v = p.at(120, row);
      if (v == 0)
        ++dark;
      else if (v != kWhite)
        ++partial;
    }
    EXPECT_EQ(dark, c.pixels);
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(p.at(10, 90), kWhite);  // before the start
  }
}

TEST(Render, TheDisplayListDrawsByDepth) {
  for (bool blueFirst : {false, true}) {
    SCOPED_TRACE(blueFirst ? "deeper placed first" : "in depth order");
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, flashtest::rectShape(20, 20, 100, 100, kRedRgba));
    movie.defineShape(2, flashtest::rectShape(60, 60, 100, 100, kBlueRgba));
    if (blueFirst) movie.placeObject2({.depth = 7, .characterId = 2});
    movie.placeObject2({.depth = 3, .characterId = 1});
    if (!blueFirst) movie.placeObject2({.depth = 7, .characterId = 2});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    EXPECT_EQ(p.at(80, 80), kBlue);  // the overlap shows the later depth
    EXPECT_EQ(p.at(30, 30), kRed);
    EXPECT_EQ(p.at(150, 150), kBlue);
  }
}

TEST(Render, TheSameShapeAtTwoDepthsWithTheLaterOnTop) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 50, 50, kRedRgba));
  movie.placeObject2({.depth = 1, .characterId = 1, .matrix = Matrix::translation(20 * kTw, 20 * kTw)});
  movie.placeObject2({.depth = 2,
                      .characterId = 1,
                      .matrix = Matrix::translation(40 * kTw, 40 * kTw),
                      .colorTransform = ColorTransform{0, 0, 0, 256, 0, 0, 255, 0}});
  movie.showFrame();
  Picture p = Loaded(movie).picture();
  EXPECT_EQ(p.at(25, 25), kRed);
  EXPECT_EQ(p.at(50, 50), kBlue);
  EXPECT_EQ(p.at(85, 85), kBlue);
}

// Frames that move, replace and remove a shape; the picture of each frame.
TEST(Render, FramesMoveAndRemoveObjects) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 20, 20, kRedRgba));
  movie.placeObject2({.depth = 1, .characterId = 1, .matrix = Matrix::translation(10 * kTw, 10 * kTw)});
  movie.showFrame();
  movie.placeObject2({.depth = 1, .move = true, .matrix = Matrix::translation(100 * kTw, 50 * kTw)});
  movie.showFrame();
  movie.removeObject2(1);
  movie.showFrame();
  Loaded m(movie);
  struct Expect {
    int frame;
    bool atStart, atMoved;
  } expects[] = {{0, true, false}, {1, false, true}, {2, false, false}, {0, true, false}};
  for (const auto& e : expects) {
    SCOPED_TRACE(e.frame);
    m.player.gotoFrame(e.frame);
    Picture p = m.picture();
    EXPECT_EQ(p.at(15, 15) == kRed, e.atStart);
    EXPECT_EQ(p.at(110, 60) == kRed, e.atMoved);
    EXPECT_EQ(p.count(kRed), e.atStart || e.atMoved ? 400 : 0);
  }
}

TEST(Render, ASpriteShowsItsOwnTimeline) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 30, 30, kRedRgba));
  movie.defineShape(2, flashtest::rectShape(0, 0, 30, 30, kBlueRgba));
  TagStream sprite;
  sprite.placeObject2({.depth = 1, .characterId = 1});
  sprite.showFrame();
  sprite.placeObject2({.depth = 1, .move = true, .characterId = 2, .matrix = Matrix::translation(40 * kTw, 0)});
  sprite.showFrame();
  movie.defineSprite(3, sprite);
  // The sprite is placed at (100, 100) and scaled by 2; the root has one frame.
  movie.placeObject2(
      {.depth = 1, .characterId = 3, .matrix = Matrix::translation(100 * kTw, 100 * kTw) * Matrix::scaling(2, 2)});
  movie.showFrame();
  Loaded m(movie);
  Picture first = m.picture();
  EXPECT_EQ(first.count(kRed, 100, 100, 160, 160), 60 * 60);
  m.player.tick();
  Picture second = m.picture();
  EXPECT_EQ(second.count(kRed), 0);
  EXPECT_EQ(second.count(kBlue, 180, 100, 240, 160), 60 * 60);
  m.player.tick();
  EXPECT_EQ(m.picture().count(kRed), 60 * 60);  // sprites loop
}

TEST(Render, ColourTransformsChangeTheColours) {
  struct Case {
    ColorTransform cx;
    uint32_t expected;
    const char* what;
  } cases[] = {
      {{0, 256, 256, 256, 0, 255, 0, 0}, 0x00FF00, "red taken away, green added"},
      {{128, 256, 256, 256, 0, 0, 0, 0}, 0x7F0000, "red halved"},
      {{256, 256, 256, 128, 0, 0, 0, 0}, 0xFF7F7F, "half transparent over white"},
      {{256, 256, 256, 0, 0, 0, 0, 0}, 0xFFFFFF, "fully transparent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, flashtest::rectShape(10, 10, 20, 20, kRedRgba));
    movie.placeObject2({.depth = 1, .characterId = 1, .colorTransform = c.cx});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    EXPECT_LE(colorDistance(p.at(20, 20), c.expected), 1) << std::hex << p.at(20, 20);
  }
}

TEST(Render, ASpritesColourTransformReachesItsContents) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 20, 20, kRedRgba));
  TagStream sprite;
  sprite.placeObject2({.depth = 1, .characterId = 1, .colorTransform = ColorTransform{128, 256, 256, 256, 0, 0, 0, 0}});
  sprite.showFrame();
  movie.defineSprite(2, sprite);
  movie.placeObject2(
      {.depth = 1, .characterId = 2, .colorTransform = ColorTransform{256, 256, 256, 256, 0, 0, 200, 0}});
  movie.showFrame();
  Picture p = Loaded(movie).picture();
  EXPECT_LE(colorDistance(p.at(10, 10), 0x7F00C8), 1);
}

TEST(Render, ActionStopHoldsTheTimeline) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, kRedRgba));
  for (int f = 0; f < 4; ++f) {
    Placement p;
    p.depth = 1;
    if (f == 0)
      p.characterId = 1;
    else
      p.move = true;
    p.matrix = Matrix::translation(float(f * 50 * kTw), 0);
    movie.placeObject2(p);
    if (f == 2) movie.doAction({actionStop()});
    movie.showFrame();
  }
  Loaded m(movie);
  for (int i = 0; i < 6; ++i) m.player.tick();
  EXPECT_EQ(m.player.currentFrame(), 2);
  EXPECT_FALSE(m.player.playing());
  Picture p = m.picture();
  EXPECT_EQ(p.at(105, 5), kRed);
  EXPECT_EQ(p.count(kRed), 100);
  m.player.play();
  m.player.tick();
  EXPECT_EQ(m.picture().at(155, 5), kRed);
}

// A 40 x 40 square in the middle of the movie (100..140, 70..110).
MovieWriter centreSquare() { return oneShape(flashtest::rectShape(100, 70, 40, 40, kRedRgba)); }

struct BoxCase {
  const char* what;
  int zoom;
  double x, y, rotation;
  int left, top, right, bottom;  // where the red square lands
};

TEST(Render, ZoomPositionAndRotationMoveWhatIsDrawn) {
  const BoxCase cases[] = {
      {"as it is", 0, 0, 0, 0, 100, 70, 140, 110},
      {"zoom 50 doubles around the centre", 50, 0, 0, 0, 80, 50, 160, 130},
      {"zoom 200 halves around the centre", 200, 0, 0, 0, 110, 80, 130, 100},
      {"_x and _y move by pixels", 0, 30, -20, 0, 130, 50, 170, 90},
      {"a quarter turn about the origin, then moved", 0, 180, 0, 90, 70, 100, 110, 140},
      {"turned back a quarter", 0, 0, 240, -90, 70, 100, 110, 140},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Loaded m(centreSquare());
    m.player.zoom(c.zoom);
    m.player.setRootProperty(kPropertyX, c.x);
    m.player.setRootProperty(kPropertyY, c.y);
    m.player.setRootProperty(kPropertyRotation, c.rotation);
    Picture p = m.picture();
    int minX = 999, minY = 999, maxX = -1, maxY = -1, n = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        if (colorDistance(p.at(x, y), kRed) < 100) {
          minX = std::min(minX, x), maxX = std::max(maxX, x);
          minY = std::min(minY, y), maxY = std::max(maxY, y);
          ++n;
        }
    EXPECT_NEAR(minX, c.left, 1);
    EXPECT_NEAR(minY, c.top, 1);
    EXPECT_NEAR(maxX + 1, c.right, 1);
    EXPECT_NEAR(maxY + 1, c.bottom, 1);
  }
}

TEST(Render, AlignModePlacesTheMovieInALargerWindow) {
  struct Case {
    int mode;
    int left, top;  // of the movie's 240 x 180 frame in a 480 x 300 window scaled to 400 x 300
  } cases[] = {
      {0, 40, 0}, {1, 0, 0}, {2, 80, 0}, {1 + 2, 40, 0}, {4 + 8, 40, 0}, {1 + 8, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    Loaded m(centreSquare());
    m.player.setAlignMode(c.mode);
    Picture p = m.picture(480, 300);
    EXPECT_EQ(p.at(c.left, 150), kWhite);
    if (c.left > 0) {
      EXPECT_EQ(p.at(c.left - 1, 150), 0u);
    }  // the window outside is black
    EXPECT_EQ(p.at(c.left + 399, 150), kWhite);
    EXPECT_EQ(p.at(c.left + 200, 150), kRed);  // the square, scaled by 5/3
  }
  // And vertically: a window taller than the movie.
  struct VCase {
    int mode, top;
  } vcases[] = {{0, 90}, {4, 0}, {8, 180}, {4 + 8, 90}, {1 + 8, 180}};
  for (const auto& c : vcases) {
    SCOPED_TRACE(c.mode);
    Loaded m(centreSquare());
    m.player.setAlignMode(c.mode);
    Picture p = m.picture(240, 360);
    EXPECT_EQ(p.at(5, c.top), kWhite);
    EXPECT_EQ(p.at(5, c.top + 179), kWhite);
    if (c.top > 0) {
      EXPECT_EQ(p.at(5, c.top - 1), 0u);
    }
    if (c.top + 180 < 360) {
      EXPECT_EQ(p.at(5, c.top + 180), 0u);
    }
  }
}

TEST(Render, TheFullScreenTurnFillsThePortraitScreen) {
  // The player's full screen: a 320 x 320 control, _y = (w + h) / 2, a turn
  // of -90 degrees. The 240 x 180 movie lands turned in the 240 x 320 part
  // that the screen shows, when it is centred vertically.
  Loaded m(centreSquare());
  m.player.setRootProperty(kPropertyY, 210);
  m.player.setRootProperty(kPropertyRotation, -90);
  m.player.setAlignMode(1);
  Picture p = m.picture(320, 320);
  EXPECT_EQ(p.count(0x000000, 0, 0, 240, 320), 0);  // no part of the screen outside the movie
  EXPECT_EQ(p.at(0, 0), kWhite);
  EXPECT_EQ(p.at(239, 319), kWhite);
  EXPECT_EQ(p.at(240, 160), 0u);    // beyond the screen's width the control shows nothing
  EXPECT_EQ(p.at(120, 160), kRed);  // the centre stays the centre
}

TEST(Render, BackgroundColourIsTheMoviesUnlessSet) {
  MovieWriter movie(240, 180, 12);
  movie.setBackground({10, 20, 30, 255});
  movie.setBackground({255, 255, 255, 255});  // the first one counts
  movie.showFrame();
  auto file = movie.finish();
  MoviePlayer player;
  ASSERT_TRUE(player.load(file));
  EXPECT_EQ(player.backgroundColor(), 0x0A141Eu);
  EXPECT_EQ(flashtest::render(player, 24, 18).at(3, 3), 0x0A141Eu);
  player.setBackgroundColor(0x123456);
  EXPECT_EQ(flashtest::render(player, 24, 18).at(3, 3), 0x123456u);
  player.setBackgroundColor(-1);
  EXPECT_EQ(player.backgroundColor(), 0x0A141Eu);

  MovieWriter plain(50, 50, 12);  // no SetBackgroundColor at all
  plain.showFrame();
  ASSERT_TRUE(player.load(plain.finish()));
  EXPECT_EQ(player.backgroundColor(), MoviePlayer::kDefaultBackground);
}

TEST(Render, RepaintsOnlyWhenSomethingChanged) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, kRedRgba));
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.showFrame();
  movie.showFrame();  // the same picture
  movie.placeObject2({.depth = 1, .move = true, .matrix = Matrix::translation(100, 0)});
  movie.showFrame();
  Loaded m(movie);
  EXPECT_TRUE(m.player.takeRepaint());
  EXPECT_FALSE(m.player.takeRepaint());
  m.player.tick();
  EXPECT_FALSE(m.player.takeRepaint());
  m.player.tick();
  EXPECT_TRUE(m.player.takeRepaint());
  m.player.zoom(50);
  EXPECT_TRUE(m.player.takeRepaint());
  m.player.zoom(50);
  EXPECT_FALSE(m.player.takeRepaint());
  m.player.setRootProperty(kPropertyX, 5);
  EXPECT_TRUE(m.player.takeRepaint());
  m.player.setAlignMode(0);
  EXPECT_FALSE(m.player.takeRepaint());
}

TEST(Render, RootPropertiesAnswerWhatWasSet) {
  Loaded m(centreSquare());
  EXPECT_TRUE(m.player.setRootProperty(kPropertyX, 12.5));
  EXPECT_TRUE(m.player.setRootProperty(kPropertyAlpha, 50));
  EXPECT_FALSE(m.player.setRootProperty(kPropertyTotalFrames, 9));  // read-only
  EXPECT_FALSE(m.player.setRootProperty(99, 1));
  EXPECT_FALSE(m.player.setRootProperty(kPropertyY, std::nan("")));
  EXPECT_EQ(m.player.rootProperty(kPropertyX), 12.5);
  EXPECT_EQ(m.player.rootProperty(kPropertyTotalFrames), 1);
  EXPECT_EQ(m.player.rootProperty(kPropertyCurrentFrame), 1);
  EXPECT_EQ(m.player.rootProperty(99), std::nullopt);
  // Half transparent root: the red square blends with the white frame.
  m.player.setRootProperty(kPropertyX, 0);
  EXPECT_LE(colorDistance(m.picture().at(120, 90), 0xFF8080), 2);
  m.player.setRootProperty(kPropertyVisible, 0);
  EXPECT_EQ(m.picture().at(120, 90), kWhite);
}

}  // namespace

// Under the even-odd rule an area wound round twice is outside again. The
// square's left edge lies in a whole block of cells, its right edge in the
// row's last, partial block; both edges cover half a pixel per winding.
TEST(Rasterizer, EvenOddFoldsEveryWindingAlikeInWholeAndPartialBlocks) {
  constexpr int kWidth = 48, kHeight = 4;
  const struct {
    int windings;
    uint32_t edge, inside;
  } rows[] = {{1, 128, 255}, {2, 255, 0}, {3, 128, 255}, {4, 0, 0}, {5, 128, 255}, {6, 255, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.windings);
    std::vector<uint32_t> pixels(kWidth * kHeight, 0xFF000000);
    Canvas canvas{pixels.data(), kWidth, kHeight, kWidth};
    Rasterizer raster;
    raster.reset();
    raster.setEvenOdd(true);
    for (int i = 0; i < row.windings; ++i) {
      const Point corners[] = {{0.5f, 0}, {40.5f, 0}, {40.5f, 4}, {0.5f, 4}};
      for (int c = 0; c < 4; ++c) raster.addLine(corners[c], corners[(c + 1) % 4]);
    }
    size_t budget = SIZE_MAX;
    raster.fill(canvas, Paint::solid({255, 255, 255, 255}), budget);
    for (int y = 0; y < kHeight; ++y) {
      EXPECT_EQ(pixels[y * kWidth] & 0xFF, row.edge);
      EXPECT_EQ(pixels[y * kWidth + 20] & 0xFF, row.inside);
      EXPECT_EQ(pixels[y * kWidth + 40] & 0xFF, row.edge);
      EXPECT_EQ(pixels[y * kWidth + 44] & 0xFF, 0u);
    }
  }
}

TEST(GradientRamp, StopsOfOneRatioEachShowAsABand) {
  constexpr Rgba kGreen{0, 255, 0, 255}, kYellow{255, 255, 0, 255}, kBlack{0, 0, 0, 255};
  std::vector<GradientStop> stops = {{0, kRedRgba}, {100, kGreen}, {100, kBlueRgba}, {100, kYellow}, {255, kBlack}};
  std::array<uint32_t, kRampSize> ramp{};
  buildRamp(stops, ColorTransform{}, ramp.data(), false);
  EXPECT_EQ(ramp[100], 0xFF00FF00u);
  EXPECT_EQ(ramp[101], 0xFF0000FFu);
  EXPECT_EQ(ramp[102], 0xFFFFFF00u);
  EXPECT_EQ(ramp[255], 0xFF000000u);
}

TEST(StrokeOutline, CapsAndJointsCoverWhatTheirStyleSays) {
  // Half width 1 around a 10-unit segment, or an L of two such segments
  // turning a right angle: the area the polygons cover, overlaps counted.
  const std::vector<Point> segment = {{0, 0}, {10, 0}};
  const std::vector<Point> corner = {{0, 0}, {10, 0}, {10, 10}};
  const std::vector<Point> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  struct Case {
    const char* name;
    const std::vector<Point>* points;
    LineCap cap;
    LineJoin join;
    float miterLimit;
    bool closed;
    double area;
  } cases[] = {
      {"no caps: the segment alone", &segment, LineCap::None, LineJoin::Round, 3, false, 20},
      {"square caps reach a half width past each end", &segment, LineCap::Square, LineJoin::Round, 3, false, 24},
      {"a bevel fills the outer corner's triangle", &corner, LineCap::None, LineJoin::Bevel, 3, false, 40.5},
      {"a miter fills the outer corner's square", &corner, LineCap::None, LineJoin::Miter, 3, false, 41},
      {"a miter past its limit is cut at the limit", &corner, LineCap::None, LineJoin::Miter, 1, false,
       41 - (2 - std::sqrt(2.0)) * (2 - std::sqrt(2.0)) / 2},
      {"a closed path joins where it started instead of capping", &square, LineCap::Square, LineJoin::Miter, 3, true,
       84},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StrokeOutline o;
    o.halfWidth = 1;
    o.startCap = o.endCap = c.cap;
    o.join = c.join;
    o.miterLimit = c.miterLimit;
    o.closed = c.closed;
    double area = 0;
    outlineStroke(*c.points, o, [&](std::span<const Point> polygon) {
      double twice = 0;
      for (size_t i = 0; i < polygon.size(); ++i) {
        Point a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        twice += double(a.x) * b.y - double(b.x) * a.y;
      }
      EXPECT_LE(twice, 0) << "every polygon wound the same way";
      area -= twice / 2;
    });
    EXPECT_NEAR(area, c.area, 1e-3);
  }
}

TEST(Rasterizer, AnUprightRectangleCoversAsAnyOtherShapeWould) {
  // The same rectangle twice: alone (its own quick path), and with an edge
  // and its reverse added, which cancel but make it a general shape.
  struct Case {
    float left, top, right, bottom;
  };
  const Case cases[] = {
      {2, 3, 30, 20},           {2.5f, 3.25f, 29.75f, 19.5f}, {-5.3f, -2.2f, 12.6f, 7.9f}, {20.1f, 10.7f, 45, 40},
      {7.2f, 7.1f, 7.9f, 7.6f}, {30, 20, 2.5f, 3.5f},  // inside a pixel; wound the other way
  };
  std::vector<uint8_t> clip(40 * 30);
  for (size_t i = 0; i < clip.size(); ++i) clip[i] = uint8_t(i * 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.right << "," << c.bottom);
    for (const uint8_t* mask : {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(clip.data())}) {
      std::vector<uint32_t> quick(40 * 30, 0xFF000000u), general = quick;
      for (bool extra : {false, true}) {
        Rasterizer r;
        r.reset();
        const Point corners[4] = {{c.left, c.top}, {c.left, c.bottom}, {c.right, c.bottom}, {c.right, c.top}};
        for (int i = 0; i < 4; ++i) r.addLine(corners[i], corners[(i + 1) % 4]);
        if (extra) {
          r.addLine({35.5f, 1}, {35.5f, 5});
          r.addLine({35.5f, 5}, {35.5f, 1});
        }
        size_t budget = SIZE_MAX;
        r.fill(Canvas{(extra ? general : quick).data(), 40, 30, 40, mask}, Paint::solid({200, 100, 50, 255}), budget);
      }
      EXPECT_EQ(quick, general);
    }
  }
}
