#include "app/settings.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/core/winreg.h"
#include "tests/support/testdevice.h"
#include "tests/support/zipwriter.h"

namespace {

constexpr char16_t kDataFolder[] = u"\\My Documents\\OrvelFlash";
constexpr char16_t kDefaultSkin[] = u"\\My Documents\\OrvelFlash\\skins\\default\\skin.bskn";
constexpr char16_t kDefaultPackage[] = u"\\Program Files\\OrvelFlash\\default.zskn";

// A device with the default package where the installer puts it.
struct SettingsDevice {
  TestDevice device;
  SettingsDevice() {
    EXPECT_TRUE(writeZip(device.host("Program Files/OrvelFlash/default.zskn"), {{"default/skin.bskn", "<svg/>"}}));
  }
};

HKEY openSettingsKey() {
  HKEY key = nullptr;
  DWORD disposition;
  EXPECT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
      ERROR_SUCCESS);
  return key;
}

void storeDword(LPCWSTR name, DWORD value) {
  HKEY key = openSettingsKey();
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void storeString(LPCWSTR name, const WideString& text) {
  HKEY key = openSettingsKey();
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD((text.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

std::optional<DWORD> storedDword(LPCWSTR name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD value = 0, size = sizeof value, type;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

std::optional<WideString> storedString(LPCWSTR name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  WCHAR buffer[2048];
  DWORD size = sizeof buffer, type;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ || size < 2 || buffer[size / 2 - 1] != 0) return std::nullopt;
  return WideString(buffer, size / 2 - 1);
}

Settings loaded() {
  Settings s;
  s.dataFolder = kDataFolder;
  s.load();
  return s;
}

}  // namespace

TEST(SettingsLoad, FirstRunStoresDefaultsAndTheDefaultSkin) {
  SettingsDevice d;
  Settings s = loaded();
  EXPECT_EQ(s.keyMap.serialize(), kDefaultKeyMapText);
  EXPECT_EQ(s.keyMap.bindings().size(), 7u);
  EXPECT_EQ(s.skin, kDefaultSkin);
  EXPECT_EQ(s.zipskin, kDefaultPackage);
  EXPECT_TRUE(s.showTip);
  EXPECT_FALSE(s.interact);
  EXPECT_FALSE(s.showFlashMenu);
  EXPECT_EQ(s.scanDepth, 8);
  EXPECT_EQ(storedDword(u"showTip"), 1u);
  EXPECT_EQ(storedDword(u"interact"), 0u);
  EXPECT_EQ(storedDword(u"showFlashMenu"), 0u);
  EXPECT_EQ(storedString(u"keyMapping"), WideString(kDefaultKeyMapText));
  EXPECT_EQ(storedString(u"skin"), WideString(kDefaultSkin));
  EXPECT_EQ(storedString(u"zipskin"), WideString(kDefaultPackage));

  // The key was made with the class string "DWORD".
  HKEY software;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software", 0, KEY_READ, &software), ERROR_SUCCESS);
  WCHAR name[256], className[32];
  DWORD nameLength = 256, classLength = 32;
  ASSERT_EQ(RegEnumKeyExW(software, 0, name, &nameLength, nullptr, className, &classLength, nullptr), ERROR_SUCCESS);
  RegCloseKey(software);
  EXPECT_EQ(WideString(name), u"Orvelflash");
  EXPECT_EQ(WideString(className), u"DWORD");
}

TEST(SettingsLoad, ReadsWhatIsStored) {
  const WideString longName(244, u'n');  // "\My Documents\" + 244 = 258 characters: fits
  struct Case {
    const char* what;
    std::vector<std::pair<const char16_t*, DWORD>> flags;
    std::vector<std::pair<const char16_t*, WideString>> strings;
    const char* hostSkin;  // a file to make, or null
    bool showTip, interact, showFlashMenu;
    WideString keyMap;  // serialised after load
    WideString skin;
  };
  const WideString fits = WideString(499, u' ') + u"193=131073;";     // 510 characters
  const WideString tooLong = WideString(500, u' ') + u"193=131073;";  // 511 characters
  const Case cases[] = {
      {"key without keyMapping", {}, {{u"skin", u"\\s\\a.bskn"}}, "s/a.bskn", true, false, false, u"", u"\\s\\a.bskn"},
      {"flags: any non-zero is true",
       {{u"showTip", 0}, {u"interact", 2}, {u"showFlashMenu", 0xFFFFFFFF}},
       {{u"skin", u"\\s\\a.bskn"}},
       "s/a.bskn",
       false,
       true,
       true,
       u"",
       u"\\s\\a.bskn"},
      {"stored key map, invalid pairs dropped",
       {},
       {{u"keyMapping", u"195=131074;50=131073;"}, {u"skin", u"\\s\\a.bskn"}},
       "s/a.bskn",
       true,
       false,
       false,
       u"195=131074;",
       u"\\s\\a.bskn"},
      {"empty key map",
       {},
       {{u"keyMapping", u""}, {u"skin", u"\\s\\a.bskn"}},
       "s/a.bskn",
       true,
       false,
       false,
       u"",
       u"\\s\\a.bskn"},
      {"key map of 510 characters",
       {},
       {{u"keyMapping", fits}, {u"skin", u"\\s\\a.bskn"}},
       "s/a.bskn",
       true,
       false,
       false,
       u"193=131073;",
       u"\\s\\a.bskn"},
      {"key map of 511 characters ignored",
       {},
       {{u"keyMapping", tooLong}, {u"skin", u"\\s\\a.bskn"}},
       "s/a.bskn",
       true,
       false,
       false,
       u"",
       u"\\s\\a.bskn"},
      {"deleted skin replaced", {}, {{u"skin", u"\\gone\\a.bskn"}}, nullptr, true, false, false, u"", kDefaultSkin},
      {"no skin value",
       {},
       {{u"keyMapping", u"193=131073;"}},
       nullptr,
       true,
       false,
       false,
       u"193=131073;",
       kDefaultSkin},
      {"skin of 258 characters kept",
       {},
       {{u"skin", u"\\My Documents\\" + longName}},
       nullptr,
       true,
       false,
       false,
       u"",
       u"\\My Documents\\" + longName},
      {"skin of 259 characters ignored",
       {},
       {{u"skin", u"\\My Documents\\" + longName + u"n"}},
       nullptr,
       true,
       false,
       false,
       u"",
       kDefaultSkin},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsDevice d;
    writeHostFile(d.device.host("My Documents/" + toNarrowAscii(longName)), "<svg/>");
    writeHostFile(d.device.host("My Documents/" + toNarrowAscii(longName) + "n"), "<svg/>");
    if (c.hostSkin) writeHostFile(d.device.host(c.hostSkin), "<svg/>");
    for (const auto& [name, value] : c.flags) storeDword(name, value);
    for (const auto& [name, value] : c.strings) storeString(name, value);
    Settings s = loaded();
    EXPECT_EQ(s.showTip, c.showTip);
    EXPECT_EQ(s.interact, c.interact);
    EXPECT_EQ(s.showFlashMenu, c.showFlashMenu);
    EXPECT_EQ(s.keyMap.serialize(), c.keyMap);
    EXPECT_EQ(s.skin, c.skin);
    // A replaced skin is stored at once, with its package.
    EXPECT_EQ(storedString(u"skin"), c.skin);
    if (c.skin == kDefaultSkin) {
      EXPECT_EQ(storedString(u"zipskin"), WideString(kDefaultPackage));
    }
  }
}

TEST(SettingsSave, WritesFlagsAsOneOrZero) {
  SettingsDevice d;
  storeDword(u"showTip", 2);
  storeString(u"skin", kDefaultSkin);
  writeHostFile(d.device.host("My Documents/OrvelFlash/skins/default/skin.bskn"), "<svg/>");
  Settings s = loaded();
  EXPECT_TRUE(s.showTip);
  s.keyMap.restore(BuiltInKeySet::Game);
  s.saveAll();
  EXPECT_EQ(storedDword(u"showTip"), 1u);
  EXPECT_EQ(storedString(u"keyMapping"), u"37=37;39=39;38=38;40=40;194=131078;193=131077;");
  EXPECT_EQ(storedString(u"zipskin"), u"");

  s.skin = u"\\x.bskn";
  s.zipskin = u"\\x.zskn";
  s.showFlashMenu = true;
  s.saveSkin();  // only the two paths
  EXPECT_EQ(storedString(u"skin"), u"\\x.bskn");
  EXPECT_EQ(storedString(u"zipskin"), u"\\x.zskn");
  EXPECT_EQ(storedDword(u"showFlashMenu"), 0u);
}

TEST(SettingsLoad, NoPackageLeavesTheSkinEmpty) {
  TestDevice device;
  Settings s = loaded();
  EXPECT_EQ(s.skin, u"");
  EXPECT_EQ(s.zipskin, u"");
  EXPECT_EQ(storedString(u"skin"), u"");
  EXPECT_EQ(storedString(u"keyMapping"), WideString(kDefaultKeyMapText));
}
