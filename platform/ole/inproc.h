#pragma once
// Finding a class's in-process server: the registry's
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 default value, a device path,
// mapped to the host file that holds the shared library.

#include <string>

#include "platform/ole/objbase.h"

// REGDB_E_CLASSNOTREG when the class or its InprocServer32 entry is missing,
// CO_E_DLLNOTFOUND when the named file is not on the device.
HRESULT findInprocServer(REFCLSID clsid, std::string& hostPath);

// Loads the shared library at a host path once per process and finds its
// DllGetClassObject: CO_E_DLLNOTFOUND when it cannot be loaded,
// CO_E_ERRORINDLL when it lacks the export.
HRESULT loadInprocServer(const std::string& hostPath, LPFNGETCLASSOBJECT& getClassObject);
