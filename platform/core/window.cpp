// Window classes, the window tree, creation and destruction, placement and
// the window's data slots.

#include <algorithm>
#include <unordered_map>

#include "platform/core/wcrt.h"
#include "platform/core/windowimpl.h"

namespace wm::detail {
namespace {

constexpr LONG kErrorCannotFindClass = 1407;
constexpr LONG kErrorClassAlreadyExists = 1410;
constexpr LONG kErrorClassDoesNotExist = 1411;
constexpr LONG kErrorChildWithoutParent = 1406;

struct WindowTable {
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::unordered_map<ULONG_PTR, std::unique_ptr<Window>> windows;
  ULONG_PTR nextHandle = 0x10000;  // steps of 4: the lowest bit is free for SetForegroundWindow
  Window* desktop = nullptr;
};

WindowTable& table() {
  static WindowTable t;
  return t;
}

LRESULT desktopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::u16string textOf(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

std::vector<void (*)()>& classProviders() {
  static std::vector<void (*)()> providers;
  return providers;
}

std::shared_ptr<WindowClass> findClass(LPCWSTR name) {
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) return nullptr;
  for (auto& c : table().classes)
    if (_wcsicmp(c->name.c_str(), name) == 0) return c;
  return nullptr;
}

HWND newHandle() {
  ULONG_PTR value = table().nextHandle;
  table().nextHandle += 4;
  return reinterpret_cast<HWND>(value);
}

Window* makeDesktop() {
  auto cls = std::make_shared<WindowClass>();
  cls->name = u"Desktop";
  cls->proc = &desktopProc;
  cls->background = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BACKGROUND + 1));
  auto w = std::make_unique<Window>();
  w->handle = newHandle();
  w->cls = cls;
  w->proc = cls->proc;
  w->style = WS_VISIBLE | WS_CLIPCHILDREN;
  w->rect = screenRect();
  Window* raw = w.get();
  table().windows.emplace(reinterpret_cast<ULONG_PTR>(raw->handle), std::move(w));
  return raw;
}

// Inserts `w` at the top of its parent's children, below any topmost sibling
// unless it is topmost itself.
void insertOnTop(Window* parent, Window* w) {
  auto& kids = parent->children;
  kids.erase(std::remove(kids.begin(), kids.end(), w), kids.end());
  if (w->exStyle & WS_EX_TOPMOST) {
    kids.push_back(w);
    return;
  }
  auto firstTopmost = std::find_if(kids.begin(), kids.end(), [](Window* k) { return k->exStyle & WS_EX_TOPMOST; });
  kids.insert(firstTopmost, w);
}

void insertAtBottom(Window* parent, Window* w) {
  auto& kids = parent->children;
  kids.erase(std::remove(kids.begin(), kids.end(), w), kids.end());
  if (w->exStyle & WS_EX_TOPMOST) {
    auto firstTopmost = std::find_if(kids.begin(), kids.end(), [](Window* k) { return k->exStyle & WS_EX_TOPMOST; });
    kids.insert(firstTopmost, w);
    return;
  }
  kids.insert(kids.begin(), w);
}

void insertAbove(Window* parent, Window* w, Window* below) {
  auto& kids = parent->children;
  kids.erase(std::remove(kids.begin(), kids.end(), w), kids.end());
  auto at = std::find(kids.begin(), kids.end(), below);
  if (at == kids.end()) {
    kids.push_back(w);
    return;
  }
  kids.insert(at + 1, w);
}

void defaultPlacement(Window* w, int& x, int& y, int& width, int& height) {
  RECT area = workArea();
  bool child = w->style & WS_CHILD;
  if (x == CW_USEDEFAULT) {
    x = child ? 0 : area.left;
    y = child ? 0 : area.top;
  }
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : area.right - area.left;
    height = child ? 0 : area.bottom - area.top;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);
}

