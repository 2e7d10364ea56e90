#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/controls.h"
#include "platform/gdi/surface.h"
#include "platform/core/resource.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "resources/playerresources.h"

namespace {

// Each test gives the dialog procedure what to do while the modal loop runs.
struct Script {
  std::function<void(HWND)> onInit;
  std::vector<UINT> commands;
  LPARAM initParam = 0;
  static Script* current;
};
Script* Script::current = nullptr;

BOOL scriptedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Script& s = *Script::current;
  if (message == WM_INITDIALOG) {
    s.initParam = lParam;
    if (s.onInit) s.onInit(dialog);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    s.commands.push_back(LOWORD(wParam));
    if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 77);
    return TRUE;
  }
  return FALSE;
}

class Dialogs : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    shell::resetForTests();
    Script::current = &m_script;
    registerPlayerResources(nullptr);
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Owner";
    RegisterClassW(&wc);
    m_owner = CreateWindowExW(0, u"Owner", u"Orvel Flash Player", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                              nullptr, nullptr);
  }
  void TearDown() override {
    shell::resetForTests();
    wm::resetForTests();
    m_display.reset();
    res::registerModule(nullptr, nullptr);
  }

  // Posts what a user would do once the dialog is up: runs `act` from a message handled by the loop.
  void later(std::function<void()> act) {
    m_later.push_back(std::move(act));
    SetTimer(m_owner, 7, 1, laterTimer);
  }
  static void laterTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    auto acts = std::move(current->m_later);
    current->m_later.clear();
    for (auto& a : acts) a();
  }

  Script m_script;
  HWND m_owner = nullptr;
  std::vector<std::function<void()>> m_later;
  std::unique_ptr<display::Display> m_display;
  static Dialogs* current;
};
Dialogs* Dialogs::current = nullptr;

TEST_F(Dialogs, TemplateLayoutComesFromDialogUnitsAtTheTemplatesFont) {
  HWND dialog =
      CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 5);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(m_script.initParam, 5);
  RECT units{20, 10, 140, 24};  // the "Set Flash Default Player" button
  ASSERT_TRUE(MapDialogRect(dialog, &units));
  HWND button = GetDlgItem(dialog, 1002);
  ASSERT_TRUE(button);
  RECT r;
  GetWindowRect(button, &r);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  EXPECT_EQ(r.left - origin.x, units.left);
  EXPECT_EQ(r.top - origin.y, units.top);
  EXPECT_EQ(r.right - r.left, units.right - units.left);
  EXPECT_EQ(r.bottom - r.top, units.bottom - units.top);
  // An 8-point font gives a base of about 5 x 13 pixels: 120 units wide is about 150 pixels.
  EXPECT_GT(units.right - units.left, 120);
  EXPECT_LT(units.right - units.left, 200);
  WCHAR text[64] = {};
  GetDlgItemTextW(dialog, 1002, text, 64);
  EXPECT_EQ(std::u16string(text), u"Set Flash Default Player");
  DestroyWindow(dialog);
}

TEST_F(Dialogs, ModalLoopAnswersTheEndDialogValueAndFreesTheOwner) {
  bool ownerDisabled = false;
  m_script.onInit = [&](HWND dialog) {
    later([&, dialog] {
      ownerDisabled = !IsWindowEnabled(m_owner);
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    });
  };
  Dialogs::current = this;
  INT_PTR result = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(playerres::kAboutDialog), m_owner, scriptedProc, 9);
  EXPECT_EQ(result, 77);
  EXPECT_TRUE(ownerDisabled) << "the owner is disabled while the dialog runs";
  EXPECT_EQ(m_script.initParam, 9);
  EXPECT_TRUE(IsWindowEnabled(m_owner));
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4242), m_owner, scriptedProc, 0), -1)
      << "a missing template makes no dialog";
}

