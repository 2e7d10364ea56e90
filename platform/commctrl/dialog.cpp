// The dialog manager: windows made from templates, the modal loop, the
// dialog-item calls and message boxes.

#include <algorithm>
#include <map>
#include <memory>

#include "platform/commctrl/controls.h"
#include "platform/commctrl/viewparts.h"
#include "platform/core/resource.h"
#include "platform/core/wcrt.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr const char16_t* kDialogClass = u"Dialog";
constexpr int kDialogExtra = 16;  // DWL_MSGRESULT, DWL_DLGPROC, DWL_USER
constexpr int kCaptionHeight = 18;

struct DialogData {
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  HFONT font = nullptr;
  SIZE base{4, 8};
  bool framed = false;     // message boxes: border and caption drawn inside
  bool titleLine = false;  // full-screen dialogs: title and rule at the top
};
std::map<HWND, DialogData>& dialogs() {
  static std::map<HWND, DialogData> all;
  return all;
}
DialogData* dataOf(HWND hwnd) {
  auto it = dialogs().find(hwnd);
  return it == dialogs().end() ? nullptr : &it->second;
}

DLGPROC procOf(HWND hwnd) { return reinterpret_cast<DLGPROC>(GetWindowLongW(hwnd, DWL_DLGPROC)); }

LRESULT dialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DLGPROC proc = procOf(hwnd);
  if (message == WM_DESTROY) {
    if (proc) proc(hwnd, message, wParam, lParam);
    if (DialogData* d = dataOf(hwnd)) {
      if (d->font) DeleteObject(d->font);
      dialogs().erase(hwnd);
    }
    return 0;
  }
  if (proc) {
    BOOL handled = proc(hwnd, message, wParam, lParam);
    if (message == WM_INITDIALOG) return handled;
    if (handled) return GetWindowLongW(hwnd, DWL_MSGRESULT);
  }
  return DefDlgProcW(hwnd, message, wParam, lParam);
}

void registerDialogClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kDialogClass, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = dialogWindowProc;
  wc.cbWndExtra = kDialogExtra;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<LONG_PTR>(COLOR_WINDOW + 1));
  wc.lpszClassName = kDialogClass;
  RegisterClassW(&wc);
}

// The template's font and the base units it gives: the average width of the
// letters and the line height, as the device computes them.
HFONT templateFont(const res::DialogTemplate& t, SIZE& base) {
  LOGFONTW lf{};
  WindowDC screen(nullptr);
  int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  lf.lfHeight = -((t.pointSize ? t.pointSize : 8) * (dpi > 0 ? dpi : 96) + 36) / 72;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::u16string face = t.fontFace.empty() || t.fontFace == u"System" ? u"Tahoma" : t.fontFace;
  std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  SelectedObject selected(screen.get(), font);
  const char16_t letters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), letters, 52, &size);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen.get(), &tm);
  base.cx = std::max<LONG>(1, (size.cx / 26 + 1) / 2);
  base.cy = std::max<LONG>(1, tm.tmHeight);
  return font;
}

RECT toPixels(SIZE base, int x, int y, int cx, int cy) {
  return RECT{x * base.cx / 4, y * base.cy / 8, (x + cx) * base.cx / 4, (y + cy) * base.cy / 8};
}

