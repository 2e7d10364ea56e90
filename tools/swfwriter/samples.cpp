#include "tools/swfwriter/samples.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "tools/swfwriter/swfwriter.h"

namespace swfwrite {

namespace {

constexpr int kTw = 20;  // twips per pixel

Matrix gradientBox(int x, int y, int width, int height, float degrees = 0) {
  // Maps the gradient square onto the box, turned about its centre.
  Matrix m = Matrix::translation(float(x + width / 2), float(y + height / 2)) * Matrix::rotation(degrees) *
             Matrix::scaling(float(width) / 32768.0f, float(height) / 32768.0f);
  return m;
}

}  // namespace

std::vector<uint8_t> demoMovie(bool compressed) {
  constexpr int kW = 240, kH = 180, kFrames = 24;
  MovieWriter movie(kW, kH, 12);
  movie.setBackground({16, 24, 64, 255});

  ShapeBuilder sky;
  int skyFill = sky.addLinearGradient(gradientBox(0, 0, kW * kTw, 150 * kTw, 90),
                                      {{0, {40, 80, 200, 255}}, {255, {250, 180, 120, 255}}});
  sky.rectangle(0, 0, kW * kTw, 150 * kTw, skyFill);
  movie.defineShape(1, sky, 2);

  ShapeBuilder ground;
  int grass = ground.addSolidFill({40, 140, 60, 255});
  int edge = ground.addLineStyle(2 * kTw, {20, 80, 30, 255});
  ground.setFill1(grass);
  ground.setLine(edge);
  ground.moveTo(0, 120 * kTw);
  ground.curveTo(60 * kTw, 100 * kTw, 120 * kTw, 120 * kTw);
  ground.curveTo(180 * kTw, 140 * kTw, 240 * kTw, 115 * kTw);
  ground.lineTo(240 * kTw, 180 * kTw);
  ground.lineTo(0, 180 * kTw);
  ground.lineTo(0, 120 * kTw);
  movie.defineShape(2, ground, 1);

  ShapeBuilder sun;
  int glow = sun.addRadialGradient(gradientBox(-30 * kTw, -30 * kTw, 60 * kTw, 60 * kTw),
                                   {{0, {255, 255, 200, 255}}, {160, {255, 200, 0, 255}}, {255, {255, 120, 0, 0}}});
  sun.ellipse(0, 0, 30 * kTw, 30 * kTw, glow);
  movie.defineShape(3, sun, 3);

  ShapeBuilder blade;
  int red = blade.addSolidFill({220, 40, 40, 255});
  int white = blade.addLineStyle(1 * kTw, {255, 255, 255, 255});
  blade.rectangle(-4 * kTw, -20 * kTw, 8 * kTw, 20 * kTw, red, white);
  blade.newStyles();
  int yellow = blade.addSolidFill({250, 220, 40, 255});
  blade.ellipse(0, 0, 4 * kTw, 4 * kTw, yellow);
  movie.defineShape(4, blade, 3);

  // A windmill: four blades turning in its own 8-frame timeline.
  TagStream mill;
  for (int f = 0; f < 8; ++f) {
    for (int b = 0; b < 4; ++b) {
      Placement p;
      p.depth = uint16_t(b + 1);
      if (f == 0)
        p.characterId = 4;
      else
        p.move = true;
      p.matrix = Matrix::rotation(float(b * 90 + f * 11.25f));
      mill.placeObject2(p);
    }
    mill.showFrame();
  }
  movie.defineSprite(5, mill);

  ShapeBuilder ball;
  int shine = ball.addRadialGradient(gradientBox(-14 * kTw, -14 * kTw, 20 * kTw, 20 * kTw),
                                     {{0, {255, 255, 255, 255}}, {255, {200, 0, 160, 255}}});
  int rim = ball.addLineStyle(kTw, {80, 0, 60, 255});
  ball.ellipse(0, 0, 10 * kTw, 10 * kTw, shine, rim);
  movie.defineShape(6, ball, 3);

  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.placeObject2({.depth = 2, .characterId = 3, .matrix = Matrix::translation(190 * kTw, 40 * kTw)});
  movie.placeObject2({.depth = 3, .characterId = 2});
  movie.placeObject2(
      {.depth = 4, .characterId = 5, .matrix = Matrix::translation(60 * kTw, 95 * kTw), .name = std::string("mill")});
  movie.frameLabel("start");
  for (int f = 0; f < kFrames; ++f) {
    float t = float(f) / kFrames;
    float x = 20 + 200 * t;
    float y = 150 - 60 * std::fabs(std::sin(t * 2 * 3.14159265f * 2));
    Placement p;
    p.depth = 5;
    if (f == 0)
      p.characterId = 6;
    else
      p.move = true;
    p.matrix = Matrix::translation(x * kTw, y * kTw);
    movie.placeObject2(p);
    if (f == kFrames / 2) movie.frameLabel("middle");
    movie.showFrame();
  }
  return movie.finish(compressed);
}

std::vector<uint8_t> countingMovie(int frames, float rate, int width, int height, bool compressed) {
  MovieWriter movie(width, height, rate);
  movie.setBackground({255, 255, 255, 255});
  ShapeBuilder bar;
  int blue = bar.addSolidFill({0, 0, 255, 255});
  bar.rectangle(0, 0, width * kTw, height * kTw, blue);
  movie.defineShape(1, bar, 1);
  for (int f = 0; f < frames; ++f) {
    float share = float(f + 1) / float(frames);
    Placement p;
    p.depth = 1;
    if (f == 0)
      p.characterId = 1;
    else
      p.move = true;
    p.matrix = Matrix::scaling(share, 1);
    movie.placeObject2(p);
    movie.showFrame();
  }
  return movie.finish(compressed);
}

std::vector<uint8_t> busyMovie(int shapes, int frames, bool compressed) {
  constexpr int kW = 240, kH = 320;
  MovieWriter movie(kW, kH, 30);
  movie.setBackground({250, 250, 245, 255});
  uint32_t seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 8) % uint32_t(range));
  };
  constexpr int kKinds = 16;
  for (int k = 0; k < kKinds; ++k) {
    ShapeBuilder s;
    int size = (12 + next(28)) * kTw;
    Rgba a{uint8_t(next(256)), uint8_t(next(256)), uint8_t(next(256)), 255};
    Rgba b{uint8_t(next(256)), uint8_t(next(256)), uint8_t(next(256)), uint8_t(128 + next(128))};
    int fill = k % 2 ? s.addRadialGradient(gradientBox(-size, -size, 2 * size, 2 * size), {{0, a}, {255, b}})
                     : s.addLinearGradient(gradientBox(-size, -size, 2 * size, 2 * size, float(k * 20)),
                                           {{0, a}, {128, b}, {255, a}});
    int line = s.addLineStyle(uint16_t(kTw + next(3 * kTw)), {0, 0, 0, 255});
    if (k % 3 == 0) {
      s.rectangle(-size, -size / 2, 2 * size, size, fill, line);
    } else {
      // A petal: curved edges only.
      s.setFill1(fill);
      s.setLine(line);
      s.moveTo(-size, 0);
      s.curveTo(-size, -size, 0, -size);
      s.curveTo(size / 2, 0, size, 0);
      s.curveTo(size, size, 0, size);
      s.curveTo(-size / 2, 0, -size, 0);
    }
    movie.defineShape(uint16_t(k + 1), s, 3);
  }
  std::vector<std::pair<int, int>> places;
  for (int i = 0; i < shapes; ++i) places.push_back({next(kW), next(kH)});
  for (int f = 0; f < frames; ++f) {
    for (int i = 0; i < shapes; ++i) {
      Placement p;
      p.depth = uint16_t(i + 1);
      if (f == 0)
        p.characterId = uint16_t(1 + i % kKinds);
      else
        p.move = true;
      p.matrix =
          Matrix::translation(float((places[size_t(i)].first + f) * kTw), float(places[size_t(i)].second * kTw)) *
          Matrix::rotation(float((i * 37 + f * 5) % 360));
      movie.placeObject2(p);
    }
    movie.showFrame();
  }
  return movie.finish(compressed);
}

