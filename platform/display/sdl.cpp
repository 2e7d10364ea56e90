// The SDL2 backend: the screen in a desktop window, scaled by an integer zoom.

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/audio/sdlcalls.h"
#include "platform/core/windowing.h"
#include "platform/display/displayimpl.h"
#include "platform/display/drop.h"
#include "platform/display/script.h"

namespace display {
namespace {

struct KeyBinding {
  SDL_Keycode key;
  int vk;
};

// Host keys for the handheld's keys; everything else that has a virtual key
// of its own (letters, digits, editing keys, modifiers) maps to it.
constexpr KeyBinding kKeys[] = {
    {SDLK_LEFT, VK_LEFT},      {SDLK_RIGHT, VK_RIGHT},     {SDLK_UP, VK_UP},         {SDLK_DOWN, VK_DOWN},
    {SDLK_RETURN, VK_RETURN},  {SDLK_KP_ENTER, VK_RETURN}, {SDLK_F1, VK_APP1},       {SDLK_F2, VK_APP1 + 1},
    {SDLK_F3, VK_APP1 + 2},    {SDLK_F4, VK_APP1 + 3},     {SDLK_F5, VK_APP1 + 4},   {SDLK_F6, VK_APP1 + 5},
    {SDLK_F7, VK_APP1 + 6},    {SDLK_F8, VK_APP1 + 7},     {SDLK_F9, VK_APP1 + 8},   {SDLK_SPACE, VK_SPACE},
    {SDLK_BACKSPACE, VK_BACK}, {SDLK_TAB, VK_TAB},         {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_DELETE, VK_DELETE},
    {SDLK_LSHIFT, VK_SHIFT},   {SDLK_RSHIFT, VK_SHIFT},    {SDLK_LCTRL, VK_CONTROL}, {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},      {SDLK_HOME, VK_HOME},       {SDLK_END, VK_END},       {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},  {SDLK_PERIOD, 0xBE},        {SDLK_COMMA, 0xBC},       {SDLK_MINUS, 0xBD},
    {SDLK_SLASH, 0xBF},
};

using audio::SdlCalls;

// X11's flush, found in the copy SDL brought in; none under another driver.
decltype(&XFlush) x11Flush() {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  auto flush = x11 ? reinterpret_cast<decltype(&XFlush)>(dlsym(x11, "XFlush")) : nullptr;
  if (x11) dlclose(x11);  // SDL keeps it loaded
  return flush;
}

int vkFor(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  for (const auto& k : kKeys)
    if (k.key == key) return k.vk;
  return 0;
}

class SdlDisplay final : public Display, public wm::HostEvents {
 public:
  explicit SdlDisplay(const DisplayOptions& options) : m_zoom(options.zoom) {}

  ~SdlDisplay() override {
    if (!m_sdl) return;
    if (m_texture) m_sdl->destroyTexture(m_texture);
    if (m_renderer) m_sdl->destroyRenderer(m_renderer);
    if (m_window) m_sdl->destroyWindow(m_window);
    if (m_videoStarted) m_sdl->quitSubSystem(SDL_INIT_VIDEO);
  }

  bool start(std::string& error) {
    m_sdl = audio::sdl();
    if (!m_sdl) {
      error = std::string("cannot open the screen: ") + audio::sdlLoadError();
      return false;
    }
    if (m_sdl->initSubSystem(SDL_INIT_VIDEO) != 0) {
      error = std::string("cannot open the screen: ") + m_sdl->getError();
      return false;
    }
    m_videoStarted = true;
    // Without a desktop SDL falls back to drivers that show nothing: a window
    // no one can see or use is refused, unless those drivers were asked for.
    const std::string_view driver = m_sdl->getCurrentVideoDriver() ? m_sdl->getCurrentVideoDriver() : "";
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if ((driver == "offscreen" || driver == "dummy") && !(chosen && driver == chosen)) {
      error =
          "cannot open the screen: no desktop display here (DISPLAY is not set); --headless keeps the screen in memory";
      return false;
    }
    SIZE s = wm::screenSize();
    m_sdl->setHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    m_window = m_sdl->createWindow("OrvelFlash device", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, s.cx * m_zoom,
                                   s.cy * m_zoom, 0);
    if (m_window) m_renderer = m_sdl->createRenderer(m_window, -1, SDL_RENDERER_SOFTWARE);
    if (m_renderer)
      m_texture = m_sdl->createTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, s.cx, s.cy);
    if (!m_texture) {
      error = std::string("cannot open the screen: ") + m_sdl->getError();
      return false;
    }
    m_sdl->eventState(SDL_DROPFILE, SDL_ENABLE);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (m_sdl->getWindowWMInfo(m_window, &info) && info.subsystem == SDL_SYSWM_X11) {
      m_xDisplay = info.info.x11.display;
      m_xFlush = x11Flush();
      if (m_xFlush) m_hostFd = ConnectionNumber(m_xDisplay);
    }
    m_fullRedraw = true;
    return true;
  }

