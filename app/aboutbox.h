#pragma once
// The about box: the program's icon and name on a full-screen page that Done
// closes.

#include "platform/core/winuser.h"

// Shows template 103 modally; 1 when closed.
INT_PTR showAboutBox(HINSTANCE instance, HWND parent);
