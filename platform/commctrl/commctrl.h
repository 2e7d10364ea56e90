#pragma once
// The device's common controls: toolbar buttons of the menu bar, tooltips
// and the standard small bitmap. Dialog controls (static, button, list box,
// combo box, edit) are declared in platform/core/winuser.h and live here too.

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
