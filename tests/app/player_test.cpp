// The Player in this process: a device with the Flash control, the headless
// screen on a virtual clock, a small skin whose geometry the tests know, and a
// movie of 100 frames. Pen input goes in at screen points, as the pen's would.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/keytranslation.h"
#include "app/player.h"
#include "app/settings.h"
#include "dom/characterdata.h"
#include "flashhost/flashcontrol.h"
#include "platform/flash/server/flashregistration.h"
#include "platform/core/mmsystem.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/ole/objbase.h"
#include "render/engine.h"
#include "render/svgelement.h"
#include "resources/playerresources.h"
#include "tests/support/modalwait.h"
#include "tests/support/testdevice.h"
#include "app/openfiledialog.h"
#include "platform/commctrl/commctrl.h"
#include "playlist/playlistmanager.h"
#include "tests/support/steps.h"
#include "tools/swfwriter/samples.h"

namespace {

// Document coordinates; the view's top left is the screen's (0, 26).
constexpr char kSkin[] = R"(<?xml version="1.0"?>
<svg width="240" height="268">
  <rect id="background" x="0" y="0" width="240" height="268" fill="white"/>
  <rect id="flash" x="10" y="20" width="200" height="150" fill="black"/>
  <rect id="seekBar" x="20" y="180" width="200" height="16" fill="#888888"/>
  <rect id="seekThumb" x="20" y="180" width="10" height="6" fill="blue"/>
  <rect id="volumeBar" x="20" y="200" width="200" height="16" fill="#888888"/>
  <rect id="volumeThumb" x="20" y="200" width="10" height="6" fill="blue"/>
  <rect id="playPause_pushed" x="20" y="230" width="20" height="20" fill="red" visibility="hidden"/>
  <rect id="pause" x="20" y="230" width="20" height="20" fill="green" visibility="hidden"/>
  <rect id="pause_pushed" x="20" y="230" width="20" height="20" fill="maroon" visibility="hidden"/>
  <rect id="stop_pushed" x="50" y="230" width="20" height="20" fill="red" visibility="hidden"/>
  <text id="flashFileName" x="100" y="245" font-size="10">none</text>
  <rect id="gray" x="0" y="0" width="240" height="10" fill="gray"/>
  <circle id="playPause" cx="30" cy="240" r="10"/>
  <circle id="stop" cx="60" cy="240" r="10"/>
  <circle id="fullscreen" cx="90" cy="240" r="10"/>
</svg>
)";

constexpr int kViewTop = 26;
constexpr int kFrames = 100;

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    wm::useVirtualClock(true);
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    m_wait = std::make_unique<VirtualWait>(wm::hostEvents());
    wm::setHostEvents(m_wait.get());
    registerPlayerResources(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    startSkinEngine(nullptr, "OrvelFlash");
    m_answerer = std::make_unique<BoxAnswerer>(m_boxes);

    writeFile(m_device.host("My Documents/test.bskn"), kSkin);
    writeBytes(m_device.host("My Documents/count.swf"), swfwrite::countingMovie(kFrames, 12, 200, 150, false));
    writeBytes(m_device.host("My Documents/intro.part2.swf"), swfwrite::countingMovie(kFrames, 12, 200, 150, false));
    settings() = Settings{};
    settings().skin = u"\\My Documents\\test.bskn";
    waveOutSetVolume(nullptr, 0);
  }

  void TearDown() override {
    if (m_player && IsWindow(m_player->mainWindow())) DestroyWindow(m_player->mainWindow());
    m_player = nullptr;
    m_answerer.reset();
    wm::resetForTests();
    CoUninitialize();
    wm::setHostEvents(m_wait->screen());
    m_display.reset();
    settings() = Settings{};
  }

  // The player as the start-up routine makes it.
  Player* start() {
    m_player = new Player(u"\\Program Files\\OrvelFlash");
    setCurrentPlayer(m_player);
    EXPECT_TRUE(m_player->createWindows(nullptr, SW_SHOW));
    wm::dispatchPending();
    return m_player;
  }

  Player* startWithMovie(const char16_t* path = u"\\My Documents\\count.swf") {
    start();
    m_player->open(path);
    wm::dispatchPending();
    return m_player;
  }

  SVGElement* element(const char16_t* id) { return asSVGElement(m_player->skinView()->document()->getElementById(id)); }
  std::u16string attribute(const char16_t* id, const char16_t* name) {
    SVGElement* e = element(id);
    return e ? e->getAttribute(name) : u"(missing)";
  }
  bool visible(const char16_t* id) { return attribute(id, u"visibility") == u"visible"; }

  void pen(wm::PenAction action, int x, int y) {
    wm::injectPen(action, POINT{x, y + kViewTop});
    wm::dispatchPending();
  }
  void tap(int x, int y) {
    pen(wm::PenAction::Down, x, y);
    pen(wm::PenAction::Up, x, y);
  }

  int currentFrame() {
    std::optional<WideString> result;
    m_player->control()->invoke(u"CurrentFrame", {}, &result);
    return result ? std::stoi(toNarrowAscii(*result)) : -1;
  }
  int playing() { return m_player->control()->getInteger(u"Playing"); }
  DWORD volume() {
    DWORD v = 0;
    waveOutGetVolume(nullptr, &v);
    return v;
  }
  void passTicks(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      wm::advanceClock(kTickPeriodMs);
      wm::dispatchPending();
    }
  }
  // The movie's own frame timer fires once per dispatch: time passes in small steps.
  void passTicksFinely(int ticks) {
    for (UINT ms = 0; ms < ticks * kTickPeriodMs; ms += 20) {
      wm::advanceClock(20);
      wm::dispatchPending();
    }
  }
  static RECT windowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
  }

  TestDevice m_device;
  std::unique_ptr<display::Display> m_display;
  std::unique_ptr<VirtualWait> m_wait;
  std::vector<ShownBox> m_boxes;
  std::unique_ptr<BoxAnswerer> m_answerer;
  Player* m_player = nullptr;  // deleted by its main window
};

