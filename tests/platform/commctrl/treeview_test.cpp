#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resources/playerresources.h"
#include "tests/platform/commctrl/viewfixture.h"

namespace {

constexpr DWORD kPlaylistTree =
    TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS | TVS_SINGLEEXPAND;

class TreeViews : public Views {
 protected:
  HTREEITEM insert(HWND tree, HTREEITEM parent, HTREEITEM after, const char16_t* text, LPARAM data = 0) {
    TVINSERTSTRUCTW in{};
    in.hParent = parent;
    in.hInsertAfter = after;
    in.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    in.item.pszText = const_cast<LPWSTR>(text);
    in.item.lParam = data;
    in.item.iImage = parent == TVI_ROOT ? 1 : 2;
    in.item.iSelectedImage = in.item.iImage;
    return TreeView_InsertItem(tree, &in);
  }
  std::u16string textOf(HWND tree, HTREEITEM item) {
    WCHAR buffer[64] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buffer;
    it.cchTextMax = 64;
    if (!TreeView_GetItem(tree, &it)) return u"(none)";
    return buffer;
  }
  // The texts met walking `code` from `start`.
  std::vector<std::u16string> walk(HWND tree, HTREEITEM start, UINT code) {
    std::vector<std::u16string> out;
    for (HTREEITEM i = start; i; i = TreeView_GetNextItem(tree, i, code)) out.push_back(textOf(tree, i));
    return out;
  }
  bool expanded(HWND tree, HTREEITEM item) { return (stateOf(tree, item) & TVIS_EXPANDED) != 0; }
  UINT stateOf(HWND tree, HTREEITEM item) {
    TVITEMW it{};
    it.mask = TVIF_STATE;
    it.hItem = item;
    it.stateMask = 0xFFFF;
    TreeView_GetItem(tree, &it);
    return it.state;
  }
  // Three playlists of three movies each.
  std::vector<HTREEITEM> threeBranches(HWND tree) {
    std::vector<HTREEITEM> roots;
    for (const char16_t* name : {u"Cartoons", u"Games", u"Trip"}) {
      HTREEITEM root = insert(tree, TVI_ROOT, TVI_LAST, name);
      for (const char16_t* movie : {u"intro", u"level one", u"credits"}) insert(tree, root, TVI_LAST, movie);
      roots.push_back(root);
    }
    return roots;
  }
};

TEST_F(TreeViews, InsertionPlacesNodesAndTheWalksFindThem) {
  HWND tree = create(WC_TREEVIEWW, kPlaylistTree, RECT{0, 0, 200, 200});
  HTREEITEM b = insert(tree, TVI_ROOT, TVI_LAST, u"b");
  HTREEITEM a = insert(tree, TVI_ROOT, TVI_FIRST, u"a");
  HTREEITEM d = insert(tree, TVI_ROOT, TVI_LAST, u"d");
  insert(tree, TVI_ROOT, b, u"c");
  HTREEITEM b2 = insert(tree, b, TVI_LAST, u"b2");
  insert(tree, b, TVI_FIRST, u"b1");
  insert(tree, b, b2, u"b3");
  EXPECT_EQ(insert(tree, reinterpret_cast<HTREEITEM>(0x1234), TVI_LAST, u"x"), nullptr) << "no such parent";
  EXPECT_EQ(TreeView_GetCount(tree), 7u);

  struct Case {
    const char* name;
    HTREEITEM start;
    UINT code;
    std::vector<std::u16string> texts;
  };
  const Case kCases[] = {
      {"roots", TreeView_GetRoot(tree), TVGN_NEXT, {u"a", u"b", u"c", u"d"}},
      {"back from d", d, TVGN_PREVIOUS, {u"d", u"c", u"b", u"a"}},
      {"children of b", TreeView_GetChild(tree, b), TVGN_NEXT, {u"b1", u"b2", u"b3"}},
      {"up from b2", b2, TVGN_PARENT, {u"b2", u"b"}},
      {"a leaf has no child", TreeView_GetChild(tree, a), TVGN_NEXT, {}},
      {"collapsed: visible lines are the roots", a, TVGN_NEXTVISIBLE, {u"a", u"b", u"c", u"d"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(walk(tree, c.start, c.code), c.texts);
  }
  EXPECT_EQ(TreeView_GetSelection(tree), nullptr);
  m_parent.notices.clear();
  m_parent.answer = [](NMHDR* h) { return h->code == TVN_SELCHANGINGW ? TRUE : FALSE; };
  EXPECT_FALSE(TreeView_SelectItem(tree, a)) << "the parent refused";
  EXPECT_EQ(TreeView_GetSelection(tree), nullptr);
  m_parent.answer = nullptr;
  EXPECT_TRUE(TreeView_SelectItem(tree, a));
  EXPECT_EQ(codes(), (std::vector<UINT>{TVN_SELCHANGINGW, TVN_SELCHANGINGW, TVN_SELCHANGEDW}));
  EXPECT_TRUE(TreeView_SelectItem(tree, b2));
  EXPECT_EQ(TreeView_GetSelection(tree), b2);
  EXPECT_TRUE(expanded(tree, b)) << "selecting a hidden node opens its branch";
  EXPECT_EQ(walk(tree, a, TVGN_NEXTVISIBLE),
            (std::vector<std::u16string>{u"a", u"b", u"b1", u"b2", u"b3", u"c", u"d"}));
}

TEST_F(TreeViews, ExpandingOneBranchCollapsesTheOthersWithNotifications) {
  HWND tree = create(WC_TREEVIEWW, kPlaylistTree, RECT{0, 0, 200, 200});
  auto roots = threeBranches(tree);
  EXPECT_TRUE(TreeView_Expand(tree, roots[0], TVE_EXPAND));
  m_parent.notices.clear();
  EXPECT_TRUE(TreeView_Expand(tree, roots[2], TVE_EXPAND));
  EXPECT_EQ(codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW, TVN_ITEMEXPANDEDW}))
      << "the open branch closes inside the new one's expansion";
  EXPECT_FALSE(expanded(tree, roots[0]));
  EXPECT_TRUE(expanded(tree, roots[2]));

  m_parent.answer = [](NMHDR* h) { return h->code == TVN_ITEMEXPANDINGW ? TRUE : FALSE; };
  EXPECT_FALSE(TreeView_Expand(tree, roots[2], TVE_COLLAPSE)) << "the parent refused";
  EXPECT_TRUE(expanded(tree, roots[2]));
  m_parent.answer = nullptr;
  HTREEITEM leaf = TreeView_GetChild(tree, roots[1]);
  EXPECT_FALSE(TreeView_Expand(tree, leaf, TVE_EXPAND)) << "a leaf has nothing to show";

  // A tap on a closed branch's plus button opens it.
  RECT line{};
  std::memcpy(&line, &roots[1], sizeof roots[1]);
  ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&line)));
  TVHITTESTINFO hit{POINT{2 + 8, (line.top + line.bottom) / 2}, 0, nullptr};
  EXPECT_EQ(TreeView_HitTest(tree, &hit), roots[1]);
  EXPECT_EQ(hit.flags, TVHT_ONITEMBUTTON);
  tap(tree, hit.pt);
  EXPECT_TRUE(expanded(tree, roots[1]));
  EXPECT_FALSE(expanded(tree, roots[2]));
  EXPECT_EQ(TreeView_GetSelection(tree), nullptr) << "the button does not select";
}

