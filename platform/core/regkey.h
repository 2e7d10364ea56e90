#pragma once
// An open registry key that closes itself. Header-only, so that libraries
// resolving the device's calls from their host (setup libraries) can use it.

#include "platform/core/winreg.h"

class RegKeyHandle {
 public:
  RegKeyHandle() = default;
  ~RegKeyHandle() {
    if (m_key) RegCloseKey(m_key);
  }
  RegKeyHandle(const RegKeyHandle&) = delete;
  RegKeyHandle& operator=(const RegKeyHandle&) = delete;

  // Where RegOpenKeyExW / RegCreateKeyExW put the key.
  PHKEY out() { return &m_key; }
  HKEY get() const { return m_key; }
  operator HKEY() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};
