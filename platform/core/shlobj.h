#pragma once
// The shell's special folders of the device.

#include "platform/core/wintypes.h"

inline constexpr int CSIDL_PERSONAL = 0x0005;       // "\My Documents"
inline constexpr int CSIDL_WINDOWS = 0x0024;        // "\Windows"
inline constexpr int CSIDL_PROGRAM_FILES = 0x0026;  // "\Program Files"

// Writes the folder's device path into `path` (at least MAX_PATH units),
// making the folder first when `create` is set and it is missing. FALSE for
// a folder the device does not know, or one that is missing and not made.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);
