#pragma once
// IUnknown written once for the device's COM classes. A class derives from
// ComObject<Implements<Interface, iids...>...>: QueryInterface answers
// IID_IUnknown and each listed IID with the class's base of that interface
// (the first entry that lists an IID wins), and the object deletes itself when
// its last reference goes. It starts with one reference, its creator's.
// Header-only, so that in-process servers use it without linking the device.

#include "platform/ole/objbase.h"

// One interface of a COM class and the IIDs that answer it.
template <typename Interface, const IID&... iids>
struct Implements {
  using type = Interface;
  static bool answers(REFIID riid) { return ((riid == iids) || ...); }
};

template <typename First, typename... Rest>
class ComObject : public First::type, public Rest::type... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    bool found =
        riid == IID_IUnknown ? answerUnknown(ppv) : answer<First>(riid, ppv) || (answer<Rest>(riid, ppv) || ...);
    if (!found) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  bool answerUnknown(void** ppv) {
    *ppv = static_cast<typename First::type*>(this);
    return true;
  }
  template <typename Entry>
  bool answer(REFIID riid, void** ppv) {
    if (!Entry::answers(riid)) return false;
    *ppv = static_cast<typename Entry::type*>(this);
    return true;
  }

  ULONG m_refs = 1;
};
