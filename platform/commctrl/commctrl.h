#pragma once
// The device's common controls: toolbar buttons of the menu bar, tooltips,
// the standard small bitmap, image lists, the report list view
// ("SysListView32") and the tree view ("SysTreeView32"). Dialog controls
// (static, button, list box, combo box, edit) are declared in
// platform/core/winuser.h and live here too.

#include <cstring>

#include "platform/core/winuser.h"

void InitCommonControls();

// ---- Toolbar buttons (the menu bar is a toolbar) --------------------------------
struct TBBUTTON {
  int iBitmap;
  int idCommand;
  BYTE fsState;
  BYTE fsStyle;
  BYTE bReserved[2];
  DWORD_PTR dwData;
  INT_PTR iString;
};
using LPTBBUTTON = TBBUTTON*;
using LPCTBBUTTON = const TBBUTTON*;

inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;
inline constexpr BYTE TBSTATE_HIDDEN = 0x08;
inline constexpr BYTE TBSTYLE_BUTTON = 0x00;
inline constexpr BYTE TBSTYLE_SEP = 0x01;
inline constexpr BYTE TBSTYLE_CHECK = 0x02;
inline constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
inline constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;
inline constexpr BYTE TBSTYLE_NO_PREFIX = 0x20;
inline constexpr int I_IMAGENONE = -2;

inline constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
inline constexpr UINT TB_CHECKBUTTON = WM_USER + 2;
inline constexpr UINT TB_PRESSBUTTON = WM_USER + 3;
inline constexpr UINT TB_HIDEBUTTON = WM_USER + 4;
inline constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
inline constexpr UINT TB_ADDBITMAP = WM_USER + 19;
inline constexpr UINT TB_DELETEBUTTON = WM_USER + 22;
inline constexpr UINT TB_GETBUTTON = WM_USER + 23;
inline constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
inline constexpr UINT TB_GETITEMRECT = WM_USER + 29;
inline constexpr UINT TB_SETTOOLTIPS = WM_USER + 81;  // wParam count, lParam LPWSTR array
inline constexpr UINT TB_ADDBUTTONSW = WM_USER + 68;
inline constexpr UINT TB_ADDBUTTONS = TB_ADDBUTTONSW;

// The common controls' own bitmaps: HINST_COMMCTRL with IDB_STD_SMALL_COLOR
// gives the 15 standard images of 16 x 16.
inline const HINSTANCE HINST_COMMCTRL = reinterpret_cast<HINSTANCE>(static_cast<LONG_PTR>(-1));
inline constexpr int IDB_STD_SMALL_COLOR = 0;
inline constexpr int IDB_STD_LARGE_COLOR = 1;
inline constexpr int STD_CUT = 0;
inline constexpr int STD_COPY = 1;
inline constexpr int STD_PASTE = 2;
inline constexpr int STD_UNDO = 3;
inline constexpr int STD_REDOW = 4;
inline constexpr int STD_DELETE = 5;
inline constexpr int STD_FILENEW = 6;
inline constexpr int STD_FILEOPEN = 7;
inline constexpr int STD_FILESAVE = 8;
inline constexpr int STD_PRINTPRE = 9;
inline constexpr int STD_PROPERTIES = 10;
inline constexpr int STD_HELP = 11;
inline constexpr int STD_FIND = 12;
inline constexpr int STD_REPLACE = 13;
inline constexpr int STD_PRINT = 14;
inline constexpr int kStandardImageCount = 15;

struct TBADDBITMAP {
  HINSTANCE hInst;
  UINT_PTR nID;
};

// Adds `imageCount` images of a bitmap to a command bar (the menu bar);
// answers the index of the first, or -1.
int CommandBar_AddBitmap(HWND bar, HINSTANCE instance, int bitmapId, int imageCount, int imageWidth, int imageHeight);
inline BOOL CommandBar_Show(HWND bar, BOOL show) { return ShowWindow(bar, show ? SW_SHOW : SW_HIDE); }

// ---- Notifications (WM_NOTIFY) ---------------------------------------------------
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
using LPNMHDR = NMHDR*;

