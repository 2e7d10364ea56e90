#pragma once
// What the message loop does with a key-down before any window sees it:
// hardware keys are looked up in the key map and become player actions,
// other key codes for the movie, or nothing at all.

#include "app/keymap.h"

enum class KeyRoute {
  Dispatch,   // unchanged, to the window it was meant for
  Action,     // to the Player's key actions with `value`; not dispatched
  Readdress,  // to the Flash control's window as key code `value`
  Discard,    // neither dispatched nor acted on
};

struct KeyTranslation {
  KeyRoute route;
  int value;
};

inline constexpr int kReturnKey = VK_RETURN;

// Return always toggles full screen and is never looked up. In full screen
// the movie is turned a quarter, so a direction key without an action of its
// own borrows the binding of the key a quarter turn further.
KeyTranslation translateKeyDown(const KeyMap& map, bool fullScreen, int key);
