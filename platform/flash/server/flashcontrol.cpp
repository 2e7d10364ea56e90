// The Flash control's OLE object: embedding, in-place activation in its own
// window, persistence, and the automation members.

#include "platform/flash/server/flashcontrol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/callrecord.h"
#include "platform/core/guards.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"
#include "platform/core/winbase.h"
#include "platform/flash/server/flashmembers.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/ole/typeinfo.h"

namespace {

constexpr WCHAR kWindowClass[] = u"OrvelFlashControl";
constexpr DWORD kAdviseCookie = 1;
constexpr WCHAR kStateStream[] = u"OrvelFlashState";
constexpr LONG kPlayerVersion = kFlashPlayerVersion;
constexpr UINT_PTR kFrameTimer = 1;
constexpr LONG kHimetricPerInch = 2540;
constexpr LONG kScreenDpi = 96;
constexpr UINT kMinimumTimerMs = 10;         // the device fires no timer faster
constexpr DWORD kMaxMovieBytes = 64u << 20;  // larger files are not movies a handheld plays
// Read-only root properties beyond those the engine keeps.
constexpr int kRootWidth = 8, kRootHeight = 9, kRootFramesLoaded = 12;

bool isRootTarget(std::u16string_view target) {
  return target.empty() || target == u"/" || _wcsicmp(std::u16string(target).c_str(), u"_root") == 0 ||
         _wcsicmp(std::u16string(target).c_str(), u"_level0") == 0;
}

std::u16string textOf(const VARIANT& v) { return v.bstrVal ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u""; }

HRESULT setBstr(VARIANT* result, const std::u16string& text) {
  if (!result) return S_OK;
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return result->bstrVal ? S_OK : E_OUTOFMEMORY;
}
void setLong(VARIANT* result, LONG value) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = value;
}
void setBool(VARIANT* result, bool value) {
  if (!result) return;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
HRESULT answerLong(VARIANT* result, LONG value) {
  setLong(result, value);
  return S_OK;
}
HRESULT answerBool(VARIANT* result, bool value) {
  setBool(result, value);
  return S_OK;
}

// A value as the state dump shows it: texts quoted, anything else converted to text.
std::string shownValue(const VARIANT& value) {
  if (value.vt == VT_EMPTY) return "-";
  if (value.vt == VT_BSTR) return "\"" + toUtf8(textOf(value)) + "\"";
  ScopedVariant text;
  return SUCCEEDED(VariantChangeType(&text.get(), &value, 0, VT_BSTR)) ? toUtf8(textOf(text.get())) : "?";
}

// One automation call for the state dump: "put AlignMode("1 + 8") -> 0x0".
void recordAutomation(const flash::MemberInfo& member, WORD flags, const DISPPARAMS& params, const VARIANT* result,
                      HRESULT hr) {
  const char* kind = !member.property ? "call" : (flags & DISPATCH_PROPERTYPUT) ? "put" : "get";
  std::string line = std::string(kind) + " " + toUtf8(member.name) + "(";
  // Arguments come last first.
  for (UINT i = params.cArgs; i-- > 0;) line += shownValue(params.rgvarg[i]) + (i ? ", " : "");
  char code[16];
  std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(hr));
  line += std::string(") -> ") + (FAILED(hr) ? code : result ? shownValue(*result) : "ok");
  wm::recordCall("flash calls", std::move(line));
}

// A text colour: "-1" for none, "#RRGGBB" or "RRGGBB" in hex; 0xRRGGBB.
bool parseColour(const std::u16string& text, LONG& colour) {
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return false;
    ascii += static_cast<char>(c);
  }
  if (ascii == "-1") {
    colour = -1;
    return true;
  }
  const char* start = ascii.c_str();
  if (*start == '#') ++start;
  char* end = nullptr;
  long value = std::strtol(start, &end, 16);
  if (!*start || *end || value < 0 || value > 0xFFFFFF) return false;
  colour = static_cast<LONG>(value);
  return true;
}

// The whole file, or nothing when it cannot be read or is too large.
bool readDeviceFile(const std::u16string& path, std::vector<uint8_t>& bytes) {
  HandleGuard file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return false;
  DWORD high = 0;
  DWORD size = GetFileSize(file.get(), &high);
  bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kMaxMovieBytes;
  if (ok) {
    bytes.resize(size);
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file.get(), bytes.data(), size, &read, nullptr) && read == size);
  }
  return ok;
}

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

