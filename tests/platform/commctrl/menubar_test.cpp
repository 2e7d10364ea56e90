#include <string>
#include <vector>

#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "resources/playerresources.h"
#include "tests/platform/commctrl/viewfixture.h"

namespace {

class PlaylistBar : public Views {
 protected:
  void SetUp() override {
    Views::SetUp();
    registerPlayerResources(nullptr);
  }
  void TearDown() override {
    shell::resetForTests();
    Views::TearDown();
    res::registerModule(nullptr, nullptr);
  }
  POINT centreOf(HWND bar, int index) {
    RECT r{};
    EXPECT_TRUE(SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(bar, &p);
    return p;
  }
  std::u16string shownTooltip() {
    for (const auto& w : wm::windowTree())
      if (w.visible && w.className == u"tooltips_class32") return w.title;
    return u"";
  }
};

// The playlist dialog's bar: an empty menu, the bitmap of seven buttons, two separators.
TEST_F(PlaylistBar, ButtonsSeparatorsTooltipsAndDisabledButtons) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = m_owner;
  info.nToolBarId = playerres::kEmptyMenu;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND bar = info.hwndMB;
  LPCWSTR tips[] = {u"",        u"New Playlist", u"Rename Playlist", u"Add File Into Playlist",
                    u"Move Up", u"Move Down",    u"Remove",          u"Play"};
  SendMessageW(bar, TB_SETTOOLTIPS, 8, reinterpret_cast<LPARAM>(tips));
  EXPECT_EQ(CommandBar_AddBitmap(bar, nullptr, playerres::kPlaylistBarBitmap, 7, 16, 16), 0);
  const TBBUTTON kButtons[] = {
      {0, 40039, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {1, 40052, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {0, 0, 0, TBSTYLE_SEP, {0, 0}, 0, 0},
      {2, 40040, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {3, 40037, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {4, 40038, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {5, 40049, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
      {30, 0, 0, TBSTYLE_SEP, {0, 0}, 0, 0},
      {6, 40044, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0},
  };
  ASSERT_TRUE(SendMessageW(bar, TB_ADDBUTTONS, 9, reinterpret_cast<LPARAM>(kButtons)));
  for (UINT id : {40052u, 40037u, 40038u}) SendMessageW(bar, TB_ENABLEBUTTON, id, FALSE);
  RECT wide{};
  SendMessageW(bar, TB_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&wide));
  EXPECT_EQ(wide.right - wide.left, 30);

  struct Case {
    int index;
    const char16_t* tooltip;
    std::vector<WPARAM> commands;
  };
  const Case kCases[] = {
      {0, u"New Playlist", {40039}}, {1, u"Rename Playlist", {}}, {3, u"Add File Into Playlist", {40040}},
      {4, u"Move Up", {}},           {6, u"Remove", {40049}},     {8, u"Play", {40044}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.index);
    m_parent.commands.clear();
    POINT p = centreOf(bar, c.index);
    wm::injectPen(wm::PenAction::Down, p);
    wm::dispatchPending();
    EXPECT_EQ(shownTooltip(), c.tooltip);
    wm::injectPen(wm::PenAction::Up, p);
    wm::dispatchPending();
    EXPECT_EQ(m_parent.commands, c.commands);
  }
  POINT play = centreOf(bar, 8);
  EXPECT_EQ(m_display->frame().row(play.y)[play.x - 2], 0x18A030u) << "the play triangle from bitmap 114";
}

TEST_F(PlaylistBar, ThePlayersBitmapsCutIntoTheirImages) {
  struct Case {
    UINT id;
    int images;
  };
  for (Case c : {Case{playerres::kPlaylistBarBitmap, 7}, Case{playerres::kListImagesBitmap, 3},
                 Case{playerres::kCheckBoxesBitmap, 4}}) {
    SCOPED_TRACE(c.id);
    HIMAGELIST list = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(c.id)), 16, 0, CLR_DEFAULT);
    EXPECT_EQ(ImageList_GetImageCount(list), c.images);
    ImageList_Destroy(list);
  }
}

BOOL keyMappingProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

TEST_F(PlaylistBar, TheWaitCursorShowsOverADialogAndKeepsTheInputThatArrives) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(playerres::kKeyMappingDialog), m_owner, keyMappingProc, 0);
  ASSERT_TRUE(dialog);
  ShowWindow(dialog, SW_SHOW);
  HWND list = GetDlgItem(dialog, 1005);
  ASSERT_TRUE(list) << "the template's list view is made";
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  LVCOLUMNW button{LVCF_WIDTH, 0, 70, nullptr, 0, 0, 0, 0}, action{LVCF_WIDTH, 0, 130, nullptr, 0, 0, 0, 0};
  ListView_InsertColumn(list, 0, &button);
  ListView_InsertColumn(list, 1, &action);
  for (const char16_t* name : {u"Button 1", u"Button 3", u"Button 2"}) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<LPWSTR>(name);
    int row = ListView_InsertItem(list, &item);
    ListView_SetItemText(list, row, 1, u"Play/Pause");
  }
  wm::dispatchPending();
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
  POINT p{(row.left + row.right) / 2, (row.top + row.bottom) / 2};
  ClientToScreen(list, &p);

