// The scripted session runner and the state dump.

#include "platform/display/script.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/audio/output.h"
#include "platform/core/callrecord.h"
#include "platform/core/handles.h"
#include "platform/core/utf8.h"
#include "platform/display/display.h"
#include "platform/display/displayimpl.h"
#include "platform/display/drop.h"
#include "platform/gdi/surface.h"

namespace display {
namespace {

constexpr int kDefaultDragSteps = 8;
constexpr std::uint64_t kMaxWaitMs = 24ull * 3600 * 1000;

std::map<std::string, ScriptHandler>& commands();

struct DumpEntry {
  std::string name;
  DumpSection section;
};
std::vector<DumpEntry>& dumpSections() {
  static std::vector<DumpEntry> sections;
  return sections;
}

bool parseInt(const std::string& text, long long& value) {
  if (text.empty()) return false;
  size_t used = 0;
  try {
    value = std::stoll(text, &used);
  } catch (...) {
    return false;
  }
  return used == text.size();
}

bool parsePoint(const std::vector<std::string>& args, size_t at, POINT& p, std::string& error) {
  long long x, y;
  if (args.size() < at + 2 || !parseInt(args[at], x) || !parseInt(args[at + 1], y) || x < -32768 || x > 32767 ||
      y < -32768 || y > 32767) {
    error = "expected a screen point X Y";
    return false;
  }
  p = POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
  return true;
}

bool penCommand(wm::PenAction action, ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  POINT p;
  if (!parsePoint(args, 0, p, error)) return false;
  r.queuePen(action, p);
  return true;
}

bool tapCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error, wm::PenButton button) {
  POINT p;
  if (!parsePoint(args, 0, p, error)) return false;
  r.queuePen(wm::PenAction::Down, p, button);
  r.queuePen(wm::PenAction::Up, p, button);
  return true;
}

bool dragCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  POINT a, b;
  if (!parsePoint(args, 0, a, error) || !parsePoint(args, 2, b, error)) return false;
  long long steps = kDefaultDragSteps;
  if (args.size() > 4 && (!parseInt(args[4], steps) || steps < 1 || steps > 1000)) {
    error = "drag steps must be 1 to 1000";
    return false;
  }
  r.queuePen(wm::PenAction::Down, a);
  for (long long i = 1; i <= steps; ++i)
    r.queuePen(wm::PenAction::Move, POINT{static_cast<LONG>(a.x + (b.x - a.x) * i / steps),
                                          static_cast<LONG>(a.y + (b.y - a.y) * i / steps)});
  r.queuePen(wm::PenAction::Up, b);
  return true;
}

bool keyCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || args.size() > 2) {
    error = "expected key NAME [down|up]";
    return false;
  }
  std::string name = args[0];
  std::vector<int> modifiers;
  for (;;) {
    if (name.rfind("ctrl+", 0) == 0) {
      modifiers.push_back(VK_CONTROL);
      name = name.substr(5);
    } else if (name.rfind("shift+", 0) == 0) {
      modifiers.push_back(VK_SHIFT);
      name = name.substr(6);
    } else {
      break;
    }
  }
  int vk = keyByName(name);
  if (!vk) {
    error = "unknown key \"" + args[0] + "\"";
    return false;
  }
  bool press = args.size() == 1;
  if (!press && args[1] != "down" && args[1] != "up") {
    error = "expected down or up after the key name";
    return false;
  }
  if (press || args[1] == "down") {
    for (int m : modifiers) r.queueKey(m, true);
    r.queueKey(vk, true);
  }
  if (press || args[1] == "up") {
    r.queueKey(vk, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) r.queueKey(*it, false);
  }
  return true;
}

bool waitCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  long long ms;
  if (args.size() != 1 || !parseInt(args[0], ms) || ms < 0 || static_cast<std::uint64_t>(ms) > kMaxWaitMs) {
    error = "expected wait MS (0 to 86400000)";
    return false;
  }
  r.queueWait(static_cast<std::uint64_t>(ms));
  return true;
}

