#pragma once
// The site of one embedded control inside the holder window, and the
// automation calls that drive the control by member name with text values.
// Made by FlashHost::createControl; deleted by its owner.

#include <initializer_list>
#include <memory>
#include <optional>

#include "base/widestring.h"
#include "flashhost/interfacetable.h"
#include "flashhost/membertable.h"
#include "platform/ole/comptr.h"
#include "platform/ole/ole2.h"

class FlashHost;

// How the embedded object was classified when it was created.
enum class ObjectClass : int { None = 0, Link = 1, Ordinary = 2, Static = 3 };

class FlashControl final : public IOleClientSite, public IAdviseSink, public IOleInPlaceSite, public IOleControlSite {
 public:
  // The storage every embedding keeps its state in, removed on release.
  static constexpr char16_t kStorageName[] = u"DocTmpFile200311.tmp";
  static constexpr DWORD kStorageMode = STGM_DELETEONRELEASE | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;

  explicit FlashControl(FlashHost* host);
  ~FlashControl();
  FlashControl(const FlashControl&) = delete;
  FlashControl& operator=(const FlashControl&) = delete;

  // Copies `r` as the position rectangle; while in-place active the object
  // gets it as both its position and its clip rectangle.
  void setRectangles(const RECT& r);
  // The control's own window (remapped keys go there).
  HWND controlWindow() const { return m_controlWindow; }

  // ---- Automation by name, all values as text.
  // Calls a method with the texts of `args` (ending at the first null entry);
  // with `result`, the result as text.
  bool invoke(WideStringView name, const WCHAR* const* args, std::optional<WideString>* result = nullptr);
  bool invoke(WideStringView name, std::initializer_list<const WCHAR*> args,
              std::optional<WideString>* result = nullptr);
  // A property's value as text; none when it cannot be read.
  std::optional<WideString> getText(WideStringView name);
  // A property's value as a decimal integer; 0 with `found` clear when missing.
  int getInteger(WideStringView name, bool* found = nullptr);
  bool putText(WideStringView name, WideStringView text);

  // IUnknown (shared by every interface)
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override { return --m_refs; }

  // IOleClientSite
  HRESULT SaveObject() override;
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
  HRESULT GetContainer(IOleContainer** ppContainer) override;
  HRESULT ShowObject() override;
  HRESULT OnShowWindow(BOOL fShow) override;
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IAdviseSink
  void OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void OnViewChange(DWORD dwAspect, LONG lindex) override;
  void OnRename(IMoniker*) override {}
  void OnSave() override;
  void OnClose() override;

  // IOleWindow, IOleInPlaceSite
  HRESULT GetWindow(HWND* phwnd) override;
  HRESULT ContextSensitiveHelp(BOOL fEnterMode) override;
  HRESULT CanInPlaceActivate() override { return S_OK; }
  HRESULT OnInPlaceActivate() override;
  HRESULT OnUIActivate() override;
  HRESULT GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                           LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
  HRESULT Scroll(SIZE) override { return S_OK; }
  HRESULT OnUIDeactivate(BOOL fUndoable) override;
  HRESULT OnInPlaceDeactivate() override;
  HRESULT DiscardUndoState() override { return E_FAIL; }
  HRESULT DeactivateAndUndo() override { return E_FAIL; }
  HRESULT OnPosRectChange(LPCRECT lprcPosRect) override;

  // IOleControlSite
  HRESULT OnControlInfoChanged() override { return S_OK; }
  HRESULT LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT GetExtendedControl(IDispatch** ppDisp) override;
  HRESULT TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  HRESULT TranslateAccelerator(MSG*, DWORD) override { return E_NOTIMPL; }
  HRESULT OnFocus(BOOL) override { return S_OK; }
  HRESULT ShowPropertyFrame() override { return E_NOTIMPL; }

  // State, for the frame and for tests.
  FlashHost* host() const { return m_host; }
  IOleObject* object() const { return m_object.get(); }
  IDispatch* dispatch() const { return m_dispatch.get(); }
  const MemberTable* memberTable() const { return m_members.get(); }
  ObjectClass objectClass() const { return m_class; }
  bool uiActive() const { return m_uiActive; }
  bool inPlaceActive() const { return m_inPlaceObject.get() != nullptr; }
  const RECT& position() const { return m_position; }
  const SIZEL& extent() const { return m_extent; }
  ULONG useCount() const { return m_refs; }

 private:
  friend class FlashHost;

  // The create steps after the site is made, in order; false ends the creation.
  bool create(REFCLSID clsid, const RECT& position);
  bool createStorage();
  bool createObject(REFCLSID clsid);
  void classifyObject();
  bool adviseObject();
  void buildMemberTable();
  void show();
  void recomputeRectangle();
  RECT holderClientRect() const;

  InterfaceTable m_interfaces;
  ULONG m_refs = 0;
  FlashHost* m_host;  // the frame: not owned, outlives its sites
  ComPtr<IStorage> m_storage;
  ComPtr<IOleObject> m_object;
  ComPtr<IViewObject2> m_viewObject;
  ComPtr<IOleInPlaceObject> m_inPlaceObject;  // while in-place active
  ComPtr<IDispatch> m_dispatch;
  std::unique_ptr<MemberTable> m_members;
  ObjectClass m_class = ObjectClass::None;
  bool m_uiActive = false;
  DWORD m_drawAspect = DVASPECT_CONTENT;
  HWND m_holderWindow;
  HWND m_mainWindow;
  RECT m_position{};
  SIZEL m_extent{};
  HWND m_controlWindow = nullptr;
};
