// Skin rendering: a generated skin loaded, styled and painted in full at two
// screen sizes; the player's change-and-repaint sequence on a seek thumb; and
// the same document rendered to a PNG file by this project's skinrender and
// by rsvg-convert, each as a process, with the ratios printed after (the
// processes' also from rounds in which they take turns).

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/benchsupport.h"
#include "dom/characterdata.h"
#include "platform/core/windowing.h"
#include "platform/gdi/surface.h"
#include "render/engine.h"
#include "render/skinview.h"

namespace {

ScratchDevice& scratch() {
  static ScratchDevice device;
  return device;
}

// One element of a generated skin: its tag, attributes, text, and whether
// the next elements go inside it (closed by an entry with an empty tag).
struct ElementPlan {
  std::string tag;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  bool opens = false;
};

// A skin of `count` elements over a width x height root: filled and outlined
// rects, texts, groups holding a rect, and circle hot spots, laid on a grid.
std::vector<ElementPlan> generatedSkin(int count, int width, int height) {
  std::string w = std::to_string(width), h = std::to_string(height);
  std::vector<ElementPlan> plan{
      {"svg",
       {{"xmlns", "http://www.w3.org/2000/svg"}, {"width", w}, {"height", h}, {"style", "fill: #e0e0e0"}},
       "",
       true},
      {"rect", {{"id", "background"}, {"width", w}, {"height", h}, {"fill", "#202840"}}},
  };
  int made = 2;
  for (int i = 0; made < count - 1; ++i) {
    std::string x = std::to_string((i * 37) % (width - 20)), y = std::to_string((i * 53) % (height - 20));
    switch (i % 7) {
      case 0:
      case 1:
      case 2:
      case 3:
        plan.push_back(
            {"rect",
             {{"x", x},
              {"y", y},
              {"width", "18"},
              {"height", "12"},
              {"style", "fill: rgb(" + std::to_string(i % 256) + ", 120, 200); stroke: white; stroke-width: 1"}}});
        made += 1;
        break;
      case 4:
        plan.push_back({"text",
                        {{"x", x}, {"y", y}, {"font-family", "Arial"}, {"font-size", "8"}, {"fill", "yellow"}},
                        "Item " + std::to_string(i)});
        made += 1;
        break;
      case 5:
        plan.push_back({"g", {{"fill", "#80ff80"}}, "", true});
        plan.push_back({"rect", {{"x", x}, {"y", y}, {"width", "10"}, {"height", "10"}}});
        plan.push_back({});
        made += 2;
        break;
      default:
        plan.push_back({"circle", {{"cx", x}, {"cy", y}, {"r", "6"}, {"fill", "red"}}});
        made += 1;
        break;
    }
  }
  plan.push_back({"rect",
                  {{"id", "seekThumb"},
                   {"x", "20"},
                   {"y", std::to_string(height - 20)},
                   {"width", "12"},
                   {"height", "16"},
                   {"fill", "white"},
                   {"stroke", "black"}}});
  plan.push_back({});
  return plan;
}

std::string toXml(const std::vector<ElementPlan>& plan) {
  std::string xml = "<?xml version=\"1.0\"?>\n";
  std::vector<std::string> open;
  for (const ElementPlan& item : plan) {
    if (item.tag.empty()) {
      xml += "</" + open.back() + ">\n";
      open.pop_back();
      continue;
    }
    xml += "<" + item.tag;
    for (const auto& [name, value] : item.attributes) xml += " " + name + "=\"" + value + "\"";
    if (item.opens) {
      xml += ">\n";
      open.push_back(item.tag);
    } else if (!item.text.empty()) {
      xml += ">" + item.text + "</" + item.tag + ">\n";
    } else {
      xml += "/>\n";
    }
  }
  return xml;
}

// The same document built in code, attribute by attribute as a loader does.
Ref<SVGDocument> build(const std::vector<ElementPlan>& plan, const std::string& path) {
  Ref<SVGDocument> document = SVGDocument::create(path);
  Node* parent = document.get();
  for (const ElementPlan& item : plan) {
    if (item.tag.empty()) {
      parent = parent->parentNode();
      continue;
    }
    Ref<SVGElement> element = document->createSVGElement(toWide(item.tag));
    for (const auto& [name, value] : item.attributes) {
      element->setAttribute(toWide(name), toWide(value));
      element->attributeChanged(toWide(name));
    }
    if (!item.text.empty()) element->appendChild(document->createTextNode(toWide(item.text)).get());
    parent->appendChild(element.get());
    if (item.opens) parent = element.get();
  }
  return document;
}

// The skin's device path, written once per shape.
std::string skinFile(int count, int width, int height) {
  std::string name =
      "skin-" + std::to_string(count) + "-" + std::to_string(width) + "x" + std::to_string(height) + ".bskn";
  std::filesystem::path host = scratch().root / name;
  if (!std::filesystem::exists(host)) std::ofstream(host) << toXml(generatedSkin(count, width, height));
  return "\\" + name;
}

std::string hostPath(const std::string& devicePath) { return (scratch().root / devicePath.substr(1)).string(); }

// A screen of the size, the engine, and a host window for the view.
HWND freshScreen(int width, int height) {
  wm::resetForTests();
  wm::setScreenSize(width, height);
  gdi::installWindowHooks();
  startSkinEngine(nullptr, "OrvelFlash");
  WNDCLASSW hostClass{};
  hostClass.lpfnWndProc = DefWindowProcW;
  hostClass.lpszClassName = u"BenchHost";
  RegisterClassW(&hostClass);
  return CreateWindowExW(0, u"BenchHost", u"", WS_VISIBLE, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

// Element counts at the two screen sizes of the handhelds.
void skinSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"elements", "w", "h"})->Unit(benchmark::kMicrosecond);
  for (int side : {240, 480})
    for (int count : {50, 500, 5000}) b->Args({count, side, side * 4 / 3});
}