inline constexpr UINT NM_FIRST = 0u;
inline constexpr UINT NM_OUTOFMEMORY = NM_FIRST - 1;
inline constexpr UINT NM_CLICK = NM_FIRST - 2;
inline constexpr UINT NM_DBLCLK = NM_FIRST - 3;
inline constexpr UINT NM_RETURN = NM_FIRST - 4;
inline constexpr UINT NM_RCLICK = NM_FIRST - 5;
inline constexpr UINT NM_RDBLCLK = NM_FIRST - 6;
inline constexpr UINT NM_SETFOCUS = NM_FIRST - 7;
inline constexpr UINT NM_KILLFOCUS = NM_FIRST - 8;

// ---- Colours shared by image lists and views -------------------------------------
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

// ---- Image lists ----------------------------------------------------------------
struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLORDDB = 0x00FE;
inline constexpr UINT ILC_COLOR4 = 0x0004;
inline constexpr UINT ILC_COLOR8 = 0x0008;
inline constexpr UINT ILC_COLOR16 = 0x0010;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;

inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr UINT ILD_BLEND25 = 0x0002;
inline constexpr UINT ILD_BLEND50 = 0x0004;
inline constexpr UINT ILD_MASK = 0x0010;
inline constexpr UINT ILD_IMAGE = 0x0020;
inline constexpr UINT ILD_FOCUS = ILD_BLEND25;
inline constexpr UINT ILD_BLEND = ILD_BLEND50;
inline constexpr UINT ILD_SELECTED = ILD_BLEND50;

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// `mask` CLR_DEFAULT takes the colour of the bitmap's top-left pixel as transparent.
HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow, COLORREF mask, UINT type,
                                UINT flags);
inline HIMAGELIST ImageList_LoadImage(HINSTANCE instance, LPCWSTR name, int cx, int grow, COLORREF mask, UINT type,
                                      UINT flags) {
  return ImageList_LoadImageW(instance, name, cx, grow, mask, type, flags);
}
inline HIMAGELIST ImageList_LoadBitmap(HINSTANCE instance, LPCWSTR name, int cx, int grow, COLORREF mask) {
  return ImageList_LoadImageW(instance, name, cx, grow, mask, IMAGE_BITMAP, 0);
}
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
BOOL ImageList_Remove(HIMAGELIST list, int index);  // -1 removes all
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);

// ---- List view ------------------------------------------------------------------
inline constexpr WCHAR WC_LISTVIEWW[] = u"SysListView32";
inline constexpr const WCHAR* WC_LISTVIEW = WC_LISTVIEWW;

inline constexpr DWORD LVS_ICON = 0x0000;
inline constexpr DWORD LVS_REPORT = 0x0001;
inline constexpr DWORD LVS_SMALLICON = 0x0002;
inline constexpr DWORD LVS_LIST = 0x0003;
inline constexpr DWORD LVS_TYPEMASK = 0x0003;
inline constexpr DWORD LVS_SINGLESEL = 0x0004;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
inline constexpr DWORD LVS_SORTASCENDING = 0x0010;
inline constexpr DWORD LVS_SORTDESCENDING = 0x0020;
inline constexpr DWORD LVS_SHAREIMAGELISTS = 0x0040;
inline constexpr DWORD LVS_NOLABELWRAP = 0x0080;
inline constexpr DWORD LVS_AUTOARRANGE = 0x0100;
inline constexpr DWORD LVS_EDITLABELS = 0x0200;
inline constexpr DWORD LVS_NOSCROLL = 0x2000;
inline constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
inline constexpr DWORD LVS_NOSORTHEADER = 0x8000;

inline constexpr DWORD LVS_EX_GRIDLINES = 0x00000001;
inline constexpr DWORD LVS_EX_CHECKBOXES = 0x00000004;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;

inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_GETIMAGELIST = LVM_FIRST + 2;
inline constexpr UINT LVM_SETIMAGELIST = LVM_FIRST + 3;
inline constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
inline constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
inline constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
inline constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
inline constexpr UINT LVM_GETITEMRECT = LVM_FIRST + 14;
inline constexpr UINT LVM_HITTEST = LVM_FIRST + 18;
inline constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
inline constexpr UINT LVM_SCROLL = LVM_FIRST + 20;
inline constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 28;
inline constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
inline constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
inline constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 39;
inline constexpr UINT LVM_GETCOUNTPERPAGE = LVM_FIRST + 40;
inline constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
inline constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
inline constexpr UINT LVM_GETSELECTEDCOUNT = LVM_FIRST + 50;
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
inline constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
inline constexpr UINT LVM_GETSELECTIONMARK = LVM_FIRST + 66;
inline constexpr UINT LVM_SETSELECTIONMARK = LVM_FIRST + 67;
inline constexpr UINT LVM_GETITEMW = LVM_FIRST + 75;
inline constexpr UINT LVM_SETITEMW = LVM_FIRST + 76;
inline constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
inline constexpr UINT LVM_GETCOLUMNW = LVM_FIRST + 95;
inline constexpr UINT LVM_SETCOLUMNW = LVM_FIRST + 96;
inline constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
inline constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
inline constexpr UINT LVM_SETITEMTEXTW = LVM_FIRST + 116;
inline constexpr UINT LVM_GETITEM = LVM_GETITEMW;
inline constexpr UINT LVM_SETITEM = LVM_SETITEMW;
inline constexpr UINT LVM_INSERTITEM = LVM_INSERTITEMW;
inline constexpr UINT LVM_GETCOLUMN = LVM_GETCOLUMNW;
inline constexpr UINT LVM_SETCOLUMN = LVM_SETCOLUMNW;
inline constexpr UINT LVM_INSERTCOLUMN = LVM_INSERTCOLUMNW;
inline constexpr UINT LVM_GETITEMTEXT = LVM_GETITEMTEXTW;
inline constexpr UINT LVM_SETITEMTEXT = LVM_SETITEMTEXTW;

inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_IMAGE = 0x0002;
inline constexpr UINT LVIF_PARAM = 0x0004;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIF_INDENT = 0x0010;

inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr UINT LVIS_CUT = 0x0004;
inline constexpr UINT LVIS_DROPHILITED = 0x0008;
inline constexpr UINT LVIS_OVERLAYMASK = 0x0F00;
inline constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;

inline constexpr UINT LVNI_ALL = 0x0000;
inline constexpr UINT LVNI_FOCUSED = 0x0001;
inline constexpr UINT LVNI_SELECTED = 0x0002;
inline constexpr UINT LVNI_ABOVE = 0x0100;
inline constexpr UINT LVNI_BELOW = 0x0200;
inline constexpr UINT LVNI_TOLEFT = 0x0400;
inline constexpr UINT LVNI_TORIGHT = 0x0800;

inline constexpr UINT LVCF_FMT = 0x0001;
inline constexpr UINT LVCF_WIDTH = 0x0002;
inline constexpr UINT LVCF_TEXT = 0x0004;
inline constexpr UINT LVCF_SUBITEM = 0x0008;
inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVCFMT_RIGHT = 0x0001;
inline constexpr int LVCFMT_CENTER = 0x0002;
inline constexpr int LVCFMT_JUSTIFYMASK = 0x0003;
inline constexpr int LVSCW_AUTOSIZE = -1;
inline constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

inline constexpr int LVSIL_NORMAL = 0;
inline constexpr int LVSIL_SMALL = 1;
inline constexpr int LVSIL_STATE = 2;

inline constexpr int LVIR_BOUNDS = 0;
inline constexpr int LVIR_ICON = 1;
inline constexpr int LVIR_LABEL = 2;
inline constexpr int LVIR_SELECTBOUNDS = 3;

inline constexpr UINT LVHT_NOWHERE = 0x0001;
inline constexpr UINT LVHT_ONITEMICON = 0x0002;
inline constexpr UINT LVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT LVHT_ONITEMSTATEICON = 0x0008;
inline constexpr UINT LVHT_ONITEM = LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON;
inline constexpr UINT LVHT_ABOVE = 0x0008;
inline constexpr UINT LVHT_BELOW = 0x0010;
inline constexpr UINT LVHT_TORIGHT = 0x0020;
inline constexpr UINT LVHT_TOLEFT = 0x0040;

