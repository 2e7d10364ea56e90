#include "app/settings.h"

#include <vector>

#include "app/skinpackages.h"
#include "platform/core/winbase.h"
#include "platform/core/winreg.h"

namespace {

// Closes a registry key when it goes out of scope.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (m_key) RegCloseKey(m_key);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool openForReading() { return RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &m_key) == ERROR_SUCCESS; }
  bool createOrOpen() {
    WCHAR className[] = u"DWORD";
    DWORD disposition = 0;
    return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, className, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &m_key, &disposition) == ERROR_SUCCESS;
  }

  // The 4-byte value, or false when it cannot be read (the stored type is
  // not looked at).
  bool readFlag(LPCWSTR name, bool& flag) const {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS)
      return false;
    flag = value != 0;
    return true;
  }
  // A string that fits `bytes` bytes; a longer one fails to read. Only the
  // bytes the registry filled are taken, up to the first null.
  bool readString(LPCWSTR name, unsigned bytes, WideString& text) const {
    std::vector<WCHAR> buffer(bytes / sizeof(WCHAR) + 1, 0);
    DWORD size = bytes, type = 0;
    if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
      return false;
    WideStringView filled(buffer.data(), std::min<size_t>(size / sizeof(WCHAR), buffer.size()));
    text = filled.substr(0, filled.find(u'\0'));
    return true;
  }

  void writeFlag(LPCWSTR name, bool flag) const {
    DWORD value = flag ? 1 : 0;
    RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  void writeString(LPCWSTR name, const WideString& text) const {
    RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }

 private:
  HKEY m_key = nullptr;
};

void writeSkinPaths(const RegistryKey& key, const Settings& settings) {
  key.writeString(u"skin", settings.skin);
  key.writeString(u"zipskin", settings.zipskin);
}

}  // namespace

Settings& settings() {
  static Settings instance;
  return instance;
}

void Settings::load() {
  RegistryKey key;
  if (!key.openForReading()) {
    keyMap.parse(kDefaultKeyMapText);
    installDefaultSkin(*this);
    saveAll();
    return;
  }
  key.readFlag(u"showTip", showTip);
  key.readFlag(u"interact", interact);
  key.readFlag(u"showFlashMenu", showFlashMenu);
  WideString text;
  if (key.readString(u"keyMapping", kKeyMappingBytes, text) && !text.empty()) keyMap.parse(text);
  if (key.readString(u"skin", kPathBytes, text)) {
    skin = text;
    checkSkin();
  }
  if (key.readString(u"zipskin", kPathBytes, text)) {
    zipskin = text;
    checkSkin();
  }
  if (skin.empty()) {
    installDefaultSkin(*this);
    saveSkin();
  }
}

void Settings::saveAll() const {
  RegistryKey key;
  if (!key.createOrOpen()) return;
  key.writeFlag(u"showTip", showTip);
  key.writeFlag(u"interact", interact);
  key.writeFlag(u"showFlashMenu", showFlashMenu);
  writeSkinPaths(key, *this);
  key.writeString(u"keyMapping", keyMap.serialize());
}

void Settings::saveSkin() const {
  RegistryKey key;
  if (!key.createOrOpen()) return;
  writeSkinPaths(key, *this);
}

void Settings::checkSkin() {
  if (GetFileAttributesW(skin.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  installDefaultSkin(*this);
  saveSkin();
}