HWND createFromTemplate(HINSTANCE instance, const res::DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal) {
  registerDialogClass();
  controls::registerClasses();
  SIZE base{};
  HFONT font = templateFont(t, base);
  RECT r = toPixels(base, t.x, t.y, t.cx, t.cy);
  RECT area = wm::workArea();
  int width = r.right - r.left, height = r.bottom - r.top;
  int left = area.left + r.left, top = area.top + r.top;
  if (t.style & DS_CENTER) {
    left = area.left + std::max<LONG>(0, (area.right - area.left - width) / 2);
    top = area.top + std::max<LONG>(0, (area.bottom - area.top - height) / 2);
  }
  DWORD style = (t.style & 0xFFFF0000) & ~WS_VISIBLE & ~WS_CHILD;
  HWND dialog = CreateWindowExW(t.exStyle, kDialogClass, t.title.c_str(), style | WS_POPUP, left, top, width, height,
                                owner, nullptr, instance, nullptr);
  if (!dialog) {
    DeleteObject(font);
    return nullptr;
  }
  DialogData& data = dialogs()[dialog];
  data.modal = modal;
  data.font = font;
  data.base = base;
  SetWindowLongW(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  for (const auto& c : t.controls) {
    RECT cr = toPixels(base, c.x, c.y, c.cx, c.cy);
    HWND control = CreateWindowExW(c.exStyle, c.className.c_str(), c.text.c_str(), c.style | WS_CHILD, cr.left, cr.top,
                                   cr.right - cr.left, cr.bottom - cr.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (!control) {
      if (t.style & DS_NOFAILCREATE) continue;
      DestroyWindow(dialog);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if ((c.style & 0xF) == SS_ICON && c.iconId && _wcsicmp(c.className.c_str(), u"STATIC") == 0)
      SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(c.iconId))), 0);
  }
  HWND first = nullptr;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if ((GetWindowLongW(child, GWL_STYLE) & (WS_TABSTOP | WS_VISIBLE)) == (WS_TABSTOP | WS_VISIBLE)) {
      first = child;
      break;
    }
  if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && first && IsWindow(first))
    SetFocus(first);
  if (IsWindow(dialog) && (modal || (t.style & WS_VISIBLE))) ShowWindow(dialog, SW_SHOW);
  return dialog;
}

INT_PTR runModal(HWND dialog, HWND owner) {
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  MSG msg;
  bool quit = false;
  while (IsWindow(dialog) && dataOf(dialog) && !dataOf(dialog)->ended) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  INT_PTR result = dataOf(dialog) ? dataOf(dialog)->result : -1;
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  // The loop's caller still has to see the quit request.
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

HWND nextTabStop(HWND dialog, HWND from, bool backwards) {
  std::vector<HWND> stops;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    LONG_PTR style = GetWindowLongW(c, GWL_STYLE);
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) stops.push_back(c);
  }
  if (stops.empty()) return nullptr;
  auto it = std::find(stops.begin(), stops.end(), from);
  if (it == stops.end()) return stops.front();
  auto index = static_cast<size_t>(it - stops.begin());
  return stops[(index + (backwards ? stops.size() - 1 : 1)) % stops.size()];
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  const res::DialogTemplate* t = res::findDialog(instance, templateName);
  if (!t) {
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return -1;
  }
  HWND dialog = createFromTemplate(instance, *t, owner, proc, param, true);
  if (!dialog) return -1;
  return runModal(dialog, owner);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  const res::DialogTemplate* t = res::findDialog(instance, templateName);
  if (!t) {
    SetLastError(1814);
    return nullptr;
  }
  return createFromTemplate(instance, *t, owner, proc, param, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  DialogData* data = dataOf(dialog);
  if (!data || !IsWindow(dialog)) return FALSE;
  data->ended = true;
  data->result = result;
  if (data->modal) {
    ShowWindow(dialog, SW_HIDE);
    // Wakes the loop so it sees the end.
    PostMessageW(dialog, WM_NULL, 0, 0);
  }
  return TRUE;
}

namespace {

// The title in the dialog's font made bold, in the shell's blue, over a rule.
void paintTitleLine(HWND dialog, HDC dc, const RECT& client) {
  LOGFONTW lf{};
  HFONT base = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!base || !GetObjectW(base, sizeof lf, &lf)) {
    lf.lfHeight = -11;
    std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
  }
  lf.lfWeight = FW_BOLD;
  lf.lfHeight = std::min<LONG>(lf.lfHeight, -12);  // 9 points at least, as the device's titles
  GdiObject<HFONT> bold(CreateFontIndirectW(&lf));
  std::u16string title(static_cast<size_t>(GetWindowTextLengthW(dialog)), u'\0');
  GetWindowTextW(dialog, title.data(), static_cast<int>(title.size()) + 1);
  RECT line{client.left + 6, client.top, client.right - 6, client.top + controls::kTitleLineHeight - 1};
  {
    SelectedObject font(dc, bold.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 51, 153));
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &line,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  fillSolid(dc, RECT{client.left, line.bottom, client.right, line.bottom + 1}, RGB(0, 0, 0));
}

}  // namespace

