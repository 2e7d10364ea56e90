// OrvelFlash.exe as its own process on a device: the first run on the
// default skin, a second start handing its path to the running player, and
// the player in a real desktop window under an X server of the test's own.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "platform/flash/server/flashregistration.h"
#include "platform/core/regkey.h"
#include "platform/core/utf8.h"
#include "platform/core/windowing.h"
#include "platform/core/winreg.h"
#include "platform/core/mmsystem.h"
#include "platform/display/display.h"
#include "tests/support/testdevice.h"
#include "tests/support/tone.h"
#include "tests/support/xserver.h"
#include "tools/swfwriter/samples.h"
#include "tools/swfwriter/swfwriter.h"

extern char** environ;

namespace {

// Starts the program on the device with `args`; answers its process id.
pid_t startProgram(const TestDevice& device, const std::vector<std::string>& args) {
  std::vector<std::string> argv{ORVEL_PLAYER_EXE, "--device", device.root().string(), "--headless"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("ORVELFLASH_MODULE=\\Program Files\\OrvelFlash\\OrvelFlash.exe");
  std::vector<char*> argp, envp;
  for (auto& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, ORVEL_PLAYER_EXE, nullptr, nullptr, argp.data(), envp.data()) != 0) return -1;
  return pid;
}

// Serves this process's windows until the program exits; its exit code.
int serveUntilExit(pid_t pid) {
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    wm::waitForActivity(-1, 20);
    wm::dispatchPending();
  }
}

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::vector<char>> g_payloads;
std::vector<ULONG_PTR> g_tags;

