#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "platform/flash/movieplayer.h"
#include "platform/flash/swfbutton.h"
#include "tests/platform/flash/flashtest.h"

using namespace swf;
using namespace swfwrite;
using flashtest::colorDistance;
using flashtest::kTw;
using flashtest::Picture;
using flashtest::rectShape;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr Rgba kRedRgba{255, 0, 0, 255};
constexpr Rgba kGreenRgba{0, 255, 0, 255};
constexpr Rgba kBlueRgba{0, 0, 255, 255};

struct Loaded {
  MoviePlayer player;
  explicit Loaded(const MovieWriter& movie) { EXPECT_TRUE(player.load(movie.finish())); }
  Picture picture() { return flashtest::render(player, 240, 180); }
};

struct Probe {
  int x, y;
  uint32_t color;
};

void expectProbes(const Picture& p, std::initializer_list<Probe> probes, int tolerance = 0) {
  for (const Probe& probe : probes) {
    SCOPED_TRACE(testing::Message() << "at " << probe.x << "," << probe.y);
    EXPECT_LE(colorDistance(p.at(probe.x, probe.y), probe.color), tolerance);
  }
}

// A red stage-wide rectangle and a green one masked by the left half of the
// stage; a blue one above the mask's depths shows whole.
TEST(Masks, ClipTheDepthsUpToTheirClipDepthOnly) {
  for (bool maskIsSprite : {false, true}) {
    SCOPED_TRACE(maskIsSprite ? "mask in a sprite" : "mask shape");
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, rectShape(0, 0, 120, 180, kBlueRgba));
    movie.defineShape(2, rectShape(0, 0, 240, 180, kRedRgba));
    movie.defineShape(3, rectShape(100, 50, 100, 50, kGreenRgba));
    movie.defineShape(4, rectShape(200, 0, 40, 40, kBlueRgba));
    uint16_t maskId = 1;
    if (maskIsSprite) {
      TagStream sprite;
      sprite.placeObject2({.depth = 1, .characterId = 1});
      sprite.showFrame();
      movie.defineSprite(5, sprite);
      maskId = 5;
    }
    movie.placeObject2({.depth = 1, .characterId = maskId, .clipDepth = 3});
    movie.placeObject2({.depth = 2, .characterId = 2});
    movie.placeObject2({.depth = 3, .characterId = 3});
    movie.placeObject2({.depth = 4, .characterId = 4});
    movie.showFrame();
    expectProbes(Loaded(movie).picture(), {{50, 10, kRed},
                                           {119, 10, kRed},
                                           {120, 10, kWhite},
                                           {110, 70, kGreen},
                                           {150, 70, kWhite},
                                           {220, 20, kBlue},
                                           {150, 150, kWhite}});
  }
}

// A square glyph of 500 x 700 units of a 1024-unit em (scaled for DefineFont3).
ShapeBuilder squareGlyph(int unitsPerEm) {
  ShapeBuilder g;
  int fill = g.addSolidFill({0, 0, 0, 255});
  int k = unitsPerEm / 1024;
  g.rectangle(0, -700 * k, 500 * k, 700 * k, fill);
  return g;
}

void defineSquareFont(MovieWriter& movie, int version) {
  int em = version == 3 ? 20480 : 1024;
  int k = em / 1024;
  movie.defineFont(1, version, "Squares", {{u'A', squareGlyph(em), int16_t(600 * k)}}, uint16_t(800 * k),
                   uint16_t(200 * k));
  if (version == 1) movie.defineFontInfo(1, "Squares", {u'A'});
}

