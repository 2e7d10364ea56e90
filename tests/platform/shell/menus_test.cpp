// The menu bar's drop-downs driven by keys and by the pen, with nested submenus.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/shell/shellfixture.h"

namespace {

const HINSTANCE kMenuModule = reinterpret_cast<HINSTANCE>(0x5150);
constexpr UINT kMenuId = 500;

enum : UINT {
  kOpen = 101,
  kPlaylist = 102,
  kLocked = 103,
  kExit = 104,
  kIntro = 111,
  kGame = 112,
  kDemo = 113,
  kZoom200 = 121,
  kZoom100 = 122,
  kFit = 123,
  kDocs = 131,
  kToolA = 141,
  kToolB = 142,
  kToolC = 143,
};

res::MenuItem item(const char16_t* text, UINT id, UINT flags = 0) { return res::MenuItem{text, id, flags, {}}; }
res::MenuItem sub(const char16_t* text, std::vector<res::MenuItem> items) {
  return res::MenuItem{text, 0, MF_POPUP, std::move(items)};
}
res::MenuItem separator() { return res::MenuItem{u"", 0, MF_SEPARATOR, {}}; }

// File, View and Help, each a drop-down of the bar, with submenus two deep.
const res::ModuleResources& menuModule() {
  static const res::ModuleResources module{
      {},
      {},
      {res::MenuResource{
          kMenuId,
          {sub(u"File", {item(u"Open File...", kOpen),
                         sub(u"Recent Files", {item(u"intro.swf", kIntro), item(u"game.swf", kGame),
                                               sub(u"More", {item(u"demo.swf", kDemo)})}),
                         item(u"Playlist...", kPlaylist), separator(), item(u"Locked", kLocked, MF_GRAYED),
                         item(u"Exit", kExit)}),
           sub(u"View", {sub(u"Zoom", {item(u"200%", kZoom200), item(u"100%", kZoom100)}), item(u"Fit Display", kFit)}),
           sub(u"Help", {item(u"Online Documentation Pages", kDocs),
                         sub(u"Tools", {item(u"First tool", kToolA), item(u"Second tool", kToolB),
                                        item(u"Third tool", kToolC)})})}}},
      {},
      {},
      {},
      {}};
  return module;
}

class Menus : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    res::registerModule(kMenuModule, &menuModule());
    m_window = createOwner(u"Menus");
    SHMENUBARINFO info{sizeof info, m_window, SHCMBF_HMENU, kMenuId, kMenuModule, 0, 0, nullptr, 0};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    m_bar = info.hwndMB;
    SetFocus(m_window);
  }
  void TearDown() override {
    res::registerModule(kMenuModule, nullptr);
    Shell::TearDown();
  }

  void press(int vk) {
    wm::injectKey(vk, true);
    wm::injectKey(vk, false);
    wm::dispatchPending();
  }

  // The open menu windows, outermost first.
  std::vector<HWND> openMenus() {
    std::vector<HWND> out;
    for (const auto& w : wm::windowTree())
      if (w.visible && w.className == u"MNU") out.push_back(w.hwnd);
    return out;
  }

  RECT windowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
  }

  // The screen point of a menu's item, items 18 pixels high and separators 7, below a 1-pixel frame.
  POINT itemPoint(HWND menu, int row, int separatorsAbove = 0) {
    RECT r = windowRect(menu);
    return POINT{r.left + 30, r.top + 1 + separatorsAbove * 7 + (row - separatorsAbove) * 18 + 9};
  }

  HWND m_window = nullptr;
  HWND m_bar = nullptr;
};

struct KeyRow {
  const char* what;
  int button;  // the drop-down tapped open first
  std::vector<int> keys;
  std::vector<WPARAM> commands;
  size_t menusLeftOpen;
  std::vector<WPARAM> keysToWindow = {};  // what reached the window once the menus closed
};

