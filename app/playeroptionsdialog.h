#pragma once
// The "Settings" dialog: one button that makes the player the device's
// handler for ".swf" files, and a check box (hidden by its template) that
// tells whether it already is.

#include "base/widestring.h"
#include "platform/core/winuser.h"

inline constexpr int kSetDefaultPlayerButton = 1002;
inline constexpr int kDefaultPlayerCheckBox = 1001;
inline constexpr char16_t kDefaultPlayerSetText[] =
    u"The Orvel Flash Player has been set as your default flash player.";

// The ".swf" open command for the program at `programPath`: the path in
// double quotes, a blank and %1.
WideString swfOpenCommand(WideStringView programPath);
// The document icon: icon resource 108 of the program.
WideString swfDocumentIcon(WideStringView programPath);

class PlayerOptionsDialog {
 public:
  PlayerOptionsDialog(HINSTANCE instance, HWND parent) : m_instance(instance), m_parent(parent) {}
  // Shows the dialog modally from template 107; 1 when closed with Done.
  INT_PTR run();

  // The dialog's procedure calls these (runFullScreenDialog).
  void initialise(HWND dialog);
  bool command(HWND dialog, WORD id);

 private:
  void setDefaultPlayer();
  void showRegistration();

  HINSTANCE m_instance;
  HWND m_parent;
  HWND m_dialog = nullptr;
  WideString m_command;
};