TEST_F(Dialogs, DoneInTheTaskBarEndsAFullScreenDialogWithOne) {
  m_script.onInit = [&](HWND dialog) {
    SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
    SHInitDialog(&init);
    later([] {
      wm::injectPen(wm::PenAction::Down, POINT{240 - 16, 13});
      wm::injectPen(wm::PenAction::Up, POINT{240 - 16, 13});
    });
  };
  Dialogs::current = this;
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 0), 1);
  EXPECT_EQ(m_script.commands, std::vector<UINT>{IDOK});
}

// The title's ink: the shell's blue, or its blend with the white page.
bool bluish(std::uint32_t p) {
  int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return b > r + 60 && b > g + 40;
}

struct TitleLineRow {
  DWORD flags;
  const char16_t* title;
  bool line;
};

TEST_F(Dialogs, FullScreenDialogsShowTheirTitleLineAndKeepTheirLayoutBelowIt) {
  const TitleLineRow rows[] = {
      {SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN, u"Settings", true},
      {SHIDIF_FULLSCREENNOMENUBAR, u"Settings", true},
      {SHIDIF_DONEBUTTON, u"Settings", false},  // not made full screen
      {SHIDIF_SIZEDLGFULLSCREEN, u"", false},   // nothing to show
  };
  for (const TitleLineRow& row : rows) {
    SCOPED_TRACE(testing::Message() << row.flags << " '"
                                    << std::string(row.title, row.title + std::char_traits<char16_t>::length(row.title))
                                    << "'");
    HWND dialog =
        CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 0);
    ASSERT_TRUE(dialog);
    SetWindowTextW(dialog, row.title);
    SHINITDLGINFO init{SHIDIM_FLAGS, dialog, row.flags};
    ASSERT_TRUE(SHInitDialog(&init));
    SHInitDialog(&init);  // a second call moves nothing further
    ShowWindow(dialog, SW_SHOW);
    wm::dispatchPending();

    RECT units{20, 10, 140, 24};  // the "Set Flash Default Player" button
    MapDialogRect(dialog, &units);
    RECT button;
    GetWindowRect(GetDlgItem(dialog, 1002), &button);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    int shift = row.line ? 24 : 0;
    EXPECT_EQ(button.top - origin.y, units.top + shift) << "the template's layout, below the title line";
    EXPECT_EQ(button.left - origin.x, units.left);
    EXPECT_EQ(button.bottom - button.top, units.bottom - units.top);

    const gdi::Surface& frame = m_display->frame();
    int ruleY = origin.y + 23, black = 0, blue = 0;
    for (int x = 0; x < 240; ++x)
      if ((frame.row(ruleY)[x] & 0xFFFFFF) == 0) ++black;
    for (int y = origin.y; y < ruleY; ++y)
      for (int x = 0; x < 120; ++x)
        if (bluish(frame.row(y)[x])) ++blue;
    EXPECT_EQ(black == 240, row.line) << "the rule spans the dialog";
    EXPECT_EQ(blue > 20, row.line) << "the title's bold letters";
    DestroyWindow(dialog);
  }
}

TEST_F(Dialogs, TitleLineFollowsTheTitleAndMessageBoxesHaveNone) {
  HWND dialog =
      CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 0);
  ASSERT_TRUE(dialog);
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  ShowWindow(dialog, SW_SHOW);
  wm::dispatchPending();
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  auto inkWidth = [&] {
    int right = 0;
    for (int y = origin.y; y < origin.y + 23; ++y)
      for (int x = 0; x < 240; ++x)
        if (bluish(m_display->frame().row(y)[x])) right = std::max(right, x);
    return right;
  };
  int before = inkWidth();
  SetWindowTextW(dialog, u"Settings and a much longer title");
  wm::dispatchPending();
  EXPECT_GT(inkWidth(), before + 40) << "the new title is drawn";
  DestroyWindow(dialog);

  EXPECT_FALSE(controls::showTitleLine(m_owner)) << "only a template's dialog has one";
}

