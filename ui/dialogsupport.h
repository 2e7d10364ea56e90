#pragma once
// What the player's and the playlists' modal dialogs share: they are shown
// full screen with the shell's Done button and the input panel lowered, keep
// their object in the window's user data from WM_INITDIALOG on, show the wait
// cursor while they work through the device's files, and cut their bitmaps
// into 16-pixel image lists.

#include "base/widestring.h"
#include "platform/commctrl/commctrl.h"
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

// The procedure of a dialog shown by runFullScreenDialog: at WM_INITDIALOG
// the dialog goes full screen and `Owner::initialise(dialog)` fills it; each
// WM_COMMAND goes to `Owner::command(dialog, id)`, which answers whether it
// handled the command.
template <class Owner>
BOOL fullScreenDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = dialogObject<Owner>(dialog, message, lParam);
  if (!owner) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      initFullScreenDialog(dialog);
      owner->initialise(dialog);
      return TRUE;
    case WM_COMMAND:
      return owner->command(dialog, LOWORD(wParam)) ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

// Shows dialog template `templateId` modally, full screen, with `owner`
// answering its messages; the dialog's result.
template <class Owner>
INT_PTR runFullScreenDialog(HINSTANCE instance, UINT templateId, HWND parent, Owner& owner) {
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, fullScreenDialogProcedure<Owner>,
                         reinterpret_cast<LPARAM>(&owner));
}

// The images of a bitmap resource cut 16 pixels wide, the top-left pixel's
// colour transparent.
HIMAGELIST loadImages(UINT bitmapId);
// The window's client area as the control's rectangle.
void fillClientArea(HWND dialog, HWND control);
// The module whose resources the dialogs come from.
HINSTANCE resourceModule(HWND window);
// The running program's full file path, as the device reports it.
WideString modulePath();

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

// An image list destroyed with its owner.
class ImageList {
 public:
  ImageList() = default;
  explicit ImageList(HIMAGELIST list) : m_list(list) {}
  ~ImageList() { reset(); }
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;
  HIMAGELIST get() const { return m_list; }
  void reset(HIMAGELIST list = nullptr) {
    if (m_list) ImageList_Destroy(m_list);
    m_list = list;
  }

 private:
  HIMAGELIST m_list = nullptr;
};
