#pragma once
// The contents of a structured storage and their compound file form (the
// published "compound file binary" layout, version 3: 512-byte sectors, a
// mini stream for streams under 4096 bytes).

#include <memory>
#include <string>
#include <vector>

#include "platform/ole/objidl.h"

struct StorageElement {
  std::u16string name;
  DWORD type = STGTY_STORAGE;  // STGTY_STORAGE or STGTY_STREAM
  CLSID clsid{};
  DWORD stateBits = 0;
  FILETIME created{};
  FILETIME modified{};
  std::vector<BYTE> data;                                 // a stream's bytes
  std::vector<std::shared_ptr<StorageElement>> children;  // a storage's elements
  bool destroyed = false;                                 // taken out of its storage while still open
  int openCount = 0;                                      // open IStream / IStorage objects on it
};

// The order of names inside a storage: shorter first, then by upper case.
int compareElementNames(const std::u16string& a, const std::u16string& b);

// The compound file of a root storage; false when it does not fit the
// version 3 layout (over 109 FAT sectors, about 7 MB).
bool writeCompoundFile(const StorageElement& root, std::vector<BYTE>& out);
