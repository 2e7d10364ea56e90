// The movie's sounds as the device's headless sink hears them: each codec at
// its pitch and length, the sound info, streams in step with the frames,
// pausing, and hostile sound tags.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/audio/output.h"
#include "platform/core/mmsystem.h"
#include "platform/core/windowing.h"
#include "platform/flash/movieplayer.h"
#include "platform/flash/swfsound.h"
#include "tests/platform/flash/flashtest.h"
#include "tests/support/testdevice.h"
#include "tests/support/tone.h"
#include "tools/swfwriter/actionwriter.h"

namespace {

using testsupport::measureTone;
using testsupport::sineTone;

constexpr int kAmplitude = 12000;
constexpr int kOut = 44100;

// A device on the virtual clock with a fresh sink; time passes for the
// player and the device together.
class SoundSession {
 public:
  SoundSession() {
    wm::useVirtualClock(true);
    audio::openOutput(audio::OutputKind::Sink);
  }
  ~SoundSession() {
    player.unload();
    wm::useVirtualClock(false);
  }
  void pass(int ms) {
    for (int t = 0; t < ms; t += 10) {
      wm::advanceClock(10);
      player.advance(10);
    }
  }
  std::vector<int16_t> heard(uint64_t from = 0) { return audio::keptSamples(from, audio::framesPlayed() - from); }