void expectRect(const RECT& r, const RECT& expected) {
  EXPECT_EQ(r.left, expected.left);
  EXPECT_EQ(r.top, expected.top);
  EXPECT_EQ(r.right, expected.right);
  EXPECT_EQ(r.bottom, expected.bottom);
}

TEST_F(PlayerTest, StartsWithTheSkinTheMenuBarAndTheControlOverFlash) {
  start();
  ASSERT_TRUE(m_player->skinView());
  ASSERT_TRUE(m_player->control());
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_TRUE(m_player->menuBar());
  expectRect(windowRect(m_player->mainWindow()), RECT{0, 26, 240, 294});
  // flash at (10, 20) 200 x 150: the holder is one pixel wider and taller.
  expectRect(windowRect(m_player->holderWindow()), RECT{10, 46, 211, 197});
  EXPECT_FALSE(IsWindowVisible(m_player->holderWindow())) << "hidden until a movie opens";
  EXPECT_TRUE(visible(u"gray"));
  EXPECT_EQ(attribute(u"volumeThumb", u"x"), u"20") << "volume 0 puts the thumb at the bar's left";
}

TEST_F(PlayerTest, OpeningAMovieShowsItsNameHidesGrayAndShowsTheHolder) {
  struct Row {
    const char16_t* path;
    const char16_t* name;
  };
  for (Row row :
       {Row{u"\\My Documents\\intro.part2.swf", u"intro.part2"}, Row{u"\\My Documents\\count.swf", u"count"}}) {
    SCOPED_TRACE(toNarrowAscii(row.path));
    if (!m_player) start();
    m_player->open(row.path);
    wm::dispatchPending();
    auto* text = dynamic_cast<CharacterData*>(element(u"flashFileName")->firstChild());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->data(), row.name);
    EXPECT_FALSE(visible(u"gray"));
    EXPECT_TRUE(IsWindowVisible(m_player->holderWindow()));
    EXPECT_EQ(m_player->movieFacts().width, 200);
    EXPECT_EQ(m_player->movieFacts().height, 150);
  }
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(PlayerTest, AMovieWithoutFramesWarnsAndShowsGray) {
  startWithMovie();
  writeFile(m_device.host("My Documents/broken.swf"), "not a movie at all");
  m_player->open(u"\\My Documents\\broken.swf");
  wm::dispatchPending();
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].caption, u"Warning");
  EXPECT_EQ(m_boxes[0].text, u"Can't load the flash. Please try it again with more memory. ");
  EXPECT_TRUE(visible(u"gray")) << "a movie that played before must not leave gray hidden";
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\broken.swf");
  EXPECT_EQ(m_player->movieFacts().width, 200) << "an unreadable header keeps the previous facts";
}

TEST_F(PlayerTest, ClickOnTheSeekBarPlacesTheThumbAndSeeks) {
  startWithMovie();
  m_player->pause();
  struct Row {
    int x;
    const char16_t* thumb;
    int frame;
  };
  // Bar 20..220, thumb 10 wide: the range is 190.
  for (Row row : {Row{21, u"21", 100 * 1 / 190}, Row{115, u"115", 50}, Row{219, u"210", kFrames - 1},
                  Row{60, u"60", 100 * 40 / 190}}) {
    SCOPED_TRACE(row.x);
    tap(row.x, 192);  // below the thumb, on the bar alone
    EXPECT_EQ(attribute(u"seekThumb", u"x"), row.thumb);
    EXPECT_EQ(currentFrame(), row.frame);
    EXPECT_EQ(playing(), 0) << "seeking keeps the movie paused";
  }
}

TEST_F(PlayerTest, PenMovesOnTheVolumeBarSetTheLevel) {
  startWithMovie();
  struct Row {
    int x;
    const char16_t* thumb;
    DWORD level;
  };
  // The Part's own figures: a thumb at 20 sets 255, at 210 0xFFFF, at 115 0x80FE.
  for (Row row : {Row{20, u"20", 255}, Row{115, u"115", 0x80FE}, Row{219, u"210", 0xFFFF}}) {
    SCOPED_TRACE(row.x);
    pen(wm::PenAction::Down, row.x == 20 ? 30 : 20, 212);
    pen(wm::PenAction::Move, row.x, 212);
    pen(wm::PenAction::Up, row.x, 212);
    EXPECT_EQ(attribute(u"volumeThumb", u"x"), row.thumb);
    EXPECT_EQ(volume(), (row.level << 16) | row.level);
  }
}

TEST_F(PlayerTest, VolumeKeysMoveTheThumbFromTheDevice) {
  startWithMovie();
  waveOutSetVolume(nullptr, 0x80008000);
  m_player->keyAction(kActionVolumeUp);
  EXPECT_EQ(volume(), 0x88008800u);
  // (0x8800 * 190) / 0xFFFF + 20
  EXPECT_EQ(attribute(u"volumeThumb", u"x"), toWide(std::to_string(0x8800 * 190 / 0xFFFF + 20)));
  waveOutSetVolume(nullptr, 0x04000400);
  m_player->keyAction(kActionVolumeDown);
  EXPECT_EQ(volume(), 0u);
  EXPECT_EQ(attribute(u"volumeThumb", u"x"), u"20");
}

