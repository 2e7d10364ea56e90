#include "platform/core/winreg.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/device.h"
#include "platform/core/registry.h"

namespace {

// What a key handle names: a root and the path of names below it.
struct KeyPath {
  RegRoot root;
  std::vector<std::u16string> names;
};

class KeyTable {
 public:
  HKEY add(KeyPath path) {
    std::lock_guard<std::mutex> guard(m_mutex);
    ULONG_PTR id = m_next;
    m_next += 4;
    m_keys.emplace(id, std::move(path));
    return reinterpret_cast<HKEY>(id);
  }
  bool find(HKEY key, KeyPath& path) {
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value <= 0x80000002u) {
      path = KeyPath{static_cast<RegRoot>(value - 0x80000000u), {}};
      return true;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_keys.find(value);
    if (it == m_keys.end()) return false;
    path = it->second;
    return true;
  }
  bool remove(HKEY key) {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_keys.erase(reinterpret_cast<ULONG_PTR>(key)) == 1;
  }

 private:
  std::mutex m_mutex;
  std::map<ULONG_PTR, KeyPath> m_keys;
  ULONG_PTR m_next = 0x1000;
};

KeyTable& keys() {
  static KeyTable table;
  return table;
}

bool isPredefined(HKEY key) {
  auto value = reinterpret_cast<ULONG_PTR>(key);
  return value >= 0x80000000u && value <= 0x80000002u;
}

std::u16string_view viewOf(LPCWSTR text) {
  if (!text) return {};
  size_t n = 0;
  while (text[n]) ++n;
  return {text, n};
}

// Splits "a\b\c" into names; empty names (doubled or edge backslashes) are
// skipped as the device does. False for a name that is too long.
bool splitSubKey(LPCWSTR subKey, std::vector<std::u16string>& names) {
  std::u16string_view rest = viewOf(subKey);
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view name = rest.substr(0, cut);
    if (name.size() > kMaxRegKeyName) return false;
    if (!name.empty()) names.emplace_back(name);
    rest.remove_prefix(cut == std::u16string_view::npos ? rest.size() : cut + 1);
  }
  return true;
}

const RegKey* walk(const RegTree& tree, const KeyPath& path) {
  const RegKey* key = &tree.root(path.root);
  for (const auto& name : path.names)
    if (!(key = key->findSubkey(name))) return nullptr;
  return key;
}

RegKey* walk(RegTree& tree, const KeyPath& path) { return const_cast<RegKey*>(walk(std::as_const(tree), path)); }

RegistryStore* storeOrNull() {
  Device* device = currentDevice();
  return device ? &device->registry() : nullptr;
}

// Runs a read on the key named by `key`, with the device's error codes for
// a bad handle or a key deleted meanwhile.
template <class F>
LONG readKey(HKEY key, F action) {
  KeyPath path;
  if (!keys().find(key, path)) return ERROR_INVALID_HANDLE;
  RegistryStore* store = storeOrNull();
  if (!store) return ERROR_CANTREAD;
  return store->read([&](const RegTree& tree) -> LONG {
    const RegKey* found = walk(tree, path);
    return found ? action(*found) : ERROR_KEY_DELETED;
  });
}

template <class F>
LONG modifyKey(HKEY key, F action) {
  KeyPath path;
  if (!keys().find(key, path)) return ERROR_INVALID_HANDLE;
  RegistryStore* store = storeOrNull();
  if (!store) return ERROR_CANTWRITE;
  return store->modify([&](RegTree& tree, bool& changed) -> LONG {
    RegKey* found = walk(tree, path);
    return found ? action(*found, changed) : ERROR_KEY_DELETED;
  });
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyPath path;
  if (!keys().find(key, path)) return ERROR_INVALID_HANDLE;
  std::vector<std::u16string> names;
  if (!splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  RegistryStore* store = storeOrNull();
  if (!store) return ERROR_CANTREAD;
  LONG status = store->read([&](const RegTree& tree) -> LONG {
    const RegKey* at = walk(tree, path);
    if (!at) return ERROR_KEY_DELETED;
    for (const auto& name : names) {
      if (!(at = at->findSubkey(name))) return ERROR_FILE_NOT_FOUND;
      path.names.push_back(at->name);
    }
    return ERROR_SUCCESS;
  });
  if (status == ERROR_SUCCESS) *result = keys().add(std::move(path));
  return status;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR className, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyPath path;
  if (!keys().find(key, path)) return ERROR_INVALID_HANDLE;
  std::vector<std::u16string> names;
  if (!splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  bool createdLast = false;
  LONG status = modifyKey(key, [&](RegKey& at, bool& changed) -> LONG {
    RegKey* current = &at;
    for (const auto& name : names) {
      current = &current->subkey(name, createdLast);
      changed = changed || createdLast;
      path.names.push_back(current->name);
    }
    if (createdLast && className) current->className = viewOf(className);
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  if (disposition) *disposition = createdLast ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = keys().add(std::move(path));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (isPredefined(key)) return ERROR_SUCCESS;
  return keys().remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  return readKey(key, [&](const RegKey& at) -> LONG {
    const RegValue* value = at.findValue(viewOf(valueName));
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    auto needed = static_cast<DWORD>(value->data.size());
    if (!size) return ERROR_SUCCESS;
    if (data && *size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (data) std::copy(value->data.begin(), value->data.end(), data);
    *size = needed;
    return ERROR_SUCCESS;
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && size != 4) return ERROR_INVALID_PARAMETER;
  std::u16string_view name = viewOf(valueName);
  if (name.size() > kMaxRegKeyName) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(data, data + size);
  return modifyKey(key, [&](RegKey& at, bool& changed) -> LONG {
    const RegValue* existing = at.findValue(name);
    changed = !existing || existing->type != type || existing->data != bytes;
    if (changed) at.setValue(name, type, std::move(bytes));
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR className,
                   LPDWORD classLength, FILETIME* lastWriteTime) {
  if (!name || !nameLength) return ERROR_INVALID_PARAMETER;
  return readKey(key, [&](const RegKey& at) -> LONG {
    if (index >= at.subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegKey& sub = *at.subkeys[index];
    if (*nameLength < sub.name.size() + 1) return ERROR_MORE_DATA;
    if (className && classLength && *classLength < sub.className.size() + 1) return ERROR_MORE_DATA;
    std::copy(sub.name.begin(), sub.name.end(), name);
    name[sub.name.size()] = 0;
    *nameLength = static_cast<DWORD>(sub.name.size());
    if (className && classLength) {
      std::copy(sub.className.begin(), sub.className.end(), className);
      className[sub.className.size()] = 0;
      *classLength = static_cast<DWORD>(sub.className.size());
    }
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return modifyKey(key, [&](RegKey& at, bool& changed) -> LONG {
    changed = at.removeValue(viewOf(valueName));
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  std::vector<std::u16string> names;
  if (!splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  if (names.empty()) return ERROR_ACCESS_DENIED;  // a key cannot delete itself through its own handle
  return modifyKey(key, [&](RegKey& at, bool& changed) -> LONG {
    RegKey* parent = &at;
    for (size_t i = 0; i + 1 < names.size(); ++i)
      if (!(parent = parent->findSubkey(names[i]))) return ERROR_FILE_NOT_FOUND;
    changed = parent->removeSubkey(names.back());
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegFlushKey(HKEY key) {
  return readKey(key, [](const RegKey&) -> LONG { return ERROR_SUCCESS; });
}
