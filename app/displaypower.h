#pragma once
// The screen's power, switched through the display driver's escapes
// ("Display On/Off"). On CE 4 and later the driver's answer is not trusted
// for the toggle: the player keeps the state it last set itself.

#include "platform/core/wintypes.h"

// The driver's power state (1 on, 4 off), or 0 when it has no power escapes.
ULONG readDisplayPower();
void setDisplayPower(ULONG state);

class DisplayPower {
 public:
  // On to off and off to on; any other state is left alone.
  void toggle();
  ULONG lastSet() const { return m_lastSet; }

 private:
  ULONG m_lastSet = 1;
};
