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

// Full paths of the files below `folder` whose text from the last "." equals
// `extension` ignoring case, in the file system's order; `depth` 1 is the
// folder alone. Folders that cannot be listed are skipped.
std::vector<WideString> findFiles(WideStringView folder, WideStringView extension, int depth);
std::vector<FoundFile> findFilesWithSizes(WideStringView folder, WideStringView extension, int depth);

// Every ".swf" file below `folder` (the whole device by default), sorted by
// full path comparing character codes.
std::vector<FoundFile> findMovies(WideStringView folder = u"\\", int depth = kScanDepth);
