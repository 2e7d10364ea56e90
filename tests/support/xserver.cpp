#include "tests/support/xserver.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

extern char** environ;

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int extraFd) {
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
    for (const auto& mine : env)
      overridden |= entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
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

Child::~Child() {
  if (m_pid > 0 && !m_reaped) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  if (m_out >= 0) close(m_out);
}

std::string Child::readLine(Clock::time_point deadline) {
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

int Child::waitExit(Clock::time_point deadline) {
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

std::string runCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

bool onPath(const char* tool) { return !runCommand(std::string("command -v ") + tool).empty(); }

XServer::XServer(Clock::time_point deadline) {
  int ready[2];
  if (pipe(ready) != 0) return;
  m_xvfb = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen",
                                                            "0", "800x800x24", "-nolisten", "tcp"},
                                   std::vector<std::string>{}, ready[1]);
  close(ready[1]);
  std::string number = m_xvfb->started() ? m_xvfb->readLine(deadline) : "";
  close(ready[0]);
  if (!number.empty()) m_display = ":" + number;
}

std::string XServer::xdotool(const std::string& arguments) const {
  return runCommand("DISPLAY=" + m_display + " xdotool " + arguments + " 2>/dev/null");
}

std::string XServer::findWindow(const std::string& pattern, Clock::time_point deadline) const {
  std::string window;
  while (window.empty() && Clock::now() < deadline) {
    window = xdotool("search --name '" + pattern + "' | head -1");
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return window;
}

long XServer::windowPixel(const std::string& window, int x, int y, const std::string& file) const {
  std::string grab = "DISPLAY=" + m_display + " xwd -silent -id " + window + " | convert xwd:- -strip " + file +
                     " 2>/dev/null && convert " + file + " -format '%[pixel:p{" + std::to_string(x) + "," +
                     std::to_string(y) + "}]' info:";
  std::string colour = runCommand(grab);
  unsigned r, g, b;
  if (std::sscanf(colour.c_str(), "srgb(%u,%u,%u)", &r, &g, &b) == 3) return (r << 16) | (g << 8) | b;
  if (colour == "red") return 0xFF0000;
  if (colour == "blue") return 0x0000FF;
  if (colour == "lime") return 0x00FF00;
  return -1;
}
