#include <string>
#include <vector>

#include "platform/commctrl/viewparts.h"
#include "platform/core/windowing.h"
#include "tests/platform/commctrl/viewfixture.h"

namespace {

constexpr DWORD kReport = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;

class ListViews : public Views {
 protected:
  HWND makeList(DWORD style = kReport, RECT r = RECT{0, 0, 200, 120}) {
    HWND list = create(WC_LISTVIEWW, style, r);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNW name{LVCF_WIDTH | LVCF_FMT, LVCFMT_LEFT, 120, nullptr, 0, 0, 0, 0};
    LVCOLUMNW size{LVCF_WIDTH | LVCF_FMT, LVCFMT_RIGHT, 60, nullptr, 0, 0, 0, 0};
    ListView_InsertColumn(list, 0, &name);
    ListView_InsertColumn(list, 1, &size);
    m_parent.clicksCarryItem = true;
    return list;
  }
  int insert(HWND list, const std::u16string& text, int at = 0x7FFF, int image = 0) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = at;
    item.pszText = const_cast<LPWSTR>(text.c_str());
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(text.size());
    return ListView_InsertItem(list, &item);
  }
  std::u16string textOf(HWND list, int row, int sub = 0) {
    WCHAR buffer[64] = {};
    ListView_GetItemText(list, row, sub, buffer, 64);
    return buffer;
  }
  void fill(HWND list, int rows) {
    for (int i = 0; i < rows; ++i) {
      char16_t name[16];
      int n = 0;
      for (char c : "Movie ") name[n++] = static_cast<char16_t>(c);
      n--;  // drop the terminator copied from the literal
      name[n++] = static_cast<char16_t>(u'0' + i / 100 % 10);
      name[n++] = static_cast<char16_t>(u'0' + i / 10 % 10);
      name[n++] = static_cast<char16_t>(u'0' + i % 10);
      name[n] = 0;
      insert(list, name, i);
    }
  }
  POINT rowCentre(HWND list, int row) {
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    EXPECT_TRUE(ListView_GetItemRect(list, row, &r, LVIR_BOUNDS));
    return POINT{(r.left + r.right) / 2 - 20, (r.top + r.bottom) / 2};
  }
};

TEST_F(ListViews, SortedInsertionPlacesRowsByTheirFirstColumnAndAnswersTheIndex) {
  struct Case {
    const char16_t* text;
    int index;  // answered by LVM_INSERTITEM
  };
  const Case kCases[] = {{u"Left", 0}, {u"Down", 0}, {u"up", 2}, {u"app 1", 0}, {u"down", 2}, {u"Zed", 5}};
  HWND list = makeList(kReport | LVS_SORTASCENDING | LVS_NOCOLUMNHEADER);
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
    EXPECT_EQ(insert(list, c.text, 0), c.index);
  }
  std::vector<std::u16string> order;
  for (int i = 0; i < ListView_GetItemCount(list); ++i) order.push_back(textOf(list, i));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"app 1", u"Down", u"down", u"Left", u"up", u"Zed"}))
      << "case is ignored and equal texts keep their arrival order";

  // Enough rows to span many of the store's chunks, arriving scrambled, then thinned out.
  HWND many = makeList(kReport | LVS_SORTASCENDING);
  for (int i = 0; i < 1500; ++i) {
    std::string n = std::to_string((i * 7919) % 1500 + 10000);
    std::u16string text(n.begin(), n.end());
    int at = insert(many, text);
    ASSERT_EQ(textOf(many, at), text);
  }
  for (int i = 1499; i >= 0; i -= 3) ListView_DeleteItem(many, i);
  ASSERT_EQ(ListView_GetItemCount(many), 1000);
  for (int i = 1; i < 1000; ++i) ASSERT_LT(textOf(many, i - 1), textOf(many, i)) << i;

  HWND unsorted = makeList();
  EXPECT_EQ(insert(unsorted, u"b", 0), 0);
  EXPECT_EQ(insert(unsorted, u"a", 5), 1) << "a position past the end appends";
  EXPECT_EQ(insert(unsorted, u"c", 0), 0);
}

