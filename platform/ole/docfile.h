#pragma once
// A compound file held by the device: the storage tree in memory and the host
// file it is written to on every commit. Internal to the COM library.

#include <string>

#include "platform/ole/objidl.h"

// Creates the compound file at a host path, as StgCreateDocfile does once the
// device name is mapped; `name` is what the root's Stat answers.
HRESULT createDocfileAtHostPath(const std::string& hostPath, std::u16string name, DWORD grfMode, IStorage** ppstgOpen);
