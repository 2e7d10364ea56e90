// Reading the headers of 200 generated movies of 1 to 64 KB, half of them
// compressed, from a device: what opening a movie costs before the control
// sees it, next to the C library's open, read and close of the same host
// files in the same run. Reported per file; the ratio is taken from rounds
// in which both sides take turns, so that other work on the machine weighs
// on both alike.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/movieheader.h"
#include "bench/support/benchsupport.h"
#include "platform/core/wstdio.h"
#include "tools/swfwriter/swfwriter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMovies = 200;
constexpr uint16_t kPaddingTag = 77;  // metadata: skipped by players, fills the file

struct Movies {
  ScratchDevice device;
  std::vector<std::u16string> paths;
  std::vector<std::string> hostPaths;
  size_t bytes = 0;
};

// A movie of about `size` bytes: a few frames and a tag of random bytes,
// which compression cannot shrink.
std::vector<uint8_t> movieOfSize(size_t size, bool compressed, std::mt19937& random) {
  swfwrite::MovieWriter movie(240 + int(random() % 400), 180 + int(random() % 300), 12.0f + float(random() % 20), 8);
  std::vector<uint8_t> padding(size > 64 ? size - 64 : 0);
  for (auto& b : padding) b = uint8_t(random());
  movie.tag(kPaddingTag, padding);
  movie.showFrame();
  return movie.finish(compressed);
}

Movies& movies() {
  static Movies made = [] {
    Movies m;
    fs::path folder = m.device.root / "My Documents" / "Movies";
    fs::create_directories(folder);
    std::mt19937 random(7);
    for (int i = 0; i < kMovies; ++i) {
      size_t size = 1024 + random() % (63 * 1024);
      auto data = movieOfSize(size, i % 2 == 1, random);
      std::string name = "movie" + std::to_string(i) + ".swf";
      std::ofstream(folder / name, std::ios::binary)
          .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
      m.paths.push_back(u"\\My Documents\\Movies\\" + std::u16string(name.begin(), name.end()));
      m.hostPaths.push_back((folder / name).string());
      m.bytes += data.size();
    }
    return m;
  }();
  return made;
}

// One pass of the device's side: every movie's header read.
bool readAllHeaders(const Movies& m) {
  bool all = true;
  for (const auto& path : m.paths) {
    MovieHeader header;
    all = readMovieHeader(path, header) && all;
    benchmark::DoNotOptimize(header);
  }
  return all;
}

// One pass of the peer: the same files by host path, one open, one read of
// as many bytes as the header reader asks for first, and one close each.
bool cReadAll(const Movies& m) {
  bool all = true;
  for (const auto& path : m.hostPaths) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char start[256];
    all = fd >= 0 && read(fd, start, sizeof start) >= 8 && all;
    benchmark::DoNotOptimize(start);
    if (fd >= 0) close(fd);
  }
  return all;
}

void ReadHeaders(benchmark::State& state) {
  Movies& m = movies();
  for (auto _ : state)
    if (!readAllHeaders(m)) state.SkipWithError("a header did not read");
  state.SetItemsProcessed(int64_t(state.iterations()) * kMovies);
  state.counters["KB_on_disk"] = double(m.bytes) / 1024;
}

// The floor: opening and closing the same files through the device.
void OpenAndClose(benchmark::State& state) {
  Movies& m = movies();
  for (auto _ : state)
    for (const auto& path : m.paths) {
      FILE* file = _wfopen(path.c_str(), u"rb");
      if (!file)
        state.SkipWithError("a movie did not open");
      else
        std::fclose(file);
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * kMovies);
}

void COpenReadClose(benchmark::State& state) {
  Movies& m = movies();
  for (auto _ : state)
    if (!cReadAll(m)) state.SkipWithError("a movie did not read");
  state.SetItemsProcessed(int64_t(state.iterations()) * kMovies);
}

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The device and the C library taking turns over the same files, the one
// that goes first alternating: the median of each round's ratio of CPU time.
void printPairedRatio(int rounds) {
  Movies& m = movies();
  std::vector<double> ratios, deviceUs, cUs;
  for (int round = 0; round < rounds; ++round) {
    double device = 0, c = 0;
    for (int turn = 0; turn < 2; ++turn) {
      bool deviceTurn = (turn == 0) == (round % 2 == 0);
      double before = threadCpuSeconds();
      bool read = deviceTurn ? readAllHeaders(m) : cReadAll(m);
      double spent = threadCpuSeconds() - before;
      if (!read) {
        std::printf("paired rounds: a movie did not read\n");
        return;
      }
      (deviceTurn ? device : c) = spent;
    }
    if (c <= 0) continue;
    ratios.push_back(device / c);
    deviceUs.push_back(device * 1e6 / kMovies);
    cUs.push_back(c * 1e6 / kMovies);
  }
  if (ratios.empty()) return;
  std::printf(
      "CPU per file, %d rounds taking turns (medians): header %.1f us, C open+read+close %.1f us; "
      "header / C = %.2fx (goal: 1.5x or less)\n",
      rounds, median(deviceUs), median(cUs), median(ratios));
}

BENCHMARK(ReadHeaders)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndClose)->Unit(benchmark::kMillisecond);
BENCHMARK(COpenReadClose)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto perFile = [&](const char* name) { return reporter.of(name).cpu * 1e3 / kMovies; };
  if (perFile("ReadHeaders") > 0 && perFile("OpenAndClose") > 0)
    std::printf("CPU per file: header %.1f us, of which opening and closing %.1f us\n", perFile("ReadHeaders"),
                perFile("OpenAndClose"));
  if (perFile("ReadHeaders") > 0 && perFile("COpenReadClose") > 0)
    std::printf("CPU per file, one run each: header / C open+read+close = %.1f us / %.1f us = %.2fx\n",
                perFile("ReadHeaders"), perFile("COpenReadClose"), perFile("ReadHeaders") / perFile("COpenReadClose"));
  printPairedRatio(301);
  movies().device.remove();
  benchmark::Shutdown();
}
