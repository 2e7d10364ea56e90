// Files and folders by device path.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/device.h"
#include "platform/core/devicepath.h"
#include "platform/core/fileattributes.h"
#include "platform/core/utf8.h"

namespace {

std::u16string_view viewOf(LPCWSTR text) {
  size_t n = 0;
  while (text[n]) ++n;
  return {text, n};
}

// Resolves `path` on the current device; on failure sets the last error.
bool resolve(LPCWSTR path, ResolvedPath& out) {
  Device* device = currentDevice();
  DWORD status = !path     ? ERROR_INVALID_PARAMETER
                 : !device ? ERROR_PATH_NOT_FOUND
                           : resolveDevicePath(*device, viewOf(path), out);
  if (status != ERROR_SUCCESS) SetLastError(status);
  return status == ERROR_SUCCESS;
}

template <class T>
T fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

class FileObject : public KernelObject {
 public:
  FileObject(int fd, bool readable, bool writable) : m_fd(fd), m_readable(readable), m_writable(writable) {}
  ~FileObject() override { ::close(m_fd); }
  int fd() const { return m_fd; }
  bool readable() const { return m_readable; }
  bool writable() const { return m_writable; }

 private:
  int m_fd;
  bool m_readable, m_writable;
};

std::shared_ptr<FileObject> fileOf(HANDLE handle) {
  auto file = findKernelObjectAs<FileObject>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

}  // namespace

DWORD deviceAttributesOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return FILE_ATTRIBUTE_ARCHIVE | ((info.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

FILETIME fileTimeOf(const struct timespec& time) {
  // 100-nanosecond units since 1601-01-01.
  constexpr ULONGLONG kUnixEpoch = 116444736000000000ull;
  ULONGLONG value =
      kUnixEpoch + static_cast<ULONGLONG>(time.tv_sec) * 10000000ull + static_cast<ULONGLONG>(time.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

DWORD errorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD GetFileAttributesW(LPCWSTR path) {
  ResolvedPath resolved;
  if (!resolve(path, resolved)) return INVALID_FILE_ATTRIBUTES;
  if (resolved.kind == ResolvedPath::Kind::Root) return FILE_ATTRIBUTE_DIRECTORY;
  if (resolved.kind == ResolvedPath::Kind::StorageCard) return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  struct stat info;
  if (!resolved.exists || ::stat(resolved.host.c_str(), &info) != 0)
    return fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  return deviceAttributesOf(info);
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  ResolvedPath resolved;
  if (!resolve(path, resolved)) return FALSE;
  if (resolved.exists) return fail(ERROR_ALREADY_EXISTS, FALSE);
  if (::mkdir(resolved.host.c_str(), 0755) != 0) return fail(errorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  ResolvedPath resolved;
  if (!resolve(path, resolved)) return FALSE;
  if (resolved.kind != ResolvedPath::Kind::Entry) return fail(ERROR_ACCESS_DENIED, FALSE);
  if (!resolved.exists) return fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (!resolved.isDirectory) return fail(ERROR_DIRECTORY, FALSE);
  if (::rmdir(resolved.host.c_str()) != 0)
    return fail(errno == ENOTDIR ? ERROR_DIRECTORY : errorFromErrno(errno), FALSE);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  ResolvedPath resolved;
  if (!resolve(path, resolved)) return FALSE;
  if (resolved.kind != ResolvedPath::Kind::Entry || resolved.isDirectory) return fail(ERROR_ACCESS_DENIED, FALSE);
  if (!resolved.exists) return fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (::unlink(resolved.host.c_str()) != 0) return fail(errorFromErrno(errno), FALSE);
  return TRUE;
}

namespace {

bool sameHostEntry(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// A rename is only durable once its folder is written out.
void syncFolderOf(const std::string& host) {
  std::string folder = host.substr(0, host.rfind('/'));
  int fd = ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
  ResolvedPath from, to;
  if (!resolve(existingName, from) || !resolve(newName, to)) return FALSE;
  if (from.kind != ResolvedPath::Kind::Entry || to.kind != ResolvedPath::Kind::Entry)
    return fail(ERROR_ACCESS_DENIED, FALSE);
  if (!from.exists) return fail(ERROR_FILE_NOT_FOUND, FALSE);
  std::u16string_view folder, last;
  splitLastName(viewOf(newName), folder, last);
  if (!isValidDeviceName(last)) return fail(ERROR_INVALID_NAME, FALSE);
  std::string target = to.host;
  if (to.exists) {
    if (!sameHostEntry(from.host, to.host)) return fail(ERROR_ALREADY_EXISTS, FALSE);
    target = to.host.substr(0, to.host.rfind('/') + 1) + toUtf8(last);  // a change of case only
    if (::rename(from.host.c_str(), target.c_str()) != 0) return fail(errorFromErrno(errno), FALSE);
  } else if (::renameat2(AT_FDCWD, from.host.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errorFromErrno(errno), FALSE);
  }
  syncFolderOf(target);
  return TRUE;
}

BOOL DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source) {
  ResolvedPath to, from;
  if (!resolve(destination, to) || !resolve(source, from)) return FALSE;
  if (to.kind != ResolvedPath::Kind::Entry || from.kind != ResolvedPath::Kind::Entry || to.isDirectory ||
      from.isDirectory)
    return fail(ERROR_ACCESS_DENIED, FALSE);
  if (!to.exists || !from.exists) return fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (::rename(from.host.c_str(), to.host.c_str()) != 0) return fail(errorFromErrno(errno), FALSE);
  syncFolderOf(to.host);
  return TRUE;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
  ResolvedPath resolved;
  if (!resolve(path, resolved)) return INVALID_HANDLE_VALUE;
  if (resolved.kind != ResolvedPath::Kind::Entry || resolved.isDirectory)
    return fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  bool readable = access & GENERIC_READ, writable = access & GENERIC_WRITE;
  int flags = O_CLOEXEC | (readable && writable ? O_RDWR : writable ? O_WRONLY : O_RDONLY);
  switch (disposition) {
    case CREATE_NEW:
      if (resolved.exists) return fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case OPEN_EXISTING:
      if (!resolved.exists) return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
      break;
    case TRUNCATE_EXISTING:
      if (!resolved.exists) return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
      if (!writable) return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
      flags |= O_TRUNC;
      break;
    default:
      return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  if ((flags & O_TRUNC) && !writable) flags = (flags & ~(O_RDONLY | O_WRONLY | O_RDWR)) | O_RDWR;
  mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
  int fd = ::open(resolved.host.c_str(), flags, mode);
  if (fd < 0) return fail(errorFromErrno(errno), INVALID_HANDLE_VALUE);
  HANDLE handle = addKernelObject(std::make_shared<FileObject>(fd, readable, writable));
  bool existed = resolved.exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  if (read) *read = 0;
  auto file = fileOf(handle);
  if (!file) return FALSE;
  if (overlapped || (!buffer && toRead)) return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!file->readable()) return fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD done = 0;
  while (done < toRead) {
    ssize_t n = ::read(file->fd(), static_cast<char*>(buffer) + done, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errorFromErrno(errno), FALSE);
    if (n == 0) break;  // end of file: success with fewer bytes
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
  if (written) *written = 0;
  auto file = fileOf(handle);
  if (!file) return FALSE;
  if (overlapped || (!buffer && toWrite)) return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!file->writable()) return fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD done = 0;
  while (done < toWrite) {
    ssize_t n = ::write(file->fd(), static_cast<const char*>(buffer) + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      return fail(errorFromErrno(n < 0 ? errno : ENOSPC), FALSE);
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
  auto file = fileOf(handle);
  if (!file) return INVALID_FILE_SIZE;
  struct stat info;
  if (::fstat(file->fd(), &info) != 0) return fail(errorFromErrno(errno), INVALID_FILE_SIZE);
  auto size = static_cast<ULONGLONG>(info.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);  // a size whose low part is INVALID_FILE_SIZE is not a failure
  return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LPLONG distanceHigh, DWORD method) {
  auto file = fileOf(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  LONGLONG move = distanceHigh
                      ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                              static_cast<DWORD>(distance))
                      : distance;
  LONGLONG base = 0;
  if (method == FILE_CURRENT) {
    base = ::lseek(file->fd(), 0, SEEK_CUR);
  } else if (method == FILE_END) {
    struct stat info;
    base = ::fstat(file->fd(), &info) == 0 ? info.st_size : -1;
  } else if (method != FILE_BEGIN) {
    return fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  if (base < 0) return fail(errorFromErrno(errno), INVALID_SET_FILE_POINTER);
  LONGLONG target = base + move;
  if (target < 0) return fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  if (!distanceHigh && target > 0xFFFFFFFELL) return fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  if (::lseek(file->fd(), target, SEEK_SET) < 0) return fail(errorFromErrno(errno), INVALID_SET_FILE_POINTER);
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<ULONGLONG>(target) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(target);
}

BOOL FlushFileBuffers(HANDLE handle) {
  auto file = fileOf(handle);
  if (!file) return FALSE;
  if (::fsync(file->fd()) != 0) return fail(errorFromErrno(errno), FALSE);
  return TRUE;
}
