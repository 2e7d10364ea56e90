// Device 0's wave output on the headless sink: what is written plays at its
// pitch and length, mixed with the other streams at the device's level.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/audio/mixer.h"
#include "platform/audio/output.h"
#include "platform/audio/waveout.h"
#include "platform/core/regkey.h"
#include "platform/core/windowing.h"
#include "platform/core/winreg.h"
#include "tests/support/testdevice.h"
#include "tests/support/tone.h"

namespace {

using testsupport::measureTone;
using testsupport::sineTone;

constexpr int kAmplitude = 16000;

// A device on the virtual clock with a fresh sink.
class SinkSession {
 public:
  SinkSession() {
    wm::useVirtualClock(true);
    audio::openOutput(audio::OutputKind::Sink);
  }
  ~SinkSession() { wm::useVirtualClock(false); }
  void pass(uint64_t ms) { wm::advanceClock(ms); }

 private:
  TestDevice m_device;
};

// One stream with its buffer, closed at the end.
struct Stream {
  HWAVEOUT handle = nullptr;
  std::vector<uint8_t> bytes;
  WAVEHDR header{};

  MMRESULT open(int rate, int channels, int bits) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM,
                   WORD(channels),
                   DWORD(rate),
                   DWORD(rate * channels * bits / 8),
                   WORD(channels * bits / 8),
                   WORD(bits),
                   0};
    return waveOutOpen(&handle, 0, &f, 0, 0, CALLBACK_NULL);
  }
  void write(const std::vector<int16_t>& samples, int bits) {
    if (bits == 16) {
      bytes.resize(samples.size() * 2);
      std::memcpy(bytes.data(), samples.data(), bytes.size());
    } else {
      for (int16_t s : samples) bytes.push_back(uint8_t((s >> 8) + 128));
    }
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(bytes.data());
    header.dwBufferLength = DWORD(bytes.size());
    ASSERT_EQ(waveOutPrepareHeader(handle, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(handle, &header, sizeof header), MMSYSERR_NOERROR);
  }
  ~Stream() {
    if (!handle) return;
    waveOutReset(handle);
    waveOutUnprepareHeader(handle, &header, sizeof header);
    waveOutClose(handle);
  }
};

struct FormatCase {
  int rate, channels, bits;
};

TEST(WaveOutput, PlaysEachFormatAtItsPitchAndLength) {
  const FormatCase cases[] = {{44100, 2, 16}, {22050, 1, 16}, {11025, 2, 16},
                              {5512, 1, 16},  {8000, 1, 8},   {48000, 2, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.channels) + "x" + std::to_string(c.bits));
    SinkSession session;
    Stream s;
    ASSERT_EQ(s.open(c.rate, c.channels, c.bits), MMSYSERR_NOERROR);
    s.write(sineTone(440, c.rate, c.channels, size_t(c.rate) / 2, kAmplitude), c.bits);
    session.pass(1000);
    auto played = audio::keptSamples(0, audio::kOutputRate);
    for (int channel : {0, 1}) {
      auto m = measureTone(played, channel, audio::kOutputRate, 1000);
      EXPECT_NEAR(m.frequency, 440, 2);
      EXPECT_NEAR(m.durationMs, 500, 5);
      EXPECT_NEAR(m.peak, kAmplitude, kAmplitude / 20);
    }
    EXPECT_TRUE(s.header.dwFlags & WHDR_DONE);
    MMTIME at{TIME_SAMPLES, {}};
    ASSERT_EQ(waveOutGetPosition(s.handle, &at, sizeof at), MMSYSERR_NOERROR);
    EXPECT_EQ(at.u.sample, DWORD(c.rate / 2));
  }
}

struct LevelCase {
  const char* name;
  DWORD level;
  int streams;
  int left, right;  // expected peaks
  DWORD streamLevel = 0xFFFFFFFF;
};

