#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/platform/windows/recorder.h"

namespace {

// The messages of `hwnd` among those named, as one readable line.
std::string sequence(const Recorder& r, HWND hwnd, std::set<UINT> keep) {
  std::string out;
  for (UINT m : r.messagesFor(hwnd))
    if (keep.count(m)) out += (out.empty() ? "" : " ") + nameOf(m);
  return out;
}

const std::set<UINT> kLifecycle = {WM_CREATE, WM_SIZE, WM_MOVE, WM_DESTROY};

struct CreateSeen {
  bool visibleDuringCreate = true;
  void* param = nullptr;
  int cx = -1, cy = -1;
};
CreateSeen g_seen;

LRESULT createProbe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    g_seen.visibleDuringCreate = IsWindowVisible(hwnd);
    g_seen.param = cs->lpCreateParams;
    g_seen.cx = cs->cx;
    g_seen.cy = cs->cy;
    SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(WindowCreation, SendsCreateSizeMoveBeforeReturning) {
  Recorder r;
  HWND w = r.create(u"main", WS_VISIBLE, 10, 30, 100, 80);
  ASSERT_TRUE(w);
  EXPECT_EQ(sequence(r, w, kLifecycle), "CREATE SIZE MOVE");
  const Received* size = nullptr;
  const Received* move = nullptr;
  for (const auto& m : r.log) {
    if (m.message == WM_SIZE) size = &m;
    if (m.message == WM_MOVE) move = &m;
  }
  ASSERT_TRUE(size && move);
  EXPECT_EQ(LOWORD(size->lParam), 100);
  EXPECT_EQ(HIWORD(size->lParam), 80);
  EXPECT_EQ(LOWORD(move->lParam), 10);
  EXPECT_EQ(HIWORD(move->lParam), 30);
  EXPECT_TRUE(IsWindowVisible(w));
}

TEST(WindowCreation, CreateSeesItsParameterAndIsNotYetVisible) {
  Recorder r;
  WNDCLASSW wc{};
  wc.lpfnWndProc = createProbe;
  wc.lpszClassName = u"Probe";
  ASSERT_TRUE(RegisterClassW(&wc));
  EXPECT_FALSE(RegisterClassW(&wc)) << "a class is registered once";
  int owner = 7;
  HWND w = CreateWindowExW(0, u"probe", u"t", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           nullptr, nullptr, nullptr, &owner);
  ASSERT_TRUE(w) << "class names are matched ignoring case";
  EXPECT_FALSE(g_seen.visibleDuringCreate);
  EXPECT_EQ(g_seen.param, &owner);
  // The pointer survives whole in the user data of a 64-bit host.
  EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongW(w, GWL_USERDATA)), &owner);
  RECT rect;
  GetWindowRect(w, &rect);
  RECT work = wm::workArea();
  EXPECT_EQ(rect.left, work.left);
  EXPECT_EQ(rect.top, work.top);
  EXPECT_EQ(rect.right, work.right);
  EXPECT_EQ(rect.bottom, work.bottom);
  EXPECT_EQ(work.top, 26) << "below the task bar";
  EXPECT_EQ(work.bottom, 320 - 26) << "above the menu bar";
}

