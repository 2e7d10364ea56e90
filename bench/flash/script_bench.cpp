// The script machine against CPython on the same loop: a million rounds of
// an addition, a comparison and an array push, in a movie's function (locals
// in registers, as compilers write them) and in a python3 process started in
// the same run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/actionwriter.h"

namespace {

constexpr int kRounds = 1000000;

// function run() { var a = [], s = 0; for (var i = 0; i < n; i++) { s += i; if (s > 100) s -= 50; a.push(i); }
//                  return a.length; }  trace(run());
std::vector<uint8_t> loopMovie() {
  using namespace swfwrite;
  ActionWriter body;
  body.push({0}).op(kInitArray).storeRegister(1).op(kPop);
  body.push({0}).storeRegister(2).op(kPop).push({0}).storeRegister(3).op(kPop);
  body.label("top").push({Reg{3}, kRounds}).op(kLess2).op(kNot).ifTrue("end");
  body.push({Reg{2}, Reg{3}}).op(kAdd2).storeRegister(2).op(kPop);
  body.push({Reg{2}, 100}).op(kGreater).op(kNot).ifTrue("small");
  body.push({Reg{2}, 50}).op(kSubtract).storeRegister(2).op(kPop);
  body.label("small").push({Reg{3}, 1, Reg{1}, "push"}).op(kCallMethod).op(kPop);
  body.push({Reg{3}}).op(kIncrement).storeRegister(3).op(kPop).jump("top");
  body.label("end").push({Reg{1}, "length"}).op(kGetMember).op(kReturn);
  ActionWriter script;
  script.defineFunction2("run", 4, 0x000A, {}, body).push({0, "run"}).op(kCallFunction).op(kTrace);
  MovieWriter movie(100, 100, 12, 8);
  doAction(movie, script);
  movie.showFrame();
  return movie.finish();
}

void scriptLoop(benchmark::State& state) {
  auto file = loopMovie();
  std::string traced;
  for (auto _ : state) {
    swf::MoviePlayer player;
    player.setTraceSink([&](const std::string& line) { traced = line; });
    player.load(file);
  }
  if (traced != std::to_string(kRounds)) state.SkipWithError(("the loop traced " + traced).c_str());
}

void cpythonLoop(benchmark::State& state) {
  const std::string command = "python3 -c \"import time\nt=time.perf_counter()\na=[];s=0\nfor i in range(" +
                              std::to_string(kRounds) +
                              "):\n s+=i\n if s>100: s-=50\n a.append(i)\nprint(time.perf_counter()-t)\"";
  for (auto _ : state) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
      state.SkipWithError("python3 did not start");
      return;
    }
    double seconds = 0;
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    pclose(pipe);
    if (seconds < 0) {
      state.SkipWithError("python3 gave no time");
      return;
    }
    state.SetIterationTime(seconds);  // the loop alone, without the interpreter's start
  }
}

}  // namespace

BENCHMARK(scriptLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(cpythonLoop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