  TestDevice device;
  swf::MoviePlayer player;
};

swfwrite::SoundFormat formatOf(uint8_t codec, int rate, bool stereo, bool is16 = true) {
  return swfwrite::SoundFormat{codec, rate, is16, stereo};
}

std::vector<uint8_t> encode(uint8_t codec, const std::vector<int16_t>& tone, int rate, int channels) {
  switch (codec) {
    case 1:
      return swfwrite::encodeAdpcm(tone, channels);
    case 2:
      return swfwrite::encodeMp3(tone, rate, channels);
    case 0: {  // 8 bits unsigned
      std::vector<uint8_t> out;
      for (int16_t s : tone) out.push_back(uint8_t((s >> 8) + 128));
      return out;
    }
    default:
      return swfwrite::encodePcm16(tone);
  }
}

// A movie whose first frame starts sound 1, a 440 Hz tone of `ms`.
std::vector<uint8_t> toneMovie(const swfwrite::SoundFormat& f, int ms, const swfwrite::SoundInfo& info = {},
                               int starts = 1) {
  auto movie = flashtest::whiteMovie(240, 180, 12);
  int channels = f.stereo ? 2 : 1;
  size_t frames = size_t(f.rate) * size_t(ms) / 1000;
  movie.defineSound(1, f, uint32_t(frames),
                    encode(f.codec, sineTone(440, f.rate, channels, frames, kAmplitude), f.rate, channels));
  for (int i = 0; i < starts; ++i) movie.startSound(1, info);
  movie.showFrame();
  for (int i = 0; i < 50; ++i) movie.showFrame();
  return movie.finish();
}

struct CodecCase {
  const char* name;
  swfwrite::SoundFormat format;
  double lengthTolerance;  // ms
};

TEST(MovieSound, EachCodecPlaysAtItsPitchAndLength) {
  const CodecCase cases[] = {
      {"PCM 44.1 kHz mono", formatOf(3, 44100, false), 3},   {"PCM 22 kHz stereo", formatOf(3, 22050, true), 3},
      {"8-bit 11 kHz", formatOf(0, 11025, false, false), 3}, {"ADPCM 22 kHz", formatOf(1, 22050, false), 3},
      {"ADPCM 5.5 kHz stereo", formatOf(1, 5512, true), 5},  {"MP3 22 kHz", formatOf(2, 22050, false), 30},
      {"MP3 44.1 kHz stereo", formatOf(2, 44100, true), 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SoundSession s;
    ASSERT_TRUE(s.player.load(toneMovie(c.format, 500)));
    s.pass(1500);
    auto heard = s.heard();
    for (int channel : {0, 1}) {
      auto m = measureTone(heard, channel, kOut, 1500);
      EXPECT_NEAR(m.frequency, 440, 3);
      EXPECT_NEAR(m.durationMs, 500, c.lengthTolerance);
      EXPECT_NEAR(m.peak, kAmplitude, kAmplitude / 8);
    }
  }
}

TEST(MovieSound, DecodesAdpcmAsComputedByHand) {
  struct Row {
    const char* name;
    std::vector<uint8_t> data;
    std::vector<int16_t> samples;
  };
  const Row rows[] = {
      // 4-bit codes from sample 0, index 0: 0111, 1000, 0001, 1111.
      {"4 bits", {0x80, 0x00, 0x00, 0x78, 0x1F}, {0, 11, 9, 13, -10}},
      // 2-bit codes from sample 1000, index 10: 01, 10, 11, 00.
      {"2 bits", {0x00, 0xFA, 0x0A, 0x6C}, {1000, 1028, 1017, 986, 998}},
      {"header cut short", {0x80, 0x00}, {}},
      {"nothing", {}, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<int16_t> out;
    swf::decodeAdpcm(r.data, 1, 1000, out);
    EXPECT_EQ(out, r.samples);
  }
}

struct InfoCase {
  const char* name;
  swfwrite::SoundInfo info;
  int starts;
  double durationMs;
  int left, right;
};

TEST(MovieSound, SoundInfoShapesWhatPlays) {
  swfwrite::SoundInfo loops, cut, envelope, stopped, single;
  loops.loops = 3;
  cut.inPoint = 4410;    // 100 ms in
  cut.outPoint = 13230;  // to 300 ms
  envelope.envelope = {{0, 0, 32768}};
  stopped.syncStop = true;
  single.syncNoMultiple = true;
  const InfoCase cases[] = {
      {"plain", {}, 1, 200, kAmplitude, kAmplitude},
      {"three loops", loops, 1, 600, kAmplitude, kAmplitude},
      {"in and out points", cut, 1, 200 - 100, kAmplitude, kAmplitude},
      {"envelope silences the left", envelope, 1, 200, 0, kAmplitude},
      {"a sync stop starts nothing", stopped, 1, 0, 0, 0},
      {"two starts add up", {}, 2, 200, 2 * kAmplitude, 2 * kAmplitude},
      {"no multiple starts one", single, 2, 200, kAmplitude, kAmplitude},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SoundSession s;
    ASSERT_TRUE(s.player.load(toneMovie(formatOf(3, 44100, false), 200, c.info, c.starts)));
    s.pass(1200);
    auto heard = s.heard();
    auto left = measureTone(heard, 0, kOut, 1500), right = measureTone(heard, 1, kOut, 1500);
    EXPECT_NEAR(std::max(left.durationMs, right.durationMs), c.durationMs, 3);
    EXPECT_NEAR(left.peak, c.left, kAmplitude / 20 + 100);
    EXPECT_NEAR(right.peak, c.right, kAmplitude / 20 + 100);
  }
}

TEST(MovieSound, LevelsOfTheDeviceAndTheMovieApply) {
  struct Row {
    const char* name;
    DWORD level;
    double volume, pan;
    int left, right;
  };
  const Row rows[] = {
      {"full", 0xFFFFFFFF, 100, 0, kAmplitude, kAmplitude},
      {"device halved", 0x7FFF7FFF, 100, 0, kAmplitude / 2, kAmplitude / 2},
      {"device right only", 0xFFFF0000, 100, 0, 0, kAmplitude},
      {"movie at half", 0xFFFFFFFF, 50, 0, kAmplitude / 2, kAmplitude / 2},
      {"panned left", 0xFFFFFFFF, 100, -100, kAmplitude, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    SoundSession s;
    waveOutSetVolume(nullptr, r.level);
    ASSERT_TRUE(s.player.load(toneMovie(formatOf(3, 44100, false), 400)));
    s.player.sounds().setTransform(r.volume, r.pan);
    s.pass(800);
    auto heard = s.heard(kOut / 4);  // after what was written before the transform
    EXPECT_NEAR(measureTone(heard, 0, kOut).peak, r.left, kAmplitude / 20);
    EXPECT_NEAR(measureTone(heard, 1, kOut).peak, r.right, kAmplitude / 20);
  }
}

// Scripts for the Sound object. Each call pushes its arguments last first.
using namespace swfwrite;

void pushArgs(ActionWriter& w, std::vector<Pushed> args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) w.push({*it});
  w.push({int(args.size())});
}

// `name` = new Sound(the clip in variable `target`, or the text `path`, or nothing).
ActionWriter& newSound(ActionWriter& w, const char* name, const char* target = nullptr, const char* path = nullptr) {
  w.push({name});
  if (target) w.push({target}).op(kGetVariable).push({1});
  if (path) w.push({path, 1});
  if (!target && !path) w.push({0});
  return w.push({"Sound"}).op(kNewObject).op(kSetVariable);
}

ActionWriter& call(ActionWriter& w, const char* object, const char* method, std::vector<Pushed> args = {}) {
  pushArgs(w, std::move(args));
  return w.push({object}).op(kGetVariable).push({method}).op(kCallMethod);
}

ActionWriter& traceCall(ActionWriter& w, const char* object, const char* method) {
  return call(w, object, method).op(kTrace);
}

ActionWriter& makeClip(ActionWriter& w, const char* name, int depth) {
  w.push({name, depth, name, 2, "createEmptyMovieClip"}).op(kCallFunction);
  return w.op(kSetVariable);
}

ActionWriter& playTone(ActionWriter& w, const char* sound, std::vector<Pushed> startArgs = {}) {
  call(w, sound, "attachSound", {"tone"}).op(kPop);
  return call(w, sound, "start", std::move(startArgs)).op(kPop);
}

struct ScriptSoundCase {
  const char* name;
  ActionWriter script;
  double durationMs;
  int left, right;
  std::vector<std::string> lines;
};

std::vector<ScriptSoundCase> scriptSoundCases() {
  std::vector<ScriptSoundCase> cases;
  auto add = [&](const char* name, double ms, int left, int right, std::vector<std::string> lines, auto build) {
    ActionWriter w;
    makeClip(w, "mc", 1);
    makeClip(w, "other", 2);
    build(w);
    cases.push_back({name, w, ms, left, right, std::move(lines)});
  };
  const int full = kAmplitude, half = kAmplitude / 2;
  add("started once", 200, full, full, {}, [](ActionWriter& w) { playTone(newSound(w, "s"), "s"); });
  add("three loops", 600, full, full, {}, [](ActionWriter& w) { playTone(newSound(w, "s"), "s", {0, 3}); });
  add("from 0.1 s in", 100, full, full, {}, [](ActionWriter& w) { playTone(newSound(w, "s"), "s", {0.1}); });
  add("the movie at half", 200, half, half, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s"), "s");
    call(w, "s", "setVolume", {50}).op(kPop);
  });
  add("panned left", 200, full, 0, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s"), "s");
    call(w, "s", "setPan", {-100}).op(kPop);
  });
  add("left input to the right side only", 200, 0, full, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s"), "s");
    w.push({"ll", 0, "lr", 0, "rl", 100, "rr", 0, 4}).op(kInitObject);
    w.push({1, "s"}).op(kGetVariable).push({"setTransform"}).op(kCallMethod).op(kPop);
  });
  add("a clip's volume leaves the movie's own sounds", 200, full, full, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s"), "s");
    call(newSound(w, "c", "mc"), "c", "setVolume", {0}).op(kPop);
  });
  add("a parent's volume reaches its children's sounds", 200, half, half, {"50", "50", "100"}, [](ActionWriter& w) {
    call(w, "mc", "createEmptyMovieClip", {"inner", 1}).op(kPop);
    playTone(newSound(w, "s", nullptr, "mc.inner"), "s");
    call(newSound(w, "p", "mc"), "p", "setVolume", {50}).op(kPop);
    traceCall(w, "p", "getVolume");
    traceCall(newSound(w, "again", nullptr, "_level0.mc"), "again", "getVolume");
    traceCall(w, "s", "getVolume");
  });
  add("a path naming no clip does nothing", 0, 0, 0, {"undefined", "undefined"}, [](ActionWriter& w) {
    playTone(newSound(w, "s", nullptr, "nowhere"), "s");
    traceCall(w, "s", "getVolume");
    traceCall(w, "s", "getDuration");
  });
  add("a renamed clip leaves its Sound", 0, 0, 0, {"undefined"}, [](ActionWriter& w) {
    newSound(w, "s", "mc");
    w.push({"mc"}).op(kGetVariable).push({"_name", "renamed"}).op(kSetMember);
    playTone(w, "s");
    traceCall(w, "s", "getVolume");
  });
  add("stopped at once", 0, 0, 0, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s", "mc"), "s");
    call(newSound(w, "g"), "g", "stop").op(kPop);
  });
  add("another clip's stop and another name leave it", 200, full, full, {}, [](ActionWriter& w) {
    playTone(newSound(w, "s", "mc"), "s");
    call(newSound(w, "o", "other"), "o", "stop").op(kPop);
    call(w, "s", "stop", {"no such sound"}).op(kPop);
  });
  add("its end is heard", 200, full, full, {"undefined", "0", "200", "complete 200 200"}, [](ActionWriter& w) {
    newSound(w, "s");
    ActionWriter done;
    done.push({"complete "});
    call(done, "s", "getPosition").op(kAdd2).push({" "}).op(kAdd2);
    done.push({"s"}).op(kGetVariable).push({"duration"}).op(kGetMember).op(kAdd2).op(kTrace);
    w.push({"s"}).op(kGetVariable).push({"onSoundComplete"}).defineFunction("", {}, done).op(kSetMember);
    w.push({"s"}).op(kGetVariable).push({"position"}).op(kGetMember).op(kTrace);
    playTone(w, "s");
    traceCall(w, "s", "getPosition");
    traceCall(w, "s", "getDuration");
  });
  return cases;
}