std::vector<uint8_t> maskedTextMovie(int groups, int frames, bool compressed) {
  constexpr int kW = 240, kH = 320, kGlyphs = 26, kLine = 24;
  MovieWriter movie(kW, kH, 30);
  movie.setBackground({255, 255, 250, 255});
  // Glyphs of curves and bars, each a little different, on a 1024-unit em.
  std::vector<FontGlyph> glyphs;
  for (int g = 0; g < kGlyphs; ++g) {
    ShapeBuilder outline;
    int fill = outline.addSolidFill({0, 0, 0, 255});
    int w = 300 + (g * 37) % 300;
    outline.ellipse(w / 2, -350, w / 2, 350, fill);
    outline.rectangle(w / 4, -700 + (g * 53) % 400, w / 2, 120, fill);
    glyphs.push_back({char16_t(u'A' + g), std::move(outline), int16_t(w + 80)});
  }
  movie.defineFont(1, 2, "Bench", glyphs, 800, 200);
  TextRecord run{.fontId = 1, .color = Rgba{20, 20, 120, 255}, .x = 0, .y = 0, .height = 14 * kTw};
  for (int i = 0; i < kLine; ++i)
    run.glyphs.push_back(
        {uint32_t((i * 7) % kGlyphs), int32_t(glyphs[size_t((i * 7) % kGlyphs)].advance * 14 * kTw / 1024)});
  movie.defineText(2, 2, {}, {run});
  ShapeBuilder mask;
  mask.ellipse(0, 0, 60 * kTw, 40 * kTw, mask.addSolidFill({0, 0, 0, 255}));
  movie.defineShape(3, mask, 3);
  ShapeBuilder back;
  back.rectangle(0, 0, kW * kTw, 40 * kTw,
                 back.addLinearGradient(gradientBox(0, 0, kW * kTw, 40 * kTw),
                                        {{0, {250, 200, 80, 255}}, {255, {80, 160, 250, 255}}}));
  movie.defineShape(4, back, 3);
  EditText device{.xMin = 0,
                  .xMax = 200 * kTw,
                  .yMin = 0,
                  .yMax = 20 * kTw,
                  .height = 12 * kTw,
                  .color = Rgba{120, 0, 0, 255},
                  .text = "Masks and text, drawn every frame"};
  movie.defineEditText(5, device);
  EditText outlined{.xMin = 0,
                    .xMax = 230 * kTw,
                    .yMin = 0,
                    .yMax = 60 * kTw,
                    .fontId = 1,
                    .height = 16 * kTw,
                    .color = Rgba{0, 90, 0, 255},
                    .align = 0,
                    .text = "ABCDEFGHIJKLMN OPQRSTUVWXYZ ABCDEFGHIJ",
                    .border = true,
                    .useOutlines = true,
                    .wordWrap = true,
                    .multiline = true};
  movie.defineEditText(6, outlined);
  for (int f = 0; f < frames; ++f) {
    for (int g = 0; g < groups; ++g) {
      int y = (g * 53) % (kH - 40), depth = 1 + g * 4;
      auto place = [&](uint16_t d, uint16_t id, const Matrix& m, std::optional<uint16_t> clip = std::nullopt) {
        Placement p;
        p.depth = d;
        if (f == 0) {
          p.characterId = id;
          p.clipDepth = clip;
        } else {
          p.move = true;
        }
        p.matrix = m;
        movie.placeObject2(p);
      };
      place(uint16_t(depth), 3, Matrix::translation(float(((g * 41 + f * 4) % kW) * kTw), float((y + 20) * kTw)),
            uint16_t(depth + 3));
      place(uint16_t(depth + 1), 4, Matrix::translation(0, float(y * kTw)));
      place(uint16_t(depth + 2), 2, Matrix::translation(float(((f * 2) % 40) * kTw), float((y + 24) * kTw)));
      place(uint16_t(depth + 3), 5, Matrix::translation(4 * kTw, float((y + 4) * kTw)));
    }
    Placement top;
    top.depth = uint16_t(groups * 4 + 1);
    if (f == 0)
      top.characterId = 6;
    else
      top.move = true;
    top.matrix = Matrix::translation(5 * kTw, float((200 + f % 20) * kTw));
    movie.placeObject2(top);
    movie.showFrame();
  }
  return movie.finish(compressed);
}

