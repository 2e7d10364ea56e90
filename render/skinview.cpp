#include "render/skinview.h"

#include <algorithm>
#include <utility>

#include "platform/gdi/gdiguards.h"
#include "render/engine.h"
#include "render/hittest.h"
#include "render/painters.h"
#include "render/svgelements.h"
#include "render/skinloading.h"

namespace {

RECT sorted(const RECT& r) {
  return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

RECT intersection(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

HBRUSH windowBrush() { return GetSysColorBrush(COLOR_WINDOW); }

struct PointerMessage {
  UINT message;
  SkinView::PointerAction action;
  int button;  // 0 for a move: taken from MK_LBUTTON
};

constexpr PointerMessage kPointerMessages[] = {
    {WM_LBUTTONDOWN, SkinView::PointerAction::Down, 1}, {WM_LBUTTONUP, SkinView::PointerAction::Up, 1},
    {WM_MBUTTONDOWN, SkinView::PointerAction::Down, 2}, {WM_MBUTTONUP, SkinView::PointerAction::Up, 2},
    {WM_RBUTTONDOWN, SkinView::PointerAction::Down, 3}, {WM_RBUTTONUP, SkinView::PointerAction::Up, 3},
    {WM_MOUSEMOVE, SkinView::PointerAction::Move, 0},
};

constexpr unsigned short kNoButton = 65535;  // -1 as the event's 16-bit button

}  // namespace

SkinView::SkinView(HWND parent, int left, int top, int width, int height, ViewListener* listener)
    : m_parent(parent), m_listener(listener) {
  if (width < 0) left += width, width = -width;
  if (height < 0) top += height, height = -height;
  m_left = left;
  m_top = top;
  m_right = left + width;
  m_bottom = top + height;
  CreateWindowExW(0, kSkinViewClassName, kSkinViewClassName, WS_CHILD | WS_VISIBLE, left, top, width, height, parent,
                  nullptr, skinEngineInstance(), this);
}

SkinView::~SkinView() {
  m_document = {};
  m_pressed = {};
}

LRESULT SkinView::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* view = reinterpret_cast<SkinView*>(GetWindowLongW(hwnd, GWL_USERDATA));
  if (view && view->handleMessage(message, wParam, lParam)) return 0;
  if (message == WM_CREATE && !view) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    view = create ? static_cast<SkinView*>(create->lpCreateParams) : nullptr;
    if (view) {
      view->m_window = hwnd;
      SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(view));
      if (view->handleMessage(message, wParam, lParam)) return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool SkinView::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      created();
      return false;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        int width = LOWORD(lParam), height = HIWORD(lParam);
        resize(width, height);
        if (m_listener) m_listener->viewResized(this, width, height);
      }
      return true;
    case WM_PAINT: {
      PaintScope scope(m_window);
      if (scope.dc()) paint(scope.dc(), scope.info());
      return false;
    }
    case WM_DESTROY:
      // The window goes first so that nothing reaches the freed view.
      SetWindowLongW(m_window, GWL_USERDATA, 0);
      delete this;
      return false;
    default:
      break;
  }
  for (const PointerMessage& pointer : kPointerMessages) {
    if (pointer.message != message) continue;
    int button = pointer.action == PointerAction::Move ? ((wParam & MK_LBUTTON) ? 1 : 0) : pointer.button;
    bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    handlePointer(pointer.action, button, (wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0, alt, point);
    return false;
  }
  return false;
}

void SkinView::created() {
  WindowDC windowDc(m_window);
  m_buffer.open(windowDc.get());
  if (m_listener) m_listener->viewCreated(this);
}

void SkinView::resize(int width, int height) {
  if (width == 0 || height == 0 || (width == m_lastSize.cx && height == m_lastSize.cy) || !m_buffer.dc()) return;
  // Only the part of the document that can be on the screen is ever shown,
  // so the buffer never grows beyond the screen whatever the skin asks.
  SIZE buffer{std::min(width, GetSystemMetrics(SM_CXSCREEN)), std::min(height, GetSystemMetrics(SM_CYSCREEN))};
  if (!m_buffer.resize(WindowDC(m_window).get(), buffer)) return;  // the old buffer stays
  m_lastSize = SIZE{width, height};
  RECT all{0, 0, buffer.cx, buffer.cy};
  FillRect(m_buffer.dc(), &all, windowBrush());
  InvalidateRect(m_window, nullptr, FALSE);
}

POINT SkinView::scrollPosition() const {
  return POINT{GetScrollPos(m_window, SB_HORZ), GetScrollPos(m_window, SB_VERT)};
}

