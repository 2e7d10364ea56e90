#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/resource.h"
#include "platform/core/windowing.h"
#include "resources/playerresources.h"

namespace {

const HINSTANCE kPlayer = reinterpret_cast<HINSTANCE>(0x1000);

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    registerPlayerResources(kPlayer);
  }
  void TearDown() override {
    res::registerModule(kPlayer, nullptr);
    wm::resetForTests();
  }
};

struct StringCase {
  UINT id;
  int bufferSize;
  int answer;
  std::u16string text;
};

TEST_F(Resources, LoadStringTruncatesToTheBuffer) {
  const StringCase cases[] = {
      {1, 100, 18, u"Orvel Flash Player"},
      {1, 19, 18, u"Orvel Flash Player"},  // exactly room for the null
      {1, 18, 17, u"Orvel Flash Playe"},   // one short: the last character goes
      {1, 1, 0, u""},
      {3, 100, 10, u"OrvelFlash"},
      {9999, 100, 0, u""},  // missing: empty buffer, 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " into " << c.bufferSize);
    std::vector<WCHAR> buffer(static_cast<size_t>(c.bufferSize) + 4, u'#');
    EXPECT_EQ(LoadStringW(kPlayer, c.id, buffer.data(), c.bufferSize), c.answer);
    EXPECT_EQ(std::u16string(buffer.data()), c.text);
    EXPECT_EQ(buffer[static_cast<size_t>(c.bufferSize)], u'#') << "wrote past the buffer";
  }
}

TEST_F(Resources, LoadStringWithoutRoomAnswersTheTextItself) {
  LPCWSTR text = nullptr;
  EXPECT_EQ(LoadStringW(kPlayer, 3, reinterpret_cast<LPWSTR>(&text), 0), 10);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text, 10), u"OrvelFlash");
}

TEST_F(Resources, ThePropertiesTemplateHasItsTwentyFiveLines) {
  WCHAR buffer[1024];
  int n = LoadStringW(kPlayer, playerres::kPropertiesTemplate, buffer, 1024);
  std::u16string page(buffer, static_cast<size_t>(n));
  EXPECT_EQ(std::count(page.begin(), page.end(), u'\n'), 25);
  EXPECT_EQ(page.substr(0, 7), u"<html>\n");
  EXPECT_NE(page.find(u"width=\"100%%\""), std::u16string::npos);
}

TEST_F(Resources, ProgramResourcesAnswerForANullInstance) {
  res::registerModule(nullptr, &playerResources());
  WCHAR buffer[100];
  EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 100), 18);
  EXPECT_NE(LoadIconW(nullptr, MAKEINTRESOURCEW(101)), nullptr);
  res::registerModule(nullptr, nullptr);
  EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 100), 0);
}

// A window that records the commands it receives.
std::vector<WPARAM> g_commands;
LRESULT recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    g_commands.push_back(wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeOwner() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = u"Owner";
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, u"Owner", u"Owner", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
  SetFocus(h);
  return h;
}

