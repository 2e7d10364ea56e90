#include "platform/htmlview/htmlview.h"

#include <algorithm>

#include "platform/core/utf8.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"
#include "platform/htmlview/masterstyle.h"
#include "platform/htmlview/nesting.h"

namespace htmlview {

namespace {

constexpr int kLineStep = 16;
constexpr int kMinThumb = 8;
constexpr int kTapSlop = 4;  // pen travel that still counts as a tap
constexpr COLORREF kPageColor = RGB(255, 255, 255);
constexpr COLORREF kTrackColor = RGB(0xE8, 0xE8, 0xE8);
constexpr COLORREF kFaceColor = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kLightEdge = RGB(255, 255, 255);
constexpr COLORREF kDarkEdge = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kArrowColor = RGB(0, 0, 0);

// The style sheet is read once per process; every page shares it.
litehtml::context& sharedContext() {
  static litehtml::context* context = [] {
    auto* c = new litehtml::context;
    c->load_master_stylesheet(kMasterStyleSheet);
    return c;
  }();
  return *context;
}

// Boxes sized to their content (tables, inline blocks, floats, positioned
// boxes) lay their content out more than once: nested, the cost multiplies.
constexpr int kMaxFittedNesting = 6;

bool fitsContent(const litehtml::element::ptr& el) {
  switch (el->get_display()) {
    case litehtml::display_table:
    case litehtml::display_inline_table:
    case litehtml::display_inline_block:
      return true;
    default:
      break;
  }
  auto position = el->get_element_position();
  return el->get_float() != litehtml::float_none || position == litehtml::element_position_absolute ||
         position == litehtml::element_position_fixed;
}

// The tree as built, held to the source scan's depth and to a nesting of
// content-sized boxes: whatever the scan misjudged goes here, before layout.
void pruneDeepElements(const litehtml::document::ptr& document) {
  struct Visit {
    litehtml::element::ptr el;
    int depth, fitted;
  };
  std::vector<Visit> pending{{document ? document->root() : nullptr, 0, 0}};
  while (!pending.empty()) {
    Visit visit = std::move(pending.back());
    pending.pop_back();
    if (!visit.el) continue;
    for (size_t i = visit.el->get_children_count(); i-- > 0;) {
      litehtml::element::ptr child = visit.el->get_child(static_cast<int>(i));
      if (!child) continue;
      int fitted = visit.fitted + fitsContent(child);
      if (visit.depth + 1 > kMaxNesting + 8 || fitted > kMaxFittedNesting) {
        visit.el->removeChild(child);
        continue;
      }
      pending.push_back({child, visit.depth + 1, fitted});
    }
  }
}

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

// A raised button face, as the device draws scroll-bar parts.
void raisedFace(HDC dc, RECT r) {
  fillSolid(dc, r, kFaceColor);
  fillSolid(dc, {r.left, r.top, r.right, r.top + 1}, kLightEdge);
  fillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, kLightEdge);
  fillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, kDarkEdge);
  fillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, kDarkEdge);
}

void arrow(HDC dc, RECT r, bool up) {
  raisedFace(dc, r);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    int y = up ? cy - 2 + i : cy + 1 - i;
    fillSolid(dc, {cx - i, y, cx + i + 1, y + 1}, kArrowColor);
  }
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

HtmlView* viewOf(HWND hwnd) { return reinterpret_cast<HtmlView*>(GetWindowLongPtrW(hwnd, GWL_USERDATA)); }

LRESULT htmlViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(new HtmlView(hwnd)));
    return 0;
  }
  HtmlView* view = viewOf(hwnd);
  if (message == WM_DESTROY) {
    SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
    delete view;
    return 0;
  }
  return view ? view->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

HtmlView::HtmlView(HWND window) : m_window(window), m_container(std::make_unique<PageContainer>(*this)) {}

HtmlView::~HtmlView() {
  *m_alive = false;
  clear();
}

