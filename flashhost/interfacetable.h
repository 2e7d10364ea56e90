#pragma once
// The interfaces an OLE object of the container answers to, in the order
// QueryInterface looks them up: IID and interface pointer pairs. The
// interfaces belong to the object that holds the table.

#include <vector>

#include "platform/ole/objbase.h"

class InterfaceTable {
 public:
  InterfaceTable() = default;
  InterfaceTable(const InterfaceTable&) = delete;
  InterfaceTable& operator=(const InterfaceTable&) = delete;
  void add(REFIID iid, IUnknown* pointer) { m_entries.push_back(Entry{iid, pointer}); }

  // QueryInterface's answer; the caller counts the reference.
  HRESULT find(REFIID iid, void** ppv) const {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const Entry& e : m_entries) {
      if (IsEqualGUID(e.iid, iid)) {
        *ppv = e.pointer;
        return S_OK;
      }
    }
    return E_NOINTERFACE;
  }

  size_t count() const { return m_entries.size(); }

 private:
  struct Entry {
    IID iid;
    IUnknown* pointer;  // an interface of the owning object
  };
  std::vector<Entry> m_entries;
};