bool serveCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  long long ms;
  if (args.empty() || args.size() > 2 || !parseInt(args[0], ms) || ms < 0 ||
      static_cast<std::uint64_t>(ms) > kMaxWaitMs) {
    error = "expected serve MS [copydata|foreground]";
    return false;
  }
  auto until = ScriptRunner::ServeUntil::Time;
  if (args.size() == 2) {
    if (args[1] == "copydata") {
      until = ScriptRunner::ServeUntil::CopyData;
    } else if (args[1] == "foreground") {
      until = ScriptRunner::ServeUntil::Foreground;
    } else {
      error = "serve ends at copydata or foreground";
      return false;
    }
  }
  r.queueServe(static_cast<std::uint64_t>(ms), until);
  return true;
}

std::int64_t realMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool dropCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  if (args.size() != 1) {
    error = "expected drop FILE";
    return false;
  }
  std::string path = args[0];
  r.queueCall([path] {
    std::string said;
    dropHostFile(path, said);
  });
  return true;
}

bool screenshotCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  if (args.size() != 1) {
    error = "expected screenshot FILE";
    return false;
  }
  std::string path = args[0];
  r.queueCall([&r, path] {
    Display* d = currentDisplay();
    if (!writePng(d ? d->frame() : gdi::screenSurface(), path)) r.fail("cannot write the screenshot " + path);
  });
  return true;
}

bool dumpCommand(ScriptRunner& r, const std::vector<std::string>& args, std::string& error) {
  if (args.size() > 1) {
    error = "expected dump [FILE]";
    return false;
  }
  std::string path = args.empty() ? std::string() : args[0];
  r.queueCall([&r, path] {
    std::string text = stateDump();
    if (path.empty()) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
      return;
    }
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << text;
    if (!out) r.fail("cannot write the dump " + path);
  });
  return true;
}

std::map<std::string, ScriptHandler>& commands() {
  static std::map<std::string, ScriptHandler> table = {
      {"tap", [](ScriptRunner& r, const auto& a, std::string& e) { return tapCommand(r, a, e, wm::PenButton::Left); }},
      {"rtap",
       [](ScriptRunner& r, const auto& a, std::string& e) { return tapCommand(r, a, e, wm::PenButton::Right); }},
      {"down", [](ScriptRunner& r, const auto& a, std::string& e) { return penCommand(wm::PenAction::Down, r, a, e); }},
      {"move", [](ScriptRunner& r, const auto& a, std::string& e) { return penCommand(wm::PenAction::Move, r, a, e); }},
      {"up", [](ScriptRunner& r, const auto& a, std::string& e) { return penCommand(wm::PenAction::Up, r, a, e); }},
      {"drag", dragCommand},
      {"key", keyCommand},
      {"wait", waitCommand},
      {"serve", serveCommand},
      {"drop", dropCommand},
      {"screenshot", screenshotCommand},
      {"dump", dumpCommand},
      {"quit",
       [](ScriptRunner& r, const auto& a, std::string& e) {
         if (!a.empty()) {
           e = "quit takes no arguments";
           return false;
         }
         r.queueCall([] { PostQuitMessage(0); });
         return true;
       }},
  };
  return table;
}

std::string quoted(const std::u16string& text) {
  std::string out = "\"";
  for (char c : narrow(text)) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

void dumpWindow(const wm::WindowState& w, int depth, std::string& out) {
  std::ostringstream line;
  line << std::string(static_cast<size_t>(depth) * 2, ' ') << "window class=" << quoted(w.className)
       << " title=" << quoted(w.title) << " rect=" << w.rect.left << ',' << w.rect.top << ',' << w.rect.right << ','
       << w.rect.bottom << (w.visible ? " visible" : " hidden") << (w.active ? " active" : "") << '\n';
  out += line.str();
  if (w.visible) {
    // What the window holds (rows, nodes, check states), indented under it.
    std::string held = wm::describeWindow(w.hwnd);
    std::string indent(static_cast<size_t>(depth + 1) * 2, ' ');
    for (size_t start = 0; start < held.size();) {
      size_t end = held.find('\n', start);
      if (end == std::string::npos) end = held.size();
      out += indent + held.substr(start, end - start) + "\n";
      start = end + 1;
    }
  }
  for (const auto& c : w.children) dumpWindow(c, depth + 1, out);
}

void dumpWindows(std::string& out) {
  for (const auto& w : wm::windowTree()) dumpWindow(w, 0, out);
}

}  // namespace

std::string narrow(const std::u16string& text) { return toUtf8(text); }

void registerScriptCommand(const std::string& name, ScriptHandler handler) { commands()[name] = std::move(handler); }

