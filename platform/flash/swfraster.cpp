#include "platform/flash/swfraster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace swf {

namespace {

constexpr float kFlatness = 0.2f;  // pixels a flattened curve may stray
constexpr int kMaxCurveSegments = 64;
constexpr float kMaxCoordinate = 1e7f;  // beyond this a point is hostile, not drawable

bool finite(Point p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < kMaxCoordinate && std::fabs(p.y) < kMaxCoordinate;
}

// Integral of clamp(u, 0, 1) from -infinity to t.
float rampIntegral(float t) {
  if (t <= 0) return 0;
  if (t <= 1) return t * t * 0.5f;
  return t - 0.5f;
}

}  // namespace

uint32_t premultiply(Rgba c) {
  auto scale = [&](uint8_t channel) { return divideBy255(unsigned(channel) * c.a); };
  return uint32_t(c.a) << 24 | scale(c.r) << 16 | scale(c.g) << 8 | scale(c.b);
}

Rgba unpremultiply(uint32_t argb) {
  unsigned a = argb >> 24;
  if (a == 0) return {0, 0, 0, 0};
  auto channel = [&](int shift) { return uint8_t(std::min(255u, (((argb >> shift) & 0xFF) * 255 + a / 2) / a)); };
  return {channel(16), channel(8), channel(0), uint8_t(a)};
}

Paint Paint::solid(Rgba color) {
  Paint paint;
  paint.color = premultiply(color);
  paint.opaque = color.a == 255;
  return paint;
}

int curveSegments(Point from, Point control, Point to) {
  // A quadratic strays from its chords by |from - 2 control + to| / (8 n^2).
  float dx = from.x - 2 * control.x + to.x, dy = from.y - 2 * control.y + to.y;
  float n = std::ceil(std::sqrt(std::sqrt(dx * dx + dy * dy) / (8 * kFlatness)));
  if (!(n >= 1)) return 1;  // also NaN
  return int(std::min(n, float(kMaxCurveSegments)));
}

void Rasterizer::addLine(Point from, Point to) {
  if (!finite(from) || !finite(to) || from.y == to.y) return;
  m_lines.push_back({from, to});
  m_minX = std::min({m_minX, from.x, to.x});
  m_maxX = std::max({m_maxX, from.x, to.x});
  m_minY = std::min({m_minY, from.y, to.y});
  m_maxY = std::max({m_maxY, from.y, to.y});
}

void Rasterizer::addCurve(Point from, Point control, Point to) {
  if (!finite(from) || !finite(control) || !finite(to)) return;
  int n = curveSegments(from, control, to);
  Point previous = from;
  for (int i = 1; i <= n; ++i) {
    float t = float(i) / float(n), u = 1 - t;
    Point p{u * u * from.x + 2 * u * t * control.x + t * t * to.x,
            u * u * from.y + 2 * u * t * control.y + t * t * to.y};
    addLine(previous, p);
    previous = p;
  }
}

// Adds one row's share of an edge crossing from xa to xb with signed height d:
// each pixel's coverage is d times the part of the pixel right of the edge,
// stored as differences so that a running sum along the row gives it.
void Rasterizer::accumulateInRow(float* row, uint8_t* touched, int width, float xa, float xb, float d) {
  float xl = std::min(xa, xb), xr = std::max(xa, xb);
  int first = int(xl);
  int lastTouched = std::min(int(std::ceil(xr)), width) + 1;
  for (int b = first / kCellBlock; b <= lastTouched / kCellBlock; ++b) touched[b] = 1;
  // Within one pixel column (steep edges, the usual case) the area right of
  // the edge is that of a trapezoid.
  if (xr - xl < 1e-4f || float(first + 1) >= xr) {
    float inside = float(first + 1) - (xl + xr) * 0.5f;
    row[first] += d * inside;
    row[first + 1] += d * (1 - inside);
    return;
  }
  float perX = d / (xr - xl);
  int last = std::min(int(std::ceil(xr)), width);
  float done = 0;
  for (int i = first; i <= last; ++i) {
    float edge = float(i + 1);
    float cover = perX * (rampIntegral(edge - xl) - rampIntegral(edge - xr));
    row[i] += cover - done;
    done = cover;
  }
  row[last + 1] += d - done;
}

