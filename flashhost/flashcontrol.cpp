// The site of an embedded control: its creation, the client, advise,
// in-place and control site interfaces, and its rectangles.

#include "flashhost/flashcontrol.h"

#include "flashhost/flashhost.h"
#include "platform/core/winuser.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr int kHimetricPerInch = 2540;

}  // namespace

FlashControl::FlashControl(FlashHost* host)
    : m_host(host), m_holderWindow(host->holderWindow()), m_mainWindow(host->mainWindow()) {
  m_interfaces.add(IID_IUnknown, static_cast<IOleClientSite*>(this));
  m_interfaces.add(IID_IOleClientSite, static_cast<IOleClientSite*>(this));
  m_interfaces.add(IID_IAdviseSink, static_cast<IAdviseSink*>(this));
  m_interfaces.add(IID_IOleInPlaceSite, static_cast<IOleInPlaceSite*>(this));
  m_interfaces.add(IID_IOleWindow, static_cast<IOleInPlaceSite*>(this));
  m_interfaces.add(IID_IOleControlSite, static_cast<IOleControlSite*>(this));
}

FlashControl::~FlashControl() {
  // An active object would outlive its site in the frame's hands and call
  // back into it: it leaves in-place activity first.
  if (ComPtr<IOleInPlaceObject> inPlace = m_inPlaceObject) inPlace->InPlaceDeactivate();
  m_inPlaceObject.reset();
  m_viewObject.reset();
  m_object.reset();
  m_storage.reset();  // the temporary file goes with it
  m_dispatch.reset();
  m_members.reset();
}

// ---- Creation --------------------------------------------------------------------

bool FlashControl::create(REFCLSID clsid, const RECT& position) {
  m_position = position;
  if (!createStorage() || !createObject(clsid)) return false;
  classifyObject();
  if (FAILED(m_object.queryInterface(IID_IViewObject2, m_viewObject))) return false;
  if (m_class != ObjectClass::Static && !adviseObject()) return false;
  if (FAILED(OleSetContainedObject(m_object.get(), TRUE))) return false;
  buildMemberTable();
  show();
  return true;
}

bool FlashControl::createStorage() {
  return SUCCEEDED(StgCreateDocfile(kStorageName, kStorageMode, 0, m_storage.put())) && m_storage;
}

bool FlashControl::createObject(REFCLSID clsid) {
  ComPtr<IUnknown> created;
  HRESULT hr = OleCreate(clsid, IID_IUnknown, OLERENDER_DRAW, nullptr, static_cast<IOleClientSite*>(this),
                         m_storage.get(), created.putVoid());
  if (FAILED(hr) || !created) return false;
  return SUCCEEDED(created.queryInterface(IID_IOleObject, m_object)) && m_object;
}

void FlashControl::classifyObject() {
  ComPtr<IOleLink> link;
  if (SUCCEEDED(m_object.queryInterface(IID_IOleLink, link))) {
    m_class = ObjectClass::Link;
    return;
  }
  DWORD status = 0;
  bool isStatic = FAILED(m_object->GetMiscStatus(DVASPECT_CONTENT, &status)) || (status & OLEMISC_STATIC);
  m_class = isStatic ? ObjectClass::Static : ObjectClass::Ordinary;
}

bool FlashControl::adviseObject() {
  DWORD connection = 0;
  IAdviseSink* sink = this;
  if (FAILED(m_object->Advise(sink, &connection))) return false;
  if (FAILED(m_viewObject->SetAdvise(DVASPECT_CONTENT, ADVF_PRIMEFIRST, sink))) return false;
  m_object->SetHostNames(m_host->appName().c_str(), m_host->docName().c_str());
  return true;
}

// Without IDispatch the control is still shown; automation calls then fail.
void FlashControl::buildMemberTable() {
  if (FAILED(m_object.queryInterface(IID_IDispatch, m_dispatch)) || !m_dispatch) return;
  ComPtr<ITypeInfo> info;
  if (SUCCEEDED(m_dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) && info)
    m_members = MemberTable::build(info.get());
}

void FlashControl::show() {
  SaveObject();
  m_object->DoVerb(OLEIVERB_SHOW, nullptr, static_cast<IOleClientSite*>(this), -1, m_holderWindow, &m_position);
}

// ---- Rectangles ------------------------------------------------------------------

void FlashControl::setRectangles(const RECT& r) {
  m_position = r;
  if (m_inPlaceObject) m_inPlaceObject->SetObjectRects(&m_position, &m_position);
}

RECT FlashControl::holderClientRect() const {
  RECT r{};
  GetClientRect(m_holderWindow, &r);
  return r;
}

