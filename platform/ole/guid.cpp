// Text forms of GUIDs: "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".

#include <cstdlib>
#include <string_view>

#include "platform/ole/objbase.h"

namespace {

constexpr int kGuidTextLength = 38;  // without the terminator

int hexValue(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Consumes `digits` hex digits from the front of `text`.
bool takeHex(std::u16string_view& text, int digits, std::uint32_t& value) {
  if (text.size() < static_cast<size_t>(digits)) return false;
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = hexValue(text[i]);
    if (v < 0) return false;
    value = value << 4 | static_cast<std::uint32_t>(v);
  }
  text.remove_prefix(digits);
  return true;
}

bool take(std::u16string_view& text, OLECHAR c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

bool parseGuid(std::u16string_view text, GUID& guid) {
  std::uint32_t v = 0;
  if (!take(text, u'{') || !takeHex(text, 8, v)) return false;
  guid.Data1 = v;
  if (!take(text, u'-') || !takeHex(text, 4, v)) return false;
  guid.Data2 = static_cast<WORD>(v);
  if (!take(text, u'-') || !takeHex(text, 4, v)) return false;
  guid.Data3 = static_cast<WORD>(v);
  if (!take(text, u'-')) return false;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !take(text, u'-')) return false;
    if (!takeHex(text, 2, v)) return false;
    guid.Data4[i] = static_cast<BYTE>(v);
  }
  return take(text, u'}') && text.empty();
}

HRESULT guidFromString(LPCOLESTR lpsz, GUID* out) {
  if (!out) return E_INVALIDARG;
  *out = GUID_NULL;
  if (!lpsz) return CO_E_CLASSSTRING;
  std::u16string_view text(lpsz);
  GUID guid{};
  if (text.size() != kGuidTextLength || !parseGuid(text, guid)) return CO_E_CLASSSTRING;
  *out = guid;
  return S_OK;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) { return guidFromString(lpsz, pclsid); }

HRESULT IIDFromString(LPCOLESTR lpsz, LPGUID lpiid) {
  HRESULT hr = guidFromString(lpsz, lpiid);
  return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < kGuidTextLength + 1) return 0;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  int at = 0;
  auto put = [&](char c) { lpsz[at++] = static_cast<OLECHAR>(c); };
  auto putHex = [&](std::uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) put(kDigits[(value >> shift) & 0xF]);
  };
  put('{');
  putHex(rguid.Data1, 8);
  put('-');
  putHex(rguid.Data2, 4);
  put('-');
  putHex(rguid.Data3, 4);
  put('-');
  for (int i = 0; i < 8; ++i) {
    if (i == 2) put('-');
    putHex(rguid.Data4[i], 2);
  }
  put('}');
  lpsz[at++] = 0;
  return at;
}
