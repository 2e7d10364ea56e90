#pragma once
// The device's kernel calls: files and folders by device path, critical
// sections, the OS version, the program's own path and the idle timer.
//
// File calls work on the current device (device.h): names are matched
// ignoring case and keep their case, "\Storage Card" is the inserted card,
// and a path that would leave the device answers ERROR_ACCESS_DENIED without
// touching anything. Failures answer the device's values (FALSE,
// INVALID_HANDLE_VALUE, INVALID_FILE_ATTRIBUTES) with GetLastError set.

#include <mutex>
#include <new>

#include "platform/core/handles.h"
#include "platform/core/wintypes.h"

// ---- files

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;  // on a storage card's folder
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 0x00000001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x00000002;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// File errors beyond the basic ones of wintypes.h.
inline constexpr LONG ERROR_GEN_FAILURE = 31;
inline constexpr LONG ERROR_DISK_FULL = 112;
inline constexpr LONG ERROR_NEGATIVE_SEEK = 131;
inline constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr LONG ERROR_DIRECTORY = 267;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;  // the device has no overlapped I/O: always pass null
using LPOVERLAPPED = OVERLAPPED*;

// The device's listing record (the CE layout: an object id, no short name).
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Lists the folder of `pattern` in the host's directory order, matching the
// last name ('*', '?', ignoring case; "*.*" is everything). "." and ".." are
// never listed. No match: ERROR_FILE_NOT_FOUND; a missing folder:
// ERROR_PATH_NOT_FOUND; the end: FindNextFileW answers ERROR_NO_MORE_FILES.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE search);

DWORD GetFileAttributesW(LPCWSTR path);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);
BOOL DeleteFileW(LPCWSTR path);
// Renames a file or folder. Fails with ERROR_ALREADY_EXISTS when the new name
// is taken by another entry; the same entry spelled in another case is renamed.
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);
// Replaces the file `destination` by `source` in one step, so that a reader
// always finds the one or the other; both must exist, and `source` is gone after.
BOOL DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source);

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method);
BOOL FlushFileBuffers(HANDLE file);
// CloseHandle is declared in handles.h.

// ---- critical sections (recursive, as on the device)

struct CRITICAL_SECTION {
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// ---- version

inline constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

// The current device's version (4.20 unless it was made otherwise).
// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOW).
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// ---- the program's own path

// Answers the program's device path (a module registered with
// setModuleFileName, or the program's when `module` is null). A buffer too
// small gets the path cut to size - 1 units, answers size and sets
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
// Whoever starts a program on the device says where it lives there: this
// call, or ORVELFLASH_MODULE in the program's environment. Without either the
// program is "\Windows\" followed by the host program's file name.
void setModuleFileName(HMODULE module, LPCWSTR devicePath);

// ---- power

// Keeps the device awake; counted by the device (Device::idleTimerResets).
void SystemIdleTimerReset();
