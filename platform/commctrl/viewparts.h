#pragma once
// What the list view and the tree view share: the table of their windows,
// the device's dialog font, WM_NOTIFY to the parent and the vertical scroll
// bar they draw inside their own client area.

#include <map>
#include <memory>
#include <string>

#include "platform/commctrl/commctrl.h"
#include "platform/gdi/wingdi.h"

namespace commctrl {

// Tahoma 8 points, kept for the process: what the views draw with until WM_SETFONT.
HFONT dialogFont();
// The height of a line of `font`'s text.
int lineHeight(HFONT font);
int textWidth(HFONT font, const std::u16string& text);

// Fills the header of `notice` and sends it to the parent; answers the parent's result.
LRESULT sendNotify(HWND control, NMHDR& notice, UINT code);

POINT pointOf(LPARAM lParam);
// A dotted frame inside `r` that inverts what it covers, readable on any fill.
void drawFocusFrame(HDC dc, const RECT& r);
// A one-pixel frame round the client area of a view made with WS_BORDER.
void paintBorder(HWND view, HDC dc);
// Registers a view's window class once.
void registerViewClass(const WCHAR* name, WNDPROC proc);
// Text in double quotes for the state dump, quotes and backslashes escaped.
std::string quotedText(const std::u16string& text);
bool inside(const RECT& r, POINT p);
// The client area inside the one-pixel border of a view made with WS_BORDER.
RECT innerClient(HWND view);

// The views of one window class, by window. The table owns each view; a
// message being handled holds it too, so that a parent destroying the window
// from inside a notification leaves the running handler a live object.
template <class View>
class ViewTable {
 public:
  View* find(HWND hwnd) const {
    auto it = m_views.find(hwnd);
    return it == m_views.end() ? nullptr : it->second.get();
  }

  LRESULT dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) m_views[hwnd] = std::make_shared<View>(hwnd);
    auto it = m_views.find(hwnd);
    if (it == m_views.end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    std::shared_ptr<View> view = it->second;
    LRESULT result = view->handle(message, wParam, lParam);
    if (message == WM_DESTROY) m_views.erase(hwnd);
    return result;
  }

 private:
  std::map<HWND, std::shared_ptr<View>> m_views;
};

// A vertical scroll bar in the right edge of a view, counted in lines; shown
// only while the lines do not fit. The pen taps its arrows (one line), its
// track (one page) and drags its thumb; an arrow or the track held down
// repeats its step, as the device's scroll bars do, while the pen stays on it.
class ScrollBar {
 public:
  static constexpr int kWidth = 13;
  // The view's timer while an arrow or the track is held.
  static constexpr UINT_PTR kRepeatTimer = 0x5C0B;
  static constexpr UINT kRepeatDelayMs = 400;
  static constexpr UINT kRepeatPeriodMs = 100;

  void setRange(int total, int page);
  bool setPos(int pos);  // clamped; true when it moved
  int pos() const { return m_pos; }
  int page() const { return m_page; }
  bool shown() const { return m_total > m_page && m_page > 0; }
  // The client area left for the view's lines.
  RECT viewArea(const RECT& client) const;

  void paint(HDC dc, const RECT& client, bool enabled) const;
  // The pen on `view`, which draws the bar in `client`. A press that lands
  // on the bar is the bar's until the pen lifts: each answers whether the pen
  // was the bar's, and the view is repainted whenever the bar scrolls it.
  bool penDown(HWND view, POINT p, const RECT& client);
  bool penMove(HWND view, POINT p, const RECT& client);
  bool penUp(HWND view);
  // WM_TIMER on the view: true when it was the bar's repeat.
  bool timer(HWND view, UINT_PTR id, const RECT& client);

 private:
  enum class Part { None, LineUp, LineDown, PageUp, PageDown, Thumb };

  RECT barRect(const RECT& client) const;
  RECT thumbRect(const RECT& client) const;
  Part partAt(POINT p, const RECT& client) const;
  bool step(Part part);
  void scrolled(HWND view, bool moved) const;
  int maxPos() const { return m_total > m_page ? m_total - m_page : 0; }

  int m_total = 0;
  int m_page = 0;
  int m_pos = 0;
  Part m_held = Part::None;  // from a press on the bar to the pen's lift
  POINT m_pen{0, 0};         // where the held pen is
  int m_dragOffset = 0;
};

}  // namespace commctrl
