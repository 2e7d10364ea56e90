#include "platform/flash/swfsoundplayer.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <deque>

#include "platform/audio/waveout.h"

namespace swf {
namespace {

constexpr int kLeadMs = 200;         // how far an event sound is written ahead of the device
constexpr int kStreamDelayMs = 100;  // silence before a stream, so its blocks arrive in time
constexpr int kOutputChannels = 2;
constexpr int kEnvelopeRate = 44100;

int16_t scaled(float sample) { return int16_t(std::clamp(int(sample), -32768, 32767)); }

// Output sides from input sides: left = ll L + lr R, right = rl L + rr R.
struct Gain {
  float ll = 1, lr = 0, rl = 0, rr = 1;
  Gain then(const Gain& outer) const {
    return {outer.ll * ll + outer.lr * rl, outer.ll * lr + outer.lr * rr, outer.rl * ll + outer.rr * rl,
            outer.rl * lr + outer.rr * rr};
  }
};

Gain gainOf(const SoundTransform& t) {
  float v = float(std::clamp(t.volume, -1000.0, 1000.0) / 10000);
  auto side = [v](double percent) { return float(std::clamp(percent, -1000.0, 1000.0)) * v; };
  return {side(t.ll), side(t.lr), side(t.rl), side(t.rr)};
}

// One stereo frame out of a mono or stereo one, each output side scaled once more.
void mixFrame(const int16_t* in, int channels, const Gain& g, float left, float right, int16_t* out) {
  float l = in[0], r = in[channels - 1];
  out[0] = scaled((g.ll * l + g.lr * r) * left);
  out[1] = scaled((g.rl * l + g.rr * r) * right);
}

// Whether `timeline` is `owner` or lies under it; every timeline lies under null.
bool within(const TimelineInstance* timeline, const TimelineInstance* owner) {
  if (!owner) return true;
  for (const TimelineInstance* t = timeline; t; t = t->parent())
    if (t == owner) return true;
  return false;
}

}  // namespace

// One sound on a wave stream of its own, written as stereo 16-bit frames at
// the sound's rate. Buffers stay with the voice until the device is done.
class SoundVoice {
 public:
  virtual ~SoundVoice() {
    if (!m_wave) return;
    waveOutReset(m_wave);
    for (auto& b : m_buffers) waveOutUnprepareHeader(m_wave, &b->header, sizeof b->header);
    waveOutClose(m_wave);
  }

