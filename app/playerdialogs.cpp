// The Player's option dialogs and information pages: what each menu command
// opens, and what the player does once it closes.

#include "app/aboutbox.h"
#include "app/keymappingdialog.h"
#include "app/player.h"
#include "app/playeroptionsdialog.h"
#include "app/selectskindialog.h"
#include "app/settings.h"
#include "flashhost/flashcontrol.h"
#include "platform/core/shellapi.h"

bool Player::dialogCommand(UINT id) {
  switch (id) {
    case kPlayerOptionsCommand:
      PlayerOptionsDialog(instance(), m_mainWindow).run();
      return true;
    case kButtonOptionsCommand:
      showKeyMapping();
      return true;
    case kSkinOptionsCommand:
      showSelectSkin();
      return true;
    case kDocumentsCommand:
      showHelp();
      return true;
    case kAboutCommand:
      showAboutBox(instance(), m_mainWindow);
      return true;
    default:
      return false;
  }
}

HINSTANCE Player::instance() const {
  return m_mainWindow ? reinterpret_cast<HINSTANCE>(GetWindowLongW(m_mainWindow, GWL_HINSTANCE)) : nullptr;
}

// Bindings took effect as they were made; Done stores them with the options
// and gives the control its menu as the check box left it.
void Player::showKeyMapping() {
  if (KeyMappingDialog(instance(), m_mainWindow, settings()).run() != IDOK) return;
  controlPut(u"Menu", settings().showFlashMenu ? u"True" : u"False");
  settings().saveAll();
}

// A new package brings a new skin document: it replaces the one around the
// movie at once.
void Player::showSelectSkin() {
  WideString skin = settings().skin, zipskin = settings().zipskin;
  if (SelectSkinDialog(instance(), m_mainWindow, settings()).run() != IDOK) return;
  if (settings().skin != skin || settings().zipskin != zipskin) loadSkin(settings().skin);
}

// The device's browser shows the help file beside the program; the player
// has nothing to add when it cannot.
void Player::showHelp() {
  WideString file = m_programFolder + u"\\help.htm";
  SHELLEXECUTEINFO info{};
  info.cbSize = kDeviceShellExecuteInfoSize;
  info.hwnd = m_mainWindow;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOW;
  info.hInstApp = instance();
  ShellExecuteEx(&info);
}
