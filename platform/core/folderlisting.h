#pragma once
// A folder's entries as FindFirstFileW lists them (never "." or ".."), for
// walks over many folders: names and kinds come from the host's directory
// entries, and the host is asked for an entry's size, times and attributes
// only when its find data is read. One owner, no handle: the listing ends
// with its object.

#include <memory>
#include <string_view>

#include "platform/core/winbase.h"

class FolderSearch;

class FolderListing {
 public:
  // `pattern` as FindFirstFileW takes it: a device folder, "\" and a name
  // pattern ("\My Documents\*.*"). When the folder cannot be listed the
  // listing is empty and GetLastError says why, as FindFirstFileW does.
  explicit FolderListing(std::u16string_view pattern);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  bool listed() const { return m_search != nullptr; }
  // Moves to the next entry; false at the end.
  bool next();
  // The entry moved to last.
  std::u16string_view name() const;
  bool isFolder() const;
  // The entry's find data, as FindNextFileW fills it; false when the entry
  // has gone from the host since it was listed.
  bool findData(WIN32_FIND_DATAW& data);

 private:
  std::unique_ptr<FolderSearch> m_search;
};
