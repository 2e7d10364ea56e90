#include <gtest/gtest.h>

#include <filesystem>

#include "platform/commctrl/commctrl.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"
#include "platform/gx/gx.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "resources/playerresources.h"
#include "tests/platform/shell/shellfixture.h"

namespace {

TEST_F(Shell, MenuBarSitsAtTheBottomWithTheLayoutsDropDowns) {
  HWND owner = createOwner();
  HWND bar = createMenuBar(owner);
  ASSERT_TRUE(bar);
  RECT r;
  GetWindowRect(bar, &r);
  EXPECT_EQ(r.top, 320 - 26);
  EXPECT_EQ(r.bottom, 320);
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(GetParent(bar), owner) << "the bar is owned by its window";
  EXPECT_NE(reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 40018)), nullptr);

  SHMENUBARINFO missing{sizeof(SHMENUBARINFO), owner, 0, 4242, nullptr, 0, 0, nullptr, 0};
  EXPECT_FALSE(SHCreateMenuBar(&missing)) << "a layout that does not exist makes no bar";
  EXPECT_EQ(missing.hwndMB, nullptr);
}

TEST_F(Shell, DropDownOpensUpwardsAndSendsTheChosenCommand) {
  HWND owner = createOwner();
  HWND bar = createMenuBar(owner);
  tap(buttonCentre(bar, 0));
  HWND menu = visibleOfClass(u"MNU");
  ASSERT_TRUE(menu) << "tapping File opens its menu";
  RECT m, b;
  GetWindowRect(menu, &m);
  GetWindowRect(bar, &b);
  EXPECT_EQ(m.bottom, b.top) << "the menu opens upwards from the bar";
  EXPECT_GE(m.top, 0);

  // "Open File..." is the first item, 18 pixels high below a 1-pixel frame.
  tap(POINT{m.left + 20, m.top + 1 + 9});
  EXPECT_FALSE(IsWindow(menu)) << "choosing closes the menu";
  EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{40007});

  // A separator and a tap outside choose nothing.
  tap(buttonCentre(bar, 0));
  menu = visibleOfClass(u"MNU");
  ASSERT_TRUE(menu);
  GetWindowRect(menu, &m);
  tap(POINT{m.left + 20, m.top + 1 + 3 * 18 + 3});
  EXPECT_TRUE(IsWindow(menu)) << "a separator keeps the menu open";
  tap(POINT{120, 60});
  EXPECT_FALSE(IsWindow(menu));
  EXPECT_EQ(m_owner.commands.size(), 1u);
}

TEST_F(Shell, ImageButtonSendsItsCommandWhileEnabledAndShowsItsTooltipWhileHeld) {
  HWND owner = createOwner();
  HWND bar = createMenuBar(owner);
  addOpenFileButton(bar);
  ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 4);
  POINT p = buttonCentre(bar, 3);

  wm::injectPen(wm::PenAction::Down, p);
  wm::dispatchPending();
  HWND tip = visibleOfClass(u"tooltips_class32");
  ASSERT_TRUE(tip) << "holding the button shows its tooltip";
  WCHAR text[32] = {};
  GetWindowTextW(tip, text, 32);
  EXPECT_EQ(std::u16string(text), u"Open File");
  RECT t;
  GetWindowRect(tip, &t);
  EXPECT_LE(t.bottom, 320 - 26) << "above the bar";
  wm::injectPen(wm::PenAction::Up, p);
  wm::dispatchPending();
  EXPECT_FALSE(IsWindow(tip));
  EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{40007});

  SendMessageW(bar, TB_ENABLEBUTTON, 40007, MAKELONG(FALSE, 0));
  EXPECT_FALSE(SendMessageW(bar, TB_ISBUTTONENABLED, 40007, 0));
  tap(p);
  EXPECT_EQ(m_owner.commands.size(), 1u) << "a disabled button sends nothing";
  SendMessageW(bar, TB_ENABLEBUTTON, 40007, MAKELONG(TRUE, 0));
  tap(p);
  EXPECT_EQ(m_owner.commands.size(), 2u);

  CommandBar_Show(bar, FALSE);
  EXPECT_FALSE(IsWindowVisible(bar));
  CommandBar_Show(bar, TRUE);
  EXPECT_TRUE(IsWindowVisible(bar));
}

