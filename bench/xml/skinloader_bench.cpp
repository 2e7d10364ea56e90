// Loading generated skin files of 50, 500 and 5,000 elements (rectangles,
// texts and images with presentation and `style` attributes) through the
// skin document loader into skin documents, next to expat alone parsing the
// same file in the same 2048-byte blocks, once with no handlers and once
// with handlers that do nothing. The load is timed alone and, apart, with the
// release of the document. The ratios are printed after the runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "dom/skindocumentloader.h"
#include "platform/core/wstdio.h"
#include "render/svgdocument.h"
#include "style/propertyregistry.h"
#include "xml/charsettable.h"
#include "xml/xmlparser.h"

namespace {

constexpr int kSizes[] = {50, 500, 5000};

// One element in three of each kind, in groups of up to 50 below the root.
std::string skinText(int elements) {
  std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<svg width=\"240\" height=\"268\">\n";
  for (int i = 0; i < elements; ++i) {
    if (i % 50 == 0) {
      if (i) text += "</g>\n";
      text += "<g id=\"group" + std::to_string(i / 50) + "\" fill=\"#336699\" visibility=\"visible\">\n";
    }
    const std::string n = std::to_string(i);
    const std::string x = std::to_string(i % 240), y = std::to_string(i % 268);
    switch (i % 3) {
      case 0:
        text += "  <rect id=\"r" + n + "\" x=\"" + x + "\" y=\"" + y +
                "\" width=\"20\" height=\"10\" fill=\"red\" stroke=\"#000000\" "
                "style=\"fill:blue; stroke-width:2; opacity:0.5\"/>\n";
        break;
      case 1:
        text += "  <text id=\"t" + n + "\" x=\"" + x + "\" y=\"" + y +
                "\" font-size=\"12\" fill=\"black\" style=\"font-family:Tahoma; font-weight:bold\">Track " + n +
                "\tnext</text>\n";
        break;
      default:
        text += "  <image id=\"i" + n + "\" x=\"" + x + "\" y=\"" + y +
                "\" width=\"16\" height=\"16\" visibility=\"hidden\" style=\"opacity:1; display:inline\"/>\n";
        break;
    }
  }
  if (elements) text += "</g>\n";
  return text + "</svg>\n";
}

struct Scene {
  ScratchDevice device;
  std::map<int, size_t> bytes;
};

std::string devicePath(int elements) { return "\\skin" + std::to_string(elements) + ".bskn"; }

Scene& scene() {
  static Scene made = [] {
    Scene s;
    fillCharsetTable();
    makePropertyRegistry();
    for (int elements : kSizes) {
      std::string text = skinText(elements);
      std::ofstream(s.device.root / ("skin" + std::to_string(elements) + ".bskn"), std::ios::binary) << text;
      s.bytes[elements] = text.size();
    }
    return s;
  }();
  return made;
}

void setCounters(benchmark::State& state, int elements) {
  state.counters["elements"] = elements;
  state.counters["KB"] = double(scene().bytes[elements]) / 1024;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * scene().bytes[elements]));
}

// The load alone; with `release` the document is also released inside the
// timed part, as when one skin replaces another.
void Load(benchmark::State& state, bool release) {
  const int elements = static_cast<int>(state.range(0));
  const std::string path = devicePath(elements);
  scene();
  for (auto _ : state) {
    XmlLoadResult result;
    Ref<SVGDocument> document = SkinDocumentLoader::loadAs<SVGDocument>(path, result);
    if (!document) state.SkipWithError("the skin did not load");
    benchmark::DoNotOptimize(document.get());
    if (release) continue;
    state.PauseTiming();
    document = {};
    state.ResumeTiming();
  }
  setCounters(state, elements);
}

void Loader(benchmark::State& state) { Load(state, false); }
void LoaderAndRelease(benchmark::State& state) { Load(state, true); }

void XMLCALL noStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL noEnd(void*, const XML_Char*) {}
void XMLCALL noText(void*, const XML_Char*, int) {}

// expat over the same file with the loader's feeding; `handlers` registers
// start, end and character-data handlers that do nothing.
void Expat(benchmark::State& state, bool handlers) {
  const int elements = static_cast<int>(state.range(0));
  const std::string path = devicePath(elements);
  scene();
  for (auto _ : state) {
    std::FILE* file = fopenDevice(path.c_str(), "r");
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (handlers) {
      XML_SetElementHandler(parser, noStart, noEnd);
      XML_SetCharacterDataHandler(parser, noText);
    }
    if (!file || feedXmlFile(parser, file) != FeedStatus::Parsed) state.SkipWithError("expat did not parse");
    XML_ParserFree(parser);
    if (file) std::fclose(file);
  }
  setCounters(state, elements);
}

