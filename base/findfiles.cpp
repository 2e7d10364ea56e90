#include "base/findfiles.h"

#include <algorithm>

#include "platform/core/guards.h"
#include "platform/core/winbase.h"

namespace {

bool isDotName(WideStringView name) { return name == u"." || name == u".."; }

void collect(WideStringView folder, WideStringView extension, int depth, std::vector<FoundFile>& found) {
  if (depth <= 0) return;
  // The listing is closed before the walk goes deeper, so a deep tree holds
  // no more than one search open.
  for (const FolderEntry& entry : listFolder(folder)) {
    if (entry.isFolder) {
      collect(joinPath(folder, entry.name), extension, depth - 1, found);
    } else if (hasExtension(entry.name, extension)) {
      found.push_back(FoundFile{joinPath(folder, entry.name), entry.size});
    }
  }
}

}  // namespace

std::vector<FolderEntry> listFolder(WideStringView folder, WideStringView pattern) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW data;
  FileSearch search(joinPath(folder, pattern).c_str(), data);
  if (!search.found()) return entries;
  do {
    WideStringView name(data.cFileName);
    if (isDotName(name)) continue;
    bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    entries.push_back(FolderEntry{WideString(name), isFolder, isFolder ? 0 : data.nFileSizeLow});
  } while (search.next(data));
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
  collect(folder, extension, depth, found);
  return found;
}

std::vector<WideString> findFiles(WideStringView folder, WideStringView extension, int depth) {
  std::vector<WideString> paths;
  for (FoundFile& file : findFilesWithSizes(folder, extension, depth)) paths.push_back(std::move(file.path));
  return paths;
}

std::vector<FoundFile> findMovies(WideStringView folder, int depth) {
  std::vector<FoundFile> movies = findFilesWithSizes(folder, u".swf", depth);
  std::sort(movies.begin(), movies.end(), [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  return movies;
}