TEST_F(Dialogs, ItemCallsAndAMissingCheckBoxReadingUnchecked) {
  HWND dialog =
      CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 0);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), BST_UNCHECKED);
  EXPECT_TRUE(CheckDlgButton(dialog, 1001, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 4321), BST_UNCHECKED) << "a missing control reads as unchecked";
  EXPECT_FALSE(CheckDlgButton(dialog, 4321, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1002), BST_UNCHECKED) << "a push button is never checked";
  EXPECT_TRUE(SetDlgItemTextW(dialog, 1002, u"Done"));
  WCHAR text[16] = {};
  EXPECT_EQ(GetDlgItemTextW(dialog, 1002, text, 16), 4u);
  EXPECT_EQ(std::u16string(text), u"Done");
  EXPECT_FALSE(SetDlgItemTextW(dialog, 4321, u"x"));
  EXPECT_EQ(SendDlgItemMessageW(dialog, 4321, BM_GETCHECK, 0, 0), 0);
  // Tapping the auto check box toggles it and tells the dialog.
  HWND box = GetDlgItem(dialog, 1001);
  ShowWindow(box, SW_SHOW);
  ShowWindow(dialog, SW_SHOW);
  RECT r;
  GetWindowRect(box, &r);
  wm::injectPen(wm::PenAction::Down, POINT{r.left + 3, r.top + 3});
  wm::injectPen(wm::PenAction::Up, POINT{r.left + 3, r.top + 3});
  wm::dispatchPending();
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), BST_UNCHECKED);
  EXPECT_EQ(m_script.commands, std::vector<UINT>{1001});
  DestroyWindow(dialog);
}

// The key catcher: a subclass that eats key-downs and passes the rest on.
WNDPROC g_oldComboProc = nullptr;
std::vector<WPARAM> g_caught;
LRESULT keyCatcher(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) {
    g_caught.push_back(wParam);
    return 0;
  }
  return CallWindowProcW(g_oldComboProc, hwnd, message, wParam, lParam);
}

TEST_F(Dialogs, ComboBoxSubclassedThroughItsProcedureSlot) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kKeyMappingDialog), m_owner, scriptedProc, 0);
  ASSERT_TRUE(dialog) << "the list view is left out of the dialog, not failing it";
  HWND combo = GetDlgItem(dialog, 1004);
  ASSERT_TRUE(combo);
  for (const char16_t* s : {u"Play", u"Pause", u"Stop"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 9, 0), CB_ERR);
  SendMessageW(combo, CB_SETCURSEL, 1, 0);

  g_caught.clear();
  g_oldComboProc =
      reinterpret_cast<WNDPROC>(SetWindowLongW(combo, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(keyCatcher)));
  ASSERT_TRUE(g_oldComboProc);
  SetFocus(combo);
  wm::injectKey(VK_DOWN, true);
  wm::injectKey(VK_DOWN, false);
  wm::injectKey(VK_APP1 + 2, true);
  wm::dispatchPending();
  EXPECT_EQ(g_caught, (std::vector<WPARAM>{VK_DOWN, VK_APP1 + 2}));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1) << "the old procedure never saw the key";
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 2, 0), 2) << "other messages reach the old procedure";
  WCHAR text[16] = {};
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)), 4);
  EXPECT_EQ(std::u16string(text), u"Stop");
  DestroyWindow(dialog);
}

TEST_F(Dialogs, ListBoxKeepsItsItemsAndSelection) {
  InitCommonControls();
  HWND list = CreateWindowExW(0, u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 0, 0, 100, 80, m_owner,
                              reinterpret_cast<HMENU>(5), nullptr, nullptr);
  ASSERT_TRUE(list);
  struct Row {
    UINT message;
    WPARAM wParam;
    const char16_t* text;
    LRESULT expected;
  };
  for (Row row :
       {Row{LB_ADDSTRING, 0, u"one", 0}, Row{LB_ADDSTRING, 0, u"two", 1}, Row{LB_GETCURSEL, 0, nullptr, LB_ERR},
        Row{LB_SETCURSEL, 1, nullptr, 1}, Row{LB_GETCURSEL, 0, nullptr, 1}, Row{LB_INSERTSTRING, 0, u"zero", 0},
        Row{LB_GETCURSEL, 0, nullptr, 2}, Row{LB_GETCOUNT, 0, nullptr, 3}, Row{LB_GETTEXTLEN, 0, nullptr, 4},
        Row{LB_GETTEXTLEN, 7, nullptr, LB_ERR}, Row{LB_DELETESTRING, 2, nullptr, 2},
        Row{LB_GETCURSEL, 0, nullptr, LB_ERR}}) {
    SCOPED_TRACE(row.message);
    EXPECT_EQ(SendMessageW(list, row.message, row.wParam, reinterpret_cast<LPARAM>(row.text)), row.expected);
  }
}

