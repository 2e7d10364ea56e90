#pragma once
// The Pocket PC shell: the task bar at the top of the screen (the foreground
// window's title, the clock, the Done button of full-screen dialogs), the menu
// bar at the bottom (a toolbar of drop-down menus and image buttons) and the
// calls that size windows around them.

#include "platform/core/winuser.h"

// ---- The menu bar -----------------------------------------------------------------
struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;
  COLORREF clrBk;
};
using PSHMENUBARINFO = SHMENUBARINFO*;
inline constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
inline constexpr DWORD SHCMBF_HIDDEN = 0x0002;
inline constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
inline constexpr DWORD SHCMBF_COLORBK = 0x0008;
inline constexpr DWORD SHCMBF_HMENU = 0x0010;
// Makes the bar for `hwndParent` from the menu-bar layout `nToolBarId` of
// `hInstRes` and its menu; fills hwndMB. FALSE when the layout is missing.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The bar's menu, and one of its submenus by command of the drop-down button.
inline constexpr UINT SHCMBM_GETSUBMENU = WM_USER + 401;
inline constexpr UINT SHCMBM_GETMENU = WM_USER + 403;

// ---- Full screen ------------------------------------------------------------------
inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
inline constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
inline constexpr DWORD SHFS_HIDESTARTICON = 0x0020;
BOOL SHFullScreen(HWND hwnd, DWORD state);

// ---- Dialogs ----------------------------------------------------------------------
struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
using PSHINITDLGINFO = SHINITDLGINFO*;
inline constexpr DWORD SHIDIM_FLAGS = 0x0001;
inline constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
inline constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
inline constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
inline constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
inline constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
inline constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;
BOOL SHInitDialog(SHINITDLGINFO* info);

// ---- Activation -------------------------------------------------------------------
struct SHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
};
using PSHACTIVATEINFO = SHACTIVATEINFO*;
inline constexpr DWORD SHA_INPUTDIALOG = 0x00000001;
// Keeps the record of which child had the focus: on deactivation it is saved,
// on activation given back.
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);
inline constexpr UINT SPI_SETSIPINFO = 224;
