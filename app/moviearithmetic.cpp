#include "app/moviearithmetic.h"

#include <algorithm>

WideString movieUrl(WideStringView path) {
  bool rooted = !path.empty() && (path.front() == u'/' || path.front() == u'\\');
  return (rooted ? u"file://" : u"file:///") + WideString(path);
}

int zoomPercent(float zoom) {
  if (zoom == 0.0f) zoom = 1.0f;
  double percent = 100.0 / zoom;
  return static_cast<int>(std::clamp(percent, -2147483647.0, 2147483647.0));
}

DWORD volumeOf(DWORD channels) { return std::max(channels & 0xFFFF, channels >> 16); }
DWORD bothChannels(DWORD level) { return level | level << 16; }
DWORD volumeUp(DWORD level) { return std::min(level + kVolumeStep, kMaxVolume); }
DWORD volumeDown(DWORD level) { return level > kVolumeStep ? level - kVolumeStep : 0; }

HolderPlacement holderPlacement(float leftEdge, float topEdge, float rightEdge, float bottomEdge) {
  int left = static_cast<int>(leftEdge), top = static_cast<int>(topEdge);
  int right = static_cast<int>(rightEdge), bottom = static_cast<int>(bottomEdge);
  return {left, top, right + 1 - left, bottom + 1 - top};
}

bool IdleCounter::tick(bool active, int currentFrame, int totalFrames) {
  m_seconds += kTickSeconds;
  if (!active || m_seconds <= kResetAfterSeconds || currentFrame >= totalFrames) return false;
  m_seconds = 0;
  return true;
}