// Adds an edge, in coordinates of the drawn box, clipped to it: parts above or
// below do nothing, parts left of it cover whole rows, parts right of it none.
void Rasterizer::accumulate(Point from, Point to, int width, int height) {
  float dir = 1;
  if (from.y > to.y) {
    std::swap(from, to);
    dir = -1;
  }
  if (to.y <= 0 || from.y >= float(height)) return;
  float dxdy = (to.x - from.x) / (to.y - from.y);
  float y0 = std::max(from.y, 0.0f), y1 = std::min(to.y, float(height));
  float x = from.x + (y0 - from.y) * dxdy;
  float w = float(width);
  for (int y = int(y0); y < height && float(y) < y1; ++y) {
    float top = std::max(float(y), y0), bottom = std::min(float(y + 1), y1);
    float xNext = x + (bottom - top) * dxdy;
    float* row = m_cells.data() + size_t(y) * size_t(width + 2);
    uint8_t* touched = m_touched.data() + size_t(y) * size_t(blocksPerRow(width));
    float d = (bottom - top) * dir;
    float xa = x, xb = xNext;
    // Split at the box's left and right sides; clamp each part inside.
    auto part = [&](float pa, float pb, float share) {
      if (share == 0) return;
      if (std::min(pa, pb) >= w) return;
      accumulateInRow(row, touched, width, std::clamp(pa, 0.0f, w), std::clamp(pb, 0.0f, w), share);
    };
    float lo = std::min(xa, xb), hi = std::max(xa, xb);
    if (lo >= 0 && hi <= w) {
      accumulateInRow(row, touched, width, xa, xb, d);
    } else {
      // Split points where the edge crosses x = 0 and x = w, in order along the edge.
      float cuts[4] = {0, 1, 1, 1};
      int count = 1;
      for (float side : {0.0f, w})
        if ((xa - side) * (xb - side) < 0) cuts[count++] = (side - xa) / (xb - xa);
      if (count == 3 && cuts[1] > cuts[2]) std::swap(cuts[1], cuts[2]);
      cuts[count++] = 1;
      for (int i = 0; i + 1 < count; ++i) {
        float ta = cuts[i], tb = cuts[i + 1];
        part(xa + (xb - xa) * ta, xa + (xb - xa) * tb, d * (tb - ta));
      }
    }
    x = xNext;
  }
}

void Rasterizer::fill(const Canvas& canvas, const Paint& paint, size_t& pixelBudget) {
  if (m_lines.empty()) return;
  // Coverage lies between the leftmost and rightmost edges; edges left of
  // the canvas still count, clamped to its left side.
  int x0 = int(std::clamp(std::floor(m_minX), 0.0f, float(canvas.width)));
  int x1 = int(std::clamp(std::ceil(m_maxX) + 1, 0.0f, float(canvas.width)));
  int y0 = int(std::clamp(std::floor(m_minY), 0.0f, float(canvas.height)));
  int y1 = int(std::clamp(std::ceil(m_maxY) + 1, 0.0f, float(canvas.height)));
  int width = x1 - x0, height = y1 - y0;
  if (width <= 0 || height <= 0) return;
  size_t area = size_t(width) * size_t(height);
  if (area > pixelBudget) {
    pixelBudget = 0;
    return;
  }
  pixelBudget -= area;
  if (m_coverage.size() < size_t(width)) m_coverage.resize(size_t(width));
  if (paint.kind != Paint::Kind::Solid && m_colors.size() < size_t(width)) m_colors.resize(size_t(width));
  if (isUprightRectangle()) {
    fillUprightRectangle(canvas, paint, x0, y0, y1, width);
    return;
  }
  m_boxY = y0;
  // Both buffers are all zeros between fills: compositing clears what it read.
  size_t cells = size_t(width + 2) * size_t(height), blocks = size_t(blocksPerRow(width)) * size_t(height);
  if (!m_cells.grow(cells) || !m_touched.grow(blocks)) return;
  for (const Line& line : m_lines)
    accumulate({line.from.x - float(x0), line.from.y - float(y0)}, {line.to.x - float(x0), line.to.y - float(y0)},
               width, height);
  for (int y = y0; y < y1; ++y) {
    coverRow(size_t(y - m_boxY), width);
    const uint8_t* clip = canvas.clipRow(y);
    paintRow(canvas.row(y) + x0, clip ? clip + x0 : nullptr, x0, y, width, paint);
  }
}

