// The wave-out calls over device 0's mixer. Every call first lets the
// headless sink play up to the device clock, so what a program sees
// (positions, done buffers) follows the time that passed.
#include "platform/audio/waveout.h"

#include "platform/audio/mixer.h"
#include "platform/audio/output.h"
#include "platform/core/windowing.h"

namespace {

constexpr UINT kDeviceZero = 0;
constexpr uint64_t kLevelLookMs = 200;

// Another process of the device may set device 0's level, which this one
// hears of only through the device: a playing program looks again now and
// then, after what played so far kept the level it had.
void followOtherProcesses() {
  static uint64_t lastLook = 0;
  uint64_t now = wm::nowMs();
  if (now >= lastLook && now - lastLook < kLevelLookMs) return;
  lastLook = now;
  DWORD level = 0;
  if (waveOutGetVolume(nullptr, &level) == MMSYSERR_NOERROR) audio::mixer().setLevel(level);
}

bool validHeader(const WAVEHDR* header, UINT size) { return header && size >= sizeof(WAVEHDR); }

MMRESULT getStreamLevel(HWAVEOUT handle, LPDWORD level) {
  if (!level) return MMSYSERR_INVALPARAM;
  return audio::mixer().streamLevel(handle, *level);
}

MMRESULT setStreamLevel(HWAVEOUT handle, DWORD level) {
  audio::catchUp();  // what played before keeps the level it had
  return audio::mixer().setStreamLevel(handle, level);
}

}  // namespace

UINT waveOutGetNumDevs() { return 1; }

MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                     DWORD flags) {
  (void)callback;
  (void)instance;
  if (deviceId != kDeviceZero && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
  if (!handle || !format) return MMSYSERR_INVALPARAM;
  if (flags != CALLBACK_NULL) return MMSYSERR_INVALFLAG;
  audio::catchUp();
  audio::followDeviceLevel();
  setWaveStreamLevels({getStreamLevel, setStreamLevel});
  audio::WaveStream* stream = audio::mixer().open(*format);
  if (!stream) return WAVERR_BADFORMAT;
  *handle = reinterpret_cast<HWAVEOUT>(stream);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT handle) {
  audio::catchUp();
  return audio::mixer().closeHandle(handle);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  if (!validHeader(header, size)) return MMSYSERR_INVALPARAM;
  if (!audio::mixer().isOpen(reinterpret_cast<audio::WaveStream*>(handle))) return MMSYSERR_INVALHANDLE;
  header->dwFlags = WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  if (!validHeader(header, size)) return MMSYSERR_INVALPARAM;
  audio::catchUp();
  if (!audio::mixer().isOpen(reinterpret_cast<audio::WaveStream*>(handle))) return MMSYSERR_INVALHANDLE;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  if (!validHeader(header, size) || !header->lpData) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  audio::catchUp();
  followOtherProcesses();
  return audio::mixer().write(handle, *header);
}

MMRESULT waveOutPause(HWAVEOUT handle) {
  audio::catchUp();
  return audio::mixer().pause(handle, true);
}

MMRESULT waveOutRestart(HWAVEOUT handle) {
  audio::catchUp();
  return audio::mixer().pause(handle, false);
}

MMRESULT waveOutReset(HWAVEOUT handle) {
  audio::catchUp();
  return audio::mixer().reset(handle);
}

MMRESULT waveOutGetPosition(HWAVEOUT handle, LPMMTIME time, UINT size) {
  if (!time || size < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  audio::catchUp();
  followOtherProcesses();
  return audio::mixer().position(handle, *time);
}
