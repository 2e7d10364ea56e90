#include "app/player.h"

#include <algorithm>
#include <string>

#include "ui/dialogsupport.h"
#include "app/keymap.h"
#include "app/keytranslation.h"
#include "app/messagetable.h"
#include "app/openfiledialog.h"
#include "app/settings.h"
#include "flashhost/flashcontrol.h"
#include "flashhost/flashhost.h"
#include "platform/commctrl/commctrl.h"
#include "platform/core/mmsystem.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"
#include "platform/gx/gx.h"
#include "playlist/playlistmanager.h"
#include "render/svgelement.h"
#include "resources/playerresources.h"
#include "xml/xmlparser.h"

namespace {

Player* g_player = nullptr;

constexpr int kOpenFileImage = STD_FILEOPEN;

// How far one pan key moves the movie, in pixels.
constexpr int kPanStep = 10;
// In full screen the movie is turned a quarter to fill the screen's length.
constexpr int kFullScreenRotation = -90;
// The AlignMode texts passed as they are: sums of the control's bits (left 1,
// right 2, top 4, bottom 8). The device's control takes only a text that
// converts to its integer, so it refuses these and keeps its stage centred,
// which the full-screen offsets are worked out for.
constexpr char16_t kFullScreenAlignment[] = u"1 + 8";
constexpr char16_t kNormalAlignment[] = u"4 + 8";

void registerClass(HINSTANCE instance, LPCWSTR name, WNDPROC procedure, HICON icon) {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

// The low bit also brings forward the window's owned pop-ups, the shell's way.
HWND withLowBit(HWND window) { return reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(window) | 1); }

}  // namespace

HWND activateRunningPlayer(LPCWSTR className, LPCWSTR title) {
  HWND running = FindWindowW(className, title);
  if (running) SetForegroundWindow(withLowBit(running));
  return running;
}

Player* currentPlayer() { return g_player; }
void setCurrentPlayer(Player* player) { g_player = player; }

Player::Player(WideString programFolder) : m_programFolder(std::move(programFolder)) {}

Player::~Player() {
  m_control = nullptr;
  m_host.reset();  // its sites, the control's among them, go first
  m_playlists.reset();
  m_openFileDialog.reset();
  if (g_player == this) g_player = nullptr;
}

HWND Player::controlWindow() const { return m_control ? m_control->controlWindow() : nullptr; }

// ---- Windows --------------------------------------------------------------------------

bool Player::createWindows(HINSTANCE instance, int showCommand) {
  if (activateRunningPlayer(kMainWindowClass, kMainWindowTitle)) return false;
  registerClass(instance, kMainWindowClass, mainProcedure, LoadIconW(instance, MAKEINTRESOURCEW(playerres::kAppIcon)));
  registerClass(instance, kHolderWindowClass, holderProcedure, nullptr);
  HWND main = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE | WS_CLIPCHILDREN, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (!main) return false;
  if (m_menuBar) {
    RECT r;
    GetWindowRect(m_mainWindow, &r);
    MoveWindow(m_mainWindow, r.left, r.top, r.right, r.bottom - kBarHeight, FALSE);
  }
  m_openFileDialog = std::make_unique<OpenFileDialog>(m_mainWindow, u"*.swf", u"\\", settings().scanDepth);
  ShowWindow(m_mainWindow, showCommand);
  UpdateWindow(m_mainWindow);
  m_playlists = std::make_unique<PlaylistManager>([this] { startPlaylist(); }, m_mainWindow, settings().dataFolder);
  m_playlists->loadAll();
  return m_view != nullptr;
}

LRESULT Player::mainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* player = static_cast<Player*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(player));
    player->m_mainWindow = window;
  }
  auto* player = reinterpret_cast<Player*>(GetWindowLongW(window, GWL_USERDATA));
  if (!player) return DefWindowProcW(window, message, wParam, lParam);
  return player->handleMainMessage(message, wParam, lParam);
}

