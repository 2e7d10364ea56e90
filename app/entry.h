#pragma once
// The program's entry: one player per device, the start-up steps in their
// order, and the message loop that turns hardware keys into player actions
// before any window sees them.

#include "base/widestring.h"
#include "platform/core/winuser.h"

// The platform's WinMain: 0 when start-up fails or another instance took the
// command line, else the WM_QUIT code.
int playerWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

// True when the player runs in this process.
bool startUp(HINSTANCE instance, int showCommand);

// Translates and dispatches until WM_QUIT; answers its code.
int runMessageLoop(HACCEL accelerators);

// One key-down of the loop: true when it is to be dispatched (possibly
// re-addressed), false when it was handled or discarded.
bool routeKeyDown(MSG& msg);
