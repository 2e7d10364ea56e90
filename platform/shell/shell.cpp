#include <algorithm>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/controls.h"
#include "platform/commctrl/stdimages.h"
#include "platform/core/resource.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/picture.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "platform/shell/shellimpl.h"

namespace {

constexpr const char16_t* kTaskBarClass = u"HHTaskBar";
constexpr const char16_t* kMenuBarClass = u"menu_worker";
constexpr const char16_t* kTooltipClass = u"tooltips_class32";
constexpr UINT_PTR kClockTimer = 1;
constexpr DWORD kErrorResourceNameNotFound = 1814;

struct ShellState {
  HWND taskBar = nullptr;
  bool taskBarHidden = false;
  bool sipButtonHidden = false;
  bool startIconHidden = false;
  bool gameInput = false;
  std::set<HWND> doneDialogs;
};
ShellState& shellState() {
  static ShellState s;
  return s;
}

}  // namespace

namespace shell::detail {

HFONT shellFont(bool bold) {
  static HFONT fonts[2] = {nullptr, nullptr};
  HFONT& f = fonts[bold ? 1 : 0];
  if (!f) {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    f = CreateFontIndirectW(&lf);
  }
  return f;
}

void text(HDC dc, const std::u16string& s, RECT r, UINT format, COLORREF color, bool bold) {
  SelectedObject font(dc, shellFont(bold));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &r, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

int textWidth(const std::u16string& s, bool bold) {
  WindowDC screen(nullptr);
  SelectedObject font(screen.get(), shellFont(bold));
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), s.c_str(), static_cast<int>(s.size()), &size);
  return size.cx;
}

void registerClass(const char16_t* name, WNDPROC proc) {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, name, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

// The screen less the task bar (unless hidden), the menu bar and the input panel when up.
void updateWorkArea() {
  RECT screen = wm::screenRect();
  RECT area = wm::workArea();
  area.top = shellState().taskBarHidden ? screen.top : screen.top + wm::kTaskBarHeight;
  area.bottom = screen.bottom - wm::kMenuBarHeight - (sipShown() ? kSipPanelHeight : 0);
  wm::setWorkArea(area);
}

void repaintMenuBars() {
  for (const auto& w : wm::windowTree())
    if (w.className == kMenuBarClass) InvalidateRect(w.hwnd, nullptr, FALSE);
}

}  // namespace shell::detail

using namespace shell::detail;

