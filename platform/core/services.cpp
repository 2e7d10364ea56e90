// Critical sections, the version, the program's own path, the idle timer.
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

#include "platform/core/device.h"
#include "platform/core/utf8.h"
#include "platform/core/winbase.h"

namespace {

std::recursive_mutex& mutexOf(LPCRITICAL_SECTION section) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}

std::u16string hostProgramName() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "program";
  return fromUtf8(path.substr(path.find_last_of('/') + 1));
}

struct ModulePaths {
  std::mutex mutex;
  std::map<HMODULE, std::u16string> paths;
};

ModulePaths& modulePaths() {
  static ModulePaths state;
  return state;
}

std::u16string modulePath(HMODULE module) {
  ModulePaths& state = modulePaths();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (auto it = state.paths.find(module); it != state.paths.end()) return it->second;
  if (module) return {};
  if (const char* named = std::getenv("ORVELFLASH_MODULE"); named && *named) return fromUtf8(named);
  return u"\\Windows\\" + hostProgramName();
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) { new (section->storage) std::recursive_mutex(); }
void DeleteCriticalSection(LPCRITICAL_SECTION section) { mutexOf(section).~recursive_mutex(); }
void EnterCriticalSection(LPCRITICAL_SECTION section) { mutexOf(section).lock(); }
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) { return mutexOf(section).try_lock() ? TRUE : FALSE; }
void LeaveCriticalSection(LPCRITICAL_SECTION section) { mutexOf(section).unlock(); }

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DeviceConfig config;
  if (Device* device = currentDevice()) config = device->config();
  info->dwMajorVersion = config.osMajor;
  info->dwMinorVersion = config.osMinor;
  info->dwBuildNumber = config.osBuild;
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  std::u16string path = modulePath(module);
  if (path.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() + 1 > size) {
    std::copy(path.begin(), path.begin() + (size - 1), fileName);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(path.begin(), path.end(), fileName);
  fileName[path.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

void setModuleFileName(HMODULE module, LPCWSTR devicePath) {
  ModulePaths& state = modulePaths();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (devicePath)
    state.paths[module] = devicePath;
  else
    state.paths.erase(module);
}

void SystemIdleTimerReset() {
  if (Device* device = currentDevice()) device->resetIdleTimer();
}
