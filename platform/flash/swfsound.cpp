#include "platform/flash/swfsound.h"

#include <mpg123.h>

#include <algorithm>
#include <array>

#include "platform/core/latesymbol.h"
#include "platform/flash/swfmovie.h"

namespace swf {
namespace {

constexpr int kRates[] = {5512, 11025, 22050, 44100};
constexpr size_t kMaxEnvelopePoints = 255;
constexpr size_t kAdpcmPacketFrames = 4096;

SoundFormat readFormat(SwfReader& r) {
  SoundFormat f;
  f.codec = SoundCodec(r.bits(4));
  f.rate = kRates[r.bits(2)];
  f.is16 = r.bits(1);
  f.stereo = r.bits(1);
  return f;
}

size_t frameLimit(const SoundFormat& f) { return size_t(f.rate) * kMaxSoundSeconds; }

// ---- ADPCM ----

constexpr std::array<int, 89> kStepSizes = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Index changes for the magnitude bits of a code, by code size 2 to 5.
constexpr int kIndex2[] = {-1, 2};
constexpr int kIndex3[] = {-1, -1, 2, 4};
constexpr int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int* kIndexTables[] = {kIndex2, kIndex3, kIndex4, kIndex5};

// ---- MP3 ----

// libmpg123 is opened by the first MP3 sound, not linked: most starts play
// none, and every library a start maps costs it.
struct Mpg123Calls {
  decltype(&mpg123_new) create = nullptr;
  decltype(&mpg123_delete) destroy = nullptr;
  decltype(&mpg123_param) param = nullptr;
  decltype(&mpg123_format_none) formatNone = nullptr;
  decltype(&mpg123_rates) rates = nullptr;
  decltype(&mpg123_format) format = nullptr;
  decltype(&mpg123_open_feed) openFeed = nullptr;
  decltype(&mpg123_feed) feed = nullptr;
  decltype(&mpg123_read) read = nullptr;
  decltype(&mpg123_getformat) getFormat = nullptr;
};

bool bindCalls(void* l, Mpg123Calls& c) {
  return lateSymbol(l, "mpg123_new", c.create) && lateSymbol(l, "mpg123_delete", c.destroy) &&
         lateSymbol(l, "mpg123_param", c.param) && lateSymbol(l, "mpg123_format_none", c.formatNone) &&
         lateSymbol(l, "mpg123_rates", c.rates) && lateSymbol(l, "mpg123_format", c.format) &&
         lateSymbol(l, "mpg123_open_feed", c.openFeed) && lateSymbol(l, "mpg123_feed", c.feed) &&
         lateSymbol(l, "mpg123_read", c.read) && lateSymbol(l, "mpg123_getformat", c.getFormat);
}

// The calls, or null when the library or one of them is missing.
const Mpg123Calls* mpg123Calls() { return lateCalls<Mpg123Calls>("libmpg123.so.0", bindCalls); }

struct Mpg123Deleter {
  // Only handles made through the loaded calls exist.
  void operator()(mpg123_handle* h) const { mpg123Calls()->destroy(h); }
};

void readEnvelope(SwfReader& r, SoundInfo& info) {
  size_t points = r.u8();
  for (size_t i = 0; i < points && i < kMaxEnvelopePoints && r.ok(); ++i) {
    EnvelopePoint p;
    p.pos44 = r.u32();
    p.left = std::min<uint16_t>(r.u16(), 32768);
    p.right = std::min<uint16_t>(r.u16(), 32768);
    if (r.ok()) info.envelope.push_back(p);
  }
}

}  // namespace

int16_t AdpcmChannel::step(uint32_t code, unsigned bits) {
  int stepSize = kStepSizes[size_t(index)];
  uint32_t sign = 1u << (bits - 1);
  int delta = stepSize >> (bits - 1);
  for (uint32_t mask = sign >> 1; mask; mask >>= 1, stepSize >>= 1)
    if (code & mask) delta += stepSize;
  sample = std::clamp(code & sign ? sample - delta : sample + delta, -32768, 32767);
  index = std::clamp(index + kIndexTables[bits - 2][code & (sign - 1)], 0, 88);
  return int16_t(sample);
}

SoundInfo readSoundInfo(SwfReader& r) {
  SoundInfo info;
  r.bits(2);
  info.syncStop = r.bits(1);
  info.syncNoMultiple = r.bits(1);
  bool hasEnvelope = r.bits(1), hasLoops = r.bits(1), hasOut = r.bits(1), hasIn = r.bits(1);
  if (hasIn) info.inPoint = r.u32();
  if (hasOut) info.outPoint = r.u32();
  if (hasLoops) info.loops = std::max<uint16_t>(r.u16(), 1);
  if (hasEnvelope) readEnvelope(r, info);
  return info;
}

bool readSoundControlTag(uint16_t code, SwfReader& body, FrameSounds& frame) {
  switch (code) {
    case kTagStartSound:
    case kTagStartSound2: {
      StartSoundCommand start;
      if (code == kTagStartSound)
        start.soundId = body.u16();
      else
        start.className = std::string(body.string());
      start.info = readSoundInfo(body);
      if (body.ok()) frame.starts.push_back(std::move(start));
      return true;
    }
    case kTagSoundStreamHead:
    case kTagSoundStreamHead2: {
      body.bits(8);  // the playback format: a hint for the device, which converts anyway
      StreamHead head;
      head.format = readFormat(body);
      head.samplesPerBlock = body.u16();
      if (body.ok()) frame.streamHead = head;
      return true;
    }
    case kTagSoundStreamBlock: {
      auto bytes = body.bytes(body.remaining());
      frame.streamBlock = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
      return true;
    }
    default:
      return false;
  }
}

void readDefineSound(SwfReader& body, std::map<uint16_t, std::shared_ptr<const SoundDef>>& sounds) {
  auto sound = std::make_shared<SoundDef>();
  uint16_t id = body.u16();
  sound->format = readFormat(body);
  sound->sampleCount = body.u32();
  auto data = body.bytes(body.remaining());
  sound->data.assign(data.begin(), data.end());
  if (body.ok()) sounds.try_emplace(id, std::move(sound));
}

void decodePcm(std::span<const uint8_t> data, bool is16, size_t maxFrames, int channels, std::vector<int16_t>& out) {
  size_t width = is16 ? 2 : 1;
  size_t frames = std::min(data.size() / (width * size_t(channels)), maxFrames);
  for (size_t i = 0; i < frames * size_t(channels); ++i)
    out.push_back(is16 ? int16_t(data[2 * i] | data[2 * i + 1] << 8) : int16_t((int(data[i]) - 128) << 8));
}

void decodeAdpcm(std::span<const uint8_t> data, int channels, size_t maxFrames, std::vector<int16_t>& out) {
  SwfReader r(data);
  unsigned bits = r.bits(2) + 2;
  AdpcmChannel state[2];
  size_t frames = 0;
  while (frames < maxFrames) {
    for (int c = 0; c < channels; ++c) {
      state[c].sample = r.signedBits(16);
      state[c].index = int(r.bits(6));
    }
    if (!r.ok()) return;
    for (int c = 0; c < channels; ++c) out.push_back(int16_t(state[c].sample));
    ++frames;
    for (size_t i = 1; i < kAdpcmPacketFrames && frames < maxFrames; ++i, ++frames) {
      int16_t decoded[2];
      for (int c = 0; c < channels; ++c) decoded[c] = state[c].step(r.bits(bits), bits);
      if (!r.ok()) return;
      out.insert(out.end(), decoded, decoded + channels);
    }
  }
}

struct Mp3Decoder::Handle {
  std::unique_ptr<mpg123_handle, Mpg123Deleter> h;
};

Mp3Decoder::Mp3Decoder() {
  const Mpg123Calls* calls = mpg123Calls();
  if (!calls) return;
  int error = 0;
  std::unique_ptr<mpg123_handle, Mpg123Deleter> h(calls->create(nullptr, &error));
  if (!h) return;
  calls->param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  calls->formatNone(h.get());
  const long* rates = nullptr;
  size_t count = 0;
  calls->rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    calls->format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (calls->openFeed(h.get()) != MPG123_OK) return;
  m_handle = std::make_unique<Handle>(Handle{std::move(h)});
}

Mp3Decoder::~Mp3Decoder() = default;

bool Mp3Decoder::ok() const { return m_handle != nullptr; }

void Mp3Decoder::feed(std::span<const uint8_t> bytes, size_t maxFrames, Pcm& out) {
  if (!m_handle || bytes.empty()) return;
  const Mpg123Calls& calls = *mpg123Calls();  // loaded: a handle exists
  mpg123_handle* h = m_handle->h.get();
  if (calls.feed(h, bytes.data(), bytes.size()) != MPG123_OK) return;
  int16_t buffer[4608];
  for (;;) {
    size_t done = 0;
    int status = calls.read(h, buffer, sizeof buffer, &done);
    if (status == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      calls.getFormat(h, &rate, &channels, &encoding);
      if (out.samples.empty()) {
        out.rate = int(rate);
        out.channels = channels;
      }
    }
    size_t samples = done / sizeof(int16_t);
    size_t room = maxFrames > out.frames() ? (maxFrames - out.frames()) * size_t(out.channels) : 0;
    out.samples.insert(out.samples.end(), buffer, buffer + std::min(samples, room));
    if (status != MPG123_OK && status != MPG123_NEW_FORMAT) return;
    if (room <= samples) return;
  }
}

Pcm decodeSound(const SoundFormat& format, std::span<const uint8_t> data) {
  Pcm pcm;
  pcm.rate = format.rate;
  pcm.channels = format.channels();
  size_t limit = frameLimit(format);
  switch (format.codec) {
    case SoundCodec::NativePcm:
    case SoundCodec::Pcm:
      decodePcm(data, format.is16, limit, pcm.channels, pcm.samples);
      break;
    case SoundCodec::Adpcm:
      decodeAdpcm(data, pcm.channels, limit, pcm.samples);
      break;
    case SoundCodec::Mp3: {
      SwfReader r(data);
      int16_t seek = r.s16();  // samples of the decoder's delay to skip
      Mp3Decoder decoder;
      decoder.feed(data.subspan(std::min<size_t>(2, data.size())), limit, pcm);
      size_t skip = std::min(pcm.samples.size(), size_t(std::max<int>(seek, 0)) * size_t(pcm.channels));
      pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + std::ptrdiff_t(skip));
      break;
    }
    default:
      break;  // no decoder: silent
  }
  return pcm;
}

void decodeStreamBlock(const StreamHead& head, std::span<const uint8_t> block, Mp3Decoder& mp3, Pcm& out) {
  const SoundFormat& f = head.format;
  size_t limit = out.frames() + frameLimit(f) / 60;  // a block is a frame's worth; no block is a minute long
  switch (f.codec) {
    case SoundCodec::NativePcm:
    case SoundCodec::Pcm:
      decodePcm(block, f.is16, limit - out.frames(), f.channels(), out.samples);
      break;
    case SoundCodec::Adpcm:
      decodeAdpcm(block, f.channels(), limit - out.frames(), out.samples);
      break;
    case SoundCodec::Mp3:
      // The block's sample count and seek come first.
      mp3.feed(block.subspan(std::min<size_t>(4, block.size())), limit, out);
      break;
    default:
      break;
  }
}

}  // namespace swf
