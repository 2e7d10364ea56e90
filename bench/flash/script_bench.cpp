// The script machine against CPython on the same loop: a million rounds of
// an addition, a comparison and an array push, in a movie's function (locals
// in registers, as compilers write them) and in a python3 process started in
// the same run. Both sides are timed alike: the wall time of the loop alone,
// on the monotonic clock (the movie traces as it enters the loop and as it
// leaves; CPython reads time.perf_counter around its loop), so neither the
// player's construction and loading nor the interpreter's start is counted.
// scriptAgainstCPython runs both in each round and prints their ratio
// beside its goal.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/actionwriter.h"

namespace {

constexpr int kRounds = 1000000;

// function run() { var a = [], s = 0; for (var i = 0; i < n; i++) { s += i; if (s > 100) s -= 50; a.push(i); }
//                  return a.length; }  trace("go"); trace(run());
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
  script.defineFunction2("run", 4, 0x000A, {}, body).trace("go").push({0, "run"}).op(kCallFunction).op(kTrace);
  MovieWriter movie(100, 100, 12, 8);
  doAction(movie, script);
  movie.showFrame();
  return movie.finish();
}

using Clock = std::chrono::steady_clock;

// The loop's wall time in seconds, or a negative number with `error` set.
double scriptSeconds(const std::vector<uint8_t>& file, std::string& error) {
  std::string traced;
  Clock::time_point entered, left;
  swf::MoviePlayer player;
  player.setTraceSink([&](const std::string& line) {
    (line == "go" ? entered : left) = Clock::now();
    traced = line;
  });
  player.load(file);
  if (traced != std::to_string(kRounds)) {
    error = "the loop traced " + traced;
    return -1;
  }
  return std::chrono::duration<double>(left - entered).count();
}

double cpythonSeconds(std::string& error) {
  const std::string command = "python3 -c \"import time\nt=time.perf_counter()\na=[];s=0\nfor i in range(" +
                              std::to_string(kRounds) +
                              "):\n s+=i\n if s>100: s-=50\n a.append(i)\nprint(time.perf_counter()-t)\"";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    error = "python3 did not start";
    return -1;
  }
  double seconds = 0;
  if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
  pclose(pipe);
  if (seconds < 0) error = "python3 gave no time";
  return seconds;
}

void scriptLoop(benchmark::State& state) {
  auto file = loopMovie();
  std::string error;
  for (auto _ : state) {
    double seconds = scriptSeconds(file, error);
    if (seconds < 0) return state.SkipWithError(error.c_str());
    state.SetIterationTime(seconds);
  }
}

void cpythonLoop(benchmark::State& state) {
  std::string error;
  for (auto _ : state) {
    double seconds = cpythonSeconds(error);
    if (seconds < 0) return state.SkipWithError(error.c_str());
    state.SetIterationTime(seconds);
  }
}

// Both loops in each round, one after the other, so that the ratio compares
// runs under the same load.
void scriptAgainstCPython(benchmark::State& state) {
  auto file = loopMovie();
  std::string error;
  double script = 0, cpython = 0;
  for (auto _ : state) {
    double s = scriptSeconds(file, error), c = s < 0 ? 0 : cpythonSeconds(error);
    if (s < 0 || c < 0) return state.SkipWithError(error.c_str());
    script += s;
    cpython += c;
    state.SetIterationTime(s + c);
  }
  state.counters["script_ms"] = 1e3 * script / double(state.iterations());
  state.counters["cpython_ms"] = 1e3 * cpython / double(state.iterations());
  char label[64];
  std::snprintf(label, sizeof label, "script/CPython %.2fx (goal: 1.0x or less)", script / cpython);
  state.SetLabel(label);
}

}  // namespace

BENCHMARK(scriptLoop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(cpythonLoop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(scriptAgainstCPython)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