TEST(WindowCreation, FailsCleanly) {
  Recorder r;
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(r.create(u"orphan", WS_CHILD, 0, 0, 10, 10), nullptr) << "a child needs a parent";
  EXPECT_EQ(r.create(u"bad parent", WS_CHILD, 0, 0, 10, 10, reinterpret_cast<HWND>(0x4444)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

struct PlacementCase {
  const char* what;
  int x, y, w, h;
  const char* expected;
};

TEST(WindowPlacement, SizeOnlyWhenTheSizeChanges) {
  const PlacementCase cases[] = {
      {"same place and size", 0, 30, 100, 100, ""},
      {"moved only", 5, 40, 100, 100, "MOVE"},
      {"resized only", 0, 30, 120, 90, "SIZE"},
      {"moved and resized", 1, 31, 50, 50, "SIZE MOVE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder r;
    HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 100, 100);
    r.log.clear();
    MoveWindow(w, c.x, c.y, c.w, c.h, TRUE);
    EXPECT_EQ(sequence(r, w, kLifecycle), c.expected);
    r.log.clear();
    SetWindowPos(w, nullptr, c.x, c.y, c.w, c.h, SWP_NOZORDER);
    EXPECT_EQ(sequence(r, w, kLifecycle), "") << "SetWindowPos to where it already is";
  }
}

TEST(WindowDestruction, WindowFirstThenChildrenThenGone) {
  Recorder r;
  HWND parent = r.create(u"parent", WS_VISIBLE, 0, 30, 200, 200);
  HWND a = r.create(u"a", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent);
  HWND b = r.create(u"b", WS_CHILD | WS_VISIBLE, 60, 0, 50, 50, parent);
  HWND a1 = r.create(u"a1", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, a);
  r.log.clear();
  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<HWND> order;
  for (const auto& m : r.log)
    if (m.message == WM_DESTROY) order.push_back(m.hwnd);
  EXPECT_EQ(order, (std::vector<HWND>{parent, a, a1, b}));
  for (HWND h : {parent, a, b, a1}) EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(DestroyWindow(parent)) << "a destroyed window is no window";
}

LRESULT closingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(3);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(MessageLoop, PaintComesOnlyWhenTheQueueIsEmpty) {
  Recorder r;
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 100, 100);
  wm::dispatchPending();
  r.log.clear();
  InvalidateRect(w, nullptr, FALSE);
  PostMessageW(w, WM_USER, 1, 0);
  PostMessageW(w, WM_USER, 2, 0);
  MSG msg;
  std::vector<std::string> got;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got.push_back(nameOf(msg.message));
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"USER", "USER", "PAINT"}));
}

TEST(MessageLoop, PaintRegionIsHandedOutOnceEvenWhenIgnored) {
  Recorder r;
  r.validateOnPaint = false;  // a procedure that answers WM_PAINT without painting
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 100, 100);
  EXPECT_GE(wm::dispatchPending(), 1);
  EXPECT_EQ(wm::dispatchPending(), 0) << "an unvalidated window must not be asked again and again";
  RECT update;
  EXPECT_FALSE(GetUpdateRect(w, &update, FALSE));
}

TEST(MessageLoop, GetMessageEndsWithQuitAndItsCode) {
  Recorder r;
  WNDCLASSW wc{};
  wc.lpfnWndProc = closingProc;
  wc.lpszClassName = u"Closing";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, u"Closing", u"", WS_VISIBLE, 0, 30, 50, 50, nullptr, nullptr, nullptr, nullptr);
  PostMessageW(w, WM_CLOSE, 0, 0);
  MSG msg;
  int handled = 0;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    DispatchMessageW(&msg);
    ASSERT_LT(++handled, 100);
  }
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(IsWindow(w));
}

TEST(Timers, TickOnTheVirtualClock) {
  Recorder r;
  wm::useVirtualClock(true);
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 50, 50);
  wm::dispatchPending();
  ASSERT_EQ(SetTimer(w, 1124, 2000, nullptr), 1124u);
  auto ticks = [&] {
    return std::count_if(r.log.begin(), r.log.end(),
                         [](const Received& m) { return m.message == WM_TIMER && m.wParam == 1124; });
  };
  struct Step {
    std::uint64_t advance;
    long expectedTicks;
  };
  // After a late tick the next one comes a full period later.
  const Step steps[] = {{1999, 0}, {1, 1}, {0, 1}, {2000, 2}, {5000, 3}, {1000, 3}, {1000, 4}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.advance);
    wm::advanceClock(s.advance);
    wm::dispatchPending();
    EXPECT_EQ(ticks(), s.expectedTicks) << "a late loop gets one WM_TIMER, not a burst";
  }
  EXPECT_TRUE(KillTimer(w, 1124));
  EXPECT_FALSE(KillTimer(w, 1124));
  wm::advanceClock(10000);
  wm::dispatchPending();
  EXPECT_EQ(ticks(), 4);
}

