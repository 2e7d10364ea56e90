#include "platform/commctrl/controls.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/commctrl/listview.h"
#include "platform/commctrl/viewparts.h"
#include "platform/commctrl/treeview.h"
#include "platform/core/resource.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/picture.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFace = RGB(236, 236, 236);
constexpr COLORREF kSelect = RGB(0, 51, 153);
constexpr COLORREF kGrey = RGB(150, 150, 150);
constexpr int kItemHeight = 16;
constexpr int kComboHeight = 20;
constexpr size_t kMaxItems = 32768;

enum class Kind { Static, Button, ListBox, ComboBox, Edit, DropList };

struct Control {
  Kind kind;
  HFONT font = nullptr;
  HICON icon = nullptr;
  UINT check = BST_UNCHECKED;
  bool pressed = false;
  std::vector<std::u16string> items;
  int current = -1;
  int top = 0;
  HWND dropped = nullptr;  // a combo box's open list
  HWND combo = nullptr;    // the open list's combo box
  size_t caret = 0;        // an edit box's caret, in UTF-16 units from the start
  size_t anchor = 0;       // the other end of its selection; the caret when nothing is selected
  int scroll = 0;          // how far an edit box's line has slid left, in pixels
};

std::map<HWND, Control>& table() {
  static std::map<HWND, Control> all;
  return all;
}
Control* controlOf(HWND hwnd) {
  auto it = table().find(hwnd);
  return it == table().end() ? nullptr : &it->second;
}

POINT pointOf(LPARAM lParam) { return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}; }

std::u16string windowText(HWND hwnd) {
  std::u16string text(static_cast<size_t>(GetWindowTextLengthW(hwnd)), u'\0');
  if (!text.empty()) GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()) + 1);
  return text;
}

void drawText(HDC dc, const Control& c, const std::u16string& s, RECT r, UINT format, COLORREF color) {
  SelectedObject font(dc, c.font ? c.font : GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &r, format);
}