TEST(Text, StaticTextDrawsGlyphOutlinesOfEveryFontVersion) {
  for (int fontVersion : {1, 2, 3}) {
    for (int textVersion : {1, 2}) {
      SCOPED_TRACE(testing::Message() << "font " << fontVersion << ", text " << textVersion);
      auto movie = flashtest::whiteMovie();
      defineSquareFont(movie, fontVersion);
      // One em is 1024 twips: a glyph is 25 x 35 pixels, and each advances 30.
      TextRecord run{.fontId = 1, .color = kRedRgba, .x = 40 * kTw, .y = 100 * kTw, .height = 1024};
      run.glyphs = {{0, 600}, {0, 600}};
      movie.defineText(2, textVersion, {}, {run});
      movie.placeObject2({.depth = 1, .characterId = 2});
      movie.showFrame();
      expectProbes(Loaded(movie).picture(), {{41, 66, kRed},
                                             {64, 99, kRed},
                                             {66, 80, kWhite},
                                             {71, 80, kRed},
                                             {94, 80, kRed},
                                             {96, 80, kWhite},
                                             {50, 101, kWhite},
                                             {50, 64, kWhite}});
    }
  }
}

TEST(Text, FieldsShowTheirFrameAndTheirTextAligned) {
  // The field spans (20, 20) to (220, 80); its text starts 2 pixels inside.
  // With an ascent of 800 twips the baseline is at 20 + 2 + 40 = 62, and
  // "AA" is 60 pixels wide.
  struct Case {
    const char* name;
    uint8_t align;
    int glyphLeft;
  } cases[] = {{"left", 0, 22}, {"right", 1, 22 + 196 - 60}, {"centre", 2, 22 + (196 - 60) / 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MovieWriter movie(240, 180, 12);
    movie.setBackground(kBlueRgba);
    defineSquareFont(movie, 2);
    EditText field{.xMin = 20 * kTw,
                   .xMax = 220 * kTw,
                   .yMin = 20 * kTw,
                   .yMax = 80 * kTw,
                   .fontId = 1,
                   .height = 1024,
                   .color = kRedRgba,
                   .align = c.align,
                   .text = "AA",
                   .border = true,
                   .useOutlines = true};
    movie.defineEditText(2, field);
    movie.placeObject2({.depth = 1, .characterId = 2});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    expectProbes(p, {{10, 10, kBlue},
                     {20, 50, 0x000000},
                     {120, 20, 0x000000},
                     {220, 50, 0x000000},
                     {120, 80, 0x000000},
                     {221, 50, kBlue},
                     {219, 50, kWhite},
                     {21, 30, kWhite},
                     {c.glyphLeft + 1, 28, kRed},
                     {c.glyphLeft + 24, 61, kRed},
                     {c.glyphLeft + 27, 50, kWhite},
                     {c.glyphLeft + 54, 50, kRed},
                     {c.glyphLeft + 10, 63, kWhite}});
    EXPECT_EQ(p.count(kRed), 2 * 25 * 35);
  }
}

TEST(Text, FieldsWithoutEmbeddedOutlinesUseTheDevicesFonts) {
  for (bool html : {false, true}) {
    SCOPED_TRACE(html ? "html" : "plain");
    auto movie = flashtest::whiteMovie();
    EditText field{.xMin = 20 * kTw,
                   .xMax = 200 * kTw,
                   .yMin = 20 * kTw,
                   .yMax = 60 * kTw,
                   .height = 20 * kTw,
                   .color = Rgba{0, 0, 0, 255},
                   .text = html ? "<p><b>MW</b>&amp;M</p>" : "MW&M",
                   .html = html};
    movie.defineEditText(1, field);
    movie.placeObject2({.depth = 1, .characterId = 1});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    int inked = 0, outside = 0;
    for (int y = 0; y < 180; ++y)
      for (int x = 0; x < 240; ++x) {
        bool inField = x >= 20 && x < 200 && y >= 20 && y < 60;
        bool ink = p.at(x, y) != kWhite;
        (inField ? inked : outside) += ink;
      }
    EXPECT_GT(inked, 60);  // four letters of 20 pixels
    EXPECT_EQ(outside, 0);
    // The text starts 2 pixels inside the field and takes four letters' width.
    EXPECT_EQ(p.count(kWhite, 20, 20, 22, 60), 2 * 40);
    EXPECT_EQ(p.count(kWhite, 100, 20, 200, 60), 100 * 40);
  }
}

// Each run of an HTML field drawn in its own format. The field spans (20, 10)
// to (220, 170) in the square font at 51.2 points: a glyph is 25 x 35
// pixels and advances 30, half that at 25.6 points; ascent 40, descent 10.
TEST(Text, FieldsDrawEachRunInItsOwnFormat) {
  struct Case {
    const char* name;
    const char* html;
    std::initializer_list<Probe> probes;
  } cases[] = {
      // Line 1: a red glyph, then two small blue ones on its baseline (52).
      // Line 2 starts below the taller font's descent, right aligned, underlined.
      {"sizes, colours, alignment, underline",
       "<p><font color=\"#FF0000\">A</font><font color=\"#0000FF\" size=\"25.6\">AA</font></p>"
       "<p align=\"right\"><u>A</u></p>",
       {{30, 20, kRed},
        {30, 51, kRed},
        {60, 30, kWhite},
        {60, 40, kBlue},
        {75, 50, kBlue},
        {30, 90, kWhite},
        {200, 70, 0x000000},
        {200, 100, 0x000000},
        {200, 104, kWhite},
        {200, 108, 0x000000},
        {186, 108, kWhite}}},
      // A paragraph's margin and first-line indent; a wrapped line keeps the
      // margin only, 8 pixels of leading below the first (baseline 110).
      {"margins, indent, leading",
       "<textformat leftmargin=\"20\" indent=\"30\" leading=\"8\"><p>AAAA AA</p></textformat>",
       {{73, 30, 0x000000},
        {70, 30, kWhite},
        {185, 30, 0x000000},
        {43, 100, 0x000000},
        {40, 100, kWhite},
        {100, 100, kWhite},
        {43, 72, kWhite}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie();
    defineSquareFont(movie, 2);
    EditText field{.xMin = 20 * kTw,
                   .xMax = 220 * kTw,
                   .yMin = 10 * kTw,
                   .yMax = 170 * kTw,
                   .fontId = 1,
                   .height = 1024,
                   .color = Rgba{0, 0, 0, 255},
                   .text = c.html,
                   .html = true,
                   .useOutlines = true,
                   .wordWrap = true,
                   .multiline = true};
    movie.defineEditText(2, field);
    movie.placeObject2({.depth = 1, .characterId = 2});
    movie.showFrame();
    expectProbes(Loaded(movie).picture(), c.probes);
  }
}

TEST(Text, HtmlFieldsShowTheirTextWithoutMarkup) {
  struct Case {
    const char* html;
    std::u32string text;
  } cases[] = {
      {"<p align=\"left\"><font face=\"Arial\">Hi</font></p>", U"Hi"},
      {"a<br>b", U"a\rb"},
      {"<p>one</p><p>two</p>", U"one\rtwo"},
      {"&lt;&amp;&gt;&quot;&#65;&#x42;", U"<&>\"AB"},
      {"a &unknown; b & c", U"a &unknown; b & c"},
      {"cut <b", U"cut "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(textOfHtml(decodeText(c.html, 8)), c.text);
  }
}

// A button of the three colours at (20, 20) to (60, 60) whose release inside
// goes to frame 2, where a green square shows at the stage's corner.
MovieWriter buttonMovie(int version) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, rectShape(20, 20, 40, 40, kRedRgba));
  movie.defineShape(2, rectShape(20, 20, 40, 40, kGreenRgba));
  movie.defineShape(3, rectShape(20, 20, 40, 40, kBlueRgba));
  movie.defineShape(5, rectShape(200, 140, 40, 40, kGreenRgba));
  std::vector<ButtonPart> parts = {
      {kButtonUp, 1, 1, {}}, {kButtonOver, 2, 2, {}}, {kButtonDown, 3, 3, {}}, {kButtonHitTest, 1, 4, {}}};
  if (version == 2)
    movie.defineButton2(4, parts, {{kCondOverDownToOverUp, {actionGotoFrame(1)}}});
  else
    movie.defineButton(4, parts, {actionGotoFrame(1)});
  movie.placeObject2({.depth = 1, .characterId = 4});
  movie.doAction({actionStop()});
  movie.showFrame();
  movie.placeObject2({.depth = 2, .characterId = 5});
  movie.doAction({actionStop()});
  movie.showFrame();
  return movie;
}

TEST(Buttons, ThePenDrivesTheirStatesAndAReleaseInsideRunsTheirActions) {
  enum class Pen { None, Down, Move, Up };
  struct Step {
    Pen pen;
    int x, y;
    uint32_t button;
    int frame;
  } steps[] = {
      {Pen::None, 0, 0, kRed, 0},     {Pen::Move, 100, 100, kRed, 0}, {Pen::Down, 40, 40, kBlue, 0},
      {Pen::Move, 100, 100, kRed, 0}, {Pen::Move, 41, 41, kBlue, 0},  {Pen::Up, 41, 41, kGreen, 1},
      {Pen::Move, 150, 20, kRed, 1},  {Pen::Down, 150, 20, kRed, 1},  {Pen::Up, 150, 20, kRed, 1},
  };
  for (int version : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "DefineButton" << (version == 2 ? "2" : ""));
    Loaded m(buttonMovie(version));
    m.picture();  // the pen lands on the picture last drawn
    for (const Step& s : steps) {
      SCOPED_TRACE(testing::Message() << "pen " << int(s.pen) << " at " << s.x << "," << s.y);
      if (s.pen == Pen::Down) m.player.penDown(s.x, s.y);
      if (s.pen == Pen::Move) m.player.penMove(s.x, s.y);
      if (s.pen == Pen::Up) m.player.penUp(s.x, s.y);
      Picture p = m.picture();
      EXPECT_EQ(p.at(40, 40), s.button);
      EXPECT_EQ(m.player.currentFrame(), s.frame);
      EXPECT_EQ(p.at(220, 160), s.frame == 1 ? kGreen : kWhite);
    }
  }
}

TEST(MorphShapes, DrawTheShapeBetweenStartAndEndAtTheirRatio) {
  ShapeBuilder start, end;
  start.rectangle(0, 0, 20 * kTw, 20 * kTw, start.addSolidFill(kRedRgba));
  end.rectangle(100 * kTw, 40 * kTw, 40 * kTw, 20 * kTw, end.addSolidFill(kBlueRgba));
  for (uint16_t ratio : {uint16_t(0), uint16_t(16384), uint16_t(32768), uint16_t(65535)}) {
    SCOPED_TRACE(ratio);
    auto movie = flashtest::whiteMovie();
    movie.defineMorphShape(1, start, end);
    movie.placeObject2({.depth = 1, .characterId = 1, .ratio = ratio});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    float t = float(ratio) / 65535.0f;
    int left = int(100 * t + 0.5f), top = int(40 * t + 0.5f), width = int(20 + 20 * t + 0.5f);
    uint32_t mixed = uint32_t(255 * (1 - t) + 0.5f) << 16 | uint32_t(255 * t + 0.5f);
    expectProbes(p, {{left + 1, top + 1, mixed}, {left + width - 2, top + 18, mixed}}, 2);
    expectProbes(p, {{left + width + 1, top + 10, kWhite}, {left + 5, top + 21, kWhite}});
  }
}

TEST(Gradients, SpreadBeyondTheirSquareAndMixInLinearLight) {
  // Black to white across 20..60 pixels of x; the probes lie beyond it.
  struct Case {
    uint8_t spread;
    bool linear;
    int x;
    int grey;
  } cases[] = {
      {0, false, 40, 128}, {0, false, 70, 255}, {0, false, 10, 0},   {1, false, 70, 191}, {1, false, 80, 128},
      {1, false, 10, 64},  {2, false, 70, 64},  {2, false, 80, 128}, {2, false, 10, 191}, {0, true, 40, 188},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "spread " << int(c.spread) << (c.linear ? " linear" : "") << " at " << c.x);
    ShapeBuilder s;
    int fill = s.addLinearGradient(Matrix::translation(40 * kTw, 0) * Matrix::scaling(40.0f * kTw / 32768, 1),
                                   {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}});
    s.setGradientSpread(fill, c.spread, c.linear);
    s.rectangle(0, 0, 240 * kTw, 180 * kTw, fill);
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, s, 4);
    movie.placeObject2({.depth = 1, .characterId = 1});
    movie.showFrame();
    EXPECT_NEAR(int(Loaded(movie).picture().at(c.x, 90) & 0xFF), c.grey, 5);
  }
}

