#include "app/filetype.h"

#include <initializer_list>

#include "platform/core/regkey.h"
#include "platform/core/wcrt.h"
#include "platform/core/winreg.h"

namespace {

// Keys made here carry this class string, as the rest of the player's keys do.
constexpr WCHAR kKeyClass[] = u"DWORD";
constexpr WCHAR kOpenCommandKey[] = u"\\Shell\\Open\\Command";
constexpr WCHAR kDefaultIconKey[] = u"\\DefaultIcon";
constexpr DWORD kKeyNameChars = 255;
// Values are read into 255 bytes: a longer value reads as absent.
constexpr DWORD kValueBytes = 255;

// A REG_SZ value read into the 255-byte buffer; false when it is missing,
// of another type, empty or does not fit.
bool readDefaultString(HKEY key, WCHAR (&text)[kValueBytes / 2 + 1]) {
  DWORD type = 0, size = kValueBytes;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    text[0] = 0;
    return false;
  }
  text[size / sizeof(WCHAR)] = 0;  // a value stored without its terminator
  return text[0] != 0;
}

LONG writeDefaultString(HKEY key, LPCWSTR text) {
  return RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>((wcslenW(text) + 1) * sizeof(WCHAR)));
}

LONG createKey(LPCWSTR name, RegKeyHandle& key) {
  DWORD disposition = 0;
  return RegCreateKeyExW(HKEY_CLASSES_ROOT, name, 0, const_cast<LPWSTR>(kKeyClass), REG_OPTION_NON_VOLATILE, 0, nullptr,
                         key.out(), &disposition);
}

template <size_t N>
void copyCut(LPCWSTR text, WCHAR (&buffer)[N]) {
  size_t at = 0;
  for (; text[at] && at + 1 < N; ++at) buffer[at] = text[at];
  buffer[at] = 0;
}

// progId + suffix in the 255-character key-name buffer, cut to fit.
void keyName(LPCWSTR progId, LPCWSTR suffix, WCHAR (&name)[kKeyNameChars]) {
  size_t at = 0;
  for (LPCWSTR part : {progId, suffix})
    for (; *part && at + 1 < kKeyNameChars; ++part) name[at++] = *part;
  name[at] = 0;
}

void setDefaultValueOf(LPCWSTR progId, LPCWSTR suffix, LPCWSTR value) {
  WCHAR name[kKeyNameChars];
  keyName(progId, suffix, name);
  RegKeyHandle key;
  if (createKey(name, key) == ERROR_SUCCESS) writeDefaultString(key, value);
}

}  // namespace

void registerFileType(LPCWSTR extension, LPCWSTR command, LPCWSTR defaultProgId, LPCWSTR icon) {
  WCHAR progId[kValueBytes / 2 + 1];
  {
    RegKeyHandle key;
    if (createKey(extension, key) != ERROR_SUCCESS) return;
    // An empty ProgID would put the command under the root of the classes:
    // it counts as none, like a missing one.
    if (!readDefaultString(key, progId)) {
      copyCut(defaultProgId, progId);
      writeDefaultString(key, progId);
    }
  }
  setDefaultValueOf(progId, kOpenCommandKey, command);
  if (icon) setDefaultValueOf(progId, kDefaultIconKey, icon);
}

bool isDefaultPlayer(LPCWSTR extension, LPCWSTR command) {
  WCHAR progId[kValueBytes / 2 + 1];
  {
    RegKeyHandle key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, extension, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
    if (!readDefaultString(key, progId)) return false;
  }
  WCHAR name[kKeyNameChars];
  keyName(progId, kOpenCommandKey, name);
  RegKeyHandle key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
  WCHAR value[kValueBytes / 2 + 1];
  return readDefaultString(key, value) && _wcsicmp(value, command) == 0;
}
