// Popup menus at a point: placement, the answer, dismissal and submenus.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/platform/shell/shellfixture.h"
#include "tests/support/steps.h"

namespace {

enum : UINT { kAlpha = 1, kBeta = 2, kGamma = 3, kDelta = 4 };
// Rows of the test menu, from its top edge: Alpha, Beta, separator, More (a submenu), Delta (greyed).
constexpr int kAlphaMid = 10, kBetaMid = 28, kMoreMid = 53, kDeltaMid = 71;

struct Heard {
  std::vector<UINT> commands;
  std::vector<int> initPositions;  // WM_INITMENUPOPUP, in order
  int menusOpenAtInit = 0;
  static inline Heard* current = nullptr;
};

LRESULT popupOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) Heard::current->commands.push_back(LOWORD(wParam));
  if (message == WM_INITMENUPOPUP) {
    Heard::current->initPositions.push_back(LOWORD(lParam));
    for (const auto& w : wm::windowTree())
      if (w.visible && w.className == u"MNU") ++Heard::current->menusOpenAtInit;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Popup : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    Heard::current = &m_heard;
    WNDCLASSW wc{};
    wc.lpfnWndProc = popupOwnerProc;
    wc.lpszClassName = u"PopupOwner";
    RegisterClassW(&wc);
    RECT area = wm::workArea();
    m_window = CreateWindowExW(0, u"PopupOwner", u"Popup", WS_VISIBLE, area.left, area.top, area.right - area.left,
                               area.bottom - area.top, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(m_window);
    SetFocus(m_window);
    m_more = CreatePopupMenu();
    AppendMenuW(m_more, MF_STRING, kGamma, u"Gamma");
    m_menu = CreatePopupMenu();
    AppendMenuW(m_menu, MF_STRING, kAlpha, u"Alpha");
    AppendMenuW(m_menu, MF_STRING, kBeta, u"Beta");
    AppendMenuW(m_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_more), u"More");
    AppendMenuW(m_menu, MF_STRING, kDelta, u"Delta");
    EnableMenuItem(m_menu, kDelta, MF_BYCOMMAND | MF_GRAYED);
  }
  void TearDown() override {
    DestroyMenu(m_menu);
    Shell::TearDown();
  }

 public:
  std::vector<HWND> openMenus() {
    std::vector<HWND> out;
    for (const auto& w : wm::windowTree())
      if (w.visible && w.className == u"MNU") out.push_back(w.hwnd);
    return out;
  }
  RECT menuRect(size_t level = 0) {
    RECT r{};
    auto menus = openMenus();
    if (level < menus.size()) GetWindowRect(menus[level], &r);
    return r;
  }
  static void key(int vk) {
    wm::injectKey(vk, true);
    wm::injectKey(vk, false);
  }
  static void tapAt(POINT p) {
    wm::injectPen(wm::PenAction::Down, p);
    wm::injectPen(wm::PenAction::Up, p);
  }
  // A point on a row of the outermost (or a deeper) open menu.
  POINT rowPoint(int mid, size_t level = 0) {
    RECT r = menuRect(level);
    return POINT{r.left + 20, r.top + mid};
  }

 protected:
  BOOL track(UINT flags, POINT at, Steps& steps) {
    steps.start();
    BOOL answer = TrackPopupMenuEx(m_menu, flags, at.x, at.y, m_window, nullptr);
    wm::dispatchPending();
    EXPECT_TRUE(steps.allRan());
    EXPECT_TRUE(openMenus().empty());
    return answer;
  }

  Heard m_heard;
  HWND m_window = nullptr;
  HMENU m_menu = nullptr, m_more = nullptr;
};

