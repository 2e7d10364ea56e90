#pragma once
// The shell tests' screen: a headless display, the player's resources, and an
// owner window that records the commands and keys it is sent.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/core/resource.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "resources/playerresources.h"

// What the owner window was told.
struct Owner {
  std::vector<WPARAM> commands;
  std::vector<WPARAM> keys;
  std::vector<WPARAM> chars;
  int sipChanges = 0;  // WM_SETTINGCHANGE with SPI_SETSIPINFO
  static inline Owner* current = nullptr;
};

inline LRESULT ownerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    Owner::current->commands.push_back(LOWORD(wParam));
    return 0;
  }
  if (message == WM_CHAR) {
    Owner::current->chars.push_back(wParam);
    return 0;
  }
  if (message == WM_SETTINGCHANGE && wParam == SPI_SETSIPINFO) {
    ++Owner::current->sipChanges;
    return 0;
  }
  if (message == WM_KEYDOWN) {
    Owner::current->keys.push_back(wParam);
    return 0;
  }
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<LONG_PTR>(COLOR_WINDOW + 1)));
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    shell::resetForTests();
    Owner::current = &m_owner;
    registerPlayerResources(nullptr);
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownerProc;
    wc.lpszClassName = u"Owner";
    RegisterClassW(&wc);
  }
  void TearDown() override {
    shell::resetForTests();
    wm::resetForTests();
    m_display.reset();
    res::registerModule(nullptr, nullptr);
  }

  HWND createOwner(const char16_t* title = u"Orvel Flash Player") {
    RECT area = wm::workArea();
    HWND w = CreateWindowExW(0, u"Owner", title, WS_VISIBLE, area.left, area.top, area.right - area.left,
                             area.bottom - area.top, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(w);
    return w;
  }

  HWND createMenuBar(HWND owner) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.nToolBarId = playerres::kMainMenu;
    EXPECT_TRUE(SHCreateMenuBar(&info));
    return info.hwndMB;
  }

  // The player's own additions: four tooltips, the standard bitmap and the open-file button.
  void addOpenFileButton(HWND bar) {
    LPCWSTR tips[] = {u"", u"", u"", u"Open File"};
    SendMessageW(bar, TB_SETTOOLTIPS, 4, reinterpret_cast<LPARAM>(tips));
    EXPECT_EQ(CommandBar_AddBitmap(bar, HINST_COMMCTRL, IDB_STD_SMALL_COLOR, kStandardImageCount, 16, 16), 0);
    TBBUTTON button{STD_FILEOPEN, 40007, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0};
    EXPECT_TRUE(SendMessageW(bar, TB_ADDBUTTONS, 1, reinterpret_cast<LPARAM>(&button)));
  }

  void tap(POINT p) {
    wm::injectPen(wm::PenAction::Down, p);
    wm::dispatchPending();
    wm::injectPen(wm::PenAction::Up, p);
    wm::dispatchPending();
  }

  POINT buttonCentre(HWND bar, int index) {
    RECT r{};
    EXPECT_TRUE(SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(bar, &p);
    return p;
  }

  // The visible top-level window of a class that lies at the top of the tree.
  HWND visibleOfClass(const char16_t* cls) {
    HWND found = nullptr;
    for (const auto& w : wm::windowTree())
      if (w.visible && w.className == cls) found = w.hwnd;
    return found;
  }

  std::filesystem::path screenshotPath(const char* name) {
    const char* dir = std::getenv("ORVEL_BINARY_DIR");
    std::filesystem::path base =
        dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    return base / name;
  }

  Owner m_owner;
  std::unique_ptr<display::Display> m_display;
};
