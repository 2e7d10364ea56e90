#pragma once
// Anti-aliased scan conversion into a 32-bit 0xAARRGGBB buffer. Edges are
// added in pixel coordinates; each pixel's coverage is the exact area inside
// the edges, accumulated per row (the non-zero rule: overlapping areas of the
// same winding count once). Rows are composited a span at a time: coverage
// first, then the paint's colours, then the blend.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/flash/swfgeometry.h"

namespace swf {

constexpr int kCellBlock = 16;  // cells per block of a row, for skipping empty runs

// A pixel buffer owned by the caller.
struct Canvas {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels
  // When set, a mask's coverage (0..255) per pixel, `stride` a row: what is
  // drawn shows only as far as the mask covers.
  const uint8_t* clip = nullptr;
  uint32_t* row(int y) const { return pixels + std::ptrdiff_t(y) * stride; }
  const uint8_t* clipRow(int y) const { return clip ? clip + std::ptrdiff_t(y) * stride : nullptr; }
};

// Decoded picture pixels, premultiplied 0xAARRGGBB, rows from the top.
struct BitmapPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool opaque = true;  // every pixel has alpha 255
};

// What fills the covered pixels. Colours are premultiplied 0xAARRGGBB.
struct Paint {
  enum class Kind { Solid, Linear, Radial, Bitmap } kind = Kind::Solid;
  uint32_t color = 0;                    // Solid
  const uint32_t* ramp = nullptr;        // gradients: 256 colours by position
  const BitmapPixels* bitmap = nullptr;  // Bitmap
  bool repeat = false;                   // Bitmap: tiles beyond its edges, else edges extend
  bool smooth = false;                   // Bitmap: bilinear between pixels, else nearest
  float focal = 0;                       // Radial: focal point, a fraction of the radius along x
  uint8_t spread = 0;                    // gradients: 0 pad, 1 reflect, 2 repeat beyond the square
  Matrix pixelToPaint;                   // pixel centre to gradient square or bitmap pixels
  bool opaque = false;                   // every colour it gives has alpha 255

  static Paint solid(Rgba color);
};

// Straight colour to premultiplied 0xAARRGGBB and back.
uint32_t premultiply(Rgba c);
Rgba unpremultiply(uint32_t argb);

// Elements that start as zeros, from calloc: a large block comes as fresh
// pages the system has cleared already, so growing costs no clearing by
// hand, and pages no row reaches are never touched. Growing gives a new block,
// all zeros; what the old one held is not kept.
template <typename T>
class ZeroedBuffer {
 public:
  T* data() const { return m_data.get(); }
  size_t size() const { return m_size; }
  // Holds at least `count` elements; false when that much cannot be had.
  bool grow(size_t count) {
    if (count <= m_size) return true;
    T* block = static_cast<T*>(std::calloc(count, sizeof(T)));
    if (!block) return false;
    m_data.reset(block);
    m_size = count;
    return true;
  }

 private:
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T, Free> m_data;
  size_t m_size = 0;
};

class Rasterizer {
 public:
  void reset() {
    m_evenOdd = false;
    m_lines.clear();
    m_minX = m_minY = 1e30f;
    m_maxX = m_maxY = -1e30f;
  }
  void addLine(Point from, Point to);
  // Until the next reset: areas wound round twice are left out (the even-odd rule).
  void setEvenOdd(bool evenOdd) { m_evenOdd = evenOdd; }
  // Adds a quadratic curve, flattened finely enough for the pixel grid.
  void addCurve(Point from, Point control, Point to);
  bool empty() const { return m_lines.empty(); }
  // Draws the area enclosed by the lines added since reset(), when its box
  // of pixels fits in `pixelBudget`, which it then uses up.
  void fill(const Canvas& canvas, const Paint& paint, size_t& pixelBudget);

 private:
  struct Line {
    Point from, to;
  };
  void accumulate(Point from, Point to, int width, int height);
  void accumulateInRow(float* row, uint8_t* touched, int width, float xa, float xb, float d);
  static int blocksPerRow(int width) { return (width + 2 + kCellBlock - 1) / kCellBlock; }
  void coverRow(size_t row, int width);
  // Paints one row of the box with the coverage of m_coverage.
  void paintRow(uint32_t* dest, const uint8_t* clip, int x0, int y, int width, const Paint& paint);
  bool isUprightRectangle() const;
  void fillUprightRectangle(const Canvas& canvas, const Paint& paint, int x0, int y0, int y1, int width);

  std::vector<Line> m_lines;
  float m_minX = 1e30f, m_minY = 1e30f, m_maxX = -1e30f, m_maxY = -1e30f;
  ZeroedBuffer<float> m_cells;       // (width + 2) per row of the drawn box
  ZeroedBuffer<uint8_t> m_touched;   // per row: which blocks of kCellBlock cells hold any
  std::vector<uint8_t> m_coverage;   // one row's coverage, 0..255 per pixel
  std::vector<uint32_t> m_colors;    // one row's paint colours
  std::vector<float> m_columnCover;  // an upright rectangle's share of each column
  std::vector<uint8_t> m_wholeRow;   // and its coverage of a row it wholly crosses
  int m_boxY = 0;
  bool m_evenOdd = false;
};

// Chords needed to draw a quadratic curve within a fraction of a pixel.
int curveSegments(Point from, Point control, Point to);

// Premultiplied colour `src` over `dest` with coverage 0..255: the source
// scaled by the coverage, plus the destination scaled by what the scaled
// source leaves uncovered.
inline unsigned divideBy255(unsigned x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

inline uint32_t blendPixel(uint32_t dest, uint32_t src, unsigned coverage) {
  unsigned keep = 255 - divideBy255((src >> 24) * coverage);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    unsigned channel = divideBy255(((src >> shift) & 0xFF) * coverage) + divideBy255(((dest >> shift) & 0xFF) * keep);
    out |= (channel > 255 ? 255u : channel) << shift;
  }
  return out;
}

}  // namespace swf
