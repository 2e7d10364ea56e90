#pragma once
// What the player's modal dialogs share: they are shown full screen with the
// shell's Done button and the input panel lowered, keep their object in the
// window's user data from WM_INITDIALOG on, and show the wait cursor while
// they work through the device's files.

#include "base/widestring.h"
#include "platform/core/winuser.h"

// SHInitDialog with Done, full screen and the input panel down.
void initFullScreenDialog(HWND dialog);

// The object stored at WM_INITDIALOG (the creation parameter), or null
// before it; stores it on WM_INITDIALOG.
template <class T>
T* dialogObject(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongW(dialog, GWL_USERDATA, lParam);
  return reinterpret_cast<T*>(GetWindowLongW(dialog, GWL_USERDATA));
}

// The wait cursor for as long as the guard lives.
class WaitCursor {
 public:
  WaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(m_previous); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR m_previous;
};

// The player program's full file path, as the device reports it.
WideString modulePath();
