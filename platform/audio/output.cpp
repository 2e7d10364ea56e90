#include "platform/audio/output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/audio/mixer.h"
#include "platform/audio/sdlcalls.h"
#include "platform/core/windowing.h"

namespace audio {
namespace {

constexpr uint64_t kKeptFrames = uint64_t(kOutputRate) * 120;
constexpr uint64_t kPeakFrames = kOutputRate;  // the dump's "last second"
constexpr Uint16 kHostBufferFrames = 1024;

// What the sink played, the oldest first, and where the clock stood. Silence
// played while no stream is open is counted, not stored: a silent session
// keeps nothing, however long it plays.
struct Sink {
  uint64_t startMs = 0;
  uint64_t played = 0;
  uint64_t firstKept = 0;
  std::vector<int16_t> kept;  // interleaved, from frame firstKept on
  uint64_t silentTail = 0;    // silent frames after those in `kept`
  bool started = false;
};

uint64_t storedFrames(const Sink& s) { return s.kept.size() / kOutputChannels; }
uint64_t keptFrames(const Sink& s) { return storedFrames(s) + s.silentTail; }

Sink& sink() {
  static Sink s;
  return s;
}

struct HostState {
  SDL_AudioDeviceID device = 0;
  OutputKind kind = OutputKind::Sink;
  bool warned = false;
};

HostState& host() {
  static HostState h;
  return h;
}

// Drops the oldest frames, down to the last `frames`.
void keepLast(Sink& s, uint64_t frames) {
  uint64_t drop = keptFrames(s) - std::min(frames, keptFrames(s));
  uint64_t stored = std::min(drop, storedFrames(s));
  s.kept.erase(s.kept.begin(), s.kept.begin() + std::ptrdiff_t(stored * kOutputChannels));
  s.silentTail -= drop - stored;
  s.firstKept += drop;
}

// Mixes `frames` straight into the kept samples, behind any silence counted
// so far, which then has to be stored.
void mixKept(Sink& s, uint64_t frames) {
  keepLast(s, kKeptFrames);  // bounds what the silence can grow into
  size_t at = s.kept.size() + size_t(s.silentTail) * kOutputChannels;
  s.kept.resize(at + size_t(frames) * kOutputChannels, 0);
  s.silentTail = 0;
  mixer().mix(s.kept.data() + at, size_t(frames));
}

void sinkTo(Sink& s, uint64_t target) {
  if (target <= s.played) return;
  uint64_t frames = target - s.played;
  if (mixer().hasStreams())
    mixKept(s, frames);
  else
    s.silentTail += frames;
  if (keptFrames(s) > 2 * kKeptFrames) keepLast(s, kKeptFrames);
  s.played = target;
}

void SDLCALL hostCallback(void*, Uint8* stream, int length) {
  mixer().mix(reinterpret_cast<int16_t*>(stream), size_t(length) / (sizeof(int16_t) * kOutputChannels));
}

bool openHost() {
  const SdlCalls* calls = sdl();
  if (!calls || calls->initSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = kOutputRate;
  want.format = AUDIO_S16SYS;
  want.channels = kOutputChannels;
  want.samples = kHostBufferFrames;
  want.callback = hostCallback;
  SDL_AudioDeviceID device = calls->openAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (!device) {
    calls->quitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  host().device = device;
  calls->pauseAudioDevice(device, 0);
  return true;
}

void levelChanged(DWORD level) { mixer().setLevel(level); }

}  // namespace

void followDeviceLevel() {
  DWORD level = 0xFFFFFFFF;
  if (waveOutGetVolume(nullptr, &level) == MMSYSERR_NOERROR) mixer().setLevel(level);
  setWaveVolumeListener(levelChanged);
}

void openOutput(OutputKind kind) {
  closeOutput();
  followDeviceLevel();
  resetSink();
  if (kind == OutputKind::Host) {
    if (openHost()) {
      host().kind = OutputKind::Host;
      return;
    }
    if (!host().warned)
      std::fprintf(stderr, "no sound device (%s): the device plays silence\n",
                   sdl() ? sdl()->getError() : sdlLoadError());
    host().warned = true;
  }
  host().kind = OutputKind::Sink;
}

void closeOutput() {
  if (host().device) {  // an open device means SDL is loaded
    sdl()->closeAudioDevice(host().device);
    sdl()->quitSubSystem(SDL_INIT_AUDIO);
    host().device = 0;
  }
  host().kind = OutputKind::Sink;
}

OutputKind currentOutput() { return host().kind; }

void catchUp() {
  if (host().kind != OutputKind::Sink) return;
  Sink& s = sink();
  if (!s.started) resetSink();
  uint64_t now = wm::nowMs();
  uint64_t elapsed = now > s.startMs ? now - s.startMs : 0;
  sinkTo(s, elapsed * kOutputRate / 1000);
}

void resetSink() {
  Sink& s = sink();
  s = Sink{};
  s.startMs = wm::nowMs();
  s.started = true;
}

uint64_t framesPlayed() {
  catchUp();
  return sink().played;
}

std::vector<int16_t> keptSamples(uint64_t first, uint64_t count) {
  catchUp();
  const Sink& s = sink();
  uint64_t from = std::max(first, s.firstKept);
  uint64_t to = std::min(first + count, s.firstKept + keptFrames(s));
  if (from >= to) return {};
  std::vector<int16_t> out(size_t(to - from) * kOutputChannels, 0);  // the silent tail stays zero
  uint64_t storedEnd = std::min(to, s.firstKept + storedFrames(s));
  if (from < storedEnd) {
    auto begin = s.kept.begin() + std::ptrdiff_t((from - s.firstKept) * kOutputChannels);
    std::copy(begin, begin + std::ptrdiff_t((storedEnd - from) * kOutputChannels), out.begin());
  }
  return out;
}

std::string describe() {
  catchUp();
  std::string out = std::string("output=") + (currentOutput() == OutputKind::Host ? "host" : "sink") + "\n";
  char line[96];
  DWORD level = mixer().level();
  std::snprintf(line, sizeof line, "level=0x%04X,0x%04X\n", unsigned(level & 0xFFFF), unsigned(level >> 16));
  out += line;
  if (currentOutput() == OutputKind::Sink) {
    const Sink& s = sink();
    // The last second's stored part: silence after it adds nothing to a peak.
    uint64_t frames = std::min(storedFrames(s), kPeakFrames - std::min(kPeakFrames, s.silentTail));
    int peak[2] = {0, 0};
    for (size_t i = s.kept.size() - frames * kOutputChannels; i < s.kept.size(); ++i)
      peak[i % 2] = std::max(peak[i % 2], std::abs(int(s.kept[i])));
    std::snprintf(line, sizeof line, "played_ms=%llu peak=%d,%d\n",
                  static_cast<unsigned long long>(s.played * 1000 / kOutputRate), peak[0], peak[1]);
    out += line;
  }
  for (const std::string& stream : mixer().describeStreams()) out += stream + "\n";
  return out;
}

}  // namespace audio
