#include "app/htmlpagedialog.h"

#include "ui/dialogsupport.h"
#include "platform/htmlview/htmlctrl.h"
#include "resources/playerresources.h"

INT_PTR HtmlPageDialog::run() {
  return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(playerres::kHtmlPageDialog), m_parent, procedure,
                         reinterpret_cast<LPARAM>(this));
}

BOOL HtmlPageDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = dialogObject<HtmlPageDialog>(dialog, message, lParam);
  if (!self) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      self->initialise(dialog);
      return TRUE;
    case kShowPageMessage:
      self->showPage();
      return TRUE;
    case WM_NOTIFY:
      if (auto* note = reinterpret_cast<const NM_HTMLVIEW*>(lParam); note && note->hdr.hwndFrom == self->m_viewer)
        self->notified(*note);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void HtmlPageDialog::initialise(HWND dialog) {
  m_dialog = dialog;
  initFullScreenDialog(dialog);
  SetWindowTextW(dialog, m_title.c_str());
  PostMessageW(dialog, kShowPageMessage, 0, 0);
}

// The viewer fills the dialog's client area; without it the dialog stays
// open and empty, and Done still closes it.
void HtmlPageDialog::showPage() {
  if (!InitHTMLControl(m_instance)) {
    MessageBoxW(m_dialog, kBrowserFailedText, kBrowserFailedCaption, MB_OK);
    return;
  }
  RECT client;
  GetClientRect(m_dialog, &client);
  m_viewer =
      CreateWindowExW(0, WC_HTML, u"", WS_CHILD | WS_VISIBLE, client.left, client.top, client.right - client.left,
                      client.bottom - client.top, m_dialog, nullptr, m_instance, nullptr);
  if (!m_viewer) {
    MessageBoxW(m_dialog, kBrowserFailedText, kBrowserFailedCaption, MB_OK);
    return;
  }
  ShowWindow(m_viewer, SW_SHOW);
  UpdateWindow(m_viewer);
  SendMessageW(m_viewer, DTM_CLEAR, 0, 0);
  SendMessageW(m_viewer, DTM_ADDTEXTW, FALSE, reinterpret_cast<LPARAM>(m_page.c_str()));
  SendMessageW(m_viewer, DTM_ENDOFSOURCE, 0, 0);
}

void HtmlPageDialog::notified(const NM_HTMLVIEW& note) {
  switch (note.hdr.code) {
    case NM_HOTSPOT:
      m_linkTarget = note.szTarget ? WideString(note.szTarget) : WideString();
      m_linkData = note.szData ? WideString(note.szData) : WideString();
      EndDialog(m_dialog, IDOK);
      break;
    case NM_INLINE_IMAGE:
      answerImage(note);
      break;
    default:
      break;
  }
}

// Pictures the player does not have get no answer; the viewer leaves their
// frames empty.
void HtmlPageDialog::answerImage(const NM_HTMLVIEW& note) {
  if (!note.szTarget) return;
  for (const auto& [name, bitmap] : m_images) {
    if (name != note.szTarget) continue;
    INLINEIMAGEINFO info{};
    info.dwCookie = note.dwCookie;
    info.iOrigHeight = kInlineImageSize;
    info.iOrigWidth = kInlineImageSize;
    info.hbm = bitmap;
    info.bOwnBitmap = FALSE;  // the bitmap stays the player's
    SendMessageW(m_viewer, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
    return;
  }
}
