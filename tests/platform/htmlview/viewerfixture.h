#pragma once
// The viewer tests' screen: a headless display, a parent window that records
// the viewer's notifications (and may answer picture requests), and helpers
// that read the screen's pixels.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/htmlview/htmlctrl.h"

struct Notice {
  UINT code;
  std::u16string target, data;
  DWORD cookie;
};

class Viewer : public testing::Test {
 protected:
  static inline Viewer* current = nullptr;
  std::vector<Notice> m_notices;
  // Called for each NM_INLINE_IMAGE, from inside the notification.
  std::function<void(HWND viewer, const NM_HTMLVIEW&)> m_onPicture;

  static LRESULT parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && current) {
      const auto* nm = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
      current->m_notices.push_back(
          {nm->hdr.code, nm->szTarget ? nm->szTarget : u"", nm->szData ? nm->szData : u"", nm->dwCookie});
      if (nm->hdr.code == NM_INLINE_IMAGE && current->m_onPicture) current->m_onPicture(nm->hdr.hwndFrom, *nm);
      return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

  void SetUp() override {
    wm::resetForTests();
    current = this;
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    WNDCLASSW wc{};
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = u"ViewerParent";
    RegisterClassW(&wc);
    ASSERT_TRUE(InitHTMLControl(nullptr));
    m_parent =
        CreateWindowExW(0, u"ViewerParent", u"Viewer", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    m_viewer = CreateWindowExW(0, WC_HTML, u"", WS_VISIBLE | WS_CHILD, 0, 0, kWidth, kHeight, m_parent, nullptr,
                               nullptr, nullptr);
    ASSERT_TRUE(m_viewer);
  }
  void TearDown() override {
    wm::resetForTests();
    m_display.reset();
    current = nullptr;
  }

  // Shows `html` (or plain text) as a new page and paints it.
  void show(const std::u16string& text, bool plain = false) {
    SendMessageW(m_viewer, DTM_CLEAR, 0, 0);
    SendMessageW(m_viewer, DTM_ADDTEXTW, plain, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(m_viewer, DTM_ENDOFSOURCE, 0, 0);
    settle();
  }
  void settle() {
    wm::dispatchPending();
    m_display->present();
  }
  void tap(POINT p) {
    wm::injectPen(wm::PenAction::Down, p);
    wm::dispatchPending();
    wm::injectPen(wm::PenAction::Up, p);
    settle();
  }
  void key(int vk) {
    SendMessageW(m_viewer, WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
    settle();
  }

  COLORREF at(int x, int y) { return gdi::colorOf(gdi::screenSurface().row(y)[x]); }
  // Pixels of `color` in the rectangle (right and bottom excluded).
  int count(COLORREF color, RECT r = {0, 0, kWidth, kHeight}) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += at(x, y) == color;
    return n;
  }
  // The first point of `color`, scanning rows from the top; (-1, -1) when none.
  POINT find(COLORREF color, RECT r = {0, 0, kWidth, kHeight}) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (at(x, y) == color) return {x, y};
    return {-1, -1};
  }
  // Dark pixels (text) in the rectangle.
  int ink(RECT r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        COLORREF c = at(x, y);
        n += GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100;
      }
    return n;
  }
  // The columns between the leftmost and rightmost dark pixel of the area.
  int inkWidth(RECT r) {
    int left = r.right, right = r.left - 1;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (ink({x, y, x + 1, y + 1})) left = std::min(left, x), right = std::max(right, x);
    return right < left ? 0 : right - left + 1;
  }

  // Runs of rows whose pixel at column x is `color`: (first row, height).
  std::vector<std::pair<int, int>> bandsAt(int x, COLORREF color) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < kHeight; ++y) {
      if (at(x, y) != color) continue;
      if (!bands.empty() && bands.back().first + bands.back().second == y)
        ++bands.back().second;
      else
        bands.push_back({y, 1});
    }
    return bands;
  }

  std::filesystem::path screenshotPath(const char* name) {
    const char* dir = std::getenv("ORVEL_BINARY_DIR");
    std::filesystem::path base =
        dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    return base / name;
  }

  static constexpr int kWidth = 240;
  static constexpr int kHeight = 268;
  std::unique_ptr<display::Display> m_display;
  HWND m_parent = nullptr;
  HWND m_viewer = nullptr;
};
