// The device-wide movie search: the system's depth-8 walk (findFiles) over a
// generated tree of about 20,000 files, without and with the movies' sizes,
// and the same walk written with FindFirstFileW / FindNextFileW, which read
// every entry in full; next to GNU find doing the same walk in the same run,
// reported as ratios.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <string>

#include "base/findfiles.h"
#include "bench/support/benchsupport.h"
#include "platform/core/device.h"
#include "platform/core/winbase.h"
#include "platform/core/wcrt.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDepth = 8;   // the start folder and seven levels below it
constexpr int kFanOut = 3;  // folders per folder
constexpr int kFilesPerFolder = 6;

struct Tree {
  fs::path scratch;
  fs::path root;  // the device's "\"
  int files = 0;
  int movies = 0;
};

void grow(Tree& tree, const fs::path& folder, int level) {
  fs::create_directories(folder);
  for (int i = 0; i < kFilesPerFolder; ++i) {
    bool movie = i % 3 == 0;
    std::string name = "clip" + std::to_string(i) + (movie ? (i % 2 ? ".SWF" : ".swf") : ".txt");
    std::ofstream(folder / name) << "x";
    ++tree.files;
    tree.movies += movie;
  }
  if (level + 1 < kDepth)
    for (int d = 0; d < kFanOut; ++d) grow(tree, folder / ("Folder " + std::to_string(d)), level + 1);
}

Tree& tree() {
  static Tree t = [] {
    Tree made;
    std::string pattern = (fs::temp_directory_path() / "orvel-bench-XXXXXX").string();
    made.scratch = mkdtemp(pattern.data());
    std::string error;
    auto device = Device::create(made.scratch / "device", DeviceConfig{}, error);
    made.root = device->root();
    exchangeCurrentDevice(std::move(device));
    grow(made, made.root / "Bench", 0);
    return made;
  }();
  return t;
}

// findFiles written with the device's search calls: "%s\*.*", folders
// entered, files matched on their extension.
void findWithSearchCalls(const std::u16string& folder, int depth, int& found) {
  if (depth <= 0) return;
  std::u16string pattern = folder + u"\\*.*";
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string_view name(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != u"." && name != u"..") findWithSearchCalls(folder + u"\\" + data.cFileName, depth - 1, found);
    } else if (size_t dot = name.rfind(u'.'); dot != name.npos && _wcsicmp(data.cFileName + dot, u".swf") == 0) {
      ++found;
    }
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

void DeviceWalk(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state)
    if (findFiles(u"\\Bench", u".swf", kDepth).size() != size_t(t.movies))
      state.SkipWithError("the walk missed movies");
  state.counters["files"] = t.files;
}

// As the movie pickers walk: each movie's size read too.
void DeviceWalkWithSizes(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state)
    if (findFilesWithSizes(u"\\Bench", u".swf", kDepth).size() != size_t(t.movies))
      state.SkipWithError("the walk missed movies");
  state.counters["files"] = t.files;
}

void SearchCallsWalk(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state) {
    int found = 0;
    findWithSearchCalls(u"\\Bench", kDepth, found);
    if (found != t.movies) state.SkipWithError("the walk missed movies");
  }
  state.counters["files"] = t.files;
}

// CPU seconds of the processes this one has waited for.
double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// find's CPU time per iteration, which other work on the machine disturbs
// far less than its wall time.
double g_findCpu = 0;

void GnuFind(benchmark::State& state) {
  Tree& t = tree();
  std::string command =
      "find '" + (t.root / "Bench").string() + "' -maxdepth " + std::to_string(kDepth) + " -iname '*.swf'";
  double before = childCpuSeconds();
  for (auto _ : state) {
    FILE* out = popen(command.c_str(), "r");
    int found = 0;
    char line[4096];
    while (fgets(line, sizeof line, out)) ++found;
    pclose(out);
    if (found != t.movies) state.SkipWithError("find missed movies");
  }
  g_findCpu = (childCpuSeconds() - before) / static_cast<double>(state.iterations());
  state.counters["files"] = t.files;
}

BENCHMARK(DeviceWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(DeviceWalkWithSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchCallsWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(GnuFind)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("files: %d, movies: %d\n", tree().files, tree().movies);
  double find = reporter.of("GnuFind").real, findCpu = g_findCpu * 1e3;
  // (name, what it is, whether the goal is its own)
  const std::tuple<const char*, const char*, bool> walks[] = {
      {"DeviceWalk", "device walk", true},
      {"DeviceWalkWithSizes", "device walk with the movies' sizes", false},
      {"SearchCallsWalk", "walk with FindFirstFileW / FindNextFileW", false},
  };
  for (const auto& [name, what, goal] : walks) {
    TimesReporter::Times walk = reporter.of(name);
    if (walk.real <= 0 || find <= 0 || findCpu <= 0) continue;
    std::printf("%s / GNU find: %.2fx wall; CPU %.1f ms / %.1f ms = %.2fx%s\n", what, walk.real / find, walk.cpu,
                findCpu, walk.cpu / findCpu, goal ? " (goal: 1.0x or less)" : "");
  }
  std::error_code ignored;
  fs::remove_all(tree().scratch, ignored);
  benchmark::Shutdown();
}
