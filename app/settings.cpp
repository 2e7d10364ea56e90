#include "app/settings.h"

#include <vector>

#include "app/skinpackages.h"
#include "platform/core/winbase.h"
#include "platform/core/regkey.h"

namespace {

enum class OptionKind { Flag, Path, KeyMap };

// One stored option: its value name under the settings key, what it holds
// and where it lives. Defaults are the members' own initialisers.
struct SettingsOption {
  const char16_t* name;
  OptionKind kind;
  bool Settings::*flag = nullptr;
  WideString Settings::*path = nullptr;
};

// Walked in this order by load and by saveAll.
constexpr SettingsOption kOptions[] = {
    {u"showTip", OptionKind::Flag, &Settings::showTip},
    {u"interact", OptionKind::Flag, &Settings::interact},
    {u"showFlashMenu", OptionKind::Flag, &Settings::showFlashMenu},
    {u"skin", OptionKind::Path, nullptr, &Settings::skin},
    {u"zipskin", OptionKind::Path, nullptr, &Settings::zipskin},
    {u"keyMapping", OptionKind::KeyMap},
};

bool openForReading(RegKeyHandle& key) {
  return RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

bool createOrOpen(RegKeyHandle& key) {
  WCHAR className[] = u"DWORD";
  DWORD disposition = 0;
  return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, className, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         nullptr, key.out(), &disposition) == ERROR_SUCCESS;
}

// The 4-byte value, or false when it cannot be read (the stored type is not
// looked at).
bool readFlag(HKEY key, LPCWSTR name, bool& flag) {
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS)
    return false;
  flag = value != 0;
  return true;
}

// A string that fits `bytes` bytes; a longer one fails to read. Only the
// bytes the registry filled are taken, up to the first null.
bool readString(HKEY key, LPCWSTR name, unsigned bytes, WideString& text) {
  std::vector<WCHAR> buffer(bytes / sizeof(WCHAR) + 1, 0);
  DWORD size = bytes, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
    return false;
  WideStringView filled(buffer.data(), std::min<size_t>(size / sizeof(WCHAR), buffer.size()));
  text = filled.substr(0, filled.find(u'\0'));
  return true;
}

void writeFlag(HKEY key, LPCWSTR name, bool flag) {
  DWORD value = flag ? 1 : 0;
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void writeString(HKEY key, LPCWSTR name, const WideString& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

void loadOption(HKEY key, const SettingsOption& option, Settings& settings) {
  WideString text;
  switch (option.kind) {
    case OptionKind::Flag:
      readFlag(key, option.name, settings.*option.flag);
      return;
    case OptionKind::Path:
      if (!readString(key, option.name, Settings::kPathBytes, text)) return;
      settings.*option.path = text;
      settings.checkSkin();
      return;
    case OptionKind::KeyMap:
      if (readString(key, option.name, Settings::kKeyMappingBytes, text) && !text.empty()) settings.keyMap.parse(text);
      return;
  }
}

void saveOption(HKEY key, const SettingsOption& option, const Settings& settings) {
  switch (option.kind) {
    case OptionKind::Flag:
      return writeFlag(key, option.name, settings.*option.flag);
    case OptionKind::Path:
      return writeString(key, option.name, settings.*option.path);
    case OptionKind::KeyMap:
      return writeString(key, option.name, settings.keyMap.serialize());
  }
}

}  // namespace

Settings& settings() {
  static Settings instance;
  return instance;
}

void Settings::load() {
  RegKeyHandle key;
  if (!openForReading(key)) {
    keyMap.parse(kDefaultKeyMapText);
    installDefaultSkin(*this);
    saveAll();
    return;
  }
  for (const SettingsOption& option : kOptions) loadOption(key, option, *this);
  if (skin.empty()) {
    installDefaultSkin(*this);
    saveSkin();
  }
}

void Settings::saveAll() const {
  RegKeyHandle key;
  if (!createOrOpen(key)) return;
  for (const SettingsOption& option : kOptions) saveOption(key, option, *this);
}

// The paths are the only options saved on their own.
void Settings::saveSkin() const {
  RegKeyHandle key;
  if (!createOrOpen(key)) return;
  for (const SettingsOption& option : kOptions)
    if (option.kind == OptionKind::Path) saveOption(key, option, *this);
}

void Settings::checkSkin() {
  if (GetFileAttributesW(skin.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  installDefaultSkin(*this);
  saveSkin();
}