LRESULT Player::holderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* player = static_cast<Player*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(player));
    player->holderCreated(window);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Player::handleMainMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      mainCreated();
      return 0;
    case WM_ACTIVATE:
      SHHandleWMActivate(m_mainWindow, wParam, lParam, &m_activateInfo, 0);
      m_active = LOWORD(wParam) != 0;
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(m_mainWindow, wParam, lParam, &m_activateInfo);
      return 0;
    case WM_COMMAND:
      command(LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
      keyAction(static_cast<int>(wParam));
      return 0;
    case WM_COPYDATA:
      receiveCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;
    case WM_TIMER:
      if (wParam == kTickTimer) tick();
      return 0;
    case WM_PAINT: {
      PaintScope validated(m_mainWindow);  // the skin view covers the client area
      return 0;
    }
    case kPreviousMovieMessage:
      previousMovie();
      return 0;
    case kNextMovieMessage:
      nextMovie();
      return 0;
    case WM_DESTROY:
      mainDestroyed();  // deletes the player
      return 0;
    default:
      return DefWindowProcW(m_mainWindow, message, wParam, lParam);
  }
}

void Player::mainCreated() {
  m_active = true;
  createMenuBar();
  m_activateInfo = SHACTIVATEINFO{};
  m_activateInfo.cbSize = sizeof(SHACTIVATEINFO);
  RECT client;
  GetClientRect(m_mainWindow, &client);
  // The view calls viewCreated from its window's creation; from then on the
  // window owns it.
  auto* view =
      new SkinView(m_mainWindow, client.left, client.top, client.right - client.left, client.bottom - client.top, this);
  if (!view->window()) {
    delete view;
    m_view = nullptr;
  }
  updateVolumeThumb();
  showGray(true);
  SetTimer(m_mainWindow, kTickTimer, kTickPeriodMs, nullptr);
  SetFocus(m_mainWindow);
  GXOpenInput();
  InvalidateRect(m_mainWindow, nullptr, TRUE);
}

// File, View and Help, then the open-file button with the standard image.
void Player::createMenuBar() {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = m_mainWindow;
  info.nToolBarId = playerres::kMainMenu;
  info.hInstRes = reinterpret_cast<HINSTANCE>(GetWindowLongW(m_mainWindow, GWL_HINSTANCE));
  m_menuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
  if (!m_menuBar) return;
  LPCWSTR tips[] = {u"", u"", u"", u"Open File"};
  SendMessageW(m_menuBar, TB_SETTOOLTIPS, 4, reinterpret_cast<LPARAM>(tips));
  CommandBar_AddBitmap(m_menuBar, HINST_COMMCTRL, IDB_STD_SMALL_COLOR, kStandardImageCount, 16, 16);
  TBBUTTON button{kOpenFileImage, static_cast<int>(kOpenFileCommand), TBSTATE_ENABLED, TBSTYLE_BUTTON, {0, 0}, 0, 0};
  SendMessageW(m_menuBar, TB_ADDBUTTONS, 1, reinterpret_cast<LPARAM>(&button));
}

void Player::mainDestroyed() {
  if (m_menuBar) DestroyWindow(m_menuBar);
  m_menuBar = nullptr;
  KillTimer(m_mainWindow, kTickTimer);
  SetWindowLongW(m_mainWindow, GWL_USERDATA, 0);
  GXCloseInput();
  delete this;
  PostQuitMessage(0);
}

void Player::viewCreated(SkinView* view) {
  m_view = view;
  loadSkin(settings().skin);
  HWND holder = CreateWindowExW(0, kHolderWindowClass, kHolderWindowName, WS_VISIBLE | WS_CHILD, 0, 0, 100, 100,
                                view->window(), nullptr, nullptr, this);
  if (holder) ShowWindow(holder, SW_HIDE);
}