// Two vertical edges, going opposite ways over the same rows, and nothing
// else that crosses a row (level edges are never kept): a rectangle upright
// on the pixel grid, wound once, under either rule.
bool Rasterizer::isUprightRectangle() const {
  if (m_lines.size() != 2) return false;
  const Line &a = m_lines[0], &b = m_lines[1];
  return a.from.x == a.to.x && b.from.x == b.to.x && a.from.x != b.from.x && a.from.y == b.to.y && a.to.y == b.from.y;
}

namespace {

uint8_t coverageOf(float sum) { return uint8_t(std::min(std::fabs(sum), 1.0f) * 255 + 0.5f); }

// Under the even-odd rule a winding of 2 is outside again: the sum folds.
uint8_t evenOddCoverageOf(float sum) {
  // Most sums lie below 2, where the fold is the sum itself: fmod is costly.
  float t = std::fabs(sum);
  if (t >= 2.0f) t = std::fmod(t, 2.0f);
  return coverageOf(t > 1.0f ? 2.0f - t : t);
}

// Gradient positions are worked out as ramp indices: a linear gradient's
// index grows by a constant along the row, a radial one's is a distance. The
// gradient square spans -16384..16384 on both axes.
constexpr float kLinearScale = 255.0f / 32768.0f;
constexpr float kRadialScale = 255.0f / 16384.0f;

constexpr uint8_t kSpreadReflect = 1;
constexpr uint8_t kSpreadRepeat = 2;

// A ramp index for a position `t` (0..1 inside the gradient) spread beyond it.
int spreadIndex(double t, uint8_t spread) {
  if (!std::isfinite(t)) return 255;
  if (spread == kSpreadRepeat) {
    t -= std::floor(t);
  } else if (spread == kSpreadReflect) {
    t = std::fabs(t - 2.0 * std::floor(t * 0.5 + 0.5));
  }
  return int(std::clamp(t * 255.0 + 0.5, 0.0, 255.0));
}

void shadeLinear(const Paint& paint, float gx, int count, uint32_t* out) {
  if (paint.spread) {
    double start = (double(gx) + 16384.0) / 32768.0, step = double(paint.pixelToPaint.a) / 32768.0;
    for (int i = 0; i < count; ++i) out[i] = paint.ramp[spreadIndex(start + step * i, paint.spread)];
    return;
  }
  float start = (gx + 16384.0f) * kLinearScale + 0.5f, step = paint.pixelToPaint.a * kLinearScale;
  int i = 0;
#if defined(__SSE2__)
  const __m128 index = _mm_setr_ps(0, 1, 2, 3), first = _mm_setzero_ps(), last = _mm_set1_ps(255.0f);
  for (; i + 4 <= count; i += 4) {
    __m128 n = _mm_add_ps(_mm_set1_ps(float(i)), index);
    __m128 t = _mm_add_ps(_mm_set1_ps(start), _mm_mul_ps(n, _mm_set1_ps(step)));
    t = _mm_min_ps(_mm_max_ps(t, first), last);
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_cvttps_epi32(t));
    for (int k = 0; k < 4; ++k) out[i + k] = paint.ramp[at[k]];
  }
#endif
  for (; i < count; ++i) out[i] = paint.ramp[int(std::clamp(start + step * float(i), 0.0f, 255.0f))];
}

// With a focal point F inside the circle, a point P's position is how far it
// lies from F on the way to the circle along the ray from F through P.
void shadeFocal(const Paint& paint, float gx, float gy, int count, uint32_t* out) {
  constexpr double kRadius = 16384.0;
  const double fx = double(paint.focal) * kRadius, outside = fx * fx - kRadius * kRadius;  // |F|^2 - R^2 < 0
  const double stepX = paint.pixelToPaint.a, stepY = paint.pixelToPaint.b;
  for (int i = 0; i < count; ++i) {
    double x = double(gx) + stepX * i - fx, y = double(gy) + stepY * i;  // P - F
    double length2 = x * x + y * y;
    double t = 0;
    if (length2 > 0) {
      // |F + s (P - F)| = R for s > 0; P's position is 1 / s.
      double b = fx * x, s = (-b + std::sqrt(b * b - length2 * outside)) / length2;
      t = s > 0 ? 1.0 / s : 1.0;
    }
    out[i] = paint.ramp[spreadIndex(t, paint.spread)];
  }
}