TEST(WaveOutput, MixesEveryStreamAtTheDeviceLevel) {
  const LevelCase cases[] = {
      {"full", 0xFFFFFFFF, 1, kAmplitude, kAmplitude},
      {"halved", 0x7FFF7FFF, 1, kAmplitude / 2, kAmplitude / 2},
      {"left only", 0x0000FFFF, 1, kAmplitude, 0},
      {"right only", 0xFFFF0000, 1, 0, kAmplitude},
      {"silent", 0, 1, 0, 0},
      {"two streams add", 0xFFFFFFFF, 2, 2 * kAmplitude * 3 / 4, 2 * kAmplitude * 3 / 4},
      {"a stream's own level", 0xFFFFFFFF, 1, kAmplitude / 2, kAmplitude / 4, 0x3FFF7FFF},
      {"a stream's level under the device's", 0x7FFF7FFF, 1, kAmplitude / 2, 0, 0x0000FFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SinkSession session;
    ASSERT_EQ(waveOutSetVolume(nullptr, c.level), MMSYSERR_NOERROR);
    Stream streams[2];
    for (int i = 0; i < c.streams; ++i) {
      ASSERT_EQ(streams[i].open(44100, 2, 16), MMSYSERR_NOERROR);
      streams[i].write(sineTone(440, 44100, 2, 22050, kAmplitude * (c.streams == 2 ? 3 : 4) / 4), 16);
      ASSERT_EQ(waveOutSetVolume(streams[i].handle, c.streamLevel), MMSYSERR_NOERROR);
      DWORD level = 0;
      ASSERT_EQ(waveOutGetVolume(streams[i].handle, &level), MMSYSERR_NOERROR);
      EXPECT_EQ(level, c.streamLevel);
    }
    session.pass(600);
    auto played = audio::keptSamples(0, 22050);
    EXPECT_NEAR(measureTone(played, 0, 44100).peak, c.left, 40);
    EXPECT_NEAR(measureTone(played, 1, 44100).peak, c.right, 40);
  }
}

TEST(WaveOutput, PausesResetsAndRefusesWhatItCannotPlay) {
  SinkSession session;
  Stream s;
  ASSERT_EQ(s.open(44100, 2, 16), MMSYSERR_NOERROR);
  s.write(sineTone(440, 44100, 2, 44100, kAmplitude), 16);
  MMTIME at{TIME_SAMPLES, {}};
  session.pass(100);
  ASSERT_EQ(waveOutPause(s.handle), MMSYSERR_NOERROR);
  waveOutGetPosition(s.handle, &at, sizeof at);
  DWORD paused = at.u.sample;
  EXPECT_NEAR(paused, 4410, 10);
  session.pass(300);
  waveOutGetPosition(s.handle, &at, sizeof at);
  EXPECT_EQ(at.u.sample, paused) << "a paused stream stands still";
  ASSERT_EQ(waveOutRestart(s.handle), MMSYSERR_NOERROR);
  session.pass(100);
  waveOutGetPosition(s.handle, &at, sizeof at);
  EXPECT_NEAR(at.u.sample, paused + 4410, 10);
  EXPECT_EQ(waveOutClose(s.handle), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutUnprepareHeader(s.handle, &s.header, sizeof s.header), WAVERR_STILLPLAYING);
  ASSERT_EQ(waveOutReset(s.handle), MMSYSERR_NOERROR);
  EXPECT_TRUE(s.header.dwFlags & WHDR_DONE);

  struct Refusal {
    const char* name;
    WAVEFORMATEX format;
    DWORD flags;
    MMRESULT expected;
  };
  const Refusal refusals[] = {
      {"compressed", {2, 1, 22050, 44100, 2, 16, 0}, CALLBACK_NULL, WAVERR_BADFORMAT},
      {"three channels", {WAVE_FORMAT_PCM, 3, 22050, 132300, 6, 16, 0}, CALLBACK_NULL, WAVERR_BADFORMAT},
      {"24 bits", {WAVE_FORMAT_PCM, 1, 22050, 66150, 3, 24, 0}, CALLBACK_NULL, WAVERR_BADFORMAT},
      {"no rate", {WAVE_FORMAT_PCM, 1, 0, 0, 2, 16, 0}, CALLBACK_NULL, WAVERR_BADFORMAT},
      {"wrong block", {WAVE_FORMAT_PCM, 2, 22050, 88200, 2, 16, 0}, CALLBACK_NULL, WAVERR_BADFORMAT},
      {"window callback", {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0}, 0x10000, MMSYSERR_INVALFLAG},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.name);
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, 0, &r.format, 0, 0, r.flags), r.expected);
  }
  HWAVEOUT h = nullptr;
  EXPECT_EQ(waveOutOpen(&h, 1, &refusals[1].format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  WAVEHDR unprepared{};
  unprepared.lpData = reinterpret_cast<LPSTR>(s.bytes.data());
  unprepared.dwBufferLength = 4;
  EXPECT_EQ(waveOutWrite(s.handle, &unprepared, sizeof unprepared), WAVERR_UNPREPARED);
  EXPECT_EQ(waveOutPause(reinterpret_cast<HWAVEOUT>(&unprepared)), MMSYSERR_INVALHANDLE);
}

// Another process sets the level where the device keeps it; a program that
// plays on hears it within a few of its calls, without opening anything.
TEST(WaveOutput, FollowsALevelAnotherProcessSets) {
  SinkSession session;
  ASSERT_EQ(waveOutSetVolume(nullptr, 0xFFFFFFFF), MMSYSERR_NOERROR);
  Stream s;
  ASSERT_EQ(s.open(44100, 2, 16), MMSYSERR_NOERROR);
  s.write(sineTone(440, 44100, 2, 44100, kAmplitude), 16);
  session.pass(200);
  RegKeyHandle key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Volume", 0, nullptr, 0, KEY_WRITE, nullptr, key.out(),
                            nullptr),
            ERROR_SUCCESS);
  const DWORD quarter = 0x3FFF3FFF;
  ASSERT_EQ(RegSetValueExW(key, u"Volume", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&quarter), sizeof quarter),
            ERROR_SUCCESS);
  MMTIME at{TIME_SAMPLES, {}};
  for (int step = 0; step < 12; ++step) {
    session.pass(50);
    waveOutGetPosition(s.handle, &at, sizeof at);
  }
  auto late = audio::keptSamples(44100 * 6 / 10, 44100 / 4);
  EXPECT_NEAR(measureTone(late, 0, 44100).peak, kAmplitude / 4, 40);
  EXPECT_NEAR(measureTone(late, 1, 44100).peak, kAmplitude / 4, 40);
}

}  // namespace

