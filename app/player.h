#pragma once
// The one object that owns the running player: the main window with its menu
// bar, the holder window the Flash control lives in, the skin view that fills
// the main window, and the control's host. It carries out every player
// command, whichever way it arrives: menu, skin element, hardware key, a
// second instance's WM_COPYDATA or the periodic timer.

#include <memory>
#include <span>

#include "app/displaypower.h"
#include "app/moviearithmetic.h"
#include "app/movieheader.h"
#include "base/widestring.h"
#include "dom/eventtarget.h"
#include "platform/core/winuser.h"
#include "platform/shell/aygshell.h"
#include "playlist/playlist.h"
#include "render/skinview.h"

class FlashControl;
class FlashHost;
class OpenFileDialog;
class PlaylistManager;
class Node;
class SVGElement;
struct SkinBinding;

inline constexpr char16_t kMainWindowClass[] = u"OrvelFlash";
inline constexpr char16_t kMainWindowTitle[] = u"Orvel Flash Player";
inline constexpr char16_t kHolderWindowClass[] = u"FlashWndClass";
inline constexpr char16_t kHolderWindowName[] = u"FlashHolder";
inline constexpr char kFlashClassId[] = "{D27CDB6E-AE6D-11cf-96B8-444553540000}";

inline constexpr UINT_PTR kTickTimer = 1124;
inline constexpr UINT kTickPeriodMs = 2000;
inline constexpr UINT kPreviousMovieMessage = 1104;
inline constexpr UINT kNextMovieMessage = 1102;
inline constexpr int kBarHeight = 26;

// SHFullScreen states: task bar, input-panel button and start icon together.
inline constexpr DWORD kHideShellBars = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;
inline constexpr DWORD kShowShellBars = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;

// Which face the play/pause button shows, as playButtonState() answers.
inline constexpr int kPlayFaceShown = 1;
inline constexpr int kPauseFaceShown = 0;

// The root's properties the player sets, numbered as TSetProperty numbers them.
enum class RootProperty { X = 0, Y = 1, Rotation = 10 };

class Player : public EventListener, public ViewListener {
 public:
  explicit Player(WideString programFolder);
  virtual ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Registers both window classes and makes the main window; true when the
  // skin view exists.
  bool createWindows(HINSTANCE instance, int showCommand);

  HWND mainWindow() const { return m_mainWindow; }
  HWND holderWindow() const { return m_holderWindow; }
  HWND menuBar() const { return m_menuBar; }
  SkinView* skinView() const { return m_view; }
  FlashControl* control() const { return m_control; }
  // The in-place active control's window, or none.
  HWND controlWindow() const;
  bool fullScreen() const { return m_fullScreen; }
  const WideString& moviePath() const { return m_moviePath; }
  const MovieFacts& movieFacts() const { return m_facts; }
  POINT normalOffset() const { return m_normalOffset; }
  POINT fullScreenOffset() const { return m_fullScreenOffset; }
  float zoomFactor() const { return m_zoom; }
  int playButtonState() const { return m_playButtonState; }
  const WideString& draggedId() const { return m_draggedId; }

  // ---- Movie commands
  void open(WideStringView path);
  void zoom(float factor);
  void enterFullScreen();
  void leaveFullScreen();
  void toggleFullScreen();
  // A key action (an action code of the key map, or Return).
  void keyAction(int code);
  void play();
  void pause();
  void playPause();
  void stop();
  void previousMovie();
  void nextMovie();
  // ---- Playlists (playerplaylists.cpp)
  // "Open File...": the open-file dialog, then the chosen movie in file mode.
  void openFileDialog();
  // Plays the playlist manager's current playlist from its cursor.
  void startPlaylist();
  // On the timer: moves on when the movie has reached its last frame.
  void playlistStep();
  PlaylistManager* playlists() const { return m_playlists.get(); }
  OpenFileDialog* openFileDialogObject() const { return m_openFileDialog.get(); }
  bool playlistMode() const { return m_playlistMode; }
  bool playlistPlaying() const { return m_playlistPlaying; }
  // A control whose movie has frames.
  bool movieLoaded();

  // ---- Skin
  void loadSkin(WideStringView path);