TEST_F(Popup, OpensAtThePointAlignedAndKeptOnTheScreen) {
  // The menu's size, measured once.
  SIZE size{};
  Steps measure;
  measure.then([&] {
    RECT r = menuRect();
    size = SIZE{r.right - r.left, r.bottom - r.top};
    key(VK_ESCAPE);
  });
  track(TPM_RETURNCMD, POINT{20, 50}, measure);
  ASSERT_GT(size.cx, 0);
  ASSERT_GT(size.cy, 0);
  const LONG w = size.cx, h = size.cy;
  const LONG lowest = 320 - wm::kMenuBarHeight;

  struct Row {
    const char* label;
    POINT at;
    UINT flags;
    POINT topLeft;
  };
  const Row rows[] = {
      {"left and top at the point", {20, 50}, TPM_LEFTALIGN | TPM_TOPALIGN, {20, 50}},
      {"right edge at the point", {200, 50}, TPM_RIGHTALIGN, {200 - w, 50}},
      {"centred on the point", {120, 150}, TPM_CENTERALIGN | TPM_VCENTERALIGN, {120 - w / 2, 150 - h / 2}},
      {"bottom edge at the point", {20, 200}, TPM_BOTTOMALIGN, {20, 200 - h}},
      {"too far right: opens to the left", {200, 50}, TPM_LEFTALIGN, {200 - w, 50}},
      {"too low: opens upwards", {20, 280}, TPM_TOPALIGN, {20, 280 - h}},
      {"right-aligned too far left: opens to the right", {10, 50}, TPM_RIGHTALIGN, {10, 50}},
      {"bottom-aligned too high: opens downwards", {20, 10}, TPM_BOTTOMALIGN, {20, 10}},
      {"off the top left: pushed on", {-30, -40}, 0, {0, 0}},
      {"off the bottom right: pushed on, above the menu bar", {500, 600}, 0, {240 - w, lowest - h}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RECT seen{};
    Steps steps;
    steps.then([&] {
      seen = menuRect();
      key(VK_ESCAPE);
    });
    EXPECT_EQ(track(row.flags | TPM_RETURNCMD, row.at, steps), 0);
    EXPECT_EQ(seen.left, row.topLeft.x);
    EXPECT_EQ(seen.top, row.topLeft.y);
    EXPECT_EQ(seen.right - seen.left, w);
    EXPECT_EQ(seen.bottom - seen.top, h);
    EXPECT_GE(seen.left, 0);
    EXPECT_GE(seen.top, 0);
    EXPECT_LE(seen.right, 240);
    EXPECT_LE(seen.bottom, lowest);
  }
}

TEST_F(Popup, AnswersTheChoiceOrTellsTheOwner) {
  using Act = std::function<void(Popup&, Steps&)>;
  struct Row {
    const char* label;
    UINT flags;
    Act act;
    BOOL answer;
    std::vector<UINT> commands;  // WM_COMMAND the owner heard
  };
  const Row rows[] = {
      {"keys choose, the command answered",
       TPM_RETURNCMD,
       [](Popup&, Steps& s) {
         s.then([] {
           key(VK_DOWN);
           key(VK_DOWN);
           key(VK_RETURN);
         });
       },
       kBeta,
       {}},
      {"keys choose, the owner told",
       0,
       [](Popup&, Steps& s) {
         s.then([] {
           key(VK_DOWN);
           key(VK_RETURN);
         });
       },
       TRUE,
       {kAlpha}},
      {"Up wraps to the last choosable item, past the greyed one",
       TPM_RETURNCMD,
       [](Popup&, Steps& s) {
         s.then([] {
           key(VK_UP);
           key(VK_UP);
           key(VK_RETURN);
         });
       },
       kBeta,
       {}},
      {"Escape answers nothing", TPM_RETURNCMD, [](Popup&, Steps& s) { s.then([] { key(VK_ESCAPE); }); }, 0, {}},
      {"Escape without RETURNCMD: no command", 0, [](Popup&, Steps& s) { s.then([] { key(VK_ESCAPE); }); }, TRUE, {}},
      {"a tap outside answers nothing",
       TPM_RETURNCMD,
       [](Popup&, Steps& s) { s.then([] {
                                tapAt(POINT{230, 280});
                              }); },
       0,
       {}},
      {"a held tap outside answers nothing",
       TPM_RETURNCMD,
       [](Popup&, Steps& s) {
         s.then([] {
           wm::injectPen(wm::PenAction::Down, POINT{230, 280}, wm::PenButton::Right);
           wm::injectPen(wm::PenAction::Up, POINT{230, 280}, wm::PenButton::Right);
         });
       },
       0,
       {}},
      {"a tap on an item chooses it",
       TPM_RETURNCMD,
       [](Popup& p, Steps& s) { s.then([&p] { tapAt(p.rowPoint(kBetaMid)); }); },
       kBeta,
       {}},
      {"a tap on a greyed item keeps the menu open",
       TPM_RETURNCMD,
       [](Popup& p, Steps& s) {
         s.then([&p] { tapAt(p.rowPoint(kDeltaMid)); });
         s.then([&p] {
           EXPECT_EQ(p.openMenus().size(), 1u);
           key(VK_ESCAPE);
         });
       },
       0,
       {}},
      {"a pen drag is chosen where it is lifted",
       TPM_RETURNCMD,
       [](Popup& p, Steps& s) {
         s.then([&p] {
           wm::injectPen(wm::PenAction::Down, p.rowPoint(kAlphaMid));
           wm::injectPen(wm::PenAction::Move, p.rowPoint(kBetaMid));
           wm::injectPen(wm::PenAction::Up, p.rowPoint(kBetaMid));
         });
       },
       kBeta,
       {}},
      {"Right opens the submenu, Return chooses in it",
       TPM_RETURNCMD,
       [](Popup& p, Steps& s) {
         s.then([] {
           key(VK_DOWN);
           key(VK_DOWN);
           key(VK_DOWN);
           key(VK_RIGHT);
         });
         s.then([&p] {
           EXPECT_EQ(p.openMenus().size(), 2u);
           key(VK_RETURN);
         });
       },
       kGamma,
       {}},
      {"Left closes the submenu only",
       TPM_RETURNCMD,
       [](Popup& p, Steps& s) {
         s.then([] {
           key(VK_UP);
           key(VK_RIGHT);
           key(VK_LEFT);
         });
         s.then([&p] {
           EXPECT_EQ(p.openMenus().size(), 1u);
           key(VK_ESCAPE);
         });
       },
       0,
       {}},
      {"a tap opens the submenu, a tap in it chooses",
       0,
       [](Popup& p, Steps& s) {
         s.then([&p] { tapAt(p.rowPoint(kMoreMid)); });
         s.then([&p] {
           ASSERT_EQ(p.openMenus().size(), 2u);
           RECT sub = p.menuRect(1);
           RECT outer = p.menuRect(0);
           EXPECT_GE(sub.left, outer.right - 3) << "beside its parent";
           tapAt(p.rowPoint(kAlphaMid, 1));
         });
       },
       TRUE,
       {kGamma}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    m_heard = Heard{};
    Steps steps;
    row.act(*this, steps);
    EXPECT_EQ(track(row.flags, POINT{20, 60}, steps), row.answer);
    EXPECT_EQ(m_heard.commands, row.commands);
  }
}

TEST_F(Popup, TellsTheOwnerBeforeEachLevelOpensUnlessNoNotify) {
  struct Row {
    UINT flags;
    std::vector<int> positions;
  };
  for (const Row& row : {Row{TPM_RETURNCMD, {0, 3}}, Row{TPM_RETURNCMD | TPM_NONOTIFY, {}}}) {
    SCOPED_TRACE(row.flags);
    m_heard = Heard{};
    Steps steps;
    steps
        .then([] {
          key(VK_UP);
          key(VK_RIGHT);
        })
        .then([] { key(VK_RETURN); });
    EXPECT_EQ(track(row.flags, POINT{20, 60}, steps), static_cast<BOOL>(kGamma));
    EXPECT_EQ(m_heard.initPositions, row.positions);
    EXPECT_EQ(m_heard.menusOpenAtInit, row.positions.empty() ? 0 : 1) << "told before its own level shows";
  }
}

TEST_F(Popup, RefusesWhatCannotOpen) {
  HMENU empty = CreatePopupMenu();
  struct Row {
    const char* label;
    HMENU menu;
    HWND owner;
  };
  for (const Row& row :
       {Row{"no such menu", reinterpret_cast<HMENU>(0x7777), m_window},
        Row{"no owner", m_menu, reinterpret_cast<HWND>(0x7777)}, Row{"nothing in it", empty, m_window}}) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(TrackPopupMenuEx(row.menu, TPM_RETURNCMD, 10, 10, row.owner, nullptr), FALSE);
    EXPECT_TRUE(openMenus().empty());
  }
  DestroyMenu(empty);
}

TEST_F(Popup, KeysReachItThroughTheShellToo) {
  shell::start();
  Steps steps;
  steps.then([] {
    key(VK_DOWN);
    key(VK_RETURN);
  });
  EXPECT_EQ(track(TPM_RETURNCMD, POINT{20, 60}, steps), static_cast<BOOL>(kAlpha));
  // The thin form answers the same way.
  Steps again;
  again.then([] {
    key(VK_DOWN);
    key(VK_DOWN);
    key(VK_RETURN);
  });
  again.start();
  EXPECT_EQ(TrackPopupMenu(m_menu, TPM_RETURNCMD, 20, 60, 0, m_window, nullptr), static_cast<BOOL>(kBeta));
}

}  // namespace
