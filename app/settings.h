#pragma once
// The player's options, kept in memory for the whole run and stored under
// HKEY_CURRENT_USER\software\Orvelflash. Read once at start (load) and
// written when an option dialog is confirmed; never saved at exit.

#include "app/keymap.h"
#include "base/widestring.h"

class Settings {
 public:
  // Registry buffer sizes in bytes: a longer value does not fit and counts
  // as absent (so a path of 259 characters or a key map of 511 is ignored).
  static constexpr unsigned kKeyMappingBytes = 1023;
  static constexpr unsigned kPathBytes = 519;
  // Depth of every device-wide file search: the start folder and seven levels.
  static constexpr int kScanDepth = 8;

  bool showTip = true;         // stored, never used
  bool interact = false;       // stored, never used
  bool showFlashMenu = false;  // the control's own context menu
  int scanDepth = kScanDepth;
  WideString skin;        // the skin document in use (.bskn)
  WideString zipskin;     // the package it was unpacked from (.zskn)
  WideString dataFolder;  // the user's documents folder + "\OrvelFlash", set before load
  KeyMap keyMap;

  // Reads every option; on a first run starts with the default key map and
  // the default skin package and stores everything.
  void load();
  // Writes all six values; silent when the key cannot be created.
  void saveAll() const;
  // Writes "skin" and "zipskin" only.
  void saveSkin() const;
  // Installs the default skin package when the skin document has gone.
  void checkSkin();
};

// The one instance of the running player.
Settings& settings();

inline constexpr char16_t kSettingsKey[] = u"software\\Orvelflash";
