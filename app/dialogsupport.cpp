#include "app/dialogsupport.h"

#include "platform/core/winbase.h"
#include "platform/shell/aygshell.h"

void initFullScreenDialog(HWND dialog) {
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = dialog;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
  SHInitDialog(&info);
}

WideString modulePath() {
  WCHAR buffer[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return WideString(buffer, length < MAX_PATH ? length : 0);
}
