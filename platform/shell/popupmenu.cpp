// The shell's menus: a drop-down from the menu bar or a popup at a point
// (TrackPopupMenuEx), and the submenus opened beside their items, one window
// per level. The outermost level owns the chain:
// it takes the pen (captured) and the keys while any level is open.

#include <algorithm>
#include <vector>

#include "platform/core/resource.h"
#include "platform/commctrl/viewparts.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"
#include "platform/shell/shellimpl.h"

namespace shell::detail {
namespace {

constexpr const char16_t* kMenuClass = u"MNU";
constexpr int kMinMenuWidth = 90;
constexpr int kTextLeft = 18;       // room for the check mark
constexpr int kArrowRoom = 18;      // room for a submenu's arrow
constexpr int kTextSlack = 6;       // keeps DrawText's ellipsis away from the longest text
constexpr int kSubmenuOverlap = 3;  // a submenu covers the edge of its parent

struct Level {
  HWND owner;  // receives WM_COMMAND
  HWND bar;    // the menu bar that opened the chain, or null
  HMENU menu;
  std::vector<res::MenuEntry> entries;
  std::vector<RECT> rects;  // client coordinates, one per entry
  int hot = -1;
  HWND parent = nullptr;  // the level this one opened from (non-owning)
  HWND child = nullptr;   // the submenu open beside `hot` (non-owning)
  bool notify = true;     // WM_INITMENUPOPUP goes to the owner before a level opens
};

struct MenuState {
  HWND root = nullptr;
  bool tracking = false;   // the pen went down on a menu and has not come up
  UINT* answer = nullptr;  // a tracked popup's: takes the chosen command instead of the owner
};
MenuState& menus() {
  static MenuState s;
  return s;
}

Level* levelOf(HWND hwnd) {
  return IsWindow(hwnd) ? reinterpret_cast<Level*>(GetWindowLongW(hwnd, GWL_USERDATA)) : nullptr;
}

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool disabled(const res::MenuEntry& e) { return (e.flags & (MF_GRAYED | MF_DISABLED)) != 0; }
bool choosable(const res::MenuEntry& e) { return !(e.flags & MF_SEPARATOR) && !disabled(e); }
bool holdsSubmenu(const res::MenuEntry& e) { return (e.flags & MF_POPUP) && e.subMenu; }

bool hotHoldsSubmenu(const Level& l) { return l.hot >= 0 && holdsSubmenu(l.entries[static_cast<size_t>(l.hot)]); }

HWND deepest() {
  HWND h = menus().root;
  while (Level* l = levelOf(h)) {
    if (!IsWindow(l->child)) break;
    h = l->child;
  }
  return levelOf(h) ? h : nullptr;
}

// ---- Layout and placement -----------------------------------------------------------
SIZE layOut(Level& l) {
  int width = kMinMenuWidth;
  int y = 1;
  for (const auto& e : l.entries) {
    width = std::max(width, 1 + kTextLeft + textWidth(e.text, false) + kTextSlack + kArrowRoom + 1);
    y += (e.flags & MF_SEPARATOR) ? kMenuSeparatorHeight : kMenuItemHeight;
  }
  int top = 1;
  for (const auto& e : l.entries) {
    int h = (e.flags & MF_SEPARATOR) ? kMenuSeparatorHeight : kMenuItemHeight;
    l.rects.push_back(RECT{1, top, width - 1, top + h});
    top += h;
  }
  return SIZE{width, y + 1};
}

// Menus stay on the screen and above the menu bar.
LONG lowestBottom() {
  SIZE screen = wm::screenSize();
  return screen.cy - wm::kMenuBarHeight;
}

// At the point as the flags align it; where that leaves the screen it opens
// to the other side of the point, and is then pushed back on.
RECT pointPlace(POINT at, SIZE size, UINT flags) {
  SIZE screen = wm::screenSize();
  LONG bottomLimit = lowestBottom();
  LONG left = (flags & TPM_RIGHTALIGN) ? at.x - size.cx : (flags & TPM_CENTERALIGN) ? at.x - size.cx / 2 : at.x;
  LONG top = (flags & TPM_BOTTOMALIGN) ? at.y - size.cy : (flags & TPM_VCENTERALIGN) ? at.y - size.cy / 2 : at.y;
  if (left + size.cx > screen.cx && !(flags & (TPM_RIGHTALIGN | TPM_CENTERALIGN))) left = at.x - size.cx;
  if (left < 0 && (flags & TPM_RIGHTALIGN)) left = at.x;
  if (top + size.cy > bottomLimit && !(flags & (TPM_BOTTOMALIGN | TPM_VCENTERALIGN))) top = at.y - size.cy;
  if (top < 0 && (flags & TPM_BOTTOMALIGN)) top = at.y;
  left = std::clamp<LONG>(left, 0, std::max<LONG>(0, screen.cx - size.cx));
  top = std::clamp<LONG>(top, 0, std::max<LONG>(0, bottomLimit - size.cy));
  return RECT{left, top, left + size.cx, std::min<LONG>(top + size.cy, std::max<LONG>(bottomLimit, size.cy))};
}

RECT dropDownPlace(const RECT& anchor, SIZE size) {
  SIZE screen = wm::screenSize();
  LONG left = std::clamp<LONG>(anchor.left, 0, std::max<LONG>(0, screen.cx - size.cx));
  LONG top = std::max<LONG>(0, anchor.top - size.cy);
  return RECT{left, top, left + size.cx, std::min<LONG>(top + size.cy, anchor.top)};
}

// Beside the item, on the right unless that leaves the screen; its first item
// level with the one that opened it, lifted to stay on screen.
RECT submenuPlace(const RECT& parentWindow, const RECT& item, SIZE size) {
  SIZE screen = wm::screenSize();
  LONG left = parentWindow.right - kSubmenuOverlap;
  if (left + size.cx > screen.cx) left = parentWindow.left - size.cx + kSubmenuOverlap;
  left = std::clamp<LONG>(left, 0, std::max<LONG>(0, screen.cx - size.cx));
  LONG top = std::clamp<LONG>(item.top - 1, 0, std::max<LONG>(0, lowestBottom() - size.cy));
  return RECT{left, top, left + size.cx, std::min<LONG>(top + size.cy, std::max<LONG>(lowestBottom(), size.cy))};
}

// ---- Opening and closing ------------------------------------------------------------
int firstChoosable(const Level& l, int from, int step) {
  int n = static_cast<int>(l.entries.size());
  for (int i = 0; i < n; ++i) {
    int at = ((from + step * i) % n + n) % n;
    if (choosable(l.entries[static_cast<size_t>(at)])) return at;
  }
  return -1;
}

LRESULT levelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The open menu's items in the state dump, for scripts that check a menu without reading pixels.
bool describeLevel(HWND hwnd, std::string& out) {
  for (HWND w = menus().root; w;) {
    Level* l = levelOf(w);
    if (!l) return false;
    if (w != hwnd) {
      w = l->child;
      continue;
    }
    out += "menu items=" + std::to_string(l->entries.size()) + " hot=" + std::to_string(l->hot) + "\n";
    for (size_t i = 0; i < l->entries.size(); ++i) {
      const res::MenuEntry& e = l->entries[i];
      out += "  item " + std::to_string(i) + " " + commctrl::quotedText(e.text);
      if (e.flags & MF_SEPARATOR) out += " separator";
      if (disabled(e)) out += " grayed";
      if (e.flags & MF_CHECKED) out += " checked";
      if (holdsSubmenu(e)) out += " submenu";
      if (static_cast<int>(i) == l->hot) out += " hot";
      out += "\n";
    }
    return true;
  }
  return false;
}

HWND createLevel(Level* l, const RECT& place, HWND ownerWindow) {
  registerClass(kMenuClass, levelProc);
  wm::addWindowDescriber(describeLevel);
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kMenuClass, u"", WS_POPUP, place.left, place.top,
                           place.right - place.left, place.bottom - place.top, ownerWindow, nullptr, nullptr, nullptr);
  if (!w) {
    delete l;
    return nullptr;
  }
  SetWindowLongW(w, GWL_USERDATA, reinterpret_cast<LONG_PTR>(l));
  ShowWindow(w, SW_SHOWNA);
  return w;
}

Level* newLevel(HWND owner, HWND bar, HMENU menu, int position, bool notify) {
  // The owner may enable, grey or check items before they are shown.
  if (notify) SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(position, FALSE));
  return new Level{owner, bar, menu, res::menuEntries(menu), {}, -1, nullptr, nullptr, notify};
}

