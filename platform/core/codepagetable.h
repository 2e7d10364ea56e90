#pragma once
// The code pages the device knows: how iconv names them, their character
// sizes and lead bytes, and their entries in the MIME database that a new
// device's registry is seeded with. One table, read by the conversions and
// by the seed.

#include <span>

#include "platform/core/wintypes.h"

struct CodePageInfo {
  UINT codePage;
  const char* iconvName;
  const char* bodyCharset;  // MIME\Database\Codepage\<n> "BodyCharset"
  const char* description;  // ... "Description"
  BYTE maxCharSize;
  BYTE leadBytes[4];  // up to two inclusive ranges, zero-terminated pairs
  // Single-byte Windows pages pass the bytes 0x80-0x9F they leave undefined
  // straight through to U+0080-U+009F; glibc rejects them.
  bool passUndefinedC1;
};

std::span<const CodePageInfo> knownCodePages();
// The entry for `codePage` (CP_ACP and friends already resolved), or null.
const CodePageInfo* findCodePage(UINT codePage);
