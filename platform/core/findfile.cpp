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
#include "platform/core/folderlisting.h"
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

template <class T>
T fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

}  // namespace

// One search: the open host folder, the pattern, and what the root adds or
// hides. An entry's kind comes from its directory entry when the host gives
// one; the host is asked for the rest (stat) only when it is wanted, and at
// once for symlinks and entries of unknown kind.
class FolderSearch {
 public:
  FolderSearch(HostDescriptor folder, std::u16string pattern, const ResolvedPath& resolved, const Device& device)
      : m_entries(std::move(folder)),
        m_pattern(std::move(pattern)),
        m_everything(m_pattern == u"*" || m_pattern == u"*.*"),
        m_folderHost(resolved.host),
        m_atRoot(resolved.kind == ResolvedPath::Kind::Root),
        m_cardPending(m_atRoot && !device.storageCard().empty()),
        m_device(device) {}

  // Moves to the next entry that matches; false at the end.
  bool next() {
    unsigned char type = DT_UNKNOWN;
    while (const char* name = m_entries.next(type))
      if (accept(name, type)) return true;
    if (m_cardPending) {
      m_cardPending = false;
      if (matchesDevicePattern(m_pattern, Device::kStorageCardName)) {
        m_name = Device::kStorageCardName;
        m_entry = Entry::Card;
        return true;
      }
    }
    return false;
  }

  const std::u16string& name() const { return m_name; }
  bool isFolder() const { return m_entry == Entry::Card || m_isFolder; }

  // Fills `data` for the current entry; false when the host no longer has it.
  bool findData(WIN32_FIND_DATAW& data) {
    if (m_entry == Entry::Card) {
      fillCard(data);
      return true;
    }
    if (m_entry == Entry::Unread && !readInfo()) return false;
    fill(data);
    return true;
  }

 private:
  enum class Entry { Unread, Read, Card };  // whether m_info holds the host's answer

  bool accept(const char* entryName, unsigned char type) {
    std::string_view hostName(entryName);
    if (hostName == "." || hostName == ".." || !assignValidUtf8(m_name, hostName)) return false;
    if (!isValidDeviceName(m_name) || m_name.size() >= MAX_PATH) return false;  // no device path could name it
    if (m_atRoot &&
        (equalsFolded(m_name, u".orvel") || (m_cardPending && equalsFolded(m_name, Device::kStorageCardName))))
      return false;
    if (!m_everything && !matchesDevicePattern(m_pattern, m_name)) return false;
    m_hostName = entryName;
    m_entry = Entry::Unread;
    if (type == DT_DIR || type == DT_REG) {
      m_isFolder = type == DT_DIR;
      return true;
    }
    return readInfo();
  }

  // Asks the host about the current entry; a symlink is listed only when it
  // lands inside the device or its card.
  bool readInfo() {
    if (fstatat(m_entries.descriptor(), m_hostName, &m_info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(m_info.st_mode) && !followInside()) return false;
    m_entry = Entry::Read;
    m_isFolder = S_ISDIR(m_info.st_mode);
    return true;
  }

  bool followInside() {
    char real[PATH_MAX];
    std::string link = m_folderHost + '/' + m_hostName;
    if (!realpath(link.c_str(), real)) return false;
    auto inside = [&](const std::string& base) {
      return !base.empty() && std::string_view(real).substr(0, base.size()) == base &&
             (real[base.size()] == 0 || real[base.size()] == '/');
    };
    if (!inside(m_device.root().string()) && !inside(m_device.storageCard().string())) return false;
    return fstatat(m_entries.descriptor(), m_hostName, &m_info, 0) == 0;
  }

  void fill(WIN32_FIND_DATAW& data) const {
    data.dwFileAttributes = deviceAttributesOf(m_info);
    data.ftCreationTime = fileTimeOf(m_info.st_ctim);
    data.ftLastAccessTime = fileTimeOf(m_info.st_atim);
    data.ftLastWriteTime = fileTimeOf(m_info.st_mtim);
    auto size = S_ISDIR(m_info.st_mode) ? 0ull : static_cast<ULONGLONG>(m_info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    data.dwOID = static_cast<DWORD>(m_info.st_ino);
    copyName(data);
  }

  void fillCard(WIN32_FIND_DATAW& data) const {
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
    copyName(data);
  }

  void copyName(WIN32_FIND_DATAW& data) const {
    std::copy(m_name.begin(), m_name.end(), data.cFileName);
    data.cFileName[m_name.size()] = 0;
  }

  FolderEntries m_entries;
  std::u16string m_pattern;
  bool m_everything;  // "*" and "*.*" match every name
  std::string m_folderHost;
  bool m_atRoot;
  bool m_cardPending;  // "\Storage Card" is listed after the root's own entries
  const Device& m_device;
  // The current entry. m_hostName points into m_entries' buffer, which
  // holds it until the next entry is read.
  std::u16string m_name;
  const char* m_hostName = nullptr;
  Entry m_entry = Entry::Unread;
  bool m_isFolder = false;
  struct stat m_info {};
};

namespace {

// Opens the search `pattern` names ("\folder\*.*"), or answers why not.
DWORD startSearch(std::u16string_view pattern, std::unique_ptr<FolderSearch>& search) {
  Device* device = currentDevice();
  if (!device) return ERROR_PATH_NOT_FOUND;
  std::u16string_view folderPath, last;
  splitLastName(pattern, folderPath, last);
  if (last.empty()) return ERROR_FILE_NOT_FOUND;
  if (!isValidPattern(last)) return ERROR_INVALID_NAME;

  ResolvedPath folder;
  HostDescriptor opened;
  DWORD status = openDeviceFolder(*device, folderPath, folder, opened);
  if (status != ERROR_SUCCESS) return status;
  if (!folder.exists || !folder.isDirectory) return ERROR_PATH_NOT_FOUND;
  if (!opened.valid()) return errorFromErrno(errno);
  search = std::make_unique<FolderSearch>(std::move(opened), std::u16string(last), folder, *device);
  return ERROR_SUCCESS;
}

// A search behind a HANDLE: every entry it hands out is read in full, and an
// entry gone before it could be read is passed over.
class FindObject : public KernelObject {
 public:
  explicit FindObject(std::unique_ptr<FolderSearch> search) : m_search(std::move(search)) {}
  bool closedByCloseHandle() const override { return false; }

  bool next(WIN32_FIND_DATAW& data) {
    while (m_search->next())
      if (m_search->findData(data)) return true;
    return false;
  }

 private:
  std::unique_ptr<FolderSearch> m_search;
};

}  // namespace

FolderListing::FolderListing(std::u16string_view pattern) {
  DWORD status = startSearch(pattern, m_search);
  SetLastError(status);
}

FolderListing::~FolderListing() = default;

bool FolderListing::next() { return m_search && m_search->next(); }
std::u16string_view FolderListing::name() const { return m_search ? m_search->name() : std::u16string_view(); }
bool FolderListing::isFolder() const { return m_search && m_search->isFolder(); }
bool FolderListing::findData(WIN32_FIND_DATAW& data) { return m_search && m_search->findData(data); }

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!pattern || !data) return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  std::unique_ptr<FolderSearch> started;
  DWORD status = startSearch(std::u16string_view(pattern, wcslenW(pattern)), started);
  if (status != ERROR_SUCCESS) return fail(status, INVALID_HANDLE_VALUE);
  auto search = std::make_shared<FindObject>(std::move(started));
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