void shadeRadial(const Paint& paint, float gx, float gy, int count, uint32_t* out) {
  if (paint.focal != 0) return shadeFocal(paint, gx, gy, count, out);
  float dx = paint.pixelToPaint.a, dy = paint.pixelToPaint.b;
  if (paint.spread) {
    for (int i = 0; i < count; ++i) {
      double x = double(gx) + double(dx) * i, y = double(gy) + double(dy) * i;
      out[i] = paint.ramp[spreadIndex(std::sqrt(x * x + y * y) / 16384.0, paint.spread)];
    }
    return;
  }
  int i = 0;
#if defined(__SSE2__)
  const __m128 index = _mm_setr_ps(0, 1, 2, 3), scale = _mm_set1_ps(kRadialScale);
  const __m128 half = _mm_set1_ps(0.5f), last = _mm_set1_ps(255.0f);
  for (; i + 4 <= count; i += 4) {
    __m128 n = _mm_add_ps(_mm_set1_ps(float(i)), index);
    __m128 x = _mm_add_ps(_mm_set1_ps(gx), _mm_mul_ps(n, _mm_set1_ps(dx)));
    __m128 y = _mm_add_ps(_mm_set1_ps(gy), _mm_mul_ps(n, _mm_set1_ps(dy)));
    __m128 t = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)));
    t = _mm_min_ps(_mm_add_ps(_mm_mul_ps(t, scale), half), last);
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_cvttps_epi32(t));
    for (int k = 0; k < 4; ++k) out[i + k] = paint.ramp[at[k]];
  }
#endif
  for (; i < count; ++i) {
    float x = gx + dx * float(i), y = gy + dy * float(i);
    out[i] = paint.ramp[int(std::min(std::sqrt(x * x + y * y) * kRadialScale + 0.5f, 255.0f))];
  }
}

// A bitmap position along one axis: tiled, or held at the nearest edge.
int bitmapIndex(float position, int size, bool repeat) {
  double p = std::floor(std::clamp(double(position), -1e9, 1e9));
  if (!repeat) return int(std::clamp(p, 0.0, double(size - 1)));
  double wrapped = p - std::floor(p / size) * size;
  return std::clamp(int(wrapped), 0, size - 1);
}

// Four premultiplied pixels weighted by the position's fractions (0..256).
uint32_t bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx, uint32_t fy) {
  uint32_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t channel = ((p00 >> shift) & 0xFF) * w00 + ((p10 >> shift) & 0xFF) * w10 + ((p01 >> shift) & 0xFF) * w01 +
                       ((p11 >> shift) & 0xFF) * w11;
    result |= ((channel + 32768) >> 16) << shift;
  }
  return result;
}

// Smoothed pictures: the four pixels around the position, the picture's pixel
// centres lying at half-pixel offsets.
void shadeBitmapSmoothly(const Paint& paint, float u, float v, int count, uint32_t* out) {
  const BitmapPixels& b = *paint.bitmap;
  float du = paint.pixelToPaint.a, dv = paint.pixelToPaint.b;
  for (int i = 0; i < count; ++i) {
    float x = std::clamp(u + du * float(i) - 0.5f, -1e9f, 1e9f), y = std::clamp(v + dv * float(i) - 0.5f, -1e9f, 1e9f);
    float left = std::floor(x), top = std::floor(y);
    uint32_t fx = uint32_t((x - left) * 256.0f), fy = uint32_t((y - top) * 256.0f);
    int x0 = bitmapIndex(left, b.width, paint.repeat), x1 = bitmapIndex(left + 1, b.width, paint.repeat);
    int y0 = bitmapIndex(top, b.height, paint.repeat), y1 = bitmapIndex(top + 1, b.height, paint.repeat);
    const uint32_t* row0 = b.pixels.data() + size_t(y0) * size_t(b.width);
    const uint32_t* row1 = b.pixels.data() + size_t(y1) * size_t(b.width);
    out[i] = bilinear(row0[x0], row0[x1], row1[x0], row1[x1], std::min(fx, 256u), std::min(fy, 256u));
  }
}

