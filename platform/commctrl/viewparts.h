#pragma once
// What the list view and the tree view share: the drawing-state guard, the
// device's dialog font, WM_NOTIFY to the parent and the vertical scroll bar
// they draw inside their own client area.

#include <string>

#include "platform/commctrl/commctrl.h"
#include "platform/gdi/wingdi.h"

namespace commctrl {

// Selects an object into a DC and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(m_dc, m_old); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

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

// A vertical scroll bar in the right edge of a view, counted in lines; shown
// only while the lines do not fit. The pen taps its arrows (one line), its
// track (one page) and drags its thumb.
class ScrollBar {
 public:
  static constexpr int kWidth = 13;

  void setRange(int total, int page);
  bool setPos(int pos);  // clamped; true when it moved
  int pos() const { return m_pos; }
  int page() const { return m_page; }
  bool shown() const { return m_total > m_page && m_page > 0; }
  // The client area left for the view's lines.
  RECT viewArea(const RECT& client) const;

  void paint(HDC dc, const RECT& client, bool enabled) const;
  // True when the press landed on the bar; `moved` tells whether it scrolled.
  bool penDown(POINT p, const RECT& client, bool& moved);
  bool penMove(POINT p, const RECT& client);  // true when the drag scrolled
  void penUp() { m_dragging = false; }
  bool dragging() const { return m_dragging; }

 private:
  RECT barRect(const RECT& client) const;
  RECT thumbRect(const RECT& client) const;
  int maxPos() const { return m_total > m_page ? m_total - m_page : 0; }

  int m_total = 0;
  int m_page = 0;
  int m_pos = 0;
  bool m_dragging = false;
  int m_dragOffset = 0;
};

}  // namespace commctrl
