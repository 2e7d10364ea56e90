#pragma once
// Reading the device registry back in tests: default values under
// HKEY_CLASSES_ROOT, class strings, the whole registry as text.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/core/registry.h"
#include "platform/core/utf8.h"
#include "platform/core/winreg.h"
#include "tests/support/testdevice.h"

// The default value of HKEY_CLASSES_ROOT\<path>, or none.
inline std::optional<std::u16string> classesDefault(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  WCHAR buffer[2048];
  DWORD size = sizeof buffer, type = 0;
  LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ || size < 2) return std::nullopt;
  return std::u16string(buffer, size / 2 - 1);
}

inline void setClassesDefault(const std::u16string& path, const std::u16string& value) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * 2));
  RegCloseKey(key);
}

// The class string a key was made with, or none when the key is missing.
inline std::optional<std::u16string> classOf(TestDevice& device, std::u16string_view path) {
  std::optional<std::u16string> found;
  device.device().registry().read([&](const RegTree& tree) -> LONG {
    const RegKey* key = &tree.root(RegRoot::ClassesRoot);
    for (size_t at = 0; key && at <= path.size();) {
      size_t end = std::min(path.find(u'\\', at), path.size());
      key = key->findSubkey(path.substr(at, end - at));
      at = end + 1;
    }
    if (key) found = key->className;
    return ERROR_SUCCESS;
  });
  return found;
}

inline std::string registryText(TestDevice& device) {
  std::string text;
  device.device().registry().read([&](const RegTree& tree) -> LONG {
    text = formatRegistry(tree);
    return ERROR_SUCCESS;
  });
  return text;
}