LRESULT runningPlayer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    auto* bytes = static_cast<const char*>(data->lpData);
    g_payloads.emplace_back(bytes, bytes + data->cbData);
    g_tags.push_back(data->dwData);
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Program : public testing::Test {
 protected:
  void SetUp() override { wm::resetForTests(); }
  void TearDown() override { wm::resetForTests(); }
  // The default skin where the installer puts it, and \My Documents\demo.swf.
  void installSkinAndMovie() {
    std::filesystem::create_directories(m_device.host("Program Files/OrvelFlash"));
    std::filesystem::copy_file(ORVEL_DEFAULT_SKIN_PACKAGE, m_device.host("Program Files/OrvelFlash/default.zskn"));
    std::vector<uint8_t> movie = swfwrite::demoMovie(true);
    std::ofstream(m_device.host("My Documents/demo.swf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  }
  TestDevice m_device;
};

TEST_F(Program, ASecondStartHandsItsPathToTheRunningPlayerAndEnds) {
  g_payloads.clear();
  g_tags.clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = runningPlayer;
  wc.lpszClassName = u"OrvelFlash";
  RegisterClassW(&wc);
  HWND first = CreateWindowExW(0, u"OrvelFlash", u"Orvel Flash Player", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                               nullptr, nullptr);
  HWND other =
      CreateWindowExW(0, u"OrvelFlash", u"Notes", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(first && other);
  SetForegroundWindow(other);

  pid_t withPath = startProgram(m_device, {"\\My Documents\\a b.swf"});
  ASSERT_GT(withPath, 0);
  EXPECT_EQ(serveUntilExit(withPath), 0);
  ASSERT_EQ(g_payloads.size(), 1u);
  const std::u16string path = u"\\My Documents\\a b.swf";
  std::vector<char> expected(reinterpret_cast<const char*>(path.c_str()),
                             reinterpret_cast<const char*>(path.c_str() + path.size() + 1));
  EXPECT_EQ(g_payloads[0], expected) << "the path and its null, nothing more";
  EXPECT_EQ(g_tags[0], 0u);
  EXPECT_EQ(GetForegroundWindow(), first);

  SetForegroundWindow(other);
  pid_t withoutPath = startProgram(m_device, {});
  ASSERT_GT(withoutPath, 0);
  EXPECT_EQ(serveUntilExit(withoutPath), 0);
  EXPECT_EQ(g_payloads.size(), 1u) << "no path, nothing sent";
  EXPECT_EQ(GetForegroundWindow(), first) << "but the running player comes to the front";
  EXPECT_FALSE(std::filesystem::exists(m_device.host("My Documents/OrvelFlash"))) << "nothing else was touched";
}

TEST_F(Program, TheFirstRunInstallsTheDefaultSkinAndPlaysTheMovie) {
  installSkinAndMovie();
  std::filesystem::path script = m_device.outside("session.txt"), dump = m_device.outside("dump.txt");
  std::filesystem::path shot = m_device.outside("shot.png");
  std::ofstream(script) << "wait 2500\nscreenshot " << shot.string() << "\ndump " << dump.string()
                        << "\nkey return\nwait 100\ndump " << dump.string() << "\nquit\n";
  pid_t player = startProgram(m_device, {"--script", script.string(), "\\My Documents\\demo.swf"});
  ASSERT_GT(player, 0);
  EXPECT_EQ(serveUntilExit(player), 0);

  std::string text = readText(dump);
  EXPECT_NE(text.find("running=1 movie=\\My Documents\\demo.swf fullscreen=0"), std::string::npos) << text;
  EXPECT_NE(text.find("control=1 frames=24"), std::string::npos) << text;
  EXPECT_NE(text.find("playing=-1"), std::string::npos) << "playing reads as VARIANT_TRUE\n" << text;
  EXPECT_NE(text.find("fullscreen=1"), std::string::npos) << "Return turned the movie full screen\n" << text;
  EXPECT_NE(text.find("class=\"OrvelFlash\" title=\"Orvel Flash Player\" rect=0,26,240,294"), std::string::npos)
      << text;
  EXPECT_TRUE(std::filesystem::exists(shot));

  // The first run stored the options: the default key map and the unpacked skin.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR value[300] = {};
  DWORD bytes = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, u"keyMapping", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(value), kDefaultKeyMapText);
  bytes = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, u"zipskin", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(value), u"\\Program Files\\OrvelFlash\\default.zskn");
  RegCloseKey(key);
  EXPECT_TRUE(std::filesystem::exists(m_device.host("My Documents/OrvelFlash/skins/default.bskn")));
}

// Runs the program headless on `script` with the demo movie; its exit code.
int runScripted(const TestDevice& device, const std::string& script) {
  std::filesystem::path file = device.outside("session.txt");
  std::ofstream(file) << script;
  pid_t player = startProgram(device, {"--script", file.string(), "\\My Documents\\demo.swf"});
  return player > 0 ? serveUntilExit(player) : -1;
}

TEST_F(Program, TheSkinsButtonsDriveTheMovieAndReturnTogglesFullScreen) {
  installSkinAndMovie();
  // The skin's hot spots on the screen (the skin starts under the 26-pixel task bar).
  const std::string playPause = "tap 120 263\nwait 100\n", stop = "tap 74 263\nwait 100\n";
  std::vector<std::filesystem::path> dumps;
  std::string script = "wait 1000\n";
  for (const std::string& step : {playPause, stop, playPause + "wait 500\n", std::string("key return\nwait 100\n"),
                                  std::string("key return\nwait 100\n")}) {
    dumps.push_back(m_device.outside("dump" + std::to_string(dumps.size()) + ".txt"));
    script += step + "dump " + dumps.back().string() + "\n";
  }
  ASSERT_EQ(runScripted(m_device, script + "quit\n"), 0);

  struct Row {
    const char* after;
    std::vector<const char*> shows;
  } rows[] = {
      {"play/pause", {"playing=0", "fullscreen=0"}},
      {"stop", {"frame=0 playing=0"}},
      {"play/pause again", {"playing=-1"}},
      {"Return",
       {"fullscreen=1", "\"HHTaskBar\" title=\"\" rect=0,0,240,26 hidden", "rect=0,294,240,320 hidden",
        "\"OrvelFlash\" title=\"Orvel Flash Player\" rect=0,0,240,320"}},
      {"Return again",
       {"fullscreen=0", "\"HHTaskBar\" title=\"\" rect=0,0,240,26 visible", "rect=0,294,240,320 visible",
        "\"OrvelFlash\" title=\"Orvel Flash Player\" rect=0,26,240,294"}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].after);
    std::string text = readText(dumps[i]);
    for (const char* shown : rows[i].shows) EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
  EXPECT_EQ(readText(dumps[2]).find("frame=0 "), std::string::npos) << "playing again moved on from the first frame";
}

TEST_F(Program, AHeldTapOnTheMovieOpensTheControlsOwnMenu) {
  installSkinAndMovie();
  std::filesystem::path open = m_device.outside("open.txt"), chosen = m_device.outside("chosen.txt");
  // Down twice: past "Zoom In" and the greyed zoom items to "Play", which pauses.
  ASSERT_EQ(
      runScripted(m_device, "wait 1000\nrtap 60 100\ndump " + open.string() +
                                "\nkey down\nkey down\nkey return\nwait 100\ndump " + chosen.string() + "\nquit\n"),
      0);
  std::string before = readText(open), after = readText(chosen);
  EXPECT_NE(before.find("class=\"MNU\" title=\"\" rect=60,100,"), std::string::npos) << "at the pen point\n" << before;
  EXPECT_NE(before.find("playing=-1"), std::string::npos) << before;
  EXPECT_EQ(after.find("class=\"MNU\""), std::string::npos) << "closed once chosen\n" << after;
  EXPECT_NE(after.find("playing=0"), std::string::npos) << after;
}

TEST_F(Program, AButtonMappedToAMovieKeyReachesTheControlsWindowAndTheDump) {
  installSkinAndMovie();
  // Application button 1 sends the movie the key "A".
  const std::u16string mapping = u"193=65;";
  RegKeyHandle key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"keyMapping", 0, REG_SZ, reinterpret_cast<const BYTE*>(mapping.c_str()),
                           static_cast<DWORD>((mapping.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
  std::filesystem::path dump = m_device.outside("dump.txt");
  ASSERT_EQ(runScripted(m_device, "wait 500\nkey app1\nkey app2\nwait 100\ndump " + dump.string() + "\nquit\n"), 0);
  std::string text = readText(dump);
  size_t keys = text.find("[flash keys]\ndown 65\n");
  EXPECT_NE(keys, std::string::npos) << text;
  EXPECT_EQ(text.find("down 194"), std::string::npos) << "an unmapped button stays with the player\n" << text;
}

TEST_F(Program, WithoutTheFlashControlThePlayerSaysSoAndKeepsRunning) {
  installSkinAndMovie();
  std::string error;
  ASSERT_TRUE(removeFlashControl(m_device.device(), error)) << error;
  std::filesystem::path dump = m_device.outside("dump.txt");
  ASSERT_EQ(runScripted(m_device, "wait 500\ndump " + dump.string() + "\nkey return\nwait 100\ndump " + dump.string() +
                                      "\nquit\n"),
            0);
  std::string text = readText(dump);
  EXPECT_NE(text.find("title=\"Error\""), std::string::npos) << "the message box is up\n" << text;
  EXPECT_NE(text.find("control=0"), std::string::npos) << text;
  EXPECT_EQ(text.find("running=0"), std::string::npos) << "the player is still there after the box\n" << text;
}

TEST_F(Program, InADesktopWindowADragOnTheSkinsVolumeBarSetsTheDeviceVolume) {
  for (const char* tool : {"Xvfb", "xdotool", "xwd", "convert"})
    ASSERT_TRUE(onPath(tool)) << tool << " is missing: scripts/install-deps installs it";
  installSkinAndMovie();
  auto deadline = Clock::now() + std::chrono::seconds(40);
  XServer x(deadline);
  ASSERT_TRUE(x.started()) << "Xvfb did not start";

  // SDL's X11 libraries leave allocations no suppression can name at exit;
  // the headless tests check this program's own leaks.
  Child player({ORVEL_PLAYER_EXE, "--device", m_device.root().string(), "--zoom", "2", "\\My Documents\\demo.swf"},
               {"DISPLAY=" + x.display(), "SDL_VIDEODRIVER=x11", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1",
                "ORVELFLASH_MODULE=\\Program Files\\OrvelFlash\\OrvelFlash.exe"});
  ASSERT_TRUE(player.started());
  std::string window = x.findWindow("^Orvel Flash Player$", deadline);
  ASSERT_FALSE(window.empty()) << "the desktop window bears the player's title";

  // The volume bar runs along skin y 260 from x 34 to 154 (screen y 286, the
  // skin starting under the task bar); at full volume the thumb sits at its
  // right end. Wait until the skin is painted with it there.
  std::filesystem::path shot = m_device.outside("window.png");
  constexpr long kThumb = 0xAAB2C5;
  long thumb = -1;
  while (thumb != kThumb && Clock::now() < deadline) {
    thumb = x.windowPixel(window, 2 * 149, 2 * 286, shot.string());
    if (thumb != kThumb) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(thumb, kThumb) << "the skin's volume thumb at full volume";

  // The pen goes down on the bar's left end and moves along it.
  x.xdotool("mousemove --window " + window + " 84 572 mousedown 1 mousemove --window " + window +
            " 80 572 mousemove --window " + window + " 76 572 mouseup 1");
  while (x.windowPixel(window, 2 * 149, 2 * 286, shot.string()) == kThumb && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_NE(x.windowPixel(window, 2 * 149, 2 * 286, shot.string()), kThumb) << "the thumb left the right end";
  EXPECT_EQ(x.windowPixel(window, 2 * 40, 2 * 286, shot.string()), kThumb) << "and is under the pen";

  x.xdotool("windowfocus --sync " + window + " key --window " + window + " ctrl+q");
  EXPECT_EQ(player.waitExit(Clock::now() + std::chrono::seconds(20)), 0) << "Ctrl+Q ends the player";
  DWORD volume = 0;
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_LT(volume & 0xFFFF, 0x2000u) << "the device's level follows the thumb, low at the bar's left end";
  EXPECT_EQ(volume >> 16, volume & 0xFFFF) << "both channels";
}

// The loudest sample of each channel over the last second a dump heard.
std::pair<int, int> audioPeak(const std::string& dump) {
  size_t at = dump.find("peak=");
  int left = -1, right = -1;
  if (at != std::string::npos) std::sscanf(dump.c_str() + at, "peak=%d,%d", &left, &right);
  return {left, right};
}

TEST_F(Program, TheVolumeBarsLeftEndSilencesTheMoviesSound) {
  installSkinAndMovie();
  // A movie that plays a 440 Hz tone on and on.
  constexpr int kRate = 22050, kAmplitude = 12000;
  swfwrite::MovieWriter movie(240, 180, 12);
  movie.defineSound(1, swfwrite::SoundFormat{3, kRate, true, false}, kRate,
                    swfwrite::encodePcm16(testsupport::sineTone(440, kRate, 1, kRate, kAmplitude)));
  swfwrite::SoundInfo forever;
  forever.loops = 1000;
  forever.syncNoMultiple = true;
  movie.startSound(1, forever);
  for (int i = 0; i < 24; ++i) movie.showFrame();
  std::vector<uint8_t> bytes = movie.finish();
  std::ofstream(m_device.host("My Documents/tone.swf"), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

  // The pen takes the volume thumb from the bar's right end to its left one, in small steps that stay on it.
  std::filesystem::path loud = m_device.outside("loud.txt"), quiet = m_device.outside("quiet.txt");
  std::filesystem::path file = m_device.outside("session.txt");
  std::ofstream(file) << "wait 1500\ndump " << loud.string() << "\ndrag 149 286 35 286 60\nwait 1500\ndump "
                      << quiet.string() << "\nquit\n";
  pid_t player = startProgram(m_device, {"--script", file.string(), "\\My Documents\\tone.swf"});
  ASSERT_GT(player, 0);
  ASSERT_EQ(serveUntilExit(player), 0);

  std::string before = readText(loud), after = readText(quiet);
  auto [loudLeft, loudRight] = audioPeak(before);
  EXPECT_NEAR(loudLeft, kAmplitude, kAmplitude / 20) << before;
  EXPECT_NEAR(loudRight, kAmplitude, kAmplitude / 20) << before;
  // The left end is the lowest level the bar gives, 255 of 0xFFFF: the tone
  // falls below one hundredth of its full height.
  EXPECT_NE(after.find("level=0x00FF,0x00FF"), std::string::npos) << after;
  auto [quietLeft, quietRight] = audioPeak(after);
  EXPECT_LE(quietLeft, kAmplitude / 100) << after;
  EXPECT_LE(quietRight, kAmplitude / 100) << after;
  EXPECT_GE(quietLeft, 0) << "the dump shows what the sink played\n" << after;
}

TEST_F(Program, WithoutADesktopAWindowNoOneCouldSeeIsRefused) {
  Child player({ORVEL_PLAYER_EXE, "--device", m_device.root().string()},
               {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=",
                "ORVELFLASH_MODULE=\\Program Files\\OrvelFlash\\OrvelFlash.exe"});
  ASSERT_TRUE(player.started());
  EXPECT_EQ(player.waitExit(Clock::now() + std::chrono::seconds(20)), 1);
}

TEST_F(Program, BadOptionsAreRefusedWithTheUsage) {
  pid_t player = startProgram(m_device, {"--zoom", "0"});
  ASSERT_GT(player, 0);
  EXPECT_EQ(serveUntilExit(player), 2);
  player = startProgram(m_device, {"--frobnicate"});
  ASSERT_GT(player, 0);
  EXPECT_EQ(serveUntilExit(player), 2);
}

// Every item of the File and Help menus in turn, each dialog pictured and
// closed with Done, as a user setting the player up would go through them.
TEST_F(Program, ASessionThroughEveryFileAndHelpItemEndsCleanlyWithTheChoicesStored) {
  installSkinAndMovie();
  for (const char* skin : {"dark", "compact"})
    std::filesystem::copy_file(std::filesystem::path(ORVEL_SKIN_PACKAGES_DIR) / (std::string(skin) + ".zskn"),
                               m_device.host("Program Files/OrvelFlash/" + std::string(skin) + ".zskn"));
  std::ofstream(m_device.host("Program Files/OrvelFlash/help.htm")) << "<html><body>Help</body></html>";
  // The device's browser: a program that writes down the page it was given.
  std::filesystem::path browser = m_device.host("Windows/browser.exe"), shown = m_device.outside("shown.txt");
  std::ofstream(browser) << "#!/bin/sh\nprintf '%s' \"$*\" > '" << shown.string() << "'\n";
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  for (auto [key, value] : {std::pair{u".htm", u"htmlfile"},
                            std::pair{u"htmlfile\\Shell\\Open\\Command", u"\"\\Windows\\browser.exe\" %1"}}) {
    HKEY handle = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, 0, nullptr, &handle, &disposition), ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((std::u16string(value).size() + 1) * 2));
    RegCloseKey(handle);
  }

  // Screen points: File and Help on the menu bar, the items of their menus,
  // the task bar's "ok" that is each dialog's Done.
  const std::string file = "tap 20 307\nwait 300\n", help = "tap 95 307\nwait 300\n", done = "tap 225 13\nwait 800\n";
  struct Step {
    const char* name;
    std::string open, act;
    const char* title;  // the dialog in front while it is open (null: not checked here)
  };
  const Step steps[] = {
      {"open", file + "tap 60 162\n", "", nullptr},
      {"playlist", file + "tap 60 181\n", "", nullptr},
      {"properties", file + "tap 60 199\n", "", "File Properties..."},
      // Set Flash Default Player, then OK in the box that says it took.
      {"settings", file + "tap 60 222\n", "tap 120 78\nwait 500\ntap 118 187\nwait 300\n", "Settings"},
      // "Move Flash Up" from the drop-down list, then Button 4.
      {"keymapping", file + "tap 60 241\n", "down 100 98\nwait 200\nup 100 130\nwait 200\nkey app4\nwait 200\n",
       "Key Mapping"},
      // The dark skin, the list's second row.
      {"selectskin", file + "tap 60 259\n", "tap 40 161\nwait 200\n", "Select Skin"},
      {"documents", help + "tap 120 266\n", "", nullptr},
      {"about", help + "tap 120 284\n", "", "About OrvelFlash"},
      {"about-ctrl-a", "key ctrl+a\n", "", "About OrvelFlash"},
  };
  std::string script = "wait 1500\n";
  for (const Step& step : steps) {
    script += step.open + "wait 800\nscreenshot " + m_device.outside(std::string(step.name) + ".png").string() +
              "\ndump " + m_device.outside(std::string(step.name) + ".txt").string() + "\n" + step.act + done;
  }
  script += "screenshot " + m_device.outside("dark.png").string() + "\n" + file + "tap 60 284\nwait 500\n";
  ASSERT_EQ(runScripted(m_device, script), 0) << "Exit ends the program with 0";

  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_TRUE(std::filesystem::exists(m_device.outside(std::string(step.name) + ".png")));
    std::string dump = readText(m_device.outside(std::string(step.name) + ".txt"));
    if (!step.title) continue;
    EXPECT_NE(dump.find("title=\"" + std::string(step.title) + "\" rect=0,26,240,"), std::string::npos)
        << "the dialog is up, full screen\n"
        << dump;
  }
  EXPECT_EQ(readText(shown), "--headless \\Program Files\\OrvelFlash\\help.htm")
      << "Documents opened the help file, in a browser as headless as the player";

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  auto stored = [&](LPCWSTR name) {
    WCHAR value[600] = {};
    DWORD bytes = sizeof value;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
    return std::u16string(value);
  };
  EXPECT_EQ(stored(u"keyMapping"), std::u16string(kDefaultKeyMapText) + u"196=65574;");
  EXPECT_EQ(stored(u"zipskin"), u"\\Program Files\\OrvelFlash\\dark.zskn");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR command[300] = {};
  DWORD bytes = sizeof command;
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command), &bytes);
  RegCloseKey(key);
  EXPECT_EQ(std::u16string(command), u"\"\\Program Files\\OrvelFlash\\OrvelFlash.exe\" %1");
}

// A whole session through the screen: a playlist made of the device's three
// movies in the playlist dialog, named, played through to its end; then a
// second run of the program that finds it again.
TEST_F(Program, APlaylistMadeInTheDialogPlaysThroughAndIsThereAfterARestart) {
  installSkinAndMovie();
  std::filesystem::remove(m_device.host("My Documents/demo.swf"));
  for (const char* name : {"one", "two", "three"}) {
    std::vector<uint8_t> movie = swfwrite::countingMovie(12, 12, 200, 150, false);
    std::ofstream(m_device.host(std::string("My Documents/") + name + ".swf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  }
  std::filesystem::path started = m_device.outside("started.txt"), ended = m_device.outside("ended.txt"),
                        again = m_device.outside("again.txt"), shot = m_device.outside("playlist.png");
  // File > Playlist..., New Playlist, its label typed over, then Play.
  std::string script = "wait 1000\ntap 15 307\nwait 200\ntap 40 180\nwait 500\ntap 11 307\nwait 500\n";
  for (int i = 0; i < 10; ++i) script += "key back\n";
  script += "key shift+t\nkey r\nkey i\nkey p\nkey return\nwait 300\nscreenshot " + shot.string() +
            "\ntap 190 307\nwait 300\ndump " + started.string() + "\nwait 12000\ndump " + ended.string() + "\nquit\n";
  std::filesystem::path file = m_device.outside("session.txt");
  std::ofstream(file) << script;
  pid_t player = startProgram(m_device, {"--script", file.string(), "\\My Documents\\two.swf"});
  ASSERT_EQ(player > 0 ? serveUntilExit(player) : -1, 0);
  std::ofstream(file) << "wait 1000\ndump " + again.string() + "\nquit\n";
  player = startProgram(m_device, {"--script", file.string()});
  ASSERT_EQ(player > 0 ? serveUntilExit(player) : -1, 0);

  struct Row {
    std::filesystem::path dump;
    std::vector<const char*> shows;
  } rows[] = {
      {started,
       {"movie=\\My Documents\\one.swf", "mode=1 playing=1 current=Trip cursor=0",
        "playlist name=Trip entries=3 | \\My Documents\\one.swf | \\My Documents\\three.swf | \\My "
        "Documents\\two.swf"}},
      {ended, {"movie=\\My Documents\\two.swf", "mode=1 playing=0 current=Trip cursor=2"}},
      {again, {"mode=0 playing=0 current=none", "playlist name=Trip entries=3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dump.filename().string());
    std::string text = readText(row.dump);
    for (const char* shown : row.shows) EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
  EXPECT_TRUE(std::filesystem::exists(m_device.host("My Documents/OrvelFlash/Trip.bfl")));
}

}  // namespace