namespace {

constexpr COLORREF kTipFace = RGB(255, 255, 225);
constexpr COLORREF kMenuBarFace = RGB(214, 214, 214);

constexpr int kImageButtonWidth = 24;
constexpr int kDoneWidth = 30;

// The bar's blue, lighter towards the top.
void barBackground(HDC dc, const RECT& r) {
  int h = std::max<LONG>(1, r.bottom - r.top);
  for (int y = 0; y < h; ++y) {
    auto mix = [&](int a, int b) { return static_cast<BYTE>(b + (a - b) * (h - 1 - y) / std::max(1, h - 1)); };
    COLORREF c = RGB(mix(GetRValue(kBarLight), GetRValue(kBarDark)), mix(GetGValue(kBarLight), GetGValue(kBarDark)),
                     mix(GetBValue(kBarLight), GetBValue(kBarDark)));
    fillSolid(dc, RECT{r.left, r.top + y, r.right, r.top + y + 1}, c);
  }
}

// ---- The task bar -------------------------------------------------------------------
HWND doneDialogInFront() {
  HWND front = GetForegroundWindow();
  auto& done = shellState().doneDialogs;
  for (auto it = done.begin(); it != done.end();) it = IsWindow(*it) ? std::next(it) : done.erase(it);
  return front && done.count(front) ? front : nullptr;
}

RECT doneRect(HWND bar) {
  RECT r;
  GetClientRect(bar, &r);
  return RECT{r.right - kDoneWidth - 2, 3, r.right - 2, r.bottom - 3};
}

std::u16string clockText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%H:%M", &local);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

void paintTaskBar(HWND hwnd) {
  PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(hwnd, &r);
  barBackground(dc, r);
  int left = 4;
  if (!shellState().startIconHidden) {
    // The start flag: four coloured panes.
    const COLORREF panes[4] = {RGB(230, 60, 30), RGB(60, 170, 60), RGB(40, 110, 230), RGB(250, 200, 20)};
    for (int i = 0; i < 4; ++i) {
      int x = left + (i % 2) * 8, y = 5 + (i / 2) * 8;
      fillSolid(dc, RECT{x, y, x + 7, y + 7}, panes[i]);
    }
    left += 22;
  }
  int right = r.right - 4;
  HWND done = doneDialogInFront();
  if (done) {
    RECT d = doneRect(hwnd);
    // A round button: a white ring around the bar's dark blue.
    int w = d.right - d.left, h = d.bottom - d.top;
    res::Picture ring{0, w, h, std::vector<std::uint32_t>(static_cast<size_t>(w * h), 0)};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
        double r = dx * dx + dy * dy;
        if (r <= 1.0) ring.pixels[static_cast<size_t>(y * w + x)] = r >= 0.62 ? 0xFFFFFFFF : 0xFF0A2E8A;
      }
    gdi::drawPicture(dc, d.left, d.top, w, h, ring);
    text(dc, u"ok", d, DT_CENTER, kBarText, true);
    right = d.left - 4;
  }
  std::u16string clock = clockText();
  int clockWidth = textWidth(clock, false);
  text(dc, clock, RECT{right - clockWidth, 0, right, r.bottom}, DT_RIGHT, kBarText, false);
  right -= clockWidth + 6;
  text(dc, wm::foregroundTitle(), RECT{left, 0, right, r.bottom}, DT_LEFT | DT_END_ELLIPSIS, kBarText, true);
}