namespace {

constexpr float kPi = 3.14159265f;

// Pixels to twips.
int32_t px(float pixels) { return int32_t(std::lround(pixels * kTw)); }
Matrix at(float x, float y) { return Matrix::translation(x * kTw, y * kTw); }

ColorTransform alphaOnly(float share) {
  ColorTransform cx;
  cx.aMult = int16_t(std::lround(std::clamp(share, 0.0f, 1.0f) * 256));
  return cx;
}

Placement placeNew(uint16_t depth, uint16_t character, const Matrix& matrix,
                   std::optional<ColorTransform> cx = std::nullopt) {
  Placement p;
  p.depth = depth;
  p.characterId = character;
  p.matrix = matrix;
  p.colorTransform = cx;
  return p;
}

Placement moveTo(uint16_t depth, const Matrix& matrix, std::optional<ColorTransform> cx = std::nullopt) {
  Placement p;
  p.depth = depth;
  p.move = true;
  p.matrix = matrix;
  p.colorTransform = cx;
  return p;
}

uint32_t argb(int a, int r, int g, int b) {
  auto c = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
  return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// Hue 0..1 around the colour wheel.
uint32_t hsv(float h, float s, float v) {
  h = (h - std::floor(h)) * 6;
  int sector = int(h) % 6;
  float f = h - std::floor(h);
  float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  float rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  return argb(255, int(rgb[sector][0] * 255), int(rgb[sector][1] * 255), int(rgb[sector][2] * 255));
}

// The kite's cloth: a tartan of three colours, so that it fits a colour table.
Image tartan() {
  Image image{16, 16, {}};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      bool gold = x % 8 < 2 || y % 8 < 2;
      bool navy = x % 8 == 5 || y % 8 == 5;
      image.pixels.push_back(gold ? argb(255, 250, 200, 60) : navy ? argb(255, 30, 40, 110) : argb(255, 205, 40, 55));
    }
  return image;
}

// A soap bubble: clear inside, a rainbow rim and a highlight; straight alpha.
Image bubble() {
  constexpr int kSize = 32;
  Image image{kSize, kSize, {}};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      float dx = (x + 0.5f - kSize / 2.0f) / (kSize / 2.0f), dy = (y + 0.5f - kSize / 2.0f) / (kSize / 2.0f);
      float d = std::sqrt(dx * dx + dy * dy);
      float edge = std::clamp((1 - d) * kSize / 2.0f, 0.0f, 1.0f);
      float alpha = (40 + 200 * std::pow(std::min(d, 1.0f), 6.0f)) * edge;
      uint32_t rim = hsv(std::atan2(dy, dx) / (2 * kPi) + 0.5f, 0.35f, 1.0f);
      float hx = dx + 0.38f, hy = dy + 0.38f;
      float highlight = std::clamp(1 - std::sqrt(hx * hx + hy * hy) / 0.22f, 0.0f, 1.0f);
      int r = int((rim >> 16 & 0xFF) * (1 - highlight) + 255 * highlight);
      int g = int((rim >> 8 & 0xFF) * (1 - highlight) + 255 * highlight);
      int b = int((rim & 0xFF) * (1 - highlight) + 255 * highlight);
      image.pixels.push_back(argb(int(std::max(alpha, 235 * highlight * edge)), r, g, b));
    }
  return image;
}