void shadeBitmap(const Paint& paint, float u, float v, int count, uint32_t* out) {
  if (paint.smooth) return shadeBitmapSmoothly(paint, u, v, count, out);
  const BitmapPixels& b = *paint.bitmap;
  float du = paint.pixelToPaint.a, dv = paint.pixelToPaint.b;
  for (int i = 0; i < count; ++i) {
    int x = bitmapIndex(u + du * float(i), b.width, paint.repeat);
    int y = bitmapIndex(v + dv * float(i), b.height, paint.repeat);
    out[i] = b.pixels[size_t(y) * size_t(b.width) + size_t(x)];
  }
}

// The paint's colours for `count` pixels of row `y` from column `x0`.
void shadeSpan(const Paint& paint, int x0, int y, int count, uint32_t* out) {
  const Matrix& m = paint.pixelToPaint;
  float px = float(x0) + 0.5f, py = float(y) + 0.5f;
  float gx = m.a * px + m.c * py + m.tx, gy = m.b * px + m.d * py + m.ty;
  bool finiteStep = std::isfinite(m.a) && std::isfinite(m.b);
  if (paint.kind == Paint::Kind::Bitmap && paint.bitmap && !paint.bitmap->pixels.empty() && finiteStep &&
      std::isfinite(gx) && std::isfinite(gy)) {
    shadeBitmap(paint, gx, gy, count, out);
  } else if (!paint.ramp || !finiteStep || !std::isfinite(gx) || !std::isfinite(gy)) {
    std::fill_n(out, count, paint.ramp ? paint.ramp[255] : paint.color);
  } else if (paint.kind == Paint::Kind::Linear) {
    shadeLinear(paint, gx, count, out);
  } else {
    shadeRadial(paint, gx, gy, count, out);
  }
}

#if defined(__SSE2__)
// Four pixels at once, two per register in 16-bit channels.
inline __m128i divideBy255x8(__m128i x) {
  return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

inline __m128i blendHalf(__m128i dest, __m128i src, __m128i coverage) {
  __m128i scaled = divideBy255x8(_mm_mullo_epi16(src, coverage));
  __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(scaled, 0xFF), 0xFF);
  __m128i keep = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
  return _mm_add_epi16(scaled, divideBy255x8(_mm_mullo_epi16(dest, keep)));
}

inline __m128i blendFour(__m128i dest, __m128i src, uint32_t coverage4) {
  const __m128i zero = _mm_setzero_si128();
  __m128i c = _mm_cvtsi32_si128(int(coverage4));
  c = _mm_unpacklo_epi8(c, c);
  c = _mm_unpacklo_epi16(c, c);  // each pixel's coverage in its four bytes
  __m128i lo = blendHalf(_mm_unpacklo_epi8(dest, zero), _mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(c, zero));
  __m128i hi = blendHalf(_mm_unpackhi_epi8(dest, zero), _mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(c, zero));
  return _mm_packus_epi16(lo, hi);
}
#endif

constexpr uint32_t kFullCoverage4 = 0xFFFFFFFFu;

void fillCoverage(uint8_t* coverage, uint8_t value, int count) {
#if defined(__SSE2__)
  if (count == kCellBlock) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(coverage), _mm_set1_epi8(char(value)));
    return;
  }
#endif
  std::memset(coverage, value, size_t(count));
}

