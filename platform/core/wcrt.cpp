#include "platform/core/wcrt.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <string>

#include "platform/core/wformat.h"

namespace {

struct CaseTables {
  std::array<WCHAR, 0x10000> upper;
  std::array<WCHAR, 0x10000> lower;

  CaseTables() {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    for (unsigned c = 0; c < 0x10000; ++c) {
      upper[c] = lower[c] = static_cast<WCHAR>(c);
      if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are never letters
      if (utf8) {
        wint_t u = towupper_l(static_cast<wint_t>(c), utf8);
        wint_t l = towlower_l(static_cast<wint_t>(c), utf8);
        if (u < 0x10000) upper[c] = static_cast<WCHAR>(u);
        if (l < 0x10000) lower[c] = static_cast<WCHAR>(l);
      } else if (c < 128) {
        upper[c] = static_cast<WCHAR>(c >= 'a' && c <= 'z' ? c - 32 : c);
        lower[c] = static_cast<WCHAR>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      }
    }
    if (utf8) freelocale(utf8);
  }
};

const CaseTables& caseTables() {
  static const CaseTables tables;
  return tables;
}

}  // namespace

WCHAR towupperW(WCHAR c) { return caseTables().upper[c]; }
WCHAR towlowerW(WCHAR c) { return caseTables().lower[c]; }

size_t wcslenW(LPCWSTR s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

int wcscmpW(LPCWSTR a, LPCWSTR b) {
  while (*a && *a == *b) ++a, ++b;
  return static_cast<int>(*a) - static_cast<int>(*b);
}

int _wcsnicmp(LPCWSTR a, LPCWSTR b, size_t count) {
  const auto& up = caseTables().upper;
  for (size_t i = 0; i < count; ++i) {
    int ca = up[a[i]], cb = up[b[i]];
    if (ca != cb || ca == 0) return ca - cb;
  }
  return 0;
}

int _wcsicmp(LPCWSTR a, LPCWSTR b) { return _wcsnicmp(a, b, static_cast<size_t>(-1)); }

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  constexpr size_t kLimit = 1024;  // the device's wsprintf buffer limit
  std::u16string out = formatWideV(format, args);
  if (out.size() > kLimit - 1) out.resize(kLimit - 1);
  out.copy(buffer, out.size());
  buffer[out.size()] = 0;
  return static_cast<int>(out.size());
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  return n;
}
