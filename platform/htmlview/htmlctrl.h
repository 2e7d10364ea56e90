#pragma once
// The device's HTML viewer control: InitHTMLControl registers the window
// class "DISPLAYCLASS"; its windows take HTML (or plain text) in pieces with
// DTM_ADDTEXTW, lay the page out at DTM_ENDOFSOURCE and tell their parent
// about taps on links and about the pictures a page asks for with WM_NOTIFY.

#include "platform/commctrl/commctrl.h"  // NMHDR
#include "platform/core/winuser.h"

inline constexpr char16_t WC_HTML[] = u"DISPLAYCLASS";

// Registers the class for `instance`; TRUE also when it already is.
BOOL InitHTMLControl(HINSTANCE instance);

// ---- Messages to the control ------------------------------------------------------
// wParam: TRUE when lParam is plain text (shown as it is, never parsed);
// lParam: the text (LPCWSTR), appended to what the page holds so far.
inline constexpr UINT DTM_ADDTEXTW = WM_USER + 102;
// lParam: an INLINEIMAGEINFO answering an NM_INLINE_IMAGE by its cookie.
inline constexpr UINT DTM_SETIMAGE = WM_USER + 103;
// The source is complete: the page is laid out and painted.
inline constexpr UINT DTM_ENDOFSOURCE = WM_USER + 104;
// lParam: a name (LPCWSTR); scrolls the element with that id or name to the top.
inline constexpr UINT DTM_ANCHORW = WM_USER + 106;
// lParam: the cookie of an image that cannot be had; its frame stays empty.
inline constexpr UINT DTM_IMAGEFAIL = WM_USER + 109;
// Forgets the page, its pictures and the scroll position.
inline constexpr UINT DTM_CLEAR = WM_USER + 113;

// ---- Notifications to the parent (WM_NOTIFY, lParam an NM_HTMLVIEW) ---------------
// A link was tapped: szTarget its href, szData its target frame name ("" for none).
inline constexpr UINT NM_HOTSPOT = WM_USER + 101;
// The page shows a picture: szTarget the img's src, dwCookie the value that
// DTM_SETIMAGE or DTM_IMAGEFAIL names it by.
inline constexpr UINT NM_INLINE_IMAGE = WM_USER + 102;
// The page has a <title>: szTarget its text (sent once the page is laid out).
inline constexpr UINT NM_TITLE = WM_USER + 104;

struct NM_HTMLVIEW {
  NMHDR hdr;
  LPCWSTR szTarget;
  LPCWSTR szData;
  union {
    DWORD dwCookie;
    DWORD dwFlags;
  };
  LPCWSTR szExInfo;
};

struct INLINEIMAGEINFO {
  DWORD dwCookie;
  int iOrigHeight;
  int iOrigWidth;
  HBITMAP hbm;
  BOOL bOwnBitmap;  // TRUE: the control deletes the bitmap with the page
};
