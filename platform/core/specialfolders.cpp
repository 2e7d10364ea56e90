#include <algorithm>
#include <string_view>

#include "platform/core/shlobj.h"
#include "platform/core/winbase.h"

namespace {

struct SpecialFolder {
  int id;
  std::u16string_view path;
};

constexpr SpecialFolder kSpecialFolders[] = {
    {CSIDL_PERSONAL, u"\\My Documents"},
    {CSIDL_WINDOWS, u"\\Windows"},
    {CSIDL_PROGRAM_FILES, u"\\Program Files"},
};

}  // namespace

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
  auto it = std::find_if(std::begin(kSpecialFolders), std::end(kSpecialFolders),
                         [&](const SpecialFolder& f) { return f.id == folder; });
  if (it == std::end(kSpecialFolders) || !path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string devicePath(it->path);
  DWORD attributes = GetFileAttributesW(devicePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!create || !CreateDirectoryW(devicePath.c_str(), nullptr)) return FALSE;
  }
  std::copy(devicePath.begin(), devicePath.end(), path);
  path[devicePath.size()] = 0;
  return TRUE;
}
