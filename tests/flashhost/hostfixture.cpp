#include "tests/flashhost/hostfixture.h"

#include <fstream>

#include "platform/core/windowing.h"
#include "platform/gdi/surface.h"

namespace hosttest {

int HostTest::s_mainPaints = 0;

namespace {

LRESULT mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    ++HostTest::s_mainPaints;
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void registerClass(const char16_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

}  // namespace

void HostTest::SetUp() {
  wm::resetForTests();
  wm::useVirtualClock(true);
  std::string error;
  m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
  ASSERT_TRUE(m_display) << error;
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  registerClass(u"TestMain", mainProc);
  registerClass(u"TestHolder", DefWindowProcW);
  m_main = CreateWindowExW(0, u"TestMain", u"Main", WS_VISIBLE | WS_CLIPCHILDREN, 0, 26, 240, 268, nullptr, nullptr,
                           nullptr, nullptr);
  m_holder = CreateWindowExW(0, u"TestHolder", u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kHolderBox.left,
                             kHolderBox.top, kHolderBox.right - kHolderBox.left, kHolderBox.bottom - kHolderBox.top,
                             m_main, nullptr, nullptr, nullptr);
  ASSERT_TRUE(m_main && m_holder);
  m_host = std::make_unique<FlashHost>(m_main, m_holder, u"OrvelFlash", u"OrvelFlash");
  wm::dispatchPending();
  s_mainPaints = 0;
}

void HostTest::TearDown() {
  m_control = nullptr;
  m_host.reset();  // its sites with it
  if (m_main) DestroyWindow(m_main);
  CoUninitialize();
  m_display.reset();
  wm::resetForTests();
}

std::u16string HostTest::writeMovie(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(m_device.host("My Documents/" + name), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return u"\\My Documents\\" + std::u16string(name.begin(), name.end());
}

FlashControl* HostTest::createFlash(const RECT& position) {
  m_control = m_host->createControl(kFlashClsid, position);
  wm::dispatchPending();
  return m_control;
}

void HostTest::pass(int ms, int step) {
  for (int t = 0; t < ms; t += step) {
    wm::advanceClock(static_cast<std::uint64_t>(step));
    wm::dispatchPending();
  }
  wm::dispatchPending();
}

uint32_t HostTest::pixel(int x, int y) {
  wm::dispatchPending();
  RECT r{};
  GetWindowRect(m_control->controlWindow(), &r);
  return m_display->frame().row(r.top + y)[r.left + x] & 0xFFFFFF;
}

}  // namespace hosttest