TEST(BlendModes, BlendAnObjectWithWhatIsBelowIt) {
  // A grey (0x80, 0x40, 0xC0) square over the left half of a (0x40, 0xC0, 0x80) stage.
  constexpr Rgba kBelow{0x40, 0xC0, 0x80, 255}, kAbove{0x80, 0x40, 0xC0, 255};
  struct Case {
    uint8_t mode;
    uint32_t expected;
  } cases[] = {
      {0, 0x8040C0},  {2, 0x8040C0},  {3, 0x203060},  {4, 0xA0D0E0},  {5, 0x80C0C0},
      {6, 0x404080},  {7, 0x408040},  {8, 0xC0FFFF},  {9, 0x008000},  {10, 0xBF3F7F},
      {13, 0x40A1C0}, {14, 0x4160C0}, {11, 0x40C080}, {12, 0x40C080},  // alpha and erase draw nothing outside a layer
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode));
    MovieWriter movie(240, 180, 12);
    movie.setBackground(kBelow);
    movie.defineShape(1, rectShape(0, 0, 120, 180, kAbove));
    movie.placeObject3({.depth = 1, .characterId = 1, .blendMode = c.mode});
    movie.showFrame();
    Picture p = Loaded(movie).picture();
    EXPECT_LE(colorDistance(p.at(60, 90), c.expected), 1);
    EXPECT_EQ(p.at(180, 90), 0x40C080u);
  }
}

