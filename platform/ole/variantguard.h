#pragma once
// VARIANTs cleared when they go out of scope: VariantClear frees a BSTR and
// releases an interface, so no caller clears by hand.

#include <vector>

#include "platform/ole/oleauto.h"

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&m_value); }
  ~ScopedVariant() { VariantClear(&m_value); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT& get() { return m_value; }
  const VARIANT& get() const { return m_value; }
  VARIANT* operator->() { return &m_value; }

 private:
  VARIANT m_value;
};

// The argument slots of one call, in DISPPARAMS order, each cleared at the end.
class VariantArray {
 public:
  VariantArray() = default;
  ~VariantArray() {
    for (VARIANT& v : m_slots) VariantClear(&v);
  }
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;

  // `count` copies of `v`, which must own nothing (an empty or error VARIANT).
  void assign(size_t count, const VARIANT& v) { m_slots.assign(count, v); }
  // Takes `v` into slot `i`, clearing what was there.
  void replace(size_t i, const VARIANT& v) {
    VariantClear(&m_slots[i]);
    m_slots[i] = v;
  }
  void push_back(const VARIANT& v) { m_slots.push_back(v); }
  VARIANT* data() { return m_slots.data(); }
  size_t size() const { return m_slots.size(); }
  VARIANT& operator[](size_t i) { return m_slots[i]; }

 private:
  std::vector<VARIANT> m_slots;
};
