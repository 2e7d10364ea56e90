#include "platform/core/wcrt.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "platform/core/wformat.h"

namespace {

// The folds of the whole plane cost a start several million instructions and
// 256 KB, yet a session meets a few blocks of it (mostly ASCII and Latin-1):
// each block of 2048 units (a memory page of each table) is filled when a unit
// of it is first folded.
constexpr unsigned kBlockBits = 11;
constexpr unsigned kBlockSize = 1u << kBlockBits;
constexpr unsigned kBlocks = 0x10000 / kBlockSize;

struct CaseTables {
  std::array<WCHAR, 0x10000> upper;
  std::array<WCHAR, 0x10000> lower;
  std::array<std::atomic<bool>, kBlocks> filled;
  std::mutex filling;
};

// Constant-initialised, so a fold from another file's static initialiser finds it ready.
constinit CaseTables g_tables{};

void fillBlock(unsigned block) {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  for (unsigned c = block * kBlockSize; c < (block + 1) * kBlockSize; ++c) {
    g_tables.upper[c] = g_tables.lower[c] = static_cast<WCHAR>(c);
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are never letters
    if (utf8) {
      wint_t u = towupper_l(static_cast<wint_t>(c), utf8);
      wint_t l = towlower_l(static_cast<wint_t>(c), utf8);
      if (u < 0x10000) g_tables.upper[c] = static_cast<WCHAR>(u);
      if (l < 0x10000) g_tables.lower[c] = static_cast<WCHAR>(l);
    } else if (c < 128) {
      g_tables.upper[c] = static_cast<WCHAR>(c >= 'a' && c <= 'z' ? c - 32 : c);
      g_tables.lower[c] = static_cast<WCHAR>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
  }
  if (utf8) freelocale(utf8);
}

// The tables with the block of `c` filled.
const CaseTables& tablesFor(WCHAR c) {
  const unsigned block = unsigned(c) >> kBlockBits;
  if (!g_tables.filled[block].load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(g_tables.filling);
    if (!g_tables.filled[block].load(std::memory_order_relaxed)) {
      fillBlock(block);
      g_tables.filled[block].store(true, std::memory_order_release);
    }
  }
  return g_tables;
}

}  // namespace

// ASCII, most of what is folded (paths, registry and tag names), folds
// without the tables, as C.UTF-8 folds it.
WCHAR towupperW(WCHAR c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - 32) : c;
  return tablesFor(c).upper[c];
}
WCHAR towlowerW(WCHAR c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c;
  return tablesFor(c).lower[c];
}

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
  for (size_t i = 0; i < count; ++i) {
    int ca = towupperW(a[i]), cb = towupperW(b[i]);
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
