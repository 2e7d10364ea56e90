#pragma once
// The small rules of the movie commands: the URL a path is handed to the
// control as, zoom steps, volume steps, where the movie window goes over the
// skin's `flash` box, and the idle counter that keeps the device awake.

#include "base/widestring.h"
#include "platform/core/wintypes.h"
#include "resources/playerresources.h"

// "file://" before a path that starts with "/" or "\", "file:///" before any other.
WideString movieUrl(WideStringView path);

// The `Zoom` argument for factor z (0 standing for 1): truncate(100 / z).
int zoomPercent(float zoom);

// Wave volume levels 0..0xFFFF, one channel in each half of the device's value.
inline constexpr DWORD kVolumeStep = 2048;
inline constexpr DWORD kMaxVolume = 0xFFFF;
DWORD volumeOf(DWORD channels);  // the louder channel
DWORD bothChannels(DWORD level);
DWORD volumeUp(DWORD level);
DWORD volumeDown(DWORD level);

// The movie window over a box of float edges: each edge truncated, then
// one pixel wider and taller than the box.
struct HolderPlacement {
  int left, top, width, height;
};
HolderPlacement holderPlacement(float left, float top, float right, float bottom);

// Counts seconds between ticks of the 2000 ms timer; while the player is
// active and the movie has frames to go, the device's idle timer is reset
// once more than 30 seconds have gathered.
class IdleCounter {
 public:
  static constexpr int kTickSeconds = 2;
  static constexpr int kResetAfterSeconds = 30;
  // True when the idle timer is to be reset now.
  bool tick(bool active, int currentFrame, int totalFrames);
  int seconds() const { return m_seconds; }

 private:
  int m_seconds = 0;
};
