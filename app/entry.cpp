#include "app/entry.h"

#include "app/keytranslation.h"
#include "app/player.h"
#include "app/settings.h"
#include "platform/core/shlobj.h"
#include "platform/core/winbase.h"
#include "platform/image/richimage.h"
#include "platform/ole/objbase.h"
#include "render/engine.h"
#include "resources/playerresources.h"

namespace {

HINSTANCE g_instance = nullptr;
WideString g_commandLine;
WideString g_programFolder;

constexpr size_t kNameBuffer = 100;

WideString loadString(HINSTANCE instance, UINT id) {
  WCHAR buffer[kNameBuffer] = {};
  LoadStringW(instance, id, buffer, static_cast<int>(kNameBuffer));
  return WideString(buffer);
}

WideString programPath() {
  WCHAR buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return WideString(buffer);
}

WideString dataFolderPath() {
  WCHAR buffer[MAX_PATH] = {};
  SHGetSpecialFolderPath(nullptr, buffer, CSIDL_PERSONAL, TRUE);
  return WideString(buffer) + u"\\OrvelFlash";
}

// The copy-data byte count: the text and its null, rounded down to even.
DWORD copyDataBytes(const WideString& text) { return static_cast<DWORD>(((text.size() * 2) & ~size_t{1}) + 2); }

}  // namespace

int playerWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  g_commandLine = commandLine ? WideString(commandLine) : WideString();
  CoInitializeEx(nullptr, 0);
  if (!startUp(instance, showCommand)) return 0;
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(playerres::kAccelerators));
  return runMessageLoop(accelerators);
}

bool startUp(HINSTANCE instance, int showCommand) {
  g_instance = instance;
  WideString className = loadString(instance, playerres::kClassString);
  WideString title = loadString(instance, playerres::kTitleString);
  if (HWND running = activateRunningPlayer(className.c_str(), title.c_str())) {
    if (!g_commandLine.empty()) {
      COPYDATASTRUCT data{0, copyDataBytes(g_commandLine), g_commandLine.data()};
      SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    return false;
  }
  WideString path = programPath();
  size_t slash = path.rfind(u'\\');
  g_programFolder = slash == WideString::npos ? WideString() : path.substr(0, slash);
  settings().dataFolder = dataFolderPath();
  settings().load();
  startSkinEngine(instance, "OrvelFlash");
  RichImage::AddHandler(new rcJPEGHandler);
  RichImage::AddHandler(new rcGIFHandler);
  auto* player = new Player(g_programFolder);
  setCurrentPlayer(player);
  RichImage::init(path.c_str());
  player->createWindows(instance, showCommand);
  // The main window's destruction deletes the player.
  if (Player* running = currentPlayer(); running && !g_commandLine.empty()) running->open(g_commandLine);
  return true;
}

bool routeKeyDown(MSG& msg) {
  Player* player = currentPlayer();
  if (!player) return true;
  KeyTranslation route = translateKeyDown(settings().keyMap, player->fullScreen(), static_cast<int>(msg.wParam));
  switch (route.route) {
    case KeyRoute::Dispatch:
      return true;
    case KeyRoute::Action:
      Player::mainProcedure(player->mainWindow(), WM_KEYDOWN, static_cast<WPARAM>(route.value), 0);
      return false;
    case KeyRoute::Readdress:
      msg.wParam = static_cast<WPARAM>(route.value);
      msg.hwnd = player->controlWindow();
      return true;
    case KeyRoute::Discard:
      return false;
  }
  return true;
}

int runMessageLoop(HACCEL accelerators) {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (accelerators && TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    if (msg.message == WM_KEYDOWN && !routeKeyDown(msg)) continue;
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