namespace controls {

bool showTitleLine(HWND dialog) {
  DialogData* data = dataOf(dialog);
  if (!data || data->framed) return false;
  if (data->titleLine) return true;
  data->titleLine = true;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(child, r.left, r.top + kTitleLineHeight, r.right - r.left, r.bottom - r.top, FALSE);
  }
  InvalidateRect(dialog, nullptr, TRUE);
  return true;
}

}  // namespace controls

namespace {

LRESULT onDialogClose(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  return 0;
}

// A floating dialog's caption: its title in white on the device's blue.
void paintCaption(HWND dialog, HDC dc, const RECT& client) {
  RECT caption{client.left, client.top, client.right, client.top + kCaptionHeight};
  fillSolid(dc, caption, RGB(0, 51, 153));
  std::u16string title(static_cast<size_t>(GetWindowTextLengthW(dialog)), u'\0');
  GetWindowTextW(dialog, title.data(), static_cast<int>(title.size()) + 1);
  caption.left += 4;
  SelectedObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &caption,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// Full-screen dialogs show their title in the task bar; message boxes
// float over the screen with a border and caption of their own.
LRESULT onDialogPaint(HWND dialog) {
  DialogData* d = dataOf(dialog);
  bool framed = d && d->framed;
  PaintScope paint(dialog);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(dialog, &r);
  LONG_PTR style = GetWindowLongW(dialog, GWL_STYLE);
  fillSolid(dc, r, RGB(255, 255, 255));
  if (framed && (style & WS_CAPTION) == WS_CAPTION) paintCaption(dialog, dc, r);
  if (d && d->titleLine) paintTitleLine(dialog, dc, r);
  if (framed && (style & WS_BORDER)) frameSolid(dc, r, RGB(0, 0, 0));
  return 0;
}

LRESULT onDialogSetText(HWND dialog, WPARAM wParam, LPARAM lParam) {
  LRESULT done = DefWindowProcW(dialog, WM_SETTEXT, wParam, lParam);
  DialogData* d = dataOf(dialog);
  if (d && d->titleLine) {
    RECT r;
    GetClientRect(dialog, &r);
    r.bottom = r.top + controls::kTitleLineHeight;
    InvalidateRect(dialog, &r, FALSE);
  }
  return done;
}

LRESULT onDialogGetFont(HWND dialog) {
  DialogData* d = dataOf(dialog);
  return d ? reinterpret_cast<LRESULT>(d->font) : 0;
}

}  // namespace

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      return onDialogClose(dialog);
    case WM_PAINT:
      return onDialogPaint(dialog);
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT:
      return onDialogSetText(dialog, wParam, lParam);
    case WM_GETFONT:
      return onDialogGetFont(dialog);
    default:
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !IsWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  LRESULT wants =
      msg->hwnd != dialog ? SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) : 0;
  if (wants & DLGC_WANTALLKEYS) return FALSE;
  switch (msg->wParam) {
    case VK_RETURN:
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return TRUE;
    case VK_ESCAPE:
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return TRUE;
    case VK_TAB:
      if (HWND next = nextTabStop(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0)) SetFocus(next);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  DialogData* data = dataOf(dialog);
  if (!data || !rect) return FALSE;
  *rect = toPixels(data->base, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  return TRUE;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int bufferMax) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (buffer && bufferMax > 0) buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(item, buffer, bufferMax));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessageW(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : BST_UNCHECKED;
}