void SkinView::paint(HDC dc, const PAINTSTRUCT& paintInfo) {
  SavedObjects saved(dc);
  POINT scroll = scrollPosition();
  const RECT& invalid = paintInfo.rcPaint;
  RECT area = sorted(
      RECT{invalid.left + scroll.x, invalid.top + scroll.y, invalid.right + scroll.x, invalid.bottom + scroll.y});
  RECT buffered = intersection(area, RECT{0, 0, m_buffer.size().cx, m_buffer.size().cy});
  if (isEmpty(buffered) || buffered.left != area.left || buffered.top != area.top || buffered.right != area.right ||
      buffered.bottom != area.bottom) {
    // Beyond the buffer there is only the background.
    RECT windowArea = sorted(invalid);
    FillRect(dc, &windowArea, windowBrush());
  }
  if (isEmpty(buffered)) return;
  repaint(buffered);
  BitBlt(dc, buffered.left - scroll.x, buffered.top - scroll.y, buffered.right - buffered.left,
         buffered.bottom - buffered.top, m_buffer.dc(), buffered.left, buffered.top, SRCCOPY);
}

// The clip is set before the background is filled: a clip left from the
// previous repaint would otherwise keep part of the area from being cleared.
void SkinView::repaint(const RECT& area) {
  RECT clip = sorted(area);
  SelectClipRgn(m_buffer.dc(), nullptr);
  IntersectClipRect(m_buffer.dc(), clip.left, clip.top, clip.right, clip.bottom);
  FillRect(m_buffer.dc(), &clip, windowBrush());
  SVGElement* root = m_document ? m_document->rootElement() : nullptr;
  if (root && root->painter()) root->painter()->paint(m_buffer.dc(), clip);
  SelectClipRgn(m_buffer.dc(), nullptr);
}

std::int32_t SkinView::load(const char* path) {
  m_lastLoadResult = XmlLoadResult{};
  m_document = {};
  m_pressed = {};
  Ref<SVGDocument> document = loadSkinDocument(path ? path : "", m_lastLoadResult);
  if (!document) {
    if (m_lastLoadResult.errorCode == 0) m_lastLoadResult = openFailure();
    InvalidateRect(m_window, nullptr, FALSE);
    return m_lastLoadResult.errorCode;
  }
  show(std::move(document));
  return 0;
}

void SkinView::show(Ref<SVGDocument> document) {
  m_document = std::move(document);
  m_pressed = {};
  if (SVGElement* root = m_document ? m_document->rootElement() : nullptr) {
    root->computeStyle(m_buffer.dc());
    fitToDocument();
  }
  InvalidateRect(m_window, nullptr, FALSE);
}

void SkinView::fitToDocument() {
  auto* root = m_document ? dynamic_cast<SVGRectangular*>(m_document->rootElement()) : nullptr;
  if (!root) return;
  int width = std::max(0, truncated(root->width().value()));
  int height = std::max(0, truncated(root->height().value()));
  if (m_left + width == m_right && m_top + height == m_bottom) return;
  m_right = m_left + width;
  m_bottom = m_top + height;
  MoveWindow(m_window, m_left, m_top, width, height, TRUE);
}

void SkinView::moveTo(int left, int top, int width, int height) {
  MoveWindow(m_window, left, top, width, height, TRUE);
  m_left = left;
  m_top = top;
  m_right = left + width;
  m_bottom = top + height;
}

void SkinView::refresh(SVGElement*) { InvalidateRect(m_window, nullptr, FALSE); }

void SkinView::paintBuffer() { repaint(RECT{0, 0, m_buffer.size().cx, m_buffer.size().cy}); }

void SkinView::handlePointer(PointerAction action, int button, bool ctrl, bool shift, bool alt, POINT windowPoint) {
  Element* root = m_document ? m_document->documentElement() : nullptr;
  if (!root) return;
  POINT screen = windowPoint;
  ClientToScreen(m_window, &screen);
  POINT scroll = scrollPosition();
  POINT point{windowPoint.x + scroll.x, windowPoint.y + scroll.y};
  SVGElement* target = findTarget(root, static_cast<float>(point.x), static_cast<float>(point.y));
  if (!target) return;

  const char16_t* type = nullptr;
  switch (action) {
    case PointerAction::Down:
      type = u"mousedown";
      m_pressed = Ref<SVGElement>(target);
      break;
    case PointerAction::Up:
      type = u"mouseup";
      break;
    case PointerAction::Move:
      if (point.x == m_lastMove.x && point.y == m_lastMove.y) return;
      m_lastMove = point;
      type = u"mousemove";
      break;
  }
  unsigned short eventButton = button > 0 ? static_cast<unsigned short>(button - 1) : kNoButton;
  auto post = [&](const char16_t* eventType) {
    Ref<MouseEvent> event = MouseEvent::create();
    event->initMouseEvent(eventType, true, true, nullptr, 1, screen.x, screen.y, point.x, point.y, ctrl, alt, shift,
                          false, eventButton, nullptr);
    event->setTarget(target);
    m_eventQueue.post(event.get());
  };
  post(type);
  if (action == PointerAction::Up && m_pressed.get() == target) {
    post(u"click");
    m_pressed = {};
  }
  m_eventQueue.drain();
}
