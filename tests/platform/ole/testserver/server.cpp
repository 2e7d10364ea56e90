// The test server's classes. It links nothing from the device: everything it
// uses from the COM library is declared inline in the headers.

#include <atomic>
#include <string>

#include "platform/ole/comobject.h"
#include "tests/platform/ole/testserver/testserver.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<int> g_liveObjects{0};

struct Traits {
  DWORD miscStatus;
  bool persist;
  bool view;
  HRESULT initResult;
};

bool traitsOf(REFCLSID clsid, Traits& traits) {
  if (clsid == CLSID_TestFull)
    traits = {OLEMISC_ACTIVATEWHENVISIBLE, true, true, S_OK};
  else if (clsid == CLSID_TestSiteFirst)
    traits = {OLEMISC_SETCLIENTSITEFIRST, true, true, S_OK};
  else if (clsid == CLSID_TestNoPersist)
    traits = {0, false, true, S_OK};
  else if (clsid == CLSID_TestNoView)
    traits = {0, true, false, S_OK};
  else if (clsid == CLSID_TestFailInit)
    traits = {0, true, true, E_OUTOFMEMORY};
  else
    return false;
  return true;
}

// One object answering IOleObject, IPersistStorage, IViewObject2,
// IRunnableObject and the log; which of them depends on its class.
class TestObject final : public IOleObject,
                         public IPersistStorage,
                         public IViewObject2,
                         public IRunnableObject,
                         public ITestLog {
 public:
  TestObject(const CLSID& clsid, const Traits& traits) : m_clsid(clsid), m_traits(traits) { ++g_liveObjects; }
  ~TestObject() {
    if (m_site) m_site->Release();
    --g_liveObjects;
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleObject)
      *ppv = static_cast<IOleObject*>(this);
    else if (m_traits.persist && (riid == IID_IPersistStorage || riid == IID_IPersist))
      *ppv = static_cast<IPersistStorage*>(this);
    else if (m_traits.view && (riid == IID_IViewObject2 || riid == IID_IViewObject))
      *ppv = static_cast<IViewObject2*>(this);
    else if (riid == IID_IRunnableObject)
      *ppv = static_cast<IRunnableObject*>(this);
    else if (riid == IID_ITestLog)
      *ppv = static_cast<ITestLog*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

  // ITestLog
  const char* Log() override { return m_log.c_str(); }
  int LiveObjects() override { return g_liveObjects; }

  // IOleObject
  HRESULT SetClientSite(IOleClientSite* site) override {
    note("SetClientSite");
    if (site) site->AddRef();
    if (m_site) m_site->Release();
    m_site = site;
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** ppSite) override {
    if (!ppSite) return E_POINTER;
    *ppSite = m_site;
    if (m_site) m_site->AddRef();
    return S_OK;
  }
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT Close(DWORD) override { return S_OK; }
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject** ppData) override {
    if (ppData) *ppData = nullptr;
    return E_NOTIMPL;
  }
  HRESULT DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
  HRESULT EnumVerbs(IEnumOLEVERB** pp) override {
    if (pp) *pp = nullptr;
    return OLEOBJ_E_NOVERBS;
  }
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT GetUserClassID(CLSID* pClsid) override {
    if (!pClsid) return E_POINTER;
    *pClsid = m_clsid;
    return S_OK;
  }
  HRESULT GetUserType(DWORD, LPOLESTR* psz) override {
    if (psz) *psz = nullptr;
    return OLE_S_USEREG;
  }
  HRESULT SetExtent(DWORD, SIZEL* psizel) override {
    if (!psizel) return E_POINTER;
    m_extent = *psizel;
    return S_OK;
  }
  HRESULT GetExtent(DWORD, SIZEL* psizel) override {
    if (!psizel) return E_POINTER;
    *psizel = m_extent;
    return S_OK;
  }
  HRESULT Advise(IAdviseSink*, DWORD* pdwConnection) override {
    if (pdwConnection) *pdwConnection = 1;
    return S_OK;
  }
  HRESULT Unadvise(DWORD) override { return S_OK; }
  HRESULT EnumAdvise(IEnumSTATDATA** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMiscStatus(DWORD, DWORD* pdwStatus) override {
    if (!pdwStatus) return E_POINTER;
    *pdwStatus = m_traits.miscStatus;
    return S_OK;
  }
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IPersistStorage
  HRESULT GetClassID(CLSID* pClassID) override { return GetUserClassID(pClassID); }
  HRESULT IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
  HRESULT InitNew(IStorage* storage) override {
    note(storage ? "InitNew" : "InitNew null");
    if (FAILED(m_traits.initResult)) return m_traits.initResult;
    m_dirty = true;
    return storage ? S_OK : E_POINTER;
  }
  HRESULT Load(IStorage*) override { return E_NOTIMPL; }
  HRESULT Save(IStorage* storage, BOOL sameAsLoad) override {
    note(sameAsLoad ? "Save same" : "Save other");
    if (!storage) return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(u"Contents", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, 0, &stream);
    if (FAILED(hr)) return hr;
    hr = stream->Write(kTestSavedContents, sizeof kTestSavedContents - 1, nullptr);
    stream->Release();
    return hr;
  }
  HRESULT SaveCompleted(IStorage*) override {
    m_dirty = false;
    return S_OK;
  }
  HRESULT HandsOffStorage() override { return S_OK; }

  // IViewObject2
  HRESULT Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL, LPCRECTL, BOOL (*)(ULONG_PTR),
               ULONG_PTR) override {
    return S_OK;
  }
  HRESULT GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** pp) override {
    if (pp) *pp = nullptr;
    return S_FALSE;
  }
  HRESULT Freeze(DWORD, LONG, void*, DWORD* pdw) override {
    if (pdw) *pdw = 0;
    return E_NOTIMPL;
  }
  HRESULT Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
  HRESULT GetAdvise(DWORD*, DWORD*, IAdviseSink** pp) override {
    if (pp) *pp = nullptr;
    return S_OK;
  }
  HRESULT GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) override {
    if (!lpsizel) return E_POINTER;
    *lpsizel = m_extent;
    return S_OK;
  }

  // IRunnableObject
  HRESULT GetRunningClass(LPCLSID lpClsid) override { return GetUserClassID(lpClsid); }
  HRESULT Run(IBindCtx*) override {
    note("Run");
    m_running = true;
    return S_OK;
  }
  BOOL IsRunning() override { return m_running; }
  HRESULT LockRunning(BOOL, BOOL) override { return S_OK; }
  HRESULT SetContainedObject(BOOL contained) override {
    note(contained ? "SetContainedObject 1" : "SetContainedObject 0");
    return S_OK;
  }

 private:
  void note(const char* call) {
    m_log += call;
    m_log += '\n';
  }

  ULONG m_refs = 1;
  CLSID m_clsid;
  Traits m_traits;
  IOleClientSite* m_site = nullptr;
  SIZEL m_extent{2540, 1270};
  bool m_dirty = false;
  bool m_running = false;
  std::string m_log;
};

class Factory final : public ComObject<Implements<IClassFactory, IID_IClassFactory>> {
 public:
  explicit Factory(const CLSID& clsid, const Traits& traits) : m_clsid(clsid), m_traits(traits) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new TestObject(m_clsid, m_traits);
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  CLSID m_clsid;
  Traits m_traits;
};

}  // namespace

EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  Traits traits{};
  if (!traitsOf(rclsid, traits)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory(rclsid, traits);
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

EXPORT HRESULT DllCanUnloadNow() { return g_liveObjects == 0 ? S_OK : S_FALSE; }