LRESULT taskBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(hwnd, kClockTimer, 60000, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kClockTimer) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      paintTaskBar(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONUP: {
      POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      RECT d = doneRect(hwnd);
      HWND dialog = doneDialogInFront();
      if (dialog && p.x >= d.left && p.x < d.right && p.y >= d.top && p.y < d.bottom)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return 0;
    }
    case WM_DESTROY:
      if (shellState().taskBar == hwnd) shellState().taskBar = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void repaintTaskBar() {
  if (IsWindow(shellState().taskBar)) InvalidateRect(shellState().taskBar, nullptr, FALSE);
}

bool shellTakesKey(int vk, bool down) {
  if (menuTakesKey(vk, down)) return true;
  // The application buttons start programs unless a game has asked for them.
  return vk >= VK_APP1 && vk <= VK_APP9 && !shellState().gameInput;
}

// ---- The menu bar ------------------------------------------------------------------------
struct Image {
  const res::Picture* picture;
  int srcX;
};

struct Button {
  int image;
  int command;
  BYTE state;
  BYTE style;
  std::u16string text;
  HMENU subMenu = nullptr;
  RECT rect{};
};

struct MenuBar {
  HWND owner;
  HMENU menu = nullptr;
  std::vector<Button> buttons;
  std::vector<std::u16string> tooltips;
  std::vector<Image> images;
  int pressed = -1;
  bool sipButton = true;  // false when made with SHCMBF_HIDESIPBUTTON
  int open = -1;          // the button whose drop-down is open
  HWND popup = nullptr;   // that drop-down (owned by the shell's menus)
  HWND tooltip = nullptr;
  bool menuWithoutButtons = false;  // made from an empty menu: the first tooltip is still the menu's
};

MenuBar* barOf(HWND hwnd) { return reinterpret_cast<MenuBar*>(GetWindowLongW(hwnd, GWL_USERDATA)); }

void layout(MenuBar& bar) {
  int x = 0;
  for (auto& b : bar.buttons) {
    int width;
    if (b.state & TBSTATE_HIDDEN) {
      width = 0;
    } else if (b.style & TBSTYLE_SEP) {
      width = b.image > 0 ? b.image : 6;
    } else if (b.image == I_IMAGENONE || b.image < 0) {
      width = textWidth(b.text, false) + 16;
    } else {
      width = kImageButtonWidth;
    }
    b.rect = RECT{x, 0, x + width, wm::kMenuBarHeight};
    x += width;
  }
}

bool hasDropDown(const Button& b) {
  return (b.style & TBSTYLE_DROPDOWN) && b.subMenu && (b.state & TBSTATE_ENABLED) && !(b.state & TBSTATE_HIDDEN);
}

void openDropDownOf(HWND barWindow, MenuBar& bar, int index, bool hotFirst) {
  RECT anchor = bar.buttons[static_cast<size_t>(index)].rect;
  MapWindowPoints(barWindow, nullptr, reinterpret_cast<POINT*>(&anchor), 2);
  bar.popup = openDropDown(barWindow, bar.owner, bar.buttons[static_cast<size_t>(index)].subMenu, anchor, hotFirst);
  bar.open = bar.popup ? index : -1;
  InvalidateRect(barWindow, nullptr, FALSE);
}

// Left and Right in an open drop-down move to the bar's next drop-down, wrapping.
void openNeighbour(HWND barWindow, MenuBar& bar, int direction) {
  int n = static_cast<int>(bar.buttons.size());
  if (bar.open < 0 || n == 0) return;
  for (int step = 1; step < n; ++step) {
    int at = ((bar.open + direction * step) % n + n) % n;
    if (!hasDropDown(bar.buttons[static_cast<size_t>(at)])) continue;
    openDropDownOf(barWindow, bar, at, true);
    if (bar.popup) SetCapture(bar.popup);
    return;
  }
}

void hideTooltip(MenuBar& bar) {
  if (IsWindow(bar.tooltip)) DestroyWindow(bar.tooltip);
  bar.tooltip = nullptr;
}

LRESULT tooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintScope paint(hwnd);
    HDC dc = paint.dc();
    RECT r;
    GetClientRect(hwnd, &r);
    fillSolid(dc, r, kTipFace);
    frameSolid(dc, r, RGB(0, 0, 0));
    std::u16string title(static_cast<size_t>(GetWindowTextLengthW(hwnd)), u'\0');
    GetWindowTextW(hwnd, title.data(), static_cast<int>(title.size()) + 1);
    text(dc, title, r, DT_CENTER, RGB(0, 0, 0), false);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Tooltips go to the buttons in order, separators skipped.
int tooltipSlot(const MenuBar& bar, int index) {
  int slot = bar.menuWithoutButtons ? 1 : 0;
  for (int i = 0; i < index; ++i)
    if (!(bar.buttons[static_cast<size_t>(i)].style & TBSTYLE_SEP)) ++slot;
  return slot;
}

void showTooltip(HWND barWindow, MenuBar& bar, int index) {
  hideTooltip(bar);
  int slot = index < 0 ? -1 : tooltipSlot(bar, index);
  if (slot < 0 || static_cast<size_t>(slot) >= bar.tooltips.size() || bar.tooltips[static_cast<size_t>(slot)].empty())
    return;
  const std::u16string& tip = bar.tooltips[static_cast<size_t>(slot)];
  RECT barRect;
  GetWindowRect(barWindow, &barRect);
  int width = textWidth(tip, false) + 10, height = 18;
  SIZE screen = wm::screenSize();
  int left = std::clamp<int>(barRect.left + bar.buttons[static_cast<size_t>(index)].rect.left, 0,
                             std::max<int>(0, screen.cx - width));
  registerClass(kTooltipClass, tooltipProc);
  bar.tooltip = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kTooltipClass, tip.c_str(), WS_POPUP, left,
                                barRect.top - height - 2, width, height, barWindow, nullptr, nullptr, nullptr);
  if (bar.tooltip) ShowWindow(bar.tooltip, SW_SHOWNA);
}

