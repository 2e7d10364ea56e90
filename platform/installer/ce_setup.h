#pragma once
// The device's published setup interface: the four functions a setup library
// exports for the application installer, which calls them around installing
// and removing an application. Each answers one of its codes; 0 goes on.

#include "platform/core/wintypes.h"

using LPCTSTR = const WCHAR*;

enum codeINSTALL_INIT { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL = 1 };
enum codeINSTALL_EXIT { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL = 1 };
enum codeUNINSTALL_INIT { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL = 1 };
enum codeUNINSTALL_EXIT { codeUNINSTALL_EXIT_DONE = 0 };

// What a setup library puts before each of the four.
#define SETUP_API extern "C" __attribute__((visibility("default")))

using pfnINSTALL_INIT = codeINSTALL_INIT (*)(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                             LPCTSTR installFolder);
using pfnINSTALL_EXIT = codeINSTALL_EXIT (*)(HWND parent, LPCTSTR installFolder, unsigned failedDirs,
                                             unsigned failedFiles, unsigned failedRegKeys, unsigned failedRegValues,
                                             unsigned failedShortcuts);
using pfnUNINSTALL_INIT = codeUNINSTALL_INIT (*)(HWND parent, LPCTSTR installFolder);
using pfnUNINSTALL_EXIT = codeUNINSTALL_EXIT (*)(HWND parent);

inline constexpr const char* kInstallInitName = "Install_Init";
inline constexpr const char* kInstallExitName = "Install_Exit";
inline constexpr const char* kUninstallInitName = "Uninstall_Init";
inline constexpr const char* kUninstallExitName = "Uninstall_Exit";
