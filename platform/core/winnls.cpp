#include "platform/core/winnls.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <type_traits>
#include <vector>

#include "platform/core/codepagetable.h"
#include "platform/core/device.h"

namespace {

constexpr const char* kHostUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr UINT kFallbackAnsiCodePage = 1252;

// One iconv descriptor per code page and direction, per thread.
class Converters {
 public:
  ~Converters() {
    for (auto& [key, cd] : m_open) iconv_close(cd);
  }
  iconv_t get(const CodePageInfo& info, bool toWide) {
    auto key = std::make_pair(info.codePage, toWide);
    auto it = m_open.find(key);
    if (it == m_open.end()) {
      iconv_t cd = toWide ? iconv_open(kHostUtf16, info.iconvName) : iconv_open(info.iconvName, kHostUtf16);
      if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
      it = m_open.emplace(key, cd).first;
    }
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);
    return it->second;
  }

 private:
  std::map<std::pair<UINT, bool>, iconv_t> m_open;
};

iconv_t converter(const CodePageInfo& info, bool toWide) {
  thread_local Converters converters;
  return converters.get(info, toWide);
}

UINT resolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP) return GetACP();
  return codePage;
}

template <class T>
T fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

// Runs iconv over the whole input; at each byte (or unit) it cannot convert
// it asks `onInvalid` what to do. Answers false when `onInvalid` gives up.
template <class OnInvalid>
bool convert(iconv_t cd, const char* in, size_t inLength, std::vector<char>& out, size_t unitSize,
             OnInvalid onInvalid) {
  out.resize(inLength * 4 + 16);
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = inLength;
  size_t used = 0;
  for (;;) {
    char* outPtr = out.data() + used;
    size_t outLeft = out.size() - used;
    size_t result = inLeft ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) : 0;
    int error = result == static_cast<size_t>(-1) ? errno : 0;
    // Flush what a composing converter (1258) still holds.
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    used = static_cast<size_t>(outPtr - out.data());
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    if (!error) break;
    size_t skip = unitSize;
    std::string replacement;
    if (!onInvalid(reinterpret_cast<const unsigned char*>(inPtr), inLeft, skip, replacement)) return false;
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    skip = std::min(skip, inLeft);
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return true;
}

// True for a byte the page leaves undefined (glibc refuses it).
bool isUndefinedByte(const CodePageInfo& page, unsigned char byte) {
  iconv_t cd = converter(page, true);
  char* in = reinterpret_cast<char*>(&byte);
  size_t inLeft = 1;
  char16_t unit[4];
  char* out = reinterpret_cast<char*>(unit);
  size_t outLeft = sizeof unit;
  return iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
}

// ASCII reads the same in every page the device knows, so most texts (paths,
// names) convert without a converter, whose modules the host loads from disk.
template <class Unit>
bool isAscii(const Unit* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<std::make_unsigned_t<Unit>>(text[i]) >= 0x80) return false;
  return true;
}

// Copies ASCII text unit for unit, with the buffer rules of the conversions.
template <class From, class To>
int copyAscii(const From* source, size_t length, To* destination, int destinationLength) {
  if (destinationLength == 0) return static_cast<int>(length);
  if (length > static_cast<size_t>(destinationLength)) return fail(ERROR_INSUFFICIENT_BUFFER, 0);
  for (size_t i = 0; i < length; ++i) destination[i] = static_cast<To>(source[i]);
  return static_cast<int>(length);
}

std::string unitBytes(char16_t unit) {
  std::string bytes(2, '\0');
  std::memcpy(bytes.data(), &unit, 2);
  return bytes;
}

}  // namespace

UINT GetACP() {
  Device* device = currentDevice();
  return device ? device->ansiCodePage() : kFallbackAnsiCodePage;
}

UINT GetOEMCP() { return GetACP(); }

