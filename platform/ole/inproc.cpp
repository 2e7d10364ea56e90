// Finding in-process servers in the device registry.

#include "platform/ole/inproc.h"

// The device's registry is not part of this build yet: a device without one
// has no classes registered, so every lookup answers that.
HRESULT findInprocServer(REFCLSID, std::string& hostPath) {
  hostPath.clear();
  return REGDB_E_CLASSNOTREG;
}
