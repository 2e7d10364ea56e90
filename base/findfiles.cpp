#include "base/findfiles.h"

#include <algorithm>

#include "platform/core/winbase.h"

namespace {

// Closes a FindFirstFileW search.
class FolderListing {
 public:
  FolderListing(const WideString& pattern, WIN32_FIND_DATAW& data) : m_handle(FindFirstFileW(pattern.c_str(), &data)) {}
  ~FolderListing() {
    if (found()) FindClose(m_handle);
  }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  bool found() const { return m_handle != INVALID_HANDLE_VALUE; }
  bool next(WIN32_FIND_DATAW& data) { return FindNextFileW(m_handle, &data); }

 private:
  HANDLE m_handle;
};

// "%s\%s", or "%s%s" when the folder is empty or already ends in "\".
WideString joinPath(WideStringView folder, WideStringView name) {
  WideString path;
  path.reserve(folder.size() + name.size() + 1);
  path += folder;
  if (!folder.empty() && folder.back() != u'\\') path += u'\\';
  path += name;
  return path;
}

bool isDotName(WideStringView name) { return name == u"." || name == u".."; }

bool hasExtension(WideStringView name, WideStringView extension) {
  size_t dot = name.rfind(u'.');
  return dot != WideStringView::npos && equalsIgnoreCase(name.substr(dot), extension);
}

void collect(WideStringView folder, WideStringView extension, int depth, std::vector<FoundFile>& found) {
  if (depth <= 0) return;
  WIN32_FIND_DATAW data;
  FolderListing listing(joinPath(folder, u"*.*"), data);
  if (!listing.found()) return;
  do {
    WideStringView name(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!isDotName(name)) collect(joinPath(folder, name), extension, depth - 1, found);
    } else if (hasExtension(name, extension)) {
      found.push_back(FoundFile{joinPath(folder, name), data.nFileSizeLow});
    }
  } while (listing.next(data));
}

}  // namespace

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
