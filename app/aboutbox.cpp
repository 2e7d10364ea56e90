#include "app/aboutbox.h"

#include "ui/dialogsupport.h"
#include "resources/playerresources.h"

namespace {

BOOL aboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initFullScreenDialog(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR showAboutBox(HINSTANCE instance, HWND parent) {
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(playerres::kAboutDialog), parent, aboutProcedure, 0);
}