std::u16string moviePathOfUrl(std::u16string_view url) {
  while (!url.empty() && (url.front() == u' ' || url.front() == u'\t')) url.remove_prefix(1);
  if (startsWithNoCase(url, u"file:")) {
    url.remove_prefix(5);
  } else if (url.find(u"://") != std::u16string_view::npos) {
    return u"";  // the device reaches no network
  }
  // "file://", "file:///" and the separators after them all lead to the root.
  size_t first = url.find_first_not_of(u"/\\");
  if (first == std::u16string_view::npos) return u"";
  std::u16string path = u"\\";
  for (char16_t c : url.substr(first)) path += c == u'/' ? u'\\' : c;
  return path;
}

FlashControlObject* FlashControlObject::create() { return new FlashControlObject(); }

FlashControlObject::FlashControlObject() : m_extent{0, 0} {
  m_typeInfo = ComPtr<ITypeInfo>::adopt(createFlashTypeInfo());
}

FlashControlObject::~FlashControlObject() {
  if (m_window) DestroyWindow(m_window);  // its timer goes with it
}

// ---- IOleObject ---------------------------------------------------------------

HRESULT FlashControlObject::SetClientSite(IOleClientSite* pClientSite) {
  m_site = ComPtr<IOleClientSite>(pClientSite);
  return S_OK;
}

HRESULT FlashControlObject::GetClientSite(IOleClientSite** ppClientSite) {
  if (!ppClientSite) return E_POINTER;
  *ppClientSite = m_site.get();
  if (*ppClientSite) (*ppClientSite)->AddRef();
  return S_OK;
}

HRESULT FlashControlObject::Close(DWORD) {
  InPlaceDeactivate();
  if (m_oleSink) m_oleSink->OnClose();
  return S_OK;
}

HRESULT FlashControlObject::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControlObject::GetClipboardData(DWORD, IDataObject** ppDataObject) {
  if (ppDataObject) *ppDataObject = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControlObject::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                                   LPCRECT lprcPosRect) {
  switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return activateInPlace(pActiveSite ? pActiveSite : m_site.get(), hwndParent, lprcPosRect);
    case OLEIVERB_HIDE:
      if (m_window) ShowWindow(m_window, SW_HIDE);
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

// The in-place activation a container expects: ask, announce, take the
// window context, make the window at the position, become UI-active.
HRESULT FlashControlObject::activateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
  if (m_window) {
    if (position) SetObjectRects(position, nullptr);
    ShowWindow(m_window, SW_SHOW);
    return S_OK;
  }
  if (!site) return E_INVALIDARG;
  ComPtr<IOleInPlaceSite> inPlace;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlace.putVoid()))) return E_NOINTERFACE;
  if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
  HRESULT hr = inPlace->OnInPlaceActivate();
  if (FAILED(hr)) return hr;
  m_inPlaceSite = inPlace;

  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> document;
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = sizeof info;
  hr = inPlace->GetWindowContext(frame.put(), document.put(), &pos, &clip, &info);
  if (FAILED(hr)) {
    InPlaceDeactivate();
    return hr;
  }
  if (position) pos = *position;
  HWND siteWindow = nullptr;
  if (FAILED(inPlace->GetWindow(&siteWindow)) || !siteWindow) siteWindow = parent;
  if (!createWindow(siteWindow, pos)) {
    InPlaceDeactivate();
    return E_FAIL;
  }
  if (!(clip.right > clip.left && clip.bottom > clip.top)) clip = pos;
  SetObjectRects(&pos, &clip);
  updateTimer();
  m_uiActive = true;
  inPlace->OnUIActivate();
  m_frame = frame;
  if (m_frame) m_frame->SetActiveObject(this, u"Flash");
  if (document) document->SetActiveObject(this, u"Flash");
  return S_OK;
}

HRESULT FlashControlObject::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
  if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
  return OLE_S_USEREG;
}

HRESULT FlashControlObject::GetUserClassID(CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = CLSID_ShockwaveFlash;
  return S_OK;
}

