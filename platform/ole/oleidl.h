#pragma once
// The OLE document and control interfaces an embedding container and an
// in-place object speak to each other, with their constants.

#include "platform/core/winuser.h"
#include "platform/ole/objidl.h"
#include "platform/ole/oleauto.h"

struct LOGPALETTE;
struct FORMATETC;
struct STGMEDIUM;
struct DVTARGETDEVICE;
struct IMoniker;
struct IBindCtx;
struct IDataObject;
struct IEnumOLEVERB;
struct IEnumSTATDATA;
struct IEnumUnknown;

using HOLEMENU = HANDLE;
using RECTL = RECT;
using LPRECTL = RECTL*;
using LPCRECTL = const RECTL*;
using SIZEL = SIZE;
using LPSIZEL = SIZEL*;
using BORDERWIDTHS = RECT;
using LPBORDERWIDTHS = RECT*;
using LPCBORDERWIDTHS = const RECT*;
struct POINTL {
  LONG x;
  LONG y;
};
struct POINTF {
  float x;
  float y;
};

struct OLEINPLACEFRAMEINFO {
  UINT cb;
  BOOL fMDIApp;
  HWND hwndFrame;
  HACCEL haccel;
  UINT cAccelEntries;
};
using LPOLEINPLACEFRAMEINFO = OLEINPLACEFRAMEINFO*;
struct OLEMENUGROUPWIDTHS {
  LONG width[6];
};
using LPOLEMENUGROUPWIDTHS = OLEMENUGROUPWIDTHS*;

inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = hresult(0x80040003);
inline constexpr HRESULT OLE_E_NOCONNECTION = hresult(0x80040004);
inline constexpr HRESULT OLE_E_NOTRUNNING = hresult(0x80040005);
inline constexpr HRESULT OLE_E_BLANK = hresult(0x80040007);
inline constexpr HRESULT OLE_E_STATIC = hresult(0x8004000B);
inline constexpr HRESULT OLE_E_INVALIDRECT = hresult(0x8004000D);
inline constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = hresult(0x80040010);
inline constexpr HRESULT OLE_S_USEREG = hresult(0x00040000);
inline constexpr HRESULT DV_E_FORMATETC = hresult(0x80040064);
inline constexpr HRESULT DV_E_LINDEX = hresult(0x80040068);
inline constexpr HRESULT DV_E_DVASPECT = hresult(0x8004006B);
inline constexpr HRESULT VIEW_E_DRAW = hresult(0x80040140);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = hresult(0x80040180);
inline constexpr HRESULT OLEOBJ_E_INVALIDVERB = hresult(0x80040181);
inline constexpr HRESULT OLEOBJ_S_INVALIDVERB = hresult(0x00040180);
inline constexpr HRESULT INPLACE_E_NOTOOLSPACE = hresult(0x800401A1);

inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_OPEN = -2;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr LONG OLEIVERB_DISCARDUNDOSTATE = -6;

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD DVASPECT_THUMBNAIL = 2;
inline constexpr DWORD DVASPECT_ICON = 4;
inline constexpr DWORD DVASPECT_DOCPRINT = 8;

inline constexpr DWORD ADVF_NODATA = 0x1;
inline constexpr DWORD ADVF_PRIMEFIRST = 0x2;
inline constexpr DWORD ADVF_ONLYONCE = 0x4;
inline constexpr DWORD ADVF_DATAONSTOP = 0x40;

inline constexpr DWORD OLERENDER_NONE = 0;
inline constexpr DWORD OLERENDER_DRAW = 1;
inline constexpr DWORD OLERENDER_FORMAT = 2;
inline constexpr DWORD OLERENDER_ASIS = 3;

inline constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
inline constexpr DWORD OLEMISC_ONLYICONIC = 0x2;
inline constexpr DWORD OLEMISC_INSERTNOTREPLACE = 0x4;
inline constexpr DWORD OLEMISC_STATIC = 0x8;
inline constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
inline constexpr DWORD OLEMISC_CANLINKBYOLE1 = 0x20;
inline constexpr DWORD OLEMISC_ISLINKOBJECT = 0x40;
inline constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
inline constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
inline constexpr DWORD OLEMISC_RENDERINGISDEVICEINDEPENDENT = 0x200;
inline constexpr DWORD OLEMISC_INVISIBLEATRUNTIME = 0x400;
inline constexpr DWORD OLEMISC_ALWAYSRUN = 0x800;
inline constexpr DWORD OLEMISC_ACTSLIKEBUTTON = 0x1000;
inline constexpr DWORD OLEMISC_ACTSLIKELABEL = 0x2000;
inline constexpr DWORD OLEMISC_NOUIACTIVATE = 0x4000;
inline constexpr DWORD OLEMISC_ALIGNABLE = 0x8000;
inline constexpr DWORD OLEMISC_SIMPLEFRAME = 0x10000;
inline constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;

