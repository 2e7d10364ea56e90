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
// The input panel above the menu bar. Raising or lowering it moves the work
// area's bottom and sends WM_SETTINGCHANGE (SPI_SETSIPINFO) to every window.
bool inputPanelShown();
bool showInputPanel(bool up);
// Forgets the shell's windows and state (between tests).
void resetForTests();

}  // namespace shell