// The moon's face, and its round outline as one alpha byte a pixel.
Image moonFace() {
  constexpr int kSize = 64;
  struct Crater {
    float x, y, r;
  } craters[] = {{22, 20, 7}, {40, 30, 5}, {28, 42, 9}, {46, 46, 4}, {16, 34, 3}, {38, 14, 3}};
  Image image{kSize, kSize, {}};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      float shade = 236 - 0.5f * float(x + y - kSize);
      for (const Crater& c : craters) {
        float d = std::hypot(x - c.x, y - c.y) / c.r;
        if (d < 1)
          shade -= 34 * (1 - d * d);
        else if (d < 1.25f)
          shade += 10;  // the sunlit rim
      }
      int v = int(shade);
      image.pixels.push_back(argb(255, v, v, v - 12));
    }
  return image;
}

std::vector<uint8_t> roundMask(int size) {
  std::vector<uint8_t> alpha;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float d = std::hypot(x + 0.5f - size / 2.0f, y + 0.5f - size / 2.0f);
      alpha.push_back(uint8_t(std::lround(std::clamp(size / 2.0f - 1 - d, 0.0f, 1.0f) * 255)));
    }
  return alpha;
}

// The painting on the easel: a swirl of colours.
Image swirl() {
  Image image{64, 48, {}};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      float dx = (x - 32) / 32.0f, dy = (y - 24) / 32.0f;
      float r = std::sqrt(dx * dx + dy * dy);
      image.pixels.push_back(hsv(std::atan2(dy, dx) / (2 * kPi) + r * 0.9f, 0.75f, 0.95f - 0.3f * r));
    }
  return image;
}

// A flower that grows from the ground: 12 frames of stem and opening head;
// `last` are the actions of the last of them.
TagStream bloom(uint16_t stem, uint16_t head, const std::vector<ActionRecord>& last) {
  TagStream flower;
  for (int f = 0; f < 12; ++f) {
    float t = float(f + 1) / 12;
    float grown = 1 - (1 - t) * (1 - t);
    Matrix stemMatrix = Matrix::scaling(1, 0.2f + 0.8f * grown);
    Matrix headMatrix = at(0, -30 * (0.2f + 0.8f * grown)) * Matrix::rotation(72 * grown) *
                        Matrix::scaling(0.1f + 0.9f * grown, 0.1f + 0.9f * grown);
    if (f == 0) {
      flower.placeObject2(placeNew(1, stem, stemMatrix));
      flower.placeObject2(placeNew(2, head, headMatrix));
    } else {
      flower.placeObject2(moveTo(1, stemMatrix));
      flower.placeObject2(moveTo(2, headMatrix));
    }
    if (f == 11 && !last.empty()) flower.doAction(last);
    flower.showFrame();
  }
  return flower;
}

}  // namespace

