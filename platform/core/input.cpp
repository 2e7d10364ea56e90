// Pen and key input: where it goes, the key state tables and WM_CHAR.

#include <array>

#include "platform/core/windowimpl.h"

namespace wm::detail {
HWND captureWindow();
HWND focusOrActive();
void setMessagePos(POINT p);

namespace {

constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;

struct InputState {
  std::array<BYTE, 256> sync{};   // as of the last input message taken from the queue
  std::array<BYTE, 256> async{};  // as of now
  bool penDown = false;
  HWND penWindow = nullptr;  // takes every pen message while the pen is down
  PenButton penButton = PenButton::Left;
};

InputState& input() {
  static InputState s;
  return s;
}

void applyKey(std::array<BYTE, 256>& table, int vk, bool down) {
  BYTE& k = table[static_cast<BYTE>(vk)];
  if (down) {
    if (!(k & kDown)) k ^= kToggled;
    k |= kDown;
  } else {
    k &= static_cast<BYTE>(~kDown);
  }
}

WPARAM modifierFlags() {
  const auto& a = input().async;
  WPARAM flags = 0;
  if (a[VK_SHIFT] & kDown) flags |= MK_SHIFT;
  if (a[VK_CONTROL] & kDown) flags |= MK_CONTROL;
  return flags;
}

LPARAM pointParam(POINT p) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(p.x)), static_cast<WORD>(static_cast<SHORT>(p.y)));
}

// The window under a screen point that may take the pen: none when it or an
// ancestor is disabled (a modal dialog's owner, for instance).
Window* penTarget(POINT screen) {
  Window* w = find(WindowFromPoint(screen));
  if (!w || w == desktop() || !isEnabled(w)) return nullptr;
  return w;
}

// Characters for the keys of the device's soft keyboard and a host keyboard.
WCHAR charForKey(int vk, bool shift, bool caps, bool ctrl) {
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<WCHAR>(vk - 'A' + 1);
    bool upper = shift != caps;
    return static_cast<WCHAR>(upper ? vk : vk - 'A' + 'a');
  }
  if (ctrl) return 0;
  if (vk >= '0' && vk <= '9') {
    static constexpr char16_t kShifted[] = u")!@#$%^&*(";
    return shift ? kShifted[vk - '0'] : static_cast<WCHAR>(vk);
  }
  struct KeyChar {
    int vk;
    WCHAR plain;
    WCHAR shifted;
  };
  static constexpr KeyChar kKeys[] = {
      {VK_SPACE, u' ', u' '}, {VK_RETURN, u'\r', u'\r'}, {VK_BACK, 8, 8},    {VK_TAB, 9, 9},
      {VK_ESCAPE, 27, 27},    {0xBA, u';', u':'},        {0xBB, u'=', u'+'}, {0xBC, u',', u'<'},
      {0xBD, u'-', u'_'},     {0xBE, u'.', u'>'},        {0xBF, u'/', u'?'}, {0xC0, u'`', u'~'},
      {0xDB, u'[', u'{'},     {0xDC, u'\\', u'|'},       {0xDD, u']', u'}'}, {0xDE, u'\'', u'"'},
  };
  for (const auto& k : kKeys)
    if (k.vk == vk) return shift ? k.shifted : k.plain;
  return 0;
}

}  // namespace

void noteInputRetrieved(const MSG& msg) {
  auto& sync = input().sync;
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      applyKey(sync, static_cast<int>(msg.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      applyKey(sync, static_cast<int>(msg.wParam), false);
      break;
    case WM_LBUTTONDOWN:
      applyKey(sync, VK_LBUTTON, true);
      break;
    case WM_LBUTTONUP:
      applyKey(sync, VK_LBUTTON, false);
      break;
    case WM_RBUTTONDOWN:
      applyKey(sync, VK_RBUTTON, true);
      break;
    case WM_RBUTTONUP:
      applyKey(sync, VK_RBUTTON, false);
      break;
    default:
      return;
  }
  setMessagePos(POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(msg.lParam))),
                      static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(msg.lParam)))});
}

