#pragma once
// The COM library of the device: result codes, IUnknown, class factories,
// COM initialisation and in-process servers, task memory.
//
// In-process servers are shared libraries named by the device registry under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 (a device path); they export
// `DllGetClassObject` with the C calling convention and are loaded with dlopen.

#include "platform/core/wintypes.h"
#include "platform/ole/guiddef.h"

using SCODE = LONG;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LCID = DWORD;

constexpr HRESULT hresult(std::uint32_t value) { return static_cast<HRESULT>(value); }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT HRESULT_FROM_WIN32(LONG code) {
  return code <= 0 ? static_cast<HRESULT>(code) : hresult(0x80070000u | (static_cast<std::uint32_t>(code) & 0xFFFF));
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
inline constexpr HRESULT E_POINTER = hresult(0x80004003);
inline constexpr HRESULT E_ABORT = hresult(0x80004004);
inline constexpr HRESULT E_FAIL = hresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
inline constexpr HRESULT E_HANDLE = hresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresult(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = hresult(0x80040150);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
inline constexpr HRESULT RPC_E_CHANGED_MODE = hresult(0x80010106);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = hresult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = hresult(0x800401F9);

// Execution contexts of CoCreateInstance / CoGetClassObject.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

inline constexpr IID IID_IUnknown = oleStandardGuid(0x00000000);
inline constexpr IID IID_IClassFactory = oleStandardGuid(0x00000001);

// COM interfaces are abstract classes whose virtual functions are the
// interface's methods in their published order. Objects count their own
// references; nobody deletes them through an interface pointer.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;
};
using LPCLASSFACTORY = IClassFactory*;

// Initialises COM on the calling thread: S_OK the first time, S_FALSE when it
// already was (each success needs its CoUninitialize), RPC_E_CHANGED_MODE when
// asked for the other threading model.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (braces required, hex digits in
// either case); anything else answers CO_E_CLASSSTRING and a null CLSID.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, LPGUID lpiid);
// Writes the braced upper-case form (39 characters with the terminator);
// answers the characters written, terminator included, or 0 when cchMax is short.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

// Finds the class's in-process server through the device registry, loads it
// once per process and asks its DllGetClassObject. Only in-process servers
// exist on the device: other contexts answer REGDB_E_CLASSNOTREG.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// The signatures an in-process server exports.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();

LPVOID CoTaskMemAlloc(size_t cb);
void CoTaskMemFree(LPVOID pv);
