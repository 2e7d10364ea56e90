#pragma once
// Opening documents and starting programs on the device, as the file explorer
// does: ShellExecuteEx "open" on a program starts it; on any other file it
// looks the file's type up under HKEY_CLASSES_ROOT (".ext" names a type,
// whose "Shell\Open\Command" is the command), puts the file's path for %1
// and starts the command's program with the rest as its command line.
//
// A device program is a host executable stored in the device's files. It is
// started with the device named in ORVELFLASH_DEVICE and its own device path
// in ORVELFLASH_MODULE (what GetModuleFileNameW answers there), and gets its
// command line as one argument.

#include <string>
#include <vector>

#include "platform/core/wintypes.h"

inline constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
// The size the device's programs put into cbSize (its 32-bit layout);
// sizeof(SHELLEXECUTEINFO) is taken too.
inline constexpr DWORD kDeviceShellExecuteInfoSize = 60;

struct SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;  // above 32 on success, else an SE_ERR_ code
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;  // with SEE_MASK_NOCLOSEPROCESS: the started program, closed with CloseHandle
};
using LPSHELLEXECUTEINFO = SHELLEXECUTEINFO*;

inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr LONG ERROR_BAD_EXE_FORMAT = 193;
inline constexpr LONG ERROR_NO_ASSOCIATION = 1155;

// Only the "open" verb (or none, which means it). A file whose type has no
// open command answers FALSE with ERROR_NO_ASSOCIATION.
BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info);

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD STILL_ACTIVE = 259;

// For process handles: waits until the program ends (or `milliseconds` pass).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// The program's exit code, STILL_ACTIVE while it runs; a program ended by a
// signal answers 128 + the signal.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// Host options put before the command line of every program this process
// starts (the started program's screen options: --headless, --script FILE);
// answers the options they replace.
std::vector<std::string> setProgramHostOptions(std::vector<std::string> options);