void sendSizeAndMove(Window* w) {
  HWND h = w->handle;
  RECT r = w->rect;
  send(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(r.right - r.left), static_cast<WORD>(r.bottom - r.top)));
  if (Window* again = find(h))
    send(again, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(again->rect.left), static_cast<WORD>(again->rect.top)));
}

void collectSubtree(Window* w, std::vector<HWND>& out) {
  out.push_back(w->handle);
  for (Window* c : w->children) collectSubtree(c, out);
}

// WM_DESTROY goes to the window first, then to its children, each subtree in
// creation order.
void sendDestroyMessages(Window* w) {
  HWND h = w->handle;
  send(w, WM_DESTROY, 0, 0);
  Window* again = find(h);
  if (!again) return;
  std::vector<HWND> kids;
  for (Window* c : again->children) kids.push_back(c->handle);
  for (HWND k : kids)
    if (Window* c = find(k)) sendDestroyMessages(c);
}

void freeSubtree(Window* w) {
  std::vector<HWND> handles;
  collectSubtree(w, handles);
  if (w->parent) {
    auto& kids = w->parent->children;
    kids.erase(std::remove(kids.begin(), kids.end(), w), kids.end());
  }
  for (HWND h : handles) {
    removeMessagesFor(h);
    killTimersFor(h);
    table().windows.erase(reinterpret_cast<ULONG_PTR>(h));
  }
}

void destroyOwnedWindows(HWND owner) {
  std::vector<HWND> owned;
  for (Window* top : desktop()->children)
    if (top->owner == owner) owned.push_back(top->handle);
  for (HWND h : owned) DestroyWindow(h);
}

bool setVisible(Window* w, bool show) {
  bool wasVisible = w->style & WS_VISIBLE;
  if (wasVisible == show) return wasVisible;
  HWND h = w->handle;
  Region before = show ? Region() : subtreeVisible(w);
  send(w, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  w = find(h);
  if (!w) return wasVisible;
  if (show) {
    w->style |= WS_VISIBLE;
    invalidateTree(w);
  } else {
    w->style &= ~WS_VISIBLE;
    w->update.clear();
    expose(before);
  }
  return wasVisible;
}

}  // namespace

Window* find(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto& windows = table().windows;
  auto it = windows.find(reinterpret_cast<ULONG_PTR>(hwnd));
  return it == windows.end() ? nullptr : it->second.get();
}

Window* desktop() {
  if (!table().desktop) table().desktop = makeDesktop();
  return table().desktop;
}

Window* topLevelOf(Window* w) {
  while (w && w->parent && w->parent != desktop()) w = w->parent;
  return w == desktop() ? nullptr : w;
}

bool isVisible(const Window* w) {
  for (; w; w = w->parent)
    if (!(w->style & WS_VISIBLE)) return false;
  return true;
}

bool isEnabled(const Window* w) {
  for (; w; w = w->parent)
    if (w->style & WS_DISABLED) return false;
  return true;
}

RECT screenRectOf(const Window* w) {
  RECT r = w->rect;
  for (const Window* p = w->parent; p; p = p->parent) r = rectOffset(r, p->rect.left, p->rect.top);
  return r;
}

RECT clientRectOf(const Window* w) { return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top}; }

void resetWindows() {
  auto& t = table();
  if (t.desktop) {
    std::vector<HWND> tops;
    for (Window* c : t.desktop->children) tops.push_back(c->handle);
    for (HWND h : tops) DestroyWindow(h);
  }
  t.windows.clear();
  t.desktop = nullptr;
  t.classes.clear();
}

// The window manager's own windows follow the screen's size.
void screenResized() {
  if (table().desktop) table().desktop->rect = screenRect();
}

std::vector<Window*> allTopLevel() { return desktop()->children; }

}  // namespace wm::detail

void wm::addClassProvider(void (*provide)()) {
  auto& providers = wm::detail::classProviders();
  if (std::find(providers.begin(), providers.end(), provide) == providers.end()) providers.push_back(provide);
}

