// Loading generated skin files of 50, 500 and 5,000 elements (rectangles,
// texts and images with presentation and `style` attributes) through the
// skin document loader into skin documents, next to expat alone parsing the
// same file in the same 2048-byte blocks, once with no handlers and once
// with handlers that do nothing. The ratios are printed after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

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

void Loader(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  const std::string path = devicePath(elements);
  scene();
  for (auto _ : state) {
    XmlLoadResult result;
    Ref<SVGDocument> document = SkinDocumentLoader::loadAs<SVGDocument>(path, result);
    if (!document) state.SkipWithError("the skin did not load");
    benchmark::DoNotOptimize(document.get());
  }
  setCounters(state, elements);
}

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

void ExpatAlone(benchmark::State& state) { Expat(state, false); }
void ExpatEmptyHandlers(benchmark::State& state) { Expat(state, true); }

BENCHMARK(Loader)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExpatAlone)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExpatEmptyHandlers)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int elements : kSizes) {
    const std::string size = "/" + std::to_string(elements);
    const TimesReporter::Times ours = reporter.of("Loader" + size);
    for (const char* baseline : {"ExpatAlone", "ExpatEmptyHandlers"}) {
      const TimesReporter::Times theirs = reporter.of(baseline + size);
      if (ours.real > 0 && theirs.real > 0 && theirs.cpu > 0)
        std::printf("%5d elements: loader / %s = %.2fx wall, %.2fx CPU%s\n", elements, baseline,
                    ours.real / theirs.real, ours.cpu / theirs.cpu,
                    elements == 5000 ? " (goal: 3x or less)" : "");
    }
  }
  scene().device.remove();
  benchmark::Shutdown();
}