inline constexpr UINT LVN_FIRST = 0u - 100u;
inline constexpr UINT LVN_ITEMCHANGING = LVN_FIRST - 0;
inline constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
inline constexpr UINT LVN_INSERTITEM = LVN_FIRST - 2;
inline constexpr UINT LVN_DELETEITEM = LVN_FIRST - 3;
inline constexpr UINT LVN_DELETEALLITEMS = LVN_FIRST - 4;
inline constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;
inline constexpr UINT LVN_ITEMACTIVATE = LVN_FIRST - 14;
inline constexpr UINT LVN_KEYDOWN = LVN_FIRST - 55;

struct LVCOLUMNW {
  UINT mask;
  int fmt;
  int cx;
  LPWSTR pszText;
  int cchTextMax;
  int iSubItem;
  int iImage;
  int iOrder;
};
using LVCOLUMN = LVCOLUMNW;
using LPLVCOLUMNW = LVCOLUMNW*;

struct LVITEMW {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
};
using LVITEM = LVITEMW;
using LPLVITEMW = LVITEMW*;

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
};
using LPNMLISTVIEW = NMLISTVIEW*;

struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
  UINT uKeyFlags;
};
using LPNMITEMACTIVATE = NMITEMACTIVATE*;

struct NMLVKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
};

struct LVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
  int iSubItem;
};
using LPLVHITTESTINFO = LVHITTESTINFO*;

namespace commctrl_detail {
inline LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(hwnd, message, wParam, lParam);
}
template <typename T>
LPARAM lp(T* p) {
  return reinterpret_cast<LPARAM>(p);
}
}  // namespace commctrl_detail

