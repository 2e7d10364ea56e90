#include "app/playeroptionsdialog.h"

#include "ui/dialogsupport.h"
#include "app/filetype.h"
#include "resources/playerresources.h"

namespace {

constexpr char16_t kSwfExtension[] = u".swf";
constexpr char16_t kFlashProgId[] = u"ShockwaveFlash.ShockwaveFlash";

}  // namespace

// The whole module path goes into both the command that is written and the
// one that is compared, so a long path never makes a registration look as
// if it had not taken.
WideString swfOpenCommand(WideStringView programPath) { return u"\"" + WideString(programPath) + u"\" %1"; }

WideString swfDocumentIcon(WideStringView programPath) {
  return WideString(programPath) + u", -" + decimalText(static_cast<int>(playerres::kDocumentIcon));
}

INT_PTR PlayerOptionsDialog::run() {
  return runFullScreenDialog(m_instance, playerres::kPlayerOptionsDialog, m_parent, *this);
}

bool PlayerOptionsDialog::command(HWND dialog, WORD id) {
  switch (id) {
    case kSetDefaultPlayerButton:
      setDefaultPlayer();
      return true;
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, IDOK);
      return true;
    default:
      return false;
  }
}

void PlayerOptionsDialog::initialise(HWND dialog) {
  m_dialog = dialog;
  m_command = swfOpenCommand(modulePath());
  showRegistration();
}

void PlayerOptionsDialog::showRegistration() {
  bool registered = isDefaultPlayer(kSwfExtension, m_command.c_str());
  CheckDlgButton(m_dialog, kDefaultPlayerCheckBox, registered ? BST_CHECKED : BST_UNCHECKED);
}

void PlayerOptionsDialog::setDefaultPlayer() {
  WideString path = modulePath();
  WideString icon = swfDocumentIcon(path);
  registerFileType(kSwfExtension, m_command.c_str(), kFlashProgId, icon.c_str());
  showRegistration();
  if (isDefaultPlayer(kSwfExtension, m_command.c_str())) MessageBoxW(m_dialog, kDefaultPlayerSetText, u"", MB_OK);
}
