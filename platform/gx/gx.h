#pragma once
// Game input: while a program holds it open, the application buttons reach
// its focused window as WM_KEYDOWN / WM_KEYUP (VK_APP1..VK_APP9) instead of
// being taken by the shell.

#include "platform/core/winuser.h"

// Answers 1 when input is opened (opening twice is fine), 0 otherwise.
int GXOpenInput();
int GXCloseInput();