  bool open(int rate) {
    m_rate = rate;
    WAVEFORMATEX f{WAVE_FORMAT_PCM, kOutputChannels, DWORD(rate), DWORD(rate * 4), 4, 16, 0};
    return waveOutOpen(&m_wave, 0, &f, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR;
  }

  void pump() {
    uint64_t played = position();
    while (!m_buffers.empty() && (m_buffers.front()->header.dwFlags & WHDR_DONE)) {
      waveOutUnprepareHeader(m_wave, &m_buffers.front()->header, sizeof(WAVEHDR));
      m_buffers.pop_front();
    }
    uint64_t queued = m_written - std::min(played, m_written);
    size_t want = wanted(queued);
    if (want) writeFrames(want);
  }

  void setPaused(bool paused) {
    if (m_wave) paused ? waveOutPause(m_wave) : waveOutRestart(m_wave);
  }
  bool finished() const { return exhausted() && position() >= m_written; }
  // Each side's level goes to the device's stream at once; what a level
  // cannot say (one side into the other, more than full) is written into
  // the samples from here on.
  void setGain(const Gain& gain) {
    float left = std::min(1.0f, std::max(std::abs(gain.ll), std::abs(gain.lr)));
    float right = std::min(1.0f, std::max(std::abs(gain.rl), std::abs(gain.rr)));
    m_gain = {left > 0 ? gain.ll / left : 1, left > 0 ? gain.lr / left : 0, right > 0 ? gain.rl / right : 0,
              right > 0 ? gain.rr / right : 1};
    DWORD level = DWORD(std::lround(left * 0xFFFF)) | DWORD(std::lround(right * 0xFFFF)) << 16;
    if (m_wave && level != m_level && waveOutSetVolume(m_wave, level) == MMSYSERR_NOERROR) m_level = level;
  }
  // Whose sound this is: a back-link, null for the movie's own.
  TimelineInstance* owner = nullptr;
  uint64_t position() const {
    MMTIME t{TIME_SAMPLES, {}};
    return waveOutGetPosition(m_wave, &t, sizeof t) == MMSYSERR_NOERROR ? t.u.sample : m_written;
  }
  int rate() const { return m_rate; }

 protected:
  // Up to `frames` stereo frames of the sound; fewer at its end.
  virtual size_t render(int16_t* out, size_t frames) = 0;
  virtual bool exhausted() const = 0;
  // Frames to write now, with `queued` not yet played.
  virtual size_t wanted(uint64_t queued) const {
    uint64_t lead = uint64_t(m_rate) * kLeadMs / 1000;
    return queued < lead ? size_t(lead - queued) : 0;
  }

  void writeSilence(size_t frames) {
    auto b = std::make_unique<Buffer>();
    b->samples.assign(frames * kOutputChannels, 0);
    submit(std::move(b));
  }

  Gain m_gain;

 private:
  struct Buffer {
    WAVEHDR header{};
    std::vector<int16_t> samples;
  };

  void writeFrames(size_t frames) {
    auto b = std::make_unique<Buffer>();
    b->samples.resize(frames * kOutputChannels);
    size_t got = render(b->samples.data(), frames);
    if (!got) return;
    b->samples.resize(got * kOutputChannels);
    submit(std::move(b));
  }

  void submit(std::unique_ptr<Buffer> b) {
    b->header.lpData = reinterpret_cast<LPSTR>(b->samples.data());
    b->header.dwBufferLength = DWORD(b->samples.size() * sizeof(int16_t));
    if (waveOutPrepareHeader(m_wave, &b->header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
    if (waveOutWrite(m_wave, &b->header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      waveOutUnprepareHeader(m_wave, &b->header, sizeof(WAVEHDR));
      return;
    }
    m_written += b->samples.size() / kOutputChannels;
    m_buffers.push_back(std::move(b));
  }

  HWAVEOUT m_wave = nullptr;
  DWORD m_level = 0xFFFFFFFF;  // the stream's level on the device
  int m_rate = 44100;
  uint64_t m_written = 0;
  std::deque<std::unique_ptr<Buffer>> m_buffers;
};

// An event sound: its in and out points, loops and envelope.
class EventVoice final : public SoundVoice {
 public:
  EventVoice(uint16_t id, std::shared_ptr<const Pcm> pcm, const SoundInfo& info, uint64_t ticket = 0)
      : m_id(id), m_pcm(std::move(pcm)), m_info(info), m_loopsLeft(info.loops), m_ticket(ticket) {
    size_t frames = m_pcm->frames();
    m_start = std::min(frames, framesAt(info.inPoint.value_or(0)));
    m_end = info.outPoint ? std::clamp(framesAt(*info.outPoint), m_start, frames) : frames;
    m_at = m_start;
  }
  uint16_t id() const { return m_id; }
  uint64_t ticket() const { return m_ticket; }
  // Where the device is in the sound, looping back to its in point.
  double positionMs() const {
    size_t span = m_end - m_start;
    uint64_t at = span ? position() % span : 0;
    return double(m_start + at) * 1000 / m_pcm->rate;
  }

 protected:
  size_t render(int16_t* out, size_t frames) override {
    size_t done = 0;
    const int channels = m_pcm->channels;
    while (done < frames && !exhausted()) {
      if (m_at >= m_end) {
        --m_loopsLeft;
        m_at = m_start;
        continue;
      }
      const int16_t* in = &m_pcm->samples[m_at * size_t(channels)];
      float left = 1, right = 1;
      envelope(left, right);
      mixFrame(in, channels, m_gain, left, right, &out[2 * done]);
      ++m_at;
      ++m_played;
      ++done;
    }
    return done;
  }
  bool exhausted() const override {
    return m_loopsLeft == 0 || m_end == m_start || (m_loopsLeft == 1 && m_at >= m_end);
  }

 private:
  size_t framesAt(uint32_t pos44) const { return size_t(uint64_t(pos44) * uint64_t(m_pcm->rate) / kEnvelopeRate); }

  // The envelope's levels where the sound has played to, between its points.
  void envelope(float& left, float& right) const {
    const auto& points = m_info.envelope;
    if (points.empty()) return;
    uint64_t at = m_played * kEnvelopeRate / uint64_t(m_pcm->rate);
    auto next = std::find_if(points.begin(), points.end(), [&](const EnvelopePoint& p) { return p.pos44 > at; });
    const EnvelopePoint& b = next == points.end() ? points.back() : *next;
    const EnvelopePoint& a = next == points.begin() ? b : *(next - 1);
    float t = b.pos44 > a.pos44 ? float(at - a.pos44) / float(b.pos44 - a.pos44) : 0;
    left *= (a.left + (float(b.left) - a.left) * t) / 32768.0f;
    right *= (a.right + (float(b.right) - a.right) * t) / 32768.0f;
  }

  uint16_t m_id;
  std::shared_ptr<const Pcm> m_pcm;
  SoundInfo m_info;
  size_t m_start = 0, m_end = 0, m_at = 0;
  uint64_t m_played = 0;
  int m_loopsLeft = 1;
  uint64_t m_ticket;  // a script's instance; 0 for the timeline's
};

// A timeline's stream: the blocks of the frames it enters, in order.
class StreamVoice final : public SoundVoice {
 public:
  explicit StreamVoice(const StreamHead& head) : m_head(head) {
    m_pending.rate = head.format.rate;
    m_pending.channels = head.format.channels();
  }
  bool start() {
    if (!open(m_head.format.rate)) return false;
    writeSilence(size_t(m_head.format.rate) * kStreamDelayMs / 1000);
    return true;
  }
  void addBlock(std::span<const uint8_t> block) { decodeStreamBlock(m_head, block, m_mp3, m_pending); }

 protected:
  size_t render(int16_t* out, size_t frames) override {
    const int channels = m_pending.channels;
    size_t available = m_pending.frames() - m_read;
    size_t n = std::min(frames, available);
    for (size_t i = 0; i < n; ++i, ++m_read) {
      const int16_t* in = &m_pending.samples[m_read * size_t(channels)];
      mixFrame(in, channels, m_gain, 1, 1, &out[2 * i]);
    }
    if (m_read == m_pending.frames()) {
      m_pending.samples.clear();
      m_read = 0;
    }
    return n;
  }
  bool exhausted() const override { return m_read >= m_pending.frames(); }
  size_t wanted(uint64_t) const override { return m_pending.frames() - m_read; }

 private:
  StreamHead m_head;
  Mp3Decoder m_mp3;
  Pcm m_pending;
  size_t m_read = 0;
};

MovieSounds::MovieSounds() = default;
MovieSounds::~MovieSounds() = default;

void MovieSounds::setMovie(const MovieDef* movie) {
  stopAll();
  m_decoded.clear();
  m_decodedSamples = 0;
  m_movie = movie;
  m_paused = false;
  m_movieTransform = {};
  m_ended.clear();
}

void MovieSounds::stopAll() {
  dropEvents([](const EventVoice&) { return true; });
  m_streams.clear();
}

void MovieSounds::dropEvents(const std::function<bool(const EventVoice&)>& which) {
  std::erase_if(m_events, [&](const auto& v) {
    if (!which(*v)) return false;
    if (v->ticket()) m_ended.push_back({v->ticket(), false});
    return true;
  });
}

std::shared_ptr<const Pcm> MovieSounds::decoded(uint16_t id) {
  if (auto it = m_decoded.find(id); it != m_decoded.end()) return it->second;
  auto def = m_movie ? m_movie->sounds.find(id) : decltype(m_movie->sounds)::const_iterator{};
  if (!m_movie || def == m_movie->sounds.end()) return nullptr;
  auto pcm = std::make_shared<Pcm>(decodeSound(def->second->format, def->second->data));
  if (m_decodedSamples + pcm->samples.size() > kMaxDecodedSamples) return nullptr;  // too much for one movie
  m_decodedSamples += pcm->samples.size();
  m_decoded[id] = pcm;
  return pcm;
}

void MovieSounds::stop(uint16_t id) {
  dropEvents([id](const EventVoice& v) { return v.id() == id; });
}

void MovieSounds::start(uint16_t id, const SoundInfo& info, TimelineInstance* owner) {
  if (info.syncStop) {
    stop(id);
    return;
  }
  if (info.syncNoMultiple &&
      std::any_of(m_events.begin(), m_events.end(), [id](const auto& v) { return v->id() == id; }))
    return;
  startVoice(id, info, owner, 0);
}

bool MovieSounds::startVoice(uint16_t id, const SoundInfo& info, TimelineInstance* owner, uint64_t ticket) {
  if (m_events.size() >= kMaxEventVoices) return false;
  auto pcm = decoded(id);
  if (!pcm || pcm->frames() == 0) return false;
  auto voice = std::make_unique<EventVoice>(id, pcm, info, ticket);
  voice->owner = owner;
  if (!voice->open(pcm->rate)) return false;
  applyGain(*voice);
  if (m_paused) voice->setPaused(true);
  voice->pump();
  m_events.push_back(std::move(voice));
  return true;
}

uint64_t MovieSounds::startScripted(uint16_t id, TimelineInstance* owner, double offsetSeconds, int loops) {
  SoundInfo info;
  if (offsetSeconds > 0) info.inPoint = uint32_t(std::min(offsetSeconds, double(kMaxSoundSeconds)) * kEnvelopeRate);
  info.loops = uint16_t(std::clamp(loops, 1, 0xFFFF));
  uint64_t ticket = m_nextTicket;
  if (!startVoice(id, info, owner, ticket)) return 0;
  ++m_nextTicket;
  return ticket;
}

void MovieSounds::stopScripted(TimelineInstance* owner, std::optional<uint16_t> id) {
  dropEvents([&](const EventVoice& v) { return (!id || v.id() == *id) && within(v.owner, owner); });
  if (!id) std::erase_if(m_streams, [&](const auto& s) { return within(s.first, owner); });
}

std::optional<double> MovieSounds::positionMs(uint64_t ticket) const {
  for (const auto& v : m_events)
    if (v->ticket() == ticket) return v->positionMs();
  return std::nullopt;
}

std::optional<double> MovieSounds::durationMs(uint16_t id) const {
  auto def = m_movie ? m_movie->sounds.find(id) : decltype(m_movie->sounds)::const_iterator{};
  if (!m_movie || def == m_movie->sounds.end() || def->second->format.rate <= 0) return std::nullopt;
  return std::floor(double(def->second->sampleCount) * 1000 / def->second->format.rate);
}

std::vector<MovieSounds::Ended> MovieSounds::takeEnded() { return std::exchange(m_ended, {}); }

const StreamHead* MovieSounds::streamHead(const TimelineDef& def, int frame) const {
  for (int f = std::min(frame, int(def.frames.size()) - 1); f >= 0; --f)
    if (def.frames[size_t(f)].sounds.streamHead) return &*def.frames[size_t(f)].sounds.streamHead;
  return nullptr;
}

void MovieSounds::frameEntered(TimelineInstance& timeline, int frame, bool jumped) {
  if (!m_movie || frame < 0 || size_t(frame) >= timeline.def().frames.size()) return;
  const FrameSounds& sounds = timeline.def().frames[size_t(frame)].sounds;
  if (jumped) m_streams.erase(&timeline);  // a stream starts again where the timeline lands
  if (sounds.streamBlock) {
    auto& voice = m_streams[&timeline];
    if (!voice) {
      const StreamHead* head = streamHead(timeline.def(), frame);
      if (head) voice = std::make_unique<StreamVoice>(*head);
      if (!voice || !voice->start()) {
        m_streams.erase(&timeline);  // voice referred into the entry erased here
      } else {
        voice->owner = &timeline;
        applyGain(*voice);
      }
    }
    if (auto it = m_streams.find(&timeline); it != m_streams.end()) {
      it->second->addBlock(*sounds.streamBlock);
      it->second->pump();
    }
  }
  for (const StartSoundCommand& s : sounds.starts) {
    uint16_t id = s.soundId;
    if (!s.className.empty()) {
      auto exported = m_movie->exports.find(s.className);
      if (exported == m_movie->exports.end()) continue;
      id = exported->second;
    }
    start(id, s.info, &timeline);
  }
}

// An event sound outlives the clip that started it, as the movie's own.
void MovieSounds::timelineGone(TimelineInstance& timeline) {
  m_streams.erase(&timeline);
  for (auto& v : m_events)
    if (v->owner == &timeline) v->owner = nullptr;
}

// Pan takes the far side down: -100 silences the right, 100 the left.
void MovieSounds::setTransform(double volume, double pan) {
  pan = std::clamp(pan, -100.0, 100.0);
  m_movieTransform = {volume, pan > 0 ? 100 - pan : 100, 0, pan < 0 ? 100 + pan : 100, 0};
  refreshGains();
}

void MovieSounds::refreshGains() {
  for (auto& v : m_events) applyGain(*v);
  for (auto& [t, v] : m_streams) applyGain(*v);
}

// The owner's transform first, then each parent's, then the movie's.
void MovieSounds::applyGain(SoundVoice& voice) const {
  Gain gain;
  for (const TimelineInstance* t = voice.owner; t; t = t->parent()) gain = gain.then(gainOf(t->soundTransform));
  voice.setGain(gain.then(gainOf(m_movieTransform)));
}

void MovieSounds::setPaused(bool paused) {
  if (paused == m_paused) return;
  m_paused = paused;
  for (auto& v : m_events) v->setPaused(paused);
  for (auto& [t, v] : m_streams) v->setPaused(paused);
}

void MovieSounds::pump() {
  refreshGains();  // scripts change transforms between pumps
  for (auto& v : m_events) v->pump();
  for (auto& [t, v] : m_streams) v->pump();
  if (m_paused) return;
  std::erase_if(m_events, [this](const auto& v) {
    if (!v->finished()) return false;
    if (v->ticket()) m_ended.push_back({v->ticket(), true});
    return true;
  });
  std::erase_if(m_streams, [](const auto& s) { return s.second->finished(); });
}

// A stream that ran dry since the last pump still counts: its timeline is late.
bool MovieSounds::streaming() const { return !m_paused && !m_streams.empty(); }

size_t MovieSounds::playingVoices() const { return m_events.size() + m_streams.size(); }

}  // namespace swf