TEST_F(PlayerTest, TheSeekThumbFollowsThePenFromTheSecondMoveOn) {
  startWithMovie();
  m_player->pause();
  m_player->keyAction(kActionStop);
  wm::dispatchPending();
  ASSERT_EQ(attribute(u"seekThumb", u"x"), u"20");
  pen(wm::PenAction::Down, 22, 182);
  pen(wm::PenAction::Move, 24, 182);
  EXPECT_EQ(attribute(u"seekThumb", u"x"), u"20") << "the first move only records the pen";
  EXPECT_EQ(m_player->draggedId(), u"seekThumb");
  pen(wm::PenAction::Move, 27, 182);
  EXPECT_EQ(attribute(u"seekThumb", u"x"), u"23") << "the thumb follows the pen's travel of 3";
  pen(wm::PenAction::Up, 27, 182);
  EXPECT_EQ(m_player->draggedId(), u"");
  EXPECT_EQ(currentFrame(), 100 * 3 / 190) << "releasing the thumb seeks";
}

TEST_F(PlayerTest, PenMovesWithoutThePenDownAreIgnored) {
  startWithMovie();
  pen(wm::PenAction::Move, 115, 192);
  EXPECT_EQ(attribute(u"seekThumb", u"x"), u"20");
  EXPECT_EQ(m_player->draggedId(), u"");
}

TEST_F(PlayerTest, PressingPlayPauseShowsThePushedFaceOfItsState) {
  startWithMovie();
  struct Row {
    bool playing;
    const char16_t* face;
  };
  for (Row row : {Row{true, u"pause_pushed"}, Row{false, u"playPause_pushed"}}) {
    SCOPED_TRACE(toNarrowAscii(row.face));
    row.playing ? m_player->play() : m_player->pause();
    EXPECT_EQ(visible(u"pause"), row.playing) << "the pause face lies over play while playing";
    EXPECT_EQ(m_player->playButtonState(), row.playing ? 0 : 1);
    pen(wm::PenAction::Down, 30, 240);
    EXPECT_TRUE(visible(row.face));
    pen(wm::PenAction::Up, 30, 240);
    EXPECT_FALSE(visible(row.face)) << "releasing hides the same face";
    EXPECT_EQ(playing() != 0, !row.playing) << "the click toggled the movie";
  }
}

TEST_F(PlayerTest, StopGoesToTheFirstFrameAndPauses) {
  startWithMovie();
  passTicks(1);
  ASSERT_GT(currentFrame(), 0);
  tap(60, 240);
  EXPECT_EQ(currentFrame(), 0);
  EXPECT_EQ(playing(), 0);
  EXPECT_FALSE(visible(u"pause"));
  EXPECT_FALSE(visible(u"stop_pushed"));
}

TEST_F(PlayerTest, TheTimerMovesTheSeekThumbAndKeepsTheDeviceAwake) {
  startWithMovie();
  DWORD before = m_device.device().idleTimerResets();
  passTicks(1);
  int frame = currentFrame();
  EXPECT_EQ(attribute(u"seekThumb", u"x"), toWide(std::to_string(20 + 190 * frame / kFrames)));
  passTicks(15);
  EXPECT_EQ(m_device.device().idleTimerResets(), before + 1) << "reset on the 16th tick while active";
}

TEST_F(PlayerTest, FullScreenTurnsTheMovieAndLeavingRestoresTheWindows) {
  startWithMovie();
  m_player->keyAction(kReturnKey);
  EXPECT_TRUE(m_player->fullScreen());
  expectRect(windowRect(m_player->mainWindow()), RECT{0, 0, 240, 320});
  expectRect(windowRect(m_player->holderWindow()), RECT{0, 0, 240, 320});
  EXPECT_FALSE(IsWindowVisible(m_player->menuBar()));
  // 200 x 150 on 240 x 320 at zoom 1: y = 175, x = 25 - (80 * 200) / 640 = 0.
  EXPECT_EQ(m_player->fullScreenOffset().y, 175);
  EXPECT_EQ(m_player->fullScreenOffset().x, 0);
  m_player->keyAction(kActionFullScreen);
  EXPECT_FALSE(m_player->fullScreen());
  expectRect(windowRect(m_player->mainWindow()), RECT{0, 26, 240, 294});
  expectRect(windowRect(m_player->holderWindow()), RECT{10, 46, 211, 197});
  EXPECT_TRUE(IsWindowVisible(m_player->menuBar()));
}

TEST_F(PlayerTest, FullScreenNeedsAMovie) {
  start();
  m_player->keyAction(kReturnKey);
  EXPECT_FALSE(m_player->fullScreen());
  tap(90, 240);
  EXPECT_FALSE(m_player->fullScreen());
}

TEST_F(PlayerTest, TheSkinsFullScreenButtonEntersAndOpeningAMovieLeaves) {
  startWithMovie();
  tap(90, 240);
  ASSERT_TRUE(m_player->fullScreen());
  m_player->open(u"\\My Documents\\intro.part2.swf");
  EXPECT_FALSE(m_player->fullScreen());
}

TEST_F(PlayerTest, ZoomCommandsKeepTheFactor) {
  startWithMovie();
  struct Row {
    UINT command;
    float factor;
  };
  for (Row row : {Row{40035, 3.0f}, Row{40034, 2.0f}, Row{40021, 1.1f}, Row{40033, 1.0f}}) {
    SCOPED_TRACE(row.command);
    SendMessageW(m_player->mainWindow(), WM_COMMAND, row.command, 0);
    EXPECT_FLOAT_EQ(m_player->zoomFactor(), row.factor);
  }
}

