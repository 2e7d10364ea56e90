#include "platform/core/handles.h"

#include <map>
#include <mutex>

namespace {

struct HandleTable {
  std::mutex mutex;
  std::map<ULONG_PTR, std::shared_ptr<KernelObject>> objects;
  ULONG_PTR next = 0x10000;
};

HandleTable& table() {
  static HandleTable t;
  return t;
}

}  // namespace

HANDLE addKernelObject(std::shared_ptr<KernelObject> object) {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  ULONG_PTR id = t.next;
  t.next += 4;
  t.objects.emplace(id, std::move(object));
  return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> findKernelObject(HANDLE handle) {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

size_t kernelObjectCount() {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  return t.objects.size();
}

bool removeKernelObject(HANDLE handle) {
  HandleTable& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  return t.objects.erase(reinterpret_cast<ULONG_PTR>(handle)) == 1;
}

BOOL CloseHandle(HANDLE handle) {
  auto object = findKernelObject(handle);
  if (!object || !object->closedByCloseHandle()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  removeKernelObject(handle);
  return TRUE;
}