TEST_F(Shell, FullScreenFlagsHideAndShowTheTaskBarAndMoveTheWorkArea) {
  HWND owner = createOwner();
  shell::start();
  ASSERT_TRUE(shell::taskBar());
  RECT tb;
  GetWindowRect(shell::taskBar(), &tb);
  EXPECT_EQ(tb.top, 0);
  EXPECT_EQ(tb.bottom, 26);
  EXPECT_EQ(wm::workArea().top, 26);

  struct Row {
    DWORD flags;
    bool shown;
    LONG workTop;
  };
  for (Row row : {Row{42, false, 0}, Row{21, true, 26}, Row{SHFS_HIDETASKBAR, false, 0},
                  Row{SHFS_HIDESIPBUTTON, false, 0}, Row{SHFS_SHOWTASKBAR, true, 26}}) {
    SCOPED_TRACE(row.flags);
    EXPECT_TRUE(SHFullScreen(owner, row.flags));
    EXPECT_EQ(shell::taskBarShown(), row.shown);
    EXPECT_EQ(IsWindowVisible(shell::taskBar()) != FALSE, row.shown);
    EXPECT_EQ(wm::workArea().top, row.workTop);
  }
  EXPECT_FALSE(SHFullScreen(nullptr, 42));
}

TEST_F(Shell, DoneButtonSendsOkToTheFullScreenDialogInFront) {
  HWND owner = createOwner();
  HWND dialog = CreateWindowExW(0, u"Owner", u"Settings", WS_POPUP | WS_VISIBLE, 20, 40, 100, 100, owner, nullptr,
                                nullptr, nullptr);
  SetForegroundWindow(dialog);
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
  ASSERT_TRUE(SHInitDialog(&init));
  RECT r;
  GetWindowRect(dialog, &r);
  RECT area = wm::workArea();
  EXPECT_EQ(r.top, area.top);
  EXPECT_EQ(r.bottom, area.bottom);
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(wm::foregroundTitle(), u"Settings");

  tap(POINT{240 - 16, 13});
  EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{IDOK});

  // Without the flag the same spot does nothing.
  m_owner.commands.clear();
  SetForegroundWindow(owner);
  tap(POINT{240 - 16, 13});
  EXPECT_TRUE(m_owner.commands.empty());
}

TEST_F(Shell, ApplicationButtonsReachTheProgramOnlyWhileGameInputIsOpen) {
  HWND owner = createOwner();
  shell::start();
  SetFocus(owner);
  wm::injectKey(VK_APP1, true);
  wm::injectKey(VK_APP1, false);
  wm::dispatchPending();
  EXPECT_TRUE(m_owner.keys.empty()) << "the shell takes them";
  EXPECT_EQ(GXOpenInput(), 1);
  for (int vk = VK_APP1; vk <= VK_APP9; ++vk) {
    wm::injectKey(vk, true);
    wm::injectKey(vk, false);
  }
  wm::injectKey(VK_LEFT, true);
  wm::dispatchPending();
  EXPECT_EQ(m_owner.keys.size(), 10u);
  EXPECT_EQ(m_owner.keys.front(), 193u);
  EXPECT_EQ(m_owner.keys[8], 201u);
  GXCloseInput();
  wm::injectKey(VK_APP1 + 1, true);
  wm::dispatchPending();
  EXPECT_EQ(m_owner.keys.size(), 10u);
}

TEST_F(Shell, SavedFocusComesBackOnActivation) {
  HWND owner = createOwner();
  HWND child = CreateWindowExW(0, u"Owner", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
  SetFocus(child);
  SHACTIVATEINFO info{};
  info.cbSize = 12;
  EXPECT_TRUE(SHHandleWMActivate(owner, MAKEWPARAM(WA_INACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(info.hwndLastFocus, child);
  SetFocus(owner);
  EXPECT_TRUE(SHHandleWMActivate(owner, MAKEWPARAM(WA_ACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(GetFocus(), child);
  EXPECT_TRUE(SHHandleWMSettingChange(owner, 0, 0, &info));
  EXPECT_FALSE(SHHandleWMActivate(owner, 0, 0, nullptr, 0));
}

TEST_F(Shell, ScreenshotsOfTheMenuAndOfAFullScreenDialog) {
  HWND owner = createOwner();
  HWND bar = createMenuBar(owner);
  addOpenFileButton(bar);
  tap(buttonCentre(bar, 0));
  ASSERT_TRUE(visibleOfClass(u"MNU"));
  wm::dispatchPending();
  EXPECT_TRUE(display::writePng(m_display->frame(), screenshotPath("shell-menu.png").string()));

  tap(POINT{120, 100});
  HWND dialog =
      CreateWindowExW(0, u"Owner", u"Settings", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
  SetForegroundWindow(dialog);
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  wm::dispatchPending();
  EXPECT_TRUE(display::writePng(m_display->frame(), screenshotPath("shell-dialog.png").string()));
}

}  // namespace
