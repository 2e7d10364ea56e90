#include "tests/platform/windows/recorder.h"

#include <map>

Recorder* Recorder::current = nullptr;

namespace {

LRESULT recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Recorder* r = Recorder::current;
  if (r) r->log.push_back(Received{hwnd, message, wParam, lParam});
  if (message == WM_PAINT && r && r->validateOnPaint) {
    ValidateRect(hwnd, nullptr);
    return 0;
  }
  if (message == WM_PAINT) return 0;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

Recorder::Recorder() {
  wm::resetForTests();
  current = this;
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = u"Recorder";
  RegisterClassW(&wc);
}

Recorder::~Recorder() {
  wm::resetForTests();
  current = nullptr;
}

HWND Recorder::create(LPCWSTR title, DWORD style, int x, int y, int w, int h, HWND parent, void* param) {
  return CreateWindowExW(0, u"Recorder", title, style, x, y, w, h, parent, nullptr, nullptr, param);
}

std::vector<UINT> Recorder::messagesFor(HWND hwnd) const {
  std::vector<UINT> out;
  for (const auto& m : log)
    if (m.hwnd == hwnd) out.push_back(m.message);
  return out;
}

std::string nameOf(UINT message) {
  static const std::map<UINT, std::string> names = {
      {WM_CREATE, "CREATE"},
      {WM_DESTROY, "DESTROY"},
      {WM_MOVE, "MOVE"},
      {WM_SIZE, "SIZE"},
      {WM_ACTIVATE, "ACTIVATE"},
      {WM_SETFOCUS, "SETFOCUS"},
      {WM_KILLFOCUS, "KILLFOCUS"},
      {WM_PAINT, "PAINT"},
      {WM_SHOWWINDOW, "SHOWWINDOW"},
      {WM_ERASEBKGND, "ERASEBKGND"},
      {WM_TIMER, "TIMER"},
      {WM_KEYDOWN, "KEYDOWN"},
      {WM_KEYUP, "KEYUP"},
      {WM_CHAR, "CHAR"},
      {WM_LBUTTONDOWN, "LBUTTONDOWN"},
      {WM_LBUTTONUP, "LBUTTONUP"},
      {WM_MOUSEMOVE, "MOUSEMOVE"},
      {WM_USER, "USER"},
      {WM_SETTEXT, "SETTEXT"},
      {WM_GETTEXT, "GETTEXT"},
      {WM_GETTEXTLENGTH, "GETTEXTLENGTH"},
      {WM_ENABLE, "ENABLE"},
  };
  auto it = names.find(message);
  return it == names.end() ? std::to_string(message) : it->second;
}