void drawImage(HDC dc, const MenuBar& bar, const Button& b) {
  if (b.image < 0 || static_cast<size_t>(b.image) >= bar.images.size()) return;
  const Image& image = bar.images[static_cast<size_t>(b.image)];
  int x = b.rect.left + (b.rect.right - b.rect.left - 16) / 2, y = (wm::kMenuBarHeight - 16) / 2;
  if (b.state & TBSTATE_ENABLED) {
    gdi::drawPicturePart(dc, x, y, *image.picture, image.srcX, 0, 16, 16);
    return;
  }
  // Disabled: the image's shape in grey.
  res::Picture grey{0, 16, 16, std::vector<std::uint32_t>(256, 0)};
  for (int py = 0; py < 16 && py < image.picture->height; ++py)
    for (int px = 0; px < 16 && image.srcX + px < image.picture->width; ++px)
      if (image.picture->pixels[static_cast<size_t>(py * image.picture->width + image.srcX + px)] >> 24)
        grey.pixels[static_cast<size_t>(py * 16 + px)] = 0xFFA0A0A0;
  gdi::drawPicture(dc, x, y, 16, 16, grey);
}

constexpr int kSipPressed = -2;  // `pressed` while the pen holds the input panel button

bool showsSipButton(const MenuBar& bar) { return bar.sipButton && !shellState().sipButtonHidden; }

