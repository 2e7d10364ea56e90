// The HTML viewer fed a random page: one headless screen for the whole run,
// each input a new viewer whose page is laid out, painted, answered picture by
// picture, scrolled and tapped, and then destroyed (a viewer still alive at
// exit would hold its page past the device's own teardown).

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzzentries.h"
#include "platform/core/utf8.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/htmlview/htmlctrl.h"

namespace {

// Answers every other picture request with a small bitmap the viewer owns.
LRESULT parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const auto* nm = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
    if (nm->hdr.code == NM_INLINE_IMAGE && nm->dwCookie % 2 == 1) {
      INLINEIMAGEINFO info{nm->dwCookie, 7, 9, gdi::createBitmapFromPixels(9, 7, false, std::vector<std::uint32_t>(63)),
                           TRUE};
      SendMessageW(nm->hdr.hwndFrom, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
    }
    return 1;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Stage {
  std::unique_ptr<display::Display> screen;
  HWND parent = nullptr;
};

Stage& stage() {
  static Stage* s = [] {
    auto* made = new Stage;
    std::string error;
    made->screen = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    if (!made->screen || !InitHTMLControl(nullptr)) std::abort();
    WNDCLASSW wc{};
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = u"FuzzViewerParent";
    RegisterClassW(&wc);
    made->parent =
        CreateWindowExW(0, u"FuzzViewerParent", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    if (!made->parent) std::abort();
    return made;
  }();
  return *s;
}

void send(HWND viewer, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  SendMessageW(viewer, message, wParam, lParam);
  wm::dispatchPending();
}

}  // namespace

int fuzzHtmlViewer(const std::uint8_t* data, std::size_t size) {
  HWND viewer = CreateWindowExW(0, WC_HTML, u"", WS_VISIBLE | WS_CHILD, 0, 0, 240, 268, stage().parent, nullptr,
                                nullptr, nullptr);
  if (!viewer) std::abort();
  // The first byte picks plain text and where the source is cut in two.
  bool plain = size > 0 && (data[0] & 1);
  std::u16string text =
      size > 0 ? fromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)) : std::u16string();
  size_t cut = size > 0 ? text.size() * data[0] / 256 : 0;
  std::u16string first = text.substr(0, cut), second = text.substr(cut);
  send(viewer, DTM_CLEAR);
  send(viewer, DTM_ADDTEXTW, plain, reinterpret_cast<LPARAM>(first.c_str()));
  send(viewer, DTM_ADDTEXTW, FALSE, reinterpret_cast<LPARAM>(second.c_str()));
  send(viewer, DTM_ENDOFSOURCE);
  send(viewer, DTM_IMAGEFAIL, 0, 2);
  for (int vk : {VK_NEXT, VK_DOWN, VK_END, VK_HOME}) send(viewer, WM_KEYDOWN, static_cast<WPARAM>(vk));
  for (POINT p : {POINT{20, 20}, POINT{120, 130}}) {
    wm::injectPen(wm::PenAction::Down, p);
    wm::injectPen(wm::PenAction::Up, p);
    wm::dispatchPending();
  }
  if (!IsWindow(viewer)) std::abort();
  DestroyWindow(viewer);
  wm::dispatchPending();
  return 0;
}