inline HIMAGELIST ListView_SetImageList(HWND hwnd, HIMAGELIST list, int which) {
  return reinterpret_cast<HIMAGELIST>(
      commctrl_detail::send(hwnd, LVM_SETIMAGELIST, static_cast<WPARAM>(which), commctrl_detail::lp(list)));
}
inline HIMAGELIST ListView_GetImageList(HWND hwnd, int which) {
  return reinterpret_cast<HIMAGELIST>(commctrl_detail::send(hwnd, LVM_GETIMAGELIST, static_cast<WPARAM>(which), 0));
}
inline int ListView_GetItemCount(HWND hwnd) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETITEMCOUNT, 0, 0));
}
inline int ListView_InsertColumn(HWND hwnd, int column, const LVCOLUMNW* info) {
  return static_cast<int>(
      commctrl_detail::send(hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), commctrl_detail::lp(info)));
}
inline BOOL ListView_SetColumn(HWND hwnd, int column, const LVCOLUMNW* info) {
  return static_cast<BOOL>(
      commctrl_detail::send(hwnd, LVM_SETCOLUMNW, static_cast<WPARAM>(column), commctrl_detail::lp(info)));
}
inline BOOL ListView_GetColumn(HWND hwnd, int column, LVCOLUMNW* info) {
  return static_cast<BOOL>(
      commctrl_detail::send(hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column), commctrl_detail::lp(info)));
}
inline BOOL ListView_DeleteColumn(HWND hwnd, int column) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0));
}
inline BOOL ListView_SetColumnWidth(HWND hwnd, int column, int cx) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), cx));
}
inline int ListView_GetColumnWidth(HWND hwnd, int column) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}
inline int ListView_InsertItem(HWND hwnd, const LVITEMW* item) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_INSERTITEMW, 0, commctrl_detail::lp(item)));
}
inline BOOL ListView_SetItem(HWND hwnd, const LVITEMW* item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_SETITEMW, 0, commctrl_detail::lp(item)));
}
inline BOOL ListView_GetItem(HWND hwnd, LVITEMW* item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_GETITEMW, 0, commctrl_detail::lp(item)));
}
inline void ListView_SetItemText(HWND hwnd, int index, int subItem, LPCWSTR text) {
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<LPWSTR>(text);
  commctrl_detail::send(hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), commctrl_detail::lp(&item));
}
inline void ListView_GetItemText(HWND hwnd, int index, int subItem, LPWSTR text, int textMax) {
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = text;
  item.cchTextMax = textMax;
  commctrl_detail::send(hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), commctrl_detail::lp(&item));
}
inline BOOL ListView_DeleteItem(HWND hwnd, int index) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0));
}
inline BOOL ListView_DeleteAllItems(HWND hwnd) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_DELETEALLITEMS, 0, 0));
}
inline void ListView_SetItemState(HWND hwnd, int index, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  commctrl_detail::send(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), commctrl_detail::lp(&item));
}
inline UINT ListView_GetItemState(HWND hwnd, int index, UINT mask) {
  return static_cast<UINT>(commctrl_detail::send(hwnd, LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
}
inline int ListView_GetNextItem(HWND hwnd, int start, UINT flags) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
}
inline UINT ListView_GetSelectedCount(HWND hwnd) {
  return static_cast<UINT>(commctrl_detail::send(hwnd, LVM_GETSELECTEDCOUNT, 0, 0));
}
inline int ListView_GetSelectionMark(HWND hwnd) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETSELECTIONMARK, 0, 0));
}
inline int ListView_SetSelectionMark(HWND hwnd, int index) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_SETSELECTIONMARK, 0, index));
}
inline BOOL ListView_EnsureVisible(HWND hwnd, int index, BOOL partialOk) {
  return static_cast<BOOL>(
      commctrl_detail::send(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk ? TRUE : FALSE));
}
inline BOOL ListView_Scroll(HWND hwnd, int dx, int dy) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, LVM_SCROLL, static_cast<WPARAM>(dx), dy));
}
inline int ListView_HitTest(HWND hwnd, LVHITTESTINFO* info) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_HITTEST, 0, commctrl_detail::lp(info)));
}
inline BOOL ListView_GetItemRect(HWND hwnd, int index, RECT* rect, int code) {
  if (rect) rect->left = code;
  return static_cast<BOOL>(
      commctrl_detail::send(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(index), commctrl_detail::lp(rect)));
}
inline int ListView_GetTopIndex(HWND hwnd) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETTOPINDEX, 0, 0));
}
inline int ListView_GetCountPerPage(HWND hwnd) {
  return static_cast<int>(commctrl_detail::send(hwnd, LVM_GETCOUNTPERPAGE, 0, 0));
}
inline DWORD ListView_SetExtendedListViewStyle(HWND hwnd, DWORD style) {
  return static_cast<DWORD>(commctrl_detail::send(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}
inline DWORD ListView_SetExtendedListViewStyleEx(HWND hwnd, DWORD mask, DWORD style) {
  return static_cast<DWORD>(
      commctrl_detail::send(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, static_cast<LPARAM>(style)));
}
inline DWORD ListView_GetExtendedListViewStyle(HWND hwnd) {
  return static_cast<DWORD>(commctrl_detail::send(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

// ---- Tree view ------------------------------------------------------------------
inline constexpr WCHAR WC_TREEVIEWW[] = u"SysTreeView32";
inline constexpr const WCHAR* WC_TREEVIEW = WC_TREEVIEWW;

struct HTREEITEM__;
using HTREEITEM = HTREEITEM__*;

inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000));
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE));
inline const HTREEITEM TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD));

inline constexpr DWORD TVS_HASBUTTONS = 0x0001;
inline constexpr DWORD TVS_HASLINES = 0x0002;
inline constexpr DWORD TVS_LINESATROOT = 0x0004;
inline constexpr DWORD TVS_EDITLABELS = 0x0008;
inline constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
inline constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
inline constexpr DWORD TVS_CHECKBOXES = 0x0100;
inline constexpr DWORD TVS_SINGLEEXPAND = 0x0400;

