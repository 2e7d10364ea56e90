#include "tests/support/testdevice.h"

#include <stdexcept>
#include <string>

TestDevice::TestDevice(const DeviceConfig& config) {
  std::string error;
  auto device = Device::create(m_folder.path() / "device", config, error);
  if (!device) throw std::runtime_error("cannot make a test device: " + error);
  m_device = device.get();
  m_previous = exchangeCurrentDevice(std::move(device));
}

TestDevice::~TestDevice() { exchangeCurrentDevice(std::move(m_previous)); }