void Player::holderCreated(HWND holder) {
  m_holderWindow = holder;
  m_control = nullptr;  // a host made again takes its sites with it
  m_host = std::make_unique<FlashHost>(m_mainWindow, holder, u"OrvelFlash", u"OrvelFlash");
  if (!m_view || !m_view->document() || !element(u"flash")) return;
  placeHolder();
  RECT r;
  GetClientRect(holder, &r);
  m_control = m_host->createControl(kFlashClassId, RECT{0, 0, r.right, r.bottom});
  if (!m_control) MessageBoxW(m_mainWindow, messageText(kMessageNoFlashPlayer).data(), u"Error", MB_OK | MB_ICONSTOP);
}

// The holder goes over the skin's `flash` box, one pixel wider and taller.
void Player::placeHolder() {
  SVGElement* box = element(u"flash");
  if (!box || !m_holderWindow) return;
  HolderPlacement p = holderPlacement(box->boxLeft(), box->boxTop(), box->boxRight(), box->boxBottom());
  MoveWindow(m_holderWindow, p.left, p.top, p.width, p.height, TRUE);
  if (m_control) m_control->setRectangles(RECT{0, 0, p.width, p.height});
}

// Menu commands; the option dialogs and pages go through dialogCommand.
void Player::command(UINT id) {
  for (const ZoomCommand& zoomCommand : zoomCommands)
    if (zoomCommand.id == id) return zoom(zoomCommand.factor);
  if (dialogCommand(id)) return;
  switch (id) {
    case kFitDisplayCommand:
      zoom(1.0f);
      break;
    case kExitCommand:
      DestroyWindow(m_mainWindow);
      break;
    case kOpenFileCommand:
      openFileDialog();
      break;
    case kPlaylistCommand:
      if (m_playlists) m_playlists->showDialog();
      break;
    case IDOK: {                 // the Done button, Ctrl+Q
      HWND main = m_mainWindow;  // the player may be gone once WM_CLOSE returns
      SendMessageW(main, WM_ACTIVATE, WA_INACTIVE, 0);
      SendMessageW(main, WM_CLOSE, 0, 0);
      break;
    }
    default:
      break;
  }
}

void Player::receiveCopyData(const COPYDATASTRUCT* data) {
  if (!data || !data->lpData || data->cbData == 0) return;
  // Read only within cbData: an odd count or a missing null never overruns.
  const auto* text = static_cast<const char16_t*>(data->lpData);
  size_t count = data->cbData / 2, length = 0;
  while (length < count && text[length] != 0) ++length;
  m_playlistMode = m_playlistPlaying = m_stoppedByUser = false;
  open(WideStringView(text, length));
}

void Player::tick() {
  if (m_idle.tick(m_active, currentFrame(), totalFrames())) SystemIdleTimerReset();
  updateSeekThumb();
  if (m_playlistPlaying) playlistStep();
  if (movieLoaded()) updatePlayPauseFace();
}

void Player::loadSkin(WideStringView path) {
  if (!m_view) return;
  // The pushed element and the drag belong to the document being replaced.
  m_pushed = nullptr;
  m_draggedId.clear();
  std::string narrow = wideToAnsi(path);
  std::int32_t result = m_view->load(narrow.c_str());
  if (result != 0) {
    WideString text = result == XmlLoadResult::kCannotOpenFile ? WideString(messageText(kMessageSkinCannotOpen))
                                                               : u"Load skin file: " + WideString(messageText(result));
    MessageBoxW(m_mainWindow, text.c_str(), u"Error", MB_OK);
  }
  SVGDocument* document = m_view->document();
  if (!document) return;
  registerSkinListeners();
  updateSeekThumb();
  updateVolumeThumb();
  placeHolder();
  if (movieLoaded()) {
    updateFileNameText();
    showGray(false);
    setPlayPauseFaceFromMovie();
  } else {
    showGray(true);
  }
  if (SVGElement* root = document->rootElement()) m_view->refresh(root);
}