const KeyRow kKeyRows[] = {
    {"Down highlights the first item", 0, {VK_DOWN, VK_RETURN}, {kOpen}, 0},
    {"Up from nothing wraps to the last", 0, {VK_UP, VK_RETURN}, {kExit}, 0},
    {"a submenu's item is passed over by Down", 0, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {kPlaylist}, 0},
    {"separators and greyed items are skipped", 0, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {kExit}, 0},
    {"Down wraps past the end", 0, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {kOpen}, 0},
    {"Up wraps past the start", 0, {VK_DOWN, VK_UP, VK_RETURN}, {kExit}, 0},
    {"Return with nothing highlighted chooses nothing", 0, {VK_RETURN}, {}, 1},
    {"Right opens a submenu at its first item", 0, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, {kIntro}, 0},
    {"Return opens a submenu too", 0, {VK_DOWN, VK_DOWN, VK_RETURN, VK_DOWN, VK_RETURN}, {kGame}, 0},
    {"two levels deep", 0, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_RIGHT, VK_RETURN}, {kDemo}, 0},
    {"an open submenu stays open without a choice", 0, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_RIGHT}, {}, 3},
    {"Left goes back one level, keeping the item",
     0,
     {VK_DOWN, VK_DOWN, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN},
     {kPlaylist},
     0},
    {"Escape in a submenu goes back one level",
     0,
     {VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_DOWN, VK_RETURN},
     {kPlaylist},
     0},
    {"Escape twice closes everything",
     0,
     {VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE, VK_RETURN},
     {},
     0,
     {VK_RETURN}},
    {"Escape closes the drop-down", 0, {VK_ESCAPE}, {}, 0},
    {"Right moves to the next drop-down", 0, {VK_RIGHT, VK_DOWN, VK_RETURN}, {kFit}, 0},
    {"the next drop-down opens at its first item", 0, {VK_RIGHT, VK_RETURN, VK_RETURN}, {kZoom200}, 0},
    {"Left from the first wraps to the last drop-down", 0, {VK_LEFT, VK_RETURN}, {kDocs}, 0},
    {"Right wraps from the last drop-down to the first", 2, {VK_RIGHT, VK_RETURN}, {kOpen}, 0},
    {"Right on a plain item of a submenu moves to the next drop-down",
     0,
     {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RETURN},
     {kZoom200},
     0},
    {"Left in an outer drop-down moves to the previous one", 1, {VK_DOWN, VK_DOWN, VK_LEFT, VK_RETURN}, {kOpen}, 0},
    {"Left in a first-level submenu goes back, not across",
     1,
     {VK_DOWN, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN},
     {kFit},
     0},
};

TEST_F(Menus, KeysMoveThroughItemsSubmenusAndDropDowns) {
  for (const KeyRow& row : kKeyRows) {
    SCOPED_TRACE(row.what);
    m_owner.commands.clear();
    m_owner.keys.clear();
    RECT button{};
    SendMessageW(m_bar, TB_GETITEMRECT, static_cast<WPARAM>(row.button), reinterpret_cast<LPARAM>(&button));
    POINT p{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ClientToScreen(m_bar, &p);
    tap(p);
    ASSERT_EQ(openMenus().size(), 1u);
    for (int vk : row.keys) press(vk);
    EXPECT_EQ(m_owner.commands, row.commands);
    EXPECT_EQ(openMenus().size(), row.menusLeftOpen);
    EXPECT_EQ(m_owner.keys, row.keysToWindow) << "an open menu takes the keys";
    press(VK_ESCAPE);
    press(VK_ESCAPE);
    press(VK_ESCAPE);
    ASSERT_TRUE(openMenus().empty());
  }
}

TEST_F(Menus, KeysReachTheWindowAgainOnceTheMenuCloses) {
  tap(buttonCentre(m_bar, 0));
  press(VK_ESCAPE);
  press(VK_DOWN);
  EXPECT_EQ(m_owner.keys, std::vector<WPARAM>{VK_DOWN});
  EXPECT_TRUE(m_owner.commands.empty());
}

TEST_F(Menus, KeysTypedAheadAreHandledInTurn) {
  struct Row {
    std::vector<int> keys;
    std::vector<WPARAM> commands;
    std::vector<WPARAM> keysToWindow;
  };
  const Row rows[] = {
      {{VK_RIGHT, VK_DOWN, VK_RETURN}, {kFit}, {}},
      {{VK_LEFT, VK_RIGHT, VK_RIGHT, VK_DOWN, VK_RETURN}, {kFit}, {}},
      {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}, {kGame}, {}},
      {{VK_ESCAPE, VK_DOWN, VK_UP}, {}, {VK_DOWN, VK_UP}},
  };
  for (const Row& row : rows) {
    m_owner.commands.clear();
    m_owner.keys.clear();
    tap(buttonCentre(m_bar, 0));
    ASSERT_EQ(openMenus().size(), 1u);
    for (int vk : row.keys) {
      wm::injectKey(vk, true);
      wm::injectKey(vk, false);
    }
    wm::dispatchPending();
    EXPECT_EQ(m_owner.commands, row.commands);
    EXPECT_EQ(m_owner.keys, row.keysToWindow);
    EXPECT_TRUE(openMenus().empty());
  }
}

