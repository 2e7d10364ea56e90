#pragma once
// A movie's sounds as its file defines them: DefineSound characters, the
// sound info of StartSound and StartSound2, a timeline's stream head and the
// stream's block in each frame; and their decoding to 16-bit PCM. Every
// decoder is bounded by the bytes it is given and by a frame limit.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/flash/swfreader.h"

namespace swf {

enum class SoundCodec : uint8_t {
  NativePcm = 0,  // the authoring machine's byte order: little-endian in practice
  Adpcm = 1,
  Mp3 = 2,
  Pcm = 3,  // little-endian
  Nellymoser16k = 4,
  Nellymoser8k = 5,
  Nellymoser = 6,
  Speex = 11,
};

struct SoundFormat {
  SoundCodec codec = SoundCodec::Pcm;
  int rate = 44100;  // 5512, 11025, 22050 or 44100
  bool is16 = true;
  bool stereo = false;
  int channels() const { return stereo ? 2 : 1; }
};

struct SoundDef {
  SoundFormat format;
  uint32_t sampleCount = 0;  // as the tag says; decoding trusts the data instead
  std::vector<uint8_t> data;
};

struct EnvelopePoint {
  uint32_t pos44 = 0;  // in samples at 44.1 kHz from the sound's start
  uint16_t left = 0;   // 0-32768
  uint16_t right = 0;
};

struct SoundInfo {
  bool syncStop = false;                      // stops the sound's instances instead of starting one
  bool syncNoMultiple = false;                // not started while an instance plays
  std::optional<uint32_t> inPoint, outPoint;  // in samples at 44.1 kHz
  uint16_t loops = 1;
  std::vector<EnvelopePoint> envelope;
};

// StartSound names a character; StartSound2 a class, found by its export name.
struct StartSoundCommand {
  uint16_t soundId = 0;
  std::string className;
  SoundInfo info;
};

struct StreamHead {
  SoundFormat format;
  uint16_t samplesPerBlock = 0;
};

// What a frame does with sound.
struct FrameSounds {
  std::vector<StartSoundCommand> starts;
  std::optional<StreamHead> streamHead;  // a head in this frame's tags
  std::shared_ptr<const std::vector<uint8_t>> streamBlock;
};

// Reads the sound control tags into `frame`; false for any other tag.
bool readSoundControlTag(uint16_t code, SwfReader& body, FrameSounds& frame);
// Reads DefineSound into `sounds` (the first definition of an id wins).
void readDefineSound(SwfReader& body, std::map<uint16_t, std::shared_ptr<const SoundDef>>& sounds);
SoundInfo readSoundInfo(SwfReader& body);

// Decoded sound: interleaved 16-bit samples.
struct Pcm {
  int rate = 44100;
  int channels = 1;
  std::vector<int16_t> samples;
  size_t frames() const { return samples.size() / size_t(channels); }
};

// No sound is decoded longer than this at its own rate.
constexpr uint32_t kMaxSoundSeconds = 600;

// Decodes a DefineSound's data. Nellymoser and Speex have no decoder here:
// they answer no samples, and the sound stays silent.
Pcm decodeSound(const SoundFormat& format, std::span<const uint8_t> data);
// One channel of the ADPCM decoder: the sample and step index it holds.
struct AdpcmChannel {
  int sample = 0;
  int index = 0;
  // Decodes one code of `bits` bits (2-5).
  int16_t step(uint32_t code, unsigned bits);
};

// SWF ADPCM: a 2-bit code size, then packets of 4096 frames each starting
// with every channel's sample and step index. Stops where the data ends.
void decodeAdpcm(std::span<const uint8_t> data, int channels, size_t maxFrames, std::vector<int16_t>& out);
// Uncompressed samples, 8-bit unsigned or 16-bit little-endian.
void decodePcm(std::span<const uint8_t> data, bool is16, size_t maxFrames, int channels, std::vector<int16_t>& out);

// An MP3 decoder fed in pieces, as stream blocks arrive.
class Mp3Decoder {
 public:
  Mp3Decoder();
  ~Mp3Decoder();
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;
  bool ok() const;
  // Appends what the bytes complete to `out` (at most `maxFrames` frames in all).
  void feed(std::span<const uint8_t> bytes, size_t maxFrames, Pcm& out);

 private:
  struct Handle;
  std::unique_ptr<Handle> m_handle;
};

// The samples of one stream block, decoded on its own (PCM and ADPCM) or
// through the stream's MP3 decoder.
void decodeStreamBlock(const StreamHead& head, std::span<const uint8_t> block, Mp3Decoder& mp3, Pcm& out);

}  // namespace swf