  SetFocus(list);
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SIZE screen = wm::screenSize();
  std::uint32_t ring = m_display->frame().row(screen.cy / 2)[screen.cx / 2 + 9];
  EXPECT_TRUE(ring == 0xE03020u || ring == 0x30A030u) << std::hex << ring;
  wm::injectPen(wm::PenAction::Down, p);
  wm::injectPen(wm::PenAction::Up, p);
  wm::injectKey(VK_DOWN, true);
  wm::injectKey(VK_DOWN, false);
  screenshot("waitcursor-dialog.png");
  SetCursor(old);
  wm::dispatchPending();
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1) << "the tap and the key both arrived";
  std::string dump = display::stateDump();
  EXPECT_NE(dump.find("row 1 \"Button 2\" \"Play/Pause\" selected focused"), std::string::npos) << dump;
  DestroyWindow(dialog);
}

TEST_F(PlaylistBar, TheStateDumpListsOpenMenusDropDownsAndCheckBoxes) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = m_owner;
  info.nToolBarId = playerres::kMainMenu;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND combo = CreateWindowExW(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 4, 4, 150, 100, m_owner,
                               nullptr, nullptr, nullptr);
  HWND check = CreateWindowExW(0, u"BUTTON", u"Loop", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 4, 40, 150, 16, m_owner,
                               nullptr, nullptr, nullptr);
  for (const char16_t* a : {u"Play", u"Stop"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(a));
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
  RECT r{};
  GetWindowRect(combo, &r);
  EXPECT_EQ(r.bottom - r.top, 20) << "one line high; the rest was for the open list";
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  wm::dispatchPending();
  std::string dump = display::stateDump();
  for (const char* line : {"combobox dropped items=2 current=1", "dropdown items=2 current=1",
                           "item 1 \"Stop\" selected", "checkbox checked"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(dump.find(line), std::string::npos) << dump;
  }
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);

  RECT file{};
  SendMessageW(info.hwndMB, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&file));
  POINT p{(file.left + file.right) / 2, (file.top + file.bottom) / 2};
  ClientToScreen(info.hwndMB, &p);
  wm::injectPen(wm::PenAction::Down, p);
  wm::dispatchPending();
  dump = display::stateDump();
  EXPECT_NE(dump.find("item 0 \"Open File...\""), std::string::npos) << dump;
  EXPECT_NE(dump.find("separator"), std::string::npos) << dump;
  wm::injectKey(VK_ESCAPE, true);
  wm::dispatchPending();
}

TEST_F(PlaylistBar, ALabelIsTypedWithTheInputPanel) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = m_owner;
  info.nToolBarId = playerres::kEmptyMenu;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND tree = create(WC_TREEVIEWW, TVS_EDITLABELS | TVS_HASBUTTONS, RECT{0, 0, 200, 100});
  TVINSERTSTRUCTW in{TVI_ROOT, TVI_LAST, {}};
  in.item.mask = TVIF_TEXT;
  in.item.pszText = const_cast<LPWSTR>(u"playlist 0");
  HTREEITEM node = TreeView_InsertItem(tree, &in);
  HWND edit = TreeView_EditLabel(tree, node);
  ASSERT_TRUE(edit);
  shell::showInputPanel(true);
  wm::dispatchPending();
  constexpr int kPanelTop = 320 - 26 - 80;  // the panel's rows of 16 pixels, keys of 16
  for (POINT p : {POINT{3 * 8 + 8, kPanelTop + 2 * 16 + 8}, POINT{5 * 8 + 8, kPanelTop + 2 * 16 + 8}}) {
    wm::injectPen(wm::PenAction::Down, p);
    wm::injectPen(wm::PenAction::Up, p);
    wm::dispatchPending();
  }
  EXPECT_EQ(TreeView_GetEditControl(tree), edit) << "taps on the panel keep the edit open";
  EXPECT_EQ(GetWindowTextLengthW(edit), 2) << "two letters typed over the selected label";
  key(VK_RETURN);
  EXPECT_EQ(TreeView_GetEditControl(tree), nullptr);
  EXPECT_EQ(m_parent.labelTexts.size(), 1u);
}

}  // namespace