HRESULT FlashControlObject::GetUserType(DWORD, LPOLESTR* pszUserType) {
  if (pszUserType) *pszUserType = nullptr;
  return OLE_S_USEREG;
}

HRESULT FlashControlObject::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!psizel) return E_POINTER;
  m_extent = *psizel;
  return S_OK;
}

// Until a container sizes it or places it in place, the control has no size
// of its own to tell.
HRESULT FlashControlObject::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!psizel) return E_POINTER;
  *psizel = m_extent;
  return m_extent.cx > 0 && m_extent.cy > 0 ? S_OK : OLE_E_BLANK;
}

// One advise connection is all an embedding needs.
HRESULT FlashControlObject::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
  if (!pAdvSink || !pdwConnection) return E_INVALIDARG;
  m_oleSink = ComPtr<IAdviseSink>(pAdvSink);
  *pdwConnection = kAdviseCookie;
  return S_OK;
}

HRESULT FlashControlObject::Unadvise(DWORD dwConnection) {
  if (dwConnection != kAdviseCookie || !m_oleSink) return OLE_E_NOCONNECTION;
  m_oleSink.reset();
  return S_OK;
}

HRESULT FlashControlObject::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (ppenumAdvise) *ppenumAdvise = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControlObject::GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) {
  if (!pdwStatus) return E_POINTER;
  *pdwStatus = 0;
  if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *pdwStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
               OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}

// ---- IViewObject2 -------------------------------------------------------------

HRESULT FlashControlObject::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw,
                                 LPCRECTL lprcBounds, LPCRECTL, BOOL (*)(ULONG_PTR), ULONG_PTR) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
  if (lprcBounds->right <= lprcBounds->left || lprcBounds->bottom <= lprcBounds->top) return S_OK;
  renderInto(hdcDraw, *lprcBounds, POINT{lprcBounds->left, lprcBounds->top});
  return S_OK;
}

// Renders the movie laid out in `bounds` and copies it to `dc` at `at`.
// The movie is drawn straight into the pixels of the bitmap it is shown from,
// which lives as long as its size: a frame costs no fresh memory and no copy.
void FlashControlObject::renderInto(HDC dc, const RECTL& bounds, POINT at) {
  int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (!m_frameBitmap || m_frameSize.cx != width || m_frameSize.cy != height) {
    m_frameBitmap.reset(CreateBitmap(width, height, 1, 32, nullptr));
    m_frameSize = m_frameBitmap ? SIZE{width, height} : SIZE{};
  }
  uint32_t* pixels = gdi::bitmapPixels(m_frameBitmap.get());
  MemoryDC memory(dc);
  if (!pixels || !memory.get()) return;
  const size_t count = static_cast<size_t>(width) * height;
  // Without a movie the control shows its background colour.
  if (m_player.hasMovie()) {
    m_player.render(swf::Canvas{pixels, width, height, width});
    // The engine's pixels carry an opaque alpha byte; a bitmap's top byte is 0.
    // Four a step, which the compiler turns into one vector operation.
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
      pixels[i] &= 0xFFFFFF;
      pixels[i + 1] &= 0xFFFFFF;
      pixels[i + 2] &= 0xFFFFFF;
      pixels[i + 3] &= 0xFFFFFF;
    }
    for (; i < count; ++i) pixels[i] &= 0xFFFFFF;
  } else {
    gdi::fillPixels(pixels, count, m_player.backgroundColor() & 0xFFFFFF);
  }
  SelectedObject selected(memory.get(), m_frameBitmap.get());
  BitBlt(dc, at.x, at.y, width, height, memory.get(), 0, 0, SRCCOPY);
}

HRESULT FlashControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) {
  if (ppColorSet) *ppColorSet = nullptr;
  return S_FALSE;  // true colour: no palette
}

HRESULT FlashControlObject::Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) {
  if (pdwFreeze) *pdwFreeze = 0;
  return E_NOTIMPL;
}

HRESULT FlashControlObject::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
  m_viewSink = ComPtr<IAdviseSink>(pAdvSink);
  m_viewAspects = aspects;
  m_viewAdvf = advf;
  if (m_viewSink && (advf & ADVF_PRIMEFIRST)) m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
  return S_OK;
}