  void present() override {
    pumpEvents();
    updateTitle();
    m_frame.update();
    Region dirty = m_frame.takeDirty();
    if (dirty.empty() && !m_fullRedraw) return;
    const gdi::Surface& f = m_frame.surface();
    RECT b = m_fullRedraw ? RECT{0, 0, f.width, f.height} : dirty.bounds();
    SDL_Rect area{b.left, b.top, b.right - b.left, b.bottom - b.top};
    m_sdl->updateTexture(m_texture, &area, f.row(b.top) + b.left, f.width * 4);
    m_sdl->renderCopy(m_renderer, m_texture, nullptr, nullptr);
    m_sdl->renderPresent(m_renderer);
    m_fullRedraw = false;
  }

  const gdi::Surface& frame() override {
    m_frame.update();
    return m_frame.surface();
  }
  Backend backend() const override { return Backend::Sdl; }

  void wait(int timeoutMs) override {
    if (pumpEvents() || timeoutMs == 0) return;
    if (m_hostFd >= 0) {
      m_xFlush(m_xDisplay);
      wm::waitForActivity(m_hostFd, timeoutMs);
    } else {
      // No descriptor to sleep on (an X-less video driver): wait in SDL itself.
      m_sdl->waitEventTimeout(nullptr, timeoutMs < 0 ? 100 : std::min(timeoutMs, 100));
    }
    pumpEvents();
  }

 private:
  POINT devicePoint(int x, int y) const { return POINT{x / m_zoom, y / m_zoom}; }

  // Answers true when something was delivered to the device.
  bool pumpEvents() {
    bool delivered = false;
    SDL_Event e;
    while (m_sdl->pollEvent(&e)) delivered |= handle(e);
    return delivered;
  }

  bool handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) return false;
        auto button = e.button.button == SDL_BUTTON_LEFT ? wm::PenButton::Left : wm::PenButton::Right;
        wm::injectPen(e.type == SDL_MOUSEBUTTONDOWN ? wm::PenAction::Down : wm::PenAction::Up,
                      devicePoint(e.button.x, e.button.y), button);
        return true;
      }
      case SDL_MOUSEMOTION:
        if (!(e.motion.state & SDL_BUTTON_LMASK)) return false;
        wm::injectPen(wm::PenAction::Move, devicePoint(e.motion.x, e.motion.y));
        return true;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        int vk = vkFor(e.key.keysym.sym);
        if (!vk) return false;
        wm::injectKey(vk, e.type == SDL_KEYDOWN);
        return true;
      }
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          m_fullRedraw = true;
        return false;
      case SDL_DROPFILE: {
        std::string said;
        if (e.drop.file) dropHostFile(e.drop.file, said);
        m_sdl->free(e.drop.file);
        return true;
      }
      case SDL_QUIT:
        closeEverything();
        return true;
      default:
        return false;
    }
  }

  // Closing the desktop window closes the device's windows, as its owner would.
  void closeEverything() {
    bool any = false;
    for (const auto& w : wm::windowTree())
      if (w.visible) {
        PostMessageW(w.hwnd, WM_CLOSE, 0, 0);
        any = true;
      }
    if (!any) PostQuitMessage(0);
  }

  void updateTitle() {
    std::u16string title = wm::foregroundTitle();
    if (title == m_title && m_titled) return;
    m_title = title;
    m_titled = true;
    std::string text = title.empty() ? std::string("OrvelFlash device") : narrow(title);
    m_sdl->setWindowTitle(m_window, text.c_str());
  }

  int m_zoom;
  const SdlCalls* m_sdl = nullptr;
  bool m_videoStarted = false;
  SDL_Window* m_window = nullptr;
  SDL_Renderer* m_renderer = nullptr;
  SDL_Texture* m_texture = nullptr;
  ::Display* m_xDisplay = nullptr;
  decltype(&XFlush) m_xFlush = nullptr;
  int m_hostFd = -1;
  FrameComposer m_frame;
  bool m_fullRedraw = true;
  std::u16string m_title;
  bool m_titled = false;
};

}  // namespace

std::unique_ptr<Display> openSdlDisplay(const DisplayOptions& options, std::string& error) {
  auto d = std::make_unique<SdlDisplay>(options);
  if (!d->start(error)) return nullptr;
  wm::setHostEvents(d.get());
  return d;
}

}  // namespace display