void resetInputState() { input() = InputState{}; }

}  // namespace wm::detail

using namespace wm::detail;

namespace wm {

bool penIsDown() { return input().penDown; }

void injectPen(PenAction action, POINT screen, PenButton button) {
  InputState& s = input();
  HWND explicitCapture = captureWindow();
  Window* target = nullptr;
  if (explicitCapture) {
    target = find(explicitCapture);
  } else if (action == PenAction::Down || !s.penDown) {
    target = penTarget(screen);
  } else {
    target = find(s.penWindow);
  }
  int vkButton = button == PenButton::Left ? VK_LBUTTON : VK_RBUTTON;
  UINT downMessage = button == PenButton::Left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
  UINT upMessage = button == PenButton::Left ? WM_LBUTTONUP : WM_RBUTTONUP;
  WPARAM held = button == PenButton::Left ? MK_LBUTTON : MK_RBUTTON;

  switch (action) {
    case PenAction::Down:
      if (s.penDown) return;  // one pen: a second down without an up is noise
      applyKey(s.async, vkButton, true);
      s.penDown = true;
      s.penButton = button;
      s.penWindow = target ? target->handle : nullptr;
      if (target) {
        Window* top = topLevelOf(target);
        if (top && GetActiveWindow() != top->handle && !(top->exStyle & WS_EX_NOACTIVATE))
          activate(top, WA_CLICKACTIVE);
      }
      break;
    case PenAction::Move:
      // A pen has no hover: moves mean something only while it touches.
      if (!s.penDown && !explicitCapture) return;
      if (s.penDown && s.penButton != PenButton::Left) return;
      break;
    case PenAction::Up:
      if (!s.penDown) return;
      applyKey(s.async, vkButton, false);
      s.penDown = false;
      s.penWindow = nullptr;
      break;
  }
  if (!target || !find(target->handle)) return;
  POINT client = screen;
  ScreenToClient(target->handle, &client);
  UINT message = action == PenAction::Down ? downMessage : action == PenAction::Up ? upMessage : WM_MOUSEMOVE;
  WPARAM flags = modifierFlags() | (action == PenAction::Down || (action == PenAction::Move && s.penDown) ? held : 0);
  MSG m{target->handle, message, flags, pointParam(client), static_cast<DWORD>(nowMs()), screen};
  postInput(m, message == WM_MOUSEMOVE);
}

void injectKey(int vk, bool down) {
  if (vk <= 0 || vk > 255) return;
  if (shellTakesKey(vk, down)) return;
  InputState& s = input();
  bool repeat = down && (s.async[static_cast<BYTE>(vk)] & kDown);
  applyKey(s.async, vk, down);
  HWND target = focusOrActive();
  if (!target) return;
  LPARAM lParam = 1;
  if (repeat) lParam |= 1 << 30;
  if (!down) lParam |= static_cast<LPARAM>(0xC0000000u);
  MSG m{target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk),
        lParam, static_cast<DWORD>(nowMs()),  POINT{0, 0}};
  postInput(m, false);
}

}  // namespace wm

SHORT GetKeyState(int vk) {
  BYTE k = input().sync[static_cast<BYTE>(vk)];
  return static_cast<SHORT>(((k & kDown) ? 0x8000 : 0) | (k & kToggled));
}

SHORT GetAsyncKeyState(int vk) {
  return (input().async[static_cast<BYTE>(vk)] & kDown) ? static_cast<SHORT>(0x8000) : 0;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  const auto& keys = input().sync;
  bool shift = keys[VK_SHIFT] & kDown;
  bool ctrl = keys[VK_CONTROL] & kDown;
  bool caps = keys[VK_CAPITAL] & kToggled;
  WCHAR c = charForKey(static_cast<int>(msg->wParam), shift, caps, ctrl);
  if (!c) return FALSE;
  // The character comes straight after its key-down, before anything queued later.
  MSG charMsg{msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, c, msg->lParam, msg->time, msg->pt};
  wm::detail::postInputFront(charMsg);
  return TRUE;
}