TEST_F(Menus, TappingAnItemWithASubmenuOpensItBesideTheItem) {
  tap(buttonCentre(m_bar, 0));
  std::vector<HWND> open = openMenus();
  ASSERT_EQ(open.size(), 1u);
  RECT file = windowRect(open[0]);
  tap(itemPoint(open[0], 1));
  open = openMenus();
  ASSERT_EQ(open.size(), 2u) << "Recent Files opens";
  RECT recent = windowRect(open[1]);
  EXPECT_GT(recent.left, file.left + (file.right - file.left) / 2) << "on the right of its parent";
  EXPECT_LE(recent.left, file.right);
  EXPECT_EQ(recent.top, itemPoint(open[0], 1).y - 9 - 1) << "its first item level with the parent item";

  tap(itemPoint(open[1], 2));
  ASSERT_EQ(openMenus().size(), 3u) << "More opens from Recent Files";
  tap(itemPoint(openMenus()[2], 0));
  EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{kDemo});
  EXPECT_TRUE(openMenus().empty()) << "choosing closes every level";

  // Another item of the parent closes the submenu; greyed items choose nothing.
  tap(buttonCentre(m_bar, 0));
  tap(itemPoint(openMenus()[0], 1));
  ASSERT_EQ(openMenus().size(), 2u);
  tap(itemPoint(openMenus()[0], 4, 1));
  EXPECT_EQ(openMenus().size(), 1u) << "the greyed item closes the submenu but keeps the menu";
  EXPECT_EQ(m_owner.commands.size(), 1u);
  tap(itemPoint(openMenus()[0], 2));
  EXPECT_EQ(m_owner.commands, (std::vector<WPARAM>{kDemo, kPlaylist}));
  EXPECT_TRUE(openMenus().empty());
}

TEST_F(Menus, ASubmenuThatWouldLeaveTheScreenOpensOnTheOtherSide) {
  tap(buttonCentre(m_bar, 0));
  press(VK_DOWN);
  press(VK_DOWN);
  press(VK_RIGHT);
  press(VK_UP);
  press(VK_RIGHT);
  std::vector<HWND> open = openMenus();
  ASSERT_EQ(open.size(), 3u);
  RECT recent = windowRect(open[1]), more = windowRect(open[2]);
  ASSERT_GT(recent.right + (more.right - more.left), 240) << "no room on the right";
  EXPECT_GE(more.left, 0);
  EXPECT_LE(more.right, recent.left + 3) << "so it opens on the left of Recent Files";
  EXPECT_EQ(more.top, itemPoint(open[1], 2).y - 9 - 1);
}

TEST_F(Menus, ASubmenuNearTheBarIsLiftedAboveItAndKeptOnScreen) {
  tap(buttonCentre(m_bar, 2));
  std::vector<HWND> open = openMenus();
  ASSERT_EQ(open.size(), 1u);
  RECT help = windowRect(open[0]);
  EXPECT_LE(help.right, 240) << "the wide drop-down is kept on screen";
  tap(itemPoint(open[0], 1));
  open = openMenus();
  ASSERT_EQ(open.size(), 2u);
  RECT tools = windowRect(open[1]);
  EXPECT_GE(tools.left, 0);
  EXPECT_LE(tools.right, 240);
  EXPECT_EQ(tools.bottom, 320 - 26) << "lifted to sit on the menu bar";
  EXPECT_EQ(tools.bottom - tools.top, 2 + 3 * 18) << "all three items shown";
  tap(itemPoint(open[1], 2));
  EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{kToolC});
}

