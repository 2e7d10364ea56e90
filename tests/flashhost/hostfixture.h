#pragma once
// A device with the Flash control, the headless screen on a virtual clock,
// and a main window with a holder window for the control.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "flashhost/flashcontrol.h"
#include "flashhost/flashhost.h"
#include "platform/display/display.h"
#include "tests/support/testdevice.h"

namespace hosttest {

constexpr char kFlashClsid[] = "{D27CDB6E-AE6D-11cf-96B8-444553540000}";
// The holder's box in the main window's client area.
constexpr RECT kHolderBox{10, 20, 170, 120};

class HostTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a movie file into "\My Documents" and answers its device path.
  std::u16string writeMovie(const std::string& name, const std::vector<uint8_t>& bytes);
  FlashControl* createFlash(const RECT& position = RECT{0, 0, 160, 100});
  // Lets `ms` of virtual time pass in steps of `step`, handling messages.
  void pass(int ms, int step = 10);
  // A screen pixel at a point of the control's window, as 0xRRGGBB.
  uint32_t pixel(int x, int y);
  int mainPaints() const { return s_mainPaints; }

  TestDevice m_device;
  std::unique_ptr<display::Display> m_display;
  HWND m_main = nullptr;
  HWND m_holder = nullptr;
  std::unique_ptr<FlashHost> m_host;
  FlashControl* m_control = nullptr;  // owned by m_host

 public:
  static int s_mainPaints;
};

}  // namespace hosttest