inline constexpr UINT TV_FIRST = 0x1100;
inline constexpr UINT TVM_DELETEITEM = TV_FIRST + 1;
inline constexpr UINT TVM_EXPAND = TV_FIRST + 2;
inline constexpr UINT TVM_GETITEMRECT = TV_FIRST + 4;
inline constexpr UINT TVM_GETCOUNT = TV_FIRST + 5;
inline constexpr UINT TVM_GETINDENT = TV_FIRST + 6;
inline constexpr UINT TVM_SETINDENT = TV_FIRST + 7;
inline constexpr UINT TVM_GETIMAGELIST = TV_FIRST + 8;
inline constexpr UINT TVM_SETIMAGELIST = TV_FIRST + 9;
inline constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
inline constexpr UINT TVM_SELECTITEM = TV_FIRST + 11;
inline constexpr UINT TVM_GETEDITCONTROL = TV_FIRST + 15;
inline constexpr UINT TVM_GETVISIBLECOUNT = TV_FIRST + 16;
inline constexpr UINT TVM_HITTEST = TV_FIRST + 17;
inline constexpr UINT TVM_ENSUREVISIBLE = TV_FIRST + 20;
inline constexpr UINT TVM_ENDEDITLABELNOW = TV_FIRST + 22;
inline constexpr UINT TVM_INSERTITEMW = TV_FIRST + 50;
inline constexpr UINT TVM_GETITEMW = TV_FIRST + 62;
inline constexpr UINT TVM_SETITEMW = TV_FIRST + 63;
inline constexpr UINT TVM_EDITLABELW = TV_FIRST + 65;
inline constexpr UINT TVM_INSERTITEM = TVM_INSERTITEMW;
inline constexpr UINT TVM_GETITEM = TVM_GETITEMW;
inline constexpr UINT TVM_SETITEM = TVM_SETITEMW;
inline constexpr UINT TVM_EDITLABEL = TVM_EDITLABELW;

inline constexpr UINT TVIF_TEXT = 0x0001;
inline constexpr UINT TVIF_IMAGE = 0x0002;
inline constexpr UINT TVIF_PARAM = 0x0004;
inline constexpr UINT TVIF_STATE = 0x0008;
inline constexpr UINT TVIF_HANDLE = 0x0010;
inline constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
inline constexpr UINT TVIF_CHILDREN = 0x0040;

inline constexpr UINT TVIS_FOCUSED = 0x0001;
inline constexpr UINT TVIS_SELECTED = 0x0002;
inline constexpr UINT TVIS_CUT = 0x0004;
inline constexpr UINT TVIS_DROPHILITED = 0x0008;
inline constexpr UINT TVIS_BOLD = 0x0010;
inline constexpr UINT TVIS_EXPANDED = 0x0020;
inline constexpr UINT TVIS_EXPANDEDONCE = 0x0040;
inline constexpr UINT TVIS_OVERLAYMASK = 0x0F00;
inline constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;

inline constexpr UINT TVGN_ROOT = 0x0000;
inline constexpr UINT TVGN_NEXT = 0x0001;
inline constexpr UINT TVGN_PREVIOUS = 0x0002;
inline constexpr UINT TVGN_PARENT = 0x0003;
inline constexpr UINT TVGN_CHILD = 0x0004;
inline constexpr UINT TVGN_FIRSTVISIBLE = 0x0005;
inline constexpr UINT TVGN_NEXTVISIBLE = 0x0006;
inline constexpr UINT TVGN_PREVIOUSVISIBLE = 0x0007;
inline constexpr UINT TVGN_DROPHILITE = 0x0008;
inline constexpr UINT TVGN_CARET = 0x0009;

inline constexpr UINT TVE_COLLAPSE = 0x0001;
inline constexpr UINT TVE_EXPAND = 0x0002;
inline constexpr UINT TVE_TOGGLE = 0x0003;
inline constexpr UINT TVE_COLLAPSERESET = 0x8000;

inline constexpr UINT TVC_UNKNOWN = 0x0000;
inline constexpr UINT TVC_BYMOUSE = 0x0001;
inline constexpr UINT TVC_BYKEYBOARD = 0x0002;

inline constexpr int TVSIL_NORMAL = 0;
inline constexpr int TVSIL_STATE = 2;

inline constexpr UINT TVHT_NOWHERE = 0x0001;
inline constexpr UINT TVHT_ONITEMICON = 0x0002;
inline constexpr UINT TVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT TVHT_ONITEMINDENT = 0x0008;
inline constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
inline constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
inline constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
inline constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
inline constexpr UINT TVHT_ABOVE = 0x0100;
inline constexpr UINT TVHT_BELOW = 0x0200;
inline constexpr UINT TVHT_TORIGHT = 0x0400;
inline constexpr UINT TVHT_TOLEFT = 0x0800;

