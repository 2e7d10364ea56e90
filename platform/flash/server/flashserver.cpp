// The Flash control's in-process server entry points.

#include "platform/flash/server/flashcontrol.h"
#include "platform/flash/server/flashmembers.h"
#include "platform/ole/comobject.h"

#define FLASH_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class FlashFactory final : public ComObject<Implements<IClassFactory, IID_IClassFactory>> {
 public:
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    FlashControlObject* object = FlashControlObject::create();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

HRESULT flashGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!(rclsid == CLSID_ShockwaveFlash)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new FlashFactory();
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

FLASH_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return flashGetClassObject(rclsid, riid, ppv);
}

// Live objects keep the server's code in use; the device keeps servers loaded
// for the life of the process anyway.
FLASH_EXPORT HRESULT DllCanUnloadNow() { return S_FALSE; }
