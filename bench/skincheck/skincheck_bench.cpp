// Checking a skin of 5,000 elements with skincheck, next to the player's
// engine loading and painting the same skin: in this process through a skin
// view, and as the skinrender process (load, paint, PNG), which starts a
// scratch device as skincheck does. The ratios are printed after the runs.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/support/benchsupport.h"
#include "platform/core/windowing.h"
#include "platform/gdi/surface.h"
#include "render/engine.h"
#include "render/skinview.h"

namespace {

constexpr int kElements = 5000;

// The agreed elements of a working skin, faces first and hot spots last,
// around `decorations` of rects, texts and pictures spread over the skin.
std::string skinText(int decorations) {
  std::string text =
      "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='240' height='268'>\n"
      "<rect x='0' y='0' width='240' height='268' fill='#161b26'/>\n"
      "<rect id='flash' x='4' y='23' width='232' height='174' fill='#000000'/>\n"
      "<rect id='gray' x='4' y='23' width='232' height='174' fill='#404040'/>\n"
      "<text id='flashFileName' x='8' y='14' style='font-family: Tahoma; font-size: 9; fill: #e6eaf2'> </text>\n";
  for (int i = 0; i < decorations; ++i) {
    const std::string x = std::to_string(i * 37 % 220), y = std::to_string(i * 53 % 250);
    switch (i % 3) {
      case 0:
        text += "<rect x='" + x + "' y='" + y + "' width='12' height='8' fill='#2b3346' stroke='#3f4a63'/>\n";
        break;
      case 1:
        text +=
            "<text x='" + x + "' y='" + y + "' style='font-size: 8; fill: #56607a'>t" + std::to_string(i) + "</text>\n";
        break;
      default:
        text += "<image x='" + x + "' y='" + y + "' width='8' height='8' xlink:href='face.gif'/>\n";
        break;
    }
  }
  text +=
      "<rect id='seekBar' x='12' y='206' width='216' height='6' fill='#2b3346'/>\n"
      "<rect id='seekThumb' x='12' y='201' width='12' height='16' fill='#3d8bfd'/>\n"
      "<rect id='volumeBar' x='34' y='258' width='120' height='4' fill='#2b3346'/>\n"
      "<rect id='volumeThumb' x='34' y='253' width='10' height='10' fill='#aab2c5'/>\n";
  const char* buttons[] = {"prev", "stop", "playPause", "next", "fullscreen"};
  for (int i = 0; i < 5; ++i) {
    std::string x = std::to_string(9 + 46 * i), id = buttons[i];
    text += "<rect id='" + id + "_pushed' x='" + x + "' y='222' width='38' height='30' fill='#ffffff' " +
            "visibility='hidden'/>\n";
    if (id == "playPause")
      text += "<rect id='pause_pushed' x='" + x + "' y='222' width='38' height='30' visibility='hidden'/>\n";
  }
  for (int i = 0; i < 5; ++i)
    text += "<circle id='" + std::string(buttons[i]) + "' cx='" + std::to_string(28 + 46 * i) + "' cy='237' r='15'/>\n";
  return text + "</svg>\n";
}

// A 2 x 2 GIF, the smallest picture the decoders take.
constexpr unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x80, 0x00,
                                  0x00, 0x00, 0xff, 0x00, 0xff, 0xff, 0xff, 0x2c, 0x00, 0x00, 0x00, 0x00,
                                  0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x02, 0x84, 0x51, 0x00, 0x3b};

struct Scene {
  ScratchDevice device;
  std::filesystem::path skin;  // the host file, also the device's \skin.bskn
  Scene() {
    skin = device.root / "skin.bskn";
    std::ofstream(skin, std::ios::binary) << skinText(kElements - 22);
    std::ofstream(device.root / "face.gif", std::ios::binary).write(reinterpret_cast<const char*>(kGif), sizeof kGif);
  }
};

Scene& scene() {
  static Scene made;
  return made;
}

// The player's engine in this process: load, style and paint the whole view.
void PlayerLoadAndPaint(benchmark::State& state) {
  scene();
  wm::setScreenSize(240, 320);
  gdi::installWindowHooks();
  startSkinEngine(nullptr, "bench");
  WNDCLASSW hostClass{};
  hostClass.lpfnWndProc = DefWindowProcW;
  hostClass.lpszClassName = u"BenchHost";
  RegisterClassW(&hostClass);
  HWND host = CreateWindowExW(0, u"BenchHost", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  auto* view = new SkinView(host, 0, 0, 240, 320, nullptr);
  for (auto _ : state) {
    if (view->load("\\skin.bskn") != 0) state.SkipWithError("the skin did not load");
    view->refresh(nullptr);
    wm::dispatchPending();
  }
  DestroyWindow(host);
}

void runProcess(benchmark::State& state, const std::string& command) {
  scene();
  for (auto _ : state)
    if (std::system((command + " >/dev/null 2>&1").c_str()) == -1) state.SkipWithError("cannot run");
}

void SkinrenderProcess(benchmark::State& state) {
  runProcess(state, std::string(SKINRENDER) + " '" + scene().skin.string() + "' /dev/null");
}

void SkincheckProcess(benchmark::State& state) {
  runProcess(state, std::string(SKINCHECK) + " '" + scene().skin.string() + "'");
}

}  // namespace

BENCHMARK(PlayerLoadAndPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SkinrenderProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SkincheckProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double load = reporter.of("PlayerLoadAndPaint").real, render = reporter.of("SkinrenderProcess").real;
  double check = reporter.of("SkincheckProcess").real;
  if (load > 0 && render > 0)
    std::printf("skincheck / skinrender process: %.2f; skincheck / in-process load and paint: %.2f\n", check / render,
                check / load);
  scene().device.remove();
  benchmark::Shutdown();
  return 0;
}