LRESULT HtmlView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  POINT pen{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  switch (message) {
    case DTM_CLEAR:
      clear();
      InvalidateRect(m_window, nullptr, FALSE);
      return 0;
    case DTM_ADDTEXTW:
      addText(wParam != 0, reinterpret_cast<LPCWSTR>(lParam));
      return 0;
    case DTM_ENDOFSOURCE:
      endOfSource();
      return 0;
    case DTM_SETIMAGE:
      setImage(reinterpret_cast<const INLINEIMAGEINFO*>(lParam));
      return 0;
    case DTM_IMAGEFAIL:
      imageFailed(static_cast<DWORD>(lParam));
      return 0;
    case DTM_ANCHORW:
      scrollToAnchor(reinterpret_cast<LPCWSTR>(lParam));
      return 0;
    case WM_SIZE:
      layout();
      InvalidateRect(m_window, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting covers every pixel
    case WM_VSCROLL:
      onScroll(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
      return 0;
    case WM_KEYDOWN:
      onKeyDown(wParam);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      onPenDown(pen);
      return 0;
    case WM_MOUSEMOVE:
      onPenMove(pen);
      return 0;
    case WM_LBUTTONUP:
      onPenUp(pen);
      return 0;
    case WM_CAPTURECHANGED:
      m_pen = PenMode::None;
      return 0;
    default:
      return DefWindowProcW(m_window, message, wParam, lParam);
  }
}

// ---- The page --------------------------------------------------------------------

void HtmlView::clear() {
  m_document.reset();
  m_container = std::make_unique<PageContainer>(*this);
  m_source.clear();
  for (auto& [src, picture] : m_pictures)
    if (picture.owned && picture.bitmap) DeleteObject(picture.bitmap);
  m_pictures.clear();
  m_cookies.clear();
  m_unasked.clear();
  m_scroll = 0;
  m_scrollBar = false;
}

void HtmlView::addText(bool plain, LPCWSTR text) {
  if (!text || m_source.size() >= kMaxSourceBytes) return;
  std::u16string_view wide(text);
  wide = wide.substr(0, kMaxSourceBytes - m_source.size());
  std::string utf8 = toUtf8(wide);
  if (!plain) {
    m_source += utf8;
    return;
  }
  m_source += "<span style=\"white-space: pre-wrap\">";
  appendEscaped(m_source, utf8);
  m_source += "</span>";
}

void HtmlView::endOfSource() {
  m_document.reset();
  m_container = std::make_unique<PageContainer>(*this);
  std::string page = limitNesting(m_source);
  m_document = litehtml::document::createFromUTF8(page.c_str(), m_container.get(), &sharedContext());
  pruneDeepElements(m_document);
  layout();
  InvalidateRect(m_window, nullptr, FALSE);
  auto alive = m_alive;
  if (!m_container->caption().empty()) notify(NM_TITLE, fromUtf8(m_container->caption()), u"", 0);
  if (*alive) askForPictures();
}

void HtmlView::layout() {
  if (!m_document) return;
  RECT client{};
  GetClientRect(m_window, &client);
  int width = std::max<int>(1, client.right), height = std::max<int>(1, client.bottom);
  m_container->setViewport(width, height);
  m_document->render(width);
  m_scrollBar = m_document->height() > height;
  if (m_scrollBar) {
    int narrower = std::max(1, width - GetSystemMetrics(SM_CXVSCROLL));
    m_container->setViewport(narrower, height);
    m_document->render(narrower);
  }
  m_scroll = std::clamp(m_scroll, 0, maxScroll());
}

// The element whose id or name is the anchor, found with an explicit stack:
// pages may nest deeply.
void HtmlView::scrollToAnchor(LPCWSTR name) {
  if (!m_document || !name || !*name) return;
  std::string wanted = toUtf8(name);
  std::vector<litehtml::element::ptr> pending{m_document->root()};
  while (!pending.empty()) {
    litehtml::element::ptr el = std::move(pending.back());
    pending.pop_back();
    if (!el) continue;
    const char* id = el->get_attr("id");
    const char* anchor = el->get_attr("name");
    if ((id && wanted == id) || (anchor && wanted == anchor)) return scrollTo(el->get_placement().y);
    for (size_t i = el->get_children_count(); i-- > 0;) pending.push_back(el->get_child(static_cast<int>(i)));
  }
}

// ---- Pictures ----------------------------------------------------------------------

void HtmlView::pictureWanted(const std::string& src) {
  if (auto known = m_pictures.find(src); known != m_pictures.end() && (known->second.bitmap || known->second.failed))
    return;
  DWORD cookie = m_nextCookie++;
  m_cookies[cookie] = src;
  m_unasked.push_back(cookie);
}

const PagePicture* HtmlView::picture(const std::string& src) const {
  auto found = m_pictures.find(src);
  return found == m_pictures.end() ? nullptr : &found->second;
}

// Tells the parent of every picture the page asks for. The parent may answer
// at once, from inside the notification, so the page is laid out again once
// the round is over rather than under the engine's feet.
void HtmlView::askForPictures() {
  std::vector<DWORD> requests;
  requests.swap(m_unasked);
  auto alive = m_alive;
  m_asking = true;
  for (DWORD cookie : requests) {
    auto request = m_cookies.find(cookie);
    if (request == m_cookies.end()) continue;
    notify(NM_INLINE_IMAGE, fromUtf8(request->second), u"", cookie);
    if (!*alive) return;
  }
  m_asking = false;
  if (m_relayoutWanted) pictureChanged();
}

void HtmlView::setImage(const INLINEIMAGEINFO* info) {
  if (!info) return;
  auto request = m_cookies.find(info->dwCookie);
  if (request == m_cookies.end()) {
    // An answer for a page that is gone: the bitmap is still ours to free.
    if (info->bOwnBitmap && info->hbm) DeleteObject(info->hbm);
    return;
  }
  PagePicture& picture = m_pictures[request->second];
  if (picture.owned && picture.bitmap && picture.bitmap != info->hbm) DeleteObject(picture.bitmap);
  picture.bitmap = info->hbm;
  picture.owned = info->bOwnBitmap != FALSE;
  picture.failed = false;
  BITMAP bits{};
  if (info->hbm) GetObjectW(info->hbm, sizeof bits, &bits);
  picture.size.cx = info->iOrigWidth > 0 ? info->iOrigWidth : bits.bmWidth;
  picture.size.cy = info->iOrigHeight > 0 ? info->iOrigHeight : bits.bmHeight;
  // Every request for the same source is answered; the key is copied because the loop erases `request` too.
  const std::string source = request->second;
  std::erase_if(m_cookies, [&](const auto& entry) { return entry.second == source; });
  pictureChanged();
}

void HtmlView::imageFailed(DWORD cookie) {
  auto request = m_cookies.find(cookie);
  if (request == m_cookies.end()) return;
  m_pictures[request->second].failed = true;
  m_cookies.erase(request);
  InvalidateRect(m_window, nullptr, FALSE);
}

void HtmlView::pictureChanged() {
  if (m_asking) {
    m_relayoutWanted = true;
    return;
  }
  m_relayoutWanted = false;
  layout();
  InvalidateRect(m_window, nullptr, FALSE);
}

// ---- Painting --------------------------------------------------------------------

void HtmlView::ensureBuffer(HDC dc, int width, int height) {
  if (m_buffer.size().cx == width && m_buffer.size().cy == height) return;
  m_buffer.resize(dc, SIZE{width, height});
}

// The page is drawn whole into a buffer of the window's size and copied out,
// so that scrolling never shows a half-drawn page.
void HtmlView::paint() {
  PaintScope paint(m_window);
  HDC dc = paint.dc();
  RECT client{};
  GetClientRect(m_window, &client);
  if (client.right > 0 && client.bottom > 0) {
    ensureBuffer(dc, client.right, client.bottom);
    SelectClipRgn(m_buffer.dc(), nullptr);
    fillSolid(m_buffer.dc(), client, kPageColor);
    if (m_document) {
      int width = client.right - (m_scrollBar ? GetSystemMetrics(SM_CXVSCROLL) : 0);
      litehtml::position clip(0, 0, width, client.bottom);
      m_container->beginDraw();
      IntersectClipRect(m_buffer.dc(), 0, 0, width, client.bottom);
      m_document->draw(reinterpret_cast<litehtml::uint_ptr>(m_buffer.dc()), 0, -m_scroll, &clip);
      SelectClipRgn(m_buffer.dc(), nullptr);
    }
    if (m_scrollBar) drawScrollBar(m_buffer.dc(), client);
    BitBlt(dc, 0, 0, client.right, client.bottom, m_buffer.dc(), 0, 0, SRCCOPY);
  }
}

RECT HtmlView::barRect() const {
  RECT client{};
  GetClientRect(m_window, &client);
  return {client.right - GetSystemMetrics(SM_CXVSCROLL), 0, client.right, client.bottom};
}

RECT HtmlView::thumbRect() const {
  RECT bar = barRect();
  int size = bar.right - bar.left;
  int track = std::max(0, static_cast<int>(bar.bottom - bar.top) - 2 * size);
  int total = std::max(1, m_document ? m_document->height() : 1);
  int thumb = std::clamp(track * viewHeight() / total, std::min(kMinThumb, track), track);
  int range = maxScroll();
  int top = bar.top + size + (range > 0 ? (track - thumb) * m_scroll / range : 0);
  return {bar.left, top, bar.right, top + thumb};
}

void HtmlView::drawScrollBar(HDC dc, const RECT& client) {
  RECT bar = barRect();
  int size = bar.right - bar.left;
  fillSolid(dc, bar, kTrackColor);
  arrow(dc, {bar.left, bar.top, bar.right, bar.top + size}, true);
  arrow(dc, {bar.left, client.bottom - size, bar.right, client.bottom}, false);
  raisedFace(dc, thumbRect());
}

// ---- Scrolling -----------------------------------------------------------------------

int HtmlView::viewHeight() const {
  RECT client{};
  GetClientRect(m_window, &client);
  return client.bottom;
}

int HtmlView::maxScroll() const { return m_document ? std::max(0, m_document->height() - viewHeight()) : 0; }

void HtmlView::scrollTo(int y) {
  y = std::clamp(y, 0, maxScroll());
  if (y == m_scroll) return;
  m_scroll = y;
  InvalidateRect(m_window, nullptr, FALSE);
}

void HtmlView::onScroll(WORD request, int position) {
  int page = std::max(kLineStep, viewHeight() - kLineStep);
  switch (request) {
    case SB_LINEUP:
      return scrollTo(m_scroll - kLineStep);
    case SB_LINEDOWN:
      return scrollTo(m_scroll + kLineStep);
    case SB_PAGEUP:
      return scrollTo(m_scroll - page);
    case SB_PAGEDOWN:
      return scrollTo(m_scroll + page);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      return scrollTo(position);
    case SB_TOP:
      return scrollTo(0);
    case SB_BOTTOM:
      return scrollTo(maxScroll());
    default:
      return;
  }
}

void HtmlView::onKeyDown(WPARAM vk) {
  switch (vk) {
    case VK_UP:
      return onScroll(SB_LINEUP, 0);
    case VK_DOWN:
      return onScroll(SB_LINEDOWN, 0);
    case VK_PRIOR:
      return onScroll(SB_PAGEUP, 0);
    case VK_NEXT:
      return onScroll(SB_PAGEDOWN, 0);
    case VK_HOME:
      return onScroll(SB_TOP, 0);
    case VK_END:
      return onScroll(SB_BOTTOM, 0);
    default:
      return;
  }
}

// ---- The pen ------------------------------------------------------------------------

void HtmlView::onPenDown(POINT p) {
  SetFocus(m_window);
  SetCapture(m_window);
  m_penDown = p;
  m_scrollAtDown = m_scroll;
  m_panned = false;
  if (m_scrollBar && inside(barRect(), p)) {
    RECT bar = barRect(), thumb = thumbRect();
    int size = bar.right - bar.left;
    m_pen = inside(thumb, p) ? PenMode::Thumb : PenMode::Bar;
    if (m_pen == PenMode::Thumb) return;
    if (p.y < bar.top + size) return onScroll(SB_LINEUP, 0);
    if (p.y >= bar.bottom - size) return onScroll(SB_LINEDOWN, 0);
    return onScroll(p.y < thumb.top ? SB_PAGEUP : SB_PAGEDOWN, 0);
  }
  m_pen = PenMode::Page;
  if (m_document) {
    litehtml::position::vector changed;
    m_document->on_mouse_over(p.x, p.y + m_scroll, p.x, p.y, changed);
    m_document->on_lbutton_down(p.x, p.y + m_scroll, p.x, p.y, changed);
  }
}

void HtmlView::onPenMove(POINT p) {
  if (m_pen == PenMode::Thumb) {
    RECT bar = barRect(), thumb = thumbRect();
    int track = (bar.bottom - bar.top) - 2 * (bar.right - bar.left) - (thumb.bottom - thumb.top);
    if (track > 0) scrollTo(m_scrollAtDown + (p.y - m_penDown.y) * maxScroll() / track);
  } else if (m_pen == PenMode::Page) {
    // Dragging the page moves it under the pen, as a finger would.
    if (!m_panned && std::abs(p.y - m_penDown.y) <= kTapSlop && std::abs(p.x - m_penDown.x) <= kTapSlop) return;
    m_panned = true;
    scrollTo(m_scrollAtDown - (p.y - m_penDown.y));
  }
}

void HtmlView::onPenUp(POINT p) {
  onPenMove(p);
  PenMode mode = m_pen;
  m_pen = PenMode::None;
  if (GetCapture() == m_window) ReleaseCapture();
  if (mode != PenMode::Page || !m_document) return;
  litehtml::position::vector changed;
  if (m_panned) {
    m_document->on_mouse_leave(changed);
    return;
  }
  m_tapped.reset();
  m_document->on_lbutton_up(p.x, p.y + m_scroll, p.x, p.y, changed);
  m_document->on_mouse_leave(changed);
  if (!m_tapped) return;
  Link link = std::move(*m_tapped);
  m_tapped.reset();
  notify(NM_HOTSPOT, link.href, link.target, 0);
}

void HtmlView::linkTapped(const std::string& href, const std::string& target) {
  m_tapped = Link{fromUtf8(href), fromUtf8(target)};
}

// The parent may destroy this window while it handles the notification:
// nothing of the view is touched after it.
void HtmlView::notify(UINT code, const std::u16string& target, const std::u16string& data, DWORD cookie) {
  NM_HTMLVIEW record{};
  record.hdr.hwndFrom = m_window;
  record.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_window));
  record.hdr.code = code;
  record.szTarget = target.c_str();
  record.szData = data.c_str();
  record.dwCookie = cookie;
  record.szExInfo = nullptr;
  HWND parent = GetParent(m_window);
  if (parent) SendMessageW(parent, WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
}

}  // namespace htmlview

BOOL InitHTMLControl(HINSTANCE instance) {
  WNDCLASSW existing{};
  if (GetClassInfoW(instance, WC_HTML, &existing)) return TRUE;
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = htmlview::htmlViewProc;
  wc.hInstance = instance;
  wc.lpszClassName = WC_HTML;
  return RegisterClassW(&wc) != 0;
}