inline constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
inline constexpr DWORD OLECLOSE_NOSAVE = 1;
inline constexpr DWORD OLECLOSE_PROMPTSAVE = 2;
inline constexpr DWORD USERCLASSTYPE_FULL = 1;
inline constexpr DWORD USERCLASSTYPE_SHORT = 2;
inline constexpr DWORD USERCLASSTYPE_APPNAME = 3;
inline constexpr DWORD OLEWHICHMK_CONTAINER = 1;
inline constexpr DWORD OLEWHICHMK_OBJREL = 2;
inline constexpr DWORD OLEWHICHMK_OBJFULL = 3;
inline constexpr DWORD OLEGETMONIKER_ONLYIFTHERE = 1;
inline constexpr DWORD OLEGETMONIKER_FORCEASSIGN = 2;
inline constexpr DWORD OLEUPDATE_ALWAYS = 1;
inline constexpr DWORD OLEUPDATE_ONCALL = 3;

inline constexpr IID IID_IPersistStorage = oleStandardGuid(0x0000010A);
inline constexpr IID IID_IPersist = oleStandardGuid(0x0000010C);
inline constexpr IID IID_IViewObject = oleStandardGuid(0x0000010D);
inline constexpr IID IID_IAdviseSink = oleStandardGuid(0x0000010F);
inline constexpr IID IID_IOleObject = oleStandardGuid(0x00000112);
inline constexpr IID IID_IOleInPlaceObject = oleStandardGuid(0x00000113);
inline constexpr IID IID_IOleWindow = oleStandardGuid(0x00000114);
inline constexpr IID IID_IOleInPlaceUIWindow = oleStandardGuid(0x00000115);
inline constexpr IID IID_IOleInPlaceFrame = oleStandardGuid(0x00000116);
inline constexpr IID IID_IOleInPlaceActiveObject = oleStandardGuid(0x00000117);
inline constexpr IID IID_IOleClientSite = oleStandardGuid(0x00000118);
inline constexpr IID IID_IOleInPlaceSite = oleStandardGuid(0x00000119);
inline constexpr IID IID_IParseDisplayName = oleStandardGuid(0x0000011A);
inline constexpr IID IID_IOleContainer = oleStandardGuid(0x0000011B);
inline constexpr IID IID_IOleLink = oleStandardGuid(0x0000011D);
inline constexpr IID IID_IRunnableObject = oleStandardGuid(0x00000126);
inline constexpr IID IID_IViewObject2 = oleStandardGuid(0x00000127);
inline constexpr IID IID_IOleControl = {0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IOleControlSite = {
    0xB196B289, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IOleContainer;
struct IOleInPlaceActiveObject;

struct IAdviseSink : IUnknown {
  virtual void OnDataChange(FORMATETC* pFormatetc, STGMEDIUM* pStgmed) = 0;
  virtual void OnViewChange(DWORD dwAspect, LONG lindex) = 0;
  virtual void OnRename(IMoniker* pmk) = 0;
  virtual void OnSave() = 0;
  virtual void OnClose() = 0;
};

struct IOleClientSite : IUnknown {
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT GetContainer(IOleContainer** ppContainer) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL fShow) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleObject : IUnknown {
  virtual HRESULT SetClientSite(IOleClientSite* pClientSite) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** ppClientSite) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) = 0;
  virtual HRESULT Close(DWORD dwSaveOption) = 0;
  virtual HRESULT SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) = 0;
  virtual HRESULT GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) = 0;
  virtual HRESULT DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                         LPCRECT lprcPosRect) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* pClsid) = 0;
  virtual HRESULT GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) = 0;
  virtual HRESULT SetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT GetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
  virtual HRESULT Unadvise(DWORD dwConnection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) = 0;
  virtual HRESULT GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* pLogpal) = 0;
};

struct IViewObject : IUnknown {
  virtual HRESULT Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
                       HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds, BOOL (*pfnContinue)(ULONG_PTR),
                       ULONG_PTR dwContinue) = 0;
  virtual HRESULT GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hicTargetDev,
                              LOGPALETTE** ppColorSet) = 0;
  virtual HRESULT Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) = 0;
  virtual HRESULT Unfreeze(DWORD dwFreeze) = 0;
  virtual HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) = 0;
  virtual HRESULT GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) = 0;
};

struct IViewObject2 : IViewObject {
  virtual HRESULT GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) = 0;
};

struct IOleWindow : IUnknown {
  virtual HRESULT GetWindow(HWND* phwnd) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL fEnterMode) = 0;
};

struct IOleInPlaceObject : IOleWindow {
  virtual HRESULT InPlaceDeactivate() = 0;
  virtual HRESULT UIDeactivate() = 0;
  virtual HRESULT SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) = 0;
  virtual HRESULT ReactivateAndUndo() = 0;
};

