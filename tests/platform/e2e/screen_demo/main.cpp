// A program on the device's screen for the end-to-end test: its window is red
// on the left half and blue on the right, marks every tap with a green square
// and reports taps and keys on stdout; Escape ends it.

#include <cstdio>

#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"

namespace {

POINT g_tap{-100, -100};

void fill(HDC dc, RECT r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

LRESULT demoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT c;
      GetClientRect(hwnd, &c);
      fill(dc, RECT{0, 0, c.right / 2, c.bottom}, RGB(255, 0, 0));
      fill(dc, RECT{c.right / 2, 0, c.right, c.bottom}, RGB(0, 0, 255));
      fill(dc, RECT{g_tap.x - 6, g_tap.y - 6, g_tap.x + 6, g_tap.y + 6}, RGB(0, 255, 0));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      g_tap = POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      POINT screen = g_tap;
      ClientToScreen(hwnd, &screen);
      std::printf("tap %ld %ld\n", static_cast<long>(screen.x), static_cast<long>(screen.y));
      std::fflush(stdout);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN:
      std::printf("key %u\n", static_cast<unsigned>(wParam));
      std::fflush(stdout);
      if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  display::DisplayOptions options;
  std::string error;
  if (!display::parseDisplayOptions(args, options, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  auto screen = display::openDisplay(options, error);
  if (!screen) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = demoProc;
  wc.lpszClassName = u"ScreenDemo";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"ScreenDemo", u"Screen demo", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
