// The container's frame: the main window as OLE's in-place frame.

#include "flashhost/flashhost.h"

#include "flashhost/flashcontrol.h"
#include "platform/core/winnls.h"
#include "platform/core/winuser.h"
#include "platform/gdi/gdiguards.h"

namespace {

constexpr int kMaxClassTextLength = 255;

WideString boundedName(LPCWSTR name) {
  WideString text = name ? WideString(name) : WideString();
  if (text.size() > FlashHost::kMaxNameLength) text.resize(FlashHost::kMaxNameLength);
  return text;
}

// The class text in the ANSI code page, parsed as a braced CLSID.
bool parseClassText(const char* text, CLSID& clsid) {
  if (!text) return false;
  WCHAR wide[kMaxClassTextLength + 1] = {};
  int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kMaxClassTextLength);
  if (length <= 0) return false;  // empty, unconvertible or longer than a class text can be
  wide[kMaxClassTextLength] = 0;
  return SUCCEEDED(CLSIDFromString(wide, &clsid));
}

}  // namespace

FlashHost::FlashHost(HWND mainWindow, HWND holderWindow, LPCWSTR appName, LPCWSTR docName)
    : m_mainWindow(mainWindow),
      m_holderWindow(holderWindow),
      m_appName(boundedName(appName)),
      m_docName(boundedName(docName)),
      m_palette(createPalette()) {
  IOleInPlaceFrame* frame = this;
  m_interfaces.add(IID_IUnknown, frame);
  m_interfaces.add(IID_IOleInPlaceFrame, frame);
  m_interfaces.add(IID_IOleContainer, static_cast<IOleContainer*>(this));
  m_interfaces.add(IID_IErrorInfo, static_cast<IErrorInfo*>(this));
  m_interfaces.add(IID_IOleInPlaceUIWindow, frame);
  m_interfaces.add(IID_IOleWindow, frame);
}

FlashHost::~FlashHost() {
  // The sites go first, in the order they were made: each calls back into
  // the frame as its object deactivates.
  while (FlashControl* site = m_sites[0]) destroySite(site);
  m_activeObject.reset();
  m_activeWindow = nullptr;
}

FlashControl* FlashHost::createControl(const char* clsidText, const RECT& position) {
  CLSID clsid{};
  if (!parseClassText(clsidText, clsid)) return nullptr;
  auto site = std::make_unique<FlashControl>(this);
  if (!site->create(clsid, position)) return nullptr;
  return m_sites.add(std::move(site));
}

// The site leaves the list before it is deleted, so that nothing it calls
// during its teardown finds it among the live ones.
void FlashHost::destroySite(FlashControl* site) { m_sites.take(site).reset(); }

HRESULT FlashHost::QueryInterface(REFIID riid, void** ppv) {
  HRESULT hr = m_interfaces.find(riid, ppv);
  if (SUCCEEDED(hr)) AddRef();
  return hr;
}

HRESULT FlashHost::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = m_mainWindow;
  return S_OK;
}

HRESULT FlashHost::ContextSensitiveHelp(BOOL fEnterMode) {
  m_contextHelp = fEnterMode != FALSE;
  return S_OK;
}

HRESULT FlashHost::GetBorder(LPRECT lprectBorder) {
  if (!lprectBorder) return E_POINTER;
  GetClientRect(m_mainWindow, lprectBorder);
  return S_OK;
}

HRESULT FlashHost::SetBorderSpace(LPCBORDERWIDTHS pborderwidths) {
  // No widths: the object gives its space back, so the frame redraws.
  if (!pborderwidths) InvalidateRect(m_mainWindow, nullptr, TRUE);
  return S_OK;
}

HRESULT FlashHost::SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR) {
  if (!pActiveObject) {
    m_activeObject.reset();
    m_activeWindow = nullptr;
    return S_OK;
  }
  m_activeObject = ComPtr<IOleInPlaceActiveObject>(pActiveObject);
  m_activeWindow = nullptr;
  if (SUCCEEDED(pActiveObject->GetWindow(&m_activeWindow)) && m_activeWindow)
    SendMessageW(m_activeWindow, WM_QUERYNEWPALETTE, 0, 0);
  return S_OK;
}

HRESULT FlashHost::SetMenu(HMENU, HOLEMENU holemenu, HWND hwndActiveObject) {
  return OleSetMenuDescriptor(holemenu, m_mainWindow, hwndActiveObject, this, m_activeObject.get());
}

// The device has no shared menus to take items out of: the player's menus
// live in its menu bar, which the control never joins (it inserts none).
HRESULT FlashHost::RemoveMenus(HMENU) { return S_OK; }

HRESULT FlashHost::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* pchEaten, IMoniker** ppmkOut) {
  if (pchEaten) *pchEaten = 0;
  if (ppmkOut) *ppmkOut = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashHost::EnumObjects(DWORD, IEnumUnknown** ppenum) {
  if (ppenum) *ppenum = nullptr;
  return E_NOTIMPL;
}

// Only a palette-based screen with room beside its reserved colours gets one.
// The device's screen is true colour, so there is none to build or realise.
HPALETTE FlashHost::createPalette() {
  WindowDC screen(nullptr);
  if (!screen.get()) return nullptr;
  bool paletted = GetDeviceCaps(screen.get(), RASTERCAPS) & RC_PALETTE;
  bool room = GetDeviceCaps(screen.get(), NUMRESERVED) < GetDeviceCaps(screen.get(), SIZEPALETTE);
  if (!paletted || !room) return nullptr;
  // A palette screen would need the system palette's reserved entries, which
  // this device does not have to give.
  return nullptr;
}

void FlashHost::realizePalette() {
  if (!m_palette) return;
  if (m_activeWindow && SendMessageW(m_activeWindow, WM_QUERYNEWPALETTE, 0, 0)) return;
  WindowDC dc(m_mainWindow);
  HPALETTE old = SelectPalette(dc.get(), m_palette.get(), FALSE);
  UINT changed = RealizePalette(dc.get());
  SelectPalette(dc.get(), old, TRUE);
  if (changed) InvalidateRect(m_mainWindow, nullptr, TRUE);
}