// ---- Message boxes --------------------------------------------------------------------
namespace {

struct BoxButtons {
  int count;
  int ids[2];
  const char16_t* texts[2];
};

BoxButtons buttonsFor(UINT type) {
  switch (type & 0xF) {
    case MB_OKCANCEL:
      return {2, {IDOK, IDCANCEL}, {u"OK", u"Cancel"}};
    case MB_YESNO:
      return {2, {IDYES, IDNO}, {u"Yes", u"No"}};
    default:
      return {1, {IDOK, 0}, {u"OK", nullptr}};
  }
}

BOOL messageBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam);
  // Escape answers the box's way out: Cancel, No, or OK when that is all there is.
  if (id == IDCANCEL) {
    if (GetDlgItem(dialog, IDCANCEL))
      id = IDCANCEL;
    else if (GetDlgItem(dialog, IDNO))
      id = IDNO;
    else
      id = IDOK;
  }
  if (id == IDOK && !GetDlgItem(dialog, IDOK)) id = GetDlgItem(dialog, IDYES) ? IDYES : id;
  if (GetDlgItem(dialog, id)) EndDialog(dialog, id);
  return TRUE;
}

bool hasIcon(UINT type) {
  UINT icon = type & 0xF0;
  return icon == MB_ICONHAND || icon == MB_ICONEXCLAMATION || icon == MB_ICONQUESTION || icon == MB_ICONASTERISK;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  std::u16string body = text ? text : u"";
  std::u16string title = caption ? caption : u"Error";
  bool icon = hasIcon(type);
  BoxButtons buttons = buttonsFor(type);

  // Laid out in dialog units: a 150-unit-wide box, the text wrapping beside the icon.
  res::DialogTemplate t{};
  t.style = WS_POPUP | WS_CAPTION | WS_BORDER | DS_CENTER | DS_MODALFRAME;
  t.title = title;
  t.fontFace = u"Tahoma";
  t.pointSize = 8;
  short textLeft = icon ? 32 : 8;
  short textWidth = static_cast<short>(150 - textLeft - 8);
  // Lines needed at the template's font: measured, so long texts wrap instead of clipping.
  SIZE base{};
  RECT measure{0, 0, 0, 0};
  {
    GdiObject<HFONT> font(templateFont(t, base));
    WindowDC dc(nullptr);
    SelectedObject selected(dc.get(), font.get());
    measure.right = textWidth * base.cx / 4;
    DrawTextW(dc.get(), body.c_str(), static_cast<int>(body.size()), &measure,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  }
  int textUnits = std::max<int>(8, (measure.bottom * 8 + base.cy - 1) / base.cy);
  textUnits = std::min(textUnits, 200);
  short textHeight = static_cast<short>(textUnits);
  constexpr short kTop = 20;  // below the caption
  short buttonTop = static_cast<short>(kTop + std::max<int>(textHeight, icon ? 20 : 0) + 6);
  t.cx = 150;
  t.cy = static_cast<short>(buttonTop + 14 + 8);
  if (icon) t.controls.push_back(res::DialogControl{u"STATIC", u"", 0xFFFE, WS_VISIBLE | SS_ICON, 8, kTop, 20, 20});
  t.controls.push_back(res::DialogControl{u"STATIC", body, 0xFFFF, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, textLeft, kTop,
                                          textWidth, textHeight});
  short buttonWidth = 40;
  short gap = 6;
  short total = static_cast<short>(buttons.count * buttonWidth + (buttons.count - 1) * gap);
  for (int i = 0; i < buttons.count; ++i)
    t.controls.push_back(res::DialogControl{u"BUTTON", buttons.texts[i], buttons.ids[i],
                                            WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                            static_cast<short>((150 - total) / 2 + i * (buttonWidth + gap)), buttonTop,
                                            buttonWidth, 14});
  HWND dialog = createFromTemplate(nullptr, t, owner, messageBoxProc, 0, true);
  if (!dialog) return 0;
  if (DialogData* d = dataOf(dialog)) d->framed = true;
  InvalidateRect(dialog, nullptr, TRUE);
  if (icon) SendDlgItemMessageW(dialog, 0xFFFE, STM_SETICON, reinterpret_cast<WPARAM>(controls::systemIcon(type)), 0);
  return static_cast<int>(runModal(dialog, owner));
}
