#pragma once
// The common controls' tests: a headless screen and a parent window that
// records every WM_NOTIFY and lets a test choose the answers.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/display/script.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

struct Notice {
  UINT code;
  int item;  // the row for list views; -1 otherwise
  bool operator==(const Notice&) const = default;
};

struct Parent {
  std::vector<Notice> notices;
  std::vector<WPARAM> commands;
  std::vector<std::u16string> labelTexts;  // "(null)" for a cancelled edit
  std::function<LRESULT(NMHDR*)> answer;   // may be empty
  bool clicksCarryItem = false;            // NM_CLICK comes with NMITEMACTIVATE (list views)
  static inline Parent* current = nullptr;
};

inline LRESULT parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) Parent::current->commands.push_back(LOWORD(wParam));
  if (message != WM_NOTIFY) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  Parent& p = *Parent::current;
  int item = -1;
  if (header->code == NM_CLICK && p.clicksCarryItem) item = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
  if (header->code == LVN_ITEMCHANGING || header->code == LVN_ITEMCHANGED || header->code == LVN_INSERTITEM ||
      header->code == LVN_DELETEITEM)
    item = reinterpret_cast<NMLISTVIEW*>(lParam)->iItem;
  p.notices.push_back({header->code, item});
  if (header->code == TVN_ENDLABELEDITW) {
    auto* info = reinterpret_cast<NMTVDISPINFOW*>(lParam);
    p.labelTexts.push_back(info->item.pszText ? std::u16string(info->item.pszText) : u"(null)");
  }
  return p.answer ? p.answer(header) : 0;
}

class Views : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    Parent::current = &m_parent;
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    InitCommonControls();
    WNDCLASSW wc{};
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = u"ViewParent";
    RegisterClassW(&wc);
    RECT area = wm::workArea();
    m_owner = CreateWindowExW(0, u"ViewParent", u"Views", WS_VISIBLE, area.left, area.top, area.right - area.left,
                              area.bottom - area.top, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(m_owner);
  }
  void TearDown() override {
    wm::resetForTests();
    m_display.reset();
  }

  HWND create(const WCHAR* cls, DWORD style, RECT r, int id = 7) {
    HWND w =
        CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        m_owner, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    EXPECT_TRUE(w);
    return w;
  }

  // A tap at a point of `w`'s client area.
  void tap(HWND w, POINT p) {
    ClientToScreen(w, &p);
    wm::injectPen(wm::PenAction::Down, p);
    wm::dispatchPending();
    wm::injectPen(wm::PenAction::Up, p);
    wm::dispatchPending();
  }
  void key(int vk) {
    wm::injectKey(vk, true);
    wm::dispatchPending();
    wm::injectKey(vk, false);
    wm::dispatchPending();
  }
  // The screen's pixel at a point of `w`'s client area, after painting.
  std::uint32_t pixel(HWND w, POINT p) {
    wm::dispatchPending();
    ClientToScreen(w, &p);
    return m_display->frame().row(p.y)[p.x];
  }
  std::vector<UINT> codes() const {
    std::vector<UINT> out;
    for (const auto& n : m_parent.notices) out.push_back(n.code);
    return out;
  }
  void screenshot(const char* name) {
    wm::dispatchPending();
    const char* dir = std::getenv("ORVEL_BINARY_DIR");
    std::filesystem::path base =
        dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    EXPECT_TRUE(display::writePng(m_display->frame(), (base / name).string()));
  }

  Parent m_parent;
  HWND m_owner = nullptr;
  std::unique_ptr<display::Display> m_display;
};
