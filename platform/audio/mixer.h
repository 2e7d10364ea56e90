#pragma once
// Device 0's mixer: the open wave streams, each converted to the output
// format, summed and scaled by the device's level. The output backend pulls
// mixed frames from its own thread or on the device clock; the program's
// calls come from its thread, so every entry takes the mixer's lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/waveout.h"

namespace audio {

inline constexpr int kOutputRate = 44100;
inline constexpr int kOutputChannels = 2;

class WaveStream;

class Mixer {
 public:
  Mixer();
  ~Mixer();

  // A new stream for `format`, or null when it is not one the device plays.
  WaveStream* open(const WAVEFORMATEX& format);
  bool isOpen(const WaveStream* stream) const;
  void close(WaveStream* stream);

  // Each takes the lock; false for a handle that is no open stream.
  MMRESULT write(HWAVEOUT handle, WAVEHDR& header);
  MMRESULT pause(HWAVEOUT handle, bool paused);
  MMRESULT reset(HWAVEOUT handle);
  MMRESULT position(HWAVEOUT handle, MMTIME& time);
  MMRESULT closeHandle(HWAVEOUT handle);
  // A stream's own level, as the device's: low word left, high word right.
  MMRESULT streamLevel(HWAVEOUT handle, DWORD& level) const;
  MMRESULT setStreamLevel(HWAVEOUT handle, DWORD level);

  // Low word left, high word right, 0-0xFFFF each.
  void setLevel(DWORD level);
  DWORD level() const;
  bool hasStreams() const;

  // Interleaved stereo frames at the output rate.
  void mix(int16_t* out, size_t frames);

  // One line a stream for the state dump.
  std::vector<std::string> describeStreams() const;

 private:
  WaveStream* find(HWAVEOUT handle) const;

  mutable std::mutex m_lock;
  std::vector<std::unique_ptr<WaveStream>> m_streams;
  std::vector<int32_t> m_sum;
  std::vector<int16_t> m_chunk;
  DWORD m_level = 0xFFFFFFFF;
};

// The device's one mixer.
Mixer& mixer();

}  // namespace audio
