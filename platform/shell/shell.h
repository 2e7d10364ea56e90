#pragma once
// The shell's side for the rest of the device: starting the task bar, asking
// about it, and handing the application buttons to a game.

#include "platform/core/winuser.h"

namespace shell {

// Shows the task bar and takes the shell's keys; the SH* calls start it too.
void start();
HWND taskBar();
bool taskBarShown();
// While on, the application buttons reach the focused window (GXOpenInput).
void setGameInput(bool open);
// Forgets the shell's windows and state (between tests).
void resetForTests();

}  // namespace shell
