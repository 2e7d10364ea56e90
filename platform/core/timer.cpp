// Window timers and the device's clock: the host's steady clock, or a virtual
// clock that moves only when a scripted session lets time pass.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/core/windowimpl.h"

namespace wm::detail {
namespace {

// The device never fires timers faster than this.
constexpr UINT kMinimumPeriodMs = 10;

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
  std::uint64_t due;
};

struct Timers {
  std::vector<Timer> list;
  UINT_PTR nextThreadTimerId = 0x7FFF0000;
};

Timers& timers() {
  static Timers t;
  return t;
}

std::atomic<bool> g_virtual{false};
std::atomic<std::uint64_t> g_virtualNow{0};

std::uint64_t realNowMs() {
  static const auto start = std::chrono::steady_clock::now();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

bool timerMatches(const Timer& t, HWND filter, UINT min, UINT max) {
  if (filter && t.hwnd != filter && !IsChild(filter, t.hwnd)) return false;
  if (min == 0 && max == 0) return true;
  return WM_TIMER >= min && WM_TIMER <= max;
}

}  // namespace

void killTimersFor(HWND hwnd) {
  auto& list = timers().list;
  list.erase(std::remove_if(list.begin(), list.end(), [&](const Timer& t) { return t.hwnd == hwnd; }), list.end());
}

void resetTimers() { timers() = Timers{}; }

bool takeDueTimer(HWND filter, UINT min, UINT max, bool remove, MSG& msg) {
  std::uint64_t now = nowMs();
  Timer* best = nullptr;
  for (Timer& t : timers().list)
    if (t.due <= now && timerMatches(t, filter, min, max) && (!best || t.due < best->due)) best = &t;
  if (!best) return false;
  msg = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now), POINT{0, 0}};
  if (remove) {
    // One WM_TIMER however late the loop is; the next tick keeps the rhythm.
    best->due += best->period;
    if (best->due <= now) best->due = now + best->period;
  }
  return true;
}

}  // namespace wm::detail

using namespace wm::detail;

namespace wm {

std::uint64_t nowMs() { return g_virtual ? g_virtualNow.load() : realNowMs(); }

void useVirtualClock(bool on) {
  if (on && !g_virtual) g_virtualNow = realNowMs();
  g_virtual = on;
}

bool virtualClock() { return g_virtual; }

void advanceClock(std::uint64_t ms) {
  if (g_virtual) g_virtualNow += ms;
}

std::optional<std::uint64_t> msUntilNextTimer() {
  const auto& list = timers().list;
  if (list.empty()) return std::nullopt;
  std::uint64_t now = nowMs();
  std::uint64_t due =
      std::min_element(list.begin(), list.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; })->due;
  return due <= now ? 0 : due - now;
}

}  // namespace wm

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (hwnd && !find(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  UINT period = std::max(elapseMs, kMinimumPeriodMs);
  auto& t = timers();
  if (!hwnd) id = ++t.nextThreadTimerId;
  std::uint64_t due = wm::nowMs() + period;
  for (Timer& existing : t.list)
    if (existing.hwnd == hwnd && existing.id == id) {
      existing = Timer{hwnd, id, period, proc, due};
      return id ? id : 1;
    }
  t.list.push_back(Timer{hwnd, id, period, proc, due});
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto& list = timers().list;
  auto it = std::find_if(list.begin(), list.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == list.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  list.erase(it);
  return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(wm::nowMs()); }

void Sleep(DWORD ms) {
  if (wm::virtualClock()) {
    wm::advanceClock(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
