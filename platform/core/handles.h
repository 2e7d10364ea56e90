#pragma once
// The objects behind HANDLE values: open files and searches here, and
// whatever later platform areas hand out as a HANDLE (processes, events).
// A handle is a small number, never null and never INVALID_HANDLE_VALUE;
// a closed handle is refused, not reused at once.

#include <memory>

#include "platform/core/wintypes.h"

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Searches end with FindClose, not CloseHandle.
  virtual bool closedByCloseHandle() const { return true; }
};

HANDLE addKernelObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> findKernelObject(HANDLE handle);
template <class T>
std::shared_ptr<T> findKernelObjectAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(findKernelObject(handle));
}
// Forgets the handle; the object goes when its last user lets it go.
bool removeKernelObject(HANDLE handle);
// How many handles are open: a long session must not pile them up.
size_t kernelObjectCount();

// Ends any object that CloseHandle may close.
BOOL CloseHandle(HANDLE handle);
