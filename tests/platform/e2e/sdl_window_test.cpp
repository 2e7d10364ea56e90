// End to end: the device's screen as a real SDL2 window on an X server of its
// own (Xvfb), clicked with xdotool and photographed with xwd.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/support/tempdir.h"
#include "tests/support/xserver.h"

namespace {

constexpr auto kPatience = std::chrono::seconds(30);
constexpr int kZoom = 2;

TEST(SdlWindow, ClickArrivesAndTheScreenshotShowsWhatWasDrawn) {
  for (const char* tool : {"Xvfb", "xdotool", "xwd", "convert"})
    ASSERT_TRUE(onPath(tool)) << tool << " is missing: scripts/install-deps installs it";

  auto deadline = Clock::now() + kPatience;
  XServer x(deadline);
  ASSERT_TRUE(x.started()) << "Xvfb did not start";
  const std::string& display = x.display();

  // SDL unloads its X11 libraries at exit, so their lifetime allocations show
  // up as leaks of an unknown module that no suppression can name; the leak
  // check of our own code is the headless tests' job.
  Child demo({SCREEN_DEMO, "--zoom", std::to_string(kZoom)},
             {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"});
  ASSERT_TRUE(demo.started());
  ASSERT_EQ(demo.readLine(deadline), "ready");

  std::string window = x.findWindow("^Screen demo$", deadline);
  ASSERT_FALSE(window.empty()) << "the window's title is the foreground window's";
  EXPECT_EQ(x.xdotool("getwindowgeometry --shell " + window + " | grep -E 'WIDTH|HEIGHT'"), "WIDTH=480\nHEIGHT=640");

  // Device point (60, 150): on the left (red) half of the work area.
  x.xdotool("mousemove --window " + window + " 120 300 click 1");
  EXPECT_EQ(demo.readLine(deadline), "tap 60 150");

  TempDir dir;
  std::string shot = (dir / "shot.png").string();
  long tapped = -1;
  // The mark is presented when the demo is next idle: look until it shows.
  while (tapped != 0x00FF00 && Clock::now() < deadline) {
    tapped = x.windowPixel(window, 120, 300, shot);
    if (tapped != 0x00FF00) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(tapped, 0x00FF00) << "the green mark under the click";
  EXPECT_EQ(x.windowPixel(window, 40, 400, shot), 0xFF0000) << "left half";
  EXPECT_EQ(x.windowPixel(window, 400, 400, shot), 0x0000FF) << "right half";
  EXPECT_EQ(x.windowPixel(window, 400, 20, shot), 0x3A6EA5) << "the task bar's place shows the desktop";

  x.xdotool("windowfocus --sync " + window + " key --window " + window + " Escape");
  EXPECT_EQ(demo.readLine(deadline), "key 27");
  EXPECT_EQ(demo.waitExit(deadline), 0) << "Escape destroys the window and ends the loop";
}

}  // namespace