// One block of kCellBlock cells: the running sum through it, as coverage,
// clearing the cells. Answers the sum at its end.
float coverBlock(float* cells, uint8_t* coverage, float sum) {
#if defined(__SSE2__)
  static_assert(kCellBlock == 16);
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 one = _mm_set1_ps(1.0f), full = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
  __m128 running = _mm_set1_ps(sum);
  __m128i quarters[4];
  for (int q = 0; q < 4; ++q) {
    __m128 x = _mm_loadu_ps(cells + 4 * q);
    _mm_storeu_ps(cells + 4 * q, _mm_setzero_ps());
    x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
    x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
    x = _mm_add_ps(x, running);
    running = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
    __m128 c = _mm_add_ps(_mm_mul_ps(_mm_min_ps(_mm_and_ps(x, signless), one), full), half);
    quarters[q] = _mm_cvttps_epi32(c);
  }
  __m128i packed =
      _mm_packus_epi16(_mm_packs_epi32(quarters[0], quarters[1]), _mm_packs_epi32(quarters[2], quarters[3]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coverage), packed);
  return _mm_cvtss_f32(running);
#else
  for (int k = 0; k < kCellBlock; ++k) {
    sum += cells[k];
    cells[k] = 0;
    coverage[k] = coverageOf(sum);
  }
  return sum;
#endif
}

// As coverBlock, under the even-odd rule: the sums are added in the order
// evenOddCoverageOf's callers add them, then folded four at a time, with the
// same results.
float evenOddBlock(float* cells, uint8_t* coverage, float sum) {
#if defined(__SSE2__)
  alignas(16) float sums[kCellBlock];
  for (int k = 0; k < kCellBlock; ++k) {
    sum += cells[k];
    cells[k] = 0;
    sums[k] = sum;
  }
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  // Below 2^24 folding by t - 2 floor(t / 2) is exact, as fmod is.
  const __m128 exactBelow = _mm_set1_ps(16777216.0f), two = _mm_set1_ps(2.0f), half = _mm_set1_ps(0.5f),
               full = _mm_set1_ps(255.0f);
  __m128i quarters[4];
  for (int q = 0; q < 4; ++q) {
    __m128 t = _mm_and_ps(_mm_load_ps(sums + 4 * q), signless);
    if (_mm_movemask_ps(_mm_cmplt_ps(t, exactBelow)) != 0xF) {
      for (int k = 0; k < kCellBlock; ++k) coverage[k] = evenOddCoverageOf(sums[k]);
      return sum;
    }
    __m128 whole = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(t, half)));
    t = _mm_sub_ps(t, _mm_mul_ps(whole, two));
    __m128 c = _mm_min_ps(t, _mm_sub_ps(two, t));
    quarters[q] = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(c, full), half));
  }
  __m128i packed =
      _mm_packus_epi16(_mm_packs_epi32(quarters[0], quarters[1]), _mm_packs_epi32(quarters[2], quarters[3]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(coverage), packed);
  return sum;
#else
  for (int k = 0; k < kCellBlock; ++k) {
    sum += cells[k];
    cells[k] = 0;
    coverage[k] = evenOddCoverageOf(sum);
  }
  return sum;
#endif
}

// Blends `count` pixels of one colour, or of `colors` when given.
void blendSpan(uint32_t* dest, const uint8_t* coverage, int count, uint32_t color, const uint32_t* colors,
               bool opaque) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i solid = _mm_set1_epi32(int(color));
  for (; i + 4 <= count; i += 4) {
    uint32_t c4;
    std::memcpy(&c4, coverage + i, 4);
    if (c4 == 0) continue;
    __m128i src = colors ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(colors + i)) : solid;
    auto* at = reinterpret_cast<__m128i*>(dest + i);
    if (c4 == kFullCoverage4 && opaque) {
      _mm_storeu_si128(at, src);
      continue;
    }
    _mm_storeu_si128(at, blendFour(_mm_loadu_si128(at), src, c4));
  }
#endif
  for (; i < count; ++i) {
    if (!coverage[i]) continue;
    uint32_t src = colors ? colors[i] : color;
    dest[i] = coverage[i] == 255 && opaque ? src : blendPixel(dest[i], src, coverage[i]);
  }
}

// One row's running sum of cells as coverage, by `cover` for one cell and
// `block` for a whole block, clearing the cells and blocks read. A block no
// edge touched keeps the sum it starts with.
template <uint8_t (*cover)(float), float (*block)(float*, uint8_t*, float)>
void foldRow(float* cells, uint8_t* touched, uint8_t* coverage, int width) {
  float sum = 0;
  for (int i = 0; i < width;) {
    int b = i / kCellBlock, blockEnd = std::min(width, (b + 1) * kCellBlock);
    if (!touched[b]) {
      fillCoverage(coverage + i, cover(sum), blockEnd - i);
    } else if (blockEnd - i == kCellBlock) {
      touched[b] = 0;
      sum = block(cells + i, coverage + i, sum);
    } else {
      touched[b] = 0;
      for (int k = i; k < blockEnd; ++k) {
        sum += cells[k];
        cells[k] = 0;
        coverage[k] = cover(sum);
      }
    }
    i = blockEnd;
  }
}

}  // namespace

