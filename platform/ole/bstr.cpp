// BSTR: characters preceded by their 32-bit byte length and followed by a
// null character, allocated as one block so that the pointer handed out
// points just past the length.

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/ole/oleauto.h"

namespace {

constexpr size_t kPrefix = sizeof(std::uint32_t);

std::uint32_t* prefixOf(BSTR bstr) { return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefix); }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT len) {
  // The byte length must fit its 32-bit prefix.
  if (len > (std::numeric_limits<std::uint32_t>::max() - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
  size_t bytes = static_cast<size_t>(len) * sizeof(OLECHAR);
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  std::uint32_t length = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &length, kPrefix);
  auto* chars = reinterpret_cast<BSTR>(block + kPrefix);
  if (strIn)
    std::memcpy(chars, strIn, bytes);
  else
    std::memset(chars, 0, bytes);
  chars[len] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  size_t len = 0;
  while (psz[len]) ++len;
  if (len > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(len));
}

UINT SysStringByteLen(BSTR bstr) { return bstr ? *prefixOf(bstr) : 0; }

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

void SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(prefixOf(bstrString));
}
