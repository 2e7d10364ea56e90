#pragma once
// A fresh device in a temporary folder, current for the life of the object;
// the device that was current before is put back afterwards.
//
//   TestDevice device;                       // 1252, 240 x 320, CE 4.20
//   writeHostFile(device.host("My Documents/a.swf"), "FWS...");
//   HANDLE h = CreateFileW(u"\\My Documents\\a.swf", GENERIC_READ, ...);

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/core/device.h"
#include "tests/support/tempdir.h"

class TestDevice {
 public:
  explicit TestDevice(const DeviceConfig& config = DeviceConfig{});
  ~TestDevice();
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  Device& device() { return *m_device; }
  // The host folder that is "\".
  const std::filesystem::path& root() const { return m_device->root(); }
  // The host path of a path below the root, given with '/' and exact case.
  std::filesystem::path host(std::string_view relative) const { return root() / std::filesystem::path(relative); }
  // A host folder beside the device (for cards and files outside the device).
  std::filesystem::path outside(std::string_view name) const { return m_folder.path() / std::filesystem::path(name); }

 private:
  TempDir m_folder;
  Device* m_device = nullptr;
  std::unique_ptr<Device> m_previous;
};
