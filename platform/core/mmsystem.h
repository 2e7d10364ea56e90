#pragma once
// Wave output volume of the device. Device 0 is the only wave device; its
// level (low word left, high word right, 0-0xFFFF) is kept by the device,
// so every process of the device sees the last level set. A new device
// starts at 0xFFFFFFFF.

#include "platform/core/wintypes.h"

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using MMRESULT = UINT;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

// `device` is a wave-out handle or a device id cast to one (0 only).
MMRESULT waveOutGetVolume(HWAVEOUT device, LPDWORD volume);
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);

// The device's mixer hears each level set for device 0, in the process that
// set it (null: nobody listens).
using WaveVolumeListener = void (*)(DWORD volume);
void setWaveVolumeListener(WaveVolumeListener listener);

// The level of one open stream, scaling it before the device's level: kept
// by the wave output that opened it, which answers for its handles (until
// one is set, only device 0 is known).
struct WaveStreamLevels {
  MMRESULT (*get)(HWAVEOUT stream, LPDWORD volume) = nullptr;
  MMRESULT (*set)(HWAVEOUT stream, DWORD volume) = nullptr;
};
void setWaveStreamLevels(const WaveStreamLevels& levels);