void registerDumpSection(const std::string& name, DumpSection section) {
  auto& sections = dumpSections();
  auto it = std::find_if(sections.begin(), sections.end(), [&](const DumpEntry& e) { return e.name == name; });
  if (it != sections.end())
    it->section = std::move(section);
  else
    sections.push_back(DumpEntry{name, std::move(section)});
}

std::string stateDump() {
  std::string out = "[screen]\n";
  SIZE s = wm::screenSize();
  RECT work = wm::workArea();
  out += "size=" + std::to_string(s.cx) + "x" + std::to_string(s.cy) + " work=" + std::to_string(work.left) + "," +
         std::to_string(work.top) + "," + std::to_string(work.right) + "," + std::to_string(work.bottom) +
         " clock=" + std::to_string(GetTickCount()) + (wm::waitCursorShown() ? " cursor=wait" : "") + "\n";
  out += "[windows]\n";
  dumpWindows(out);
  out += "[audio]\n" + audio::describe();
  for (const auto& e : dumpSections()) {
    out += "[" + e.name + "]\n";
    e.section(out);
  }
  for (const auto& recorded : wm::recordedCalls()) {
    out += "[" + recorded.name + "]\n";
    for (const std::string& line : recorded.lines) out += line + "\n";
  }
  return out;
}

void dumpProcessUsage(std::string& out) {
  std::ifstream status("/proc/self/status");
  std::string line, resident = "?", peak = "?";
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) resident = std::to_string(std::atol(line.c_str() + 6));
    if (line.rfind("VmHWM:", 0) == 0) peak = std::to_string(std::atol(line.c_str() + 6));
  }
  std::error_code ec;
  size_t descriptors = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++descriptors;
  out += "resident_kb=" + resident + " descriptors=" + std::to_string(descriptors) +
         " handles=" + std::to_string(kernelObjectCount()) + " windows=" + std::to_string(wm::windowTree().size()) +
         " peak_kb=" + peak + "\n";
}

int keyByName(const std::string& name) {
  struct Named {
    const char* name;
    int vk;
  };
  static constexpr Named kNames[] = {
      {"left", VK_LEFT},    {"right", VK_RIGHT},  {"up", VK_UP},     {"down", VK_DOWN},     {"return", VK_RETURN},
      {"enter", VK_RETURN}, {"space", VK_SPACE},  {"back", VK_BACK}, {"tab", VK_TAB},       {"escape", VK_ESCAPE},
      {"shift", VK_SHIFT},  {"ctrl", VK_CONTROL}, {"alt", VK_MENU},  {"delete", VK_DELETE},
  };
  for (const auto& n : kNames)
    if (name == n.name) return n.vk;
  if (name.size() == 4 && name.rfind("app", 0) == 0 && name[3] >= '1' && name[3] <= '9')
    return VK_APP1 + (name[3] - '1');
  if (name.size() == 1) {
    char c = name[0];
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 'A' && c <= 'Z') return c;
    if (c >= '0' && c <= '9') return c;
  }
  return 0;
}

bool ScriptRunner::load(const std::string& text, std::string& error) {
  m_commands.clear();
  m_next = 0;
  m_actions.clear();
  m_finished = false;
  std::istringstream in(text);
  std::string lineText;
  int lineNumber = 0;
  while (std::getline(in, lineText)) {
    ++lineNumber;
    if (auto hash = lineText.find('#'); hash != std::string::npos) lineText.erase(hash);
    std::istringstream words(lineText);
    Command c{lineNumber, {}, {}};
    if (!(words >> c.name)) continue;
    for (std::string w; words >> w;) c.args.push_back(w);
    auto it = commands().find(c.name);
    if (it == commands().end()) {
      error = "line " + std::to_string(lineNumber) + ": unknown command \"" + c.name + "\"";
      return false;
    }
    // Checking the arguments now: a fault on line 40 is found before line 1 runs.
    ScriptRunner probe;
    std::string why;
    if (!it->second(probe, c.args, why)) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    m_commands.push_back(std::move(c));
  }
  return true;
}

bool ScriptRunner::loadFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the script " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return load(text.str(), error);
}

