// The Player's option dialogs and information pages: what each menu command
// opens, and what the player does once it closes.

#include "app/aboutbox.h"
#include "app/htmlpagedialog.h"
#include "app/keymappingdialog.h"
#include "app/player.h"
#include "app/playeroptionsdialog.h"
#include "app/propertiespage.h"
#include "app/selectskindialog.h"
#include "app/settings.h"
#include "flashhost/flashcontrol.h"
#include "platform/core/shellapi.h"
#include "platform/core/winnls.h"
#include "resources/playerresources.h"
#include "xml/charsettable.h"

namespace {

constexpr char16_t kPropertiesTitle[] = u"File Properties...";

// String resource `id` whole, however long.
WideString loadLongString(HINSTANCE instance, UINT id) {
  LPCWSTR text = nullptr;
  int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? WideString(text, static_cast<size_t>(length)) : WideString();
}

}  // namespace

bool Player::dialogCommand(UINT id) {
  switch (id) {
    case kPropertiesCommand:
      showProperties();
      return true;
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

// The facts the player holds, whether or not a movie is loaded.
void Player::showProperties() {
  PropertiesFacts facts;
  facts.moviePath = m_moviePath;
  facts.charset = charsetForCodePage(static_cast<std::int32_t>(GetACP()));
  facts.flashVersion = m_facts.version;
  facts.totalFrames = totalFrames();
  facts.frameRate = m_facts.frameRate;
  facts.currentFrame = currentFrame();
  WideString page = propertiesPage(loadLongString(instance(), playerres::kPropertiesTemplate), facts);
  HtmlPageDialog(instance(), m_mainWindow, page, kPropertiesTitle).run();
}