TEST_F(Menus, APenDraggedFromTheButtonChoosesWhereItIsLifted) {
  struct Row {
    const char* what;
    std::vector<std::pair<int, int>> path;  // (level, row) the pen moves over; level -1 is the bar button
    std::vector<WPARAM> commands;
    size_t menusLeftOpen;
  };
  const Row rows[] = {
      {"onto an item", {{0, 0}}, {kOpen}, 0},
      {"across items to the last", {{0, 0}, {0, 2}, {0, 5}}, {kExit}, 0},
      {"through a submenu", {{0, 1}, {1, 1}}, {kGame}, 0},
      {"back onto the button", {{0, 0}, {-1, 0}}, {}, 1},
      {"onto a greyed item", {{0, 4}}, {}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    m_owner.commands.clear();
    POINT button = buttonCentre(m_bar, 0);
    wm::injectPen(wm::PenAction::Down, button);
    wm::dispatchPending();
    POINT last = button;
    for (auto [level, item] : row.path) {
      std::vector<HWND> open = openMenus();
      ASSERT_LT(level, static_cast<int>(open.size()));
      int separators = level == 0 && item > 3 ? 1 : 0;
      last = level < 0 ? button : itemPoint(open[static_cast<size_t>(level)], item, separators);
      wm::injectPen(wm::PenAction::Move, last);
      wm::dispatchPending();
    }
    wm::injectPen(wm::PenAction::Up, last);
    wm::dispatchPending();
    EXPECT_EQ(m_owner.commands, row.commands);
    EXPECT_EQ(openMenus().size(), row.menusLeftOpen);
    press(VK_ESCAPE);
    ASSERT_TRUE(openMenus().empty());
  }
}

TEST_F(Menus, OpenMenusGoWithTheirWindow) {
  tap(buttonCentre(m_bar, 0));
  press(VK_DOWN);
  press(VK_DOWN);
  press(VK_RIGHT);
  ASSERT_EQ(openMenus().size(), 2u);
  DestroyWindow(m_window);
  wm::dispatchPending();
  EXPECT_TRUE(openMenus().empty());
  for (const auto& w : wm::windowTree()) EXPECT_NE(w.className, u"MNU");
  wm::injectKey(VK_DOWN, true);  // no menu left to take it, nothing to crash on
  wm::dispatchPending();
}

TEST_F(Menus, AnItemWithASubmenuShowsAnArrow) {
  tap(buttonCentre(m_bar, 0));
  HWND file = openMenus().at(0);
  wm::dispatchPending();
  RECT r = windowRect(file);
  // The arrow sits 10 pixels in from the right edge of "Recent Files" and nowhere on "Open File...".
  auto darkIn = [&](int row) {
    int count = 0;
    for (int x = r.right - 12; x < r.right - 4; ++x)
      for (int y = r.top + 1 + row * 18; y < r.top + 1 + (row + 1) * 18; ++y)
        if ((m_display->frame().row(y)[x] & 0xFFFFFF) == 0) ++count;
    return count;
  };
  EXPECT_GE(darkIn(1), 10);
  EXPECT_EQ(darkIn(0), 0);
}

TEST_F(Menus, ScreenshotOfAFileMenuWithANestedSubmenu) {
  tap(buttonCentre(m_bar, 0));
  press(VK_DOWN);
  press(VK_DOWN);
  press(VK_RIGHT);
  press(VK_DOWN);
  ASSERT_EQ(openMenus().size(), 2u);
  wm::dispatchPending();
  EXPECT_TRUE(display::writePng(m_display->frame(), screenshotPath("shell-submenu.png").string()));
}

}  // namespace
