// The input panel: its button on the menu bar, the panel above the bar, the
// work area it takes and the keys it types.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/platform/shell/shellfixture.h"

namespace {

constexpr int kPanelTop = 320 - 26 - 80;
const POINT kSipButton{240 - 12, 320 - 13};

class InputPanel : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    m_window = createOwner();
    m_bar = createMenuBar(m_window);
    SetFocus(m_window);
  }

  // The centre of the key that starts `half` half keys into `row`: a half key is 8 pixels, a row 16.
  static POINT key(int row, int half) { return POINT{half * 8 + 8, kPanelTop + row * 16 + 8}; }

  HWND panelWindow() { return visibleOfClass(u"SipWndClass"); }

  HWND m_window = nullptr;
  HWND m_bar = nullptr;
};

struct PanelStep {
  const char* what;
  std::function<void()> act;
  bool shown;
  int sipChanges;  // what the owner has heard so far
};

TEST_F(InputPanel, ItsButtonRaisesAndLowersThePanelAndTheWorkAreaFollows) {
  HWND window = m_window;
  const PanelStep steps[] = {
      {"a tap on the button raises it", [this] { tap(kSipButton); }, true, 1},
      {"a second tap lowers it", [this] { tap(kSipButton); }, false, 2},
      {"a tap beside the button does nothing",
       [this] {
         tap(POINT{240 - 30, 320 - 13});
       },
       false, 2},
      {"hidden, the button does nothing",
       [this, window] {
         SHFullScreen(window, SHFS_HIDESIPBUTTON);
         tap(kSipButton);
       },
       false, 2},
      {"shown again, it works",
       [this, window] {
         SHFullScreen(window, SHFS_SHOWSIPBUTTON);
         tap(kSipButton);
       },
       true, 3},
      {"a full-screen dialog lowers it with SHIDIF_SIPDOWN",
       [window] {
         SHINITDLGINFO init{SHIDIM_FLAGS, window, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN};
         SHInitDialog(&init);
       },
       false, 4},
      {"raising it twice tells once",
       [] {
         shell::showInputPanel(true);
         shell::showInputPanel(true);
       },
       true, 5},
  };
  for (const PanelStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    wm::dispatchPending();
    EXPECT_EQ(shell::inputPanelShown(), step.shown);
    EXPECT_EQ(panelWindow() != nullptr, step.shown);
    EXPECT_EQ(wm::workArea().bottom, step.shown ? kPanelTop : 320 - 26);
    EXPECT_EQ(wm::workArea().top, 26);
    EXPECT_EQ(m_owner.sipChanges, step.sipChanges);
    if (step.shown) {
      RECT r;
      GetWindowRect(panelWindow(), &r);
      EXPECT_EQ(r.top, kPanelTop) << "just above the menu bar";
      EXPECT_EQ(r.bottom, 320 - 26);
      EXPECT_EQ(r.right - r.left, 240);
    }
  }
}

TEST_F(InputPanel, ABarMadeWithoutTheButtonHasNone) {
  DestroyWindow(m_bar);
  SHMENUBARINFO info{sizeof info, m_window, SHCMBF_HIDESIPBUTTON, playerres::kMainMenu, nullptr, 0, 0, nullptr, 0};
  ASSERT_TRUE(SHCreateMenuBar(&info));
  tap(kSipButton);
  EXPECT_FALSE(shell::inputPanelShown());
}

TEST_F(InputPanel, WindowsThatReachTheDesktopsEdgeFollowItThroughTheSettingChange) {
  HWND small = CreateWindowExW(0, u"Owner", u"Small", WS_VISIBLE, 0, 40, 240, 100, nullptr, nullptr, nullptr, nullptr);
  struct Row {
    bool up;
    LONG bottom;
  };
  for (Row row : {Row{true, kPanelTop}, Row{false, 320 - 26}, Row{true, kPanelTop}}) {
    SCOPED_TRACE(row.up);
    shell::showInputPanel(row.up);
    SHACTIVATEINFO info{};
    info.cbSize = 12;
    for (HWND w : {m_window, small}) EXPECT_TRUE(SHHandleWMSettingChange(w, SPI_SETSIPINFO, 0, &info));
    EXPECT_EQ(info.fSipUp, row.up ? 1u : 0u);
    RECT r;
    GetWindowRect(m_window, &r);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.bottom, row.bottom) << "the full window follows the panel";
    GetWindowRect(small, &r);
    EXPECT_EQ(r.bottom, 140) << "a window that stops short stays as it is";
  }
}

