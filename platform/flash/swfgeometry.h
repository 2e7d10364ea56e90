#pragma once
// Geometry and colour values of a Flash movie. Movie coordinates are twips
// (1/20 pixel); colours are straight (not premultiplied) 8-bit channels.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace swf {

constexpr int kTwipsPerPixel = 20;

// Where an object stands in a display list: a tag's 16 bits, and past them
// the depths scripts reach.
using Depth = int32_t;
constexpr Depth kScriptDepthBase = 16384;  // script depth 0; timelines place below it

struct Point {
  float x = 0;
  float y = 0;
};

struct Rect {  // twips; empty when xMax <= xMin or yMax <= yMin
  int32_t xMin = 0;
  int32_t xMax = 0;
  int32_t yMin = 0;
  int32_t yMax = 0;
  int64_t width() const { return int64_t(xMax) - xMin; }
  int64_t height() const { return int64_t(yMax) - yMin; }
  bool empty() const { return width() <= 0 || height() <= 0; }
};

struct Rgba {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 255;
  uint32_t argb() const { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
  bool operator==(const Rgba&) const = default;
};

// The affine matrix of the format: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct Matrix {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  // this after `inner`: apply(inner.apply(p))
  Matrix operator*(const Matrix& inner) const {
    return {a * inner.a + c * inner.b, b * inner.a + d * inner.b,        a * inner.c + c * inner.d,
            b * inner.c + d * inner.d, a * inner.tx + c * inner.ty + tx, b * inner.tx + d * inner.ty + ty};
  }
  float determinant() const { return a * d - b * c; }
  // Answers false (and leaves `out` alone) for a singular matrix.
  bool invert(Matrix& out) const {
    double det = double(a) * d - double(b) * c;
    if (std::fabs(det) < 1e-12) return false;
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    out = {float(ia), float(ib), float(ic), float(id), float(-(ia * tx + ic * ty)), float(-(ib * tx + id * ty))};
    return true;
  }
  // The factor by which lengths grow on average, for line widths.
  float meanScale() const { return std::sqrt(std::fabs(determinant())); }

  static Matrix translation(float x, float y) { return {1, 0, 0, 1, x, y}; }
  static Matrix scaling(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
  static Matrix rotation(float degrees) {
    float r = degrees * 3.14159265358979f / 180.0f;
    float cs = std::cos(r), sn = std::sin(r);
    return {cs, sn, -sn, cs, 0, 0};
  }
};

// Colour transform: channel' = channel * mult / 256 + add, clamped to 0..255.
struct ColorTransform {
  int16_t rMult = 256, gMult = 256, bMult = 256, aMult = 256;
  int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

  static uint8_t channel(int value, int mult, int add) { return uint8_t(std::clamp(value * mult / 256 + add, 0, 255)); }
  Rgba apply(Rgba c) const {
    return {channel(c.r, rMult, rAdd), channel(c.g, gMult, gAdd), channel(c.b, bMult, bAdd), channel(c.a, aMult, aAdd)};
  }
  // this after `inner`
  ColorTransform operator*(const ColorTransform& inner) const {
    auto mul = [](int outer, int in) { return int16_t(std::clamp(outer * in / 256, -32768, 32767)); };
    auto add = [](int outerMult, int inAdd, int outerAdd) {
      return int16_t(std::clamp(inAdd * outerMult / 256 + outerAdd, -32768, 32767));
    };
    return {mul(rMult, inner.rMult),      mul(gMult, inner.gMult),      mul(bMult, inner.bMult),
            mul(aMult, inner.aMult),      add(rMult, inner.rAdd, rAdd), add(gMult, inner.gAdd, gAdd),
            add(bMult, inner.bAdd, bAdd), add(aMult, inner.aAdd, aAdd)};
  }
  bool isIdentity() const {
    return rMult == 256 && gMult == 256 && bMult == 256 && aMult == 256 && rAdd == 0 && gAdd == 0 && bAdd == 0 &&
           aAdd == 0;
  }
};

}  // namespace swf
