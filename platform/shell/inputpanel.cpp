// The input panel: a small on-screen keyboard above the menu bar. Raising it
// shrinks the work area and tells every window (WM_SETTINGCHANGE with
// SPI_SETSIPINFO); its key taps reach the focused window as key strokes, so the
// window's loop turns them into WM_CHAR as it does for any keyboard.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"
#include "platform/gdi/wingdi.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "platform/shell/shellimpl.h"

namespace shell::detail {
namespace {

constexpr const char16_t* kPanelClass = u"SipWndClass";
constexpr int kHalfKey = 8;  // key widths are counted in half keys; a letter is two
constexpr int kKeyHeight = kSipPanelHeight / 5;
constexpr COLORREF kPanelFace = RGB(198, 198, 198);
constexpr COLORREF kKeyFace = RGB(255, 255, 255);
constexpr COLORREF kKeyEdge = RGB(120, 120, 120);

// The panel's own keys; character keys carry their two faces.
enum class Special { None, Shift, Control, Caps };
struct Key {
  int vk;
  char16_t plain;
  char16_t shifted;
  int halves;
  const char16_t* label = nullptr;  // for keys that are not characters
  Special special = Special::None;
};

int vkForChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - u'a' + 'A';
  if (c >= u'0' && c <= u'9') return c;
  struct Oem {
    char16_t c;
    int vk;
  };
  static constexpr Oem kOem[] = {{u';', 0xBA}, {u'=', 0xBB}, {u',', 0xBC},  {u'-', 0xBD}, {u'.', 0xBE}, {u'/', 0xBF},
                                 {u'`', 0xC0}, {u'[', 0xDB}, {u'\\', 0xDC}, {u']', 0xDD}, {u'\'', 0xDE}};
  for (const Oem& o : kOem)
    if (o.c == c) return o.vk;
  return 0;
}

void addCharacters(std::vector<Key>& row, std::u16string_view plain, std::u16string_view shifted) {
  for (size_t i = 0; i < plain.size(); ++i) row.push_back(Key{vkForChar(plain[i]), plain[i], shifted[i], 2});
}

Key command(int vk, const char16_t* label, int halves, Special special = Special::None) {
  return Key{vk, 0, 0, halves, label, special};
}

// Five rows of thirty half keys each: the layout of the device's small keyboard.
const std::vector<std::vector<Key>>& keyRows() {
  static const std::vector<std::vector<Key>> rows = [] {
    std::vector<std::vector<Key>> r(5);
    addCharacters(r[0], u"`1234567890-=", u"~!@#$%^&*()_+");
    r[0].push_back(command(VK_BACK, u"Bksp", 4));
    r[1].push_back(command(VK_TAB, u"Tab", 3));
    addCharacters(r[1], u"qwertyuiop[]", u"QWERTYUIOP{}");
    addCharacters(r[1], u"\\", u"|");
    r[1].back().halves = 3;
    r[2].push_back(command(VK_CAPITAL, u"CAP", 4, Special::Caps));
    addCharacters(r[2], u"asdfghjkl;'", u"ASDFGHJKL:\"");
    r[2].push_back(command(VK_RETURN, u"Enter", 4));
    r[3].push_back(command(VK_SHIFT, u"Shift", 5, Special::Shift));
    addCharacters(r[3], u"zxcvbnm,./", u"ZXCVBNM<>?");
    r[3].push_back(command(VK_SHIFT, u"Shift", 5, Special::Shift));
    r[4].push_back(command(VK_CONTROL, u"Ctl", 3, Special::Control));
    r[4].push_back(command(VK_ESCAPE, u"Esc", 3));
    r[4].push_back(command(VK_SPACE, u"", 16));
    for (int vk : {VK_LEFT, VK_UP, VK_DOWN, VK_RIGHT}) r[4].push_back(command(vk, u"", 2));
    return r;
  }();
  return rows;
}

struct PanelState {
  HWND window = nullptr;
  bool shown = false;
  bool shift = false;    // one-shot: the next key only
  bool control = false;  // one-shot too
  bool caps = false;
  const Key* pressed = nullptr;
};
PanelState& panel() {
  static PanelState s;
  return s;
}

RECT keyRect(int row, int firstHalf, const Key& k) {
  int left = (wm::screenSize().cx - 30 * kHalfKey) / 2;
  return RECT{left + firstHalf * kHalfKey, row * kKeyHeight, left + (firstHalf + k.halves) * kHalfKey,
              (row + 1) * kKeyHeight};
}

template <typename Visit>
void forEachKey(Visit visit) {
  const auto& rows = keyRows();
  for (size_t row = 0; row < rows.size(); ++row) {
    int half = 0;
    for (const Key& k : rows[row]) {
      visit(k, keyRect(static_cast<int>(row), half, k));
      half += k.halves;
    }
  }
}

const Key* keyAt(POINT p) {
  const Key* found = nullptr;
  forEachKey([&](const Key& k, const RECT& r) {
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) found = &k;
  });
  return found;
}

bool latched(const Key& k) {
  const PanelState& s = panel();
  return (k.special == Special::Shift && s.shift) || (k.special == Special::Control && s.control) ||
         (k.special == Special::Caps && s.caps);
}