TEST(BlendModes, AnOpaqueBackgroundFillsTheObjectsBounds) {
  auto movie = flashtest::whiteMovie();
  ShapeBuilder s;
  s.ellipse(100 * kTw, 90 * kTw, 40 * kTw, 30 * kTw, s.addSolidFill(kBlueRgba));
  movie.defineShape(1, s);
  movie.placeObject3({.depth = 1, .characterId = 1, .opaqueBackground = kGreenRgba});
  movie.showFrame();
  expectProbes(Loaded(movie).picture(),
               {{100, 90, kBlue}, {62, 62, kGreen}, {138, 118, kGreen}, {58, 90, kWhite}, {100, 121, kWhite}});
}

TEST(Filters, BlurShadowAndRecolourTheObjectAlone) {
  // A red square at (40, 40) to (80, 80) on the white stage.
  constexpr std::array<float, 20> kSwapRedAndBlue{0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  struct Case {
    const char* name;
    std::vector<uint8_t> filter;
    std::initializer_list<Probe> probes;
  } cases[] = {
      // A box of 9 pixels: the square's first column mixes 5 red ones with 4 white.
      {"blur", blurFilter(8, 8, 1), {{60, 60, kRed}, {30, 60, kWhite}, {40, 60, 0xFF7171}, {39, 60, 0xFF8E8E}}},
      {"drop shadow",
       dropShadowFilter({0, 0, 0, 255}, 0, 0, 10, 1),
       {{60, 60, kRed}, {85, 60, 0x000000}, {85, 35, kWhite}, {95, 60, kWhite}}},
      {"knocked-out shadow",
       dropShadowFilter({0, 0, 0, 255}, 0, 0, 10, 1, false, true),
       {{60, 60, kWhite}, {85, 60, 0x000000}}},
      {"inner shadow", dropShadowFilter({0, 0, 0, 255}, 0, 0, 10, 1, true), {{45, 60, 0x000000}, {60, 60, kRed}}},
      {"colour matrix", colorMatrixFilter(kSwapRedAndBlue), {{60, 60, kBlue}, {30, 60, kWhite}}},
      // Lit from the left, 4 pixels deep, unblurred: the highlight green, the shadow blue.
      {"inner bevel",
       bevelFilter(kGreenRgba, kBlueRgba, 0, 0, 4, 1, BevelType::Inner),
       {{41, 60, kGreen}, {78, 60, kBlue}, {60, 60, kRed}, {38, 60, kWhite}, {82, 60, kWhite}}},
      {"outer bevel",
       bevelFilter(kGreenRgba, kBlueRgba, 0, 0, 4, 1, BevelType::Outer),
       {{38, 60, kGreen}, {82, 60, kBlue}, {41, 60, kRed}, {78, 60, kRed}, {60, 60, kRed}}},
      {"full bevel",
       bevelFilter(kGreenRgba, kBlueRgba, 0, 0, 4, 1, BevelType::Full),
       {{38, 60, kGreen}, {41, 60, kGreen}, {78, 60, kBlue}, {82, 60, kBlue}, {60, 60, kRed}}},
      {"knocked-out inner bevel",
       bevelFilter(kGreenRgba, kBlueRgba, 0, 0, 4, 1, BevelType::Inner, true),
       {{41, 60, kGreen}, {78, 60, kBlue}, {60, 60, kWhite}, {38, 60, kWhite}}},
      {"glow without its object",
       glowFilter(kBlueRgba, 0, 1, false, false, false),
       {{60, 60, kBlue}, {30, 60, kWhite}}},
      {"inner glow without its object",
       glowFilter(kBlueRgba, 8, 1, true, false, false),
       {{60, 60, kWhite}, {40, 60, 0x8E8EFF}, {30, 60, kWhite}}},
      {"knocked-out glow without its object",
       glowFilter(kBlueRgba, 8, 1, false, true, false),
       {{60, 60, kWhite}, {39, 60, 0x8E8EFF}, {40, 60, kWhite}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, rectShape(40, 40, 40, 40, kRedRgba));
    movie.placeObject3({.depth = 1, .characterId = 1, .filters = {c.filter}});
    movie.showFrame();
    expectProbes(Loaded(movie).picture(), c.probes, 2);
  }
}

TEST(Stage, TheFirstBackgroundWinsAndMissingPicturesAndHiddenObjectsDrawNothing) {
  struct Case {
    const char* name;
    std::function<void(MovieWriter&)> build;
    uint32_t color;
  } cases[] = {
      {"two backgrounds",
       [](MovieWriter& m) {
         m.setBackground(kRedRgba);
         m.setBackground(kBlueRgba);
       },
       kRed},
      {"a fill of a picture that does not exist",
       [](MovieWriter& m) {
         m.setBackground(kGreenRgba);
         ShapeBuilder s;
         s.rectangle(0, 0, 240 * kTw, 180 * kTw, s.addBitmapFill(99, Matrix::scaling(kTw, kTw)));
         m.defineShape(1, s);
         m.placeObject2({.depth = 1, .characterId = 1});
       },
       kGreen},
      {"an object placed invisible",
       [](MovieWriter& m) {
         m.setBackground(kGreenRgba);
         m.defineShape(1, rectShape(0, 0, 240, 180, kRedRgba));
         m.placeObject3({.depth = 1, .characterId = 1, .visible = false});
       },
       kGreen},
      {"an object placed visible",
       [](MovieWriter& m) {
         m.setBackground(kGreenRgba);
         m.defineShape(1, rectShape(0, 0, 240, 180, kRedRgba));
         m.placeObject3({.depth = 1, .characterId = 1, .visible = true});
       },
       kRed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MovieWriter movie(240, 180, 12);
    c.build(movie);
    movie.showFrame();
    EXPECT_EQ(Loaded(movie).picture().at(120, 90), c.color);
  }
}

}  // namespace
