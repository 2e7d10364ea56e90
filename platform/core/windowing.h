#pragma once
// What the window manager offers the rest of the emulated device: the drawing
// layer asks it for visible and update regions, the screen feeds it pen and key
// input and decides how the message loop waits, the scripted session reads its
// windows and drives its clock. The system's own code uses winuser.h only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/region.h"
#include "platform/core/winuser.h"

namespace wm {

// ---- The screen --------------------------------------------------------------
inline constexpr int kDefaultScreenWidth = 240;
inline constexpr int kDefaultScreenHeight = 320;
inline constexpr int kTaskBarHeight = 26;
inline constexpr int kMenuBarHeight = 26;

// Sets the screen size (before any window exists); the work area becomes the
// screen less the task bar at the top and the menu bar at the bottom.
void setScreenSize(int width, int height);
SIZE screenSize();
RECT screenRect();
RECT workArea();
void setWorkArea(const RECT& area);

// ---- Geometry for drawing ---------------------------------------------------------
// The client area's top-left corner in screen coordinates.
bool clientOrigin(HWND hwnd, POINT& origin);
// The screen pixels a window may draw on: its client area clipped by its
// ancestors, less the siblings above it (and above its ancestors) and, with
// excludeChildren, less its visible children. Empty for a hidden window.
Region visibleRegion(HWND hwnd, bool excludeChildren);
// BeginPaint's half: hands out the update region (client coordinates) and
// whether it asked for erasing, and validates the window.
Region takeUpdateRegion(HWND hwnd, bool& erase);
// The class background brush (may be a system colour index + 1).
HBRUSH classBackground(HWND hwnd);

// Installed by the drawing layer: painting a window that has no paint handler
// of its own, and erasing a background with its class brush.
struct PaintHooks {
  void (*defaultPaint)(HWND hwnd) = nullptr;
  BOOL (*eraseBackground)(HWND hwnd, HDC dc) = nullptr;
};
void setPaintHooks(const PaintHooks& hooks);

// ---- Input -----------------------------------------------------------------------
enum class PenAction { Down, Move, Up };
enum class PenButton { Left, Right };
// A pen action at a screen point; moves count only while the pen is down.
void injectPen(PenAction action, POINT screenPoint, PenButton button = PenButton::Left);
void injectKey(int vk, bool down);
bool penIsDown();

// ---- Waiting ---------------------------------------------------------------------
// How GetMessageW waits when there is nothing to do. The screen installs one;
// without it the loop waits on its own wake-up descriptor.
class HostEvents {
 public:
  virtual ~HostEvents() = default;
  // Shows what was drawn since the last call.
  virtual void present() = 0;
  // Waits until input, a posted message or the deadline; timeoutMs -1 = none.
  // Posts the input that arrived.
  virtual void wait(int timeoutMs) = 0;
};
void setHostEvents(HostEvents* events);
HostEvents* hostEvents();

// The default wait: blocks on the loop's wake-up descriptor, `extraFd` (when
// not -1) and the registered descriptors, at most timeoutMs (-1 = no limit).
// Answers true when extraFd became readable.
bool waitForActivity(int extraFd, int timeoutMs);
// Ends a wait from any thread.
void wakeMessageLoop();
// A descriptor watched by every wait; the callback runs on the loop's thread.
void addLoopDescriptor(int fd, std::function<void()> onReadable);
void removeLoopDescriptor(int fd);

// What this process has served of other processes of the device: their
// WM_COPYDATA messages and their requests to raise one of its windows.
struct PeerRequests {
  std::uint64_t copyData = 0;
  std::uint64_t foreground = 0;
};
PeerRequests peerRequestsServed();

// Handles everything that is ready (posted messages, paints, due timers)
// without blocking, dispatching each; answers how many were handled. Stops at
// WM_QUIT, leaving it in the queue. For tests and scripted sessions.
int dispatchPending();
// Milliseconds until the next timer is due (0 when one is due), or none.
std::optional<std::uint64_t> msUntilNextTimer();

// ---- Time ----------------------------------------------------------------------
std::uint64_t nowMs();
// Switches to a virtual clock that moves only by advanceClock (and Sleep).
void useVirtualClock(bool on);
bool virtualClock();
void advanceClock(std::uint64_t ms);

// ---- The shell's hooks ---------------------------------------------------------------
// Installed by the shell and the common controls; each may be null.
struct ShellHooks {
  // The foreground window changed, or its title did.
  void (*foregroundChanged)() = nullptr;
  // Answers true when the shell takes a hardware key before any window sees it.
  bool (*takesKey)(int vk, bool down) = nullptr;
};
void setShellHooks(const ShellHooks& hooks);
// Called when CreateWindowExW meets a class nobody registered: the system's
// own classes (dialogs, controls) register themselves here on demand.
void addClassProvider(void (*provide)());
// Lets a control library tell the state dump what a window holds (rows, nodes,
// check states); a describer answers false for windows that are not its own.
using WindowDescriber = bool (*)(HWND hwnd, std::string& out);
void addWindowDescriber(WindowDescriber describe);
// The lines the describers give for `hwnd`, one per line ("" when none knows it).
std::string describeWindow(HWND hwnd);

// ---- State -----------------------------------------------------------------------
struct WindowState {
  HWND hwnd;
  std::u16string className;
  std::u16string title;
  RECT rect;  // screen coordinates
  DWORD style;
  bool visible;
  bool active;
  std::vector<WindowState> children;
};
// Top-level windows from bottom to top, each with its children.
std::vector<WindowState> windowTree();
// The title of the foreground window ("" when none).
std::u16string foregroundTitle();
bool waitCursorShown();
// Destroys every window and timer and empties the queue (between tests).
void resetForTests();

}  // namespace wm
