#include "platform/flash/swfnoise.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr uint64_t kModulus = 2147483647;
constexpr uint64_t kMultiplier = 16807;
// Lattice coordinates are kept positive by this shift before they wrap.
constexpr int kShift = 0x1000;
constexpr int kMask = 0xFF;

double easeCurve(double t) { return t * t * (3 - 2 * t); }
double lerp(double t, double a, double b) { return a + t * (b - a); }

// The frequency of a period in pixels, whichever its sign; none for a period of 0.
double frequencyOf(double period) { return period != 0 && std::isfinite(period) ? 1 / std::fabs(period) : 0; }

// A stitched frequency is the nearer of those giving a whole number of
// features across the tile, so that opposite edges meet.
double stitchedFrequency(double frequency, int size) {
  if (frequency == 0) return 0;
  double low = std::floor(size * frequency) / size, high = std::ceil(size * frequency) / size;
  if (low == 0) return high;
  return frequency / low < high / frequency ? low : high;
}

}  // namespace

ParkMiller::ParkMiller(double seed) {
  double s = std::isfinite(seed) ? std::trunc(seed) : 0;
  if (s <= 0) s = 1 - s;
  m_state = uint32_t(std::fmod(s, double(kModulus)));
  if (m_state == 0) m_state = 1;
}

uint32_t ParkMiller::next() {
  m_state = uint32_t(uint64_t(m_state) * kMultiplier % kModulus);
  return m_state;
}

PerlinNoise::PerlinNoise(const PerlinSettings& settings, int width, int height) : m_settings(settings) {
  ParkMiller random(settings.seed);
  // Gradients: a random direction per lattice entry and channel, made unit length.
  for (auto& gradients : m_gradient)
    for (int i = 0; i < kSize; ++i) {
      auto& g = gradients[size_t(i)];
      for (double& component : g) component = double(int(random.next() % (kSize * 2)) - kSize) / kSize;
      double length = std::hypot(g[0], g[1]);
      if (length > 0) g = {g[0] / length, g[1] / length};
    }
  for (int i = 0; i < kSize; ++i) m_selector[size_t(i)] = i;
  for (int i = kSize - 1; i > 0; --i) std::swap(m_selector[size_t(i)], m_selector[random.next() % kSize]);
  // The tables repeat so that a lookup one past an entry needs no wrap.
  for (int i = 0; i < kSize + 2; ++i) {
    m_selector[size_t(kSize + i)] = m_selector[size_t(i)];
    for (auto& gradients : m_gradient) gradients[size_t(kSize + i)] = gradients[size_t(i)];
  }
  m_frequencyX = frequencyOf(settings.baseX);
  m_frequencyY = frequencyOf(settings.baseY);
  if (settings.stitch) {
    m_frequencyX = stitchedFrequency(m_frequencyX, width);
    m_frequencyY = stitchedFrequency(m_frequencyY, height);
    m_stitch.width = int(width * m_frequencyX + 0.5);
    m_stitch.height = int(height * m_frequencyY + 0.5);
    m_stitch.wrapX = kShift + m_stitch.width;
    m_stitch.wrapY = kShift + m_stitch.height;
  }
}

// Gradient noise at a point of the lattice's own scale: 0 on every lattice point.
double PerlinNoise::lattice(int channel, double x, double y, const Stitch* stitch) const {
  double tx = x + kShift, ty = y + kShift;
  int bx0 = int(tx), by0 = int(ty);
  int bx1 = bx0 + 1, by1 = by0 + 1;
  double rx0 = tx - int(tx), ry0 = ty - int(ty);
  double rx1 = rx0 - 1, ry1 = ry0 - 1;
  if (stitch) {
    if (bx0 >= stitch->wrapX) bx0 -= stitch->width;
    if (bx1 >= stitch->wrapX) bx1 -= stitch->width;
    if (by0 >= stitch->wrapY) by0 -= stitch->height;
    if (by1 >= stitch->wrapY) by1 -= stitch->height;
  }
  bx0 &= kMask, bx1 &= kMask, by0 &= kMask, by1 &= kMask;
  const auto& g = m_gradient[size_t(channel)];
  size_t i = size_t(m_selector[size_t(bx0)]), j = size_t(m_selector[size_t(bx1)]);
  auto at = [&](size_t corner, double rx, double ry) {
    const auto& q = g[size_t(m_selector[corner])];
    return rx * q[0] + ry * q[1];
  };
  double sx = easeCurve(rx0), sy = easeCurve(ry0);
  double a = lerp(sx, at(i + size_t(by0), rx0, ry0), at(j + size_t(by0), rx1, ry0));
  double b = lerp(sx, at(i + size_t(by1), rx0, ry1), at(j + size_t(by1), rx1, ry1));
  return lerp(sy, a, b);
}

// The octaves summed at a pixel, each twice the frequency and half the weight of the one before.
double PerlinNoise::sum(int channel, int x, int y) const {
  Stitch stitch = m_stitch;
  const Stitch* stitching = m_settings.stitch ? &stitch : nullptr;
  double total = 0, weight = 1, scale = 1;
  for (int octave = 0; octave < m_settings.octaves; ++octave) {
    std::array<double, 2> offset{};
    if (size_t(octave) < m_settings.offsets.size()) offset = m_settings.offsets[size_t(octave)];
    double n =
        lattice(channel, (x + offset[0]) * m_frequencyX * scale, (y + offset[1]) * m_frequencyY * scale, stitching);
    total += (m_settings.fractal ? n : std::fabs(n)) * weight;
    weight /= 2, scale *= 2;
    stitch.width *= 2, stitch.height *= 2;
    stitch.wrapX = 2 * stitch.wrapX - kShift, stitch.wrapY = 2 * stitch.wrapY - kShift;
  }
  return total;
}

uint8_t PerlinNoise::channel(int index, int x, int y) const {
  // Without a frequency in either direction there is no noise, not even grey.
  if (m_frequencyX == 0 || m_frequencyY == 0) return 0;
  // The sum is scaled to a level first; fractal noise then centres it on grey, halves down.
  double level = std::floor(sum(index, x, y) * 255 + 0.5);
  double value = m_settings.fractal ? std::floor((level + 255) / 2) : level;
  return uint8_t(std::clamp(value, 0.0, 255.0));
}

}  // namespace swf