TEST_F(TreeViews, LabelEditsAcceptRejectAndRestartOrCancel) {
  HWND tree = create(WC_TREEVIEWW, kPlaylistTree, RECT{0, 0, 200, 200});
  auto roots = threeBranches(tree);
  HTREEITEM leaf = TreeView_GetChild(tree, roots[0]);
  // Entry labels are refused, as the playlist dialog does.
  m_parent.answer = [&](NMHDR* h) -> LRESULT {
    if (h->code == TVN_BEGINLABELEDITW) return reinterpret_cast<NMTVDISPINFOW*>(h)->item.hItem == leaf;
    return 0;
  };
  EXPECT_EQ(TreeView_EditLabel(tree, leaf), nullptr);
  EXPECT_EQ(TreeView_GetEditControl(tree), nullptr);

  struct Case {
    const char* name;
    const char16_t* typed;
    int finish;  // VK_RETURN, VK_ESCAPE, or 0 for a tap elsewhere
    bool accept;
    std::u16string told;   // pszText in TVN_ENDLABELEDIT
    std::u16string label;  // afterwards
    bool restarted;
  };
  const Case kCases[] = {
      {"accepted", u" Trip", VK_RETURN, true, u"Cartoons Trip", u"Cartoons Trip", false},
      {"rejected and restarted", u"X", VK_RETURN, false, u"Cartoons TripX", u"Cartoons Trip", true},
      {"cancelled", u"Y", VK_ESCAPE, true, u"(null)", u"Cartoons Trip", false},
      {"a tap elsewhere commits", u"!", 0, true, u"Cartoons Trip!", u"Cartoons Trip!", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    m_parent.labelTexts.clear();
    bool restartAsked = false;
    m_parent.answer = [&](NMHDR* h) -> LRESULT {
      if (h->code != TVN_ENDLABELEDITW) return 0;
      if (!c.accept && !restartAsked) {
        restartAsked = true;
        TreeView_EditLabel(tree, roots[0]);  // from inside the notification
      }
      return c.accept;
    };
    HWND edit = TreeView_EditLabel(tree, roots[0]);
    ASSERT_TRUE(edit);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(TreeView_GetEditControl(tree), edit);
    key(VK_END);  // the edit starts with the whole label selected
    for (const char16_t* t = c.typed; *t; ++t) SendMessageW(GetFocus(), WM_CHAR, *t, 0);
    if (c.finish)
      key(c.finish);
    else
      tap(tree, POINT{150, 190});
    wm::dispatchPending();
    ASSERT_EQ(m_parent.labelTexts.size(), 1u);
    EXPECT_EQ(m_parent.labelTexts[0], c.told);
    EXPECT_EQ(textOf(tree, roots[0]), c.label);
    EXPECT_EQ(TreeView_GetEditControl(tree) != nullptr, c.restarted);
    if (c.restarted) {
      m_parent.answer = nullptr;
      TreeView_EndEditLabelNow(tree, TRUE);
      EXPECT_EQ(TreeView_GetEditControl(tree), nullptr);
    }
  }
}

TEST_F(TreeViews, DeletingABranchTakesItsChildrenAndMovesTheCaret) {
  HWND tree = create(WC_TREEVIEWW, kPlaylistTree, RECT{0, 0, 200, 200});
  auto roots = threeBranches(tree);
  HTREEITEM leaf = TreeView_GetChild(tree, roots[1]);
  TreeView_SelectItem(tree, leaf);
  m_parent.notices.clear();
  EXPECT_TRUE(TreeView_DeleteItem(tree, roots[1]));
  std::vector<UINT> told = codes();
  EXPECT_EQ(std::count(told.begin(), told.end(), TVN_DELETEITEMW), 4);
  EXPECT_EQ(TreeView_GetCount(tree), 8u);
  EXPECT_EQ(walk(tree, TreeView_GetRoot(tree), TVGN_NEXT), (std::vector<std::u16string>{u"Cartoons", u"Trip"}));
  EXPECT_EQ(TreeView_GetSelection(tree), roots[2]) << "the caret moves to the next branch";
  EXPECT_EQ(textOf(tree, leaf), u"(none)") << "a deleted node's handle fails";
  EXPECT_FALSE(TreeView_DeleteItem(tree, leaf));
  EXPECT_TRUE(TreeView_DeleteAllItems(tree));
  EXPECT_EQ(TreeView_GetCount(tree), 0u);
  EXPECT_EQ(TreeView_GetSelection(tree), nullptr);
}

TEST_F(TreeViews, ThreeBranchesOneOpenWithALabelBeingEdited) {
  RECT area = wm::workArea();
  HWND tree = create(WC_TREEVIEWW, kPlaylistTree, RECT{0, 0, area.right - area.left, area.bottom - area.top});
  registerPlayerResources(nullptr);
  HIMAGELIST images = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCEW(playerres::kListImagesBitmap), 16, 0, CLR_DEFAULT);
  TreeView_SetImageList(tree, images, TVSIL_NORMAL);
  auto roots = threeBranches(tree);
  TreeView_Expand(tree, roots[1], TVE_EXPAND);
  TVITEMW open{};
  open.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  open.hItem = roots[1];
  TreeView_SetItem(tree, &open);  // image 0: the open folder
  TreeView_SelectItem(tree, TreeView_GetChild(tree, roots[1]));
  HWND edit = TreeView_EditLabel(tree, roots[2]);
  ASSERT_TRUE(edit);
  DWORD start = 9, end = 9;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u) << "the whole label is selected, so typing replaces it";
  EXPECT_EQ(end, 4u);
  screenshot("treeview-editing.png");
  std::string dump = display::stateDump();
  EXPECT_NE(dump.find("node \"Games\" image=0 expanded"), std::string::npos) << dump;
  EXPECT_NE(dump.find("node \"Trip\" image=1 selected editing"), std::string::npos) << dump;
  RECT line{};
  std::memcpy(&line, &roots[0], sizeof roots[0]);
  SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&line));
  EXPECT_EQ(pixel(tree, POINT{line.left + 1, line.top + 1}), 0xFFFFFFu) << "an unselected label has no fill";
  EXPECT_EQ(pixel(tree, POINT{line.left - 3 - 16 + 1, line.top}), 0xFFFFFFu)
      << "the folder's background is transparent";
  EXPECT_EQ(pixel(tree, POINT{line.left - 3 - 16 + 5, line.top + 10}), 0xFFD84Au) << "the closed folder's yellow";
  DestroyWindow(tree);
  ImageList_Destroy(images);
  res::registerModule(nullptr, nullptr);
}

}  // namespace