void LoadStylePaint(benchmark::State& state) {
  int count = static_cast<int>(state.range(0)), width = static_cast<int>(state.range(1)),
      height = static_cast<int>(state.range(2));
  std::string path = skinFile(count, width, height);
  HWND host = freshScreen(width, height);
  auto* view = new SkinView(host, 0, 0, width, height, nullptr);
  wm::dispatchPending();
  for (auto _ : state) {
    if (view->load(path.c_str()) != 0) {
      state.SkipWithError("the skin did not load");
      break;
    }
    wm::dispatchPending();  // the first full paint
  }
  state.counters["elements"] = count;
  DestroyWindow(host);
}
BENCHMARK(LoadStylePaint)->Apply(skinSizes);

// The same without the XML reader: the document built in code, styled, painted.
void BuildStylePaint(benchmark::State& state) {
  int count = static_cast<int>(state.range(0)), width = static_cast<int>(state.range(1)),
      height = static_cast<int>(state.range(2));
  std::vector<ElementPlan> plan = generatedSkin(count, width, height);
  HWND host = freshScreen(width, height);
  auto* view = new SkinView(host, 0, 0, width, height, nullptr);
  wm::dispatchPending();
  for (auto _ : state) {
    view->show(build(plan, "\\bench.bskn"));
    wm::dispatchPending();
  }
  DestroyWindow(host);
}
BENCHMARK(BuildStylePaint)->Apply(skinSizes);

// What a pen drag on the seek bar costs: the thumb's "x" changed through the
// player's sequence, and the repaint it causes.
void ChangeAndRepaint(benchmark::State& state) {
  int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  std::string path = skinFile(500, width, height);
  HWND host = freshScreen(width, height);
  auto* view = new SkinView(host, 0, 0, width, height, nullptr);
  // Loaded when the reader can, else built in code: the repaint is the same.
  if (view->load(path.c_str()) != 0) view->show(build(generatedSkin(500, width, height), path));
  wm::dispatchPending();
  auto* thumb = static_cast<SVGElement*>(view->document()->getElementById(u"seekThumb"));
  int x = 0;
  for (auto _ : state) {
    x = (x + 3) % (width - 20);
    thumb->setAttribute(u"x", toWide(std::to_string(x)));
    thumb->attributeChanged(u"x");
    HDC screen = GetDC(nullptr);
    thumb->computeStyle(screen);
    ReleaseDC(nullptr, screen);
    view->refresh(thumb);
    wm::dispatchPending();
  }
  DestroyWindow(host);
}
BENCHMARK(ChangeAndRepaint)->ArgNames({"w", "h"})->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);

double childCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Runs the command once per iteration; the processes' own CPU time (user and
// system, the shell's included) goes into the counter "child_cpu_ms".
void runProcess(benchmark::State& state, const std::string& command) {
  double cpuBefore = childCpuMs();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError(("failed: " + command).c_str());
      return;
    }
  }
  if (state.iterations() > 0)
    state.counters["child_cpu_ms"] = (childCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
}

bool haveRsvgConvert() {
  static const bool found = std::system("command -v rsvg-convert >/dev/null 2>&1") == 0;
  return found;
}

void SkinrenderProcess(benchmark::State& state) {
  std::string file = hostPath(skinFile(500, 480, 640));
  runProcess(state, std::string(SKINRENDER) + " '" + file + "' '" + file + ".orvel.png' 480x640");
}
BENCHMARK(SkinrenderProcess)->Unit(benchmark::kMillisecond);

