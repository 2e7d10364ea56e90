#pragma once
// Scripted sessions on the headless screen. A script is a text file, one
// command a line ("#" starts a comment):
//
//   tap X Y              pen down and up at a screen point
//   down X Y | move X Y | up X Y
//   drag X1 Y1 X2 Y2 [STEPS]
//   rtap X Y             the host's right button (the device's tap-and-hold)
//   key NAME [down|up]   NAME: left, right, up, down, return, app1..app9,
//                        space, back, tab, escape, a letter or digit, with
//                        optional "ctrl+" / "shift+" prefixes
//   wait MS              lets MS milliseconds of the virtual clock pass;
//                        timers fire as their time comes
//   serve MS [copydata|foreground]
//                        lets up to MS milliseconds of real time pass while
//                        other processes of the device are answered (their
//                        FindWindowW, WM_COPYDATA and raising a window);
//                        ends early at the first WM_COPYDATA or raise named.
//                        The virtual clock stands still meanwhile
//   drop FILE            a host file dropped on the device's window
//   screenshot FILE      the screen as a PNG file
//   dump [FILE]          the state dump (appended to FILE, or stdout)
//   quit                 ends the session
//
// Each input or wait is one step: the program handles everything it causes
// (messages, painting, due timers) before the next step runs. Other parts of
// the device add commands and dump sections of their own.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/windowing.h"

namespace display {

class ScriptRunner;
using ScriptHandler =
    std::function<bool(ScriptRunner& runner, const std::vector<std::string>& args, std::string& error)>;
void registerScriptCommand(const std::string& name, ScriptHandler handler);

// A section of the state dump: writes "[name]" lines of its own after the header.
using DumpSection = std::function<void(std::string& out)>;
void registerDumpSection(const std::string& name, DumpSection section);
std::string stateDump();
// A dump section for long sessions, which must not pile up resources:
// "resident_kb=N descriptors=N handles=N windows=N" (the host's open file
// descriptors, the device's open handles, top-level windows).
void dumpProcessUsage(std::string& out);

// A UTF-16 text as UTF-8, for dumps and messages.
std::string narrow(const std::u16string& text);

class ScriptRunner {
 public:
  enum class Step { Yielded, Waiting, Finished };

  // Parses the whole script; an unknown command or a bad argument fails here
  // with its line number, before anything runs.
  bool load(const std::string& text, std::string& error);
  bool loadFile(const std::string& path, std::string& error);

  // Runs commands until one gives the program something to do.
  Step step();
  bool waiting() const { return m_waitUntil.has_value(); }
  // While a serve command runs: answers other processes for at most
  // `limitMs` of real time (-1: until the command ends). True once it has ended.
  bool serving() const { return m_serve.has_value(); }
  bool advanceServe(int limitMs);
  // Lets virtual time pass towards the pending wait, at most `limitMs`
  // (-1: all of it). Answers true when the wait is over.
  bool advanceWait(std::int64_t limitMs);
  bool finished() const { return m_finished; }
  const std::vector<std::string>& errors() const { return m_errors; }

  // Runs the whole script in this process, handling the program's messages
  // between steps (tests use it; the program's own loop uses step()).
  bool runAll(std::string& error);

  // For command handlers: the actions a command stands for, run in order.
  void queuePen(wm::PenAction action, POINT point, wm::PenButton button = wm::PenButton::Left);
  void queueKey(int vk, bool down);
  void queueWait(std::uint64_t ms);
  enum class ServeUntil { Time, CopyData, Foreground };
  void queueServe(std::uint64_t ms, ServeUntil until);
  void queueCall(std::function<void()> call);
  void fail(const std::string& message);

 private:
  struct Command {
    int line;
    std::string name;
    std::vector<std::string> args;
  };
  struct Action {
    enum class Kind { Pen, Key, Wait, Serve, Call } kind;
    wm::PenAction pen{};
    wm::PenButton button{};
    POINT point{};
    int vk = 0;
    bool down = false;
    std::uint64_t ms = 0;
    ServeUntil until = ServeUntil::Time;
    std::function<void()> call;
  };
  struct Serve {
    std::int64_t deadline;  // real milliseconds, steady clock
    ServeUntil until;
    wm::PeerRequests before;
  };

  bool expandNext();

  std::vector<Command> m_commands;
  size_t m_next = 0;
  std::deque<Action> m_actions;
  std::optional<std::uint64_t> m_waitUntil;
  std::optional<Serve> m_serve;
  bool m_finished = false;
  std::vector<std::string> m_errors;
};

// The virtual key for a script key name (0 when unknown).
int keyByName(const std::string& name);

}  // namespace display