TEST_F(PlayerTest, MoveFlashKeysPanTheMovieOfTheCurrentMode) {
  startWithMovie();
  for (int code : {kActionMoveLeft, kActionMoveLeft, kActionMoveDown}) m_player->keyAction(code);
  EXPECT_EQ(m_player->normalOffset().x, -20);
  EXPECT_EQ(m_player->normalOffset().y, 10);
  m_player->keyAction(kReturnKey);
  POINT full = m_player->fullScreenOffset();
  m_player->keyAction(kActionMoveRight);
  EXPECT_EQ(m_player->fullScreenOffset().x, full.x + 10);
  EXPECT_EQ(m_player->normalOffset().x, -20) << "full screen pans its own pair";
}

TEST_F(PlayerTest, CopyDataOpensExactlyTheCharactersSent) {
  start();
  struct Row {
    std::u16string payload;
    DWORD bytes;
    const char16_t* opened;
  };
  std::u16string path = u"\\My Documents\\count.swf";
  for (Row row : {Row{path, static_cast<DWORD>(path.size() * 2 + 2), u"\\My Documents\\count.swf"},
                  // no terminating null and an odd count: read within the count only
                  Row{path + u"XYZ", static_cast<DWORD>(path.size() * 2 + 1), u"\\My Documents\\count.swf"}}) {
    COPYDATASTRUCT data{0, row.bytes, row.payload.data()};
    EXPECT_TRUE(SendMessageW(m_player->mainWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_EQ(m_player->moviePath(), row.opened);
  }
}

TEST_F(PlayerTest, TheLoopRoutesKeysThroughTheKeyMap) {
  settings().keyMap.parse(u"37=65573;39=65575;38=65574;40=65576;193=131073;194=65;");
  startWithMovie();
  struct Row {
    int key;
    bool fullScreen;
    bool dispatched;
    bool toControl;
  };
  for (Row row : {Row{193, false, false, false},   // Play & Pause, acted on
                  Row{194, false, true, true},     // another key code, to the control
                  Row{65, false, true, false},     // unmapped, unchanged
                  Row{37, true, false, false}}) {  // an arrow keeps its own action in full screen
    SCOPED_TRACE(row.key);
    if (row.fullScreen != m_player->fullScreen()) m_player->keyAction(kReturnKey);
    int wasPlaying = playing();
    MSG msg{m_player->mainWindow(), WM_KEYDOWN, static_cast<WPARAM>(row.key), 0};
    EXPECT_EQ(routeKeyDown(msg), row.dispatched);
    if (row.toControl) {
      EXPECT_EQ(msg.hwnd, m_player->controlWindow());
      EXPECT_EQ(msg.wParam, 65u);
    } else if (row.dispatched) {
      EXPECT_EQ(msg.hwnd, m_player->mainWindow());
    }
    if (row.key == 193) {
      EXPECT_NE(playing(), wasPlaying);
    }
  }
  MSG ret{m_player->mainWindow(), WM_KEYDOWN, 13, 0};
  EXPECT_FALSE(routeKeyDown(ret)) << "Return is never dispatched";
  EXPECT_FALSE(m_player->fullScreen()) << "Return left full screen";
}

TEST_F(PlayerTest, SkinFailuresAreReportedWithTheirTexts) {
  writeFile(m_device.host("My Documents/bad.bskn"), "<svg width=\"240\" height=\"268\"><rect></svg>");
  struct Row {
    const char16_t* skin;
    const char16_t* text;
  };
  for (Row row : {Row{u"\\My Documents\\missing.bskn",
                      u"Can't open the skin file, please select another skin or check your skin file."},
                  Row{u"\\My Documents\\bad.bskn", u"Load skin file: Mismatched tag"}}) {
    SCOPED_TRACE(toNarrowAscii(row.skin));
    m_boxes.clear();
    settings().skin = row.skin;
    start();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, u"Error");
    EXPECT_EQ(m_boxes[0].text, row.text);
    EXPECT_FALSE(m_player->control()) << "no skin, no flash element: no control, no second box";
    m_player->open(u"\\My Documents\\count.swf");
    EXPECT_EQ(m_player->moviePath(), u"") << "movie commands without a control do nothing";
    DestroyWindow(m_player->mainWindow());
    m_player = nullptr;
    MSG quit;  // the next player's boxes would end at once on the first one's WM_QUIT
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
}

TEST_F(PlayerTest, ADeviceWithoutTheFlashControlSaysSoOnce) {
  std::string error;
  ASSERT_TRUE(removeFlashControl(m_device.device(), error)) << error;
  start();
  EXPECT_FALSE(m_player->control());
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].caption, u"Error");
  EXPECT_EQ(m_boxes[0].text,
            u"Can't find the Macromedia Flash Player on your PPC. Please install it before you run this software.");
  m_player->keyAction(kActionPlay);
  m_player->keyAction(kReturnKey);
  EXPECT_FALSE(m_player->fullScreen());
  passTicks(2);  // the timer runs without a control
}