void closeLevel(HWND hwnd);

void closeChild(Level& l, HWND self) {
  if (IsWindow(l.child)) closeLevel(l.child);
  l.child = nullptr;
  InvalidateRect(self, nullptr, FALSE);
}

// Closes a level and every level opened from it; the outermost one tells its bar.
void closeLevel(HWND hwnd) {
  Level* l = levelOf(hwnd);
  if (!l) return;
  if (IsWindow(l->child)) closeLevel(l->child);
  if (Level* parent = levelOf(l->parent)) {
    parent->child = nullptr;
    InvalidateRect(l->parent, nullptr, FALSE);
  }
  HWND bar = l->bar;
  bool root = hwnd == menus().root;
  if (root) {
    menus().root = nullptr;
    menus().tracking = false;
    menus().answer = nullptr;
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  DestroyWindow(hwnd);
  if (root && IsWindow(bar)) SendMessageW(bar, kMenuClosed, 0, 0);
}

// Opens the submenu of the hot item beside it.
void openSubmenu(HWND hwnd, Level& l, bool hotFirst) {
  if (!hotHoldsSubmenu(l)) return;
  if (IsWindow(l.child)) {
    if (Level* c = levelOf(l.child); c && hotFirst && c->hot < 0) {
      c->hot = firstChoosable(*c, 0, 1);
      InvalidateRect(l.child, nullptr, FALSE);
    }
    return;
  }
  const res::MenuEntry& e = l.entries[static_cast<size_t>(l.hot)];
  Level* sub = newLevel(l.owner, l.bar, e.subMenu, l.hot, l.notify);
  sub->parent = hwnd;
  SIZE size = layOut(*sub);
  if (hotFirst) sub->hot = firstChoosable(*sub, 0, 1);
  RECT window, item = l.rects[static_cast<size_t>(l.hot)];
  GetWindowRect(hwnd, &window);
  item = RECT{item.left + window.left, item.top + window.top, item.right + window.left, item.bottom + window.top};
  l.child = createLevel(sub, submenuPlace(window, item, size), l.owner);
  InvalidateRect(hwnd, nullptr, FALSE);
}

void setHot(HWND hwnd, Level& l, int hot) {
  if (hot == l.hot) return;
  closeChild(l, hwnd);
  l.hot = hot;
  InvalidateRect(hwnd, nullptr, FALSE);
}

// The chosen command goes to the owner, or to a tracked popup's caller, once
// every menu is gone.
void choose(Level& l) {
  HWND owner = l.owner;
  UINT id = l.entries[static_cast<size_t>(l.hot)].id;
  UINT* answer = menus().answer;
  closeMenus();
  if (answer)
    *answer = id;
  else
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// ---- Keys ------------------------------------------------------------------------------
void moveHot(HWND hwnd, Level& l, int step) {
  int from = l.hot >= 0 ? l.hot + step : (step > 0 ? 0 : static_cast<int>(l.entries.size()) - 1);
  int next = firstChoosable(l, from, step);
  if (next >= 0) setHot(hwnd, l, next);
}

// Sent, so that the next key already finds the new drop-down; `l` is gone after.
void neighbour(Level& l, int direction) {
  if (IsWindow(l.bar)) SendMessageW(l.bar, kMenuNeighbour, static_cast<WPARAM>(direction), 0);
}

}  // namespace

void handleMenuKey(int vk) {
  HWND hwnd = deepest();
  Level* l = levelOf(hwnd);
  if (!l) {
    // The menus closed before this key's turn came: it belongs to the window again.
    wm::injectKey(vk, true);
    wm::injectKey(vk, false);
    return;
  }
  bool inner = hwnd != menus().root;
  switch (vk) {
    case VK_UP:
    case VK_DOWN:
      moveHot(hwnd, *l, vk == VK_DOWN ? 1 : -1);
      break;
    case VK_RETURN:
      if (hotHoldsSubmenu(*l))
        openSubmenu(hwnd, *l, true);
      else if (l->hot >= 0)
        choose(*l);
      break;
    case VK_RIGHT:
      if (hotHoldsSubmenu(*l))
        openSubmenu(hwnd, *l, true);
      else
        neighbour(*l, +1);
      break;
    case VK_LEFT:
      if (inner)
        closeLevel(hwnd);
      else
        neighbour(*l, -1);
      break;
    case VK_ESCAPE:
      closeLevel(hwnd);
      break;
    default:
      break;
  }
}

namespace {

// ---- The pen -------------------------------------------------------------------------
int entryAt(const Level& l, POINT client) {
  for (size_t i = 0; i < l.rects.size(); ++i)
    if (contains(l.rects[i], client)) return static_cast<int>(i);
  return -1;
}

// The innermost level under a screen point, or null.
HWND levelAt(POINT screen) {
  std::vector<HWND> chain;
  for (HWND h = menus().root; levelOf(h); h = levelOf(h)->child) chain.push_back(h);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    RECT r;
    GetWindowRect(*it, &r);
    if (contains(r, screen)) return *it;
  }
  return nullptr;
}

// The pen over an item: it becomes hot, and a submenu it holds opens.
void hover(HWND hwnd, Level& l, POINT client) {
  int hit = entryAt(l, client);
  if (hit < 0 && IsWindow(l.child)) return;  // the open submenu stays while the pen crosses the frame
  setHot(hwnd, l, hit >= 0 && choosable(l.entries[static_cast<size_t>(hit)]) ? hit : -1);
  openSubmenu(hwnd, l, false);
}

void pen(UINT message, POINT screen) {
  HWND hwnd = levelAt(screen);
  Level* l = levelOf(hwnd);
  POINT client = screen;
  if (l) ScreenToClient(hwnd, &client);
  switch (message) {
    case WM_LBUTTONDOWN:
      // A tap outside every menu closes them and is not passed on.
      if (!l) return closeMenus();
      menus().tracking = true;
      hover(hwnd, *l, client);
      break;
    case WM_MOUSEMOVE:
      if (menus().tracking && l) hover(hwnd, *l, client);
      break;
    case WM_LBUTTONUP: {
      if (!menus().tracking) return;
      menus().tracking = false;
      if (!l) return;
      int hit = entryAt(*l, client);
      if (hit >= 0 && hit == l->hot && !hotHoldsSubmenu(*l)) return choose(*l);
      if (!IsWindow(l->child)) setHot(hwnd, *l, -1);
      break;
    }
    default:
      break;
  }
}

// ---- Painting ----------------------------------------------------------------------------
// The usual submenu arrow: a small solid triangle pointing right.
void drawArrow(HDC dc, const RECT& item, COLORREF color) {
  int x = item.right - 10, mid = (item.top + item.bottom) / 2;
  for (int i = 0; i < 4; ++i) fillSolid(dc, RECT{x + i, mid - 3 + i, x + i + 1, mid + 4 - i}, color);
}

void drawCheck(HDC dc, const RECT& item, COLORREF color) {
  int x = item.left + 5, mid = (item.top + item.bottom) / 2;
  for (int i = 0; i < 3; ++i) fillSolid(dc, RECT{x + i, mid - 1 + i, x + i + 1, mid + 2 + i}, color);
  for (int i = 0; i < 5; ++i) fillSolid(dc, RECT{x + 3 + i, mid + 1 - i, x + 4 + i, mid + 4 - i}, color);
}

void paintLevel(HWND hwnd) {
  Level& l = *levelOf(hwnd);
  PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(hwnd, &r);
  fillSolid(dc, r, kMenuFace);
  frameSolid(dc, r, kMenuLine);
  for (size_t i = 0; i < l.entries.size(); ++i) {
    const auto& e = l.entries[i];
    RECT ir = l.rects[i];
    if (e.flags & MF_SEPARATOR) {
      int y = (ir.top + ir.bottom) / 2;
      fillSolid(dc, RECT{ir.left + 2, y, ir.right - 2, y + 1}, kMenuLine);
      continue;
    }
    bool hot = static_cast<int>(i) == l.hot;
    if (hot) fillSolid(dc, ir, kSelect);
    COLORREF color = disabled(e) ? kGrey : hot ? kBarText : kInk;
    if (e.flags & MF_CHECKED) drawCheck(dc, ir, color);
    text(dc, e.text, RECT{ir.left + kTextLeft, ir.top, ir.right - kArrowRoom, ir.bottom}, DT_LEFT | DT_END_ELLIPSIS,
         color, false);
    if (e.flags & MF_POPUP) drawArrow(dc, ir, color);
  }
}

LRESULT levelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Level* l = levelOf(hwnd);
  switch (message) {
    case WM_PAINT:
      if (l) paintLevel(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: {
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      ClientToScreen(hwnd, &p);
      pen(message, p);
      return 0;
    }
    case WM_RBUTTONDOWN: {
      // A held tap outside the menus dismisses them as a tap does.
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      ClientToScreen(hwnd, &p);
      if (!levelAt(p)) closeMenus();
      return 0;
    }
    case kMenuKey:
      handleMenuKey(static_cast<int>(wParam));
      return 0;
    case WM_DESTROY:
      if (menus().root == hwnd) {
        menus().root = nullptr;
        menus().answer = nullptr;
      }
      // Destroyed from outside (its owner went): the levels opened from it go too.
      if (l && IsWindow(l->child)) DestroyWindow(l->child);
      if (Level* parent = l ? levelOf(l->parent) : nullptr) parent->child = nullptr;
      delete l;
      SetWindowLongW(hwnd, GWL_USERDATA, 0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

HWND openDropDown(HWND bar, HWND owner, HMENU menu, const RECT& anchor, bool hotFirst) {
  closeMenus();
  Level* l = newLevel(owner, bar, menu, 0, true);
  SIZE size = layOut(*l);
  if (hotFirst) l->hot = firstChoosable(*l, 0, 1);
  HWND w = createLevel(l, dropDownPlace(anchor, size), IsWindow(bar) ? bar : owner);
  menus().root = w;
  menus().tracking = false;
  return w;
}

HWND openAtPoint(HWND owner, HMENU menu, POINT at, UINT flags, UINT* answer) {
  closeMenus();
  Level* l = newLevel(owner, nullptr, menu, 0, !(flags & TPM_NONOTIFY));
  SIZE size = layOut(*l);
  HWND w = createLevel(l, pointPlace(at, size, flags), owner);
  if (!w) return nullptr;
  menus().root = w;
  menus().tracking = false;
  menus().answer = answer;
  // It takes the next tap wherever it lands: outside, the tap dismisses it.
  SetCapture(w);
  return w;
}

HWND openMenu() { return levelOf(menus().root) ? menus().root : nullptr; }

void closeMenus() {
  if (levelOf(menus().root)) closeLevel(menus().root);
  menus() = MenuState{};
}

void penFromBar(UINT message, POINT screen) {
  if (!openMenu()) return;
  menus().tracking = true;
  pen(message, screen);
}

bool menuTakesKey(int vk, bool down) {
  HWND root = openMenu();
  if (!root) return false;
  // Handled in turn with the other input, by whichever level is innermost
  // then; through the bar, which outlives the drop-downs that Left and Right swap.
  Level* l = levelOf(root);
  if (down) PostMessageW(l && IsWindow(l->bar) ? l->bar : root, kMenuKey, static_cast<WPARAM>(vk), 0);
  return true;
}

}  // namespace shell::detail

namespace {

constexpr DWORD kErrorInvalidMenuHandle = 1401;

// Keys reach an open menu through the shell's key hook; where none is
// installed they arrive as messages, which the menu takes here.
bool menuTookKeyMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
      shell::detail::handleMenuKey(static_cast<int>(msg.wParam));
      return true;
    case WM_KEYUP:
    case WM_CHAR:
      return true;
    default:
      return false;
  }
}

}  // namespace

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
  using namespace shell::detail;
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  int count = GetMenuItemCount(menu);
  if (count < 0) {
    SetLastError(kErrorInvalidMenuHandle);
    return FALSE;
  }
  if (count == 0) return FALSE;
  UINT chosen = 0;
  HWND root = openAtPoint(owner, menu, POINT{x, y}, flags, &chosen);
  if (!root) return FALSE;
  MSG msg{};
  bool quit = false;
  while (openMenu() == root) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      break;
    }
    if (!menuTookKeyMessage(msg)) DispatchMessageW(&msg);
  }
  if (quit) {
    closeMenus();
    // The loop's caller still has to see the quit request.
    PostQuitMessage(static_cast<int>(msg.wParam));
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}