void RsvgConvert(benchmark::State& state) {
  if (!haveRsvgConvert()) {
    state.SkipWithError("rsvg-convert is not installed (package librsvg2-bin): comparison skipped");
    for (auto _ : state) {
    }
    return;
  }
  std::string file = hostPath(skinFile(500, 480, 640));
  runProcess(state, "rsvg-convert -w 480 -h 640 -o '" + file + ".rsvg.png' '" + file + "'");
}
BENCHMARK(RsvgConvert)->Unit(benchmark::kMillisecond);

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// skinrender and rsvg-convert taking turns on the same document, the one that
// goes first alternating, so that other work on the machine weighs on both
// alike: the medians of each side's CPU time and of each round's ratio.
void printPairedProcessRatio(int rounds) {
  if (!haveRsvgConvert()) return;
  std::string file = hostPath(skinFile(500, 480, 640));
  const std::string commands[] = {std::string(SKINRENDER) + " '" + file + "' '" + file + ".orvel.png' 480x640",
                                  "rsvg-convert -w 480 -h 640 -o '" + file + ".rsvg.png' '" + file + "'"};
  std::vector<double> ours, theirs, ratios;
  for (int round = 0; round < rounds; ++round) {
    double cpu[2] = {};
    for (int turn = 0; turn < 2; ++turn) {
      int side = (turn + round) % 2;
      double before = childCpuMs();
      if (std::system(commands[side].c_str()) != 0) {
        std::printf("paired rounds: failed: %s\n", commands[side].c_str());
        return;
      }
      cpu[side] = childCpuMs() - before;
    }
    if (cpu[1] <= 0) continue;
    ours.push_back(cpu[0]);
    theirs.push_back(cpu[1]);
    ratios.push_back(cpu[0] / cpu[1]);
  }
  if (ratios.empty()) return;
  std::printf(
      "%d rounds taking turns (medians): skinrender %.2f ms CPU, rsvg-convert %.2f ms CPU; "
      "skinrender / rsvg-convert = %.3f CPU (goal: 0.3 or less)\n",
      rounds, median(ours), median(theirs), median(ratios));
}

}  // namespace

// Keeps the processes' CPU time beside the times the base reporter keeps.
class RenderReporter : public TimesReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      auto counter = run.counters.find("child_cpu_ms");
      if (!run.error_occurred && counter != run.counters.end()) m_childCpu[run.benchmark_name()] = counter->second;
    }
    TimesReporter::ReportRuns(runs);
  }
  double childCpu(const std::string& name) const {
    auto it = m_childCpu.find(name);
    return it == m_childCpu.end() ? 0 : it->second.value;
  }

 private:
  std::map<std::string, benchmark::Counter> m_childCpu;
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RenderReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // In-process times are in microseconds, the processes' in milliseconds; all printed in ms.
  auto inProcess = [&](const char* name) {
    TimesReporter::Times t = reporter.of(name);
    return TimesReporter::Times{t.real / 1000.0, t.cpu / 1000.0};
  };
  TimesReporter::Times loaded = inProcess("LoadStylePaint/elements:500/w:480/h:640");
  TimesReporter::Times built = inProcess("BuildStylePaint/elements:500/w:480/h:640");
  TimesReporter::Times change = inProcess("ChangeAndRepaint/w:480/h:640");
  double project = reporter.of("SkinrenderProcess").real, rsvg = reporter.of("RsvgConvert").real;
  double projectCpu = reporter.childCpu("SkinrenderProcess"), rsvgCpu = reporter.childCpu("RsvgConvert");
  if (loaded.real > 0)
    std::printf("500 elements at 480x640, load+style+paint: %.3f ms wall, %.3f ms CPU\n", loaded.real, loaded.cpu);
  if (project > 0) std::printf("skinrender process: %.2f ms wall, %.2f ms CPU\n", project, projectCpu);
  if (rsvg > 0) {
    std::printf("rsvg-convert process: %.2f ms wall, %.2f ms CPU\n", rsvg, rsvgCpu);
    if (loaded.real > 0) std::printf("load+style+paint / rsvg-convert: %.3f (goal: under 0.1)\n", loaded.real / rsvg);
    if (built.real > 0) std::printf("built in code+style+paint / rsvg-convert: %.3f\n", built.real / rsvg);
    if (project > 0)
      std::printf("skinrender / rsvg-convert as processes: %.3f wall, %.3f CPU (goal: 0.3 or less)\n", project / rsvg,
                  rsvgCpu > 0 ? projectCpu / rsvgCpu : 0.0);
  } else {
    std::printf("rsvg-convert not run: comparison skipped\n");
  }
  if (project > 0 && rsvg > 0) printPairedProcessRatio(31);
  if (change.real > 0)
    std::printf("change and repaint at 480x640: %.3f ms wall, %.3f ms CPU (goal: under 2 ms)\n", change.real,
                change.cpu);
  scratch().remove();
  return 0;
}
