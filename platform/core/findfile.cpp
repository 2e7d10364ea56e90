// FindFirstFileW / FindNextFileW / FindClose over a host folder.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "platform/core/device.h"
#include "platform/core/devicepath.h"
#include "platform/core/fileattributes.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"

namespace {

bool equalsFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && towupperW(a[i]) != towupperW(b[i])) return false;
  return true;
}

bool isValidPattern(std::u16string_view pattern) {
  std::u16string plain(pattern);
  std::replace_if(
      plain.begin(), plain.end(), [](char16_t c) { return c == u'*' || c == u'?'; }, u'x');
  return isValidDeviceName(plain);
}

// One search: the open host folder, the pattern, and what the root adds or hides.
class FindObject : public KernelObject {
 public:
  FindObject(DIR* dir, std::u16string pattern, const ResolvedPath& folder, const Device& device)
      : m_dir(dir),
        m_pattern(std::move(pattern)),
        m_folderHost(folder.host),
        m_atRoot(folder.kind == ResolvedPath::Kind::Root),
        m_cardPending(m_atRoot && !device.storageCard().empty()),
        m_device(device) {}
  ~FindObject() override { closedir(m_dir); }
  bool closedByCloseHandle() const override { return false; }

  // Fills `data` with the next entry that matches; false at the end.
  bool next(WIN32_FIND_DATAW& data) {
    while (dirent* entry = readdir(m_dir))
      if (accept(*entry, data)) return true;
    if (m_cardPending) {
      m_cardPending = false;
      if (matchesDevicePattern(m_pattern, Device::kStorageCardName)) {
        fillCard(data);
        return true;
      }
    }
    return false;
  }

 private:
  bool accept(const dirent& entry, WIN32_FIND_DATAW& data) {
    std::string_view hostName(entry.d_name);
    if (hostName == "." || hostName == ".." || !isValidUtf8(hostName)) return false;
    m_name = fromUtf8(hostName);
    if (!isValidDeviceName(m_name) || m_name.size() >= MAX_PATH) return false;  // no device path could name it
    if (m_atRoot &&
        (equalsFolded(m_name, u".orvel") || (m_cardPending && equalsFolded(m_name, Device::kStorageCardName))))
      return false;
    if (!matchesDevicePattern(m_pattern, m_name)) return false;
    struct stat info;
    if (fstatat(dirfd(m_dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(info.st_mode) && !followInside(entry.d_name, info)) return false;
    fill(info, data);
    return true;
  }

  // A symlink is listed only when it lands inside the device or its card.
  bool followInside(const char* hostName, struct stat& info) {
    char real[PATH_MAX];
    std::string link = m_folderHost + '/' + hostName;
    if (!realpath(link.c_str(), real)) return false;
    auto inside = [&](const std::string& base) {
      return !base.empty() && std::string_view(real).substr(0, base.size()) == base &&
             (real[base.size()] == 0 || real[base.size()] == '/');
    };
    if (!inside(m_device.root().string()) && !inside(m_device.storageCard().string())) return false;
    return fstatat(dirfd(m_dir), hostName, &info, 0) == 0;
  }

  void fill(const struct stat& info, WIN32_FIND_DATAW& data) {
    data.dwFileAttributes = deviceAttributesOf(info);
    data.ftCreationTime = fileTimeOf(info.st_ctim);
    data.ftLastAccessTime = fileTimeOf(info.st_atim);
    data.ftLastWriteTime = fileTimeOf(info.st_mtim);
    auto size = S_ISDIR(info.st_mode) ? 0ull : static_cast<ULONGLONG>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    data.dwOID = static_cast<DWORD>(info.st_ino);
    std::copy(m_name.begin(), m_name.end(), data.cFileName);
    data.cFileName[m_name.size()] = 0;
  }

  void fillCard(WIN32_FIND_DATAW& data) {
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
    std::copy(Device::kStorageCardName.begin(), Device::kStorageCardName.end(), data.cFileName);
    data.cFileName[Device::kStorageCardName.size()] = 0;
  }

  DIR* m_dir;
  std::u16string m_pattern;
  std::string m_folderHost;
  bool m_atRoot;
  bool m_cardPending;  // "\Storage Card" is listed after the root's own entries
  const Device& m_device;
  std::u16string m_name;  // the entry being looked at, kept to spare allocations
};

template <class T>
T fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  Device* device = currentDevice();
  if (!pattern || !data) return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (!device) return fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::u16string_view folderPath, last;
  splitLastName(std::u16string_view(pattern, wcslenW(pattern)), folderPath, last);
  if (last.empty()) return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (!isValidPattern(last)) return fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);

  ResolvedPath folder;
  DWORD status = resolveDevicePath(*device, folderPath, folder);
  if (status != ERROR_SUCCESS) return fail(status, INVALID_HANDLE_VALUE);
  if (!folder.exists || !folder.isDirectory) return fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  DIR* dir = opendir(folder.host.c_str());
  if (!dir) return fail(errorFromErrno(errno), INVALID_HANDLE_VALUE);

  auto search = std::make_shared<FindObject>(dir, std::u16string(last), folder, *device);
  if (!search->next(*data)) return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  SetLastError(ERROR_SUCCESS);
  return addKernelObject(std::move(search));
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
  auto search = findKernelObjectAs<FindObject>(handle);
  if (!search) return fail(ERROR_INVALID_HANDLE, FALSE);
  if (!data) return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!search->next(*data)) return fail(ERROR_NO_MORE_FILES, FALSE);
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (!findKernelObjectAs<FindObject>(handle)) return fail(ERROR_INVALID_HANDLE, FALSE);
  removeKernelObject(handle);
  return TRUE;
}