namespace {

TEST_F(Views, AParentMayDestroyAViewFromInsideANotification) {
  struct Case {
    const WCHAR* cls;
    UINT code;
  };
  for (Case c : {Case{WC_LISTVIEWW, LVN_ITEMCHANGED}, Case{WC_LISTVIEWW, LVN_ITEMCHANGING},
                 Case{WC_TREEVIEWW, TVN_SELCHANGEDW}, Case{WC_TREEVIEWW, TVN_ITEMEXPANDINGW}}) {
    SCOPED_TRACE(static_cast<int>(c.code));
    HWND view = create(c.cls, TVS_SINGLEEXPAND | TVS_HASBUTTONS | LVS_REPORT, RECT{0, 0, 200, 100});
    if (c.cls == WC_LISTVIEWW) {
      LVCOLUMNW column{LVCF_WIDTH, 0, 150, nullptr, 0, 0, 0, 0};
      ListView_InsertColumn(view, 0, &column);
      for (const char16_t* t : {u"a", u"b"}) {
        LVITEMW item{LVIF_TEXT, 9, 0, 0, 0, const_cast<LPWSTR>(t), 0, 0, 0, 0};
        ListView_InsertItem(view, &item);
      }
      ListView_SetItemState(view, 0, LVIS_SELECTED, LVIS_SELECTED);
    } else {
      TVINSERTSTRUCTW in{TVI_ROOT, TVI_LAST, {}};
      in.item.mask = TVIF_TEXT;
      in.item.pszText = const_cast<LPWSTR>(u"branch");
      in.hParent = TreeView_InsertItem(view, &in);
      in.item.pszText = const_cast<LPWSTR>(u"leaf");
      TreeView_InsertItem(view, &in);
    }
    m_parent.answer = [&](NMHDR* h) -> LRESULT {
      if (h->code == c.code) DestroyWindow(h->hwndFrom);
      return 0;
    };
    tap(view, POINT{30, 5});  // the first row or node
    key(VK_DOWN);
    EXPECT_FALSE(IsWindow(view));
    m_parent.answer = nullptr;
  }
}

}  // namespace