using namespace wm::detail;

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (findClass(wc->lpszClassName)) {
    SetLastError(kErrorClassAlreadyExists);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->windowExtra = std::max(wc->cbWndExtra, 0);
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  auto& classes = table().classes;
  classes.push_back(cls);
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto cls = findClass(className);
  if (!cls) {
    SetLastError(kErrorClassDoesNotExist);
    return FALSE;
  }
  auto& classes = table().classes;
  classes.erase(std::remove(classes.begin(), classes.end(), cls), classes.end());
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* wc) {
  auto cls = findClass(className);
  if (!cls || !wc) {
    SetLastError(kErrorClassDoesNotExist);
    return FALSE;
  }
  *wc = WNDCLASSW{cls->style,  cls->proc,       0,       cls->windowExtra, cls->instance, cls->icon,
                  cls->cursor, cls->background, nullptr, cls->name.c_str()};
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int count) {
  Window* w = find(hwnd);
  if (!w || !buffer || count <= 0) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  int n = std::min<int>(static_cast<int>(w->cls->name.size()), count - 1);
  std::copy_n(w->cls->name.c_str(), n, buffer);
  buffer[n] = 0;
  return n;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto cls = findClass(className);
  if (!cls) {
    for (auto provide : classProviders()) provide();
    cls = findClass(className);
  }
  if (!cls) {
    SetLastError(kErrorCannotFindClass);
    return nullptr;
  }
  Window* parentWindow = find(parent);
  if (parent && !parentWindow) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if ((style & WS_CHILD) && !parentWindow) {
    SetLastError(kErrorChildWithoutParent);
    return nullptr;
  }
  auto owned = std::make_unique<Window>();
  Window* w = owned.get();
  w->handle = newHandle();
  w->cls = cls;
  w->proc = cls->proc;
  w->style = style & ~WS_VISIBLE;  // shown after WM_CREATE, as on the device
  w->exStyle = exStyle;
  w->text = textOf(windowName);
  w->instance = instance;
  w->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
  if (style & WS_CHILD) {
    w->parent = parentWindow;
  } else {
    w->parent = desktop();
    if (parentWindow) w->owner = topLevelOf(parentWindow) ? topLevelOf(parentWindow)->handle : nullptr;
  }
  defaultPlacement(w, x, y, width, height);
  w->rect = RECT{x, y, x + width, y + height};
  table().windows.emplace(reinterpret_cast<ULONG_PTR>(w->handle), std::move(owned));
  insertOnTop(w->parent, w);

  HWND h = w->handle;
  CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                   windowName, className, exStyle};
  LRESULT created = send(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (!find(h)) return nullptr;
  if (created == -1) {
    DestroyWindow(h);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sendSizeAndMove(find(h));
  if ((style & WS_VISIBLE) && find(h)) ShowWindow(h, SW_SHOW);
  if (!(style & WS_CHILD)) publishProcess();
  return find(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = find(hwnd);
  if (!w || w == desktop()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->destroying) return TRUE;
  w->destroying = true;
  destroyOwnedWindows(hwnd);
  if (!(w = find(hwnd))) return TRUE;
  Region uncovered = isVisible(w) ? subtreeVisible(w) : Region();
  w->style &= ~WS_VISIBLE;
  expose(uncovered);
  resetFocusState(w);
  if (!(w = find(hwnd))) return TRUE;
  sendDestroyMessages(w);
  if ((w = find(hwnd))) freeSubtree(w);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (find(hwnd)) return TRUE;
  // The low bit only means something to SetForegroundWindow.
  bool exact = !(reinterpret_cast<ULONG_PTR>(hwnd) & 1);
  return exact && isRemoteWindow(hwnd) && remoteWindowAlive(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  Window* w = find(hwnd);
  return w && isVisible(w) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  Window* w = find(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  Window* w = find(hwnd);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable) {
    if (!wasDisabled) return FALSE;
    w->style &= ~WS_DISABLED;
  } else {
    if (wasDisabled) return TRUE;
    w->style |= WS_DISABLED;
    if (GetFocus() && IsChild(hwnd, GetFocus())) SetFocus(nullptr);
    if (GetFocus() == hwnd) SetFocus(nullptr);
  }
  if ((w = find(hwnd))) send(w, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  Window* p = find(parent);
  Window* w = find(hwnd);
  if (!p || !w) return FALSE;
  for (Window* a = (w->style & WS_CHILD) ? w->parent : nullptr; a; a = (a->style & WS_CHILD) ? a->parent : nullptr)
    if (a == p) return TRUE;
  return FALSE;
}

HWND GetParent(HWND hwnd) {
  Window* w = find(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent ? w->parent->handle : nullptr;
  return w->owner;
}

HWND GetWindow(HWND hwnd, UINT relation) {
  Window* w = find(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // The device lists siblings from the top down.
  auto siblings = [&]() -> const std::vector<Window*>& { return w->parent->children; };
  switch (relation) {
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.back()->handle;
    case GW_OWNER:
      return w->owner;
    case GW_HWNDFIRST:
      return w->parent && !siblings().empty() ? siblings().back()->handle : nullptr;
    case GW_HWNDLAST:
      return w->parent && !siblings().empty() ? siblings().front()->handle : nullptr;
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
      if (!w->parent) return nullptr;
      const auto& kids = siblings();
      auto it = std::find(kids.begin(), kids.end(), w);
      if (relation == GW_HWNDNEXT) return it == kids.begin() ? nullptr : (*(it - 1))->handle;
      return it + 1 == kids.end() ? nullptr : (*(it + 1))->handle;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetDesktopWindow() { return desktop()->handle; }

HWND GetDlgItem(HWND dialog, int id) {
  Window* w = find(dialog);
  if (!w) return nullptr;
  for (Window* c : w->children)
    if (c->id == id) return c->handle;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  Window* w = find(hwnd);
  return w ? static_cast<int>(w->id) : 0;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if (HWND local = findLocalWindow(className, windowName)) return local;
  return findRemoteWindow(className, windowName);
}

HWND wm::detail::findLocalWindow(LPCWSTR className, LPCWSTR windowName) {
  auto tops = desktop()->children;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    Window* w = *it;
    if (w->destroying) continue;
    if (className && !IS_INTRESOURCE(className) && _wcsicmp(w->cls->name.c_str(), className) != 0) continue;
    if (windowName && w->text != windowName) continue;
    return w->handle;
  }
  return nullptr;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) {
  Window* w = find(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWL_USERDATA:
      old = w->userData;
      w->userData = value;
      break;
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      if (!value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWL_ID:
      old = w->id;
      w->id = value;
      break;
    case GWL_STYLE:
      old = w->style;
      w->style = static_cast<DWORD>(value);
      break;
    case GWL_EXSTYLE:
      old = w->exStyle;
      w->exStyle = static_cast<DWORD>(value);
      break;
    default:
      if (index < 0 || index + 4 > w->cls->windowExtra) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = w->extra[index];
      w->extra[index] = value;
      break;
  }
  SetLastError(ERROR_SUCCESS);
  return old;
}

LONG_PTR GetWindowLongW(HWND hwnd, int index) {
  Window* w = find(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_USERDATA:
      return w->userData;
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_ID:
      return w->id;
    case GWL_STYLE:
      return w->style;
    case GWL_EXSTYLE:
      return w->exStyle;
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(GetParent(hwnd));
    default:
      if (index < 0 || index + 4 > w->cls->windowExtra) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      auto it = w->extra.find(index);
      return it == w->extra.end() ? 0 : it->second;
  }
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!find(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int count) {
  if (!find(hwnd) || !buffer || count <= 0) return 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) {
  if (!find(hwnd)) return 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL ShowWindow(HWND hwnd, int command) {
  Window* w = find(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool show = command != SW_HIDE;
  bool wasVisible = setVisible(w, show);
  w = find(hwnd);
  bool activates = show && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE;
  if (w && activates && !(w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOACTIVATE)) activate(w, WA_ACTIVE);
  if (w && !show && !(w->style & WS_CHILD)) resetFocusState(w);
  return wasVisible ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  Window* w = find(hwnd);
  if (!w || w == desktop()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  RECT old = w->rect;
  RECT next = old;
  if (!(flags & SWP_NOMOVE)) next = rectOffset(next, x - old.left, y - old.top);
  if (!(flags & SWP_NOSIZE)) {
    next.right = next.left + std::max(width, 0);
    next.bottom = next.top + std::max(height, 0);
  }
  bool moved = next.left != old.left || next.top != old.top;
  bool sized = (next.right - next.left) != (old.right - old.left) || (next.bottom - next.top) != (old.bottom - old.top);
  bool redraw = !(flags & SWP_NOREDRAW) && isVisible(w);

  Region before = redraw ? subtreeVisible(w) : Region();
  w->rect = next;
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) {
      w->exStyle |= WS_EX_TOPMOST;
      insertOnTop(w->parent, w);
    } else if (insertAfter == HWND_NOTOPMOST) {
      w->exStyle &= ~WS_EX_TOPMOST;
      insertOnTop(w->parent, w);
    } else if (insertAfter == HWND_TOP) {
      insertOnTop(w->parent, w);
    } else if (insertAfter == HWND_BOTTOM) {
      insertAtBottom(w->parent, w);
    } else if (Window* below = find(insertAfter); below && below->parent == w->parent && below != w) {
      insertAbove(w->parent, w, below);
    }
  }
  bool reordered = !(flags & SWP_NOZORDER);
  if (redraw && (moved || sized || reordered)) {
    expose(before);
    invalidateTree(w);
  }
  HWND h = w->handle;
  if (sized)
    send(w, WM_SIZE, SIZE_RESTORED,
         MAKELPARAM(static_cast<WORD>(next.right - next.left), static_cast<WORD>(next.bottom - next.top)));
  if (moved && (w = find(h)))
    send(w, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(next.left), static_cast<WORD>(next.top)));
  if ((flags & SWP_SHOWWINDOW) && find(h)) ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if ((flags & SWP_HIDEWINDOW) && find(h)) ShowWindow(h, SW_HIDE);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  Window* w = find(hwnd);
  if (!w || !rect) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = clientRectOf(w);
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  Window* w = find(hwnd);
  if (!w || !rect) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = screenRectOf(w);
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  Window* w = find(hwnd);
  if (!w || !point) return FALSE;
  RECT r = screenRectOf(w);
  point->x += r.left;
  point->y += r.top;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  Window* w = find(hwnd);
  if (!w || !point) return FALSE;
  RECT r = screenRectOf(w);
  point->x -= r.left;
  point->y -= r.top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from) ClientToScreen(from, &a);
  if (to) ClientToScreen(to, &b);
  LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

namespace {

Window* deepestAt(Window* w, POINT p) {
  // `p` is in w's client coordinates; the topmost visible child that holds it wins.
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window* c = *it;
    if (!(c->style & WS_VISIBLE)) continue;
    if (p.x >= c->rect.left && p.x < c->rect.right && p.y >= c->rect.top && p.y < c->rect.bottom)
      return deepestAt(c, POINT{p.x - c->rect.left, p.y - c->rect.top});
  }
  return w;
}

}  // namespace

HWND WindowFromPoint(POINT point) {
  Window* w = deepestAt(desktop(), point);
  return w ? w->handle : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Window* w = find(parent);
  if (!w) return nullptr;
  RECT client = clientRectOf(w);
  if (point.x < client.left || point.x >= client.right || point.y < client.top || point.y >= client.bottom)
    return nullptr;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window* c = *it;
    if (point.x >= c->rect.left && point.x < c->rect.right && point.y >= c->rect.top && point.y < c->rect.bottom)
      return c->handle;
  }
  return parent;
}

// No window of the device has scroll bars of its own.
int GetScrollPos(HWND, int) { return 0; }
