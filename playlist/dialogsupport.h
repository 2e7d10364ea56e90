#pragma once
// What the playlist dialogs share: the full-screen opening with the Done
// button, the wait cursor, and the 16-pixel image lists of their bitmaps.

#include "platform/commctrl/commctrl.h"
#include "platform/core/winuser.h"

namespace playlistui {

// Full screen, the Done button, the input panel lowered.
void initFullScreenDialog(HWND dialog);
// The images of a bitmap resource cut 16 pixels wide, the top-left pixel's
// colour transparent.
HIMAGELIST loadImages(UINT bitmapId);
// The window's client area as the control's rectangle.
void fillClientArea(HWND dialog, HWND control);
// The module whose resources the dialogs come from.
HINSTANCE resourceModule(HWND window);

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

}  // namespace playlistui