TEST_F(PlayerTest, ExitDestroysTheWindowAndPostsQuit) {
  start();
  HWND main = m_player->mainWindow();
  SendMessageW(main, WM_COMMAND, kExitCommand, 0);
  m_player = nullptr;
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(currentPlayer(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
}

// A playlist of three movies, the second deleted since: each tick at a
// movie's last frame opens the next, the missing one is reported as any
// movie that does not load and skipped, and playing ends after the last.
TEST_F(PlayerTest, APlaylistPlaysThroughItsEntriesAndStopsAfterTheLast) {
  writeBytes(m_device.host("My Documents/short.swf"), swfwrite::countingMovie(6, 12, 200, 150, false));
  std::filesystem::create_directories(m_device.host("My Documents/OrvelFlash"));
  writeFile(m_device.host("My Documents/OrvelFlash/Trip.bfl"),
            "<playlist><media href=\"\\My Documents\\short.swf\"/><media href=\"\\My Documents\\gone.swf\"/>"
            "<media href=\"\\My Documents\\count.swf\"/></playlist>");
  settings().dataFolder = u"\\My Documents\\OrvelFlash";
  start();
  PlaylistManager& manager = *m_player->playlists();
  ASSERT_EQ(manager.playlists().size(), 1u);
  manager.setCurrent(manager.findByName(u"Trip"), 0);
  m_player->startPlaylist();
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\short.swf");
  EXPECT_EQ(m_player->control()->getInteger(u"Loop"), 0);
  struct Tick {
    const char16_t* movie;  // open after the tick
    size_t boxes;
    bool playing;  // the playlist still advances
  };
  const Tick kTicks[] = {
      {u"\\My Documents\\gone.swf", 1, true},   // short.swf ended within the first tick
      {u"\\My Documents\\count.swf", 1, true},  // the missing movie is passed by
      {u"\\My Documents\\count.swf", 1, true},  // 100 frames at 12 a second take 5 ticks
      {u"\\My Documents\\count.swf", 1, true},  {u"\\My Documents\\count.swf", 1, true},
      {u"\\My Documents\\count.swf", 1, true},  {u"\\My Documents\\count.swf", 1, false},
      {u"\\My Documents\\count.swf", 1, false},
  };
  int tick = 0;
  for (const Tick& t : kTicks) {
    SCOPED_TRACE("tick " + std::to_string(++tick));
    passTicksFinely(1);
    EXPECT_EQ(m_player->moviePath(), t.movie);
    EXPECT_EQ(m_boxes.size(), t.boxes);
    EXPECT_EQ(m_player->playlistPlaying(), t.playing);
  }
  EXPECT_EQ(m_boxes.back().text, u"Can't load the flash. Please try it again with more memory. ");
  EXPECT_EQ(manager.current()->cursor(), 2);
  m_player->keyAction(kActionPreviousMovie);  // within the playlist again
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\gone.swf");
  EXPECT_TRUE(m_player->playlistPlaying());
}

TEST_F(PlayerTest, PausingSuspendsThePlaylistUntilTheNextMovieOpens) {
  std::filesystem::create_directories(m_device.host("My Documents/OrvelFlash"));
  writeFile(m_device.host("My Documents/OrvelFlash/Two.bfl"),
            "<playlist><media href=\"\\My Documents\\count.swf\"/>"
            "<media href=\"\\My Documents\\intro.part2.swf\"/></playlist>");
  settings().dataFolder = u"\\My Documents\\OrvelFlash";
  start();
  PlaylistManager& manager = *m_player->playlists();
  manager.setCurrent(manager.findByName(u"Two"), 0);
  m_player->startPlaylist();
  m_player->keyAction(kActionPause);
  passTicksFinely(6);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\count.swf") << "paused: the playlist must wait";
  m_player->keyAction(kActionNextMovie);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\intro.part2.swf");
  passTicksFinely(6);
  EXPECT_FALSE(m_player->playlistPlaying()) << "the last entry ended";
  EXPECT_TRUE(m_boxes.empty());
}

// ---- The movie pickers, driven through the headless screen ----------------------------

POINT centreOnScreen(HWND window, const RECT& r) {
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(window, &p);
  return p;
}

void tapAt(POINT p) {
  wm::injectPen(wm::PenAction::Down, p);
  wm::injectPen(wm::PenAction::Up, p);
}

void pressKey(int vk) {
  wm::injectKey(vk, true);
  wm::injectKey(vk, false);
}

void typeKeys(const std::string& keys) {
  for (char c : keys) {
    if (c == '\b') {
      pressKey(VK_BACK);
      continue;
    }
    bool upper = c >= 'A' && c <= 'Z';
    if (upper) wm::injectKey(VK_SHIFT, true);
    pressKey(c == '\n' ? VK_RETURN : std::toupper(static_cast<unsigned char>(c)));
    if (upper) wm::injectKey(VK_SHIFT, false);
  }
}

POINT rowPoint(HWND list, int row) {
  RECT r{};
  ListView_GetItemRect(list, row, &r, LVIR_BOUNDS);
  return centreOnScreen(list, r);
}

std::vector<std::u16string> rowTexts(HWND list, int column) {
  std::vector<std::u16string> texts;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    WCHAR buffer[300] = {};
    ListView_GetItemText(list, row, column, buffer, 300);
    texts.push_back(buffer);
  }
  return texts;
}

POINT nodePoint(HWND tree, HTREEITEM item) {
  RECT r{};
  TreeView_GetItemRect(tree, item, &r, TRUE);
  return centreOnScreen(tree, r);
}

std::u16string nodeText(HWND tree, HTREEITEM item) {
  WCHAR buffer[300] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = buffer;
  data.cchTextMax = 300;
  TreeView_GetItem(tree, &data);
  return buffer;
}

// Each playlist node with its leaves: "name: leaf, leaf".
std::vector<std::u16string> treeTexts(HWND tree) {
  std::vector<std::u16string> lines;
  for (HTREEITEM root = TreeView_GetRoot(tree); root; root = TreeView_GetNextSibling(tree, root)) {
    std::u16string line = nodeText(tree, root) + u":";
    for (HTREEITEM leaf = TreeView_GetChild(tree, root); leaf; leaf = TreeView_GetNextSibling(tree, leaf))
      line += u" " + nodeText(tree, leaf);
    lines.push_back(line);
  }
  return lines;
}

// The foreground dialog's menu bar: the shell's bar window it owns.
HWND menuBar() {
  HWND owner = GetForegroundWindow();
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    WCHAR name[64] = {};
    GetClassNameW(w, name, 64);
    if (std::u16string_view(name) == u"menu_worker" && GetWindow(w, GW_OWNER) == owner) return w;
  }
  return nullptr;
}