// The object's extent in HIMETRIC becomes the position's size in pixels.
void FlashControl::recomputeRectangle() {
  WindowDC screen(nullptr);
  int dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX), dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
  LONG width = static_cast<LONG>((static_cast<long long>(m_extent.cx) * dpiX) / kHimetricPerInch);
  LONG height = static_cast<LONG>((static_cast<long long>(m_extent.cy) * dpiY) / kHimetricPerInch);
  m_position.right = m_position.left + width;
  m_position.bottom = m_position.top + height;
}

// ---- IUnknown ---------------------------------------------------------------------

HRESULT FlashControl::QueryInterface(REFIID riid, void** ppv) {
  HRESULT hr = m_interfaces.find(riid, ppv);
  if (SUCCEEDED(hr)) AddRef();
  return hr;
}

// ---- IOleClientSite ---------------------------------------------------------------

HRESULT FlashControl::SaveObject() {
  if (!m_object) return E_FAIL;
  ComPtr<IPersistStorage> persist;
  HRESULT hr = m_object.queryInterface(IID_IPersistStorage, persist);
  if (FAILED(hr)) return hr;
  if (persist->IsDirty() == S_OK) {
    hr = OleSave(persist.get(), m_storage.get(), TRUE);
    if (SUCCEEDED(hr)) persist->SaveCompleted(nullptr);
  }
  return hr;
}

HRESULT FlashControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControl::GetContainer(IOleContainer** ppContainer) {
  if (ppContainer) *ppContainer = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControl::ShowObject() {
  InvalidateRect(m_holderWindow, nullptr, TRUE);
  return S_OK;
}

HRESULT FlashControl::OnShowWindow(BOOL) {
  InvalidateRect(m_holderWindow, nullptr, TRUE);
  return S_OK;
}

// ---- IAdviseSink --------------------------------------------------------------------

// An object without a size to tell (OLE_E_BLANK) keeps the position it was given.
void FlashControl::OnViewChange(DWORD, LONG) {
  if (!m_viewObject) return;
  SIZEL extent{};
  if (FAILED(m_viewObject->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent))) return;
  m_extent = extent;
  recomputeRectangle();
}

void FlashControl::OnSave() { InvalidateRect(m_holderWindow, nullptr, TRUE); }

void FlashControl::OnClose() { InvalidateRect(m_holderWindow, nullptr, TRUE); }

// ---- IOleInPlaceSite ----------------------------------------------------------------

HRESULT FlashControl::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = m_holderWindow;
  return S_OK;
}

HRESULT FlashControl::ContextSensitiveHelp(BOOL fEnterMode) {
  m_host->setContextHelp(fEnterMode != FALSE);
  return S_OK;
}

HRESULT FlashControl::OnInPlaceActivate() {
  if (!m_object || FAILED(m_object.queryInterface(IID_IOleInPlaceObject, m_inPlaceObject))) return E_FAIL;
  return S_OK;
}

HRESULT FlashControl::OnUIActivate() {
  m_uiActive = true;
  if (m_inPlaceObject) m_inPlaceObject->GetWindow(&m_controlWindow);
  return S_OK;
}

HRESULT FlashControl::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                       LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) {
  if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo) return E_POINTER;
  *ppFrame = nullptr;
  m_host->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(ppFrame));
  *ppDoc = nullptr;
  *lprcPosRect = m_position;
  *lprcClipRect = holderClientRect();
  lpFrameInfo->fMDIApp = FALSE;
  lpFrameInfo->hwndFrame = m_mainWindow;
  lpFrameInfo->haccel = nullptr;
  lpFrameInfo->cAccelEntries = 0;
  return S_OK;
}

HRESULT FlashControl::OnUIDeactivate(BOOL) {
  m_uiActive = false;
  m_host->realizePalette();
  m_host->SetMenu(nullptr, nullptr, nullptr);
  m_host->SetBorderSpace(nullptr);
  return S_OK;
}

HRESULT FlashControl::OnInPlaceDeactivate() {
  m_inPlaceObject.reset();
  return S_OK;
}

HRESULT FlashControl::OnPosRectChange(LPCRECT lprcPosRect) {
  if (!lprcPosRect) return E_INVALIDARG;
  SIZEL extent{};
  if (m_object && SUCCEEDED(m_object->GetExtent(DVASPECT_CONTENT, &extent))) {
    m_extent = extent;
    recomputeRectangle();
  }
  RECT clip = holderClientRect();
  if (m_inPlaceObject) m_inPlaceObject->SetObjectRects(lprcPosRect, &clip);
  return S_OK;
}

// ---- IOleControlSite ------------------------------------------------------------------

HRESULT FlashControl::GetExtendedControl(IDispatch** ppDisp) {
  if (ppDisp) *ppDisp = nullptr;
  return E_NOTIMPL;
}
