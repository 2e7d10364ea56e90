// Reading a picture file by its device path.

#include <string>
#include <vector>

#include "platform/core/guards.h"
#include "platform/core/handles.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"

namespace image {

namespace {

constexpr DWORD kLargestPicture = 64u << 20;  // refuse absurd sizes before allocating

std::u16string widePath(const char* path, const std::u16string& programFolder) {
  int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (length <= 1) return {};
  std::u16string wide(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length - 1));
  // A relative name is looked up beside the program, as the library does.
  if (wide[0] != u'\\' && !programFolder.empty()) wide = programFolder + u"\\" + wide;
  return wide;
}

}  // namespace

bool readPictureFile(const char* path, const std::u16string& programFolder, std::vector<BYTE>& bytes) {
  std::u16string wide = widePath(path, programFolder);
  if (wide.empty()) return false;
  HandleGuard file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return false;
  DWORD size = GetFileSize(file.get(), nullptr);
  bool ok = size != 0xFFFFFFFF && size <= kLargestPicture;
  if (ok) {
    bytes.resize(size);
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file.get(), bytes.data(), size, &read, nullptr) && read == size);
  }
  return ok;
}

}  // namespace image
