// The screen's common half: options, the composed frame, screenshots, the
// headless backend and the scripted session's waiting.

#include "platform/display/display.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "platform/audio/output.h"
#include "platform/core/shellapi.h"
#include "platform/core/windowing.h"
#include "platform/display/displayimpl.h"
#include "platform/display/script.h"
#include "platform/image/pngwriter.h"

namespace display {
namespace {

constexpr int kMaxZoom = 8;
constexpr int kWaitCursorRadius = 12;
// How long a serving session blocks at once: what other processes ask is handled between slices.
constexpr int kServeSliceMs = 50;

bool parseSize(const std::string& text, int& w, int& h) {
  unsigned a = 0, b = 0;
  char x = 0;
  if (std::sscanf(text.c_str(), "%u%c%u", &a, &x, &b) != 3 || (x != 'x' && x != 'X')) return false;
  if (a < 120 || b < 160 || a > 2048 || b > 2048) return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return true;
}

// Scripted sessions run on the headless screen: every wait of the message
// loop is where the next step of the script runs.
class HeadlessDisplay final : public Display, public wm::HostEvents {
 public:
  explicit HeadlessDisplay(const DisplayOptions& options) : m_options(options) {}

  bool start(std::string& error) {
    // What a headless session starts (the browser from Help, say) opens no
    // window either.
    m_hostOptionsBefore = setProgramHostOptions({"--headless"});
    m_hostOptionsSet = true;
    if (!m_options.scriptFile.empty()) {
      if (!m_script.loadFile(m_options.scriptFile, error)) return false;
      m_scripted = true;
      wm::useVirtualClock(true);
    }
    return true;
  }

  ~HeadlessDisplay() override {
    if (m_hostOptionsSet) setProgramHostOptions(std::move(m_hostOptionsBefore));
    for (const auto& e : m_script.errors()) std::fprintf(stderr, "script: %s\n", e.c_str());
  }

  // No one sees the headless screen until a screenshot or a test asks for
  // it, so its frame (the size of the screen again) is made at the first
  // asking; until then what changed is let go, the first frame being whole.
  void present() override {
    if (m_framed)
      m_frame.update();
    else
      gdi::takeScreenDirty();
  }
  const gdi::Surface& frame() override {
    m_framed = true;
    m_frame.update();
    return m_frame.surface();
  }
  Backend backend() const override { return Backend::Headless; }

  void wait(int timeoutMs) override {
    if (!m_scripted) {
      wm::waitForActivity(-1, timeoutMs);
      return;
    }
    // Other processes of the device are answered between steps, as a desktop window's loop does.
    wm::waitForActivity(-1, 0);
    if (timeoutMs == 0) return;  // a peek: the script moves only when the program is idle
    if (m_script.serving()) {
      m_script.advanceServe(kServeSliceMs);
      return;
    }
    if (m_script.waiting()) {
      m_script.advanceWait(timeoutMs);
      return;
    }
    if (m_script.step() == ScriptRunner::Step::Finished) PostQuitMessage(static_cast<int>(m_script.errors().size()));
  }

 private:
  DisplayOptions m_options;
  FrameComposer m_frame;
  bool m_framed = false;
  ScriptRunner m_script;
  bool m_scripted = false;
  std::vector<std::string> m_hostOptionsBefore;  // the started programs' options before this screen
  bool m_hostOptionsSet = false;
};

}  // namespace

// ---- Frame -----------------------------------------------------------------------

void FrameComposer::update() {
  gdi::Surface& screen = gdi::screenSurface();
  if (m_surface.width != screen.width || m_surface.height != screen.height) {
    m_surface = screen;
    m_dirty = Region(RECT{0, 0, screen.width, screen.height});
    gdi::takeScreenDirty();
    m_cursorShown = false;
    m_powerOn = true;
  }
  Region changed = gdi::takeScreenDirty();
  bool power = gdi::screenPowerOn();
  if (power != m_powerOn) {
    m_powerOn = power;
    changed = Region(RECT{0, 0, screen.width, screen.height});
  }
  bool cursor = wm::waitCursorShown();
  RECT cursorRect = waitCursorRect();
  if (cursor || m_cursorShown) changed.unite(cursorRect);
  m_cursorShown = cursor;
  if (changed.empty()) return;
  for (const RECT& r : changed.rects())
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) m_surface.row(y)[x] = power ? screen.row(y)[x] : 0;
  if (cursor && power) drawWaitCursor();
  m_dirty.unite(changed);
}

Region FrameComposer::takeDirty() {
  Region r = std::move(m_dirty);
  m_dirty.clear();
  return r;
}

RECT FrameComposer::waitCursorRect() const {
  int cx = m_surface.width / 2, cy = m_surface.height / 2;
  return rectIntersection(
      RECT{cx - kWaitCursorRadius, cy - kWaitCursorRadius, cx + kWaitCursorRadius + 1, cy + kWaitCursorRadius + 1},
      RECT{0, 0, m_surface.width, m_surface.height});
}

// The handheld's busy sign: a ring of four colours in the middle of the screen.
void FrameComposer::drawWaitCursor() {
  static constexpr std::uint32_t kColors[] = {0xE03020, 0x30A030, 0x2050D0, 0xF0C020};
  RECT r = waitCursorRect();
  int cx = m_surface.width / 2, cy = m_surface.height / 2;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) {
      double dx = x - cx, dy = y - cy;
      double d = std::sqrt(dx * dx + dy * dy);
      if (d < 6.5 || d > kWaitCursorRadius) continue;
      int quadrant = (dx >= 0 ? 0 : 1) + (dy >= 0 ? 0 : 2);
      m_surface.row(y)[x] = kColors[quadrant];
    }
}

