// Finding in-process servers in the device registry.

#include "platform/ole/inproc.h"

#include <algorithm>

#include "platform/core/device.h"
#include "platform/core/devicepath.h"
#include "platform/core/regkey.h"
#include "platform/core/winreg.h"

HRESULT findInprocServer(REFCLSID clsid, std::string& hostPath) {
  hostPath.clear();
  WCHAR guid[39];
  StringFromGUID2(clsid, guid, 39);
  std::u16string keyName = u"CLSID\\" + std::u16string(guid) + u"\\InprocServer32";
  RegKeyHandle key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
    return REGDB_E_CLASSNOTREG;
  WCHAR path[MAX_PATH] = {};
  DWORD type = 0;
  DWORD size = sizeof path - sizeof(WCHAR);
  LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(path), &size);
  if (result != ERROR_SUCCESS || type != REG_SZ) return REGDB_E_CLASSNOTREG;
  path[std::min<DWORD>(size / sizeof(WCHAR), MAX_PATH - 1)] = 0;
  if (!path[0]) return REGDB_E_CLASSNOTREG;
  Device* device = currentDevice();
  ResolvedPath resolved;
  if (!device || resolveDevicePath(*device, path, resolved) != ERROR_SUCCESS || !resolved.exists ||
      resolved.isDirectory)
    return CO_E_DLLNOTFOUND;
  hostPath = resolved.host;
  return S_OK;
}