int barIndex(HWND bar, int command) {
  int count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TBBUTTON button{};
    SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
    if (button.idCommand == command && !(button.fsStyle & TBSTYLE_SEP)) return i;
  }
  return -1;
}

POINT barButton(int command) {
  HWND bar = menuBar();
  RECT r{};
  SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(barIndex(bar, command)), reinterpret_cast<LPARAM>(&r));
  return centreOnScreen(bar, r);
}

// Bar buttons post their commands, and an edit ends on a posted message: a
// step of its own lets what was posted arrive.
void settle() {}

bool barButtonEnabled(int command) { return SendMessageW(menuBar(), TB_ISBUTTONENABLED, command, 0) != 0; }

HWND dialogControl(int id) { return GetDlgItem(GetForegroundWindow(), id); }
void pressDone() { PostMessageW(GetForegroundWindow(), WM_COMMAND, IDOK, 0); }

std::string screenshotPath(const char* name) {
  const char* dir = std::getenv("ORVEL_BINARY_DIR");
  std::filesystem::path base =
      dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(base);
  return (base / name).string();
}

std::u16string sizeTextOf(const std::filesystem::path& file) {
  auto size = std::filesystem::file_size(file);
  return size < 1024 ? toWide(std::to_string(size) + "k") : toWide(std::to_string(size / 1024) + "K");
}

class PickerTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    std::filesystem::create_directories(m_device.host("My Documents/OrvelFlash"));
    settings().dataFolder = u"\\My Documents\\OrvelFlash";
  }
  // Runs a menu command of the player while `steps` act in the dialog it opens.
  void runCommand(UINT command, Steps& steps) {
    steps.start();
    SendMessageW(m_player->mainWindow(), WM_COMMAND, command, 0);
    wm::dispatchPending();
    EXPECT_TRUE(steps.allRan()) << "the dialog closed before every step ran";
  }
  // The screen as the user sees it now, painted and shown.
  void shoot(const char* name) {
    wm::dispatchPending();
    m_display->present();
    EXPECT_TRUE(display::writePng(m_display->frame(), screenshotPath(name)));
  }
  std::vector<std::string> playlistFiles() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(m_device.host("My Documents/OrvelFlash")))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  void playlistFile(const std::string& name, const std::vector<std::string>& paths) {
    std::string text = "<playlist>";
    for (const std::string& path : paths) text += "<media href=\"" + path + "\"/>";
    writeFile(m_device.host("My Documents/OrvelFlash/" + name + ".bfl"), text + "</playlist>");
  }
};

TEST_F(PickerTest, TheOpenFileListShowsEveryMovieWithItsSizeAndATapOpensOne) {
  writeFile(m_device.host("My Documents/small.swf"), std::string(1023, 'x'));
  std::filesystem::create_directories(m_device.host("My Documents/Sub"));
  writeFile(m_device.host("My Documents/Sub/one.swf"), std::string(1024, 'x'));
  writeFile(m_device.host("big.swf"), std::string(1572864, 'x'));
  writeFile(m_device.host("My Documents/notes.txt"), "x");
  startWithMovie(u"\\My Documents\\count.swf");
  std::vector<std::u16string> titles, sizes;
  int selected = -1;
  Steps steps;
  steps.then([&] {
    HWND list = dialogControl(playerres::kMovieListControl);
    titles = rowTexts(list, 0);
    sizes = rowTexts(list, 1);
    selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    shoot("open-file-dialog.png");
    tapAt(rowPoint(list, 2));  // intro.part2
  });
  runCommand(kOpenFileCommand, steps);
  // Sorted by full path in character codes: upper case before lower case.
  EXPECT_EQ(titles, (std::vector<std::u16string>{u"one", u"count", u"intro.part2", u"small", u"big"}));
  EXPECT_EQ(sizes, (std::vector<std::u16string>{u"1K", sizeTextOf(m_device.host("My Documents/count.swf")),
                                                sizeTextOf(m_device.host("My Documents/intro.part2.swf")), u"1023k",
                                                u"1536K"}));
  EXPECT_EQ(selected, 1) << "the movie that is open";
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\intro.part2.swf");
  EXPECT_NE(playing(), 0);
  Playlist& folder = m_player->openFileDialogObject()->folderList();
  EXPECT_EQ(folder.entries().size(), 5u);
  EXPECT_EQ(folder.cursor(), 2);
  m_player->keyAction(kActionNextMovie);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\small.swf");
}

