#pragma once
// The emulated handheld itself: a host folder that is the device's "\", with
// the device's identity (ANSI code page, screen size, OS version), its
// registry and a few counters kept in a hidden state folder ".orvel" at its
// root, which device paths can never reach.
//
// One device is current per process (`currentDevice`); every platform call
// that touches files, the registry or code pages goes through it. A device is
// made on first use, or beforehand by the `device` tool.

#include <filesystem>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

// What a device is made with; kept in the device and read back on every open.
struct DeviceConfig {
  UINT ansiCodePage = 1252;
  int screenWidth = 240;
  int screenHeight = 320;
  DWORD osMajor = 4;  // Windows CE 4.20 (Pocket PC 2003)
  DWORD osMinor = 20;
  DWORD osBuild = 1081;
  // A device made for one run and removed after it (a tool's scratch device):
  // its registry is still written whole and renamed into place, but never
  // waited for on the disk. Not kept in the device's own settings.
  bool scratch = false;
  // Whether a new device gets the build's programs (its built-in servers,
  // the Flash control among them, and the browser). A tool that only draws
  // skins goes without them, and without copying them when its device lies
  // on another file system than the build. Not kept either.
  bool installPrograms = true;
};

class RegistryStore;

class Device {
 public:
  // Opens the device in `folder`, making it (with `DeviceConfig{}`) when the
  // folder is missing or empty. A non-empty folder that is not a device is
  // refused, so a mistyped --device never litters a host folder.
  static std::unique_ptr<Device> open(const std::filesystem::path& folder, std::string& error);
  // Makes a new device in `folder`, which must be missing or empty.
  static std::unique_ptr<Device> create(const std::filesystem::path& folder, const DeviceConfig& config,
                                        std::string& error);
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // The canonical host folder that is "\".
  const std::filesystem::path& root() const { return m_root; }
  // An O_PATH descriptor of the root (or -1), for lookups the kernel keeps beneath it.
  int rootDescriptor() const { return m_rootDescriptor; }
  // The hidden folder of the device's own files (config, registry, counters).
  std::filesystem::path stateFolder() const { return m_root / kStateFolderName; }
  const DeviceConfig& config() const { return m_config; }
  UINT ansiCodePage() const { return m_config.ansiCodePage; }

  // Inserts a host folder as "\Storage Card" (replacing any card inserted
  // before). Answers false with a message when the folder is not a folder or
  // the insertion cannot be recorded. The card is recorded in the device, so
  // every process of the device reaches the same card.
  bool insertStorageCard(const std::filesystem::path& hostFolder, std::string& error);
  void removeStorageCard();
  // The canonical host folder of the card, empty when none is inserted.
  std::filesystem::path storageCard() const;

  // Maps a device path to the host path it names (existing or not): 0, or
  // the error code the file calls answer (ERROR_ACCESS_DENIED for a path
  // that would leave the device, ERROR_PATH_NOT_FOUND for a missing folder
  // on the way, ERROR_INVALID_NAME).
  DWORD hostPathOf(std::u16string_view devicePath, std::filesystem::path& hostPath) const;

  RegistryStore& registry() { return *m_registry; }

  // SystemIdleTimerReset's counter, shared by every process of the device.
  void resetIdleTimer();
  DWORD idleTimerResets() const;

  static constexpr const char* kStateFolderName = ".orvel";
  static constexpr std::u16string_view kStorageCardName = u"Storage Card";

 private:
  Device(std::filesystem::path root, const DeviceConfig& config);

  std::filesystem::path m_root;
  int m_rootDescriptor;
  // The card as last read from its record, and the record's identity then.
  struct CardCache {
    std::filesystem::path folder;
    std::uint64_t stamp[3] = {};  // inode, size, modification time
  };
  mutable std::mutex m_cardLock;
  mutable CardCache m_card;
  DeviceConfig m_config;
  std::unique_ptr<RegistryStore> m_registry;
};

// Parses and formats the config file's lines ("acp=1252", "screen=240x320",
// "version=4.20.1081"); the device tool shares them for its options.
bool parseScreenSize(std::string_view text, int& width, int& height);
bool parseOsVersion(std::string_view text, DeviceConfig& config);
// True for a code page the device can convert (see winnls.h).
bool isSupportedAnsiCodePage(UINT codePage);

// The device folder used when none is named: ORVELFLASH_DEVICE, else
// $XDG_DATA_HOME/OrvelFlash/device (~/.local/share when XDG_DATA_HOME is unset).
std::filesystem::path defaultDeviceFolder();

// The process's current device. On first use without one set, the default
// device is opened (and made when missing); null when that fails, after a
// message on standard error, and the platform calls then fail cleanly.
Device* currentDevice();
// The current device if one is open, without opening the default one.
Device* openedDevice();
// Makes `device` current and answers the one it replaces (tests restore it).
std::unique_ptr<Device> exchangeCurrentDevice(std::unique_ptr<Device> device);

// Takes the device options out of a program's arguments and makes the
// current device: "--device DIR" (else the default folder) and "--card DIR".
// Answers false with a message in `error` when the device cannot be opened.
bool startDevice(int& argc, char** argv, std::string& error);
