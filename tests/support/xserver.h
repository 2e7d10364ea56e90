#pragma once
// End-to-end tests on a real X server: child processes with their output in
// a pipe, an Xvfb of the test's own, and the host tools that drive it.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

// A child process with its stdout (or `extraFd`) in a pipe; killed when it goes
// out of scope. `env` entries replace the inherited ones of the same name.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int extraFd = -1);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return m_pid > 0; }
  // The next line of output, or "" when none came in time.
  std::string readLine(Clock::time_point deadline);
  // The exit code, or -1 when it did not end in time.
  int waitExit(Clock::time_point deadline);

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  bool m_reaped = false;
  std::string m_buffer;
};

// A shell command's output, trailing line breaks and blanks removed.
std::string runCommand(const std::string& command);
bool onPath(const char* tool);

// An X server on whatever display number is free, for the life of the object.
class XServer {
 public:
  explicit XServer(Clock::time_point deadline);
  bool started() const { return !m_display.empty(); }
  const std::string& display() const { return m_display; }  // ":N"
  // xdotool with `arguments` on this display; its output.
  std::string xdotool(const std::string& arguments) const;
  // The first window whose title matches `pattern` (a regular expression), or "".
  std::string findWindow(const std::string& pattern, Clock::time_point deadline) const;
  // The window's pixel at (x, y) as 0xRRGGBB, photographed into `file`; -1 on failure.
  long windowPixel(const std::string& window, int x, int y, const std::string& file) const;

 private:
  std::unique_ptr<Child> m_xvfb;
  std::string m_display;
};