// ---- Control calls ---------------------------------------------------------------------

int Player::controlInteger(WideStringView name) { return m_control ? m_control->getInteger(name) : 0; }

void Player::controlPut(WideStringView name, WideStringView value) {
  if (m_control) m_control->putText(name, value);
}

void Player::controlInvoke(WideStringView name, std::initializer_list<const WCHAR*> args) {
  if (m_control) m_control->invoke(name, args);
}

int Player::currentFrame() {
  if (!m_control) return 0;
  std::optional<WideString> result;
  if (!m_control->invoke(u"CurrentFrame", {}, &result) || !result) return 0;
  WideStringView text = *result;
  int frame = 0;
  readInteger(text, frame);
  return frame;
}

int Player::totalFrames() { return controlInteger(u"TotalFrames"); }

bool Player::movieLoaded() { return m_control && totalFrames() > 0; }

void Player::setRootProperty(RootProperty property, int value) {
  WideString index = decimalText(static_cast<int>(property)), text = decimalText(value);
  controlInvoke(u"TSetProperty", {u"_root", index.c_str(), text.c_str()});
}

void Player::gotoFrameKeepingPlaying(int frame) {
  int playing = controlInteger(u"Playing");
  WideString text = decimalText(frame);
  controlInvoke(u"GotoFrame", {text.c_str()});
  controlPut(u"Playing", decimalText(playing));
}

// ---- Movie commands --------------------------------------------------------------------