inline constexpr UINT TVN_FIRST = 0u - 400u;
inline constexpr UINT TVN_KEYDOWN = TVN_FIRST - 12;
inline constexpr UINT TVN_SELCHANGINGW = TVN_FIRST - 50;
inline constexpr UINT TVN_SELCHANGEDW = TVN_FIRST - 51;
inline constexpr UINT TVN_GETDISPINFOW = TVN_FIRST - 52;
inline constexpr UINT TVN_SETDISPINFOW = TVN_FIRST - 53;
inline constexpr UINT TVN_ITEMEXPANDINGW = TVN_FIRST - 54;
inline constexpr UINT TVN_ITEMEXPANDEDW = TVN_FIRST - 55;
inline constexpr UINT TVN_BEGINDRAGW = TVN_FIRST - 56;
inline constexpr UINT TVN_DELETEITEMW = TVN_FIRST - 58;
inline constexpr UINT TVN_BEGINLABELEDITW = TVN_FIRST - 59;
inline constexpr UINT TVN_ENDLABELEDITW = TVN_FIRST - 60;
inline constexpr UINT TVN_SELCHANGING = TVN_SELCHANGINGW;
inline constexpr UINT TVN_SELCHANGED = TVN_SELCHANGEDW;
inline constexpr UINT TVN_ITEMEXPANDING = TVN_ITEMEXPANDINGW;
inline constexpr UINT TVN_ITEMEXPANDED = TVN_ITEMEXPANDEDW;
inline constexpr UINT TVN_DELETEITEM = TVN_DELETEITEMW;
inline constexpr UINT TVN_BEGINLABELEDIT = TVN_BEGINLABELEDITW;
inline constexpr UINT TVN_ENDLABELEDIT = TVN_ENDLABELEDITW;

struct TVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
};
using TVITEM = TVITEMW;
using LPTVITEMW = TVITEMW*;

struct TVINSERTSTRUCTW {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMW item;
};
using TVINSERTSTRUCT = TVINSERTSTRUCTW;
using LPTVINSERTSTRUCTW = TVINSERTSTRUCTW*;

struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};
using NMTREEVIEW = NMTREEVIEWW;
using LPNMTREEVIEWW = NMTREEVIEWW*;

struct NMTVDISPINFOW {
  NMHDR hdr;
  TVITEMW item;
};
using NMTVDISPINFO = NMTVDISPINFOW;
using LPNMTVDISPINFOW = NMTVDISPINFOW*;

struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};
using LPTVHITTESTINFO = TVHITTESTINFO*;

