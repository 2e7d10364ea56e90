#pragma once
// The depth-limited folder walk that finds skin packages, skin documents and
// movies, and the movie list every movie picker shows.

#include <vector>

#include "base/widestring.h"
#include "platform/core/wintypes.h"

// Depth of a device-wide search: "\" and seven levels below it.
inline constexpr int kScanDepth = 8;

struct FoundFile {
  WideString path;
  DWORD size;  // from the folder listing
};

// One entry of a folder listing.
struct FolderEntry {
  WideString name;
  bool isFolder = false;
};

// The entries of `folder` whose names match `pattern`, without "." and "..",
// in the file system's order; none when the folder cannot be listed.
std::vector<FolderEntry> listFolder(WideStringView folder, WideStringView pattern = u"*.*");

// "%s\%s", or "%s%s" when the folder is empty or already ends in "\".
WideString joinPath(WideStringView folder, WideStringView name);

// Whether the text of `name` from its last "." equals `extension` ignoring case.
bool hasExtension(WideStringView name, WideStringView extension);

// Full paths of the files below `folder` whose text from the last "." equals
// `extension` ignoring case, in the file system's order; `depth` 1 is the
// folder alone. Folders that cannot be listed are skipped.
std::vector<WideString> findFiles(WideStringView folder, WideStringView extension, int depth);
std::vector<FoundFile> findFilesWithSizes(WideStringView folder, WideStringView extension, int depth);

// Every ".swf" file below `folder` (the whole device by default), sorted by
// full path comparing character codes.
std::vector<FoundFile> findMovies(WideStringView folder = u"\\", int depth = kScanDepth);