TEST(MovieSound, ScriptSoundsPlayAtTheirClipsLevels) {
  for (const auto& c : scriptSoundCases()) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie(240, 180, 12);
    movie.defineSound(1, formatOf(3, 44100, false), 8820,
                      swfwrite::encodePcm16(sineTone(440, 44100, 1, 8820, kAmplitude)));
    movie.exportAssets({{1, "tone"}});
    swfwrite::doAction(movie, c.script);
    for (int i = 0; i < 50; ++i) movie.showFrame();
    SoundSession s;
    std::vector<std::string> lines;
    s.player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(s.player.load(movie.finish()));
    s.pass(1200);
    auto heard = s.heard();
    auto left = measureTone(heard, 0, kOut, 500), right = measureTone(heard, 1, kOut, 500);
    EXPECT_NEAR(std::max(left.durationMs, right.durationMs), c.durationMs, 3);
    EXPECT_NEAR(left.peak, c.left, kAmplitude / 20 + 100);
    EXPECT_NEAR(right.peak, c.right, kAmplitude / 20 + 100);
    EXPECT_EQ(lines, c.lines);
  }
}

struct ButtonSoundCase {
  const char* name;
  size_t slot;                              // over to idle, idle to over, over to down, down to over
  std::vector<std::pair<char, POINT>> pen;  // move, down or up
  double durationMs;
};