inline HTREEITEM TreeView_InsertItem(HWND hwnd, const TVINSERTSTRUCTW* insert) {
  return reinterpret_cast<HTREEITEM>(commctrl_detail::send(hwnd, TVM_INSERTITEMW, 0, commctrl_detail::lp(insert)));
}
inline BOOL TreeView_DeleteItem(HWND hwnd, HTREEITEM item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_DELETEITEM, 0, commctrl_detail::lp(item)));
}
inline BOOL TreeView_DeleteAllItems(HWND hwnd) { return TreeView_DeleteItem(hwnd, TVI_ROOT); }
inline BOOL TreeView_Expand(HWND hwnd, HTREEITEM item, UINT code) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_EXPAND, code, commctrl_detail::lp(item)));
}
inline UINT TreeView_GetCount(HWND hwnd) { return static_cast<UINT>(commctrl_detail::send(hwnd, TVM_GETCOUNT, 0, 0)); }
inline HIMAGELIST TreeView_SetImageList(HWND hwnd, HIMAGELIST list, int which) {
  return reinterpret_cast<HIMAGELIST>(
      commctrl_detail::send(hwnd, TVM_SETIMAGELIST, static_cast<WPARAM>(which), commctrl_detail::lp(list)));
}
inline HIMAGELIST TreeView_GetImageList(HWND hwnd, int which) {
  return reinterpret_cast<HIMAGELIST>(commctrl_detail::send(hwnd, TVM_GETIMAGELIST, static_cast<WPARAM>(which), 0));
}
inline HTREEITEM TreeView_GetNextItem(HWND hwnd, HTREEITEM item, UINT code) {
  return reinterpret_cast<HTREEITEM>(commctrl_detail::send(hwnd, TVM_GETNEXTITEM, code, commctrl_detail::lp(item)));
}
inline HTREEITEM TreeView_GetChild(HWND hwnd, HTREEITEM item) { return TreeView_GetNextItem(hwnd, item, TVGN_CHILD); }
inline HTREEITEM TreeView_GetNextSibling(HWND hwnd, HTREEITEM item) {
  return TreeView_GetNextItem(hwnd, item, TVGN_NEXT);
}
inline HTREEITEM TreeView_GetPrevSibling(HWND hwnd, HTREEITEM item) {
  return TreeView_GetNextItem(hwnd, item, TVGN_PREVIOUS);
}
inline HTREEITEM TreeView_GetParent(HWND hwnd, HTREEITEM item) { return TreeView_GetNextItem(hwnd, item, TVGN_PARENT); }
inline HTREEITEM TreeView_GetSelection(HWND hwnd) { return TreeView_GetNextItem(hwnd, nullptr, TVGN_CARET); }
inline HTREEITEM TreeView_GetRoot(HWND hwnd) { return TreeView_GetNextItem(hwnd, nullptr, TVGN_ROOT); }
inline HTREEITEM TreeView_GetFirstVisible(HWND hwnd) { return TreeView_GetNextItem(hwnd, nullptr, TVGN_FIRSTVISIBLE); }
inline HTREEITEM TreeView_GetNextVisible(HWND hwnd, HTREEITEM item) {
  return TreeView_GetNextItem(hwnd, item, TVGN_NEXTVISIBLE);
}
inline BOOL TreeView_Select(HWND hwnd, HTREEITEM item, UINT code) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_SELECTITEM, code, commctrl_detail::lp(item)));
}
inline BOOL TreeView_SelectItem(HWND hwnd, HTREEITEM item) { return TreeView_Select(hwnd, item, TVGN_CARET); }
inline BOOL TreeView_GetItem(HWND hwnd, TVITEMW* item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_GETITEMW, 0, commctrl_detail::lp(item)));
}
inline BOOL TreeView_SetItem(HWND hwnd, const TVITEMW* item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_SETITEMW, 0, commctrl_detail::lp(item)));
}
inline BOOL TreeView_EnsureVisible(HWND hwnd, HTREEITEM item) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_ENSUREVISIBLE, 0, commctrl_detail::lp(item)));
}
inline HWND TreeView_EditLabel(HWND hwnd, HTREEITEM item) {
  return reinterpret_cast<HWND>(commctrl_detail::send(hwnd, TVM_EDITLABELW, 0, commctrl_detail::lp(item)));
}
inline HWND TreeView_GetEditControl(HWND hwnd) {
  return reinterpret_cast<HWND>(commctrl_detail::send(hwnd, TVM_GETEDITCONTROL, 0, 0));
}
inline BOOL TreeView_EndEditLabelNow(HWND hwnd, BOOL cancel) {
  return static_cast<BOOL>(commctrl_detail::send(hwnd, TVM_ENDEDITLABELNOW, cancel ? TRUE : FALSE, 0));
}
inline HTREEITEM TreeView_HitTest(HWND hwnd, TVHITTESTINFO* info) {
  return reinterpret_cast<HTREEITEM>(commctrl_detail::send(hwnd, TVM_HITTEST, 0, commctrl_detail::lp(info)));
}
inline BOOL TreeView_GetItemRect(HWND hwnd, HTREEITEM item, RECT* rect, BOOL textOnly) {
  if (!rect) return FALSE;
  std::memcpy(rect, &item, sizeof item);  // the item travels in the rectangle, as published
  return static_cast<BOOL>(
      commctrl_detail::send(hwnd, TVM_GETITEMRECT, textOnly ? TRUE : FALSE, commctrl_detail::lp(rect)));
}
inline UINT TreeView_GetVisibleCount(HWND hwnd) {
  return static_cast<UINT>(commctrl_detail::send(hwnd, TVM_GETVISIBLECOUNT, 0, 0));
}
