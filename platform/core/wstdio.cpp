#include "platform/core/wstdio.h"

#include <stdio.h>

#include <cerrno>
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
    default:
      return ENOENT;
  }
}

FILE* failWith(DWORD error) {
  SetLastError(error);
  errno = errnoFor(error);
  return nullptr;
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
  ResolvedPath resolved;
  HostDescriptor opened;
  // A file opened only for reading is looked up and opened in one step.
  const bool readOnly = host == "re";
  DWORD status = readOnly ? openDevicePath(*device, pathText, OpenFor::Reading, resolved, opened)
                          : resolveDevicePath(*device, pathText, resolved);
  if (status != ERROR_SUCCESS) return failWith(status);
  if (resolved.kind != ResolvedPath::Kind::Entry || resolved.isDirectory) return failWith(ERROR_ACCESS_DENIED);
  if (!resolved.exists && !create) return failWith(ERROR_FILE_NOT_FOUND);
  if (opened.valid()) {
    if (FILE* file = fdopen(opened.get(), "r")) {
      opened.release();
      return file;
    }
  } else if (readOnly && resolved.exists) {
    // Found but not handed over: a pipe or a device, which opening again by
    // its host path would wait on, or a file the host will not open.
    return failWith(ERROR_ACCESS_DENIED);
  }
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
