#pragma once
// The player's pseudo-random pictures: the minimal standard generator that
// BitmapData.noise draws from, and the Perlin turbulence of perlinNoise,
// which takes its lattice and gradients from the same generator.

#include <array>
#include <cstdint>
#include <vector>

namespace swf {

// The minimal standard generator (Park and Miller): seed times 16807 modulo 2^31 - 1.
class ParkMiller {
 public:
  // A seed of 0 or below starts where 1 - seed would.
  explicit ParkMiller(double seed);
  uint32_t next();

 private:
  uint32_t m_state = 1;
};

// What perlinNoise is asked for, in the picture's pixels.
struct PerlinSettings {
  double baseX = 0, baseY = 0;  // the size of the coarsest octave's features
  int octaves = 0;
  double seed = 0;
  bool stitch = false;                         // tiles join seamlessly at the picture's edges
  bool fractal = false;                        // a signed sum around grey, else turbulence (absolute values)
  std::vector<std::array<double, 2>> offsets;  // per octave, in pixels; missing ones are 0
};

// Four independent noise channels (red, green, blue, alpha) over one lattice.
class PerlinNoise {
 public:
  PerlinNoise(const PerlinSettings& settings, int width, int height);
  // A channel's value at a pixel, 0 to 255.
  uint8_t channel(int index, int x, int y) const;

 private:
  struct Stitch {
    int width = 0, height = 0, wrapX = 0, wrapY = 0;
  };
  static constexpr int kSize = 256;
  double lattice(int channel, double x, double y, const Stitch* stitch) const;
  double sum(int channel, int x, int y) const;

  PerlinSettings m_settings;
  double m_frequencyX = 0, m_frequencyY = 0;
  Stitch m_stitch;
  std::array<int, kSize * 2 + 2> m_selector{};
  std::array<std::array<std::array<double, 2>, kSize * 2 + 2>, 4> m_gradient{};
};

}  // namespace swf
