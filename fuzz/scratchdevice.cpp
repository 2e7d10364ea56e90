#include "fuzz/scratchdevice.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/core/device.h"

namespace {

class ScratchDevice {
 public:
  ScratchDevice() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvel-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    m_folder = pattern;
    std::string error;
    auto device = Device::create(m_folder / "device", DeviceConfig{}, error);
    if (!device) std::abort();
    m_device = device.get();
    m_previous = exchangeCurrentDevice(std::move(device));
  }
  ~ScratchDevice() {
    exchangeCurrentDevice(std::move(m_previous));
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  ScratchDevice(const ScratchDevice&) = delete;
  ScratchDevice& operator=(const ScratchDevice&) = delete;

  Device& device() { return *m_device; }

 private:
  std::filesystem::path m_folder;
  Device* m_device = nullptr;  // owned as the current device
  std::unique_ptr<Device> m_previous;
};

ScratchDevice& scratch() {
  static ScratchDevice device;
  return device;
}

}  // namespace

Device& scratchDevice() { return scratch().device(); }

std::filesystem::path scratchHost(std::string_view relative) {
  return scratchDevice().root() / std::filesystem::path(relative);
}

void writeScratchFile(const std::filesystem::path& path, const std::uint8_t* bytes, std::size_t size) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (size) out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  if (!out) std::abort();
}

std::string readScratchFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
