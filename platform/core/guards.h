#pragma once
// Guards for the core's C resources: a kernel handle closed with CloseHandle,
// a file search closed with FindClose and a C file closed with fclose. Registry keys have RegKeyHandle
// (regkey.h). Header-only, so that libraries resolving the device's calls
// from their host use them too.

#include <cstdio>
#include <memory>
#include <utility>

#include "platform/core/handles.h"
#include "platform/core/winbase.h"

// A handle from CreateFileW, a process's hProcess and the like.
class HandleGuard {
 public:
  HandleGuard() = default;
  explicit HandleGuard(HANDLE handle) : m_handle(handle) {}
  ~HandleGuard() {
    if (valid()) CloseHandle(m_handle);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;

  HANDLE get() const { return m_handle; }
  bool valid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_handle = nullptr;
};

// A FindFirstFileW search; the first match lands in the data given, the
// others through next().
class FileSearch {
 public:
  FileSearch(LPCWSTR pattern, WIN32_FIND_DATAW& data) : m_handle(FindFirstFileW(pattern, &data)) {}
  ~FileSearch() {
    if (found()) FindClose(m_handle);
  }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  bool found() const { return m_handle != INVALID_HANDLE_VALUE; }
  bool next(WIN32_FIND_DATAW& data) { return found() && FindNextFileW(m_handle, &data); }

 private:
  HANDLE m_handle;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
