#include "platform/core/wstdio.h"

#include <stdio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/core/device.h"
#include "platform/core/devicepath.h"
#include "platform/core/winnls.h"

namespace {

// The host mode for a device mode, or empty when the mode is not valid.
std::string hostMode(std::u16string_view mode, bool& create) {
  if (mode.empty() || (mode[0] != u'r' && mode[0] != u'w' && mode[0] != u'a')) return {};
  std::string host(1, static_cast<char>(mode[0]));
  bool plus = false;
  for (char16_t c : mode.substr(1)) {
    if (c == u'+')
      plus = true;
    else if (c != u'b' && c != u't')
      return {};
  }
  create = mode[0] != u'r';
  return host + (plus ? "+" : "") + "e";  // "e": not inherited by programs started later
}

int errnoFor(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
      return ENOMEM;
    default:
      return ENOENT;
  }
}

FILE* failWith(DWORD error) {
  SetLastError(error);
  errno = errnoFor(error);
  return nullptr;
}

// A file opened only for reading, behind its FILE: the bytes read with the
// open are served first, then the descriptor is read at the reader's own
// position. No descriptor flags are asked for, as fdopen would.
struct ReadingFile {
  HostDescriptor descriptor;
  FileStart start;
  off64_t position = 0;
};

ssize_t readReadingFile(void* cookie, char* buffer, size_t size) {
  auto& file = *static_cast<ReadingFile*>(cookie);
  if (file.position < static_cast<off64_t>(file.start.size)) {
    size_t count = std::min(size, file.start.size - static_cast<size_t>(file.position));
    std::memcpy(buffer, file.start.bytes + file.position, count);
    file.position += static_cast<off64_t>(count);
    return static_cast<ssize_t>(count);
  }
  ssize_t got;
  do {
    got = ::pread(file.descriptor.get(), buffer, size, file.position);
  } while (got < 0 && errno == EINTR);
  if (got > 0) file.position += got;
  return got;
}

int seekReadingFile(void* cookie, off64_t* offset, int whence) {
  auto& file = *static_cast<ReadingFile*>(cookie);
  off64_t target;
  if (whence == SEEK_END) {
    target = ::lseek64(file.descriptor.get(), *offset, SEEK_END);
    if (target < 0) return -1;
  } else if (whence == SEEK_SET || whence == SEEK_CUR) {
    off64_t base = whence == SEEK_SET ? 0 : file.position;
    if (__builtin_add_overflow(base, *offset, &target) || target < 0) {
      errno = EINVAL;
      return -1;
    }
  } else {
    errno = EINVAL;
    return -1;
  }
  file.position = target;
  *offset = target;
  return 0;
}

int closeReadingFile(void* cookie) {
  delete static_cast<ReadingFile*>(cookie);
  return 0;
}

constexpr cookie_io_functions_t kReadingFileCalls{&readReadingFile, nullptr, &seekReadingFile, &closeReadingFile};

// "r" in any of its spellings: one lookup-and-open and one read.
FILE* openForReading(const Device& device, std::u16string_view path) {
  auto file = std::make_unique<ReadingFile>();
  ResolvedPath resolved;
  DWORD status = openDeviceFile(device, path, resolved, file->descriptor, file->start);
  if (status != ERROR_SUCCESS) return failWith(status);
  if (resolved.kind != ResolvedPath::Kind::Entry || resolved.isDirectory) return failWith(ERROR_ACCESS_DENIED);
  if (!resolved.exists) return failWith(ERROR_FILE_NOT_FOUND);
  // Found but not handed over: a pipe or a device, which opening again by
  // its host path would wait on, or a file the host will not read.
  if (!file->descriptor.valid()) return failWith(ERROR_ACCESS_DENIED);
  FILE* stream = fopencookie(file.get(), "r", kReadingFileCalls);
  if (!stream) return failWith(ERROR_NOT_ENOUGH_MEMORY);
  file.release();
  return stream;
}

}  // namespace

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
  if (!path || !mode) return failWith(ERROR_INVALID_PARAMETER);
  std::u16string_view modeText(mode), pathText(path);
  bool create = false;
  std::string host = hostMode(modeText, create);
  if (host.empty()) return failWith(ERROR_INVALID_PARAMETER);
  Device* device = currentDevice();
  if (!device) return failWith(ERROR_PATH_NOT_FOUND);
  if (host == "re") return openForReading(*device, pathText);
  ResolvedPath resolved;
  DWORD status = resolveDevicePath(*device, pathText, resolved);
  if (status != ERROR_SUCCESS) return failWith(status);
  if (resolved.kind != ResolvedPath::Kind::Entry || resolved.isDirectory) return failWith(ERROR_ACCESS_DENIED);
  if (!resolved.exists && !create) return failWith(ERROR_FILE_NOT_FOUND);
  FILE* file = std::fopen(resolved.host.c_str(), host.c_str());
  if (!file) SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
  return file;
}

FILE* fopenDevice(LPCSTR path, LPCSTR mode) {
  if (!path || !mode) return failWith(ERROR_INVALID_PARAMETER);
  std::u16string widePath = ansiToWide(path);
  std::u16string wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(widePath.c_str(), wideMode.c_str());
}