TEST_F(PickerTest, AScreenshotOfThirtyMoviesWithOneSelected) {
  for (int i = 0; i < 28; ++i)
    writeFile(m_device.host("My Documents/movie " + std::to_string(10 + i) + ".swf"), std::string(700u * i, 'x'));
  startWithMovie(u"\\My Documents\\count.swf");
  int rows = 0, selected = -1;
  struct Layout {
    SIZE dialog, list;
    int columnsRight, barLeft;
  };
  std::vector<Layout> layouts;  // on opening, then with the dialog made smaller
  auto measure = [&] {
    HWND list = dialogControl(playerres::kMovieListControl);
    RECT dialog{}, client{};
    GetClientRect(GetForegroundWindow(), &dialog);
    GetClientRect(list, &client);
    layouts.push_back({{dialog.right, dialog.bottom},
                       {client.right, client.bottom},
                       ListView_GetColumnWidth(list, 0) + ListView_GetColumnWidth(list, 1),
                       client.right - GetSystemMetrics(SM_CXVSCROLL)});
  };
  Steps steps;
  steps.then([&] {
    HWND list = dialogControl(playerres::kMovieListControl);
    rows = ListView_GetItemCount(list);
    selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    measure();
    shoot("open-file-dialog-30.png");
    MoveWindow(GetForegroundWindow(), 0, 26, 200, 150, TRUE);
    measure();
    pressKey(VK_ESCAPE);
  });
  runCommand(kOpenFileCommand, steps);
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(selected, 0) << "count.swf sorts first";
  ASSERT_EQ(layouts.size(), 2u);
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(testing::Message() << "dialog " << layout.dialog.cx << " x " << layout.dialog.cy);
    EXPECT_EQ(layout.list.cx, layout.dialog.cx) << "the list fills the dialog";
    EXPECT_EQ(layout.list.cy, layout.dialog.cy);
    EXPECT_EQ(layout.columnsRight, layout.barLeft) << "the sizes and their header end where the scroll bar begins";
  }
}

TEST_F(PickerTest, MarkingARowAndCancellingOpensNothingButNextFlashOpensTheOneAfterIt) {
  writeFile(m_device.host("My Documents/Clip.swf"), "x");
  writeFile(m_device.host("My Documents/clip.swf"), "x");  // the same movie to the device
  startWithMovie(u"\\My Documents\\intro.part2.swf");      // rows: Clip, clip, count, intro.part2
  Steps steps;
  steps.then([&] { pressKey(VK_UP), pressKey(VK_UP); }).then([&] { pressKey(VK_ESCAPE); });
  runCommand(kOpenFileCommand, steps);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\intro.part2.swf");
  Playlist& folder = m_player->openFileDialogObject()->folderList();
  EXPECT_EQ(folder.entries().size(), 3u) << "Clip.swf and clip.swf are one movie";
  m_player->keyAction(kActionNextMovie);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\count.swf") << "the one after the marked clip.swf";
}

TEST_F(PickerTest, NewPlaylistsAreNumberedFilledWithEveryMovieAndNamedAtOnce) {
  start();
  std::vector<std::u16string> tree;
  bool renameEnabled = true, moveEnabled = true;
  Steps steps;
  steps
      .then([&] {
        renameEnabled = barButtonEnabled(40052);
        tapAt(barButton(40039));  // New Playlist: its label is being edited
      })
      .then(settle)
      .then([&] { typeKeys("\n"); })  // keeps "playlist 0"
      .then(settle)
      .then([&] { tapAt(barButton(40039)); })
      .then(settle)
      .then([&] { typeKeys(std::string(10, '\b') + "Trip\n"); })  // the label starts as "playlist 1"
      .then(settle)
      .then([&] {
        HWND treeView = dialogControl(playerres::kPlaylistTreeControl);
        tree = treeTexts(treeView);
        HTREEITEM trip = TreeView_GetNextSibling(treeView, TreeView_GetRoot(treeView));
        tapAt(nodePoint(treeView, TreeView_GetChild(treeView, trip)));  // the new one is the one expanded
      })
      .then([&] {
        moveEnabled = barButtonEnabled(40037) && barButtonEnabled(40038) && !barButtonEnabled(40052);
        shoot("playlist-dialog.png");
        pressDone();
      });
  runCommand(kPlaylistCommand, steps);
  EXPECT_FALSE(renameEnabled) << "nothing selected yet";
  EXPECT_TRUE(moveEnabled) << "an entry is selected";
  EXPECT_EQ(tree, (std::vector<std::u16string>{u"playlist 0: count intro.part2", u"Trip: count intro.part2"}));
  EXPECT_EQ(playlistFiles(), (std::vector<std::string>{"Trip.bfl", "playlist 0.bfl"}));
  PlaylistManager& manager = *m_player->playlists();
  ASSERT_EQ(manager.current(), manager.findByName(u"Trip")) << "the selected entry's playlist";
  EXPECT_EQ(manager.current()->cursor(), 0);
}

