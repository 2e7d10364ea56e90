// The browser program of the device: started by ShellExecuteEx with a page's
// device path as its command line (or by hand with --device and the screen
// options), it shows the page full screen until its "ok" is tapped.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/core/device.h"
#include "platform/core/utf8.h"
#include "platform/display/display.h"
#include "platform/display/script.h"
#include "platform/htmlview/browser/browser.h"
#include "platform/image/richimage.h"

namespace {

constexpr const char* kUsage =
    "usage: HtmlBrowser.exe [--device DIR] [screen options] [PAGE]\n"
    "  PAGE               a device path of a page (\\Windows\\help.htm)\n";

void dumpBrowser(std::string& out) {
  browser::BrowserState state;
  if (!browser::browserState(state)) {
    out += "running=0\n";
    return;
  }
  out += "running=1 page=" + toUtf8(state.page) + " back=" + std::to_string(state.backDepth) +
         " title=" + toUtf8(state.title) + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  if (!startDevice(argc, argv, error)) {
    std::fprintf(stderr, "Browser: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  display::DisplayOptions options;
  if (Device* device = currentDevice()) {
    options.width = device->config().screenWidth;
    options.height = device->config().screenHeight;
  }
  if (!display::parseDisplayOptions(args, options, error)) {
    std::fprintf(stderr, "Browser: %s\n%s%s", error.c_str(), kUsage, display::displayHelp().c_str());
    return 2;
  }
  std::string page;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, display::displayHelp().c_str());
      return 0;
    }
    page += (page.empty() ? "" : " ") + arg;
  }
  auto screen = display::openDisplay(options, error);
  if (!screen) {
    std::fprintf(stderr, "Browser: %s\n", error.c_str());
    return 1;
  }
  browser::registerBrowserResources();
  display::registerDumpSection("browser", dumpBrowser);
  RichImage::AddHandler(new rcJPEGHandler);
  RichImage::AddHandler(new rcGIFHandler);

  HWND window = browser::openBrowser(nullptr, fromUtf8(page));
  if (!window) {
    std::fprintf(stderr, "Browser: cannot make the browser's window\n");
    return 1;
  }
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // A scripted session ends the loop with the window still up.
  if (IsWindow(window)) DestroyWindow(window);
  return static_cast<int>(msg.wParam);
}
