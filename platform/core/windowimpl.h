#pragma once
// The window manager's own data, shared by window*.cpp, message*.cpp and
// timer.cpp of platform/core. Everything here runs on the user-interface thread.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/region.h"
#include "platform/core/windowing.h"
#include "platform/core/winuser.h"

namespace wm::detail {

struct WindowClass {
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  Window* parent = nullptr;       // non-owning; the desktop for top-level windows
  HWND owner = nullptr;           // top-level windows made with a parent
  std::vector<Window*> children;  // bottom to top: later ones lie on top
  RECT rect{};                    // in the parent's client coordinates
  std::u16string text;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  std::map<int, LONG_PTR> extra;  // cbWndExtra slots (dialog data)
  Region update;                  // client coordinates
  bool erase = false;
  unsigned paintGeneration = 0;  // bumped whenever the update region is taken
  bool destroying = false;
};

Window* find(HWND hwnd);
Window* desktop();
Window* topLevelOf(Window* w);
bool isVisible(const Window* w);  // it and every ancestor
bool isEnabled(const Window* w);  // it and every ancestor
RECT screenRectOf(const Window* w);
RECT clientRectOf(const Window* w);  // (0, 0, width, height)

void invalidate(Window* w, const Region& clientRegion, bool erase);
void invalidateTree(Window* w);
// Gives the pixels of `screenRegion` back to whatever lies there now.
void expose(const Region& screenRegion);
// The screen pixels owned by a window and its visible descendants.
Region subtreeVisible(Window* w);

// Messages
void removeMessagesFor(HWND hwnd);
void killTimersFor(HWND hwnd);
void postInput(const MSG& msg, bool coalesceMove);
void postInputFront(const MSG& msg);
void resetMessages();
void resetTimers();
void resetFocusState(Window* dying);
void activate(Window* topLevel, WORD how);
bool shellTakesKey(int vk, bool down);
// Other processes of the device (processes.cpp).
void publishProcess();
HWND findLocalWindow(LPCWSTR className, LPCWSTR windowName);
HWND findRemoteWindow(LPCWSTR className, LPCWSTR windowName);
bool isRemoteWindow(HWND hwnd);
bool remoteWindowAlive(HWND hwnd);
bool sendRemote(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
bool foregroundRemote(HWND hwnd, BOOL& result);
void titleChanged(HWND hwnd);
LRESULT send(Window* w, UINT message, WPARAM wParam, LPARAM lParam);
// Timers ready for the loop: fills msg with the earliest due WM_TIMER.
bool takeDueTimer(HWND filter, UINT min, UINT max, bool remove, MSG& msg);
bool paintGenerationChanged(HWND hwnd, unsigned before);

}  // namespace wm::detail