TEST_F(InputPanel, ActivationBringsThePanelBackAsTheWindowLeftIt) {
  SHACTIVATEINFO info{};
  info.cbSize = 12;
  shell::showInputPanel(true);
  SHHandleWMActivate(m_window, MAKEWPARAM(WA_INACTIVE, 0), 0, &info, 0);
  shell::showInputPanel(false);  // another program lowered it
  SHHandleWMActivate(m_window, MAKEWPARAM(WA_ACTIVE, 0), 0, &info, 0);
  EXPECT_TRUE(shell::inputPanelShown());
  shell::showInputPanel(false);
  SHHandleWMActivate(m_window, MAKEWPARAM(WA_INACTIVE, 0), 0, &info, 0);
  shell::showInputPanel(true);
  SHHandleWMActivate(m_window, MAKEWPARAM(WA_ACTIVE, 0), 0, &info, 0);
  EXPECT_FALSE(shell::inputPanelShown());
}

struct TypingRow {
  const char* what;
  std::vector<POINT> taps;
  std::u16string chars;
  std::vector<WPARAM> keys;
};

TEST_F(InputPanel, KeyTapsReachTheFocusedWindowAsKeysAndCharacters) {
  const POINT h = key(2, 14), i = key(1, 17), one = key(0, 2), a = key(2, 4);
  const POINT shift = key(3, 0), caps = key(2, 0), back = key(0, 26), enter = key(2, 26), space = key(4, 6);
  const POINT ctl = key(4, 0), left = key(4, 22);
  const TypingRow rows[] = {
      {"letters", {h, i}, u"hi", {'H', 'I'}},
      {"Shift holds for one key", {shift, one, one}, u"!1", {VK_SHIFT, '1', '1'}},
      {"Shift twice lets go", {shift, shift, a}, u"a", {'A'}},
      {"CAP stays until tapped again", {caps, a, h, caps, a}, u"AHa", {VK_CAPITAL, 'A', 'H', VK_CAPITAL, 'A'}},
      {"Shift under CAP gives lower case", {caps, shift, a, caps}, u"a", {VK_CAPITAL, VK_SHIFT, 'A', VK_CAPITAL}},
      {"editing keys", {back, enter, space}, u"\b\r ", {VK_BACK, VK_RETURN, VK_SPACE}},
      {"Ctl makes a control character", {ctl, a}, u"\x01", {VK_CONTROL, 'A'}},
      {"arrows are keys without characters", {left}, u"", {VK_LEFT}},
  };
  shell::showInputPanel(true);
  wm::dispatchPending();
  for (const TypingRow& row : rows) {
    SCOPED_TRACE(row.what);
    m_owner.chars.clear();
    m_owner.keys.clear();
    for (POINT p : row.taps) tap(p);
    EXPECT_EQ(std::u16string(m_owner.chars.begin(), m_owner.chars.end()), row.chars);
    EXPECT_EQ(m_owner.keys, row.keys);
    EXPECT_EQ(GetFocus(), m_window) << "the panel never takes the focus";
  }
}

TEST_F(InputPanel, ScreenshotWithThePanelUp) {
  InitCommonControls();
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, u"EDIT", u"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 8, 8,
                              224, 22, m_window, nullptr, nullptr, nullptr);
  ASSERT_TRUE(edit);
  SetFocus(edit);
  tap(kSipButton);
  ASSERT_TRUE(shell::inputPanelShown());
  for (POINT p : {key(3, 0), key(2, 14), key(1, 7), key(2, 20), key(2, 20), key(1, 19)}) tap(p);
  wm::dispatchPending();
  WCHAR typed[16] = {};
  GetWindowTextW(edit, typed, 16);
  EXPECT_EQ(std::u16string(typed), u"Hello");
  EXPECT_TRUE(display::writePng(m_display->frame(), screenshotPath("shell-inputpanel.png").string()));
}

}  // namespace
