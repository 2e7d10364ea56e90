// Update regions, visible regions and the default window procedure.

#include <algorithm>

#include "platform/core/windowimpl.h"

namespace wm::detail {
namespace {

PaintHooks& hooks() {
  static PaintHooks h;
  return h;
}

void subtractLaterSiblings(Region& r, const Window* w) {
  for (; w->parent; w = w->parent) {
    const Window* p = w->parent;
    r.intersect(screenRectOf(p));
    auto it = std::find(p->children.begin(), p->children.end(), w);
    for (++it; it != p->children.end(); ++it)
      if ((*it)->style & WS_VISIBLE) r.subtract(screenRectOf(*it));
  }
}

void exposeIn(Window* w, const Region& screenRegion) {
  if (!(w->style & WS_VISIBLE)) return;
  Region own = visibleRegion(w->handle, true);
  own.intersect(screenRegion);
  if (!own.empty()) {
    RECT s = screenRectOf(w);
    own.offset(-s.left, -s.top);
    w->update.unite(own);
    w->erase = true;
  }
  for (Window* c : w->children) exposeIn(c, screenRegion);
}

void invalidateDescendants(Window* w) {
  for (Window* c : w->children) {
    if (!(c->style & WS_VISIBLE)) continue;
    c->update = Region(clientRectOf(c));
    c->erase = true;
    invalidateDescendants(c);
  }
}

void paintNow(Window* w) {
  HWND h = w->handle;
  if (!w->update.empty()) {
    unsigned before = w->paintGeneration;
    send(w, WM_PAINT, 0, 0);
    if (Window* again = find(h); again && again->paintGeneration == before) {
      // A procedure that ignores WM_PAINT would otherwise be asked forever.
      again->update.clear();
      again->erase = false;
      ++again->paintGeneration;
    }
  }
  Window* again = find(h);
  if (!again) return;
  std::vector<HWND> kids;
  for (Window* c : again->children) kids.push_back(c->handle);
  for (HWND k : kids)
    if (Window* c = find(k); c && (c->style & WS_VISIBLE)) paintNow(c);
}

}  // namespace

void invalidate(Window* w, const Region& clientRegion, bool erase) {
  if (!isVisible(w)) return;
  Region r = clientRegion;
  r.intersect(clientRectOf(w));
  if (r.empty()) return;
  w->update.unite(r);
  w->erase = w->erase || erase;
  if (w->style & WS_CLIPCHILDREN) return;
  // The parent paints over its children, so they must paint again after it.
  for (Window* c : w->children) {
    if (!(c->style & WS_VISIBLE)) continue;
    Region part = r;
    part.intersect(c->rect);
    if (part.empty()) continue;
    part.offset(-c->rect.left, -c->rect.top);
    invalidate(c, part, erase);
  }
}

void invalidateTree(Window* w) {
  if (!isVisible(w)) return;
  w->update = Region(clientRectOf(w));
  w->erase = true;
  invalidateDescendants(w);
}

void expose(const Region& screenRegion) {
  if (screenRegion.empty()) return;
  exposeIn(desktop(), screenRegion);
}

Region subtreeVisible(Window* w) {
  if (!isVisible(w)) return Region();
  Region r(screenRectOf(w));
  subtractLaterSiblings(r, w);
  return r;
}

bool paintGenerationChanged(HWND hwnd, unsigned before) {
  Window* w = find(hwnd);
  return !w || w->paintGeneration != before;
}

const PaintHooks& paintHooks() { return hooks(); }

void paintWindowNow(HWND hwnd) {
  if (Window* w = find(hwnd)) paintNow(w);
}

}  // namespace wm::detail

using namespace wm::detail;

namespace wm {

bool clientOrigin(HWND hwnd, POINT& origin) {
  Window* w = detail::find(hwnd);
  if (!w) return false;
  RECT r = screenRectOf(w);
  origin = POINT{r.left, r.top};
  return true;
}

Region visibleRegion(HWND hwnd, bool excludeChildren) {
  Window* w = detail::find(hwnd);
  if (!w || !isVisible(w)) return Region();
  Region r(screenRectOf(w));
  subtractLaterSiblings(r, w);
  if (excludeChildren)
    for (Window* c : w->children)
      if (c->style & WS_VISIBLE) r.subtract(screenRectOf(c));
  return r;
}

Region takeUpdateRegion(HWND hwnd, bool& erase) {
  Window* w = detail::find(hwnd);
  erase = false;
  if (!w) return Region();
  Region r = std::move(w->update);
  w->update.clear();
  erase = w->erase;
  w->erase = false;
  ++w->paintGeneration;
  return r;
}

HBRUSH classBackground(HWND hwnd) {
  Window* w = detail::find(hwnd);
  return w ? w->cls->background : nullptr;
}

void setPaintHooks(const PaintHooks& h) { hooks() = h; }

}  // namespace wm

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    wm::detail::expose(Region(wm::screenRect()));
    return TRUE;
  }
  Window* w = find(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  invalidate(w, Region(rect ? *rect : clientRectOf(w)), erase != FALSE);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  Window* w = find(hwnd);
  if (!w) return FALSE;
  if (rect)
    w->update.subtract(*rect);
  else
    w->update.clear();
  if (w->update.empty()) w->erase = false;
  ++w->paintGeneration;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  Window* w = find(hwnd);
  if (!w) return FALSE;
  RECT b = w->update.bounds();
  if (rect) *rect = b;
  return w->update.empty() ? FALSE : TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
  Window* w = hwnd ? find(hwnd) : desktop();
  if (!w) return FALSE;
  if (flags & RDW_INVALIDATE) {
    if (flags & RDW_ALLCHILDREN)
      invalidateTree(w);
    else
      invalidate(w, Region(rect ? *rect : clientRectOf(w)), (flags & RDW_ERASE) != 0);
  }
  if (flags & RDW_VALIDATE) ValidateRect(w->handle, rect);
  if (flags & RDW_UPDATENOW) paintWindowNow(w->handle);
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!find(hwnd)) return FALSE;
  paintWindowNow(hwnd);
  return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = find(hwnd);
  if (!w) return 0;
  switch (message) {
    case WM_PAINT:
      if (paintHooks().defaultPaint) {
        paintHooks().defaultPaint(hwnd);
      } else {
        bool erase = false;
        wm::takeUpdateRegion(hwnd, erase);
      }
      return 0;
    case WM_ERASEBKGND:
      return paintHooks().eraseBackground ? paintHooks().eraseBackground(hwnd, reinterpret_cast<HDC>(wParam)) : 0;
    case WM_SETTEXT:
      w->text = lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string();
      titleChanged(hwnd);
      return TRUE;
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      int count = static_cast<int>(wParam);
      if (!buffer || count <= 0) return 0;
      int n = std::min<int>(static_cast<int>(w->text.size()), count - 1);
      std::copy_n(w->text.c_str(), n, buffer);
      buffer[n] = 0;
      return n;
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus)) SetFocus(hwnd);
      }
      return 0;
    default:
      return 0;
  }
}
