// The OLE library calls of an embedding container.

#include <map>
#include <mutex>

#include "platform/ole/comptr.h"
#include "platform/ole/ole2.h"

namespace {

DWORD miscStatusOf(IOleObject* object) {
  DWORD status = 0;
  if (FAILED(object->GetMiscStatus(DVASPECT_CONTENT, &status))) status = 0;
  return status;
}

// In-process objects run as soon as they exist unless they say otherwise
// through IRunnableObject.
HRESULT runObject(IUnknown* object) {
  ComPtr<IRunnableObject> runnable;
  if (FAILED(object->QueryInterface(IID_IRunnableObject, runnable.putVoid()))) return S_OK;
  return runnable->IsRunning() ? S_OK : runnable->Run(nullptr);
}

struct MenuDescriptor {
  HOLEMENU menu;
  HWND activeObjectWindow;
  IOleInPlaceFrame* frame;                // not owned: valid while installed
  IOleInPlaceActiveObject* activeObject;  // not owned: valid while installed
};

std::mutex g_menuLock;
std::map<HWND, MenuDescriptor> g_menuDescriptors;

}  // namespace

HRESULT OleCreate(REFCLSID rclsid, REFIID riid, DWORD renderopt, FORMATETC* pFormatEtc, IOleClientSite* pClientSite,
                  IStorage* pStg, LPVOID* ppvObj) {
  if (!ppvObj) return E_INVALIDARG;
  *ppvObj = nullptr;
  if (renderopt != OLERENDER_NONE && renderopt != OLERENDER_DRAW) return E_NOTIMPL;
  (void)pFormatEtc;  // drawing needs no format

  ComPtr<IUnknown> object;
  HRESULT hr = CoCreateInstance(rclsid, nullptr, CLSCTX_INPROC_SERVER, riid, object.putVoid());
  if (FAILED(hr)) return hr;

  ComPtr<IOleObject> oleObject;
  DWORD status = 0;
  if (pClientSite) {
    hr = object->QueryInterface(IID_IOleObject, oleObject.putVoid());
    if (FAILED(hr)) return hr;
    status = miscStatusOf(oleObject.get());
    if (status & OLEMISC_SETCLIENTSITEFIRST) {
      hr = oleObject->SetClientSite(pClientSite);
      if (FAILED(hr)) return hr;
    }
  }
  if (pStg) {
    ComPtr<IPersistStorage> persist;
    hr = object->QueryInterface(IID_IPersistStorage, persist.putVoid());
    if (FAILED(hr)) return hr;
    hr = persist->InitNew(pStg);
    if (FAILED(hr)) return hr;
  }
  if (oleObject && !(status & OLEMISC_SETCLIENTSITEFIRST)) {
    hr = oleObject->SetClientSite(pClientSite);
    if (FAILED(hr)) return hr;
  }
  if (renderopt == OLERENDER_DRAW) {
    hr = runObject(object.get());
    if (FAILED(hr)) return hr;
  }
  *ppvObj = object.detach();
  return S_OK;
}

HRESULT OleSetContainedObject(IUnknown* pUnknown, BOOL fContained) {
  if (!pUnknown) return E_INVALIDARG;
  ComPtr<IRunnableObject> runnable;
  if (FAILED(pUnknown->QueryInterface(IID_IRunnableObject, runnable.putVoid()))) return S_OK;
  return runnable->SetContainedObject(fContained);
}

HRESULT OleSave(IPersistStorage* pPS, IStorage* pStg, BOOL fSameAsLoad) {
  if (!pPS || !pStg) return E_INVALIDARG;
  CLSID clsid{};
  HRESULT hr = pPS->GetClassID(&clsid);
  if (SUCCEEDED(hr)) hr = WriteClassStg(pStg, clsid);
  if (FAILED(hr)) return hr;
  hr = pPS->Save(pStg, fSameAsLoad);
  if (FAILED(hr)) return hr;
  // A save whose data never reached the file is not a save.
  return pStg->Commit(STGC_DEFAULT);
}

HRESULT OleSetMenuDescriptor(HOLEMENU holemenu, HWND hwndFrame, HWND hwndActiveObject, IOleInPlaceFrame* lpFrame,
                             IOleInPlaceActiveObject* lpActiveObj) {
  std::lock_guard lock(g_menuLock);
  if (!holemenu) {
    if (hwndFrame) g_menuDescriptors.erase(hwndFrame);
    return S_OK;
  }
  if (!hwndFrame || !hwndActiveObject) return E_INVALIDARG;
  g_menuDescriptors[hwndFrame] = {holemenu, hwndActiveObject, lpFrame, lpActiveObj};
  return S_OK;
}