TEST_F(ListViews, ItemsKeepTextsImagesAndDataBySubItem) {
  HWND list = makeList();
  insert(list, u"First", 0, 2);
  ListView_SetItemText(list, 0, 1, u"12K");
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  WCHAR buffer[4];
  item.pszText = buffer;
  item.cchTextMax = 4;
  ASSERT_TRUE(ListView_GetItem(list, &item));
  EXPECT_EQ(std::u16string(buffer), u"Fir") << "a short buffer takes what fits, terminated";
  EXPECT_EQ(item.iImage, 2);
  EXPECT_EQ(item.lParam, 5);
  EXPECT_EQ(textOf(list, 0, 1), u"12K");
  EXPECT_EQ(textOf(list, 0, 5), u"") << "a sub-item never set reads empty";
  item.iItem = 3;
  EXPECT_FALSE(ListView_GetItem(list, &item)) << "no such row";
  LVITEMW sub{};
  sub.mask = LVIF_TEXT;
  sub.iSubItem = 1;
  sub.pszText = const_cast<LPWSTR>(u"x");
  EXPECT_EQ(ListView_InsertItem(list, &sub), -1) << "rows are inserted by their first column";
}

TEST_F(ListViews, TapsAndKeysMoveTheSelectionWithNotificationsInOrder) {
  HWND list = makeList(kReport | LVS_NOCOLUMNHEADER);
  fill(list, 3);
  m_parent.notices.clear();
  tap(list, rowCentre(list, 1));
  std::vector<Notice> afterFirstTap;
  for (const auto& n : m_parent.notices)
    if (n.code != NM_SETFOCUS) afterFirstTap.push_back(n);
  EXPECT_EQ(afterFirstTap, (std::vector<Notice>{{LVN_ITEMCHANGING, 1}, {LVN_ITEMCHANGED, 1}, {NM_CLICK, 1}}));
  EXPECT_EQ(ListView_GetSelectionMark(list), 1);

  m_parent.notices.clear();
  tap(list, rowCentre(list, 2));
  EXPECT_EQ(
      m_parent.notices,
      (std::vector<Notice>{
          {LVN_ITEMCHANGING, 1}, {LVN_ITEMCHANGED, 1}, {LVN_ITEMCHANGING, 2}, {LVN_ITEMCHANGED, 2}, {NM_CLICK, 2}}))
      << "the old row is left before the new one is taken";

  m_parent.notices.clear();
  tap(list, POINT{50, 110});
  EXPECT_TRUE(m_parent.notices.empty()) << "a tap below the last row changes nothing and sends no click";
  EXPECT_EQ(ListView_GetSelectionMark(list), 2);

  struct Step {
    int key;
    int selected;
  };
  const Step kSteps[] = {{VK_UP, 1}, {VK_UP, 0}, {VK_UP, 0}, {VK_DOWN, 1}, {VK_END, 2}, {VK_DOWN, 2}, {VK_HOME, 0}};
  for (const Step& s : kSteps) {
    SCOPED_TRACE(s.key);
    key(s.key);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), s.selected);
    EXPECT_EQ(ListView_GetSelectionMark(list), s.selected);
    EXPECT_EQ(ListView_GetSelectedCount(list), 1u);
  }

  m_parent.answer = [](NMHDR* h) { return h->code == LVN_ITEMCHANGING ? TRUE : FALSE; };
  key(VK_DOWN);
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 0) << "the parent refused the change";
  tap(list, rowCentre(list, 2));
  EXPECT_EQ(ListView_GetSelectionMark(list), 0) << "nor does a refused tap move the mark";
}

TEST_F(ListViews, SelectionMarkFollowsDeletions) {
  struct Case {
    int marked;
    int deleted;
    int markAfter;
  };
  const Case kCases[] = {{2, 0, 1}, {2, 2, -1}, {2, 3, 2}, {-1, 1, -1}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.marked * 10 + c.deleted);
    HWND list = makeList();
    fill(list, 4);
    if (c.marked >= 0) ListView_SetItemState(list, c.marked, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(ListView_GetSelectionMark(list), c.marked);
    EXPECT_TRUE(ListView_DeleteItem(list, c.deleted));
    EXPECT_EQ(ListView_GetSelectionMark(list), c.markAfter);
    EXPECT_EQ(ListView_GetItemCount(list), 3);
    DestroyWindow(list);
  }
}

