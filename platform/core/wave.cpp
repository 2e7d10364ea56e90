// The level lives in the device's registry, where the device's control
// panel keeps it, so it is shared across processes and survives restarts.
#include "platform/core/mmsystem.h"
#include "platform/core/regkey.h"
#include "platform/core/winreg.h"

namespace {

constexpr const WCHAR* kVolumeKey = u"ControlPanel\\Volume";
constexpr const WCHAR* kVolumeValue = u"Volume";
constexpr DWORD kFullVolume = 0xFFFFFFFF;

bool isDeviceZero(HWAVEOUT device) { return device == nullptr; }

WaveVolumeListener g_listener = nullptr;
WaveStreamLevels g_streams;

}  // namespace

MMRESULT waveOutGetVolume(HWAVEOUT device, LPDWORD volume) {
  if (!isDeviceZero(device)) return g_streams.get ? g_streams.get(device, volume) : MMSYSERR_BADDEVICEID;
  if (!volume) return MMSYSERR_INVALPARAM;
  *volume = kFullVolume;
  RegKeyHandle key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kVolumeKey, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return MMSYSERR_NOERROR;
  DWORD value = 0, type = 0, size = sizeof value;
  if (RegQueryValueExW(key, kVolumeValue, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof value)
    *volume = value;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) {
  if (!isDeviceZero(device)) return g_streams.set ? g_streams.set(device, volume) : MMSYSERR_BADDEVICEID;
  RegKeyHandle key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kVolumeKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr) !=
      ERROR_SUCCESS)
    return MMSYSERR_ERROR;
  LONG status = RegSetValueExW(key, kVolumeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&volume), sizeof volume);
  if (status != ERROR_SUCCESS) return MMSYSERR_ERROR;
  if (g_listener) g_listener(volume);
  return MMSYSERR_NOERROR;
}

void setWaveVolumeListener(WaveVolumeListener listener) { g_listener = listener; }

void setWaveStreamLevels(const WaveStreamLevels& levels) { g_streams = levels; }
