#pragma once
// The "Select Skin" dialog: every skin package on the device by its display
// name, the one in use selected; Done installs the chosen package and saves.
// The caller reloads the skin when the installation changed it.

#include <vector>

#include "base/widestring.h"
#include "platform/core/winuser.h"

class Settings;

inline constexpr int kSkinList = 1003;
inline constexpr char16_t kUnusablePackageText[] =
    u"This skin package holds no skin the player can read. Your skin stays as it is; please choose another one.";

// A package's name in the list: its file name without folder and without
// the text from its last ".".
WideString skinDisplayName(WideStringView package);

class SelectSkinDialog {
 public:
  SelectSkinDialog(HINSTANCE instance, HWND parent, Settings& settings)
      : m_instance(instance), m_parent(parent), m_settings(settings) {}
  // Shows template 109 modally; 1 when closed with Done, 2 when cancelled.
  INT_PTR run();

  // The dialog's procedure calls these (runFullScreenDialog).
  void initialise(HWND dialog);
  bool command(HWND dialog, WORD id);

 private:
  // False when the chosen package cannot replace the skin in use.
  bool done();

  HINSTANCE m_instance;
  HWND m_parent;
  Settings& m_settings;
  HWND m_dialog = nullptr;
  std::vector<WideString> m_packages;  // in list order, while the dialog is open
};
