// Frames per second of the Flash control's engine drawing busy movies (200
// shapes with curves, gradients and strokes; masked groups of text) at the
// handheld's screen size and at twice that.

#include <benchmark/benchmark.h>

#include <vector>

#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/samples.h"

namespace {

void renderMovie(benchmark::State& state, const std::vector<uint8_t>& file) {
  int width = int(state.range(0)), height = int(state.range(1));
  swf::MoviePlayer player;
  if (!player.load(file)) {
    state.SkipWithError("the busy movie did not load");
    return;
  }
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  swf::Canvas canvas{pixels.data(), width, height, width};
  for (auto _ : state) {
    player.tick();  // each frame moves every shape
    player.render(canvas);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void renderBusyMovie(benchmark::State& state) { renderMovie(state, swfwrite::busyMovie(200, 30, true)); }
void renderMaskedTextMovie(benchmark::State& state) { renderMovie(state, swfwrite::maskedTextMovie(12, 30, true)); }

void loadBusyMovie(benchmark::State& state) {
  auto file = swfwrite::busyMovie(200, 30, true);
  for (auto _ : state) {
    swf::MoviePlayer player;
    benchmark::DoNotOptimize(player.load(file));
  }
}

}  // namespace

BENCHMARK(renderBusyMovie)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMillisecond);
BENCHMARK(renderMaskedTextMovie)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMillisecond);
BENCHMARK(loadBusyMovie)->Unit(benchmark::kMillisecond);
