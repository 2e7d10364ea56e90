#include "xml/charsettable.h"

#include <limits>
#include <new>

#include "platform/core/regkey.h"
#include "platform/core/winnls.h"
#include "platform/core/winreg.h"

namespace {

constexpr const char16_t* kCodepageKey = u"MIME\\Database\\Codepage";
constexpr DWORD kSubkeyNameUnits = 32;
constexpr DWORD kBodyCharsetBytes = 62;
constexpr DWORD kDescriptionBytes = 126;
constexpr DWORD kCharsetForCodePageBytes = 128;  // 63 units and the terminator

WideString codePageKeyPath(std::int32_t codePage) {
  return formatWide(u"MIME\\Database\\Codepage\\%d", static_cast<int>(codePage));
}

// Reads a string value into `buffer` with at most `bytes` bytes of data and
// terminates it after what was read (`buffer` holds bytes / 2 + 1 units).
// False when missing, too long or not text.
bool readString(HKEY key, const char16_t* name, char16_t* buffer, DWORD bytes) {
  DWORD type = 0;
  DWORD size = bytes;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  buffer[size / sizeof(char16_t)] = u'\0';
  return true;
}

// The decimal number a subkey is named by; 0 for anything that is not a
// positive number that fits in 32 bits.
std::int32_t codePageOfName(WideStringView name) {
  if (name.empty()) return 0;
  std::int64_t value = 0;
  for (char16_t c : name) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
    if (value > std::numeric_limits<std::int32_t>::max()) return 0;
  }
  return static_cast<std::int32_t>(value);
}

constexpr WideStringView kWindowsPrefix = u"windows-";

// The code page of a "windows-<number>" name, 0 for any other name.
std::int32_t codePageOfWindowsName(WideStringView name) {
  if (name.size() <= kWindowsPrefix.size() || !equalsIgnoreCase(name.substr(0, kWindowsPrefix.size()), kWindowsPrefix))
    return 0;
  return codePageOfName(name.substr(kWindowsPrefix.size()));
}

bool openKey(const WideString& path, RegKeyHandle& key) {
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

bool readEntry(std::int32_t codePage, CharsetEntry& entry) {
  RegKeyHandle key;
  if (!openKey(codePageKeyPath(codePage), key)) return false;
  entry.codePage = codePage;
  return readString(key.get(), u"BodyCharset", entry.bodyCharset, kBodyCharsetBytes) &&
         readString(key.get(), u"Description", entry.description, kDescriptionBytes);
}

// ---- the unknown-encoding handler

constexpr int kInvalidByte = -1;
constexpr int kTwoByteLead = -2;
constexpr DWORD kConversionFlags = MB_PRECOMPOSED | MB_ERR_INVALID_CHARS;

// The code point of `length` bytes in `codePage`, or -1 when they do not make
// exactly one UTF-16 unit.
int convertBytes(UINT codePage, const char* bytes, int length) {
  WCHAR unit[2];
  if (MultiByteToWideChar(codePage, kConversionFlags, bytes, length, unit, 2) != 1) return kInvalidByte;
  return unit[0];
}

int XMLCALL convertTwoBytes(void* data, const char* bytes) {
  return convertBytes(static_cast<UINT>(*static_cast<std::int32_t*>(data)), bytes, 2);
}

void XMLCALL releaseConversionData(void* data) { delete static_cast<std::int32_t*>(data); }

void markLeadBytes(const CPINFO& info, int* map) {
  for (int i = 0; i + 1 < MAX_LEADBYTES; i += 2) {
    const BYTE first = info.LeadByte[i];
    const BYTE last = info.LeadByte[i + 1];
    if (first == 0 && last == 0) break;
    for (int byte = first; byte <= last; ++byte) map[byte] = kTwoByteLead;
  }
}

void mapSingleBytes(UINT codePage, int* map) {
  for (int byte = 0; byte < 256; ++byte) {
    if (map[byte] != kInvalidByte) continue;
    const char single = static_cast<char>(byte);
    map[byte] = convertBytes(codePage, &single, 1);
  }
}

}  // namespace

void CharsetTable::add(const CharsetEntry& entry) {
  if (m_entries.capacity() == 0) {
    m_entries.reserve(kInitialCapacity);
  } else if (m_entries.size() == m_entries.capacity()) {
    m_entries.reserve(m_entries.capacity() + m_entries.capacity() / 3 + 1);
  }
  m_entries.push_back(entry);
}

void CharsetTable::fill() {
  m_entries.clear();
  RegKeyHandle codepages;
  if (!openKey(kCodepageKey, codepages)) return;
  for (DWORD index = 0;; ++index) {
    char16_t name[kSubkeyNameUnits];
    DWORD length = kSubkeyNameUnits;
    const LONG status = RegEnumKeyExW(codepages.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // a name too long for the buffer
    if (status != ERROR_SUCCESS) break;
    const std::int32_t codePage = codePageOfName(WideStringView(name, length));
    CharsetEntry entry;
    if (codePage > 0 && readEntry(codePage, entry)) add(entry);
  }
}

std::int32_t CharsetTable::codePageForCharset(WideStringView name) const {
  for (const CharsetEntry& entry : m_entries) {
    if (equalsIgnoreCase(entry.bodyCharset, name)) return entry.codePage;
  }
  return 0;
}

CharsetTable& charsetTable() {
  static CharsetTable table;
  return table;
}

void fillCharsetTable() { charsetTable().fill(); }

std::int32_t codePageForCharset(WideStringView name) { return charsetTable().codePageForCharset(name); }

WideString charsetForCodePage(std::int32_t codePage) {
  RegKeyHandle key;
  if (!openKey(codePageKeyPath(codePage), key)) return {};
  char16_t value[kCharsetForCodePageBytes / sizeof(char16_t) + 1] = {};
  if (!readString(key.get(), u"BodyCharset", value, kCharsetForCodePageBytes)) return {};
  return WideString(value);
}

WideString declaredCharsetForCodePage(std::int32_t codePage) {
  WideString charset = charsetForCodePage(codePage);
  if (charset.empty()) charset = WideString(kWindowsPrefix) + formatWide(u"%d", static_cast<int>(codePage));
  return charset;
}

int XMLCALL unknownEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
  if (!name || !info) return XML_STATUS_ERROR;
  std::int32_t codePage = codePageForCharset(wideViewOf(name));
  if (codePage <= 0) codePage = codePageOfWindowsName(wideViewOf(name));
  if (codePage <= 0) return XML_STATUS_ERROR;
  CPINFO cpInfo{};
  if (!GetCPInfo(static_cast<UINT>(codePage), &cpInfo) || cpInfo.MaxCharSize > 2) return XML_STATUS_ERROR;

  for (int& entry : info->map) entry = kInvalidByte;
  if (cpInfo.MaxCharSize == 2) markLeadBytes(cpInfo, info->map);
  mapSingleBytes(static_cast<UINT>(codePage), info->map);

  auto* data = new (std::nothrow) std::int32_t(codePage);
  if (!data) return XML_STATUS_ERROR;
  info->data = data;
  info->convert = convertTwoBytes;
  info->release = releaseConversionData;
  return XML_STATUS_OK;
}
