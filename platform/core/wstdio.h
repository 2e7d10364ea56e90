#pragma once
// The device's C runtime file opening: a device path in, a host FILE* out
// (read, write and close it with the usual stdio calls). Modes are "r", "w",
// "a", each optionally with "b", "t" and "+"; text mode reads and writes the
// bytes unchanged (the readers of this system take CR LF as it comes).
// Failures answer null with errno set (ENOENT, EACCES for a path that would
// leave the device or names a folder or pipe, EINVAL, ENOMEM) and
// GetLastError set as the file calls do. A file opened only for reading
// ("r", "rb", "rt") has no host descriptor behind fileno.

#include <cstdio>

#include "platform/core/wintypes.h"

FILE* _wfopen(LPCWSTR path, LPCWSTR mode);
// The same with a narrow path in the device's ANSI code page.
FILE* fopenDevice(LPCSTR path, LPCSTR mode);