TEST(MovieSound, ButtonsPlayTheSoundOfEachTransition) {
  const POINT on{20, 20}, off{200, 150};
  const ButtonSoundCase cases[] = {
      {"over", 1, {{'m', on}}, 200},
      {"over does not press", 2, {{'m', on}}, 0},
      {"pressed", 2, {{'d', on}}, 200},
      {"released inside", 3, {{'d', on}, {'u', on}}, 200},
      {"released outside", 3, {{'d', on}, {'m', off}, {'u', off}}, 0},
      {"left", 0, {{'m', on}, {'m', off}}, 200},
      {"not yet left", 0, {{'m', on}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = flashtest::whiteMovie(240, 180, 12);
    movie.defineSound(1, formatOf(3, 44100, false), 8820,
                      swfwrite::encodePcm16(sineTone(440, 44100, 1, 8820, kAmplitude)));
    movie.defineShape(2, flashtest::rectShape(0, 0, 50, 50, {0, 0, 255, 255}));
    movie.defineButton2(3, {{0x0F, 2, 1, {}}});
    std::array<std::optional<uint16_t>, 4> sounds;
    sounds[c.slot] = 1;
    movie.defineButtonSound(3, sounds);
    movie.placeObject2({.depth = 1, .characterId = 3});
    for (int i = 0; i < 30; ++i) movie.showFrame();
    SoundSession s;
    ASSERT_TRUE(s.player.load(movie.finish()));
    flashtest::render(s.player, 240, 180);
    for (auto [action, p] : c.pen)
      action == 'm'   ? s.player.penMove(p.x, p.y)
      : action == 'd' ? s.player.penDown(p.x, p.y)
                      : s.player.penUp(p.x, p.y);
    s.pass(800);
    EXPECT_NEAR(measureTone(s.heard(), 0, kOut, 500).durationMs, c.durationMs, 3);
  }
}

// A 10 fps movie streaming a continuous tone, one block a frame.
std::vector<uint8_t> streamMovie(int seconds) {
  constexpr int kRate = 22050, kFps = 10;
  auto movie = flashtest::whiteMovie(240, 180, kFps);
  movie.soundStreamHead(formatOf(3, kRate, false), kRate / kFps);
  auto tone = sineTone(440, kRate, 1, size_t(kRate) * size_t(seconds), kAmplitude);
  for (int f = 0; f < seconds * kFps; ++f) {
    std::vector<int16_t> block(tone.begin() + f * (kRate / kFps), tone.begin() + (f + 1) * (kRate / kFps));
    movie.soundStreamBlock(swfwrite::encodePcm16(block));
    movie.showFrame();
  }
  return movie.finish();
}

TEST(MovieSound, StreamStaysInStepWithTheFrames) {
  SoundSession s;
  ASSERT_TRUE(s.player.load(streamMovie(31)));
  s.player.setLoop(false);
  for (int second = 5; second <= 30; second += 5) {
    SCOPED_TRACE(second);
    s.pass(5000);
    // The stream is heard 100 ms after its frame is entered.
    double heardMs = measureTone(s.heard(), 0, kOut, 1500).durationMs;
    double shownMs = s.player.currentFrame() * 100.0;
    EXPECT_NEAR(heardMs, shownMs - 100, 50);
    EXPECT_NEAR(shownMs, second * 1000, 100);
  }
  // A late timeline makes up the frames the stream played past, not just
  // the few a silent movie would.
  int before = s.player.currentFrame();
  wm::advanceClock(1000);
  s.player.advance(1000);
  EXPECT_GE(s.player.currentFrame(), before + 9);
}

TEST(MovieSound, PauseStopsTheSoundAndPlayResumesIt) {
  SoundSession s;
  ASSERT_TRUE(s.player.load(toneMovie(formatOf(3, 44100, false), 3000)));
  s.pass(500);
  s.player.setPlaying(false);
  uint64_t pausedAt = audio::framesPlayed();
  s.pass(1000);
  EXPECT_EQ(measureTone(s.heard(pausedAt), 0, kOut).peak, 0);
  s.player.setPlaying(true);
  uint64_t resumedAt = audio::framesPlayed();
  s.pass(500);
  EXPECT_NEAR(measureTone(s.heard(resumedAt), 0, kOut, 1500).durationMs, 500, 15);
  // Stop as the control does it: paused, then back to the first frame.
  s.player.stop();
  s.player.rewind();
  uint64_t stoppedAt = audio::framesPlayed();
  s.pass(500);
  EXPECT_EQ(measureTone(s.heard(stoppedAt), 0, kOut).peak, 0);
}

TEST(MovieSound, HostileSoundTagsAreRefusedWithoutHarm) {
  struct Row {
    const char* name;
    uint16_t code;
    std::vector<uint8_t> body;
  };
  std::vector<uint8_t> garbage(3000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);
  std::vector<uint8_t> mp3Garbage = {0x22, 0xFF, 0xFF, 0xFB, 0x90, 0x64};  // id 1, MP3 44.1 kHz, a broken frame
  mp3Garbage.insert(mp3Garbage.end(), garbage.begin(), garbage.end());
  std::vector<uint8_t> adpcmHuge = {1, 0, 0x16, 0xFF, 0xFF, 0xFF, 0xFF};  // ADPCM claiming 4 billion samples
  adpcmHuge.insert(adpcmHuge.end(), garbage.begin(), garbage.end());
  const Row rows[] = {
      {"define cut short", 14, {1, 0, 0x3E}},
      {"ADPCM claims too much", 14, adpcmHuge},
      {"MP3 of garbage", 14, {1, 0, 0x2E, 0, 1, 0, 0, 0, 0x12, 0x34}},
      {"MP3 broken frames", 14, mp3Garbage},
      {"start of nothing defined", 15, {9, 0, 0}},
      {"envelope longer than its tag", 15, {1, 0, 0x20, 0xFF, 0, 0, 0, 0}},
      {"out point before in point", 15, {1, 0, 0x03, 0, 0, 1, 0, 0, 0, 0, 0}},
      {"stream head cut short", 18, {0x3E}},
      {"block of garbage", 19, garbage},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    auto movie = flashtest::whiteMovie(240, 180, 12);
    movie.defineSound(1, formatOf(3, 22050, false), 100, std::vector<uint8_t>(200, 0x40));
    movie.soundStreamHead(formatOf(2, 22050, false), 1837);
    movie.tag(r.code, r.body);
    movie.soundStreamBlock(garbage);
    for (int i = 0; i < 40; ++i) movie.startSound(1, swfwrite::SoundInfo{false, false, {}, {}, uint16_t(65535), {}});
    movie.showFrame();
    movie.tag(r.code, r.body);
    movie.showFrame();
    SoundSession s;
    ASSERT_TRUE(s.player.load(movie.finish()));
    s.pass(500);
    EXPECT_LE(s.player.sounds().playingVoices(), swf::MovieSounds::kMaxEventVoices + 1);
  }
}

}  // namespace