// A face smaller than the shell's, so that descenders fit the short keys.
HFONT keyFont() {
  static HFONT font = [] {
    LOGFONTW lf{};
    lf.lfHeight = -10;
    lf.lfWeight = FW_NORMAL;
    std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
  }();
  return font;
}

// The arrow keys show small solid triangles rather than letters.
bool drawArrow(HDC dc, int vk, const RECT& face, COLORREF ink) {
  int cx = (face.left + face.right) / 2, cy = (face.top + face.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    switch (vk) {
      case VK_LEFT:
        fillSolid(dc, RECT{cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1}, ink);
        break;
      case VK_RIGHT:
        fillSolid(dc, RECT{cx + 1 - i, cy - i, cx + 2 - i, cy + i + 1}, ink);
        break;
      case VK_UP:
        fillSolid(dc, RECT{cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i}, ink);
        break;
      case VK_DOWN:
        fillSolid(dc, RECT{cx - i, cy + 1 - i, cx + i + 1, cy + 2 - i}, ink);
        break;
      default:
        return false;
    }
  }
  return true;
}

std::u16string faceOf(const Key& k) {
  if (k.label) return k.label;
  bool upper = panel().shift != (panel().caps && k.plain >= u'a' && k.plain <= u'z');
  return std::u16string(1, upper ? k.shifted : k.plain);
}

void paintPanel(HWND hwnd) {
  PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(hwnd, &r);
  fillSolid(dc, r, kPanelFace);
  fillSolid(dc, RECT{r.left, r.top, r.right, r.top + 1}, kKeyEdge);
  SelectedObject font(dc, keyFont());
  SetBkMode(dc, TRANSPARENT);
  forEachKey([&](const Key& k, const RECT& kr) {
    RECT face{kr.left + 1, kr.top + 2, kr.right - 1, kr.bottom - 1};
    bool down = &k == panel().pressed || latched(k);
    fillSolid(dc, face, down ? kSelect : kKeyFace);
    frameSolid(dc, face, kKeyEdge);
    COLORREF ink = down ? kBarText : kInk;
    if (drawArrow(dc, k.vk, face, ink)) return;
    std::u16string label = faceOf(k);
    RECT inner{face.left, face.top, face.right, face.bottom - 1};
    SetTextColor(dc, ink);
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &inner,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  });
}

// A tap types the key into whatever window has the focus, with the latched
// modifiers held around it.
void typeKey(const Key& k) {
  PanelState& s = panel();
  switch (k.special) {
    case Special::Shift:
      s.shift = !s.shift;
      return;
    case Special::Control:
      s.control = !s.control;
      return;
    case Special::Caps:
      s.caps = !s.caps;
      wm::injectKey(VK_CAPITAL, true);
      wm::injectKey(VK_CAPITAL, false);
      return;
    case Special::None:
      break;
  }
  if (s.shift) wm::injectKey(VK_SHIFT, true);
  if (s.control) wm::injectKey(VK_CONTROL, true);
  wm::injectKey(k.vk, true);
  wm::injectKey(k.vk, false);
  if (s.control) wm::injectKey(VK_CONTROL, false);
  if (s.shift) wm::injectKey(VK_SHIFT, false);
  s.shift = s.control = false;
}

LRESULT panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  switch (message) {
    case WM_PAINT:
      paintPanel(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      // Keys go down under the pen, as on the device.
      if (const Key* k = keyAt(p)) {
        panel().pressed = k;
        typeKey(*k);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
      panel().pressed = nullptr;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      if (panel().window == hwnd) panel() = PanelState{};
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

HWND panelWindow() {
  PanelState& s = panel();
  if (IsWindow(s.window)) return s.window;
  registerClass(kPanelClass, panelProc);
  SIZE screen = wm::screenSize();
  s.window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPanelClass, u"", WS_POPUP, 0,
                             screen.cy - wm::kMenuBarHeight - kSipPanelHeight, screen.cx, kSipPanelHeight, nullptr,
                             nullptr, nullptr, nullptr);
  return s.window;
}

// Every top-level window hears that the visible desktop changed.
void tellWindows() {
  HWND self = panel().window;
  std::vector<HWND> tops;
  for (const auto& w : wm::windowTree())
    if (w.hwnd != self) tops.push_back(w.hwnd);
  for (HWND w : tops)
    if (IsWindow(w)) SendMessageW(w, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
}

}  // namespace

bool sipShown() { return panel().shown && IsWindow(panel().window); }

void forgetSip() {
  if (IsWindow(panel().window)) DestroyWindow(panel().window);
  panel() = PanelState{};
}

}  // namespace shell::detail

namespace shell {

bool inputPanelShown() { return detail::sipShown(); }

bool showInputPanel(bool up) {
  using namespace detail;
  if (up == sipShown()) return true;
  HWND w = panelWindow();
  if (!w) return false;
  panel().shown = up;
  panel().pressed = nullptr;
  ShowWindow(w, up ? SW_SHOWNA : SW_HIDE);
  updateWorkArea();
  repaintMenuBars();
  tellWindows();
  return true;
}

}  // namespace shell
