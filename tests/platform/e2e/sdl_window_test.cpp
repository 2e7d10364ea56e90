// End to end: the device's screen as a real SDL2 window on an X server of its
// own (Xvfb), clicked with xdotool and photographed with xwd.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tempdir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(30);
constexpr int kZoom = 2;

// A child process with its stdout in a pipe; killed when it goes out of scope.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int extraFd = -1) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], extraFd >= 0 ? extraFd : 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      bool overridden = false;
      for (const auto& mine : env) overridden |= entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
      if (!overridden) envText.push_back(entry);
    }
    for (const auto& e : env) envText.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_out = out[0];
  }
  ~Child() {
    if (m_pid > 0 && !m_reaped) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
  }
  bool started() const { return m_pid > 0; }

  // The next line of output, or "" when none came in time.
  std::string readLine(Clock::time_point deadline) {
    for (;;) {
      auto nl = m_buffer.find('\n');
      if (nl != std::string::npos) {
        std::string line = m_buffer.substr(0, nl);
        m_buffer.erase(0, nl + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return "";
      pollfd p{m_out, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) return "";
      char chunk[256];
      ssize_t n = read(m_out, chunk, sizeof chunk);
      if (n <= 0) return "";
      m_buffer.append(chunk, static_cast<size_t>(n));
    }
  }

  // The exit code, or -1 when it did not end in time.
  int waitExit(Clock::time_point deadline) {
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  bool m_reaped = false;
  std::string m_buffer;
};

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

bool onPath(const char* tool) { return !run(std::string("command -v ") + tool).empty(); }

// The window's pixel at (x, y) from an xwd screenshot, as 0xRRGGBB; -1 on failure.
long windowPixel(const std::string& display, const std::string& window, int x, int y, const std::string& file) {
  std::string grab = "DISPLAY=" + display + " xwd -silent -id " + window + " | convert xwd:- -strip " + file +
                     " 2>/dev/null && convert " + file + " -format '%[pixel:p{" + std::to_string(x) + "," +
                     std::to_string(y) + "}]' info:";
  std::string colour = run(grab);
  unsigned r, g, b;
  if (std::sscanf(colour.c_str(), "srgb(%u,%u,%u)", &r, &g, &b) == 3) return (r << 16) | (g << 8) | b;
  if (colour == "red") return 0xFF0000;
  if (colour == "blue") return 0x0000FF;
  if (colour == "lime") return 0x00FF00;
  return -1;
}

TEST(SdlWindow, ClickArrivesAndTheScreenshotShowsWhatWasDrawn) {
  for (const char* tool : {"Xvfb", "xdotool", "xwd", "convert"})
    ASSERT_TRUE(onPath(tool)) << tool << " is missing: scripts/install-deps installs it";

  // An X server of our own, on whatever display number is free.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  Child xvfb({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "800x800x24", "-nolisten", "tcp"}, {},
             ready[1]);
  close(ready[1]);
  ASSERT_TRUE(xvfb.started());
  auto deadline = Clock::now() + kPatience;
  std::string number = xvfb.readLine(deadline);
  close(ready[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  std::string display = ":" + number;

  // SDL unloads its X11 libraries at exit, so their lifetime allocations show
  // up as leaks of an unknown module that no suppression can name; the leak
  // check of our own code is the headless tests' job.
  Child demo({SCREEN_DEMO, "--zoom", std::to_string(kZoom)},
             {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"});
  ASSERT_TRUE(demo.started());
  ASSERT_EQ(demo.readLine(deadline), "ready");

  std::string window;
  while (window.empty() && Clock::now() < deadline) {
    window = run("DISPLAY=" + display + " xdotool search --name '^Screen demo$' 2>/dev/null | head -1");
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(window.empty()) << "the window's title is the foreground window's";
  EXPECT_EQ(run("DISPLAY=" + display + " xdotool getwindowgeometry --shell " + window + " | grep -E 'WIDTH|HEIGHT'"),
            "WIDTH=480\nHEIGHT=640");

  // Device point (60, 150): on the left (red) half of the work area.
  run("DISPLAY=" + display + " xdotool mousemove --window " + window + " 120 300 click 1");
  EXPECT_EQ(demo.readLine(deadline), "tap 60 150");

  TempDir dir;
  std::string shot = (dir / "shot.png").string();
  long tapped = -1;
  // The mark is presented when the demo is next idle: look until it shows.
  while (tapped != 0x00FF00 && Clock::now() < deadline) {
    tapped = windowPixel(display, window, 120, 300, shot);
    if (tapped != 0x00FF00) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(tapped, 0x00FF00) << "the green mark under the click";
  EXPECT_EQ(windowPixel(display, window, 40, 400, shot), 0xFF0000) << "left half";
  EXPECT_EQ(windowPixel(display, window, 400, 400, shot), 0x0000FF) << "right half";
  EXPECT_EQ(windowPixel(display, window, 400, 20, shot), 0x3A6EA5) << "the task bar's place shows the desktop";

  run("DISPLAY=" + display + " xdotool windowfocus --sync " + window + " key --window " + window + " Escape");
  EXPECT_EQ(demo.readLine(deadline), "key 27");
  EXPECT_EQ(demo.waitExit(deadline), 0) << "Escape destroys the window and ends the loop";
}

}  // namespace