TEST_F(PickerTest, ARenameReplacesTheFileAndADuplicateNameIsRefusedAndEditedAgain) {
  playlistFile("playlist 0", {"\\My Documents\\count.swf"});
  playlistFile("Other", {});
  start();
  std::vector<std::string> filesAfterRename;
  Steps steps;
  steps
      .then([&] {
        HWND tree = dialogControl(playerres::kPlaylistTreeControl);
        tapAt(nodePoint(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree))));  // playlist 0
      })
      .then([&] { tapAt(barButton(40052)); })  // Rename Playlist
      .then(settle)
      .then([&] { typeKeys(std::string(10, '\b') + "Other\n"); })  // taken
      .then(settle)
      .then([] { BoxAnswerer::answerNow(); })  // the refusal, from inside its box
      .then(settle)
      .then(settle)  // the edit starts again
      .then([&] { typeKeys(std::string(10, '\b') + "Trip\n"); })
      .then(settle)
      .then([&] {
        filesAfterRename = playlistFiles();
        pressDone();
      });
  runCommand(kPlaylistCommand, steps);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].caption, u"Error");
  EXPECT_EQ(m_boxes[0].text, u"Duplicate name");
  // The old file goes only once the new one is written: the playlist is never without a file.
  EXPECT_EQ(filesAfterRename, (std::vector<std::string>{"Other.bfl", "Trip.bfl"}));
  EXPECT_EQ(playlistFiles(), (std::vector<std::string>{"Other.bfl", "Trip.bfl"}));
  auto trip = Playlist::read(u"\\My Documents\\OrvelFlash\\Trip.bfl");
  ASSERT_TRUE(trip);
  EXPECT_EQ(trip->entries(), (std::vector<WideString>{u"\\My Documents\\count.swf"}));
}

TEST_F(PickerTest, MovesStopAtTheEndsAndAddFilesSkipsWhatThePlaylistHolds) {
  playlistFile("Mix", {"\\MY DOCUMENTS\\COUNT.SWF", "\\My Documents\\b.swf", "\\My Documents\\c.swf"});
  start();
  std::vector<std::vector<std::u16string>> trees;
  std::vector<std::u16string> addRows;
  auto leaf = [](int index) {
    HWND tree = dialogControl(playerres::kPlaylistTreeControl);
    HTREEITEM item = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    for (int i = 0; i < index; ++i) item = TreeView_GetNextSibling(tree, item);
    return nodePoint(tree, item);
  };
  auto snapshot = [&] { trees.push_back(treeTexts(dialogControl(playerres::kPlaylistTreeControl))); };
  Steps steps;
  steps
      .then([&] {
        HWND tree = dialogControl(playerres::kPlaylistTreeControl);
        TreeView_Expand(tree, TreeView_GetRoot(tree), TVE_EXPAND);
      })
      .then([&] { tapAt(leaf(0)); })
      .then([&] { tapAt(barButton(40037)); })  // Move Up on the first: nothing
      .then(settle)
      .then([&] {
        snapshot();
        tapAt(leaf(2));
      })
      .then([&] { tapAt(barButton(40038)); })  // Move Down on the last: nothing
      .then(settle)
      .then([&] {
        snapshot();
        tapAt(barButton(40037));  // c up
      })
      .then(settle)
      .then([&] {
        snapshot();
        tapAt(barButton(40040));  // Add File Into Playlist
      })
      .then(settle)
      .then([&] {
        HWND list = dialogControl(playerres::kAddFilesListControl);
        addRows = rowTexts(list, 0);
        tapAt(rowPoint(list, 0));  // count: held already in other letters
        tapAt(rowPoint(list, 1));  // intro.part2
      })
      .then([&] {
        shoot("add-files-dialog.png");
        pressDone();
      })
      .then([&] {
        snapshot();
        pressDone();
      });
  runCommand(kPlaylistCommand, steps);
  EXPECT_EQ(addRows, (std::vector<std::u16string>{u"count", u"intro.part2"}));
  ASSERT_EQ(trees.size(), 4u);
  EXPECT_EQ(trees[0], (std::vector<std::u16string>{u"Mix: COUNT b c"}));
  EXPECT_EQ(trees[1], (std::vector<std::u16string>{u"Mix: COUNT b c"}));
  EXPECT_EQ(trees[2], (std::vector<std::u16string>{u"Mix: COUNT c b"}));
  EXPECT_EQ(trees[3], (std::vector<std::u16string>{u"Mix: COUNT c b intro.part2"}));
  auto mix = Playlist::read(u"\\My Documents\\OrvelFlash\\Mix.bfl");
  ASSERT_TRUE(mix);
  EXPECT_EQ(mix->entries(), (std::vector<WideString>{u"\\MY DOCUMENTS\\COUNT.SWF", u"\\My Documents\\c.swf",
                                                     u"\\My Documents\\b.swf", u"\\My Documents\\intro.part2.swf"}));
}

TEST_F(PickerTest, DoneWithNothingSelectedTakesTheFirstPlaylistAndPlayStartsTheSelectedEntry) {
  playlistFile("b", {"\\My Documents\\count.swf"});
  playlistFile("A", {"\\My Documents\\count.swf", "\\My Documents\\intro.part2.swf"});
  start();
  Steps done;
  done.then([&] { pressDone(); });
  runCommand(kPlaylistCommand, done);
  PlaylistManager& manager = *m_player->playlists();
  ASSERT_EQ(manager.current(), manager.findByName(u"A"));
  EXPECT_EQ(manager.current()->cursor(), 0);
  EXPECT_FALSE(m_player->playlistMode()) << "Done does not play";

  Steps play;
  play.then([&] {
        HWND tree = dialogControl(playerres::kPlaylistTreeControl);
        HTREEITEM second = TreeView_GetNextSibling(tree, TreeView_GetChild(tree, TreeView_GetRoot(tree)));
        tapAt(nodePoint(tree, second));  // A's intro.part2 (A is current, so expanded)
      })
      .then([&] { tapAt(barButton(40044)); })
      .then(settle);
  runCommand(kPlaylistCommand, play);
  EXPECT_EQ(m_player->moviePath(), u"\\My Documents\\intro.part2.swf");
  EXPECT_TRUE(m_player->playlistMode());
  EXPECT_TRUE(m_player->playlistPlaying());
  EXPECT_EQ(m_player->control()->getInteger(u"Loop"), 0);
}

}  // namespace
