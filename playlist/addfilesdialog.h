#pragma once
// "Add Files": every movie of the device with a check box; Done answers the
// ticked ones sorted by full path.

#include <vector>

#include "base/widestring.h"
#include "platform/core/winuser.h"

// Empty when the user ticked nothing.
std::vector<WideString> runAddFilesDialog(HWND owner);
