#pragma once
// The wide-character part of the device's C runtime that the system calls.

#include <cstdarg>

#include "platform/core/wintypes.h"

// Upper case of one UTF-16 unit: every Basic Multilingual Plane letter with a
// simple upper-case mapping, as the device's runtime folds for _wcsicmp.
WCHAR towupperW(WCHAR c);
WCHAR towlowerW(WCHAR c);

size_t wcslenW(LPCWSTR s);
int wcscmpW(LPCWSTR a, LPCWSTR b);
int _wcsicmp(LPCWSTR a, LPCWSTR b);
int _wcsnicmp(LPCWSTR a, LPCWSTR b, size_t count);

// wsprintfW writes at most 1024 characters including the terminator, as on the
// device. Conversions: %s (wide), %S (narrow), %c, %d, %i, %u, %x, %X, %%, with
// the flags '-' and '0', a width and, for strings, a precision.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
