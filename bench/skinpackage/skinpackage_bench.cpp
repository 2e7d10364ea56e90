// Unpacking a skin package into the skins folder: a 20-picture package of
// about 200 KB and one of about 5 MB, next to `unzip -o -q` of the same
// archives in the same run, reported as ratios.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "app/skinpackages.h"
#include "bench/support/benchsupport.h"
#include "tests/support/zipwriter.h"

namespace fs = std::filesystem;

namespace {

struct Package {
  const char* name;
  int pictures;
  size_t pictureBytes;
};
constexpr Package kSmall{"small.zskn", 20, 10 * 1024};
constexpr Package kLarge{"large.zskn", 50, 100 * 1024};

struct Scene {
  ScratchDevice device;
  std::map<std::string, size_t> archiveBytes;
};

// Picture-like bytes: smooth runs with noise, about as compressible as a
// skin's bitmaps.
std::string picture(size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  uint8_t value = 0;
  for (auto& b : bytes) {
    if (random() % 4 == 0) value = uint8_t(value + random() % 9);
    b = char(value ^ (random() % 3));
  }
  return bytes;
}

Scene& scene() {
  static Scene made = [] {
    Scene s;
    std::mt19937 random(11);
    for (const Package& p : {kSmall, kLarge}) {
      std::vector<ZipEntry> entries{{"theme/skin.bskn", "<svg width='240' height='268'/>"}};
      for (int i = 0; i < p.pictures; ++i)
        entries.push_back({"theme/img/picture" + std::to_string(i) + ".png", picture(p.pictureBytes, random)});
      fs::path archive = s.device.root / "My Documents" / p.name;
      writeZip(archive, entries);
      s.archiveBytes[p.name] = fs::file_size(archive);
    }
    return s;
  }();
  return made;
}

void Extract(benchmark::State& state, const Package& p) {
  Scene& s = scene();
  std::u16string package =
      u"\\My Documents\\" + std::u16string(p.name, p.name + std::char_traits<char>::length(p.name));
  for (auto _ : state)
    if (extractSkinPackage(package, u"\\My Documents\\OrvelFlash\\skins") != kExtractOk)
      state.SkipWithError("the package did not open");
  state.counters["archive_KB"] = double(s.archiveBytes[p.name]) / 1024;
}

void Unzip(benchmark::State& state, const Package& p) {
  Scene& s = scene();
  std::string command = "unzip -o -q '" + (s.device.root / "My Documents" / p.name).string() + "' -d '" +
                        (s.device.folder / "unzip").string() + "'";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("unzip failed");
  state.counters["archive_KB"] = double(s.archiveBytes[p.name]) / 1024;
}

BENCHMARK_CAPTURE(Extract, small, kSmall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Unzip, small, kSmall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Extract, large, kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Unzip, large, kLarge)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* size : {"small", "large"}) {
    double ours = reporter.of(std::string("Extract/") + size).real;
    double theirs = reporter.of(std::string("Unzip/") + size).real;
    if (ours > 0 && theirs > 0)
      std::printf("%s package: extractSkinPackage / unzip -o -q = %.2fx wall time (goal: 1.1x or less)\n", size,
                  ours / theirs);
  }
  scene().device.remove();
  benchmark::Shutdown();
}