TEST(Timers, DieWithTheirWindowAndSleepMovesTheVirtualClock) {
  Recorder r;
  wm::useVirtualClock(true);
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 50, 50);
  SetTimer(w, 1, 100, nullptr);
  DestroyWindow(w);
  EXPECT_FALSE(wm::msUntilNextTimer().has_value());
  DWORD before = GetTickCount();
  Sleep(250);
  EXPECT_EQ(GetTickCount() - before, 250u);
}

TEST(Keyboard, CharacterFollowsItsKeyDown) {
  Recorder r;
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 50, 50);
  SetFocus(w);
  wm::dispatchPending();
  r.log.clear();
  wm::injectKey('A', true);
  wm::injectKey('A', false);
  wm::injectKey(VK_SHIFT, true);
  wm::injectKey('B', true);
  wm::injectKey('B', false);
  wm::injectKey(VK_SHIFT, false);
  wm::injectKey(VK_LEFT, true);
  wm::dispatchPending();
  std::string got;
  for (const auto& m : r.log) {
    if (m.message == WM_CHAR) got += "char:" + std::string(1, static_cast<char>(m.wParam)) + " ";
    if (m.message == WM_KEYDOWN) got += "down:" + std::to_string(m.wParam) + " ";
    if (m.message == WM_KEYUP) got += "up:" + std::to_string(m.wParam) + " ";
  }
  EXPECT_EQ(got, "down:65 char:a up:65 down:16 down:66 char:B up:66 up:16 down:37 ");
  EXPECT_TRUE(GetKeyState(VK_LEFT) & 0x8000);
  EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
  EXPECT_TRUE(GetAsyncKeyState(VK_LEFT) & 0x8000);
}

WNDPROC g_previous = nullptr;
int g_swallowed = 0;

LRESULT swallowKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) {
    ++g_swallowed;
    return 0;
  }
  return CallWindowProcW(g_previous, hwnd, message, wParam, lParam);
}

TEST(Subclassing, NewProcedureSeesEverythingAndForwardsTheRest) {
  Recorder r;
  HWND w = r.create(u"w", WS_VISIBLE, 0, 30, 50, 50);
  g_previous = reinterpret_cast<WNDPROC>(SetWindowLongW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(swallowKeys)));
  ASSERT_TRUE(g_previous);
  r.log.clear();
  SendMessageW(w, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(w, WM_USER, 5, 6);
  EXPECT_EQ(g_swallowed, 1);
  EXPECT_EQ(sequence(r, w, {WM_KEYDOWN, WM_USER}), "USER");
}

