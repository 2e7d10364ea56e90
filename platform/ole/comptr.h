#pragma once
// Holds one reference to a COM interface and releases it when it goes.

#include <utility>

#include "platform/ole/objbase.h"

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Adds a reference of its own.
  explicit ComPtr(T* object) : m_object(object) {
    if (m_object) m_object->AddRef();
  }
  // Takes over a reference the caller already owns (an out parameter's).
  static ComPtr adopt(T* object) {
    ComPtr p;
    p.m_object = object;
    return p;
  }
  ComPtr(const ComPtr& other) : ComPtr(other.m_object) {}
  ComPtr(ComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (T* object = std::exchange(m_object, nullptr)) object->Release();
  }
  T* get() const { return m_object; }
  T* operator->() const { return m_object; }
  explicit operator bool() const { return m_object != nullptr; }
  // Gives the reference to the caller.
  T* detach() { return std::exchange(m_object, nullptr); }
  // For out parameters: releases what is held and answers where to store.
  T** put() {
    reset();
    return &m_object;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // QueryInterface into another holder.
  template <typename U>
  HRESULT queryInterface(REFIID iid, ComPtr<U>& out) const {
    if (!m_object) return E_POINTER;
    return m_object->QueryInterface(iid, out.putVoid());
  }

 private:
  T* m_object = nullptr;
};
