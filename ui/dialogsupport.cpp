#include "ui/dialogsupport.h"

#include "platform/core/winbase.h"
#include "platform/shell/aygshell.h"

void initFullScreenDialog(HWND dialog) {
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = dialog;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
  SHInitDialog(&info);
}

HIMAGELIST loadImages(UINT bitmapId) {
  return ImageList_LoadImageW(resourceModule(nullptr), MAKEINTRESOURCEW(bitmapId), 16, 0, CLR_DEFAULT, IMAGE_BITMAP,
                              LR_DEFAULTCOLOR);
}

void fillClientArea(HWND dialog, HWND control) {
  RECT client;
  GetClientRect(dialog, &client);
  MoveWindow(control, client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
}

HINSTANCE resourceModule(HWND window) {
  return window ? reinterpret_cast<HINSTANCE>(GetWindowLongW(window, GWL_HINSTANCE)) : nullptr;
}

WideString modulePath() {
  WCHAR buffer[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return WideString(buffer, length < MAX_PATH ? length : 0);
}