HRESULT FlashControlObject::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
  if (pAspects) *pAspects = m_viewAspects;
  if (pAdvf) *pAdvf = m_viewAdvf;
  if (ppAdvSink) {
    *ppAdvSink = m_viewSink.get();
    if (*ppAdvSink) (*ppAdvSink)->AddRef();
  }
  return S_OK;
}

HRESULT FlashControlObject::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) {
  return GetExtent(dwDrawAspect, lpsizel);
}

// ---- In-place object ------------------------------------------------------------

HRESULT FlashControlObject::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = m_window;
  return m_window ? S_OK : E_FAIL;
}

HRESULT FlashControlObject::InPlaceDeactivate() {
  UIDeactivate();
  if (m_window) {
    DestroyWindow(m_window);
    m_window = nullptr;
  }
  if (ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite)) site->OnInPlaceDeactivate();
  return S_OK;
}

HRESULT FlashControlObject::UIDeactivate() {
  if (!m_uiActive) return S_OK;
  m_uiActive = false;
  if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
  m_frame.reset();
  if (m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT FlashControlObject::SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) {
  if (!lprcPosRect) return E_INVALIDARG;
  if (!m_window) return OLE_E_NOT_INPLACEACTIVE;
  m_position = *lprcPosRect;
  RECT r = *lprcPosRect;
  // The window never shows outside the clip rectangle; the movie keeps its
  // layout in the whole position rectangle.
  if (lprcClipRect) {
    r.left = std::max(r.left, lprcClipRect->left);
    r.top = std::max(r.top, lprcClipRect->top);
    r.right = std::max(r.left, std::min(r.right, lprcClipRect->right));
    r.bottom = std::max(r.top, std::min(r.bottom, lprcClipRect->bottom));
  }
  MoveWindow(m_window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  InvalidateRect(m_window, nullptr, FALSE);
  // The extent follows the position, rounded up so that a container's
  // conversion back to pixels gives the same size.
  m_extent.cx =
      (std::max<LONG>(0, m_position.right - m_position.left) * kHimetricPerInch + kScreenDpi - 1) / kScreenDpi;
  m_extent.cy =
      (std::max<LONG>(0, m_position.bottom - m_position.top) * kHimetricPerInch + kScreenDpi - 1) / kScreenDpi;
  return S_OK;
}

bool FlashControlObject::createWindow(HWND parent, const RECT& position) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(nullptr, kWindowClass, &wc)) {
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassW(&wc)) return false;
  }
  m_position = position;
  m_window =
      CreateWindowExW(0, kWindowClass, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left, position.top,
                      position.right - position.left, position.bottom - position.top, parent, nullptr, nullptr, this);
  return m_window != nullptr;
}