void notify(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

bool enabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

// ---- Static --------------------------------------------------------------------------
void paintStatic(HWND hwnd, Control& c, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  fillSolid(dc, r, kWhite);
  if ((style & 0xF) == SS_ICON) {
    if (c.icon) DrawIcon(dc, 0, 0, c.icon);
    return;
  }
  UINT format = DT_WORDBREAK | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  if ((style & 0xF) == SS_CENTER) format |= DT_CENTER;
  if ((style & 0xF) == SS_RIGHT) format |= DT_RIGHT;
  drawText(dc, c, windowText(hwnd), r, format, enabled(hwnd) ? kBlack : kGrey);
}

// ---- Buttons -------------------------------------------------------------------------
bool isCheckBox(HWND hwnd) {
  DWORD type = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

void paintButton(HWND hwnd, Control& c, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  COLORREF ink = enabled(hwnd) ? kBlack : kGrey;
  if (isCheckBox(hwnd)) {
    fillSolid(dc, r, kWhite);
    int size = std::min<int>(12, r.bottom - r.top);
    RECT box{0, (r.bottom - size) / 2, size, (r.bottom - size) / 2 + size};
    frameSolid(dc, box, ink);
    if (c.check == BST_CHECKED) {
      // A tick drawn in two strokes.
      for (int i = 0; i < 3; ++i)
        fillSolid(dc, RECT{box.left + 2 + i, box.top + 5 + i, box.left + 4 + i, box.top + 7 + i}, ink);
      for (int i = 0; i < 5; ++i)
        fillSolid(dc, RECT{box.left + 5 + i, box.top + 6 - i, box.left + 7 + i, box.top + 8 - i}, ink);
    }
    drawText(dc, c, windowText(hwnd), RECT{size + 4, 0, r.right, r.bottom}, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
             ink);
    return;
  }
  fillSolid(dc, r, c.pressed ? kBlack : kFace);
  frameSolid(dc, r, kBlack);
  if ((GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
    frameSolid(dc, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kBlack);
  drawText(dc, c, windowText(hwnd), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE, c.pressed ? kWhite : ink);
}

LRESULT onSetCheck(HWND hwnd, Control& c, WPARAM check) {
  c.check = check == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

LRESULT onClick(HWND hwnd) {
  SendMessageW(hwnd, WM_LBUTTONDOWN, 0, 0);
  SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
  return 0;
}

LRESULT onButtonDown(HWND hwnd, Control& c) {
  if (!enabled(hwnd)) return 0;
  c.pressed = true;
  SetCapture(hwnd);
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

// Lifting the pen inside the button clicks it; outside, it only lets go.
LRESULT onButtonUp(HWND hwnd, Control& c, LPARAM lParam) {
  if (!c.pressed) return 0;
  c.pressed = false;
  if (GetCapture() == hwnd) ReleaseCapture();
  InvalidateRect(hwnd, nullptr, FALSE);
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p = pointOf(lParam);
  if (p.x < 0 || p.y < 0 || p.x >= r.right || p.y >= r.bottom) return 0;
  if ((GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
    SendMessageW(hwnd, BM_SETCHECK, c.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  notify(hwnd, BN_CLICKED);
  return 0;
}

LRESULT buttonMessage(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK:
      return isCheckBox(hwnd) ? c.check : BST_UNCHECKED;
    case BM_SETCHECK:
      return onSetCheck(hwnd, c, wParam);
    case BM_GETSTATE:
      return c.check | (c.pressed ? BST_PUSHED : 0);
    case BM_CLICK:
      return onClick(hwnd);
    case WM_LBUTTONDOWN:
      return onButtonDown(hwnd, c);
    case WM_LBUTTONUP:
      return onButtonUp(hwnd, c, lParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// ---- Lists (list boxes, combo boxes and a combo box's open list) ----------------------------
LRESULT listMessage(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam, bool combo) {
  auto text = [&](LPARAM l) { return l ? std::u16string(reinterpret_cast<LPCWSTR>(l)) : std::u16string(); };
  LRESULT err = combo ? CB_ERR : LB_ERR;
  UINT add = combo ? CB_ADDSTRING : LB_ADDSTRING, insert = combo ? CB_INSERTSTRING : LB_INSERTSTRING;
  UINT remove = combo ? CB_DELETESTRING : LB_DELETESTRING, reset = combo ? CB_RESETCONTENT : LB_RESETCONTENT;
  UINT setSel = combo ? CB_SETCURSEL : LB_SETCURSEL, getSel = combo ? CB_GETCURSEL : LB_GETCURSEL;
  UINT count = combo ? CB_GETCOUNT : LB_GETCOUNT, getText = combo ? CB_GETLBTEXT : LB_GETTEXT;
  UINT getLen = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  if (message == add || message == insert) {
    if (c.items.size() >= kMaxItems) return err;
    size_t at = c.items.size();
    if (message == insert && static_cast<int>(wParam) >= 0) at = std::min(static_cast<size_t>(wParam), c.items.size());
    if (message == add && !combo && (GetWindowLongW(hwnd, GWL_STYLE) & LBS_SORT)) {
      std::u16string t = text(lParam);
      at = static_cast<size_t>(std::upper_bound(c.items.begin(), c.items.end(), t) - c.items.begin());
    }
    c.items.insert(c.items.begin() + static_cast<std::ptrdiff_t>(at), text(lParam));
    if (c.current >= static_cast<int>(at)) ++c.current;
    InvalidateRect(hwnd, nullptr, FALSE);
    return static_cast<LRESULT>(at);
  }
  if (message == remove) {
    if (wParam >= c.items.size()) return err;
    c.items.erase(c.items.begin() + static_cast<std::ptrdiff_t>(wParam));
    if (c.current == static_cast<int>(wParam))
      c.current = -1;
    else if (c.current > static_cast<int>(wParam))
      --c.current;
    InvalidateRect(hwnd, nullptr, FALSE);
    return static_cast<LRESULT>(c.items.size());
  }
  if (message == reset) {
    c.items.clear();
    c.current = -1;
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
  }
  if (message == setSel) {
    int index = static_cast<int>(wParam);
    c.current = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
    InvalidateRect(hwnd, nullptr, FALSE);
    return c.current == -1 && index != -1 ? err : c.current;
  }
  if (message == getSel) return c.current < 0 ? err : c.current;
  if (message == count) return static_cast<LRESULT>(c.items.size());
  if (message == getLen) return wParam < c.items.size() ? static_cast<LRESULT>(c.items[wParam].size()) : err;
  if (message == getText) {
    // The caller's buffer is sized from the text length, as on the device.
    if (wParam >= c.items.size() || !lParam) return err;
    const auto& t = c.items[wParam];
    std::copy(t.begin(), t.end(), reinterpret_cast<LPWSTR>(lParam));
    reinterpret_cast<LPWSTR>(lParam)[t.size()] = 0;
    return static_cast<LRESULT>(t.size());
  }
  if (!combo && message == LB_GETITEMHEIGHT) return kItemHeight;
  if (!combo && message == LB_SETTOPINDEX) {
    c.top = std::clamp<int>(static_cast<int>(wParam), 0, std::max<int>(0, static_cast<int>(c.items.size()) - 1));
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void paintItems(HWND hwnd, const Control& c, HDC dc, RECT r, int first) {
  fillSolid(dc, r, kWhite);
  frameSolid(dc, r, kBlack);
  int y = r.top + 1;
  for (size_t i = static_cast<size_t>(std::max(0, first)); i < c.items.size() && y < r.bottom - 1; ++i) {
    RECT ir{r.left + 1, y, r.right - 1, std::min<LONG>(y + kItemHeight, r.bottom - 1)};
    bool selected = static_cast<int>(i) == c.current;
    if (selected) fillSolid(dc, ir, kSelect);
    drawText(dc, c, c.items[i], RECT{ir.left + 3, ir.top, ir.right - 2, ir.bottom},
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
             selected        ? kWhite
             : enabled(hwnd) ? kBlack
                             : kGrey);
    y += kItemHeight;
  }
}

int itemAt(const Control& c, POINT p, int first) {
  if (p.y < 1) return -1;
  int index = first + (p.y - 1) / kItemHeight;
  return index < static_cast<int>(c.items.size()) ? index : -1;
}

void chooseInList(HWND hwnd, Control& c, int index) {
  if (index == c.current || index < 0 || index >= static_cast<int>(c.items.size())) return;
  c.current = index;
  InvalidateRect(hwnd, nullptr, FALSE);
  if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY) notify(hwnd, LBN_SELCHANGE);
}

LRESULT onListDown(HWND hwnd, Control& c, LPARAM lParam) {
  if (!enabled(hwnd)) return 0;
  SetFocus(hwnd);
  chooseInList(hwnd, c, itemAt(c, pointOf(lParam), c.top));
  return 0;
}

int stepOf(WPARAM key) { return key == VK_DOWN ? 1 : key == VK_UP ? -1 : 0; }

LRESULT onListKey(HWND hwnd, Control& c, WPARAM key) {
  chooseInList(hwnd, c, c.current + stepOf(key));
  return 0;
}

LRESULT listBoxProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      return onListDown(hwnd, c, lParam);
    case WM_KEYDOWN:
      return onListKey(hwnd, c, wParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    default:
      return listMessage(hwnd, c, message, wParam, lParam, false);
  }
}

void closeDropped(Control& combo) {
  HWND list = combo.dropped;
  combo.dropped = nullptr;
  if (IsWindow(list)) {
    if (GetCapture() == list) ReleaseCapture();
    DestroyWindow(list);
  }
}

void chooseInCombo(HWND comboWindow, Control& combo, int index) {
  if (index < 0 || index == combo.current) return;
  combo.current = index;
  InvalidateRect(comboWindow, nullptr, FALSE);
  notify(comboWindow, CBN_SELCHANGE);
}

// The pen lifted on the open list: the item under it is chosen, anywhere else only closes.
LRESULT onDropListUp(HWND hwnd, Control& c, LPARAM lParam) {
  Control* combo = controlOf(c.combo);
  if (!combo) return 0;
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p = pointOf(lParam);
  bool inside = p.x >= 0 && p.y >= 0 && p.x < r.right && p.y < r.bottom;
  int hit = inside ? itemAt(*combo, p, 0) : -1;
  HWND comboWindow = c.combo;
  closeDropped(*combo);
  notify(comboWindow, CBN_CLOSEUP);
  if (Control* still = controlOf(comboWindow)) chooseInCombo(comboWindow, *still, hit);
  return 0;
}

LRESULT dropListProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONUP:
      return onDropListUp(hwnd, c, lParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// A tap opens the list below the box (above it when there is no room), or closes it.
LRESULT onComboDown(HWND hwnd, Control& c) {
  if (!enabled(hwnd)) return 0;
  SetFocus(hwnd);
  if (IsWindow(c.dropped)) {
    closeDropped(c);
    return 0;
  }
  notify(hwnd, CBN_DROPDOWN);
  RECT r;
  GetWindowRect(hwnd, &r);
  int rows = std::clamp<int>(static_cast<int>(c.items.size()), 1, 8);
  int height = rows * kItemHeight + 2;
  SIZE screen = wm::screenSize();
  int top = r.bottom + height <= screen.cy ? r.bottom : std::max<LONG>(0, r.top - height);
  HWND list = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, u"ComboLBox", u"", WS_POPUP, r.left, top,
                              r.right - r.left, height, GetParent(hwnd), nullptr, nullptr, nullptr);
  if (!list) return 0;
  if (Control* lc = controlOf(list)) lc->combo = hwnd;
  c.dropped = list;
  ShowWindow(list, SW_SHOWNA);
  SetCapture(list);
  return 0;
}

LRESULT onComboKey(HWND hwnd, Control& c, WPARAM key) {
  int next = c.current + stepOf(key);
  if (next >= 0 && next < static_cast<int>(c.items.size())) chooseInCombo(hwnd, c, next);
  return 0;
}

LRESULT onShowDropDown(HWND hwnd, Control& c, WPARAM show) {
  if (!show)
    closeDropped(c);
  else if (!IsWindow(c.dropped))
    SendMessageW(hwnd, WM_LBUTTONDOWN, 0, 0);
  return TRUE;
}

LRESULT comboProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      return onComboDown(hwnd, c);
    case WM_KEYDOWN:
      return onComboKey(hwnd, c, wParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case CB_SHOWDROPDOWN:
      return onShowDropDown(hwnd, c, wParam);
    case CB_GETDROPPEDSTATE:
      return IsWindow(c.dropped) ? TRUE : FALSE;
    default:
      return listMessage(hwnd, c, message, wParam, lParam, true);
  }
}

void paintCombo(HWND hwnd, const Control& c, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  fillSolid(dc, r, kWhite);
  frameSolid(dc, r, kBlack);
  int arrow = std::min<int>(r.bottom - r.top, 16);
  RECT button{r.right - arrow, r.top, r.right, r.bottom};
  fillSolid(dc, RECT{button.left, button.top + 1, button.right - 1, button.bottom - 1}, kFace);
  fillSolid(dc, RECT{button.left, button.top, button.left + 1, button.bottom}, kBlack);
  int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
  for (int i = 0; i < 4; ++i) fillSolid(dc, RECT{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1}, kBlack);
  if (c.current >= 0 && c.current < static_cast<int>(c.items.size())) {
    bool focused = GetFocus() == hwnd;
    RECT tr{r.left + 1, r.top + 1, button.left, r.bottom - 1};
    if (focused) fillSolid(dc, tr, kSelect);
    drawText(dc, c, c.items[static_cast<size_t>(c.current)], RECT{tr.left + 3, tr.top, tr.right, tr.bottom},
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, focused ? kWhite : kBlack);
  }
}

// ---- Edit ---------------------------------------------------------------------------------
// One line with a caret and a selection running from its anchor to the caret:
// typing replaces the selection or inserts at the caret, Backspace and Delete
// take the selection or the character before or after the caret, Left, Right,
// Home and End move the caret (with Shift they stretch the selection), a tap
// puts the caret at the nearest character boundary, a drag selects and
// EM_SETSEL selects a range. New text puts the caret after it. A line wider than the box slides
// sideways so that the caret stays in view.
constexpr int kEditMargin = 3;

HFONT editFont(const Control& c) { return c.font ? c.font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }
bool readOnly(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) != 0; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The caret never stands between the halves of a surrogate pair.
size_t stepBack(const std::u16string& text, size_t at) {
  if (at == 0) return 0;
  --at;
  return at > 0 && isLowSurrogate(text[at]) ? at - 1 : at;
}
size_t stepForward(const std::u16string& text, size_t at) {
  if (at >= text.size()) return text.size();
  ++at;
  return at < text.size() && isLowSurrogate(text[at]) ? at + 1 : at;
}

RECT editTextArea(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  return RECT{r.left + kEditMargin, r.top + 1, r.right - kEditMargin, r.bottom - 1};
}

int prefixWidth(const Control& c, const std::u16string& text, size_t length) {
  return commctrl::textWidth(editFont(c), text.substr(0, length));
}

// Slides the line as little as keeps the caret in the box, never past either end of the text.
void keepCaretInView(HWND hwnd, Control& c, const std::u16string& text) {
  RECT area = editTextArea(hwnd);
  int room = std::max<int>(0, area.right - area.left - 1);  // the caret's own column stays inside
  int slack = std::max(0, prefixWidth(c, text, text.size()) - room);
  int caret = prefixWidth(c, text, c.caret);
  c.scroll = std::clamp(c.scroll, 0, slack);
  c.scroll = std::clamp(c.scroll, std::max(0, caret - room), caret);
}

size_t selectionStart(const Control& c) { return std::min(c.caret, c.anchor); }
size_t selectionEnd(const Control& c) { return std::max(c.caret, c.anchor); }

enum class Selecting { Drop, Stretch };

LRESULT placeCaret(HWND hwnd, Control& c, const std::u16string& text, size_t at, Selecting how = Selecting::Drop) {
  c.caret = std::min(at, text.size());
  if (how == Selecting::Drop) c.anchor = c.caret;
  c.anchor = std::min(c.anchor, text.size());
  keepCaretInView(hwnd, c, text);
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

// The parent hears EN_CHANGE last: it may destroy the box from inside it.
LRESULT replaceText(HWND hwnd, Control& c, const std::u16string& text, size_t caret) {
  SetWindowTextW(hwnd, text.c_str());
  placeCaret(hwnd, c, text, caret);
  notify(hwnd, EN_CHANGE);
  return 0;
}

// Takes the selection, or when there is none the character the caret steps over.
LRESULT eraseAtCaret(HWND hwnd, Control& c, size_t (*step)(const std::u16string&, size_t)) {
  if (readOnly(hwnd)) return 0;
  std::u16string text = windowText(hwnd);
  size_t from = std::min(selectionStart(c), text.size()), to = std::min(selectionEnd(c), text.size());
  if (from == to) {
    size_t other = step(text, from);
    from = std::min(from, other);
    to = std::max(to, other);
  }
  if (from == to) return 0;
  return replaceText(hwnd, c, text.erase(from, to - from), from);
}

LRESULT onEditChar(HWND hwnd, Control& c, WPARAM wParam) {
  if (wParam == VK_BACK) return eraseAtCaret(hwnd, c, stepBack);
  if (readOnly(hwnd) || wParam < 0x20) return 0;
  std::u16string text = windowText(hwnd);
  size_t from = std::min(selectionStart(c), text.size()), to = std::min(selectionEnd(c), text.size());
  return replaceText(hwnd, c, text.replace(from, to - from, 1, static_cast<char16_t>(wParam)), from + 1);
}

LRESULT onEditKey(HWND hwnd, Control& c, WPARAM key, LPARAM lParam) {
  std::u16string text = windowText(hwnd);
  Selecting how = GetKeyState(VK_SHIFT) < 0 ? Selecting::Stretch : Selecting::Drop;
  switch (key) {
    case VK_LEFT:
      return placeCaret(hwnd, c, text, stepBack(text, std::min(c.caret, text.size())), how);
    case VK_RIGHT:
      return placeCaret(hwnd, c, text, stepForward(text, c.caret), how);
    case VK_HOME:
      return placeCaret(hwnd, c, text, 0, how);
    case VK_END:
      return placeCaret(hwnd, c, text, text.size(), how);
    case VK_DELETE:
      return eraseAtCaret(hwnd, c, stepForward);
    default:
      return DefWindowProcW(hwnd, WM_KEYDOWN, key, lParam);
  }
}

// The boundary nearest to `x`, counted from the start of the text.
size_t boundaryNear(const Control& c, const std::u16string& text, int x) {
  size_t best = 0;
  int bestWidth = 0;
  for (size_t at = 0; at < text.size();) {
    size_t next = stepForward(text, at);
    int width = prefixWidth(c, text, next);
    if (width - x >= x - bestWidth) break;
    best = next;
    bestWidth = width;
    at = next;
  }
  return best;
}

LRESULT placeCaretAtPen(HWND hwnd, Control& c, LPARAM lParam, Selecting how) {
  std::u16string text = windowText(hwnd);
  int x = pointOf(lParam).x - editTextArea(hwnd).left + c.scroll;
  return placeCaret(hwnd, c, text, boundaryNear(c, text, x), how);
}

// The pen drawn across the text selects what it passes over.
LRESULT onEditDown(HWND hwnd, Control& c, LPARAM lParam) {
  SetFocus(hwnd);
  SetCapture(hwnd);
  return placeCaretAtPen(hwnd, c, lParam, Selecting::Drop);
}

LRESULT onEditMove(HWND hwnd, Control& c, LPARAM lParam) {
  return GetCapture() == hwnd ? placeCaretAtPen(hwnd, c, lParam, Selecting::Stretch) : 0;
}

LRESULT onEditUp(HWND hwnd) {
  if (GetCapture() == hwnd) ReleaseCapture();
  return 0;
}

LRESULT onEditSetText(HWND hwnd, Control& c, WPARAM wParam, LPARAM lParam) {
  LRESULT r = DefWindowProcW(hwnd, WM_SETTEXT, wParam, lParam);
  std::u16string text = windowText(hwnd);
  placeCaret(hwnd, c, text, text.size());
  return r;
}

LRESULT onEditGetSelection(const Control& c, WPARAM wParam, LPARAM lParam) {
  auto from = static_cast<DWORD>(selectionStart(c)), to = static_cast<DWORD>(selectionEnd(c));
  if (auto* start = reinterpret_cast<DWORD*>(wParam)) *start = from;
  if (auto* end = reinterpret_cast<DWORD*>(lParam)) *end = to;
  return static_cast<LRESULT>(
      MAKELONG(static_cast<WORD>(std::min<DWORD>(from, 0xFFFF)), static_cast<WORD>(std::min<DWORD>(to, 0xFFFF))));
}

// The anchor goes to the start and the caret to the end; an end of -1 is the
// end of the text, and a start of -1 keeps only the caret, selecting nothing.
LRESULT onEditSetSelection(HWND hwnd, Control& c, WPARAM start, LPARAM end) {
  std::u16string text = windowText(hwnd);
  auto position = [&](long long at) {
    return at < 0 ? text.size() : std::min<size_t>(static_cast<size_t>(at), text.size());
  };
  auto from = static_cast<long long>(static_cast<INT_PTR>(start)), to = static_cast<long long>(end);
  if (from < 0) return placeCaret(hwnd, c, text, c.caret);
  c.anchor = position(from);
  return placeCaret(hwnd, c, text, position(to), Selecting::Stretch);
}

LRESULT editProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      return onEditDown(hwnd, c, lParam);
    case WM_MOUSEMOVE:
      return onEditMove(hwnd, c, lParam);
    case WM_LBUTTONUP:
      return onEditUp(hwnd);
    case WM_KEYDOWN:
      return onEditKey(hwnd, c, wParam, lParam);
    case WM_CHAR:
      return onEditChar(hwnd, c, wParam);
    case WM_SETTEXT:
      return onEditSetText(hwnd, c, wParam, lParam);
    case EM_GETSEL:
      return onEditGetSelection(c, wParam, lParam);
    case EM_SETSEL:
      return onEditSetSelection(hwnd, c, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_WANTARROWS;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The caret, a line as tall as the text, or the selection, white on the
// highlight, while the box has the focus.
void paintCaretOrSelection(HWND hwnd, const Control& c, HDC dc, const std::u16string& text, const RECT& area) {
  if (GetFocus() != hwnd || !enabled(hwnd)) return;
  TEXTMETRICW tm{};
  {
    SelectedObject font(dc, editFont(c));
    GetTextMetricsW(dc, &tm);
  }
  RECT r;
  GetClientRect(hwnd, &r);
  int top = std::max<int>(area.top, r.top + (r.bottom - r.top - tm.tmHeight) / 2);
  int bottom = std::min<int>(area.bottom, top + tm.tmHeight);
  int left = area.left + prefixWidth(c, text, selectionStart(c)) - c.scroll;
  if (c.caret == c.anchor) {
    fillSolid(dc, RECT{left, top, left + 1, bottom}, kBlack);
    return;
  }
  int right = area.left + prefixWidth(c, text, selectionEnd(c)) - c.scroll;
  IntersectClipRect(dc, left, top, right, bottom);
  fillSolid(dc, RECT{left, top, right, bottom}, kSelect);
  drawText(dc, c, text, RECT{area.left - c.scroll, r.top, area.right, r.bottom},
           DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP, kWhite);
}

void paintEdit(HWND hwnd, const Control& c, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  fillSolid(dc, r, kWhite);
  frameSolid(dc, r, kBlack);
  RECT area = editTextArea(hwnd);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  std::u16string text = windowText(hwnd);
  drawText(dc, c, text, RECT{area.left - c.scroll, r.top, area.right, r.bottom},
           DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP, enabled(hwnd) ? kBlack : kGrey);
  paintCaretOrSelection(hwnd, c, dc, text, area);
}

// ---- The one window procedure ------------------------------------------------------------------
LRESULT onCreate(Kind kind, HWND hwnd) {
  table()[hwnd] = Control{kind};
  if (kind == Kind::Edit) table()[hwnd].caret = table()[hwnd].anchor = windowText(hwnd).size();
  // A template gives a combo box the height of its open list; the box itself is one line.
  if (kind == Kind::ComboBox) {
    RECT r;
    GetClientRect(hwnd, &r);
    if (r.bottom > kComboHeight) SetWindowPos(hwnd, nullptr, 0, 0, r.right, kComboHeight, SWP_NOMOVE | SWP_NOZORDER);
  }
  return 0;
}

LRESULT onDestroy(HWND hwnd, Control& c) {
  if (IsWindow(c.dropped)) DestroyWindow(c.dropped);
  if (Control* combo = controlOf(c.combo); combo && combo->dropped == hwnd) combo->dropped = nullptr;
  table().erase(hwnd);
  return 0;
}

LRESULT onSetFont(HWND hwnd, Control& c, WPARAM wParam, LPARAM lParam) {
  c.font = reinterpret_cast<HFONT>(wParam);
  if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

// Focus and enabling change how a control looks, nothing else.
LRESULT onLookChange(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  InvalidateRect(hwnd, nullptr, FALSE);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void paintControl(HWND hwnd, Control& c, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  switch (c.kind) {
    case Kind::Static:
      return paintStatic(hwnd, c, dc);
    case Kind::Button:
      return paintButton(hwnd, c, dc);
    case Kind::ListBox:
      return paintItems(hwnd, c, dc, r, c.top);
    case Kind::ComboBox:
      return paintCombo(hwnd, c, dc);
    case Kind::Edit:
      return paintEdit(hwnd, c, dc);
    case Kind::DropList:
      if (Control* combo = controlOf(c.combo)) paintItems(hwnd, *combo, dc, r, 0);
      return;
  }
}

LRESULT onPaint(HWND hwnd, Control& c) {
  PaintScope paint(hwnd);
  paintControl(hwnd, c, paint.dc());
  return 0;
}

LRESULT staticProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case STM_SETICON:
      return reinterpret_cast<LRESULT>(std::exchange(c.icon, reinterpret_cast<HICON>(wParam)));
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(c.icon);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT kindProc(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (c.kind) {
    case Kind::Static:
      return staticProc(hwnd, c, message, wParam, lParam);
    case Kind::Button:
      return buttonMessage(hwnd, c, message, wParam, lParam);
    case Kind::ListBox:
      return listBoxProc(hwnd, c, message, wParam, lParam);
    case Kind::ComboBox:
      return comboProc(hwnd, c, message, wParam, lParam);
    case Kind::Edit:
      return editProc(hwnd, c, message, wParam, lParam);
    case Kind::DropList:
      return dropListProc(hwnd, c, message, wParam, lParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// New text or a new icon repaints a static or a button; the kind's own handler does the rest.
LRESULT onContentChange(HWND hwnd, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = kindProc(hwnd, c, message, wParam, lParam);
  if (c.kind == Kind::Static || c.kind == Kind::Button) InvalidateRect(hwnd, nullptr, FALSE);
  return result;
}

LRESULT controlProc(Kind kind, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return onCreate(kind, hwnd);
  Control* c = controlOf(hwnd);
  if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      return onDestroy(hwnd, *c);
    case WM_SETFONT:
      return onSetFont(hwnd, *c, wParam, lParam);
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(c->font);
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      return onLookChange(hwnd, message, wParam, lParam);
    case WM_PAINT:
      return onPaint(hwnd, *c);
    case WM_SETTEXT:
    case STM_SETICON:
      return onContentChange(hwnd, *c, message, wParam, lParam);
    default:
      return kindProc(hwnd, *c, message, wParam, lParam);
  }
}

template <Kind kind>
LRESULT procFor(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return controlProc(kind, hwnd, message, wParam, lParam);
}

void provide() { controls::registerClasses(); }

// ---- The state dump ---------------------------------------------------------------------------
void describeItems(const char* what, const Control& c, std::string& out) {
  out +=
      std::string(what) + " items=" + std::to_string(c.items.size()) + " current=" + std::to_string(c.current) + "\n";
  for (size_t i = 0; i < c.items.size(); ++i)
    out += "  item " + std::to_string(i) + " " + commctrl::quotedText(c.items[i]) +
           (static_cast<int>(i) == c.current ? " selected" : "") + "\n";
}

void describeButton(HWND hwnd, const Control& c, std::string& out) {
  if (isCheckBox(hwnd))
    out += c.check == BST_CHECKED ? "checkbox checked" : "checkbox unchecked";
  else
    out += c.pressed ? "button pressed" : "button";
  out += enabled(hwnd) ? "\n" : " disabled\n";
}

bool describeControl(HWND hwnd, std::string& out) {
  Control* c = controlOf(hwnd);
  if (!c) return false;
  switch (c->kind) {
    case Kind::Button:
      describeButton(hwnd, *c, out);
      return true;
    case Kind::ListBox:
      describeItems("listbox", *c, out);
      return true;
    case Kind::ComboBox:
      describeItems(IsWindow(c->dropped) ? "combobox dropped" : "combobox", *c, out);
      return true;
    case Kind::DropList:
      if (Control* combo = controlOf(c->combo)) describeItems("dropdown", *combo, out);
      return true;
    default:
      return false;
  }
}

// ---- The message box icons ----------------------------------------------------------------------
res::Picture drawSystemIcon(UINT type) {
  constexpr int size = 20;
  res::Picture p{0, size, size, std::vector<std::uint32_t>(size * size, 0)};
  UINT kind = type & 0xF0;
  std::uint32_t body = kind == MB_ICONHAND ? 0xFFD02020 : kind == MB_ICONEXCLAMATION ? 0xFFF0C020 : 0xFF2050C0;
  std::uint32_t mark = kind == MB_ICONEXCLAMATION ? 0xFF000000 : 0xFFFFFFFF;
  auto at = [&](int x, int y) -> std::uint32_t& { return p.pixels[static_cast<size_t>(y * size + x)]; };
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double dx = x - 9.5, dy = y - 9.5;
      bool inside = kind == MB_ICONEXCLAMATION ? (y >= 1 && std::abs(dx) <= (y - 1) * 0.55 + 0.5)
                                               : dx * dx + dy * dy <= 9.6 * 9.6;
      if (inside) at(x, y) = body;
    }
  auto bar = [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) at(x, y) = mark;
  };
  if (kind == MB_ICONHAND) {
    for (int i = 5; i < 15; ++i) {
      bar(i, i, i + 2, i + 1);
      bar(size - 2 - i, i, size - i, i + 1);
    }
  } else if (kind == MB_ICONEXCLAMATION) {
    bar(9, 6, 11, 14);
    bar(9, 15, 11, 17);
  } else if (kind == MB_ICONQUESTION) {
    bar(7, 4, 13, 6);
    bar(11, 5, 13, 9);
    bar(9, 8, 12, 10);
    bar(9, 10, 11, 12);
    bar(9, 14, 11, 16);
  } else {
    bar(9, 4, 11, 6);
    bar(9, 8, 11, 16);
  }
  return p;
}

}  // namespace

namespace controls {

void registerClasses() {
  struct Entry {
    const char16_t* name;
    WNDPROC proc;
  };
  wm::addClassProvider(provide);
  wm::addWindowDescriber(commctrl::describeListView);
  wm::addWindowDescriber(commctrl::describeTreeView);
  wm::addWindowDescriber(describeControl);
  commctrl::registerListView();
  commctrl::registerTreeView();
  for (Entry e : {Entry{u"STATIC", procFor<Kind::Static>}, Entry{u"BUTTON", procFor<Kind::Button>},
                  Entry{u"LISTBOX", procFor<Kind::ListBox>}, Entry{u"COMBOBOX", procFor<Kind::ComboBox>},
                  Entry{u"EDIT", procFor<Kind::Edit>}, Entry{u"ComboLBox", procFor<Kind::DropList>}}) {
    WNDCLASSW existing{};
    if (GetClassInfoW(nullptr, e.name, &existing)) continue;
    WNDCLASSW wc{};
    wc.lpfnWndProc = e.proc;
    wc.lpszClassName = e.name;
    RegisterClassW(&wc);
  }
}

HICON systemIcon(UINT type) {
  static std::map<UINT, res::Picture> pictures;
  UINT kind = type & 0xF0;
  auto it = pictures.find(kind);
  if (it == pictures.end()) it = pictures.emplace(kind, drawSystemIcon(kind)).first;
  return res::iconFromPicture(&it->second);
}

}  // namespace controls