void Player::open(WideStringView path) {
  if (!m_control || path.empty()) return;
  m_moviePath = WideString(path);
  WideString url = movieUrl(m_moviePath);
  controlPut(u"BGColor", u"-1");
  WaitCursor wait;
  readMovieFacts();
  m_normalOffset = POINT{0, 0};
  controlPut(u"Movie", url);
  // A playlist's movie may still be coming in, but one whose file is gone
  // never will: that one is reported as any movie that does not load.
  bool missing = GetFileAttributesW(m_moviePath.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (totalFrames() > 0 || (m_playlistPlaying && !missing)) {
    showGray(false);
  } else {
    m_opening = true;  // the playlist waits while the box is up
    MessageBoxW(m_mainWindow, messageText(kMessageCannotLoadMovie).data(), u"Warning", MB_OK | MB_ICONEXCLAMATION);
    m_opening = false;
    showGray(true);
  }
  if (m_holderWindow) ShowWindow(m_holderWindow, SW_SHOW);
  if (fullScreen() && !m_playlistPlaying) leaveFullScreen();
  if (fullScreen()) enterFullScreen();
  updateFileNameText();
  updateSeekThumb();
  zoom(m_zoom);
  SetFocus(m_mainWindow);
}

void Player::readMovieFacts() {
  MovieHeader header;
  if (!readMovieHeader(m_moviePath, header)) return;  // the facts stay as they were
  m_facts = movieFactsOf(header);
  recomputeFullScreenOffsets();
}

void Player::recomputeFullScreenOffsets() {
  FullScreenOffsets offsets = fullScreenOffsets(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                                m_facts.width, m_facts.height, m_zoom);
  m_fullScreenOffset = POINT{offsets.x, offsets.y};
}

void Player::zoom(float factor) {
  if (factor == 0.0f) factor = 1.0f;
  m_zoom = factor;
  controlInvoke(u"Zoom", {u"0"});
  WideString percent = decimalText(zoomPercent(factor));
  controlInvoke(u"Zoom", {percent.c_str()});
  recomputeFullScreenOffsets();
}

void Player::enterFullScreen() {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (m_menuBar) ShowWindow(m_menuBar, SW_HIDE);
  SHFullScreen(m_mainWindow, kHideShellBars);
  MoveWindow(m_mainWindow, 0, 0, width, height, TRUE);
  if (m_view) m_view->moveTo(0, 0, width, height);
  if (m_holderWindow) MoveWindow(m_holderWindow, 0, 0, width, height, TRUE);
  int side = std::max(width, height);
  if (m_control) m_control->setRectangles(RECT{0, 0, side, side});
  setRootProperty(RootProperty::Y, m_fullScreenOffset.y);
  setRootProperty(RootProperty::X, m_fullScreenOffset.x);
  setRootProperty(RootProperty::Rotation, kFullScreenRotation);
  controlPut(u"AlignMode", kFullScreenAlignment);
  m_fullScreen = true;
}

void Player::leaveFullScreen() {
  if (!fullScreen()) return;
  SHFullScreen(m_mainWindow, kShowShellBars);
  if (m_menuBar) ShowWindow(m_menuBar, SW_SHOW);
  RECT r;
  GetWindowRect(m_mainWindow, &r);
  MoveWindow(m_mainWindow, r.left, r.top + kBarHeight, r.right - r.left, r.bottom - r.top - 2 * kBarHeight, TRUE);
  RECT client;
  GetClientRect(m_mainWindow, &client);
  if (m_view) m_view->moveTo(client.left, client.top, client.right - client.left, client.bottom - client.top);
  if (m_control && element(u"flash")) {
    placeHolder();
    setRootProperty(RootProperty::Y, m_normalOffset.y);
    setRootProperty(RootProperty::X, m_normalOffset.x);
    setRootProperty(RootProperty::Rotation, 0);
    controlPut(u"AlignMode", kNormalAlignment);
  }
  m_fullScreen = false;
}

void Player::toggleFullScreen() {
  if (readDisplayPower() == VideoPowerOff) return;
  if (!fullScreen()) {
    if (movieLoaded()) enterFullScreen();
  } else {
    leaveFullScreen();
  }
}

void Player::keyAction(int code) {
  POINT& offset = fullScreen() ? m_fullScreenOffset : m_normalOffset;
  switch (code) {
    case kActionMoveLeft:
      offset.x -= kPanStep;
      return setRootProperty(RootProperty::X, offset.x);
    case kActionMoveRight:
      offset.x += kPanStep;
      return setRootProperty(RootProperty::X, offset.x);
    case kActionMoveUp:
      offset.y -= kPanStep;
      return setRootProperty(RootProperty::Y, offset.y);
    case kActionMoveDown:
      offset.y += kPanStep;
      return setRootProperty(RootProperty::Y, offset.y);
    case kActionPlayPause:
      return playPause();
    case kActionPlay:
      return play();
    case kActionPause:
      return pause();
    case kActionStop:
      return stop();
    case kActionVolumeUp:
    case kActionVolumeDown: {
      DWORD channels = 0;
      if (waveOutGetVolume(nullptr, &channels) != MMSYSERR_NOERROR) channels = 0;
      DWORD level = volumeOf(channels);
      waveOutSetVolume(nullptr, bothChannels(code == kActionVolumeUp ? volumeUp(level) : volumeDown(level)));
      return updateVolumeThumb();
    }
    case kActionDisplayPower:
      return m_displayPower.toggle();
    case kActionFullScreen:
    case kReturnKey:
      return toggleFullScreen();
    case kActionPreviousMovie:
      return previousMovie();
    case kActionNextMovie:
      return nextMovie();
    case kActionPreviousFrame:
      return controlInvoke(u"Back", {});
    case kActionNextFrame:
      return controlInvoke(u"Forward", {});
    default:
      return;
  }
}

void Player::play() {
  controlInvoke(u"Play", {});
  updatePlayPauseFace();
}

void Player::pause() {
  controlPut(u"Playing", u"False");
  m_stoppedByUser = true;
  updatePlayPauseFace();
}

void Player::playPause() {
  if (controlInteger(u"Playing") != 0)
    pause();
  else
    play();
}

void Player::stop() {
  gotoFrameKeepingPlaying(0);
  controlPut(u"Playing", u"False");
  m_stoppedByUser = true;
  updatePlayPauseFace();
}