// Silence played while no stream is open is counted, not stored: what is
// read back across it is zeros up to the sound that follows, and the last two
// minutes are kept whatever the silence's length.
TEST(WaveOutput, KeepsSilenceBeforeASoundAsZeros) {
  struct SilenceCase {
    uint64_t silentMs;
    bool startKept;  // the first frame is still among the last two minutes
  };
  const SilenceCase cases[] = {{1000, true}, {20000, true}, {150000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.silentMs) + " ms of silence");
    SinkSession session;
    session.pass(c.silentMs);
    Stream s;
    ASSERT_EQ(s.open(44100, 2, 16), MMSYSERR_NOERROR);
    s.write(sineTone(440, 44100, 2, 22050, kAmplitude), 16);
    session.pass(1000);
    const uint64_t toneAt = c.silentMs * 44100 / 1000;
    EXPECT_EQ(audio::framesPlayed(), toneAt + 44100);
    auto before = audio::keptSamples(toneAt - 44100, 44100);
    ASSERT_EQ(before.size(), 2u * 44100);
    EXPECT_EQ(std::count(before.begin(), before.end(), 0), std::ptrdiff_t(before.size()));
    auto m = measureTone(audio::keptSamples(toneAt, 44100), 0, 44100, 1000);
    EXPECT_NEAR(m.durationMs, 500, 5);
    EXPECT_NEAR(m.peak, kAmplitude, kAmplitude / 20);
    EXPECT_EQ(audio::keptSamples(0, 1).empty(), !c.startKept);
  }
}