  // EventListener: the skin's buttons and sliders.
  void handleEvent(Event* event) override;
  // ViewListener
  void viewCreated(SkinView* view) override;
  void viewResized(SkinView*, int, int) override {}

  // The procedures of the two window classes.
  static LRESULT mainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT holderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The agreed ids, each with its handlers, in the order they are listened to
  // (app/skinbinding.h).
  static std::span<const SkinBinding> skinBindings();

 private:
  LRESULT handleMainMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void mainCreated();
  void createMenuBar();
  void mainDestroyed();
  void command(UINT id);
  void tick();
  void receiveCopyData(const COPYDATASTRUCT* data);
  HINSTANCE instance() const;

  // ---- Dialogs and pages (playerdialogs.cpp, propertiespage.cpp)
  // True when `id` is one of their commands, which then ran.
  bool dialogCommand(UINT id);
  void showKeyMapping();
  void showSelectSkin();
  void showProperties();
  void showHelp();
  void holderCreated(HWND holder);
  void placeHolder();
  void createPickers();
  void openCurrentEntry(Playlist& playlist);

  // Control calls by member name with text values; nothing without a control.
  int controlInteger(WideStringView name);
  void controlPut(WideStringView name, WideStringView value);
  void controlInvoke(WideStringView name, std::initializer_list<const WCHAR*> args);
  int currentFrame();
  int totalFrames();
  void setRootProperty(RootProperty property, int value);
  void gotoFrameKeepingPlaying(int frame);
  void readMovieFacts();
  void recomputeFullScreenOffsets();

  // ---- Skin binding (skinbinding.cpp)
  SVGElement* element(WideStringView id) const;
  void registerSkinListeners();
  static const SkinBinding* skinBinding(WideStringView id);
  void clicked(const WideString& id, int x);
  void penMoved(const WideString& id, int x, int y);
  void seekBarClicked(int x);
  void seekThumbDragged(int x, int y);
  void volumeBarMoved(int x);
  void volumeThumbDragged(int x, int y);
  void penPressed(const WideString& id, Node* target);
  void penReleased(const WideString& id, Node* target);
  void changeElement(SVGElement* element, WideStringView name, WideStringView value, bool restyle);
  void setVisibility(WideStringView id, bool visible);
  void showPushedFace(WideStringView id, bool visible);
  void updatePlayPauseFace();
  void setPlayPauseFaceFromMovie();
  void showGray(bool visible);
  void updateFileNameText();
  void updateSeekThumb();
  void updateVolumeThumb();
  int thumbClamp(WideStringView barId, WideStringView thumbId, int x) const;
  void placeThumb(WideStringView thumbId, int x);
  int thumbRange(WideStringView barId, WideStringView thumbId) const;
  int thumbFrame();
  void seekToThumb();
  void volumeFromThumb();

  HWND m_mainWindow = nullptr;
  HWND m_holderWindow = nullptr;
  SkinView* m_view = nullptr;  // owned by its window
  bool m_fullScreen = false;
  std::unique_ptr<FlashHost> m_host;
  FlashControl* m_control = nullptr;  // owned by m_host
  WideString m_moviePath;
  WideString m_programFolder;
  MovieFacts m_facts;
  POINT m_lastPen{0, 0};
  POINT m_normalOffset{0, 0};
  POINT m_fullScreenOffset{0, 0};
  WideString m_draggedId;
  IdleCounter m_idle;
  float m_zoom = 1.0f;
  std::unique_ptr<PlaylistManager> m_playlists;
  bool m_playlistMode = false;
  bool m_playlistPlaying = false;
  bool m_stoppedByUser = false;
  bool m_opening = false;  // a movie is being opened (its warning box may be up)
  std::unique_ptr<OpenFileDialog> m_openFileDialog;
  Node* m_pushed = nullptr;  // the element whose mousedown ran last, in the current document
  int m_playButtonState = kPlayFaceShown;

  HWND m_menuBar = nullptr;
  bool m_active = false;
  SHACTIVATEINFO m_activateInfo{};
  DisplayPower m_displayPower;
};

// One player per device: the running player's main window, brought to the
// front, or null when no player runs.
HWND activateRunningPlayer(LPCWSTR className, LPCWSTR title);

// The process's one Player (set by the start-up routine).
Player* currentPlayer();
void setCurrentPlayer(Player* player);
