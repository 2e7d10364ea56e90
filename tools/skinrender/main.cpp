// skinrender [--times] SKIN OUT.png [WIDTHxHEIGHT]
// Loads a skin document (a host file) into a skin view on a scratch device
// whose screen has the given size (240x320 by default), styles and paints it,
// and writes the view's off-screen buffer as a PNG file. --times prints how
// long each step took (wall and the process's CPU time) on standard error, to
// show where a run's time goes.

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/core/device.h"
#include "platform/core/windowing.h"
#include "platform/gdi/surface.h"
#include "platform/image/pngwriter.h"
#include "platform/image/richimage.h"
#include "render/engine.h"
#include "render/skinview.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "skinrender: %s\n", message.c_str());
  return 1;
}

constexpr int kMaxScreenSide = 4096;

// Removes the scratch device when the run ends, however it ends.
struct ScratchFolder {
  std::filesystem::path path;
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// A new scratch folder, in memory when the host offers a folder there (the
// user's runtime folder, else /dev/shm): a device that lives for one render
// gains nothing from a disk, where making and removing its folders and files
// cost more than the render itself. Empty when none can be made.
std::filesystem::path makeScratchFolder() {
  std::error_code ec;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::filesystem::path temporary = std::filesystem::temp_directory_path(ec);
  for (const std::filesystem::path& parent :
       {std::filesystem::path(runtime ? runtime : ""), std::filesystem::path("/dev/shm"), temporary}) {
    if (parent.empty()) continue;
    std::string pattern = (parent / "skinrender-XXXXXX").string();
    if (mkdtemp(pattern.data())) return pattern;
  }
  return {};
}

// Prints the wall and CPU time since the previous step when asked to.
class StepTimes {
 public:
  explicit StepTimes(bool enabled) : m_enabled(enabled) {}
  void step(const char* name) {
    auto now = std::chrono::steady_clock::now();
    double cpu = cpuMs();
    if (m_enabled)
      std::fprintf(stderr, "%-28s %7.2f ms wall %7.2f ms CPU\n", name,
                   std::chrono::duration<double, std::milli>(now - m_last).count(), cpu - m_lastCpu);
    m_last = now;
    m_lastCpu = cpu;
  }

 private:
  static double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
  }

  bool m_enabled;
  std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();
  double m_lastCpu = cpuMs();
};

}  // namespace

int main(int argc, char** argv) {
  bool timed = argc > 1 && std::strcmp(argv[1], "--times") == 0;
  if (timed) --argc, ++argv;
  if (argc < 3) return fail("usage: skinrender [--times] SKIN OUT.png [WIDTHxHEIGHT]");
  StepTimes times(timed);
  int width = 240, height = 320;
  if (argc > 3 && (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 ||
                   width > kMaxScreenSide || height > kMaxScreenSide))
    return fail("bad size " + std::string(argv[3]));

  std::error_code ec;
  std::filesystem::path skin = std::filesystem::absolute(argv[1], ec);
  if (ec || !std::filesystem::is_regular_file(skin, ec)) return fail("cannot read " + std::string(argv[1]));
  ScratchFolder scratch{makeScratchFolder()};
  if (scratch.path.empty()) return fail("no scratch folder");
  std::string error;
  DeviceConfig config;
  config.screenWidth = width;
  config.screenHeight = height;
  config.scratch = true;
  config.installPrograms = false;
  auto device = Device::create(scratch.path / "device", config, error);
  if (!device) return fail(error);
  // The skin's own folder is the storage card, so that its pictures are
  // found beside it as the player finds them.
  if (!device->insertStorageCard(skin.parent_path(), error)) return fail(error);
  std::string devicePath = "\\Storage Card\\" + skin.filename().string();
  exchangeCurrentDevice(std::move(device));
  times.step("scratch device");

  wm::setScreenSize(width, height);
  gdi::installWindowHooks();
  // The image library as the player prepares it: JPEG and GIF beside the built-in formats.
  RichImage::AddHandler(new rcJPEGHandler);
  RichImage::AddHandler(new rcGIFHandler);
  startSkinEngine(nullptr, "skinrender");
  WNDCLASSW hostClass{};
  hostClass.lpfnWndProc = DefWindowProcW;
  hostClass.lpszClassName = u"SkinRenderHost";
  RegisterClassW(&hostClass);
  // The host stays hidden: the view paints its buffer, which is what is
  // written, and nothing is copied to a screen nobody looks at.
  HWND host = CreateWindowExW(0, u"SkinRenderHost", u"", 0, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
  times.step("engine start");
  auto* view = new SkinView(host, 0, 0, width, height, nullptr);
  if (!view->window()) return fail("no view window");
  times.step("view and buffers");
  int code = view->load(devicePath.c_str());
  if (code != 0) {
    std::string message = toNarrowAscii(view->lastLoadResult().message);
    DestroyWindow(host);  // frees the view with its window
    return fail("load failed: " + std::to_string(code) + " " + message);
  }
  times.step("load and style pass");
  view->paintBuffer();
  times.step("first paint");
  const gdi::Surface* buffer = gdi::bitmapSurface(static_cast<HBITMAP>(GetCurrentObject(view->bufferDc(), OBJ_BITMAP)));
  bool written = buffer && image::writeSurfacePng(*buffer, argv[2]);
  times.step("PNG file");
  DestroyWindow(host);
  times.step("clean-up");
  return written ? 0 : fail("cannot write " + std::string(argv[2]));
}
