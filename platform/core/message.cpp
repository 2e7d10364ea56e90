// The message queue, sending and dispatching, focus, activation and capture.

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <deque>
#include <mutex>
#include <unordered_set>

#include "platform/core/windowimpl.h"

namespace wm::detail {
void resetWindows();
const PaintHooks& paintHooks();
std::vector<Window*> allTopLevel();
void resetInputState();
void noteInputRetrieved(const MSG& msg);

namespace {

struct Queue {
  std::mutex lock;
  std::deque<MSG> posted;
  bool quit = false;
  int quitCode = 0;
  int wakeFd = -1;
};

Queue& queue() {
  static Queue q;
  return q;
}

struct LoopDescriptor {
  int fd;
  std::function<void()> onReadable;
};
std::vector<LoopDescriptor>& loopDescriptors() {
  static std::vector<LoopDescriptor> d;
  return d;
}

struct FocusState {
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  DWORD lastMessageTime = 0;
  POINT lastMessagePos{0, 0};
};
FocusState& state() {
  static FocusState s;
  return s;
}

HostEvents* g_hostEvents = nullptr;
ShellHooks g_shellHooks;

void notifyForeground() {
  if (g_shellHooks.foregroundChanged) g_shellHooks.foregroundChanged();
}

int wakeDescriptor() {
  Queue& q = queue();
  if (q.wakeFd < 0) q.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return q.wakeFd;
}

bool matches(const MSG& m, HWND filter, UINT min, UINT max) {
  if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) return false;
  if (min == 0 && max == 0) return true;
  return m.message >= min && m.message <= max;
}

bool takePosted(HWND filter, UINT min, UINT max, bool remove, MSG& out) {
  Queue& q = queue();
  std::lock_guard guard(q.lock);
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!matches(*it, filter, min, max)) continue;
    out = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  return false;
}

bool takeQuit(HWND filter, bool remove, MSG& out) {
  Queue& q = queue();
  std::lock_guard guard(q.lock);
  if (!q.quit || filter) return false;
  out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, static_cast<DWORD>(nowMs()), state().lastMessagePos};
  if (remove) q.quit = false;
  return true;
}

bool findPaint(Window* w, HWND filter, UINT min, UINT max, MSG& out) {
  if (!(w->style & WS_VISIBLE)) return false;
  if (!w->update.empty()) {
    MSG m{w->handle, WM_PAINT, 0, 0, static_cast<DWORD>(nowMs()), state().lastMessagePos};
    if (matches(m, filter, min, max)) {
      out = m;
      return true;
    }
  }
  for (Window* c : w->children)
    if (findPaint(c, filter, min, max, out)) return true;
  return false;
}

// The device's order: posted messages and input, then quit, then painting,
// then timers.
bool peekInternal(MSG& msg, HWND filter, UINT min, UINT max, bool remove) {
  if (takePosted(filter, min, max, remove, msg)) {
    if (remove) noteInputRetrieved(msg);
    return true;
  }
  if (takeQuit(filter, remove, msg)) return true;
  if (findPaint(desktop(), filter, min, max, msg)) return true;
  return takeDueTimer(filter, min, max, remove, msg);
}

void waitForMessages() {
  std::optional<std::uint64_t> untilTimer = msUntilNextTimer();
  int timeout = untilTimer ? static_cast<int>(std::min<std::uint64_t>(*untilTimer, 1u << 30)) : -1;
  if (g_hostEvents) {
    g_hostEvents->present();
    g_hostEvents->wait(timeout);
    return;
  }
  if (virtualClock()) {
    // Nothing drives this session but its timers: let the time pass at once.
    if (untilTimer)
      advanceClock(*untilTimer);
    else
      waitForActivity(-1, -1);
    return;
  }
  waitForActivity(-1, timeout);
}

void deliverFocusChange(HWND oldFocus, HWND newFocus) {
  if (Window* o = find(oldFocus)) send(o, WM_KILLFOCUS, reinterpret_cast<WPARAM>(newFocus), 0);
  if (Window* n = find(newFocus); n && state().focus == newFocus)
    send(n, WM_SETFOCUS, reinterpret_cast<WPARAM>(oldFocus), 0);
}

}  // namespace

LRESULT send(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = w->proc;
  return proc ? proc(w->handle, message, wParam, lParam) : 0;
}

void postInput(const MSG& msg, bool coalesceMove) {
  Queue& q = queue();
  {
    std::lock_guard guard(q.lock);
    if (coalesceMove && !q.posted.empty() && q.posted.back().message == WM_MOUSEMOVE &&
        q.posted.back().hwnd == msg.hwnd) {
      q.posted.back() = msg;
    } else {
      q.posted.push_back(msg);
    }
  }
  wakeMessageLoop();
}

void postInputFront(const MSG& msg) {
  Queue& q = queue();
  std::lock_guard guard(q.lock);
  q.posted.push_front(msg);
}

