#include <gtest/gtest.h>

#include "platform/core/windowing.h"
#include "tests/platform/gdi/pixels.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

COLORREF screenAt(int x, int y) { return gdi::colorOf(gdi::screenSurface().row(y)[x]); }

int screenCount(COLORREF c, RECT r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += screenAt(x, y) == c;
  return n;
}

int area(RECT r) { return (r.right - r.left) * (r.bottom - r.top); }

RECT g_lastPaint;
int g_paints = 0;

// Paints its whole client area in the colour kept in its user data, through BeginPaint.
LRESULT paintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    g_lastPaint = ps.rcPaint;
    ++g_paints;
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongW(hwnd, GWL_USERDATA)));
    FillRect(dc, &client, b);
    DeleteObject(b);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowDc : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    gdi::installWindowHooks();
    WNDCLASSW wc{};
    wc.lpfnWndProc = paintProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = u"Painter";
    RegisterClassW(&wc);
    g_paints = 0;
  }
  void TearDown() override { wm::resetForTests(); }

  HWND make(COLORREF color, DWORD style, RECT r, HWND parent = nullptr) {
    HWND w = CreateWindowExW(0, u"Painter", u"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                             nullptr, nullptr, nullptr);
    SetWindowLongW(w, GWL_USERDATA, static_cast<LONG_PTR>(color));
    InvalidateRect(w, nullptr, TRUE);
    return w;
  }
};

TEST_F(WindowDc, ChildrenAreClippedToTheirParent) {
  HWND parent = make(kGreen, WS_VISIBLE, RECT{20, 50, 120, 150});
  make(kRed, WS_CHILD | WS_VISIBLE, RECT{80, 80, 180, 180}, parent);  // reaches past the parent
  wm::dispatchPending();
  EXPECT_EQ(screenCount(kRed, RECT{100, 130, 120, 150}), 20 * 20);
  EXPECT_EQ(screenCount(kRed, RECT{120, 130, 240, 320}), 0) << "nothing outside the parent";
  EXPECT_EQ(screenAt(99, 129), kGreen);
}

TEST_F(WindowDc, ClipChildrenKeepsTheParentOutOfItsChildren) {
  struct Case {
    const char* what;
    DWORD parentStyle;
    COLORREF insideChild;
  };
  const Case cases[] = {
      {"WS_CLIPCHILDREN", WS_VISIBLE | WS_CLIPCHILDREN, kRed},
      {"without it the child is painted again after the parent", WS_VISIBLE, kRed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    HWND parent = make(kGreen, c.parentStyle, RECT{0, 26, 240, 294});
    make(kRed, WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 60}, parent);
    wm::dispatchPending();
    // A parent that draws over its whole client area through GetDC.
    HDC dc = GetDC(parent);
    RECT all{0, 0, 240, 268};
    Brush blue(kBlue);
    FillRect(dc, &all, blue);
    ReleaseDC(parent, dc);
    bool clipped = c.parentStyle & WS_CLIPCHILDREN;
    EXPECT_EQ(screenCount(clipped ? kRed : kBlue, RECT{10, 36, 60, 86}), 50 * 50);
    EXPECT_EQ(screenAt(100, 100), kBlue);
  }
}

TEST_F(WindowDc, LaterSiblingsLieOnTop) {
  HWND parent = make(kGreen, WS_VISIBLE | WS_CLIPCHILDREN, RECT{0, 26, 240, 294});
  HWND first = make(kRed, WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, parent);
  make(kBlue, WS_CHILD | WS_VISIBLE, RECT{50, 50, 150, 150}, parent);
  wm::dispatchPending();
  InvalidateRect(first, nullptr, TRUE);  // the first paints again, after the second
  wm::dispatchPending();
  EXPECT_EQ(screenAt(75, 26 + 75), kBlue);
  EXPECT_EQ(screenAt(25, 26 + 25), kRed);
  EXPECT_EQ(screenAt(125, 26 + 125), kBlue);
}

TEST_F(WindowDc, BeginPaintReportsAndClipsToTheUpdateArea) {
  HWND w = make(kGreen, WS_VISIBLE, RECT{0, 26, 240, 294});
  wm::dispatchPending();
  gdi::takeScreenDirty();
  SetWindowLongW(w, GWL_USERDATA, static_cast<LONG_PTR>(kRed));
  RECT part{10, 20, 30, 25};
  InvalidateRect(w, &part, FALSE);
  g_paints = 0;
  wm::dispatchPending();
  EXPECT_EQ(g_paints, 1);
  EXPECT_EQ(g_lastPaint.left, 10);
  EXPECT_EQ(g_lastPaint.top, 20);
  EXPECT_EQ(g_lastPaint.right, 30);
  EXPECT_EQ(g_lastPaint.bottom, 25);
  EXPECT_EQ(screenCount(kRed, wm::screenRect()), area(part)) << "painting outside the update area reaches nothing";
  RECT dirty = gdi::takeScreenDirty().bounds();
  EXPECT_EQ(dirty.left, 10);
  EXPECT_EQ(dirty.top, 46);
  EXPECT_EQ(dirty.right, 30);
  EXPECT_EQ(dirty.bottom, 51) << "only the changed area is to be presented";
}

TEST_F(WindowDc, HidingAndMovingRepaintWhatWasUnderneath) {
  HWND below = make(kGreen, WS_VISIBLE, RECT{0, 26, 240, 294});
  HWND above = make(kRed, WS_VISIBLE, RECT{20, 60, 80, 120});
  wm::dispatchPending();
  EXPECT_EQ(screenAt(30, 70), kRed);
  MoveWindow(above, 100, 60, 60, 60, TRUE);
  wm::dispatchPending();
  EXPECT_EQ(screenAt(30, 70), kGreen);
  EXPECT_EQ(screenAt(110, 70), kRed);
  ShowWindow(above, SW_HIDE);
  wm::dispatchPending();
  EXPECT_EQ(screenAt(110, 70), kGreen);
  DestroyWindow(below);
  wm::dispatchPending();
  EXPECT_EQ(screenAt(110, 70), GetSysColor(COLOR_BACKGROUND)) << "the desktop shows through";
}

TEST_F(WindowDc, DefaultPaintErasesWithTheClassBrush) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = u"Plain";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"Plain", u"", WS_VISIBLE, 0, 26, 50, 50, nullptr, nullptr, nullptr, nullptr);
  wm::dispatchPending();
  EXPECT_EQ(screenAt(10, 40), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