LRESULT FlashControlObject::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    return 0;
  }
  auto* self = reinterpret_cast<FlashControlObject*>(GetWindowLongW(hwnd, GWL_USERDATA));
  if (message == WM_KEYDOWN || message == WM_KEYUP)
    wm::recordCall("flash keys", std::string(message == WM_KEYDOWN ? "down " : "up ") + std::to_string(wParam));
  if (self && message == WM_PAINT) {
    self->paint();
    return 0;
  }
  if (self && message == WM_RBUTTONUP) {
    // The device reports a held tap as the right button; without Menu it does nothing.
    if (self->m_menu) self->showMenu(POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
    return 0;
  }
  if (self && (message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE || message == WM_LBUTTONUP)) {
    self->onPen(message, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
    return 0;
  }
  if (self && message == WM_TIMER && wParam == kFrameTimer) {
    self->onTimer();
    return 0;
  }
  if (message == WM_DESTROY && self) {
    self->m_timerPeriod = 0;  // the window's timers go with it
  }
  if (message == WM_ERASEBKGND) return 1;  // painting covers the whole window
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void FlashControlObject::paint() {
  PaintScope paint(m_window);
  HDC dc = paint.dc();
  // The movie is laid out in the position rectangle, of which the window
  // may show only the part inside the clip rectangle.
  RECT window{};
  GetWindowRect(m_window, &window);
  POINT origin{window.left, window.top};
  ScreenToClient(GetParent(m_window), &origin);
  RECTL bounds{0, 0, m_position.right - m_position.left, m_position.bottom - m_position.top};
  if (bounds.right > 0 && bounds.bottom > 0)
    renderInto(dc, bounds, POINT{m_position.left - origin.x, m_position.top - origin.y});
  m_player.takeRepaint();  // what is on the screen is current
  ++m_paintCount;
}

// The pen reaches the movie's buttons in the pixels the movie is drawn in:
// the position rectangle, of which the window may show a part.
void FlashControlObject::onPen(UINT message, POINT at) {
  RECT window{};
  GetWindowRect(m_window, &window);
  POINT origin{window.left, window.top};
  ScreenToClient(GetParent(m_window), &origin);
  int x = at.x + origin.x - m_position.left, y = at.y + origin.y - m_position.top;
  if (message == WM_LBUTTONDOWN) {
    SetCapture(m_window);  // a release outside still ends the press
    m_player.penDown(x, y);
  } else if (message == WM_LBUTTONUP) {
    ReleaseCapture();
    m_player.penUp(x, y);
  } else {
    m_player.penMove(x, y);
  }
  changed();
}

void FlashControlObject::changed() {
  if (!m_player.takeRepaint()) return;
  if (m_window) InvalidateRect(m_window, nullptr, FALSE);
  if (m_viewSink) m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
}

void FlashControlObject::onTimer() {
  DWORD now = GetTickCount();
  DWORD elapsed = now - m_lastTick;
  m_lastTick = now;
  m_player.advance(elapsed);
  changed();
}

void FlashControlObject::updateTimer() {
  UINT period = 0;
  if (m_window && m_player.hasMovie())
    period = std::max(kMinimumTimerMs, static_cast<UINT>(std::lround(1000.0 / m_player.frameRate())));
  if (period == m_timerPeriod) return;
  if (m_timerPeriod) KillTimer(m_window, kFrameTimer);
  m_timerPeriod = period;
  if (period) {
    m_lastTick = GetTickCount();
    SetTimer(m_window, kFrameTimer, period, nullptr);
  }
}

// An unreadable or invalid file leaves no movie.
void FlashControlObject::openMovie(const std::u16string& url) {
  m_movie = url;
  m_moviePath = moviePathOfUrl(url);
  std::vector<uint8_t> bytes;
  if (m_moviePath.empty() || !readDeviceFile(m_moviePath, bytes) || !m_player.load(bytes)) m_player.unload();
  m_lastTick = GetTickCount();
  m_dirty = true;
  updateTimer();
  changed();
}

// ---- IPersistStorage ------------------------------------------------------------

HRESULT FlashControlObject::InitNew(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  m_dirty = true;  // a new embedding has never been saved
  return S_OK;
}

HRESULT FlashControlObject::Load(IStorage* pStg) {
  if (!pStg) return E_POINTER;
  ComPtr<IStream> stream;
  HRESULT hr = pStg->OpenStream(kStateStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
  if (FAILED(hr)) return hr;
  std::u16string movie;
  WCHAR buffer[256];
  ULONG read = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) movie.append(buffer, read / sizeof(WCHAR));
  m_movie = movie;
  m_dirty = false;
  return S_OK;
}

// The state worth keeping: the movie's URL.
HRESULT FlashControlObject::Save(IStorage* pStgSave, BOOL) {
  if (!pStgSave) return E_POINTER;
  ComPtr<IStream> stream;
  HRESULT hr =
      pStgSave->CreateStream(kStateStream, STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, 0, stream.put());
  if (FAILED(hr)) return hr;
  ULONG bytes = static_cast<ULONG>(m_movie.size() * sizeof(WCHAR));
  return bytes ? stream->Write(m_movie.data(), bytes, nullptr) : S_OK;
}

HRESULT FlashControlObject::SaveCompleted(IStorage*) {
  m_dirty = false;
  if (m_oleSink) m_oleSink->OnSave();
  return S_OK;
}

HRESULT FlashControlObject::HandsOffStorage() { return S_OK; }

// ---- IDispatch --------------------------------------------------------------------

HRESULT FlashControlObject::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT FlashControlObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  *ppTInfo = m_typeInfo.get();
  m_typeInfo->AddRef();
  return S_OK;
}

HRESULT FlashControlObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(m_typeInfo.get(), rgszNames, cNames, rgDispId);
}