void removeMessagesFor(HWND hwnd) {
  Queue& q = queue();
  std::lock_guard guard(q.lock);
  q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                 q.posted.end());
}

void resetMessages() {
  Queue& q = queue();
  std::lock_guard guard(q.lock);
  q.posted.clear();
  q.quit = false;
  q.quitCode = 0;
}

void activate(Window* topLevel, WORD how) {
  HWND next = topLevel ? topLevel->handle : nullptr;
  HWND old = state().active;
  if (topLevel) {
    // The active window comes to the front of its level.
    auto& kids = topLevel->parent->children;
    auto it = std::find(kids.begin(), kids.end(), topLevel);
    if (it != kids.end() && it + 1 != kids.end())
      SetWindowPos(next, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (old == next) return;
  state().active = next;
  if (Window* o = find(old)) send(o, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(next));
  if (Window* n = find(next); n && state().active == next)
    send(n, WM_ACTIVATE, MAKELONG(how, 0), reinterpret_cast<LPARAM>(old));
  notifyForeground();
}

bool shellTakesKey(int vk, bool down) { return g_shellHooks.takesKey && g_shellHooks.takesKey(vk, down); }

void titleChanged(HWND hwnd) {
  if (hwnd == state().active) notifyForeground();
}

// A window that goes away (or is hidden) gives up focus, capture and activation.
void resetFocusState(Window* dying) {
  FocusState& s = state();
  HWND h = dying->handle;
  auto within = [&](HWND x) { return x && (x == h || IsChild(h, x)); };
  if (within(s.capture)) s.capture = nullptr;
  if (within(s.focus)) {
    HWND old = s.focus;
    s.focus = nullptr;
    if (Window* o = find(old)) send(o, WM_KILLFOCUS, 0, 0);
  }
  if (s.active == h) {
    s.active = nullptr;
    send(dying, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), 0);
    notifyForeground();
    // The next visible top-level window from the top takes over.
    auto tops = allTopLevel();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
      Window* t = *it;
      if (t != dying && !t->destroying && (t->style & WS_VISIBLE) && !(t->exStyle & WS_EX_NOACTIVATE)) {
        activate(t, WA_ACTIVE);
        break;
      }
    }
  }
}

}  // namespace wm::detail

using namespace wm::detail;

namespace wm {

void setHostEvents(HostEvents* events) { g_hostEvents = events; }
void setShellHooks(const ShellHooks& hooks) { g_shellHooks = hooks; }
HostEvents* hostEvents() { return g_hostEvents; }

void wakeMessageLoop() {
  std::uint64_t one = 1;
  ssize_t ignored = write(wakeDescriptor(), &one, sizeof one);
  (void)ignored;
}

bool waitForActivity(int extraFd, int timeoutMs) {
  std::vector<pollfd> fds;
  fds.push_back(pollfd{wakeDescriptor(), POLLIN, 0});
  if (extraFd >= 0) fds.push_back(pollfd{extraFd, POLLIN, 0});
  size_t firstRegistered = fds.size();
  auto registered = loopDescriptors();
  for (const auto& d : registered) fds.push_back(pollfd{d.fd, POLLIN, 0});
  {
    // A message posted before we got here must not be slept through.
    Queue& q = queue();
    std::lock_guard guard(q.lock);
    if (!q.posted.empty() || q.quit) timeoutMs = 0;
  }
  int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready <= 0) return false;
  if (fds[0].revents & POLLIN) {
    std::uint64_t value;
    ssize_t ignored = read(fds[0].fd, &value, sizeof value);
    (void)ignored;
  }
  for (size_t i = firstRegistered; i < fds.size(); ++i)
    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) registered[i - firstRegistered].onReadable();
  return extraFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR));
}

void addLoopDescriptor(int fd, std::function<void()> onReadable) {
  removeLoopDescriptor(fd);
  loopDescriptors().push_back(LoopDescriptor{fd, std::move(onReadable)});
}

void removeLoopDescriptor(int fd) {
  auto& d = loopDescriptors();
  d.erase(std::remove_if(d.begin(), d.end(), [&](const LoopDescriptor& x) { return x.fd == fd; }), d.end());
}

int dispatchPending() {
  int handled = 0;
  MSG msg;
  while (peekInternal(msg, nullptr, 0, 0, false)) {
    if (msg.message == WM_QUIT) break;
    peekInternal(msg, nullptr, 0, 0, true);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++handled;
  }
  return handled;
}

std::u16string foregroundTitle() {
  Window* w = find(state().active);
  return w ? w->text : std::u16string();
}

void resetForTests() {
  resetWindows();
  resetMessages();
  resetTimers();
  resetInputState();
  state() = FocusState{};
  useVirtualClock(false);
}

}  // namespace wm

namespace {

wm::WindowState stateOf(Window* w) {
  wm::WindowState s{
      w->handle, w->cls->name, w->text, screenRectOf(w), w->style, isVisible(w), w->handle == state().active, {}};
  for (Window* c : w->children) s.children.push_back(stateOf(c));
  return s;
}

}  // namespace

