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
  return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(playerres::kPlayerOptionsDialog), m_parent, procedure,
                         reinterpret_cast<LPARAM>(this));
}

BOOL PlayerOptionsDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = dialogObject<PlayerOptionsDialog>(dialog, message, lParam);
  if (!self) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      self->initialise(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kSetDefaultPlayerButton:
          self->setDefaultPlayer();
          return TRUE;
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, IDOK);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void PlayerOptionsDialog::initialise(HWND dialog) {
  m_dialog = dialog;
  initFullScreenDialog(dialog);
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
