#include "base/findfiles.h"

#include <algorithm>

#include "platform/core/folderlisting.h"

namespace {

enum class Sizes { Skip, Read };

// What the walk keeps of a folder's listing: its folders, and its files of
// the extension with their sizes when asked for.
struct WalkEntry {
  WideString name;
  bool isFolder;
  DWORD size;
};

std::vector<WalkEntry> walkEntries(WideStringView folder, WideStringView extension, Sizes sizes) {
  std::vector<WalkEntry> entries;
  FolderListing listing(joinPath(folder, u"*.*"));
  while (listing.next()) {
    WideStringView name = listing.name();
    if (listing.isFolder()) {
      entries.push_back(WalkEntry{WideString(name), true, 0});
    } else if (hasExtension(name, extension)) {
      DWORD size = 0;
      // Only the files found are asked for their size; one gone since the
      // listing is passed over, as a listing made a moment later would.
      if (sizes == Sizes::Read) {
        WIN32_FIND_DATAW data;
        if (!listing.findData(data)) continue;
        size = data.nFileSizeLow;
      }
      entries.push_back(WalkEntry{WideString(name), false, size});
    }
  }
  return entries;
}

void collect(WideStringView folder, WideStringView extension, int depth, Sizes sizes, std::vector<FoundFile>& found) {
  if (depth <= 0) return;
  // The listing is closed before the walk goes deeper, so a deep tree holds
  // no more than one listing open.
  for (const WalkEntry& entry : walkEntries(folder, extension, sizes)) {
    if (entry.isFolder)
      collect(joinPath(folder, entry.name), extension, depth - 1, sizes, found);
    else
      found.push_back(FoundFile{joinPath(folder, entry.name), entry.size});
  }
}

}  // namespace

std::vector<FolderEntry> listFolder(WideStringView folder, WideStringView pattern) {
  std::vector<FolderEntry> entries;
  FolderListing listing(joinPath(folder, pattern));
  while (listing.next()) entries.push_back(FolderEntry{WideString(listing.name()), listing.isFolder()});
  return entries;
}

WideString joinPath(WideStringView folder, WideStringView name) {
  WideString path;
  path.reserve(folder.size() + name.size() + 1);
  path += folder;
  if (!folder.empty() && folder.back() != u'\\') path += u'\\';
  path += name;
  return path;
}

bool hasExtension(WideStringView name, WideStringView extension) {
  size_t dot = name.rfind(u'.');
  return dot != WideStringView::npos && equalsIgnoreCase(name.substr(dot), extension);
}

std::vector<FoundFile> findFilesWithSizes(WideStringView folder, WideStringView extension, int depth) {
  std::vector<FoundFile> found;
  collect(folder, extension, depth, Sizes::Read, found);
  return found;
}

std::vector<WideString> findFiles(WideStringView folder, WideStringView extension, int depth) {
  std::vector<FoundFile> found;
  collect(folder, extension, depth, Sizes::Skip, found);
  std::vector<WideString> paths;
  paths.reserve(found.size());
  for (FoundFile& file : found) paths.push_back(std::move(file.path));
  return paths;
}

std::vector<FoundFile> findMovies(WideStringView folder, int depth) {
  std::vector<FoundFile> movies = findFilesWithSizes(folder, u".swf", depth);
  std::sort(movies.begin(), movies.end(), [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  return movies;
}
