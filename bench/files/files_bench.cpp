// The device-wide movie search: a depth-8 walk with FindFirstFileW /
// FindNextFileW over a generated tree of about 20,000 files, next to GNU
// find doing the same walk in the same run, reported as a ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

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

// The system's findFiles: "%s\*.*", folders entered, files matched on their extension.
void findFiles(const std::u16string& folder, int depth, int& found) {
  if (depth <= 0) return;
  std::u16string pattern = folder + u"\\*.*";
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string_view name(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != u"." && name != u"..") findFiles(folder + u"\\" + data.cFileName, depth - 1, found);
    } else if (size_t dot = name.rfind(u'.'); dot != name.npos && _wcsicmp(data.cFileName + dot, u".swf") == 0) {
      ++found;
    }
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

void DeviceWalk(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state) {
    int found = 0;
    findFiles(u"\\Bench", kDepth, found);
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

// The walks' CPU time per iteration, which other work on the machine
// disturbs far less than their wall time.
double g_walkCpu = 0, g_findCpu = 0;

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
BENCHMARK(GnuFind)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
        m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        if (run.benchmark_name() == "DeviceWalk") g_walkCpu = run.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  double time(const std::string& name) const {
    auto it = m_times.find(name);
    return it == m_times.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double walk = reporter.time("DeviceWalk"), find = reporter.time("GnuFind");
  if (walk > 0 && find > 0)
    std::printf("files: %d, movies: %d; device walk / GNU find = %.2fx wall\n", tree().files, tree().movies,
                walk / find);
  if (g_walkCpu > 0 && g_findCpu > 0)
    std::printf("CPU time: device walk %.1f ms, GNU find %.1f ms; ratio %.2fx (goal: 1.0x or less)\n", g_walkCpu,
                g_findCpu * 1e3, g_walkCpu / (g_findCpu * 1e3));
  std::error_code ignored;
  fs::remove_all(tree().scratch, ignored);
  benchmark::Shutdown();
}
