#include "platform/commctrl/viewparts.h"

#include <algorithm>

#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"

namespace commctrl {
namespace {

constexpr int kMinThumb = 10;
constexpr COLORREF kTrack = RGB(236, 236, 236);
constexpr COLORREF kFaceColour = RGB(212, 208, 200);
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kGreyInk = RGB(150, 150, 150);

void arrow(HDC dc, const RECT& box, bool up, COLORREF ink) {
  int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  for (int i = 0; i < 3; ++i) {
    int y = up ? cy - 1 + i : cy + 1 - i;
    fillSolid(dc, RECT{cx - i, y, cx + i + 1, y + 1}, ink);
  }
}

}  // namespace

HFONT dialogFont() {
  static HFONT font = [] {
    LOGFONTW lf{};
    lf.lfHeight = -11;  // 8 points at 96 dots per inch
    lf.lfWeight = 400;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
  }();
  return font;
}

int lineHeight(HFONT font) {
  WindowDC dc(nullptr);
  SelectedObject selected(dc.get(), font ? font : dialogFont());
  TEXTMETRICW tm{};
  return GetTextMetricsW(dc.get(), &tm) ? tm.tmHeight : 13;
}

int textWidth(HFONT font, const std::u16string& text) {
  WindowDC dc(nullptr);
  SelectedObject selected(dc.get(), font ? font : dialogFont());
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

LRESULT sendNotify(HWND control, NMHDR& notice, UINT code) {
  notice.hwndFrom = control;
  notice.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  notice.code = code;
  HWND parent = GetParent(control);
  return parent ? SendMessageW(parent, WM_NOTIFY, notice.idFrom, reinterpret_cast<LPARAM>(&notice)) : 0;
}

POINT pointOf(LPARAM lParam) { return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}; }

void drawFocusFrame(HDC dc, const RECT& r) {
  auto dot = [&](int x, int y) {
    COLORREF c = GetPixel(dc, x, y);
    if (c != CLR_INVALID) SetPixel(dc, x, y, RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)));
  };
  for (int x = r.left; x < r.right; x += 2) {
    dot(x, r.top);
    dot(x, r.bottom - 1);
  }
  for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
    dot(r.left, y);
    dot(r.right - 1, y);
  }
}

void paintBorder(HWND view, HDC dc) {
  if (!(GetWindowLongW(view, GWL_STYLE) & WS_BORDER)) return;
  RECT r{0, 0, 0, 0};
  GetClientRect(view, &r);
  frameSolid(dc, r, IsWindowEnabled(view) ? kInk : kGreyInk);
}