TEST(Pen, GoesToTheWindowUnderItAndStaysWithItWhileDown) {
  Recorder r;
  HWND main = r.create(u"main", WS_VISIBLE, 0, 26, 240, 268);
  HWND child = r.create(u"child", WS_CHILD | WS_VISIBLE, 20, 20, 50, 50, main);
  wm::dispatchPending();
  r.log.clear();
  wm::injectPen(wm::PenAction::Down, POINT{30, 56});    // child (10, 10)
  wm::injectPen(wm::PenAction::Move, POINT{200, 200});  // outside the child, still its
  wm::injectPen(wm::PenAction::Up, POINT{200, 210});
  wm::injectPen(wm::PenAction::Move, POINT{100, 100});  // no hover on a pen device
  wm::dispatchPending();
  std::vector<Received> pen;
  for (const auto& m : r.log)
    if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) pen.push_back(m);
  ASSERT_EQ(pen.size(), 3u);
  for (const auto& m : pen) EXPECT_EQ(m.hwnd, child);
  EXPECT_EQ(pen[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(LOWORD(pen[0].lParam), 10);
  EXPECT_EQ(HIWORD(pen[0].lParam), 10);
  EXPECT_EQ(pen[1].message, WM_MOUSEMOVE);
  EXPECT_EQ(pen[1].wParam & MK_LBUTTON, MK_LBUTTON);
  EXPECT_EQ(static_cast<SHORT>(LOWORD(pen[1].lParam)), 180);
  EXPECT_EQ(pen[2].message, WM_LBUTTONUP);
}

TEST(Pen, DisabledWindowsTakeNothing) {
  Recorder r;
  HWND main = r.create(u"main", WS_VISIBLE, 0, 26, 240, 268);
  HWND child = r.create(u"child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, main);
  EnableWindow(main, FALSE);
  wm::dispatchPending();
  r.log.clear();
  wm::injectPen(wm::PenAction::Down, POINT{10, 30});
  wm::injectPen(wm::PenAction::Up, POINT{10, 30});
  wm::dispatchPending();
  EXPECT_EQ(sequence(r, child, {WM_LBUTTONDOWN, WM_LBUTTONUP}), "");
  EXPECT_EQ(sequence(r, main, {WM_LBUTTONDOWN, WM_LBUTTONUP}), "");
}

TEST(Focus, MovesWithKillAndSetFocusAndKeysFollowIt) {
  Recorder r;
  HWND main = r.create(u"main", WS_VISIBLE, 0, 26, 240, 268);
  HWND a = r.create(u"a", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, main);
  HWND b = r.create(u"b", WS_CHILD | WS_VISIBLE, 60, 0, 50, 50, main);
  SetFocus(a);
  r.log.clear();
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(GetFocus(), b);
  EXPECT_EQ(sequence(r, a, {WM_KILLFOCUS, WM_SETFOCUS}), "KILLFOCUS");
  EXPECT_EQ(sequence(r, b, {WM_KILLFOCUS, WM_SETFOCUS}), "SETFOCUS");
  wm::injectKey(VK_DOWN, true);
  wm::dispatchPending();
  EXPECT_EQ(sequence(r, b, {WM_KEYDOWN}), "KEYDOWN");
  DestroyWindow(b);
  EXPECT_EQ(GetFocus(), nullptr) << "a destroyed window gives the focus up";
}

TEST(Activation, NewTopLevelWindowsComeForwardAndTheNextTakesOver) {
  Recorder r;
  HWND first = r.create(u"first", WS_VISIBLE, 0, 26, 240, 268);
  HWND second = r.create(u"second", WS_VISIBLE, 0, 26, 240, 268);
  EXPECT_EQ(GetForegroundWindow(), second);
  EXPECT_EQ(wm::foregroundTitle(), u"second");
  EXPECT_EQ(FindWindowW(u"Recorder", u"first"), first);
  EXPECT_EQ(FindWindowW(nullptr, u"none"), nullptr);
  DestroyWindow(second);
  EXPECT_EQ(GetForegroundWindow(), first);
  auto tree = wm::windowTree();
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].title, u"first");
  EXPECT_TRUE(tree[0].active);
}

TEST(WindowText, SetAndGetWithTruncation) {
  Recorder r;
  HWND w = r.create(u"Orvel Flash Player", WS_VISIBLE, 0, 26, 10, 10);
  WCHAR buffer[6];
  EXPECT_EQ(GetWindowTextW(w, buffer, 6), 5);
  EXPECT_EQ(std::u16string(buffer), u"Orvel");
  EXPECT_EQ(GetWindowTextLengthW(w), 18);
  SetWindowTextW(w, u"x");
  EXPECT_EQ(GetWindowTextW(w, buffer, 6), 1);
}

TEST(System, MetricsColoursAndCursor) {
  Recorder r;
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW | SYS_COLOR_INDEX_FLAG), RGB(255, 255, 255));
  EXPECT_EQ(GetScrollPos(nullptr, SB_VERT), 0);
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  ASSERT_TRUE(wait);
  HCURSOR old = SetCursor(wait);
  EXPECT_TRUE(wm::waitCursorShown());
  SetCursor(old);
  EXPECT_FALSE(wm::waitCursorShown());
}

}  // namespace
