#pragma once
// What the shell's own files share: its colours, its Tahoma, and the menus
// that the menu bar opens and the key hook feeds.

#include <string>

#include "platform/core/winuser.h"

namespace shell::detail {

inline constexpr COLORREF kBarDark = RGB(0, 51, 153);
inline constexpr COLORREF kBarLight = RGB(74, 121, 214);
inline constexpr COLORREF kBarText = RGB(255, 255, 255);
inline constexpr COLORREF kMenuFace = RGB(236, 236, 236);
inline constexpr COLORREF kMenuLine = RGB(128, 128, 128);
inline constexpr COLORREF kSelect = RGB(0, 51, 153);
inline constexpr COLORREF kGrey = RGB(150, 150, 150);
inline constexpr COLORREF kInk = RGB(0, 0, 0);

inline constexpr int kMenuItemHeight = 18;
inline constexpr int kMenuSeparatorHeight = 7;

HFONT shellFont(bool bold);
void text(HDC dc, const std::u16string& s, RECT r, UINT format, COLORREF color, bool bold);
int textWidth(const std::u16string& s, bool bold);
void registerClass(const char16_t* name, WNDPROC proc);

void updateWorkArea();
void repaintMenuBars();

// ---- The input panel ------------------------------------------------------------------
inline constexpr int kSipButtonWidth = 24;
inline constexpr int kSipPanelHeight = 80;
bool sipShown();
// Destroys the panel and forgets its state (between tests).
void forgetSip();

// ---- Menus -------------------------------------------------------------------------
// Told to the menu bar whose drop-down it was: the menus closed, or the keys
// asked for the neighbouring drop-down (wParam +1 right, -1 left).
inline constexpr UINT kMenuClosed = WM_USER + 0x310;
inline constexpr UINT kMenuNeighbour = WM_USER + 0x311;
// A key the open menus took, posted to be handled in turn by handleMenuKey.
inline constexpr UINT kMenuKey = WM_USER + 0x312;

// Opens `menu` upwards from `anchor` (the bar button, screen coordinates) for
// `owner`, which receives the chosen WM_COMMAND; `bar` hears kMenuClosed and
// kMenuNeighbour. With hotFirst the first choosable item is highlighted, as
// when the keys opened it. Closes any menu that was open. Null on failure.
HWND openDropDown(HWND bar, HWND owner, HMENU menu, const RECT& anchor, bool hotFirst);
// Opens `menu` at a screen point, aligned and kept on screen as TrackPopupMenuEx's
// flags say, taking the pen; the chosen command goes to `answer` instead of the
// owner. Closes any menu that was open. Null on failure.
HWND openAtPoint(HWND owner, HMENU menu, POINT at, UINT flags, UINT* answer);
// The outermost open menu, or null.
HWND openMenu();
void closeMenus();
// While a menu is open it takes every key: answers true when it took this one.
bool menuTakesKey(int vk, bool down);
void handleMenuKey(int vk);
// The pen went down on the bar's button and moves on (or comes up) while its
// drop-down is open: the menus follow it as if it had gone down on them.
void penFromBar(UINT message, POINT screen);

}  // namespace shell::detail