bool ScriptRunner::expandNext() {
  if (m_next >= m_commands.size()) return false;
  const Command& c = m_commands[m_next++];
  std::string error;
  if (!commands().at(c.name)(*this, c.args, error)) fail("line " + std::to_string(c.line) + ": " + error);
  return true;
}

ScriptRunner::Step ScriptRunner::step() {
  if (m_finished) return Step::Finished;
  if (m_waitUntil || m_serve) return Step::Waiting;
  for (;;) {
    if (m_actions.empty() && !expandNext()) {
      m_finished = true;
      return Step::Finished;
    }
    if (m_actions.empty()) continue;
    Action a = std::move(m_actions.front());
    m_actions.pop_front();
    switch (a.kind) {
      case Action::Kind::Pen:
        wm::injectPen(a.pen, a.point, a.button);
        return Step::Yielded;
      case Action::Kind::Key:
        wm::injectKey(a.vk, a.down);
        return Step::Yielded;
      case Action::Kind::Wait:
        m_waitUntil = wm::nowMs() + a.ms;
        return Step::Waiting;
      case Action::Kind::Serve:
        m_serve = Serve{realMs() + static_cast<std::int64_t>(a.ms), a.until, wm::peerRequestsServed()};
        return Step::Waiting;
      case Action::Kind::Call:
        a.call();
        break;
    }
  }
}

bool ScriptRunner::advanceWait(std::int64_t limitMs) {
  if (!m_waitUntil) return true;
  std::uint64_t now = wm::nowMs();
  std::uint64_t remaining = *m_waitUntil > now ? *m_waitUntil - now : 0;
  if (limitMs >= 0 && static_cast<std::uint64_t>(limitMs) < remaining) {
    wm::advanceClock(static_cast<std::uint64_t>(limitMs));
    return false;
  }
  wm::advanceClock(remaining);
  m_waitUntil.reset();
  return true;
}

bool ScriptRunner::advanceServe(int limitMs) {
  if (!m_serve) return true;
  std::int64_t left = std::max<std::int64_t>(0, m_serve->deadline - realMs());
  if (limitMs >= 0) left = std::min<std::int64_t>(left, limitMs);
  wm::waitForActivity(-1, static_cast<int>(left));
  wm::PeerRequests now = wm::peerRequestsServed();
  bool met = (m_serve->until == ServeUntil::CopyData && now.copyData != m_serve->before.copyData) ||
             (m_serve->until == ServeUntil::Foreground && now.foreground != m_serve->before.foreground);
  if (met || realMs() >= m_serve->deadline) m_serve.reset();
  return !m_serve;
}

bool ScriptRunner::runAll(std::string& error) {
  wm::dispatchPending();
  for (;;) {
    Step s = step();
    if (s == Step::Finished) break;
    if (s == Step::Waiting && m_serve) {
      while (!advanceServe(-1)) wm::dispatchPending();
    } else if (s == Step::Waiting) {
      // Time passes timer by timer, each tick handled before the next.
      while (!advanceWait(wm::msUntilNextTimer() ? static_cast<std::int64_t>(*wm::msUntilNextTimer()) : -1))
        wm::dispatchPending();
    }
    wm::dispatchPending();
  }
  if (!m_errors.empty()) {
    error = m_errors.front();
    return false;
  }
  return true;
}

void ScriptRunner::queuePen(wm::PenAction action, POINT point, wm::PenButton button) {
  Action a{Action::Kind::Pen};
  a.pen = action;
  a.point = point;
  a.button = button;
  m_actions.push_back(std::move(a));
}

void ScriptRunner::queueKey(int vk, bool down) {
  Action a{Action::Kind::Key};
  a.vk = vk;
  a.down = down;
  m_actions.push_back(std::move(a));
}

void ScriptRunner::queueWait(std::uint64_t ms) {
  Action a{Action::Kind::Wait};
  a.ms = ms;
  m_actions.push_back(std::move(a));
}

void ScriptRunner::queueServe(std::uint64_t ms, ServeUntil until) {
  Action a{Action::Kind::Serve};
  a.ms = ms;
  a.until = until;
  m_actions.push_back(std::move(a));
}

void ScriptRunner::queueCall(std::function<void()> call) {
  Action a{Action::Kind::Call};
  a.call = std::move(call);
  m_actions.push_back(std::move(a));
}

void ScriptRunner::fail(const std::string& message) { m_errors.push_back(message); }

}  // namespace display