// Runs the program's loop over the keys pressed: accelerators first.
std::vector<WPARAM> pressKeys(HWND owner, HACCEL table, const std::vector<std::pair<int, bool>>& keys) {
  g_commands.clear();
  for (auto [vk, down] : keys) wm::injectKey(vk, down);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (TranslateAcceleratorW(owner, table, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return g_commands;
}

TEST_F(Resources, AcceleratorsSendTheirCommandsToTheOwner) {
  HWND owner = makeOwner();
  HACCEL table = LoadAcceleratorsW(kPlayer, MAKEINTRESOURCEW(playerres::kAccelerators));
  ASSERT_NE(table, nullptr);
  struct Case {
    const char* what;
    std::vector<std::pair<int, bool>> keys;
    std::vector<WPARAM> commands;
  };
  const Case cases[] = {
      {"Ctrl+A", {{VK_CONTROL, true}, {'A', true}, {'A', false}, {VK_CONTROL, false}}, {MAKEWPARAM(40003, 1)}},
      {"Ctrl+Q", {{VK_CONTROL, true}, {'Q', true}, {'Q', false}, {VK_CONTROL, false}}, {MAKEWPARAM(IDOK, 1)}},
      {"A alone", {{'A', true}, {'A', false}}, {}},
      {"Ctrl+Shift+Q",
       {{VK_CONTROL, true}, {VK_SHIFT, true}, {'Q', true}, {'Q', false}, {VK_SHIFT, false}, {VK_CONTROL, false}},
       {}},
      {"Ctrl+B", {{VK_CONTROL, true}, {'B', true}, {'B', false}, {VK_CONTROL, false}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pressKeys(owner, table, c.keys), c.commands);
  }
  EXPECT_EQ(LoadAcceleratorsW(kPlayer, MAKEINTRESOURCEW(4)), nullptr);
}

std::vector<std::u16string> itemTexts(HMENU menu) {
  std::vector<std::u16string> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    WCHAR text[64];
    GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    bool separator = !(state & MF_POPUP) && (state & MF_SEPARATOR);  // a popup's high byte is its count
    out.push_back(separator ? u"-" : std::u16string(text));
  }
  return out;
}

TEST_F(Resources, TheMainMenuHoldsFileViewAndHelp) {
  HMENU menu = LoadMenuW(kPlayer, MAKEINTRESOURCEW(playerres::kMainMenu));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(itemTexts(menu), (std::vector<std::u16string>{u"File", u"View", u"Help"}));
  EXPECT_EQ(itemTexts(GetSubMenu(menu, 0)),
            (std::vector<std::u16string>{u"Open File...", u"Playlist...", u"Properties...", u"-", u"Player Options...",
                                         u"Button Options...", u"Skin Options...", u"-", u"Exit"}));
  HMENU view = GetSubMenu(menu, 1);
  EXPECT_EQ(GetMenuItemCount(view), 13);
  EXPECT_EQ(GetMenuItemID(view, 0), 40035u);
  EXPECT_EQ(GetMenuItemID(view, 12), 40033u);
  EXPECT_EQ(itemTexts(GetSubMenu(menu, 2)), (std::vector<std::u16string>{u"Documents...", u"About..."}));
  // Items are found by command through the submenus.
  EXPECT_EQ(CheckMenuItem(menu, 40029, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
  EXPECT_TRUE(GetMenuState(view, 2, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_EQ(EnableMenuItem(menu, 99999, MF_GRAYED), static_cast<UINT>(-1));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
}

TEST_F(Resources, TheMenuBarLayoutNamesItsDropDowns) {
  const res::MenuBarResource* bar = res::findMenuBar(kPlayer, playerres::kMainMenu);
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->buttons.size(), 3u);
  const UINT strings[] = {40006, 40032, 104};
  const UINT commands[] = {40004, 40018, 40001};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bar->buttons[static_cast<size_t>(i)].stringId, strings[i]);
    EXPECT_EQ(bar->buttons[static_cast<size_t>(i)].command, commands[i]);
    EXPECT_EQ(bar->buttons[static_cast<size_t>(i)].subMenu, i);
  }
}

TEST_F(Resources, IconsAreThirtyTwoPixelsWithTransparentCorners) {
  for (UINT id : {101u, 108u}) {
    SCOPED_TRACE(id);
    HICON icon = LoadIconW(kPlayer, MAKEINTRESOURCEW(static_cast<WORD>(id)));
    const res::Picture* p = res::iconPicture(icon);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->width, 32);
    EXPECT_EQ(p->height, 32);
    EXPECT_EQ(p->pixels[0] >> 24, 0u);
    EXPECT_EQ(p->pixels[16 * 32 + 16] >> 24, 0xFFu);
    EXPECT_EQ(LoadIconW(kPlayer, MAKEINTRESOURCEW(static_cast<WORD>(id))), icon) << "one handle per icon";
  }
  EXPECT_EQ(LoadIconW(kPlayer, MAKEINTRESOURCEW(102)), nullptr);
}

TEST_F(Resources, DialogTemplatesCarryTheirFontAndControls) {
  const res::DialogTemplate* about = res::findDialog(kPlayer, MAKEINTRESOURCEW(103));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->title, u"About OrvelFlash");
  EXPECT_EQ(about->cx, 181);
  EXPECT_EQ(about->cy, 156);
  EXPECT_EQ(about->fontFace, u"System");
  EXPECT_EQ(about->pointSize, 8);
  ASSERT_EQ(about->controls.size(), 2u);
  EXPECT_EQ(about->controls[0].iconId, 101u);
  EXPECT_EQ(about->controls[1].text, u"OrvelFlash Flash Player v1.1");
  const res::DialogTemplate* keys = res::findDialog(kPlayer, MAKEINTRESOURCEW(110));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->title, u"Key Mapping");
  const res::DialogTemplate* options = res::findDialog(kPlayer, MAKEINTRESOURCEW(107));
  ASSERT_NE(options, nullptr);
  EXPECT_FALSE(options->controls[2].style & WS_VISIBLE) << "the check box starts hidden";
  EXPECT_EQ(res::findDialog(kPlayer, u"About"), nullptr) << "resources are found by number";
}

}  // namespace