// ---- PNG ---------------------------------------------------------------------------

bool writePng(const gdi::Surface& surface, const std::string& path) { return image::writeSurfacePng(surface, path); }

// ---- Options ------------------------------------------------------------------------

const std::vector<HostKey>& hostKeys() {
  static const std::vector<HostKey> keys = {
      {"Left, Right, Up, Down", "direction pad", VK_LEFT},
      {"Return", "direction pad centre", VK_RETURN},
      {"F1", "application button 1", VK_APP1},
      {"F2", "application button 2", VK_APP1 + 1},
      {"F3", "application button 3", VK_APP1 + 2},
      {"F4", "application button 4", VK_APP1 + 3},
      {"F5", "application button 5", VK_APP1 + 4},
      {"F6", "application button 6", VK_APP1 + 5},
      {"F7", "application button 7", VK_APP1 + 6},
      {"F8", "application button 8", VK_APP1 + 7},
      {"F9", "application button 9", VK_APP1 + 8},
  };
  return keys;
}

std::string displayHelp() {
  std::string text =
      "Screen options:\n"
      "  --zoom N           show the 240 x 320 screen N times larger (1-8, default 2)\n"
      "  --screen WxH       the device's screen size\n"
      "  --headless         keep the screen in memory (no desktop window)\n"
      "  --script FILE      run a scripted session on the headless screen\n"
      "  --screenshot FILE  write the screen to a PNG file at exit\n"
      "  --dump FILE        write the state dump at exit\n"
      "Keys: the mouse is the pen (right button: tap and hold)\n";
  for (const auto& k : hostKeys()) text += std::string("  ") + k.hostKey + ": " + k.deviceKey + "\n";
  return text;
}

bool parseDisplayOptions(std::vector<std::string>& args, DisplayOptions& options, std::string& error) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--headless") {
      options.backend = Backend::Headless;
    } else if (a == "--zoom") {
      if (!value(v)) return false;
      char* end = nullptr;
      long zoom = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || zoom < 1 || zoom > kMaxZoom) {
        error = "--zoom takes a whole number from 1 to 8";
        return false;
      }
      options.zoom = static_cast<int>(zoom);
    } else if (a == "--screen") {
      if (!value(v)) return false;
      if (!parseSize(v, options.width, options.height)) {
        error = "--screen takes WIDTHxHEIGHT, from 120x160 to 2048x2048";
        return false;
      }
    } else if (a == "--script") {
      if (!value(options.scriptFile)) return false;
      options.backend = Backend::Headless;
    } else if (a == "--screenshot") {
      if (!value(options.screenshotFile)) return false;
    } else if (a == "--dump") {
      if (!value(options.dumpFile)) return false;
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return true;
}

// ---- Opening and closing -------------------------------------------------------------

namespace {

// Closing the screen writes what was asked for at exit, then lets go of the loop.
class ClosingDisplay final : public Display {
 public:
  ClosingDisplay(std::unique_ptr<Display> inner, DisplayOptions options)
      : m_inner(std::move(inner)), m_options(std::move(options)) {}
  ~ClosingDisplay() override {
    writeExitRecords();
    setCurrentDisplay(nullptr);
    wm::setHostEvents(nullptr);
    audio::closeOutput();
  }
  // Once only: the program asks for it while its windows are still up.
  void writeExitRecords() {
    if (m_written) return;
    m_written = true;
    if (!m_options.screenshotFile.empty() && !writePng(m_inner->frame(), m_options.screenshotFile))
      std::fprintf(stderr, "cannot write the screenshot %s\n", m_options.screenshotFile.c_str());
    if (!m_options.dumpFile.empty()) {
      std::ofstream out(m_options.dumpFile, std::ios::binary | std::ios::trunc);
      out << stateDump();
    }
  }
  void present() override { m_inner->present(); }
  const gdi::Surface& frame() override { return m_inner->frame(); }
  Backend backend() const override { return m_inner->backend(); }

 private:
  std::unique_ptr<Display> m_inner;
  DisplayOptions m_options;
  bool m_written = false;
};

Display*& current() {
  static Display* d = nullptr;
  return d;
}

}  // namespace

Display* currentDisplay() { return current(); }

void writeExitRecords() {
  if (auto* closing = dynamic_cast<ClosingDisplay*>(current())) closing->writeExitRecords();
}
void setCurrentDisplay(Display* d) { current() = d; }

std::unique_ptr<Display> openDisplay(const DisplayOptions& options, std::string& error) {
  if (current()) {
    error = "the device has one screen, and it is open";
    return nullptr;
  }
  wm::setScreenSize(options.width, options.height);
  gdi::installWindowHooks();
  std::unique_ptr<Display> inner;
  if (options.backend == Backend::Headless) {
    auto headless = std::make_unique<HeadlessDisplay>(options);
    if (!headless->start(error)) return nullptr;
    wm::setHostEvents(headless.get());
    inner = std::move(headless);
  } else {
    inner = openSdlDisplay(options, error);
    if (!inner) return nullptr;
  }
  // The desktop window plays on the host's sound device; the headless screen on the sink.
  audio::openOutput(options.backend == Backend::Sdl ? audio::OutputKind::Host : audio::OutputKind::Sink);
  auto display = std::make_unique<ClosingDisplay>(std::move(inner), options);
  setCurrentDisplay(display.get());
  return display;
}

}  // namespace display