void registerViewClass(const WCHAR* name, WNDPROC proc) {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, name, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

std::string quotedText(const std::u16string& text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') out += '\\';
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out + "\"";
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT innerClient(HWND view) {
  RECT r{0, 0, 0, 0};
  GetClientRect(view, &r);
  if (GetWindowLongW(view, GWL_STYLE) & WS_BORDER)
    r = RECT{r.left + 1, r.top + 1, std::max(r.left + 1, r.right - 1), std::max(r.top + 1, r.bottom - 1)};
  return r;
}

void ScrollBar::setRange(int total, int page) {
  m_total = std::max(0, total);
  m_page = std::max(0, page);
  m_pos = std::clamp(m_pos, 0, maxPos());
}

bool ScrollBar::setPos(int pos) {
  int clamped = std::clamp(pos, 0, maxPos());
  if (clamped == m_pos) return false;
  m_pos = clamped;
  return true;
}

RECT ScrollBar::viewArea(const RECT& client) const {
  RECT r = client;
  if (shown()) r.right = std::max(r.left, r.right - kWidth);
  return r;
}

RECT ScrollBar::barRect(const RECT& client) const {
  return RECT{std::max(client.left, client.right - kWidth), client.top, client.right, client.bottom};
}

RECT ScrollBar::thumbRect(const RECT& client) const {
  RECT bar = barRect(client);
  int trackTop = bar.top + kWidth, trackLength = std::max(0, static_cast<int>(bar.bottom - bar.top) - 2 * kWidth);
  int length = m_total > 0 ? std::max(kMinThumb, trackLength * m_page / m_total) : trackLength;
  length = std::min(length, trackLength);
  int top = trackTop + (maxPos() > 0 ? (trackLength - length) * m_pos / maxPos() : 0);
  return RECT{bar.left, top, bar.right, top + length};
}

void ScrollBar::paint(HDC dc, const RECT& client, bool enabled) const {
  if (!shown()) return;
  RECT bar = barRect(client);
  COLORREF ink = enabled ? kInk : kGreyInk;
  fillSolid(dc, bar, kTrack);
  fillSolid(dc, RECT{bar.left, bar.top, bar.left + 1, bar.bottom}, kGreyInk);
  RECT up{bar.left, bar.top, bar.right, bar.top + kWidth}, down{bar.left, bar.bottom - kWidth, bar.right, bar.bottom};
  for (const RECT& box : {up, down}) {
    fillSolid(dc, box, kFaceColour);
    frameSolid(dc, box, kGreyInk);
  }
  arrow(dc, up, true, ink);
  arrow(dc, down, false, ink);
  RECT thumb = thumbRect(client);
  fillSolid(dc, thumb, kFaceColour);
  frameSolid(dc, thumb, ink);
}

ScrollBar::Part ScrollBar::partAt(POINT p, const RECT& client) const {
  RECT bar = barRect(client), thumb = thumbRect(client);
  if (!shown() || !inside(bar, p)) return Part::None;
  if (p.y < bar.top + kWidth) return Part::LineUp;
  if (p.y >= bar.bottom - kWidth) return Part::LineDown;
  if (p.y < thumb.top) return Part::PageUp;
  if (p.y >= thumb.bottom) return Part::PageDown;
  return Part::Thumb;
}

bool ScrollBar::step(Part part) {
  int page = std::max(1, m_page - 1);
  switch (part) {
    case Part::LineUp:
      return setPos(m_pos - 1);
    case Part::LineDown:
      return setPos(m_pos + 1);
    case Part::PageUp:
      return setPos(m_pos - page);
    case Part::PageDown:
      return setPos(m_pos + page);
    default:
      return false;
  }
}

void ScrollBar::scrolled(HWND view, bool moved) const {
  if (moved) InvalidateRect(view, nullptr, FALSE);
}

bool ScrollBar::penDown(HWND view, POINT p, const RECT& client) {
  Part part = partAt(p, client);
  if (part == Part::None) return false;
  m_held = part;
  m_pen = p;
  if (part == Part::Thumb) {
    m_dragOffset = p.y - thumbRect(client).top;
    return true;
  }
  scrolled(view, step(part));
  SetTimer(view, kRepeatTimer, kRepeatDelayMs, nullptr);
  return true;
}

bool ScrollBar::penMove(HWND view, POINT p, const RECT& client) {
  if (m_held == Part::None) return false;
  m_pen = p;
  if (m_held != Part::Thumb) return true;
  RECT bar = barRect(client), thumb = thumbRect(client);
  int trackLength = static_cast<int>(bar.bottom - bar.top) - 2 * kWidth;
  int room = trackLength - static_cast<int>(thumb.bottom - thumb.top);
  if (room <= 0) return true;
  int top = p.y - m_dragOffset - (bar.top + kWidth);
  scrolled(view, setPos((top * maxPos() + room / 2) / room));
  return true;
}

bool ScrollBar::penUp(HWND view) {
  if (m_held == Part::None) return false;
  if (m_held != Part::Thumb) KillTimer(view, kRepeatTimer);
  m_held = Part::None;
  return true;
}

// The step repeats while the pen stays on the part it pressed; a page step
// stops once the thumb has come under the pen.
bool ScrollBar::timer(HWND view, UINT_PTR id, const RECT& client) {
  if (id != kRepeatTimer) return false;
  if (m_held == Part::None || m_held == Part::Thumb) {
    KillTimer(view, kRepeatTimer);
    return true;
  }
  SetTimer(view, kRepeatTimer, kRepeatPeriodMs, nullptr);
  if (partAt(m_pen, client) == m_held) scrolled(view, step(m_held));
  return true;
}

}  // namespace commctrl
