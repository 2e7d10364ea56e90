#pragma once
// For tests that run modal loops (dialogs, message boxes) on the headless
// screen: the loops wait on the virtual clock, so timers fire while they
// wait, and a timer answers each message box with OK, noting what it said.

#include <string>
#include <vector>

#include "platform/core/windowing.h"
#include "platform/core/winuser.h"

struct ShownBox {
  std::u16string caption, text;
};

// Each wait lets the time pass until the next timer.
class VirtualWait : public wm::HostEvents {
 public:
  explicit VirtualWait(wm::HostEvents* screen) : m_screen(screen) {}
  void present() override {
    if (m_screen) m_screen->present();
  }
  void wait(int timeoutMs) override { wm::advanceClock(timeoutMs > 0 ? static_cast<std::uint64_t>(timeoutMs) : 1); }
  wm::HostEvents* screen() const { return m_screen; }

 private:
  wm::HostEvents* m_screen;
};

// Answers the message box in front with OK every 5 ms of the clock while it
// lives, appending caption and text to `shown`.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::vector<ShownBox>& shown) {
    s_shown = &shown;
    m_timer = SetTimer(nullptr, 0, 5, answer);
  }
  ~BoxAnswerer() {
    KillTimer(nullptr, m_timer);
    s_shown = nullptr;
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Answers now, for a step that runs inside the box's own loop.
  static void answerNow() { answer(nullptr, 0, 0, 0); }

 private:
  static void answer(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = GetForegroundWindow();
    HWND ok = box ? GetDlgItem(box, IDOK) : nullptr;
    if (!ok || !GetDlgItem(box, 0xFFFF)) return;
    WCHAR caption[300] = {}, text[300] = {};
    GetWindowTextW(box, caption, 300);
    GetDlgItemTextW(box, 0xFFFF, text, 300);
    if (s_shown) s_shown->push_back({caption, text});
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  }
  static inline std::vector<ShownBox>* s_shown = nullptr;
  UINT_PTR m_timer = 0;
};
