// device create DIR [--acp N] [--screen WxH] [--version M.m[.b]]
// device info DIR
// device reg DIR
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/core/device.h"
#include "platform/core/mmsystem.h"
#include "platform/core/registry.h"

namespace {

constexpr const char* kUsage =
    "usage: device create DIR [--acp N] [--screen WxH] [--version M.m[.b]]\n"
    "       device info DIR\n"
    "       device reg DIR\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int failed(const std::string& message) {
  std::fprintf(stderr, "device: %s\n", message.c_str());
  return 1;
}

bool parseOptions(int argc, char** argv, DeviceConfig& config, std::string& error) {
  for (int i = 3; i < argc; ++i) {
    std::string_view option = argv[i];
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return false;
    }
    std::string_view value = argv[++i];
    bool ok = false;
    if (option == "--acp") {
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), config.ansiCodePage);
      ok = ec == std::errc() && end == value.data() + value.size() && isSupportedAnsiCodePage(config.ansiCodePage);
    } else if (option == "--screen") {
      ok = parseScreenSize(value, config.screenWidth, config.screenHeight);
    } else if (option == "--version") {
      ok = parseOsVersion(value, config);
    } else {
      error = "unknown option " + std::string(option);
      return false;
    }
    if (!ok) {
      error = "not a valid value for " + std::string(option) + ": " + std::string(value);
      return false;
    }
  }
  return true;
}

int create(int argc, char** argv) {
  DeviceConfig config;
  std::string error;
  if (!parseOptions(argc, argv, config, error)) return failed(error);
  auto device = Device::create(argv[2], config, error);
  if (!device) return failed(error);
  std::printf("device: made %s\n", device->root().c_str());
  return 0;
}

// Opens an existing device only: info and reg never make one.
std::unique_ptr<Device> openExisting(const char* folder, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(folder) / Device::kStateFolderName / "device.ini", ec)) {
    error = std::string(folder) + " is not a device";
    return nullptr;
  }
  return Device::open(folder, error);
}

int info(const char* folder) {
  std::string error;
  auto device = openExisting(folder, error);
  if (!device) return failed(error);
  const DeviceConfig& c = device->config();
  Device* raw = device.get();
  exchangeCurrentDevice(std::move(device));
  DWORD volume = 0;
  waveOutGetVolume(nullptr, &volume);
  std::printf("folder: %s\n", raw->root().c_str());
  std::printf("ansi code page: %u\n", c.ansiCodePage);
  std::printf("screen: %dx%d\n", c.screenWidth, c.screenHeight);
  std::printf("version: Windows CE %u.%02u build %u\n", c.osMajor, c.osMinor, c.osBuild);
  std::printf("wave volume: 0x%08X\n", volume);
  std::printf("idle timer resets: %u\n", raw->idleTimerResets());
  std::printf("registry: %s\n", raw->registry().file().c_str());
  return 0;
}

int reg(const char* folder) {
  std::string error;
  auto device = openExisting(folder, error);
  if (!device) return failed(error);
  std::string text;
  device->registry().read([&](const RegTree& tree) -> LONG {
    text = formatRegistry(tree);
    return ERROR_SUCCESS;
  });
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string_view command = argv[1];
  if (command == "create") return create(argc, argv);
  if (argc != 3) return usage();
  if (command == "info") return info(argv[2]);
  if (command == "reg") return reg(argv[2]);
  return usage();
}