BOOL IsValidCodePage(UINT codePage) { return findCodePage(codePage) != nullptr; }

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
  const CodePageInfo* page = findCodePage(resolveCodePage(codePage));
  if (!page || !info) return fail(ERROR_INVALID_PARAMETER, FALSE);
  *info = CPINFO{};
  info->MaxCharSize = page->maxCharSize;
  info->DefaultChar[0] = '?';
  std::copy(std::begin(page->leadBytes), std::end(page->leadBytes), info->LeadByte);
  return TRUE;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
  const CodePageInfo* page = findCodePage(resolveCodePage(codePage));
  if (!page) return fail(ERROR_INVALID_PARAMETER, FALSE);
  for (int i = 0; i + 1 < 4 && page->leadBytes[i]; i += 2)
    if (byte >= page->leadBytes[i] && byte <= page->leadBytes[i + 1]) return TRUE;
  return FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR destination,
                        int destinationLength) {
  const CodePageInfo* page = findCodePage(resolveCodePage(codePage));
  if (!page || !source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0 ||
      (destinationLength > 0 && !destination))
    return fail(ERROR_INVALID_PARAMETER, 0);
  size_t length = sourceLength == -1 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
  if (isAscii(source, length)) return copyAscii(source, length, destination, destinationLength);
  iconv_t cd = converter(*page, true);
  if (cd == reinterpret_cast<iconv_t>(-1)) return fail(ERROR_INVALID_PARAMETER, 0);

  const char16_t substitute = page->codePage == 932 ? u'\x30FB' : page->codePage == CP_UTF8 ? u'\xFFFD' : u'?';
  std::vector<char> out;
  bool ok =
      convert(cd, source, length, out, 1, [&](const unsigned char* at, size_t, size_t& skip, std::string& replacement) {
        skip = 1;
        if (page->passUndefinedC1 && at[0] >= 0x80 && at[0] <= 0x9F) {
          replacement = unitBytes(at[0]);
          return true;
        }
        if (flags & MB_ERR_INVALID_CHARS) return false;
        replacement = unitBytes(substitute);
        return true;
      });
  if (!ok) return fail(ERROR_NO_UNICODE_TRANSLATION, 0);
  size_t units = out.size() / 2;
  if (destinationLength == 0) return static_cast<int>(units);
  if (units > static_cast<size_t>(destinationLength)) return fail(ERROR_INSUFFICIENT_BUFFER, 0);
  std::memcpy(destination, out.data(), out.size());
  return static_cast<int>(units);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength, LPSTR destination,
                        int destinationLength, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  const CodePageInfo* page = findCodePage(resolveCodePage(codePage));
  if (!page || !source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0 ||
      (destinationLength > 0 && !destination))
    return fail(ERROR_INVALID_PARAMETER, 0);
  size_t length = 0;
  if (sourceLength == -1) {
    while (source[length]) ++length;
    ++length;
  } else {
    length = static_cast<size_t>(sourceLength);
  }
  if (isAscii(source, length)) {
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    return copyAscii(source, length, destination, destinationLength);
  }
  iconv_t cd = converter(*page, false);
  if (cd == reinterpret_cast<iconv_t>(-1)) return fail(ERROR_INVALID_PARAMETER, 0);

  const bool utf8 = page->codePage == CP_UTF8;
  std::string substitute = utf8                          ? "\xEF\xBF\xBD"
                           : defaultChar && *defaultChar ? std::string(defaultChar, defaultChar[1] ? 2 : 1)
                                                         : std::string("?");
  bool usedDefault = false;
  std::vector<char> out;
  bool ok = convert(cd, reinterpret_cast<const char*>(source), length * 2, out, 2,
                    [&](const unsigned char* at, size_t left, size_t& skip, std::string& replacement) {
                      char16_t unit, next = 0;
                      std::memcpy(&unit, at, 2);
                      if (left >= 4) std::memcpy(&next, at + 2, 2);
                      bool pair = unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF;
                      skip = pair ? 4 : 2;
                      if (page->passUndefinedC1 && unit >= 0x80 && unit <= 0x9F &&
                          isUndefinedByte(*page, static_cast<unsigned char>(unit))) {
                        replacement = std::string(1, static_cast<char>(unit));
                        return true;
                      }
                      if (utf8 && (flags & WC_ERR_INVALID_CHARS)) return false;
                      replacement = substitute;
                      usedDefault = usedDefault || !utf8;
                      return true;
                    });
  if (!ok) return fail(ERROR_NO_UNICODE_TRANSLATION, 0);
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  if (destinationLength == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(destinationLength)) return fail(ERROR_INSUFFICIENT_BUFFER, 0);
  std::memcpy(destination, out.data(), out.size());
  return static_cast<int>(out.size());
}

std::u16string ansiToWide(std::string_view text) {
  if (text.empty()) return {};
  int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(units), u'\0');
  if (units > 0)
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()), wide.data(), units);
  return wide;
}

std::string wideToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(bytes), '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}
