// The cost of the movie's sounds: 8 MP3 event sounds playing at once and an
// MP3 stream, decoded, written to the wave output and mixed by the device on
// its headless sink. One iteration is one second of sound; the goal is under
// 2 % of one core, that is under 20 ms of CPU an iteration.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/audio/output.h"
#include "platform/core/windowing.h"
#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/swfwriter.h"

namespace {

constexpr int kRate = 44100, kFps = 12, kSeconds = 20, kVoices = 8;

std::vector<int16_t> tone(double frequency, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  for (size_t i = 0; i < frames; ++i)
    out[2 * i] = out[2 * i + 1] = int16_t(8000 * std::sin(2 * M_PI * frequency * double(i) / kRate));
  return out;
}

// Sounds 1-8 looping all along, started in the first frame, and a stream of
// one MP3 block a frame.
std::vector<uint8_t> soundMovie() {
  swfwrite::MovieWriter movie(240, 180, kFps);
  swfwrite::SoundFormat mp3{2, kRate, true, true};
  for (int i = 1; i <= kVoices; ++i) {
    auto pcm = tone(220.0 * i, kRate * 2);
    movie.defineSound(uint16_t(i), mp3, kRate * 2, swfwrite::encodeMp3(pcm, kRate, 2));
  }
  movie.soundStreamHead(mp3, kRate / kFps);
  swfwrite::SoundInfo loops;
  loops.loops = 1000;
  for (int i = 1; i <= kVoices; ++i) movie.startSound(uint16_t(i), loops);
  // Whole MP3 frames of 1152 samples a block: the blocks carry the stream in order.
  auto stream = swfwrite::encodeMp3(tone(330, size_t(kRate) * kSeconds), kRate, 2, false);
  size_t frames = size_t(kFps) * kSeconds, per = stream.size() / frames;
  for (size_t f = 0; f < frames; ++f) {
    std::vector<uint8_t> block(4 + per);
    block[0] = uint8_t(kRate / kFps);
    block[1] = uint8_t((kRate / kFps) >> 8);
    std::copy_n(stream.begin() + std::ptrdiff_t(f * per), per, block.begin() + 4);
    movie.soundStreamBlock(block);
    movie.showFrame();
  }
  return movie.finish();
}

void mixMovieSounds(benchmark::State& state) {
  wm::useVirtualClock(true);
  audio::openOutput(audio::OutputKind::Sink);
  auto file = soundMovie();
  swf::MoviePlayer player;
  if (!player.load(file)) {
    state.SkipWithError("the sound movie did not load");
    return;
  }
  for (auto _ : state) {
    for (int ms = 0; ms < 1000; ms += 10) {  // one second in the control's timer steps
      wm::advanceClock(10);
      player.advance(10);
    }
    benchmark::DoNotOptimize(audio::framesPlayed());
    if (player.currentFrame() + kFps >= player.totalFrames()) player.rewind();  // the same 8 sounds start again
  }
  state.counters["voices"] = double(player.sounds().playingVoices());
  state.counters["core%"] =
      benchmark::Counter(double(state.iterations()) / 100, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  player.unload();
  audio::closeOutput();
  wm::useVirtualClock(false);
}

}  // namespace

BENCHMARK(mixMovieSounds)->Unit(benchmark::kMillisecond);