struct IOleInPlaceUIWindow : IOleWindow {
  virtual HRESULT GetBorder(LPRECT lprectBorder) = 0;
  virtual HRESULT RequestBorderSpace(LPCBORDERWIDTHS pborderwidths) = 0;
  virtual HRESULT SetBorderSpace(LPCBORDERWIDTHS pborderwidths) = 0;
  virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR pszObjName) = 0;
};

struct IOleInPlaceActiveObject : IOleWindow {
  virtual HRESULT TranslateAccelerator(LPMSG lpmsg) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL fActivate) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL fActivate) = 0;
  virtual HRESULT ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) = 0;
  virtual HRESULT EnableModeless(BOOL fEnable) = 0;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
  virtual HRESULT InsertMenus(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS lpMenuWidths) = 0;
  virtual HRESULT SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) = 0;
  virtual HRESULT RemoveMenus(HMENU hmenuShared) = 0;
  virtual HRESULT SetStatusText(LPCOLESTR pszStatusText) = 0;
  virtual HRESULT EnableModeless(BOOL fEnable) = 0;
  virtual HRESULT TranslateAccelerator(LPMSG lpmsg, WORD wID) = 0;
};

struct IOleInPlaceSite : IOleWindow {
  virtual HRESULT CanInPlaceActivate() = 0;
  virtual HRESULT OnInPlaceActivate() = 0;
  virtual HRESULT OnUIActivate() = 0;
  virtual HRESULT GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                   LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) = 0;
  virtual HRESULT Scroll(SIZE scrollExtant) = 0;
  virtual HRESULT OnUIDeactivate(BOOL fUndoable) = 0;
  virtual HRESULT OnInPlaceDeactivate() = 0;
  virtual HRESULT DiscardUndoState() = 0;
  virtual HRESULT DeactivateAndUndo() = 0;
  virtual HRESULT OnPosRectChange(LPCRECT lprcPosRect) = 0;
};

struct IParseDisplayName : IUnknown {
  virtual HRESULT ParseDisplayName(IBindCtx* pbc, LPOLESTR pszDisplayName, ULONG* pchEaten, IMoniker** ppmkOut) = 0;
};

struct IOleContainer : IParseDisplayName {
  virtual HRESULT EnumObjects(DWORD grfFlags, IEnumUnknown** ppenum) = 0;
  virtual HRESULT LockContainer(BOOL fLock) = 0;
};

struct IOleControlSite : IUnknown {
  virtual HRESULT OnControlInfoChanged() = 0;
  virtual HRESULT LockInPlaceActive(BOOL fLock) = 0;
  virtual HRESULT GetExtendedControl(IDispatch** ppDisp) = 0;
  virtual HRESULT TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) = 0;
  virtual HRESULT TranslateAccelerator(MSG* pMsg, DWORD grfModifiers) = 0;
  virtual HRESULT OnFocus(BOOL fGotFocus) = 0;
  virtual HRESULT ShowPropertyFrame() = 0;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;
};

struct IPersistStorage : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT InitNew(IStorage* pStg) = 0;
  virtual HRESULT Load(IStorage* pStg) = 0;
  virtual HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) = 0;
  virtual HRESULT SaveCompleted(IStorage* pStgNew) = 0;
  virtual HRESULT HandsOffStorage() = 0;
};

struct IRunnableObject : IUnknown {
  virtual HRESULT GetRunningClass(LPCLSID lpClsid) = 0;
  virtual HRESULT Run(IBindCtx* pbc) = 0;
  virtual BOOL IsRunning() = 0;
  virtual HRESULT LockRunning(BOOL fLock, BOOL fLastUnlockCloses) = 0;
  virtual HRESULT SetContainedObject(BOOL fContained) = 0;
};

struct IOleLink : IUnknown {
  virtual HRESULT SetUpdateOptions(DWORD dwUpdateOpt) = 0;
  virtual HRESULT GetUpdateOptions(DWORD* pdwUpdateOpt) = 0;
  virtual HRESULT SetSourceMoniker(IMoniker* pmk, REFCLSID rclsid) = 0;
  virtual HRESULT GetSourceMoniker(IMoniker** ppmk) = 0;
  virtual HRESULT SetSourceDisplayName(LPCOLESTR pszStatusText) = 0;
  virtual HRESULT GetSourceDisplayName(LPOLESTR* ppszDisplayName) = 0;
  virtual HRESULT BindToSource(DWORD bindflags, IBindCtx* pbc) = 0;
  virtual HRESULT BindIfRunning() = 0;
  virtual HRESULT GetBoundSource(IUnknown** ppunk) = 0;
  virtual HRESULT UnbindSource() = 0;
  virtual HRESULT Update(IBindCtx* pbc) = 0;
};
