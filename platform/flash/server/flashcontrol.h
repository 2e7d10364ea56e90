#pragma once
// The device's Flash control: an OLE object that activates in place in a
// window of its own inside its site's window, and an IDispatch over its
// published members, which drive the movie engine. The timeline runs on a
// timer of the control's window at the movie's frame rate. One object per
// embedding; it deletes itself when its last reference goes.

#include <map>
#include <string>
#include <vector>

#include "platform/flash/movieplayer.h"
#include "platform/flash/server/flashmembers.h"
#include "platform/gdi/gdiguards.h"
#include "platform/ole/comobject.h"
#include "platform/ole/comptr.h"
#include "platform/ole/ole2.h"
#include "platform/ole/variantguard.h"

// The version the control reports (FlashVersion, its About box): 6.0.
inline constexpr LONG kFlashPlayerVersion = 0x00060000;

class FlashControlObject final : public ComObject<Implements<IOleObject, IID_IOleObject>,
                                                  Implements<IViewObject2, IID_IViewObject, IID_IViewObject2>,
                                                  Implements<IOleInPlaceObject, IID_IOleWindow, IID_IOleInPlaceObject>,
                                                  Implements<IOleInPlaceActiveObject, IID_IOleInPlaceActiveObject>,
                                                  Implements<IPersistStorage, IID_IPersist, IID_IPersistStorage>,
                                                  Implements<IDispatch, IID_IDispatch, IID_IShockwaveFlash>> {
 public:
  // A new object with one reference.
  static FlashControlObject* create();

  // IOleObject
  HRESULT SetClientSite(IOleClientSite* pClientSite) override;
  HRESULT GetClientSite(IOleClientSite** ppClientSite) override;
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT Close(DWORD dwSaveOption) override;
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject** ppDataObject) override;
  HRESULT DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                 LPCRECT lprcPosRect) override;
  HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT GetUserClassID(CLSID* pClsid) override;
  HRESULT GetUserType(DWORD, LPOLESTR* pszUserType) override;
  HRESULT SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
  HRESULT Unadvise(DWORD dwConnection) override;
  HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
  HRESULT GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IViewObject2
  HRESULT Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev, HDC hdcDraw,
               LPCRECTL lprcBounds, LPCRECTL lprcWBounds, BOOL (*pfnContinue)(ULONG_PTR),
               ULONG_PTR dwContinue) override;
  HRESULT GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) override;
  HRESULT Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) override;
  HRESULT Unfreeze(DWORD) override { return OLE_E_NOCONNECTION; }
  HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
  HRESULT GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
  HRESULT GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT GetWindow(HWND* phwnd) override;
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
  HRESULT InPlaceDeactivate() override;
  HRESULT UIDeactivate() override;
  HRESULT SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
  HRESULT ReactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT TranslateAccelerator(LPMSG) override { return S_FALSE; }
  HRESULT OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT EnableModeless(BOOL) override { return S_OK; }

  // IPersistStorage
  HRESULT GetClassID(CLSID* pClassID) override { return GetUserClassID(pClassID); }
  HRESULT IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
  HRESULT InitNew(IStorage* pStg) override;
  HRESULT Load(IStorage* pStg) override;
  HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) override;
  HRESULT SaveCompleted(IStorage* pStgNew) override;
  HRESULT HandsOffStorage() override;

  // IDispatch
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                 EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // The engine, for the device's state dump and for tests.
  const swf::MoviePlayer& player() const { return m_player; }
  // The movie's path on the device as the last Movie put named it ("" when
  // the URL was not a file URL).
  const std::u16string& moviePath() const { return m_moviePath; }
  bool menuEnabled() const { return m_menu; }
  HWND window() const { return m_window; }
  // How many times the window was painted (repaints happen only on change).
  int paintCount() const { return m_paintCount; }

 private:
  FlashControlObject();
  ~FlashControlObject() override;

  HRESULT activateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);
  bool createWindow(HWND parent, const RECT& position);
  static LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void paint();
  void renderInto(HDC dc, const RECTL& bounds, POINT offset);
  void changed();  // the movie's picture may have changed: repaint if it did
  void onPen(UINT message, POINT at);
  void onTimer();
  void updateTimer();  // runs the frame timer while a movie is loaded
  void openMovie(const std::u16string& url);
  // The control's own menu, opened by a held tap while Menu is true.
  void showMenu(POINT client);
  HMENU buildMenu() const;
  void runMenuCommand(UINT command);

  HRESULT invokeProperty(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr);
  HRESULT invokeMethod(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argErr);
  HRESULT readArguments(DISPID id, DISPPARAMS* params, VariantArray& args, UINT* argErr);
  // The methods' handlers.
  HRESULT timelineChanged();
  HRESULT stepTimeline(DISPID id);
  HRESULT gotoFrame(LONG frame);
  HRESULT gotoLabel(const std::u16string& label);
  HRESULT setPlaying(bool playing);
  HRESULT zoomBy(int percent);
  HRESULT loadMovie(int level, const std::u16string& url);
  HRESULT setVariable(const std::u16string& name, const std::u16string& value);
  HRESULT getVariable(const std::u16string& name, VARIANT* result) const;
  HRESULT getRootProperty(int index, VARIANT* result, bool asNumber) const;
  HRESULT putProperty(DISPID id, const VARIANT& value);
  HRESULT getProperty(DISPID id, VARIANT& result) const;
  HRESULT setRootProperty(int index, const VARIANT& value, UINT* argErr);
  HRESULT rootProperty(int index, double& value) const;

  ComPtr<IOleClientSite> m_site;
  ComPtr<IOleInPlaceSite> m_inPlaceSite;  // while in-place active
  ComPtr<IOleInPlaceFrame> m_frame;       // while UI-active
  ComPtr<IAdviseSink> m_oleSink;
  ComPtr<IAdviseSink> m_viewSink;
  DWORD m_viewAspects = 0;
  DWORD m_viewAdvf = 0;
  ComPtr<ITypeInfo> m_typeInfo;
  SIZEL m_extent;  // HIMETRIC
  HWND m_window = nullptr;
  bool m_uiActive = false;
  bool m_dirty = false;

  RECT m_position{};       // in the site window, as the container placed it
  UINT m_timerPeriod = 0;  // 0 while no frame timer runs
  DWORD m_lastTick = 0;
  int m_paintCount = 0;
  // The bitmap the movie is rendered into and shown from, kept from one
  // paint to the next while its size stays.
  GdiObject<HBITMAP> m_frameBitmap;
  SIZE m_frameSize{};

  swf::MoviePlayer m_player;
  // Published properties the engine does not keep.
  std::u16string m_movie, m_moviePath;
  std::u16string m_base, m_wmode = u"Window", m_salign, m_scale = u"ShowAll", m_quality2 = u"High";
  int m_quality = 1, m_scaleMode = 0;
  bool m_menu = true, m_deviceFont = false, m_embedMovie = false;
  std::map<std::u16string, std::u16string> m_variables;
};

// The device path a Movie URL names: "file://" or "file:///" and a path with
// backslashes or slashes, or a bare device path. Empty for other URLs.
std::u16string moviePathOfUrl(std::u16string_view url);

// The server's class objects, as DllGetClassObject answers them.
HRESULT flashGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
