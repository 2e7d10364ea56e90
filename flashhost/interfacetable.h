#pragma once
// The interfaces an OLE object of the container answers to, in the order
// QueryInterface looks them up: IID and interface pointer pairs kept in the
// system's pointer list. The table owns its entries, not the interfaces.

#include "base/pointerlist.h"
#include "platform/ole/objbase.h"

class InterfaceTable {
 public:
  InterfaceTable() = default;
  InterfaceTable(const InterfaceTable&) = delete;
  InterfaceTable& operator=(const InterfaceTable&) = delete;
  ~InterfaceTable() {
    for (Entry* e : m_entries) delete e;
  }

  bool add(REFIID iid, IUnknown* pointer) {
    Entry* e = new Entry{iid, pointer};
    if (m_entries.add(e)) return true;
    delete e;
    return false;
  }

  // QueryInterface's answer; the caller counts the reference.
  HRESULT find(REFIID iid, void** ppv) const {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const Entry* e : m_entries) {
      if (IsEqualGUID(e->iid, iid)) {
        *ppv = e->pointer;
        return S_OK;
      }
    }
    return E_NOINTERFACE;
  }

  size_t count() const { return m_entries.count(); }

 private:
  struct Entry {
    IID iid;
    IUnknown* pointer;  // an interface of the owning object
  };
  PointerList<Entry> m_entries;
};
