#pragma once
// Steps run one per posted message, each after the input the one before it
// injected: how a test acts inside a modal loop (a menu, a message box).

#include <deque>
#include <functional>

#include "platform/core/winuser.h"

class Steps {
 public:
  Steps() {
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, u"TestSteps", &wc)) {
      wc.lpfnWndProc = proc;
      wc.lpszClassName = u"TestSteps";
      RegisterClassW(&wc);
    }
    m_window = CreateWindowExW(0, u"TestSteps", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongW(m_window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Steps() {
    if (IsWindow(m_window)) DestroyWindow(m_window);
  }
  Steps(const Steps&) = delete;
  Steps& operator=(const Steps&) = delete;

  Steps& then(std::function<void()> step) {
    m_steps.push_back(std::move(step));
    return *this;
  }
  // Posts the first step: it runs once what is queued now has been handled.
  void start() { PostMessageW(m_window, kStep, 0, 0); }
  bool allRan() const { return m_steps.empty(); }

 private:
  static constexpr UINT kStep = WM_USER + 77;
  static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Steps*>(GetWindowLongW(hwnd, GWL_USERDATA));
    if (message != kStep || !self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (self->m_steps.empty()) return 0;
    auto step = std::move(self->m_steps.front());
    self->m_steps.pop_front();
    step();
    if (!self->m_steps.empty()) PostMessageW(hwnd, kStep, 0, 0);
    return 0;
  }
  HWND m_window = nullptr;
  std::deque<std::function<void()>> m_steps;
};
