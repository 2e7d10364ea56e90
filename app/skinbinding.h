#pragma once
// One agreed element of the skin: the pen events the player listens to it
// for and what the pen does on it. Player::skinBindings() is the table.

class Player;

struct SkinBinding {
  const char16_t* id;
  unsigned events;                      // SkinEvent bits listened for
  unsigned captured;                    // those of them listened for while capturing
  void (*click)(Player&, int x);        // null: a tap does nothing
  void (*move)(Player&, int x, int y);  // null: pen moves do nothing
  bool faced;                           // its "_pushed" face shows while the pen is down on it
};