// Turns one row's cells into coverage, clearing the cells and blocks read, so
// that insides and outsides of shapes cost no summing.
void Rasterizer::coverRow(size_t row, int width) {
  float* cells = m_cells.data() + row * size_t(width + 2);
  uint8_t* touched = m_touched.data() + row * size_t(blocksPerRow(width));
  if (m_evenOdd)
    foldRow<evenOddCoverageOf, evenOddBlock>(cells, touched, m_coverage.data(), width);
  else
    foldRow<coverageOf, coverBlock>(cells, touched, m_coverage.data(), width);
  // The two cells past the row's end collect what lies right of it.
  cells[width] = cells[width + 1] = 0;
  for (int b = width / kCellBlock; b < blocksPerRow(width); ++b) touched[b] = 0;
}

void Rasterizer::paintRow(uint32_t* dest, const uint8_t* clip, int x0, int y, int width, const Paint& paint) {
  uint8_t* coverage = m_coverage.data();
  if (clip)
    for (int i = 0; i < width; ++i) coverage[i] = uint8_t(divideBy255(unsigned(coverage[i]) * clip[i]));
  // Only the covered part of the row is shaded.
  int first = 0, end = width;
  while (first < end && !coverage[first]) ++first;
  while (end > first && !coverage[end - 1]) --end;
  if (first == end) return;
  if (paint.kind == Paint::Kind::Solid) {
    blendSpan(dest + first, coverage + first, end - first, paint.color, nullptr, paint.opaque);
    return;
  }
  if (paint.kind == Paint::Kind::Linear && paint.pixelToPaint.a == 0) {
    // A gradient across the rows, such as a sky, has one colour along each.
    uint32_t color;
    shadeSpan(paint, x0 + first, y, 1, &color);
    blendSpan(dest + first, coverage + first, end - first, color, nullptr, paint.opaque);
    return;
  }
  shadeSpan(paint, x0 + first, y, end - first, m_colors.data());
  blendSpan(dest + first, coverage + first, end - first, 0, m_colors.data(), paint.opaque);
}

namespace {

// How much of the pixel span [i, i + 1) lies within [low, high].
float overlap(int i, float low, float high) {
  return std::max(0.0f, std::min(float(i + 1), high) - std::max(float(i), low));
}

}  // namespace

// An upright rectangle (a movie's background, most pictures, many shapes)
// covers each pixel by its column's share times its row's: no cells to sum,
// and a whole row inside it has the same coverage as the next.
void Rasterizer::fillUprightRectangle(const Canvas& canvas, const Paint& paint, int x0, int y0, int y1, int width) {
  const float left = std::min(m_lines[0].from.x, m_lines[1].from.x);
  const float right = std::max(m_lines[0].from.x, m_lines[1].from.x);
  const float top = m_minY, bottom = m_maxY;
  // Columns as a whole row inside covers them; a row's share scales them.
  if (m_columnCover.size() < size_t(width)) m_columnCover.resize(size_t(width));
  if (m_wholeRow.size() < size_t(width)) m_wholeRow.resize(size_t(width));
  for (int i = 0; i < width; ++i) {
    m_columnCover[i] = overlap(x0 + i, left, right);
    m_wholeRow[i] = coverageOf(m_columnCover[i]);
  }
  for (int y = y0; y < y1; ++y) {
    const float share = overlap(y, top, bottom);
    uint8_t* coverage = m_coverage.data();
    if (share == 1.0f)
      std::memcpy(coverage, m_wholeRow.data(), size_t(width));
    else
      for (int i = 0; i < width; ++i) coverage[i] = coverageOf(m_columnCover[i] * share);
    const uint8_t* clip = canvas.clipRow(y);
    paintRow(canvas.row(y) + x0, clip ? clip + x0 : nullptr, x0, y, width, paint);
  }
}

}  // namespace swf
