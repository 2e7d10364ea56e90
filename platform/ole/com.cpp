// COM initialisation and class objects of in-process servers.

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/ole/inproc.h"
#include "platform/ole/objbase.h"

namespace {

struct ThreadState {
  int initCount = 0;
  DWORD model = COINIT_MULTITHREADED;
};
thread_local ThreadState t_com;

// Loaded servers stay loaded for the life of the process: objects they made
// may outlive any one caller, and unloading code that still has live objects
// would crash.
struct LoadedServer {
  void* handle = nullptr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
};
std::mutex g_serverLock;
std::map<std::string, LoadedServer> g_servers;

}  // namespace

HRESULT loadInprocServer(const std::string& hostPath, LPFNGETCLASSOBJECT& getClassObject) {
  std::lock_guard lock(g_serverLock);
  auto found = g_servers.find(hostPath);
  if (found == g_servers.end()) {
    void* handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return CO_E_DLLNOTFOUND;
    auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
    if (!entry) {
      dlclose(handle);
      return CO_E_ERRORINDLL;
    }
    found = g_servers.emplace(hostPath, LoadedServer{handle, entry}).first;
  }
  getClassObject = found->second.getClassObject;
  return S_OK;
}

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  if (dwCoInit != COINIT_MULTITHREADED && dwCoInit != COINIT_APARTMENTTHREADED) return E_INVALIDARG;
  if (t_com.initCount > 0) {
    if (t_com.model != dwCoInit) return RPC_E_CHANGED_MODE;
    ++t_com.initCount;
    return S_FALSE;
  }
  t_com.model = dwCoInit;
  t_com.initCount = 1;
  return S_OK;
}

void CoUninitialize() {
  if (t_com.initCount > 0) --t_com.initCount;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (pvReserved) return E_INVALIDARG;
  if (t_com.initCount == 0) return CO_E_NOTINITIALIZED;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  std::string hostPath;
  HRESULT hr = findInprocServer(rclsid, hostPath);
  if (FAILED(hr)) return hr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  hr = loadInprocServer(hostPath, getClassObject);
  if (FAILED(hr)) return hr;
  hr = getClassObject(rclsid, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_UNEXPECTED;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}