RECT sipButtonRect(HWND barWindow) {
  RECT r;
  GetClientRect(barWindow, &r);
  return RECT{r.right - kSipButtonWidth, 0, r.right, r.bottom};
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void paintMenuBar(HWND hwnd) {
  MenuBar& bar = *barOf(hwnd);
  PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(hwnd, &r);
  fillSolid(dc, r, kMenuBarFace);
  fillSolid(dc, RECT{r.left, r.top, r.right, r.top + 1}, kMenuLine);
  fillSolid(dc, RECT{r.left, r.top + 1, r.right, r.top + 2}, kBarText);
  if (showsSipButton(bar)) {
    // The input panel button: a small keyboard at the far right, inverted while the panel is up.
    RECT button = sipButtonRect(hwnd);
    bool up = sipShown() || bar.pressed == kSipPressed;
    if (up) fillSolid(dc, RECT{button.left, button.top + 2, button.right, button.bottom}, kSelect);
    COLORREF ink = up ? kBarText : RGB(0, 0, 0), face = up ? kSelect : kBarText;
    RECT k{button.left + 3, 8, button.right - 4, 19};
    fillSolid(dc, k, ink);
    fillSolid(dc, RECT{k.left + 1, k.top + 1, k.right - 1, k.bottom - 1}, face);
    for (int row = 0; row < 2; ++row)
      for (int x = k.left + 2; x + 2 <= k.right - 2; x += 3)
        fillSolid(dc, RECT{x, k.top + 2 + row * 3, x + 2, k.top + 4 + row * 3}, ink);
    fillSolid(dc, RECT{k.left + 4, k.bottom - 3, k.right - 4, k.bottom - 2}, ink);
  }
  for (size_t i = 0; i < bar.buttons.size(); ++i) {
    const Button& b = bar.buttons[i];
    if ((b.state & TBSTATE_HIDDEN) || (b.style & TBSTYLE_SEP)) continue;
    bool down = static_cast<int>(i) == bar.open || (static_cast<int>(i) == bar.pressed && (b.state & TBSTATE_ENABLED));
    if (down) fillSolid(dc, RECT{b.rect.left, b.rect.top + 2, b.rect.right, b.rect.bottom}, kSelect);
    if (b.image == I_IMAGENONE || b.image < 0) {
      COLORREF ink = !(b.state & TBSTATE_ENABLED) ? kGrey : down ? kBarText : RGB(0, 0, 0);
      text(dc, b.text, b.rect, DT_CENTER, ink, false);
    } else {
      drawImage(dc, bar, b);
    }
  }
}

int buttonAt(MenuBar& bar, POINT p) {
  for (size_t i = 0; i < bar.buttons.size(); ++i) {
    const Button& b = bar.buttons[i];
    if ((b.state & TBSTATE_HIDDEN) || (b.style & TBSTYLE_SEP)) continue;
    if (p.x >= b.rect.left && p.x < b.rect.right && p.y >= b.rect.top && p.y < b.rect.bottom)
      return static_cast<int>(i);
  }
  return -1;
}

Button* buttonByCommand(MenuBar& bar, int command) {
  for (auto& b : bar.buttons)
    if (b.command == command && !(b.style & TBSTYLE_SEP)) return &b;
  return nullptr;
}

LRESULT addBitmap(MenuBar& bar, int count, const TBADDBITMAP* add) {
  if (!add || count <= 0) return -1;
  int first = static_cast<int>(bar.images.size());
  if (add->hInst == HINST_COMMCTRL) {
    if (add->nID != static_cast<UINT_PTR>(IDB_STD_SMALL_COLOR)) return -1;
    for (int i = 0; i < std::min(count, kStandardImageCount); ++i)
      bar.images.push_back({commctrl::standardImage(i), 0});
    return first;
  }
  const res::Picture* strip = res::findBitmap(add->hInst, MAKEINTRESOURCEW(static_cast<WORD>(add->nID)));
  if (!strip) return -1;
  for (int i = 0; i < count && (i + 1) * 16 <= strip->width; ++i) bar.images.push_back({strip, i * 16});
  return first;
}

// ---- The menu bar's messages, one handler each

LRESULT penDownOnBar(HWND hwnd, MenuBar& bar, POINT p) {
  int hit = buttonAt(bar, p);
  if (IsWindow(bar.popup)) {
    int wasOpen = bar.open;
    closeMenus();
    if (hit == wasOpen) return 0;
  }
  if (hit < 0 && showsSipButton(bar) && inside(sipButtonRect(hwnd), p)) {
    bar.pressed = kSipPressed;
    SetCapture(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
  }
  if (hit < 0) return 0;
  bar.pressed = hit;
  SetCapture(hwnd);
  Button& b = bar.buttons[static_cast<size_t>(hit)];
  if (hasDropDown(b))
    openDropDownOf(hwnd, bar, hit, false);
  else
    showTooltip(hwnd, bar, hit);
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

LRESULT penUpOnBar(HWND hwnd, MenuBar& bar, POINT p) {
  int pressed = bar.pressed;
  bar.pressed = -1;
  hideTooltip(bar);
  if (GetCapture() == hwnd) ReleaseCapture();
  InvalidateRect(hwnd, nullptr, FALSE);
  if (IsWindow(bar.popup) && pressed >= 0) {
    // Dragged from the button into the menu: lifting the pen there chooses.
    POINT screen = p;
    ClientToScreen(hwnd, &screen);
    if (!inside(bar.buttons[static_cast<size_t>(pressed)].rect, p)) penFromBar(WM_LBUTTONUP, screen);
  }
  if (IsWindow(bar.popup)) {
    // The open menu takes the next tap, wherever it lands.
    SetCapture(bar.popup);
    return 0;
  }
  if (pressed == kSipPressed) {
    if (showsSipButton(bar) && inside(sipButtonRect(hwnd), p)) shell::showInputPanel(!sipShown());
    return 0;
  }
  if (pressed >= 0 && buttonAt(bar, p) == pressed) {
    const Button& b = bar.buttons[static_cast<size_t>(pressed)];
    if (b.state & TBSTATE_ENABLED)
      PostMessageW(bar.owner, WM_COMMAND, MAKEWPARAM(b.command, 0), reinterpret_cast<LPARAM>(hwnd));
  }
  return 0;
}

LRESULT penMoveOnBar(HWND hwnd, MenuBar& bar, POINT p) {
  if (!IsWindow(bar.popup) || bar.pressed < 0) return 0;
  POINT screen = p;
  ClientToScreen(hwnd, &screen);
  penFromBar(WM_MOUSEMOVE, screen);
  return 0;
}

LRESULT setTooltips(MenuBar& bar, WPARAM count, const LPCWSTR* texts) {
  bar.tooltips.clear();
  for (WPARAM i = 0; texts && i < count && i < 256; ++i) bar.tooltips.push_back(texts[i] ? texts[i] : u"");
  return TRUE;
}

LRESULT addButtons(HWND hwnd, MenuBar& bar, WPARAM count, const TBBUTTON* add) {
  if (!add) return FALSE;
  for (WPARAM i = 0; i < count && i < 256; ++i)
    bar.buttons.push_back(Button{add[i].iBitmap, add[i].idCommand, add[i].fsState, add[i].fsStyle, u"", nullptr, {}});
  layout(bar);
  InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

// TB_ENABLEBUTTON and TB_HIDEBUTTON: one state flag of the command's button.
LRESULT setButtonFlag(HWND hwnd, MenuBar& bar, int command, BYTE flag, bool on) {
  Button* b = buttonByCommand(bar, command);
  if (!b) return FALSE;
  b->state = on ? (b->state | flag) : (b->state & ~flag);
  layout(bar);
  InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

LRESULT buttonEnabled(MenuBar& bar, int command) {
  Button* b = buttonByCommand(bar, command);
  return b && (b->state & TBSTATE_ENABLED);
}

LRESULT itemRect(const MenuBar& bar, WPARAM index, RECT* out) {
  if (!out || index >= bar.buttons.size()) return FALSE;
  *out = bar.buttons[index].rect;
  return TRUE;
}

LRESULT buttonInfo(const MenuBar& bar, WPARAM index, TBBUTTON* out) {
  if (!out || index >= bar.buttons.size()) return FALSE;
  const Button& b = bar.buttons[index];
  *out = TBBUTTON{b.image, b.command, b.state, b.style, {0, 0}, 0, 0};
  return TRUE;
}

LRESULT subMenuOf(MenuBar& bar, int command) {
  Button* b = buttonByCommand(bar, command);
  return reinterpret_cast<LRESULT>(b ? b->subMenu : nullptr);
}

LRESULT menuClosed(HWND hwnd, MenuBar& bar) {
  bar.popup = nullptr;
  bar.open = -1;
  InvalidateRect(hwnd, nullptr, FALSE);
  return 0;
}

LRESULT barDestroyed(HWND hwnd, MenuBar* bar) {
  hideTooltip(*bar);
  if (IsWindow(bar->popup)) closeMenus();
  if (bar->menu) DestroyMenu(bar->menu);
  delete bar;
  SetWindowLongW(hwnd, GWL_USERDATA, 0);
  return 0;
}

LRESULT menuBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MenuBar* bar = barOf(hwnd);
  if (!bar) return DefWindowProcW(hwnd, message, wParam, lParam);
  POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  int command = static_cast<int>(wParam);
  switch (message) {
    case WM_PAINT:
      paintMenuBar(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      return penDownOnBar(hwnd, *bar, p);
    case WM_LBUTTONUP:
      return penUpOnBar(hwnd, *bar, p);
    case WM_MOUSEMOVE:
      return penMoveOnBar(hwnd, *bar, p);
    case TB_SETTOOLTIPS:
      return setTooltips(*bar, wParam, reinterpret_cast<const LPCWSTR*>(lParam));
    case TB_ADDBITMAP:
      return addBitmap(*bar, static_cast<int>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_ADDBUTTONS:
      return addButtons(hwnd, *bar, wParam, reinterpret_cast<const TBBUTTON*>(lParam));
    case TB_ENABLEBUTTON:
      return setButtonFlag(hwnd, *bar, command, TBSTATE_ENABLED, LOWORD(lParam) != 0);
    case TB_HIDEBUTTON:
      return setButtonFlag(hwnd, *bar, command, TBSTATE_HIDDEN, LOWORD(lParam) != 0);
    case TB_ISBUTTONENABLED:
      return buttonEnabled(*bar, command);
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(bar->buttons.size());
    case TB_GETITEMRECT:
      return itemRect(*bar, wParam, reinterpret_cast<RECT*>(lParam));
    case TB_GETBUTTON:
      return buttonInfo(*bar, wParam, reinterpret_cast<TBBUTTON*>(lParam));
    case SHCMBM_GETMENU:
      return reinterpret_cast<LRESULT>(bar->menu);
    case SHCMBM_GETSUBMENU:
      return subMenuOf(*bar, static_cast<int>(lParam));
    case kMenuClosed:
      return menuClosed(hwnd, *bar);
    case kMenuNeighbour:
      openNeighbour(hwnd, *bar, command);
      return 0;
    case kMenuKey:
      handleMenuKey(command);
      return 0;
    case WM_DESTROY:
      return barDestroyed(hwnd, bar);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void registerClasses() {
  registerClass(kTaskBarClass, taskBarProc);
  registerClass(kMenuBarClass, menuBarProc);
  registerClass(kTooltipClass, tooltipProc);
}

}  // namespace

namespace shell {

void start() {
  registerClasses();
  wm::ShellHooks hooks;
  hooks.foregroundChanged = repaintTaskBar;
  hooks.takesKey = shellTakesKey;
  wm::setShellHooks(hooks);
  if (!IsWindow(shellState().taskBar)) {
    SIZE screen = wm::screenSize();
    shellState().taskBar = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kTaskBarClass, u"", WS_POPUP, 0, 0,
                                           screen.cx, wm::kTaskBarHeight, nullptr, nullptr, nullptr, nullptr);
    if (!shellState().taskBarHidden) ShowWindow(shellState().taskBar, SW_SHOWNA);
  }
  updateWorkArea();
}

HWND taskBar() { return IsWindow(shellState().taskBar) ? shellState().taskBar : nullptr; }

bool taskBarShown() { return !shellState().taskBarHidden; }

void setGameInput(bool open) { shellState().gameInput = open; }

void resetForTests() {
  closeMenus();
  forgetSip();
  if (IsWindow(shellState().taskBar)) DestroyWindow(shellState().taskBar);
  shellState() = ShellState{};
  wm::setShellHooks(wm::ShellHooks{});
}

}  // namespace shell

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || !IsWindow(info->hwndParent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hwndMB = nullptr;
  auto bar = std::make_unique<MenuBar>();
  bar->owner = info->hwndParent;
  bar->sipButton = !(info->dwFlags & SHCMBF_HIDESIPBUTTON);
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    const res::MenuBarResource* layout = res::findMenuBar(info->hInstRes, info->nToolBarId);
    UINT menuId = layout ? layout->menuId : info->nToolBarId;
    if (!layout && !(info->dwFlags & SHCMBF_HMENU)) {
      SetLastError(kErrorResourceNameNotFound);
      return FALSE;
    }
    bar->menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(static_cast<WORD>(menuId)));
    bar->menuWithoutButtons = layout && layout->buttons.empty();
    if (layout) {
      for (const auto& b : layout->buttons) {
        const std::u16string* label = res::findString(info->hInstRes, b.stringId);
        HMENU sub = (b.style & TBSTYLE_DROPDOWN) && bar->menu ? GetSubMenu(bar->menu, b.subMenu) : nullptr;
        bar->buttons.push_back(
            Button{b.image, static_cast<int>(b.command), b.state, b.style, label ? *label : u"", sub, {}});
      }
    } else if (bar->menu) {
      // A plain menu: each submenu becomes a drop-down button.
      auto entries = res::menuEntries(bar->menu);
      for (const auto& e : entries)
        bar->buttons.push_back(Button{I_IMAGENONE,
                                      static_cast<int>(e.id),
                                      TBSTATE_ENABLED,
                                      static_cast<BYTE>(TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE),
                                      e.text,
                                      e.subMenu,
                                      {}});
    } else {
      SetLastError(kErrorResourceNameNotFound);
      return FALSE;
    }
  }
  shell::start();
  SIZE screen = wm::screenSize();
  HWND hwnd = CreateWindowExW(WS_EX_NOACTIVATE, kMenuBarClass, u"", WS_POPUP, 0, screen.cy - wm::kMenuBarHeight,
                              screen.cx, wm::kMenuBarHeight, info->hwndParent, nullptr, nullptr, nullptr);
  if (!hwnd) {
    if (bar->menu) DestroyMenu(bar->menu);
    return FALSE;
  }
  MenuBar* raw = bar.release();
  SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(raw));
  layout(*raw);
  if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(hwnd, SW_SHOWNA);
  info->hwndMB = hwnd;
  return TRUE;
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  if (!IsWindow(hwnd)) return FALSE;
  shell::start();
  ShellState& s = shellState();
  if (state & SHFS_HIDETASKBAR) s.taskBarHidden = true;
  if (state & SHFS_SHOWTASKBAR) s.taskBarHidden = false;
  if (state & SHFS_HIDESIPBUTTON) s.sipButtonHidden = true;
  if (state & SHFS_SHOWSIPBUTTON) s.sipButtonHidden = false;
  if (state & SHFS_HIDESTARTICON) s.startIconHidden = true;
  if (state & SHFS_SHOWSTARTICON) s.startIconHidden = false;
  ShowWindow(s.taskBar, s.taskBarHidden ? SW_HIDE : SW_SHOWNA);
  repaintMenuBars();
  InvalidateRect(s.taskBar, nullptr, FALSE);
  updateWorkArea();
  return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg)) return FALSE;
  shell::start();
  if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG | SHIDIF_FULLSCREENNOMENUBAR)) {
    RECT area = wm::workArea();
    if (info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR) area.bottom = wm::screenRect().bottom;
    MoveWindow(info->hDlg, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
  if ((info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) && GetWindowTextLengthW(info->hDlg) > 0)
    controls::showTitleLine(info->hDlg);
  if (info->dwFlags & SHIDIF_DONEBUTTON) shellState().doneDialogs.insert(info->hDlg);
  if (info->dwFlags & SHIDIF_SIPDOWN) shell::showInputPanel(false);
  repaintTaskBar();
  return TRUE;
}

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD) {
  if (!info || !IsWindow(hwnd)) return FALSE;
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    info->hwndLastFocus = focus && IsChild(hwnd, focus) ? focus : nullptr;
    info->fActive = 0;
    // The panel comes back as this window left it.
    info->fSipUp = sipShown() ? 1 : 0;
    info->fSipOnDeactivation = info->fSipUp;
  } else {
    info->fActive = 1;
    if (info->hwndLastFocus && IsWindow(info->hwndLastFocus) && IsChild(hwnd, info->hwndLastFocus))
      SetFocus(info->hwndLastFocus);
    shell::showInputPanel(info->fSipUp != 0);
  }
  return TRUE;
}

// A window that reached down to the edge of the visible desktop follows it
// when the input panel goes up or down.
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info) {
  if (!info || !IsWindow(hwnd)) return FALSE;
  if (wParam != SPI_SETSIPINFO) return TRUE;
  info->fSipUp = sipShown() ? 1 : 0;
  LONG lowest = wm::screenRect().bottom - wm::kMenuBarHeight;
  RECT r, area = wm::workArea();
  GetWindowRect(hwnd, &r);
  bool top = !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD);
  bool reachedEdge = r.bottom == lowest || r.bottom == lowest - kSipPanelHeight;
  if (top && reachedEdge && r.top < area.bottom && r.bottom != area.bottom)
    MoveWindow(hwnd, r.left, r.top, r.right - r.left, area.bottom - r.top, TRUE);
  return TRUE;
}
