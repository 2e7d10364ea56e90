// FindFirstFileW / FindNextFileW / FindClose over a host folder.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
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

// Reads a host folder's entries in large batches straight from the kernel,
// in the host's order, without the C library's directory stream.
class FolderEntries {
 public:
  explicit FolderEntries(HostDescriptor folder) : m_folder(std::move(folder)) {}
  int descriptor() const { return m_folder.get(); }

  // The next entry's name, or null at the end (or on a read error).
  const char* next(unsigned char& type) {
    if (m_offset >= m_filled && !refill()) return nullptr;
    const auto* entry = reinterpret_cast<const dirent64*>(m_buffer.get() + m_offset);
    m_offset += entry->d_reclen;
    type = entry->d_type;
    return entry->d_name;
  }

 private:
  static constexpr size_t kBufferBytes = 16 * 1024;

  bool refill() {
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(kBufferBytes);
    long got = syscall(SYS_getdents64, m_folder.get(), m_buffer.get(), kBufferBytes);
    m_offset = 0;
    m_filled = got > 0 ? static_cast<size_t>(got) : 0;
    return m_filled > 0;
  }

  HostDescriptor m_folder;
  std::unique_ptr<char[]> m_buffer;  // dirent64 records, as the kernel lays them
  size_t m_offset = 0;
  size_t m_filled = 0;
};

// One search: the open host folder, the pattern, and what the root adds or hides.
class FindObject : public KernelObject {
 public:
  FindObject(HostDescriptor folder, std::u16string pattern, const ResolvedPath& resolved, const Device& device)
      : m_entries(std::move(folder)),
        m_pattern(std::move(pattern)),
        m_everything(m_pattern == u"*" || m_pattern == u"*.*"),
        m_folderHost(resolved.host),
        m_atRoot(resolved.kind == ResolvedPath::Kind::Root),
        m_cardPending(m_atRoot && !device.storageCard().empty()),
        m_device(device) {}
  bool closedByCloseHandle() const override { return false; }

  // Fills `data` with the next entry that matches; false at the end.
  bool next(WIN32_FIND_DATAW& data) {
    unsigned char type = DT_UNKNOWN;
    while (const char* name = m_entries.next(type))
      if (accept(name, data)) return true;
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
  bool accept(const char* entryName, WIN32_FIND_DATAW& data) {
    std::string_view hostName(entryName);
    if (hostName == "." || hostName == ".." || !isValidUtf8(hostName)) return false;
    m_name = fromUtf8(hostName);
    if (!isValidDeviceName(m_name) || m_name.size() >= MAX_PATH) return false;  // no device path could name it
    if (m_atRoot &&
        (equalsFolded(m_name, u".orvel") || (m_cardPending && equalsFolded(m_name, Device::kStorageCardName))))
      return false;
    if (!m_everything && !matchesDevicePattern(m_pattern, m_name)) return false;
    struct stat info;
    if (fstatat(m_entries.descriptor(), entryName, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(info.st_mode) && !followInside(entryName, info)) return false;
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
    return fstatat(m_entries.descriptor(), hostName, &info, 0) == 0;
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

  FolderEntries m_entries;
  std::u16string m_pattern;
  bool m_everything;  // "*" and "*.*" match every name
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
  HostDescriptor opened;
  DWORD status = openDevicePath(*device, folderPath, OpenFor::Listing, folder, opened);
  if (status != ERROR_SUCCESS) return fail(status, INVALID_HANDLE_VALUE);
  if (!folder.exists || !folder.isDirectory) return fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (!opened.valid()) return fail(errorFromErrno(errno), INVALID_HANDLE_VALUE);

  auto search = std::make_shared<FindObject>(std::move(opened), std::u16string(last), folder, *device);
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