// Seconds of wall and CPU time spent in `work`.
template <typename Work>
TimesReporter::Times timed(Work&& work) {
  timespec wall0, cpu0, wall1, cpu1;
  clock_gettime(CLOCK_MONOTONIC, &wall0);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
  work();
  clock_gettime(CLOCK_MONOTONIC, &wall1);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
  auto seconds = [](const timespec& a, const timespec& b) {
    return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) * 1e-9;
  };
  return {seconds(wall0, wall1), seconds(cpu0, cpu1)};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The loader and expat alone taking turns on the 5,000-element file, so that
// other work on the machine weighs on both alike: the medians of the ratios
// of each round (load alone, and load with release), and the medians of the
// times. Expat parses while the loaded document is still alive.
void printPairedRatios(int rounds) {
  const std::string path = devicePath(5000);
  std::vector<double> loadWall, loadCpu, cycleWall, cycleCpu, expatMs, loadMs, releaseMs;
  for (int round = 0; round < rounds; ++round) {
    Ref<SVGDocument> document;
    TimesReporter::Times load = timed([&] {
      XmlLoadResult result;
      document = SkinDocumentLoader::loadAs<SVGDocument>(path, result);
    });
    TimesReporter::Times expat = timed([&] {
      std::FILE* file = fopenDevice(path.c_str(), "r");
      XML_Parser parser = XML_ParserCreate(nullptr);
      feedXmlFile(parser, file);
      XML_ParserFree(parser);
      std::fclose(file);
    });
    // glibc merges the small chunks a release freed only at the next large
    // request; one such request here keeps that work with the release.
    TimesReporter::Times release = timed([&] {
      document = {};
      void* large = std::malloc(4096);
      benchmark::DoNotOptimize(large);
      std::free(large);
    });
    loadWall.push_back(load.real / expat.real);
    loadCpu.push_back(load.cpu / expat.cpu);
    cycleWall.push_back((load.real + release.real) / expat.real);
    cycleCpu.push_back((load.cpu + release.cpu) / expat.cpu);
    expatMs.push_back(expat.cpu * 1000);
    loadMs.push_back(load.cpu * 1000);
    releaseMs.push_back(release.cpu * 1000);
  }
  std::printf("5000 elements, CPU time: expat alone %.2f ms, load %.2f ms, release %.2f ms\n", median(expatMs),
              median(loadMs), median(releaseMs));
  std::printf(
      "5000 elements, %d rounds taking turns: load / expat alone = %.2fx wall, %.2fx CPU; "
      "load and release / expat alone = %.2fx wall, %.2fx CPU (goals: load 2.0x or less, load and release 3.0x or "
      "less)\n",
      rounds, median(loadWall), median(loadCpu), median(cycleWall), median(cycleCpu));
}

void ExpatAlone(benchmark::State& state) { Expat(state, false); }
void ExpatEmptyHandlers(benchmark::State& state) { Expat(state, true); }

BENCHMARK(Loader)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoaderAndRelease)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExpatAlone)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExpatEmptyHandlers)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's time per iteration: the median of its repetitions
// when it has several, else its one run.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration && !m_median.count(run.run_name.str()))
        m_times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        m_times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        m_median.insert(run.run_name.str());
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  TimesReporter::Times of(const std::string& name) const {
    auto it = m_times.find(name);
    return it == m_times.end() ? TimesReporter::Times{} : it->second;
  }

 private:
  std::map<std::string, TimesReporter::Times> m_times;
  std::set<std::string> m_median;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int elements : kSizes) {
    const std::string size = "/" + std::to_string(elements);
    for (const char* loader : {"Loader", "LoaderAndRelease"}) {
      const TimesReporter::Times ours = reporter.of(loader + size);
      for (const char* baseline : {"ExpatAlone", "ExpatEmptyHandlers"}) {
        const TimesReporter::Times theirs = reporter.of(baseline + size);
        if (ours.real > 0 && theirs.real > 0 && theirs.cpu > 0)
          std::printf("%5d elements: %s / %s = %.2fx wall, %.2fx CPU%s\n", elements, loader, baseline,
                      ours.real / theirs.real, ours.cpu / theirs.cpu,
                      elements == 5000 && loader[6] == 0 ? " (goal: 2.0x or less)" : "");
      }
    }
  }
  printPairedRatios(31);
  scene().device.remove();
  benchmark::Shutdown();
}