TEST_F(ListViews, EnsureVisibleScrollsTheRowIntoViewAndTheBarFollowsThePen) {
  HWND list = makeList(kReport, RECT{0, 0, 200, 160});
  fill(list, 200);
  int page = ListView_GetCountPerPage(list);
  ASSERT_GT(page, 3);
  struct Case {
    int row;
    int top;
  };
  const Case kCases[] = {{150, 150 - page + 1}, {151, 152 - page}, {10, 10}, {12, 10}, {199, 200 - page}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.row);
    EXPECT_TRUE(ListView_EnsureVisible(list, c.row, FALSE));
    EXPECT_EQ(ListView_GetTopIndex(list), c.top);
  }
  EXPECT_FALSE(ListView_EnsureVisible(list, 200, FALSE));

  ListView_EnsureVisible(list, 0, FALSE);
  tap(list, POINT{195, 155});  // the bar's down arrow
  EXPECT_EQ(ListView_GetTopIndex(list), 1);
  tap(list, POINT{195, 120});  // the track below the thumb: a page
  EXPECT_EQ(ListView_GetTopIndex(list), page);
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), -1) << "scrolling selects nothing";

  // Drag the thumb from the top of the track to the bottom.
  ListView_EnsureVisible(list, 0, FALSE);
  POINT from{195, commctrl::ScrollBar::kWidth + 3}, to{195, 160};
  ClientToScreen(list, &from);
  ClientToScreen(list, &to);
  wm::injectPen(wm::PenAction::Down, from);
  wm::injectPen(wm::PenAction::Move, to);
  wm::injectPen(wm::PenAction::Up, to);
  wm::dispatchPending();
  EXPECT_EQ(ListView_GetTopIndex(list), 200 - page);
}

TEST_F(ListViews, AHeldArrowOrTrackRepeatsWhileThePenStaysOnIt) {
  wm::useVirtualClock(true);
  HWND list = makeList(kReport, RECT{0, 0, 200, 160});
  fill(list, 200);
  int page = ListView_GetCountPerPage(list), last = 200 - page;
  const POINT kDownArrow{195, 155}, kRows{50, 80}, kLowTrack{195, 140};
  auto pen = [&](wm::PenAction action, POINT p) {
    ClientToScreen(list, &p);
    wm::injectPen(action, p);
    wm::dispatchPending();
  };
  auto wait = [&](std::uint64_t ms) {
    wm::advanceClock(ms);
    wm::dispatchPending();
  };
  struct Step {
    const char* what;
    std::uint64_t waitMs;
    int top;
  };
  const Step kHeldArrow[] = {{"the press scrolls once", 0, 1},
                             {"no repeat before the delay", commctrl::ScrollBar::kRepeatDelayMs - 1, 1},
                             {"the delay's end repeats", 1, 2},
                             {"then each period", commctrl::ScrollBar::kRepeatPeriodMs, 3},
                             {"and the next", commctrl::ScrollBar::kRepeatPeriodMs, 4}};
  ListView_EnsureVisible(list, 0, FALSE);
  pen(wm::PenAction::Down, kDownArrow);
  for (const Step& s : kHeldArrow) {
    SCOPED_TRACE(s.what);
    wait(s.waitMs);
    EXPECT_EQ(ListView_GetTopIndex(list), s.top);
  }
  pen(wm::PenAction::Move, kRows);
  for (int i = 0; i < 10; ++i) wait(commctrl::ScrollBar::kRepeatPeriodMs);
  EXPECT_EQ(ListView_GetTopIndex(list), 4) << "the pen left the arrow";
  pen(wm::PenAction::Move, kDownArrow);
  wait(commctrl::ScrollBar::kRepeatPeriodMs);
  EXPECT_EQ(ListView_GetTopIndex(list), 5) << "and came back";
  pen(wm::PenAction::Up, kDownArrow);
  for (int i = 0; i < 10; ++i) wait(commctrl::ScrollBar::kRepeatPeriodMs);
  EXPECT_EQ(ListView_GetTopIndex(list), 5) << "the lift ends the repeat";
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), -1) << "scrolling selects nothing";

  // The track held low pages down until the thumb comes under the pen.
  ListView_EnsureVisible(list, 0, FALSE);
  pen(wm::PenAction::Down, kLowTrack);
  wait(commctrl::ScrollBar::kRepeatDelayMs);
  for (int i = 0; i < 100; ++i) wait(commctrl::ScrollBar::kRepeatPeriodMs);
  int stopped = ListView_GetTopIndex(list);
  EXPECT_GT(stopped, page);
  EXPECT_LT(stopped, last);
  for (int i = 0; i < 10; ++i) wait(commctrl::ScrollBar::kRepeatPeriodMs);
  EXPECT_EQ(ListView_GetTopIndex(list), stopped);
  pen(wm::PenAction::Up, kLowTrack);
  wm::useVirtualClock(false);
}

