// Sound tags and the codecs that fill them.
#include <lame/lame.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/flash/swfsound.h"
#include "tools/swfwriter/swfwriter.h"

namespace swfwrite {
namespace {

constexpr uint16_t kDefineSound = 14;
constexpr uint16_t kStartSound = 15;
constexpr uint16_t kDefineButtonSound = 17;
constexpr uint16_t kSoundStreamHead = 18;
constexpr uint16_t kSoundStreamBlock = 19;
constexpr uint16_t kSoundStreamHead2 = 45;
constexpr uint16_t kExportAssets = 56;
constexpr uint16_t kStartSound2 = 89;
constexpr size_t kAdpcmPacketFrames = 4096;

unsigned rateCode(int rate) { return rate <= 5512 ? 0 : rate <= 11025 ? 1 : rate <= 22050 ? 2 : 3; }

void format(BitWriter& w, const SoundFormat& f) {
  w.bits(f.codec, 4);
  w.bits(rateCode(f.rate), 2);
  w.bits(f.is16, 1);
  w.bits(f.stereo, 1);
}

void soundInfo(BitWriter& w, const SoundInfo& info) {
  w.bits(0, 2);
  w.bits(info.syncStop, 1);
  w.bits(info.syncNoMultiple, 1);
  w.bits(!info.envelope.empty(), 1);
  w.bits(info.loops.has_value(), 1);
  w.bits(info.outPoint.has_value(), 1);
  w.bits(info.inPoint.has_value(), 1);
  if (info.inPoint) w.u32(*info.inPoint);
  if (info.outPoint) w.u32(*info.outPoint);
  if (info.loops) w.u16(*info.loops);
  if (info.envelope.empty()) return;
  w.u8(uint8_t(info.envelope.size()));
  for (const auto& p : info.envelope) {
    w.u32(p.pos44);
    w.u16(p.left);
    w.u16(p.right);
  }
}

// The code whose decoding lands nearest the wanted sample.
uint32_t nearestCode(const swf::AdpcmChannel& state, int wanted, unsigned bits) {
  uint32_t best = 0;
  int bestError = INT32_MAX;
  for (uint32_t code = 0; code < (1u << bits); ++code) {
    swf::AdpcmChannel trial = state;
    int error = std::abs(trial.step(code, bits) - wanted);
    if (error < bestError) {
      bestError = error;
      best = code;
    }
  }
  return best;
}

struct LameDeleter {
  void operator()(lame_global_flags* f) const { lame_close(f); }
};

}  // namespace

std::vector<uint8_t> encodePcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) {
    out.push_back(uint8_t(s));
    out.push_back(uint8_t(uint16_t(s) >> 8));
  }
  return out;
}

std::vector<uint8_t> encodeAdpcm(const std::vector<int16_t>& samples, int channels, int bits) {
  BitWriter w;
  w.bits(unsigned(bits - 2), 2);
  size_t frames = samples.size() / size_t(channels);
  swf::AdpcmChannel state[2];
  for (size_t i = 0; i < frames; ++i) {
    bool packetStart = i % kAdpcmPacketFrames == 0;
    for (int c = 0; c < channels; ++c) {
      int wanted = samples[i * size_t(channels) + size_t(c)];
      if (packetStart) {
        state[c].sample = wanted;
        state[c].index = std::clamp(state[c].index, 0, 63);  // six bits hold it
        w.signedBits(wanted, 16);
        w.bits(unsigned(state[c].index), 6);
      } else {
        uint32_t code = nearestCode(state[c], wanted, unsigned(bits));
        state[c].step(code, unsigned(bits));
        w.bits(code, unsigned(bits));
      }
    }
  }
  return w.take();
}

std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& samples, int rate, int channels, bool withSeek) {
  std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
  lame_set_in_samplerate(lame.get(), rate);
  lame_set_out_samplerate(lame.get(), rate);
  lame_set_num_channels(lame.get(), channels);
  lame_set_mode(lame.get(), channels == 2 ? JOINT_STEREO : MONO);
  lame_set_brate(lame.get(), 64);
  lame_set_bWriteVbrTag(lame.get(), 0);
  if (lame_init_params(lame.get()) < 0) return {};
  int frames = int(samples.size()) / channels;
  std::vector<unsigned char> mp3(size_t(frames) * 5 / 4 + 7200 + 7200);
  std::vector<int16_t> copy(samples);
  int n = channels == 2 ? lame_encode_buffer_interleaved(lame.get(), copy.data(), frames, mp3.data(), int(mp3.size()))
                        : lame_encode_buffer(lame.get(), copy.data(), copy.data(), frames, mp3.data(), int(mp3.size()));
  if (n < 0) return {};
  int tail = lame_encode_flush(lame.get(), mp3.data() + n, int(mp3.size()) - n);
  mp3.resize(size_t(n + std::max(tail, 0)));
  std::vector<uint8_t> out;
  if (withSeek) {
    // The decoder's delay: LAME's own and the 529 samples of the MP3 synthesis.
    int seek = lame_get_encoder_delay(lame.get()) + 529;
    out.push_back(uint8_t(seek));
    out.push_back(uint8_t(seek >> 8));
  }
  out.insert(out.end(), mp3.begin(), mp3.end());
  return out;
}

void TagStream::startSound(uint16_t soundId, const SoundInfo& info) {
  BitWriter w;
  w.u16(soundId);
  soundInfo(w, info);
  tag(kStartSound, w.take());
}

void TagStream::defineButtonSound(uint16_t buttonId, const std::array<std::optional<uint16_t>, 4>& sounds) {
  BitWriter w;
  w.u16(buttonId);
  for (const auto& id : sounds) {
    w.u16(id.value_or(0));
    if (id) soundInfo(w, {});
  }
  tag(kDefineButtonSound, w.take());
}

void TagStream::startSound2(const std::string& className, const SoundInfo& info) {
  BitWriter w;
  w.string(className);
  soundInfo(w, info);
  tag(kStartSound2, w.take());
}

void TagStream::soundStreamHead(const SoundFormat& f, uint16_t samplesPerBlock, int version) {
  BitWriter w;
  w.bits(0, 4);
  w.bits(rateCode(f.rate), 2);
  w.bits(1, 1);
  w.bits(f.stereo, 1);
  format(w, f);
  w.u16(samplesPerBlock);
  if (f.codec == 2) w.u16(0);  // latency seek
  tag(version == 1 ? kSoundStreamHead : kSoundStreamHead2, w.take());
}

void TagStream::soundStreamBlock(const std::vector<uint8_t>& data) { tag(kSoundStreamBlock, data); }

void MovieWriter::defineSound(uint16_t id, const SoundFormat& f, uint32_t sampleCount,
                              const std::vector<uint8_t>& data) {
  BitWriter w;
  w.u16(id);
  format(w, f);
  w.u32(sampleCount);
  w.bytes(data);
  tag(kDefineSound, w.take());
}

void MovieWriter::exportAssets(const std::vector<std::pair<uint16_t, std::string>>& names) {
  BitWriter w;
  w.u16(uint16_t(names.size()));
  for (const auto& [id, name] : names) {
    w.u16(id);
    w.string(name);
  }
  tag(kExportAssets, w.take());
}

}  // namespace swfwrite