HRESULT FlashControlObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (!pDispParams) pDispParams = &none;
  if (pVarResult) VariantInit(pVarResult);
  const flash::MemberInfo* member = flash::findMember(dispIdMember);
  if (!member) return DISP_E_MEMBERNOTFOUND;
  HRESULT hr = DISP_E_MEMBERNOTFOUND;
  if (member->property)
    hr = invokeProperty(dispIdMember, wFlags, pDispParams, pVarResult, puArgErr);
  else if (wFlags & DISPATCH_METHOD)
    hr = invokeMethod(dispIdMember, pDispParams, pVarResult, puArgErr);
  recordAutomation(*member, wFlags, *pDispParams, pVarResult, hr);
  return hr;
}

HRESULT FlashControlObject::invokeProperty(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
  const flash::MemberInfo* member = flash::findMember(id);
  if (flags & DISPATCH_PROPERTYPUT) {
    if (member->readOnly) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTFOUND;
    HRESULT hr = putProperty(id, params->rgvarg[0]);
    if (FAILED(hr) && argErr) *argErr = 0;
    return hr;
  }
  if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (!result) return S_OK;
  return getProperty(id, *result);
}

HRESULT FlashControlObject::getProperty(DISPID id, VARIANT& result) const {
  using namespace flash;
  switch (id) {
    case kReadyState:
      setLong(&result, m_player.hasMovie() ? 4 : 0);
      return S_OK;  // complete, or loading
    case kTotalFrames:
      setLong(&result, m_player.totalFrames());
      return S_OK;
    case kPlaying:
      setBool(&result, m_player.playing());
      return S_OK;
    case kQuality:
      result.vt = VT_INT;
      result.intVal = m_quality;
      return S_OK;
    case kScaleMode:
      result.vt = VT_INT;
      result.intVal = m_scaleMode;
      return S_OK;
    case kAlignMode:
      result.vt = VT_INT;
      result.intVal = m_player.alignMode();
      return S_OK;
    case kBackgroundColor:
      setLong(&result, m_player.backgroundColorSetting());
      return S_OK;
    case kLoop:
      setBool(&result, m_player.loop());
      return S_OK;
    case kMovie:
      return setBstr(&result, m_movie);
    case kFrameNum:
      setLong(&result, m_player.currentFrame());
      return S_OK;
    case kWMode:
      return setBstr(&result, m_wmode);
    case kSAlign:
      return setBstr(&result, m_salign);
    case kMenu:
      setBool(&result, m_menu);
      return S_OK;
    case kBase:
      return setBstr(&result, m_base);
    case kScale:
      return setBstr(&result, m_scale);
    case kDeviceFont:
      setBool(&result, m_deviceFont);
      return S_OK;
    case kEmbedMovie:
      setBool(&result, m_embedMovie);
      return S_OK;
    case kBGColor: {
      int32_t c = m_player.backgroundColorSetting();
      if (c < 0) return setBstr(&result, u"-1");
      WCHAR text[16];
      wsprintfW(text, u"%06X", static_cast<unsigned>(c));
      return setBstr(&result, text);
    }
    case kQuality2:
      return setBstr(&result, m_quality2);
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT FlashControlObject::putProperty(DISPID id, const VARIANT& value) {
  using namespace flash;
  const MemberInfo* member = findMember(id);
  ScopedVariant converted;
  VARIANT& v = converted.get();
  // A value that does not convert to the member's type (an alignment given
  // as the text "1 + 8", say) is refused and the member keeps its value.
  HRESULT hr = VariantChangeType(&v, &value, 0, member->type);
  if (FAILED(hr)) return hr;
  switch (id) {
    case kMovie:
      openMovie(textOf(v));
      return S_OK;
    case kPlaying:
      m_player.setPlaying(v.boolVal != VARIANT_FALSE);
      break;
    case kLoop:
      m_player.setLoop(v.boolVal != VARIANT_FALSE);
      break;
    case kFrameNum:
      m_player.gotoFrame(v.lVal);
      break;
    case kAlignMode:
      m_player.setAlignMode(v.intVal);
      break;
    case kBackgroundColor:
      m_player.setBackgroundColor(v.lVal);
      break;
    case kBGColor: {
      LONG colour = 0;
      if (!parseColour(textOf(v), colour)) return DISP_E_TYPEMISMATCH;
      m_player.setBackgroundColor(colour);
      break;
    }
    case kQuality:
      m_quality = v.intVal;
      break;
    case kScaleMode:
      m_scaleMode = v.intVal;
      break;
    case kWMode:
      m_wmode = textOf(v);
      break;
    case kSAlign:
      m_salign = textOf(v);
      break;
    case kMenu:
      m_menu = v.boolVal != VARIANT_FALSE;
      break;
    case kBase:
      m_base = textOf(v);
      break;
    case kScale:
      m_scale = textOf(v);
      break;
    case kDeviceFont:
      m_deviceFont = v.boolVal != VARIANT_FALSE;
      break;
    case kEmbedMovie:
      m_embedMovie = v.boolVal != VARIANT_FALSE;
      break;
    case kQuality2:
      m_quality2 = textOf(v);
      break;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  m_dirty = true;
  changed();
  return S_OK;
}

HRESULT FlashControlObject::setRootProperty(int index, const VARIANT& value, UINT* argErr) {
  VARIANT number;
  VariantInit(&number);
  HRESULT hr = VariantChangeType(&number, &value, 0, VT_R8);
  if (FAILED(hr)) {
    if (argErr) *argErr = 0;
    return hr;
  }
  // Read-only properties and indices the root does not have.
  if (!m_player.setRootProperty(index, number.dblVal)) return DISP_E_BADINDEX;
  changed();
  return S_OK;
}

HRESULT FlashControlObject::rootProperty(int index, double& value) const {
  if (std::optional<double> kept = m_player.rootProperty(index)) {
    value = *kept;
    return S_OK;
  }
  const swf::MovieDef* movie = m_player.movie();
  switch (index) {
    case kRootFramesLoaded:
      value = m_player.totalFrames();
      return S_OK;
    case kRootWidth:
      value = movie ? double(movie->header.frameRect.width()) / swf::kTwipsPerPixel : 0;
      return S_OK;
    case kRootHeight:
      value = movie ? double(movie->header.frameRect.height()) / swf::kTwipsPerPixel : 0;
      return S_OK;
    default:
      return DISP_E_BADINDEX;
  }
}

// Every parameter of the published methods is required. TSetProperty's value
// keeps its own type: the root converts it.
HRESULT FlashControlObject::readArguments(DISPID id, DISPPARAMS* params, VariantArray& args, UINT* argErr) {
  const flash::MemberInfo* member = flash::findMember(id);
  if (params->cArgs < static_cast<UINT>(member->paramCount)) return DISP_E_BADPARAMCOUNT;
  VARIANT empty;
  VariantInit(&empty);
  args.assign(static_cast<size_t>(member->paramCount), empty);
  for (int i = 0; i < member->paramCount; ++i) {
    VARTYPE vt = id == flash::kTSetProperty && i == 2 ? VARTYPE{VT_VARIANT} : member->params[i].vt;
    HRESULT hr = vt == VT_VARIANT ? VariantCopy(&args[i], &params->rgvarg[params->cArgs - 1 - i])
                                  : DispGetParam(params, i, vt, &args[i], argErr);
    if (vt == VT_VARIANT && args[i].vt == VT_ERROR && args[i].scode == DISP_E_PARAMNOTFOUND) hr = DISP_E_PARAMNOTFOUND;
    if (FAILED(hr)) return hr == DISP_E_PARAMNOTFOUND ? DISP_E_PARAMNOTOPTIONAL : hr;
  }
  return S_OK;
}

HRESULT FlashControlObject::invokeMethod(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
  using namespace flash;
  VariantArray args;
  if (HRESULT hr = readArguments(id, params, args, argErr); FAILED(hr)) return hr;
  switch (id) {
    case kPlay:
    case kStop:
    case kStopPlay:
    case kRewind:
    case kBack:
    case kForward:
      return stepTimeline(id);
    case kGotoFrame:
      return gotoFrame(args[0].lVal);
    case kCurrentFrame:
      return answerLong(result, m_player.currentFrame());
    case kIsPlaying:
      return answerBool(result, m_player.playing());
    case kPercentLoaded:
      return answerLong(result, m_player.hasMovie() ? 100 : 0);
    case kFrameLoaded:
      return answerBool(result, args[0].lVal >= 0 && args[0].lVal < m_player.totalFrames());
    case kFlashVersion:
      return answerLong(result, kPlayerVersion);
    case kZoom:
      return zoomBy(args[0].intVal);
    case kLoadMovie:
      return loadMovie(args[0].intVal, textOf(args[1]));
    case kTGotoFrame:
      return isRootTarget(textOf(args[0])) ? gotoFrame(args[1].lVal) : DISP_E_EXCEPTION;
    case kTGotoLabel:
      return isRootTarget(textOf(args[0])) ? gotoLabel(textOf(args[1])) : DISP_E_EXCEPTION;
    case kTCurrentFrame:
      return isRootTarget(textOf(args[0])) ? answerLong(result, m_player.currentFrame()) : DISP_E_EXCEPTION;
    case kTPlay:
    case kTStopPlay:
      return isRootTarget(textOf(args[0])) ? setPlaying(id == kTPlay) : DISP_E_EXCEPTION;
    case kSetVariable:
      return setVariable(textOf(args[0]), textOf(args[1]));
    case kGetVariable:
      return getVariable(textOf(args[0]), result);
    case kTSetProperty:
    case kTSetPropertyNum:
      return isRootTarget(textOf(args[0])) ? setRootProperty(args[1].intVal, args[2], argErr) : DISP_E_EXCEPTION;
    case kTGetProperty:
    case kTGetPropertyNum:
      return isRootTarget(textOf(args[0])) ? getRootProperty(args[1].intVal, result, id == kTGetPropertyNum)
                                           : DISP_E_EXCEPTION;
    default:
      // SetZoomRect, Pan, TCurrentLabel, TCallFrame and TCallLabel are not
      // offered by this control: they fail rather than pretend.
      return E_NOTIMPL;
  }
}

// ---- The methods' handlers

// The timeline moved or its playing changed: the stored state is stale and
// the picture may be.
HRESULT FlashControlObject::timelineChanged() {
  m_dirty = true;
  changed();
  return S_OK;
}

HRESULT FlashControlObject::stepTimeline(DISPID id) {
  using namespace flash;
  if (id == kPlay) {
    m_player.play();
    return timelineChanged();
  }
  m_player.stop();
  if (id == kRewind) m_player.rewind();
  if (id == kBack) m_player.back();
  if (id == kForward) m_player.forward();
  return timelineChanged();
}

HRESULT FlashControlObject::gotoFrame(LONG frame) {
  m_player.gotoFrame(frame);
  return timelineChanged();
}

HRESULT FlashControlObject::gotoLabel(const std::u16string& text) {
  std::string label;
  for (char16_t c : text) label += c < 0x80 ? static_cast<char>(c) : '?';
  std::optional<int> frame = m_player.findLabel(label);
  if (!frame) return DISP_E_EXCEPTION;
  return gotoFrame(*frame);
}

HRESULT FlashControlObject::setPlaying(bool playing) {
  m_player.setPlaying(playing);
  return timelineChanged();
}

HRESULT FlashControlObject::zoomBy(int percent) {
  if (percent < 0) return DISP_E_OVERFLOW;
  m_player.zoom(percent);
  return timelineChanged();
}

// Only level 0 holds a movie.
HRESULT FlashControlObject::loadMovie(int level, const std::u16string& url) {
  if (level != 0) return DISP_E_BADINDEX;
  openMovie(url);
  return S_OK;
}

HRESULT FlashControlObject::setVariable(const std::u16string& name, const std::u16string& value) {
  m_variables[name] = value;
  return S_OK;
}

// An unset variable has no value.
HRESULT FlashControlObject::getVariable(const std::u16string& name, VARIANT* result) const {
  auto it = m_variables.find(name);
  if (it != m_variables.end()) return setBstr(result, it->second);
  if (result) result->vt = VT_NULL;
  return S_OK;
}

// A number, or its text for TGetProperty.
HRESULT FlashControlObject::getRootProperty(int index, VARIANT* result, bool asNumber) const {
  double value = 0;
  HRESULT hr = rootProperty(index, value);
  if (FAILED(hr) || !result) return hr;
  result->vt = VT_R8;
  result->dblVal = value;
  return asNumber ? S_OK : VariantChangeType(result, result, 0, VT_BSTR);
}
