#pragma once
// The OLE container the player embeds the Flash control with. `FlashHost` is
// the frame, standing for the main window; each `FlashControl` is the site of
// one embedded object, standing for the holder window, and carries the
// automation calls that drive the control by member name.
//
// Both objects count references but never delete themselves: the Player owns
// the FlashHost, and the FlashHost owns its sites, which go before it.

#include <memory>
#include <optional>

#include "base/ownerlist.h"
#include "base/widestring.h"
#include "flashhost/interfacetable.h"
#include "flashhost/membertable.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"
#include "platform/ole/comptr.h"
#include "platform/ole/ole2.h"

class FlashControl;

class FlashHost final : public IOleInPlaceFrame, public IOleContainer, public IErrorInfo {
 public:
  static constexpr size_t kMaxNameLength = 256;

  FlashHost(HWND mainWindow, HWND holderWindow, LPCWSTR appName, LPCWSTR docName);
  ~FlashHost();
  FlashHost(const FlashHost&) = delete;
  FlashHost& operator=(const FlashHost&) = delete;

  // Creates, sites, advises and shows the object of the class named by
  // `clsidText` (8-bit, braced) at `position` (pixels in the holder window).
  // Null when the class text does not parse or the object cannot be made,
  // stored, viewed or advised. The host owns the site it answers.
  FlashControl* createControl(const char* clsidText, const RECT& position);
  // Ends one of this host's sites before the host goes: its object leaves
  // in-place activity and its storage goes.
  void destroySite(FlashControl* site);

  // IUnknown (shared by every interface)
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override { return --m_refs; }

  // IOleWindow, IOleInPlaceUIWindow, IOleInPlaceFrame
  HRESULT GetWindow(HWND* phwnd) override;
  HRESULT ContextSensitiveHelp(BOOL fEnterMode) override;
  HRESULT GetBorder(LPRECT lprectBorder) override;
  HRESULT RequestBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT SetBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
  HRESULT SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR pszObjName) override;
  HRESULT InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) override;
  HRESULT RemoveMenus(HMENU hmenuShared) override;
  HRESULT SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT EnableModeless(BOOL) override { return S_OK; }
  HRESULT TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IParseDisplayName, IOleContainer
  HRESULT ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** ppmkOut) override;
  HRESULT EnumObjects(DWORD, IEnumUnknown** ppenum) override;
  HRESULT LockContainer(BOOL) override { return S_OK; }

  // IErrorInfo
  HRESULT GetGUID(GUID*) override { return E_NOTIMPL; }
  HRESULT GetSource(BSTR*) override { return E_NOTIMPL; }
  HRESULT GetDescription(BSTR*) override { return E_NOTIMPL; }
  HRESULT GetHelpFile(BSTR*) override { return E_NOTIMPL; }
  HRESULT GetHelpContext(DWORD*) override { return E_NOTIMPL; }

  HWND mainWindow() const { return m_mainWindow; }
  HWND holderWindow() const { return m_holderWindow; }
  const WideString& appName() const { return m_appName; }
  const WideString& docName() const { return m_docName; }
  bool contextHelp() const { return m_contextHelp; }
  void setContextHelp(bool on) { m_contextHelp = on; }
  const OwnerList<FlashControl>& sites() const { return m_sites; }
  IOleInPlaceActiveObject* activeObject() const { return m_activeObject.get(); }
  HWND activeObjectWindow() const { return m_activeWindow; }
  HPALETTE palette() const { return m_palette.get(); }
  ULONG useCount() const { return m_refs; }

  // Realises the palette when the control leaves UI activity (nothing without one).
  void realizePalette();

 private:
  static HPALETTE createPalette();

  InterfaceTable m_interfaces;
  ULONG m_refs = 0;
  OwnerList<FlashControl> m_sites;
  HWND m_mainWindow;
  HWND m_holderWindow;
  WideString m_appName;
  WideString m_docName;
  bool m_contextHelp = false;
  ComPtr<IOleInPlaceActiveObject> m_activeObject;
  HWND m_activeWindow = nullptr;
  GdiObject<HPALETTE> m_palette;
};
