#pragma once
// Measures a tone in interleaved stereo samples, as the sound tests read
// them from the device's headless sink.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testsupport {

struct ToneMeasure {
  double frequency = 0;   // Hz, from rising zero crossings
  double durationMs = 0;  // from the first to the last sample above the threshold
  int peak = 0;
};

inline ToneMeasure measureTone(const std::vector<int16_t>& stereo, int channel, int rate, int threshold = 64) {
  ToneMeasure m;
  size_t frames = stereo.size() / 2;
  long first = -1, last = -1, firstRise = -1, lastRise = -1, rises = 0;
  bool below = false;  // a rise counts once the wave was below -threshold: noise near zero is no rise
  for (size_t i = 0; i < frames; ++i) {
    int s = stereo[2 * i + size_t(channel)];
    m.peak = std::max(m.peak, std::abs(s));
    if (std::abs(s) > threshold) {
      if (first < 0) first = long(i);
      last = long(i);
    }
    if (s < -threshold) below = true;
    if (below && s >= 0) {
      below = false;
      if (firstRise < 0) firstRise = long(i);
      lastRise = long(i);
      ++rises;
    }
  }
  if (first >= 0) m.durationMs = double(last - first + 1) * 1000.0 / rate;
  if (rises > 1) m.frequency = double(rises - 1) * rate / double(lastRise - firstRise);
  return m;
}

// A sine tone of `frames` frames at `rate`, `channels` interleaved, 16 bits.
inline std::vector<int16_t> sineTone(double frequency, int rate, int channels, size_t frames, int amplitude) {
  std::vector<int16_t> out(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out[i * size_t(channels) + size_t(c)] =
          int16_t(amplitude * __builtin_sin(2 * 3.14159265358979323846 * frequency * double(i) / rate));
  return out;
}

}  // namespace testsupport