std::vector<wm::WindowState> wm::windowTree() {
  std::vector<WindowState> out;
  for (Window* w : allTopLevel()) out.push_back(stateOf(w));
  return out;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = find(hwnd);
  if (!w) {
    if (LRESULT remote = 0; sendRemote(hwnd, message, wParam, lParam, remote)) return remote;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return send(w, message, wParam, lParam);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !find(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MSG m{hwnd, message, wParam, lParam, static_cast<DWORD>(wm::nowMs()), state().lastMessagePos};
  Queue& q = queue();
  {
    std::lock_guard guard(q.lock);
    q.posted.push_back(m);
  }
  wm::wakeMessageLoop();
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Queue& q = queue();
  {
    std::lock_guard guard(q.lock);
    q.quit = true;
    q.quitCode = exitCode;
  }
  wm::wakeMessageLoop();
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (hwnd && !find(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  while (!peekInternal(*msg, hwnd, filterMin, filterMax, true)) waitForMessages();
  state().lastMessageTime = msg->time;
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg) return FALSE;
  if (!peekInternal(*msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0)) {
    // Let the screen deliver what has arrived, without blocking.
    if (wm::hostEvents()) wm::hostEvents()->wait(0);
    if (!peekInternal(*msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0)) return FALSE;
  }
  state().lastMessageTime = msg->time;
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(wm::nowMs()));
    return 0;
  }
  Window* w = find(msg->hwnd);
  if (!w) return 0;
  if (msg->message != WM_PAINT) return send(w, msg->message, msg->wParam, msg->lParam);
  unsigned before = w->paintGeneration;
  LRESULT result = send(w, WM_PAINT, msg->wParam, msg->lParam);
  if (!paintGenerationChanged(msg->hwnd, before)) ValidateRect(msg->hwnd, nullptr);
  return result;
}

DWORD GetMessagePos() {
  POINT p = state().lastMessagePos;
  return MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

LONG GetMessageTime() { return static_cast<LONG>(state().lastMessageTime); }

HWND SetFocus(HWND hwnd) {
  FocusState& s = state();
  HWND old = s.focus;
  if (hwnd) {
    Window* w = find(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (!isEnabled(w)) return nullptr;
    Window* top = topLevelOf(w);
    if (top && s.active != top->handle) activate(top, WA_ACTIVE);
  }
  if (old == hwnd) return old;
  s.focus = hwnd;
  deliverFocusChange(old, hwnd);
  return old;
}

HWND GetFocus() { return find(state().focus) ? state().focus : nullptr; }

HWND SetActiveWindow(HWND hwnd) {
  HWND old = state().active;
  Window* w = find(hwnd);
  if (!w) return nullptr;
  Window* top = topLevelOf(w);
  activate(top, WA_ACTIVE);
  return old;
}

HWND GetActiveWindow() { return find(state().active) ? state().active : nullptr; }

BOOL SetForegroundWindow(HWND hwnd) {
  if (BOOL remote = FALSE; foregroundRemote(hwnd, remote)) return remote;
  // The lowest bit asks for the window's owned windows to come along.
  auto value = reinterpret_cast<ULONG_PTR>(hwnd);
  bool withOwned = value & 1;
  hwnd = reinterpret_cast<HWND>(value & ~static_cast<ULONG_PTR>(1));
  Window* w = find(hwnd);
  if (!w) return FALSE;
  Window* top = topLevelOf(w);
  if (!top) return FALSE;
  activate(top, WA_ACTIVE);
  if (withOwned) {
    // The owned windows come forward; the last one that takes activation (a
    // dialog, not a menu bar or a tooltip) becomes active in the owner's place.
    std::vector<HWND> owned;
    HWND takesActivation = nullptr;
    for (Window* t : allTopLevel()) {
      if (t->owner != top->handle || !(t->style & WS_VISIBLE)) continue;
      owned.push_back(t->handle);
      if (!(t->exStyle & WS_EX_NOACTIVATE) && !(t->style & WS_DISABLED)) takesActivation = t->handle;
    }
    for (HWND o : owned) SetWindowPos(o, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (Window* last = find(takesActivation)) activate(last, WA_ACTIVE);
  }
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  HWND old = state().capture;
  if (hwnd && !find(hwnd)) return old;
  state().capture = hwnd;
  if (old && old != hwnd)
    if (Window* o = find(old)) send(o, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  SetCapture(nullptr);
  return TRUE;
}

HWND GetCapture() { return find(state().capture) ? state().capture : nullptr; }

namespace wm::detail {

HWND captureWindow() { return GetCapture(); }
HWND focusOrActive() {
  if (HWND f = GetFocus()) return f;
  return GetActiveWindow();
}
void setMessagePos(POINT p) { state().lastMessagePos = p; }

}  // namespace wm::detail
