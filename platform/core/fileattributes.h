#pragma once
// Host stat information in the device's terms, shared by the file calls.

#include <sys/stat.h>

#include <cerrno>

#include "platform/core/winbase.h"

// Directory, or an archived file; read-only when the owner cannot write it.
DWORD deviceAttributesOf(const struct stat& info);
FILETIME fileTimeOf(const struct timespec& time);
// The GetLastError code for a failed host call.
DWORD errorFromErrno(int error);
