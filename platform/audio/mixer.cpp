#include "platform/audio/mixer.h"

#include <algorithm>
#include <cstdio>
#include <deque>

#include "platform/audio/sdlcalls.h"

namespace audio {
namespace {

constexpr size_t kOutputFrameBytes = sizeof(int16_t) * kOutputChannels;
constexpr size_t kChunkFrames = 1024;
// More than the resampler holds back, which it gives out only when more follows.
constexpr size_t kPadFrames = 1024;
constexpr DWORD kMinRate = 1000, kMaxRate = 192000;

bool playable(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= kMinRate &&
         f.nSamplesPerSec <= kMaxRate && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

struct ConverterDeleter {
  void operator()(SDL_AudioStream* s) const { sdl()->freeAudioStream(s); }
};
using Converter = std::unique_ptr<SDL_AudioStream, ConverterDeleter>;

// None when SDL cannot be loaded: the stream is then refused.
Converter makeConverter(const WAVEFORMATEX& f) {
  const SdlCalls* calls = sdl();
  if (!calls) return nullptr;
  SDL_AudioFormat from = f.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  return Converter(calls->newAudioStream(from, Uint8(f.nChannels), int(f.nSamplesPerSec), AUDIO_S16SYS,
                                         Uint8(kOutputChannels), kOutputRate));
}

int16_t clampSample(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

// One open stream: its buffers in the order written, converted to the
// output format as they arrive. Positions count the stream's own frames.
class WaveStream {
 public:
  WaveStream(const WAVEFORMATEX& format, Converter converter) : m_format(format), m_converter(std::move(converter)) {}

  void put(WAVEHDR& header) {
    uint64_t frames = header.dwBufferLength / m_format.nBlockAlign;
    size_t bytes = size_t(frames * m_format.nBlockAlign);
    if (bytes && sdl()->audioStreamPut(m_converter.get(), header.lpData, int(bytes)) == 0) m_written += frames;
    header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    m_queue.push_back({&header, m_written});
    markPlayed();
  }

  // Converted frames for the output. A stream that runs short has its
  // resampler's held-back tail pushed out with silence behind it; only the
  // frames that stand for what was written are played, then the stream is
  // empty again.
  size_t take(int16_t* out, size_t frames) {
    if (m_paused) return 0;
    uint64_t real = outputFramesFor(m_written);
    if (m_playedOut >= real) return 0;
    if (!m_padded && sdl()->audioStreamAvailable(m_converter.get()) < int(frames * kOutputFrameBytes)) padOut();
    size_t wanted = size_t(std::min<uint64_t>(frames, real - m_playedOut));
    int got = sdl()->audioStreamGet(m_converter.get(), out, int(wanted * kOutputFrameBytes));
    size_t taken = got > 0 ? size_t(got) / kOutputFrameBytes : 0;
    m_playedOut += taken;
    if (m_padded && (m_playedOut >= real || sdl()->audioStreamAvailable(m_converter.get()) == 0)) {
      sdl()->audioStreamClear(m_converter.get());
      m_playedOut = real;
      m_padded = false;
    }
    markPlayed();
    return taken;
  }

  void reset() {
    sdl()->audioStreamClear(m_converter.get());
    for (auto& q : m_queue) q.header->dwFlags = (q.header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    m_queue.clear();
    m_written = m_playedOut = 0;
    m_padded = false;
  }

  void setPaused(bool paused) { m_paused = paused; }
  DWORD level = 0xFFFFFFFF;
  bool paused() const { return m_paused; }
  bool queued() const { return !m_queue.empty(); }
  const WAVEFORMATEX& format() const { return m_format; }
  uint64_t written() const { return m_written; }
  uint64_t played() const { return std::min(m_written, m_playedOut * m_format.nSamplesPerSec / uint64_t(kOutputRate)); }

 private:
  uint64_t outputFramesFor(uint64_t frames) const {
    return (frames * uint64_t(kOutputRate) + m_format.nSamplesPerSec - 1) / m_format.nSamplesPerSec;
  }
  void padOut() {
    std::vector<uint8_t> silence(kPadFrames * m_format.nBlockAlign, m_format.wBitsPerSample == 8 ? 0x80 : 0);
    sdl()->audioStreamPut(m_converter.get(), silence.data(), int(silence.size()));
    sdl()->audioStreamFlush(m_converter.get());
    m_padded = true;
  }
  void markPlayed() {
    uint64_t at = played();
    while (!m_queue.empty() && m_queue.front().end <= at) {
      WAVEHDR* h = m_queue.front().header;
      h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
      m_queue.pop_front();
    }
  }

  struct Queued {
    WAVEHDR* header;
    uint64_t end;  // the stream's frames written once this buffer is in
  };
  WAVEFORMATEX m_format;
  Converter m_converter;
  std::deque<Queued> m_queue;
  uint64_t m_written = 0;    // input frames
  uint64_t m_playedOut = 0;  // output frames taken
  bool m_paused = false;
  bool m_padded = false;  // silence follows the written frames in the converter
};

Mixer::Mixer() = default;
Mixer::~Mixer() = default;

Mixer& mixer() {
  static Mixer m;
  return m;
}

WaveStream* Mixer::open(const WAVEFORMATEX& format) {
  if (!playable(format)) return nullptr;
  Converter converter = makeConverter(format);
  if (!converter) return nullptr;
  std::lock_guard lock(m_lock);
  m_streams.push_back(std::make_unique<WaveStream>(format, std::move(converter)));
  return m_streams.back().get();
}

WaveStream* Mixer::find(HWAVEOUT handle) const {
  auto* wanted = reinterpret_cast<const WaveStream*>(handle);
  for (const auto& s : m_streams)
    if (s.get() == wanted) return s.get();
  return nullptr;
}

bool Mixer::isOpen(const WaveStream* stream) const {
  std::lock_guard lock(m_lock);
  return find(reinterpret_cast<HWAVEOUT>(const_cast<WaveStream*>(stream))) != nullptr;
}

MMRESULT Mixer::write(HWAVEOUT handle, WAVEHDR& header) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  s->put(header);
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::pause(HWAVEOUT handle, bool paused) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  s->setPaused(paused);
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::reset(HWAVEOUT handle) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  s->reset();
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::position(HWAVEOUT handle, MMTIME& time) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  uint64_t frames = s->played();
  const WAVEFORMATEX& f = s->format();
  if (time.wType == TIME_SAMPLES) {
    time.u.sample = DWORD(frames);
  } else if (time.wType == TIME_MS) {
    time.u.ms = DWORD(frames * 1000 / f.nSamplesPerSec);
  } else {
    time.wType = TIME_BYTES;  // what the device answers for a kind it does not keep
    time.u.cb = DWORD(frames * f.nBlockAlign);
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::closeHandle(HWAVEOUT handle) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  if (s->queued()) return WAVERR_STILLPLAYING;
  std::erase_if(m_streams, [s](const auto& p) { return p.get() == s; });
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::streamLevel(HWAVEOUT handle, DWORD& level) const {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  level = s->level;
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::setStreamLevel(HWAVEOUT handle, DWORD level) {
  std::lock_guard lock(m_lock);
  WaveStream* s = find(handle);
  if (!s) return MMSYSERR_INVALHANDLE;
  s->level = level;
  return MMSYSERR_NOERROR;
}

void Mixer::close(WaveStream* stream) { closeHandle(reinterpret_cast<HWAVEOUT>(stream)); }

void Mixer::setLevel(DWORD level) {
  std::lock_guard lock(m_lock);
  m_level = level;
}

DWORD Mixer::level() const {
  std::lock_guard lock(m_lock);
  return m_level;
}

bool Mixer::hasStreams() const {
  std::lock_guard lock(m_lock);
  return !m_streams.empty();
}

void Mixer::mix(int16_t* out, size_t frames) {
  std::lock_guard lock(m_lock);
  while (frames) {
    size_t n = std::min(frames, kChunkFrames);
    m_sum.assign(n * kOutputChannels, 0);
    m_chunk.resize(n * kOutputChannels);
    for (auto& s : m_streams) {
      size_t got = s->take(m_chunk.data(), n);
      if (s->level == 0xFFFFFFFF) {
        for (size_t i = 0; i < got * kOutputChannels; ++i) m_sum[i] += m_chunk[i];
        continue;
      }
      const int32_t levels[kOutputChannels] = {int32_t(s->level & 0xFFFF), int32_t(s->level >> 16)};
      for (size_t i = 0; i < got * kOutputChannels; ++i) m_sum[i] += m_chunk[i] * levels[i % 2] / 0xFFFF;
    }
    const int64_t left = m_level & 0xFFFF, right = m_level >> 16;
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = clampSample(m_sum[2 * i] * left / 0xFFFF);
      out[2 * i + 1] = clampSample(m_sum[2 * i + 1] * right / 0xFFFF);
    }
    out += n * kOutputChannels;
    frames -= n;
  }
}

std::vector<std::string> Mixer::describeStreams() const {
  std::lock_guard lock(m_lock);
  std::vector<std::string> lines;
  for (const auto& s : m_streams) {
    const WAVEFORMATEX& f = s->format();
    char line[160];
    std::snprintf(line, sizeof line, "stream rate=%u channels=%u bits=%u state=%s played=%llu written=%llu",
                  unsigned(f.nSamplesPerSec), unsigned(f.nChannels), unsigned(f.wBitsPerSample),
                  s->paused() ? "paused" : "playing", static_cast<unsigned long long>(s->played()),
                  static_cast<unsigned long long>(s->written()));
    lines.push_back(line);
  }
  return lines;
}

}  // namespace audio
