#pragma once
// The formatting engine behind wsprintfW, answering a string of any length.

#include <cstdarg>
#include <string>

#include "platform/core/wintypes.h"

std::u16string formatWideV(LPCWSTR format, va_list args);
std::u16string formatWide(LPCWSTR format, ...);
