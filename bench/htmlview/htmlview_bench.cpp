// The properties page in the HTML viewer, from DTM_CLEAR to painted on the
// headless screen: what a user waits for between the menu and the page.
// The help page through the same steps, for a longer page's cost.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/core/utf8.h"
#include "platform/core/wformat.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/htmlview/htmlctrl.h"
#include "resources/playerresources.h"

namespace {

struct Stage {
  std::unique_ptr<display::Display> screen;
  HWND viewer = nullptr;
};

Stage& stage() {
  static Stage* s = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    auto* made = new Stage;
    std::string error;
    made->screen = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    InitHTMLControl(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"BenchParent";
    RegisterClassW(&wc);
    HWND parent =
        CreateWindowExW(0, u"BenchParent", u"", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
    made->viewer =
        CreateWindowExW(0, WC_HTML, u"", WS_VISIBLE | WS_CHILD, 0, 0, 240, 268, parent, nullptr, nullptr, nullptr);
    return made;
  }();
  return *s;
}

std::u16string propertiesPage() {
  registerPlayerResources(nullptr);
  WCHAR text[1024];
  LoadStringW(nullptr, playerres::kPropertiesTemplate, text, 1024);
  return formatWide(text, u"windows-1252", u"Holiday Film.swf", u"\\My Documents\\Flash", 6, 300, 12, u"00:25", 1);
}

std::u16string helpPage() {
  const char* source = std::getenv("ORVEL_SOURCE_DIR");
  std::ifstream in(std::string(source ? source : ".") + "/resources/help.htm");
  return fromUtf8(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

void showAndPaint(benchmark::State& state, const std::u16string& page) {
  HWND viewer = stage().viewer;
  for (auto _ : state) {
    SendMessageW(viewer, DTM_CLEAR, 0, 0);
    SendMessageW(viewer, DTM_ADDTEXTW, FALSE, reinterpret_cast<LPARAM>(page.c_str()));
    SendMessageW(viewer, DTM_ENDOFSOURCE, 0, 0);
    UpdateWindow(viewer);
  }
}

void PropertiesPage(benchmark::State& state) { showAndPaint(state, propertiesPage()); }
BENCHMARK(PropertiesPage)->Unit(benchmark::kMillisecond);

void HelpPage(benchmark::State& state) { showAndPaint(state, helpPage()); }
BENCHMARK(HelpPage)->Unit(benchmark::kMillisecond);

}  // namespace