std::vector<uint8_t> showcaseMovie(bool compressed) {
  constexpr int kW = 240, kH = 320;
  MovieWriter movie(kW, kH, 12);
  movie.setBackground({12, 16, 48, 255});

  // Characters. Pictures first, so that the shapes that fill with them follow.
  enum : uint16_t {
    kSky = 1,
    kMoon,
    kSun,
    kHills,
    kLake,
    kTower,
    kBlade,
    kBlades,
    kWindmill,
    kGround,
    kKite,
    kWingUp,
    kWingMid,
    kWingDown,
    kBird,
    kBubble,
    kPetals,
    kStem,
    kFlowerHolds,
    kFlowerSteps,
    kEasel,
    kCurtain,
    kWarning,
    kSunflower,
    kTartan = 100,
    kBubbleSkin,
    kMoonFace,
    kPainting,
  };
  movie.defineBitsLossless(kTartan, tartan(), Lossless::ColorMapped, false);
  movie.defineBitsLossless(kBubbleSkin, bubble(), Lossless::Rgb32, true);
  movie.defineBitsJpeg3(kMoonFace, encodeJpeg(moonFace(), 90), roundMask(64));
  movie.defineBitsJpeg2(kPainting, encodeJpeg(swirl(), 92));

  ShapeBuilder sky;
  int dusk = sky.addLinearGradient(
      gradientBox(0, 0, kW * kTw, 210 * kTw, 90),
      {{0, {18, 24, 80, 255}}, {120, {70, 90, 190, 255}}, {200, {240, 150, 140, 255}}, {255, {255, 200, 130, 255}}});
  sky.rectangle(0, 0, kW * kTw, 210 * kTw, dusk);
  movie.defineShape(kSky, sky, 2);

  ShapeBuilder moon;
  int face = moon.addBitmapFill(kMoonFace, at(-22, -22) * Matrix::scaling(44.0f * kTw / 64, 44.0f * kTw / 64),
                                BitmapEdges::Clipped);
  moon.rectangle(px(-22), px(-22), px(44), px(44), face);
  movie.defineShape(kMoon, moon, 3);

  ShapeBuilder sun;
  int glow = sun.addRadialGradient(
      gradientBox(px(-40), px(-40), px(80), px(80)),
      {{0, {255, 255, 220, 255}}, {70, {255, 220, 90, 255}}, {110, {255, 150, 60, 200}}, {255, {255, 120, 80, 0}}});
  sun.ellipse(0, 0, px(40), px(40), glow);
  movie.defineShape(kSun, sun, 3);

  ShapeBuilder hills;
  int far = hills.addSolidFill({60, 80, 130, 230});
  hills.setFill1(far);
  hills.moveTo(0, px(180));
  hills.curveTo(px(40), px(150), px(90), px(178));
  hills.curveTo(px(150), px(160), px(200), px(176));
  hills.curveTo(px(225), px(168), px(240), px(172));
  hills.lineTo(px(240), px(210));
  hills.lineTo(0, px(210));
  hills.lineTo(0, px(180));
  movie.defineShape(kHills, hills, 3);

  ShapeBuilder lake;
  int water = lake.addLinearGradient(gradientBox(0, px(205), px(kW), px(50), 90),
                                     {{0, {120, 110, 170, 255}}, {255, {30, 50, 110, 255}}});
  lake.rectangle(0, px(205), px(kW), px(50), water);
  movie.defineShape(kLake, lake, 2);

  // The windmill stands on the far shore: a tower with its turning blades.
  ShapeBuilder tower;
  int wall = tower.addSolidFill({235, 225, 205, 255});
  int mortar = tower.addLineStyle(kTw, {110, 90, 80, 255});
  tower.setFill1(wall);
  tower.setLine(mortar);
  tower.moveTo(px(-10), 0);
  tower.lineTo(px(-6), px(-52));
  tower.lineTo(px(6), px(-52));
  tower.lineTo(px(10), 0);
  tower.lineTo(px(-10), 0);
  tower.newStyles();
  int roof = tower.addSolidFill({170, 60, 50, 255});
  int door = tower.addSolidFill({90, 60, 40, 255});
  tower.setFill1(roof);
  tower.setFill0(0);
  tower.setLine(0);
  tower.moveTo(px(-9), px(-51));
  tower.curveTo(0, px(-66), px(9), px(-51));
  tower.lineTo(px(-9), px(-51));
  tower.rectangle(px(-3), px(-10), px(6), px(10), door);
  movie.defineShape(kTower, tower, 1);

  ShapeBuilder blade;
  int sail = blade.addSolidFill({250, 245, 235, 255});
  int frame = blade.addLineStyle(kTw, {120, 100, 90, 255});
  blade.rectangle(px(-4), px(-28), px(8), px(24), sail, frame);
  blade.newStyles();
  int hub = blade.addSolidFill({90, 60, 40, 255});
  blade.ellipse(0, 0, px(3), px(3), hub);
  movie.defineShape(kBlade, blade, 2);

  TagStream blades;  // a quarter turn in 16 frames, which the four blades make look endless
  for (int f = 0; f < 16; ++f) {
    for (int b = 0; b < 4; ++b) {
      Matrix turn = Matrix::rotation(float(b * 90) + float(f) * 90 / 16);
      blades.placeObject2(f == 0 ? placeNew(uint16_t(b + 1), kBlade, turn) : moveTo(uint16_t(b + 1), turn));
    }
    blades.showFrame();
  }
  movie.defineSprite(kBlades, blades);

  TagStream windmill;
  windmill.placeObject2(placeNew(1, kTower, {}));
  windmill.placeObject2(placeNew(2, kBlades, at(0, -54)));
  windmill.showFrame();
  movie.defineSprite(kWindmill, windmill);

  ShapeBuilder ground;
  int grass = ground.addSolidFill({60, 150, 70, 255});
  int turf = ground.addLineStyle(2 * kTw, {30, 95, 45, 255});
  ground.setFill1(grass);
  ground.setLine(turf);
  ground.moveTo(0, px(258));
  ground.curveTo(px(60), px(238), px(120), px(252));
  ground.curveTo(px(180), px(266), px(240), px(246));
  ground.setLine(0);
  ground.lineTo(px(240), px(320));
  ground.lineTo(0, px(320));
  ground.lineTo(0, px(258));
  movie.defineShape(kGround, ground, 1);

  // The kite: tartan cloth (turned 45 degrees), spars, a tail with bows and its string.
  ShapeBuilder kite;
  int cloth = kite.addBitmapFill(kTartan, Matrix::rotation(45) * Matrix::scaling(kTw, kTw));
  int seam = kite.addLineStyle(kTw, {70, 30, 20, 255});
  kite.setFill1(cloth);
  kite.setLine(seam);
  kite.moveTo(0, px(-26));
  kite.lineTo(px(18), px(-6));
  kite.lineTo(0, px(26));
  kite.lineTo(px(-18), px(-6));
  kite.lineTo(0, px(-26));
  kite.setFill1(0);
  kite.moveTo(0, px(-26));
  kite.lineTo(0, px(26));
  kite.moveTo(px(-18), px(-6));
  kite.lineTo(px(18), px(-6));
  kite.newStyles();
  int tailLine = kite.addLineStyle(kTw, {250, 240, 220, 255});
  int string = kite.addLineStyle(kTw, {220, 220, 230, 160});
  int bow = kite.addSolidFill({250, 210, 60, 255});
  kite.setLine(tailLine);
  kite.moveTo(0, px(26));
  kite.curveTo(px(12), px(38), 0, px(50));
  kite.curveTo(px(-12), px(62), px(-4), px(76));
  kite.setLine(string);
  kite.moveTo(0, px(4));
  kite.curveTo(px(-40), px(150), px(-140), px(250));
  for (float y : {38.0f, 62.0f}) {
    float x = y == 38 ? 6.5f : -6.0f;
    kite.setLine(0);
    kite.setFill1(bow);
    kite.moveTo(px(x - 5), px(y - 3));
    kite.lineTo(px(x + 5), px(y + 3));
    kite.lineTo(px(x + 5), px(y - 3));
    kite.lineTo(px(x - 5), px(y + 3));
    kite.lineTo(px(x - 5), px(y - 3));
  }
  movie.defineShape(kKite, kite, 3);

  // A bird of three wing poses, flapping in its own timeline.
  float wingTips[] = {-11, -1, 7};
  for (int pose = 0; pose < 3; ++pose) {
    ShapeBuilder bird;
    int feather = bird.addSolidFill({45, 35, 60, 255});
    float tip = wingTips[pose];
    bird.setFill1(feather);
    bird.moveTo(0, px(-1));
    bird.curveTo(px(6), px(tip - 4), px(14), px(tip));
    bird.curveTo(px(6), px(tip / 2 + 1), 0, px(2));
    bird.curveTo(px(-6), px(tip / 2 + 1), px(-14), px(tip));
    bird.curveTo(px(-6), px(tip - 4), 0, px(-1));
    bird.ellipse(0, px(1), px(3), px(2), feather);
    movie.defineShape(uint16_t(kWingUp + pose), bird, 4);
  }
  TagStream flight;
  const uint16_t beat[] = {kWingUp, kWingMid, kWingDown, kWingMid};
  for (int f = 0; f < 4; ++f) {
    Placement p;
    p.depth = 1;
    p.characterId = beat[f];
    p.move = f > 0;  // the same depth shows the next pose
    flight.placeObject2(p);
    flight.showFrame();
  }
  movie.defineSprite(kBird, flight);

  ShapeBuilder soap;
  int skin = soap.addBitmapFill(kBubbleSkin, at(-12, -12) * Matrix::scaling(24.0f * kTw / 32, 24.0f * kTw / 32),
                                BitmapEdges::Clipped);
  soap.ellipse(0, 0, px(12), px(12), skin);
  movie.defineShape(kBubble, soap, 3);

  // Flowers: five petals about a heart, on a stem with a leaf.
  auto petals = [&movie](uint16_t id, Rgba petal, Rgba heart) {
    ShapeBuilder head;
    int leaf = head.addSolidFill(petal);
    int rim =
        head.addLineStyle(kTw, {uint8_t(petal.r * 3 / 4), uint8_t(petal.g * 3 / 4), uint8_t(petal.b * 3 / 4), 255});
    for (int i = 0; i < 5; ++i) {
      float a = float(i) * 2 * kPi / 5 - kPi / 2;
      float cs = std::cos(a), sn = std::sin(a);
      auto rot = [&](float u, float v) { return std::pair{px(u * cs - v * sn), px(u * sn + v * cs)}; };
      head.setFill1(leaf);
      head.setFill0(0);
      head.setLine(rim);
      auto [x0, y0] = rot(0, 0);
      auto [c1x, c1y] = rot(6, -7);
      auto [x1, y1] = rot(12, 0);
      auto [c2x, c2y] = rot(6, 7);
      head.moveTo(x0, y0);
      head.curveTo(c1x, c1y, x1, y1);
      head.curveTo(c2x, c2y, x0, y0);
    }
    head.newStyles();
    int middle = head.addSolidFill(heart);
    head.ellipse(0, 0, px(3.5f), px(3.5f), middle);
    movie.defineShape(id, head, 3);
  };
  petals(kPetals, {240, 110, 170, 255}, {250, 220, 80, 255});
  petals(kSunflower, {250, 195, 50, 255}, {120, 70, 30, 255});
  {
    constexpr float height = 30;
    ShapeBuilder stem;
    int green = stem.addLineStyle(2 * kTw, {40, 120, 50, 255});
    int leafFill = stem.addSolidFill({70, 170, 70, 255});
    stem.setLine(green);
    stem.moveTo(0, 0);
    stem.curveTo(px(3), px(-height / 2), 0, px(-height));
    stem.setLine(0);
    stem.setFill1(leafFill);
    stem.moveTo(px(1), px(-8));
    stem.curveTo(px(8), px(-16), px(14), px(-12));
    stem.curveTo(px(8), px(-8), px(1), px(-8));
    movie.defineShape(kStem, stem, 3);
  }

  ShapeBuilder curtain;
  int black = curtain.addSolidFill({0, 0, 0, 255});
  curtain.rectangle(0, 0, px(kW), px(kH), black);
  movie.defineShape(kCurtain, curtain, 1);

  // Frames that must never be seen are covered in this colour, so that a
  // wrong jump shows at once.
  ShapeBuilder warning;
  int magenta = warning.addSolidFill({255, 0, 255, 255});
  warning.rectangle(0, 0, px(kW), px(kH), magenta);
  movie.defineShape(kWarning, warning, 1);

  // One flower stops on its last frame; the other has one frame more, which
  // steps back to the last and stops there.
  movie.defineSprite(kFlowerHolds, bloom(kStem, kPetals, {actionStop()}));
  TagStream steps = bloom(kStem, kSunflower, {});
  steps.placeObject2(placeNew(3, kWarning, Matrix::scaling(0.1f, 0.1f)));
  steps.doAction({actionPreviousFrame()});
  steps.showFrame();
  movie.defineSprite(kFlowerSteps, steps);

  ShapeBuilder easel;
  int wood = easel.addLineStyle(2 * kTw, {120, 80, 40, 255});
  easel.setLine(wood);
  easel.moveTo(px(-6), px(-26));
  easel.lineTo(px(-22), px(44));
  easel.moveTo(px(6), px(-26));
  easel.lineTo(px(22), px(44));
  easel.moveTo(0, px(-26));
  easel.lineTo(0, px(40));
  easel.newStyles();
  int canvas = easel.addBitmapFill(kPainting, at(-28, -21) * Matrix::scaling(56.0f * kTw / 64, 42.0f * kTw / 48),
                                   BitmapEdges::Clipped);
  int gilt = easel.addLineStyle(2 * kTw, {170, 120, 50, 255});
  easel.rectangle(px(-28), px(-21), px(56), px(42), canvas, gilt);
  movie.defineShape(kEasel, easel, 3);

  // Depths of the scene, back to front.
  enum : uint16_t {
    dSky = 1,
    dMoon,
    dSun,
    dHills,
    dLake,
    dReflection,
    dWindmill,
    dGround,
    dEasel,
    dFlowerA,
    dFlowerB,
    dKite,
    dBird,
    dBubbles = 20,
    dWarning = 290,
    dCurtain = 300,
  };
  constexpr int kBubbles = 5;

  movie.placeObject2(placeNew(dSky, kSky, {}));
  movie.placeObject2(placeNew(dMoon, kMoon, at(196, 46)));
  movie.placeObject2(placeNew(dSun, kSun, at(52, 166)));
  movie.placeObject2(placeNew(dHills, kHills, {}));
  movie.placeObject(kLake, dLake);
  // The windmill's reflection: the same sprite upside down about the shore
  // line, darker, bluer and half clear.
  ColorTransform mirrored;
  mirrored.rMult = 130;
  mirrored.gMult = 150;
  mirrored.bMult = 200;
  mirrored.bAdd = 30;
  mirrored.aMult = 140;
  movie.placeObject2(placeNew(dReflection, kWindmill, at(172, 206) * Matrix::scaling(1, -0.8f), mirrored));
  movie.placeObject2(placeNew(dWindmill, kWindmill, at(172, 206)));
  movie.placeObject2(placeNew(dGround, kGround, {}));
  movie.placeObject3(placeNew(dEasel, kEasel, at(194, 266)));
  movie.placeObject2(placeNew(dFlowerA, kFlowerHolds, at(34, 296)));
  movie.placeObject2(placeNew(dFlowerB, kFlowerSteps, at(122, 302) * Matrix::scaling(1.2f, 1.2f)));

  // The moving things, at step `s` of the scene's loop of `period` steps.
  auto moveAll = [&](TagStream& frameTags, int s, int period, bool first) {
    float t = float(s) / float(period);
    Matrix kite = at(96 + 16 * std::sin(2 * kPi * t), 84 + 8 * std::sin(4 * kPi * t)) *
                  Matrix::rotation(9 * std::sin(2 * kPi * t + 0.6f));
    Matrix bird = at(270 - 320 * t, 118 + 10 * std::sin(6 * kPi * t)) * Matrix::scaling(0.9f, 0.9f);
    ColorTransform warm;  // the sun glows brighter and dimmer
    warm.rAdd = warm.gAdd = int16_t(std::lround(14 * std::sin(2 * kPi * t)));
    Matrix sun = at(52, 166) * Matrix::scaling(1 + 0.04f * std::sin(2 * kPi * t), 1 + 0.04f * std::sin(2 * kPi * t));
    frameTags.placeObject2(first ? placeNew(dKite, kKite, kite) : moveTo(dKite, kite));
    frameTags.placeObject2(first ? placeNew(dBird, kBird, bird) : moveTo(dBird, bird));
    frameTags.placeObject2(moveTo(dSun, sun, warm));
    for (int b = 0; b < kBubbles; ++b) {
      float u = t + float(b) / kBubbles;
      u -= std::floor(u);
      float size = 0.55f + 0.12f * float((b * 3) % 5);
      float x = 20 + float((b * 47) % 200) + 8 * std::sin(2 * kPi * (2 * u + float(b) / kBubbles));
      float fade = u < 0.12f ? u / 0.12f : u > 0.7f ? (1 - u) / 0.3f : 1;
      Matrix m = at(x, 300 - 250 * u) * Matrix::scaling(size, size);
      uint16_t depth = uint16_t(dBubbles + b);
      frameTags.placeObject2(first ? placeNew(depth, kBubble, m, alphaOnly(fade)) : moveTo(depth, m, alphaOnly(fade)));
    }
  };

  // Frames 0 to 11 lift a black curtain while everything already moves.
  // Actions run as their frame is reached, before it is drawn, so frame 12
  // jumps to "scene" (frame 16) over itself and three more frames that
  // must never show. The scene's frame 40 steps on with NextFrame and Play,
  // so 40 is never seen either; its last frame, 63, goes back to 16.
  constexpr int kIntro = 12, kScene = 16, kSkipped = 40, kLast = 63;
  constexpr int kPeriod = kLast - kScene - 1;  // the frames shown of the scene
  auto stepOf = [](int frame) { return frame < kSkipped ? frame - kScene : frame - kScene - 1; };
  for (int f = 0; f < kIntro; ++f) {
    moveAll(movie, ((f - kIntro) % kPeriod + kPeriod) % kPeriod, kPeriod, f == 0);
    float open = 1 - float(f + 1) / (kIntro + 1);
    movie.placeObject2(f == 0 ? placeNew(dCurtain, kCurtain, {}, alphaOnly(open))
                              : moveTo(dCurtain, {}, alphaOnly(open)));
    if (f == 0) movie.frameLabel("curtain");
    movie.showFrame();
  }
  movie.removeObject2(dCurtain);
  movie.placeObject2(placeNew(dWarning, kWarning, {}));
  movie.doAction({actionGotoLabel("scene"), actionPlay()});
  for (int f = kIntro; f < kScene; ++f) movie.showFrame();
  for (int f = kScene; f < kLast; ++f) {
    if (f == kScene) {
      movie.frameLabel("scene");
      movie.removeObject(kWarning, dWarning);
    }
    if (f == kSkipped) {
      movie.placeObject2(placeNew(dWarning, kWarning, {}));
      movie.doAction({actionNextFrame(), actionPlay()});
    } else {
      if (f == kSkipped + 1) movie.removeObject2(dWarning);
      moveAll(movie, stepOf(f), kPeriod, false);
    }
    movie.showFrame();
  }
  movie.doAction({actionGotoFrame(kScene), actionPlay()});
  movie.showFrame();
  return movie.finish(compressed);
}

}  // namespace swfwrite