TEST_F(Dialogs, MessageBoxShowsTextAndCaptionAsGivenAndIsModal) {
  struct Row {
    UINT type;
    bool icon;
  };
  const char16_t* longText =
      u"The file cannot be opened because it is not a Flash movie or it is damaged; try another file.";
  for (Row row : {Row{MB_OK, false}, Row{MB_OK | MB_ICONSTOP, true}, Row{MB_OK | MB_ICONEXCLAMATION, true},
                  Row{MB_OK | MB_ICONERROR, true}}) {
    SCOPED_TRACE(row.type);
    HWND seen = nullptr;
    std::u16string caption, text;
    bool iconShown = false, ownerDisabled = false;
    RECT textRect{};
    later([&] {
      seen = GetForegroundWindow();
      WCHAR buffer[200] = {};
      GetWindowTextW(seen, buffer, 200);
      caption = buffer;
      GetDlgItemTextW(seen, 0xFFFF, buffer, 200);
      text = buffer;
      HWND icon = GetDlgItem(seen, 0xFFFE);
      iconShown = icon && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
      GetWindowRect(GetDlgItem(seen, 0xFFFF), &textRect);
      ownerDisabled = !IsWindowEnabled(m_owner);
      PostMessageW(GetDlgItem(seen, IDOK), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
      PostMessageW(GetDlgItem(seen, IDOK), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    });
    Dialogs::current = this;
    EXPECT_EQ(MessageBoxW(m_owner, longText, u"Error", row.type), IDOK);
    EXPECT_EQ(caption, u"Error");
    EXPECT_EQ(text, longText);
    EXPECT_EQ(iconShown, row.icon);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_GT(textRect.bottom - textRect.top, 20) << "a long text wraps onto several lines";
    EXPECT_LE(textRect.right, 240);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_TRUE(IsWindowEnabled(m_owner));
  }
}

std::string screenshotPath(const char* name) {
  const char* dir = std::getenv("ORVEL_BINARY_DIR");
  std::filesystem::path base =
      dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(base);
  return (base / name).string();
}

TEST_F(Dialogs, ScreenshotsOfTheSettingsDialogAndAMessageBox) {
  bool written = false;
  m_script.onInit = [&](HWND dialog) {
    SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
    SHInitDialog(&init);
    // As the device's own dialogs do: an empty bar, so the input panel button shows.
    SHMENUBARINFO bar{sizeof bar, dialog, SHCMBF_EMPTYBAR, 0, nullptr, 0, 0, nullptr, 0};
    SHCreateMenuBar(&bar);
    ShowWindow(GetDlgItem(dialog, 1001), SW_SHOW);
    CheckDlgButton(dialog, 1001, BST_CHECKED);
    later([&, dialog] {
      wm::dispatchPending();
      written = display::writePng(m_display->frame(), screenshotPath("dialog-settings.png"));
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
  };
  Dialogs::current = this;
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_owner, scriptedProc, 0), 1);
  EXPECT_TRUE(written);

  later([&] {
    wm::dispatchPending();
    written = display::writePng(m_display->frame(), screenshotPath("dialog-messagebox.png"));
    PostMessageW(GetForegroundWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  });
  EXPECT_EQ(MessageBoxW(m_owner, u"Cannot open the file \\My Documents\\movie.swf: it is not a Flash movie.", u"Error",
                        MB_OK | MB_ICONEXCLAMATION),
            IDOK)
      << "Escape answers OK when that is the only button";
}

}  // namespace