TEST_F(ListViews, TwoHundredRowsScrolledToTheMiddleWithARowSelected) {
  RECT area = wm::workArea();
  HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK, 3, 0);
  std::vector<std::uint32_t> pixels(48 * 16, 0xFF00FF);
  for (int y = 3; y < 13; ++y)
    for (int x = 3; x < 13; ++x) pixels[static_cast<size_t>(y * 48 + 32 + x)] = 0x2050C0;  // image 2: a blue square
  HBITMAP strip = gdi::createBitmapFromPixels(48, 16, false, pixels);
  ASSERT_EQ(ImageList_AddMasked(images, strip, RGB(255, 0, 255)), 0);
  HWND list = makeList(kReport, RECT{0, 0, area.right - area.left, area.bottom - area.top});
  ListView_SetImageList(list, images, LVSIL_SMALL);
  LVCOLUMNW name{LVCF_TEXT, 0, 0, const_cast<LPWSTR>(u"File Name"), 0, 0, 0, 0};
  LVCOLUMNW size{LVCF_TEXT, 0, 0, const_cast<LPWSTR>(u"File Size"), 0, 0, 0, 0};
  ListView_SetColumn(list, 0, &name);
  ListView_SetColumn(list, 1, &size);
  ListView_SetColumnWidth(list, 0, area.right - area.left - 55 - commctrl::ScrollBar::kWidth);
  ListView_SetColumnWidth(list, 1, 55);
  fill(list, 200);
  for (int i = 0; i < 200; ++i) {
    std::u16string size = std::u16string(u"") + static_cast<char16_t>(u'1' + i % 9) + u"K";
    ListView_SetItemText(list, i, 1, size.c_str());
    LVITEMW image{};
    image.mask = LVIF_IMAGE;
    image.iItem = i;
    image.iImage = 2;
    ListView_SetItem(list, &image);
  }
  SetFocus(list);
  ListView_SetItemState(list, 100, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, 100, FALSE);
  int top = ListView_GetTopIndex(list);
  EXPECT_GT(top, 80);
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  ListView_GetItemRect(list, 100, &row, LVIR_BOUNDS);
  EXPECT_EQ(pixel(list, POINT{100, (row.top + row.bottom) / 2 + 5}), gdi::pixelOf(GetSysColor(COLOR_HIGHLIGHT)))
      << "the selected row is filled across with the highlight";
  RECT other{LVIR_BOUNDS, 0, 0, 0};
  ListView_GetItemRect(list, 99, &other, LVIR_BOUNDS);
  EXPECT_EQ(pixel(list, POINT{10, other.top + 8}), 0x2050C0u) << "image 2 drawn at the row's left";
  EXPECT_EQ(pixel(list, POINT{4, other.top + 2}), 0xFFFFFFu) << "the image's magenta is transparent";
  screenshot("listview-200-rows.png");
  std::string dump = display::stateDump();
  EXPECT_NE(dump.find("row 100 \"Movie 100\" \"2K\" image=2 selected focused"), std::string::npos) << dump;
  ImageList_Destroy(images);
}

}  // namespace
