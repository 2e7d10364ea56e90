// The screen's size and work area, system metrics and colours, and cursors.

#include <algorithm>

#include "platform/core/windowimpl.h"

namespace wm::detail {
void screenResized();
}

namespace {

struct ScreenConfig {
  SIZE size{wm::kDefaultScreenWidth, wm::kDefaultScreenHeight};
  RECT workArea{0, wm::kTaskBarHeight, wm::kDefaultScreenWidth, wm::kDefaultScreenHeight - wm::kMenuBarHeight};
};

ScreenConfig& config() {
  static ScreenConfig c;
  return c;
}

struct CursorState {
  HCURSOR current = nullptr;
};
CursorState& cursors() {
  static CursorState c;
  return c;
}

// Cursor handles are the resource ids of the device's two system cursors.
HCURSOR systemCursor(LPCWSTR name) { return reinterpret_cast<HCURSOR>(const_cast<WCHAR*>(name)); }

// A Pocket PC 2003 scheme: white windows, light grey controls, dark blue bars.
constexpr COLORREF kSysColors[] = {
    RGB(200, 200, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(16, 56, 140),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(255, 255, 255),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(255, 255, 255),  // COLOR_STATIC
    RGB(0, 0, 0),        // COLOR_STATICTEXT
};

}  // namespace

namespace wm {

void setScreenSize(int width, int height) {
  width = std::clamp(width, 16, 4096);
  height = std::clamp(height, 16 + kTaskBarHeight + kMenuBarHeight, 4096);
  config().size = SIZE{width, height};
  config().workArea = RECT{0, kTaskBarHeight, width, height - kMenuBarHeight};
  detail::screenResized();
}

SIZE screenSize() { return config().size; }
RECT screenRect() { return RECT{0, 0, config().size.cx, config().size.cy}; }
RECT workArea() { return config().workArea; }
void setWorkArea(const RECT& area) { config().workArea = rectIntersection(area, screenRect()); }

bool waitCursorShown() { return cursors().current == systemCursor(IDC_WAIT); }

}  // namespace wm

int GetSystemMetrics(int index) {
  SIZE s = wm::screenSize();
  RECT work = wm::workArea();
  switch (index) {
    case SM_CXSCREEN:
      return s.cx;
    case SM_CYSCREEN:
      return s.cy;
    case SM_CXFULLSCREEN:
      return work.right - work.left;
    case SM_CYFULLSCREEN:
      return work.bottom - work.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 13;
    case SM_CYCAPTION:
    case SM_CYMENU:
      return wm::kMenuBarHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 2;
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    default:
      return 0;
  }
}

BOOL SystemParametersInfoW(UINT action, UINT, PVOID value, UINT) {
  switch (action) {
    case SPI_GETWORKAREA:
      if (!value) return FALSE;
      *static_cast<RECT*>(value) = wm::workArea();
      return TRUE;
    case SPI_SETWORKAREA:
      if (!value) return FALSE;
      wm::setWorkArea(*static_cast<const RECT*>(value));
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

DWORD GetSysColor(int index) {
  index &= ~SYS_COLOR_INDEX_FLAG;
  if (index < 0 || index >= static_cast<int>(std::size(kSysColors))) return 0;
  return kSysColors[index];
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (instance || (name != IDC_ARROW && name != IDC_WAIT)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return systemCursor(name);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = cursors().current;
  cursors().current = cursor;
  // The busy sign shows at once: whoever sets it is about to keep the loop from presenting.
  bool wasWaiting = old == systemCursor(IDC_WAIT), waiting = cursor == systemCursor(IDC_WAIT);
  if (wasWaiting != waiting)
    if (wm::HostEvents* host = wm::hostEvents()) host->present();
  return old;
}

HCURSOR GetCursor() { return cursors().current; }
