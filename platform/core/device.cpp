#include "platform/core/device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/core/builtins.h"
#include "platform/core/codepagetable.h"
#include "platform/core/devicepath.h"
#include "platform/core/registry.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigFile = "device.ini";
constexpr const char* kIdleTimerFile = "idle-timer";
constexpr const char* kStorageCardFile = "storage-card";
constexpr int kMaxScreenSide = 4096;

// The folders every new device holds.
constexpr const char* kStandardFolders[] = {"My Documents", "Windows", "Program Files", "Temp"};

template <class T>
bool parseNumber(std::string_view text, T& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string formatConfig(const DeviceConfig& c) {
  std::ostringstream out;
  out << "# OrvelFlash device\n"
      << "acp=" << c.ansiCodePage << '\n'
      << "screen=" << c.screenWidth << 'x' << c.screenHeight << '\n'
      << "version=" << c.osMajor << '.' << c.osMinor << '.' << c.osBuild << '\n';
  return out.str();
}

bool parseConfig(const std::string& text, DeviceConfig& config, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    std::string key = line.substr(0, eq), value = eq == std::string::npos ? "" : line.substr(eq + 1);
    bool ok = true;
    if (key == "acp")
      ok = parseNumber(value, config.ansiCodePage) && isSupportedAnsiCodePage(config.ansiCodePage);
    else if (key == "screen")
      ok = parseScreenSize(value, config.screenWidth, config.screenHeight);
    else if (key == "version")
      ok = parseOsVersion(value, config);
    // Unknown keys belong to newer tools: keep going.
    if (!ok) {
      error = "line " + std::to_string(number) + " of the device's " + kConfigFile + " is not valid: " + line;
      return false;
    }
  }
  return true;
}

bool writeFileAtomically(const fs::path& path, const std::string& text) {
  fs::path temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  return !ec;
}

bool isEmptyFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec) && fs::directory_iterator(folder, ec) == fs::directory_iterator();
}

}  // namespace

bool parseScreenSize(std::string_view text, int& width, int& height) {
  size_t x = text.find('x');
  int w, h;
  if (x == std::string_view::npos || !parseNumber(text.substr(0, x), w) || !parseNumber(text.substr(x + 1), h))
    return false;
  if (w <= 0 || h <= 0 || w > kMaxScreenSide || h > kMaxScreenSide) return false;
  width = w;
  height = h;
  return true;
}

bool parseOsVersion(std::string_view text, DeviceConfig& config) {
  DWORD parts[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    size_t dot = text.find('.');
    if (!parseNumber(text.substr(0, dot), parts[count++])) return false;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
    if (count == 3) return false;
  }
  if (count < 2) return false;
  config.osMajor = parts[0];
  config.osMinor = parts[1];
  config.osBuild = parts[2];
  return true;
}

bool isSupportedAnsiCodePage(UINT codePage) {
  // An ANSI code page has characters of at most two bytes.
  const CodePageInfo* info = findCodePage(codePage);
  return info && info->maxCharSize <= 2;
}

Device::Device(fs::path root, const DeviceConfig& config)
    : m_root(std::move(root)),
      m_rootDescriptor(::open(m_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
      m_config(config),
      m_registry(std::make_unique<RegistryStore>(
          stateFolder(), config.scratch ? RegistryStore::Durability::Scratch : RegistryStore::Durability::Flushed)) {}

Device::~Device() {
  if (m_rootDescriptor >= 0) close(m_rootDescriptor);
}

std::unique_ptr<Device> Device::create(const fs::path& folder, const DeviceConfig& config, std::string& error) {
  std::error_code ec;
  if (fs::exists(folder, ec) && !isEmptyFolder(folder)) {
    error = folder.string() + " is not empty: a new device needs a missing or empty folder";
    return nullptr;
  }
  if (!isSupportedAnsiCodePage(config.ansiCodePage)) {
    error = "code page " + std::to_string(config.ansiCodePage) + " cannot be a device's ANSI code page";
    return nullptr;
  }
  int w = config.screenWidth, h = config.screenHeight;
  if (!parseScreenSize(std::to_string(w) + "x" + std::to_string(h), w, h)) {
    error = "the screen size must be between 1 and 4096 pixels on each side";
    return nullptr;
  }
  fs::create_directories(folder / kStateFolderName, ec);
  for (const char* name : kStandardFolders)
    if (!ec) fs::create_directories(folder / name, ec);
  if (ec || !writeFileAtomically(folder / kStateFolderName / kConfigFile, formatConfig(config))) {
    error = "cannot make a device in " + folder.string() + (ec ? ": " + ec.message() : "");
    return nullptr;
  }
  std::unique_ptr<Device> device(new Device(fs::canonical(folder, ec), config));
  if (ec || !device->registry().reset()) {
    error = "cannot write the registry of the new device in " + folder.string();
    return nullptr;
  }
  // A server whose library the build did not make is left off the device, as
  // if it had been removed; its users then find the class missing.
  if (!config.installPrograms) return device;
  std::string missing;
  for (const BuiltinServer& server : builtinServers()) installBuiltinServer(*device, server, missing);
  installBrowser(*device, missing);
  return device;
}

std::unique_ptr<Device> Device::open(const fs::path& folder, std::string& error) {
  std::error_code ec;
  fs::path configFile = folder / kStateFolderName / kConfigFile;
  if (!fs::exists(configFile, ec)) {
    if (!fs::exists(folder, ec) || isEmptyFolder(folder)) return create(folder, DeviceConfig{}, error);
    error = folder.string() + " is not a device (it has no " + kStateFolderName + "/" + kConfigFile +
            "); name a missing or empty folder to make one";
    return nullptr;
  }
  std::ifstream in(configFile, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DeviceConfig config;
  if (!in.good() && !in.eof()) {
    error = "cannot read " + configFile.string();
    return nullptr;
  }
  if (!parseConfig(text, config, error)) {
    error = configFile.string() + ": " + error;
    return nullptr;
  }
  fs::path root = fs::canonical(folder, ec);
  if (ec) {
    error = "cannot open the device in " + folder.string() + ": " + ec.message();
    return nullptr;
  }
  return std::unique_ptr<Device>(new Device(root, config));
}

bool Device::insertStorageCard(const fs::path& hostFolder, std::string& error) {
  std::error_code ec;
  fs::path card = fs::canonical(hostFolder, ec);
  if (ec || !fs::is_directory(card, ec)) {
    error = hostFolder.string() + " is not a folder and cannot be the storage card";
    return false;
  }
  // Written aside and renamed, so that another process reads the old card or the new one.
  fs::path record = stateFolder() / kStorageCardFile;
  fs::path written = record;
  written += ".new" + std::to_string(::getpid());
  {
    std::ofstream out(written, std::ios::binary | std::ios::trunc);
    out << card.string() << '\n';
    out.flush();
    if (!out) {
      fs::remove(written, ec);
      error = "cannot record the storage card in " + stateFolder().string();
      return false;
    }
  }
  fs::rename(written, record, ec);
  if (ec) {
    fs::remove(written, ec);
    error = "cannot record the storage card in " + stateFolder().string();
    return false;
  }
  return true;
}

void Device::removeStorageCard() {
  std::error_code ec;
  fs::remove(stateFolder() / kStorageCardFile, ec);
}

fs::path Device::storageCard() const {
  fs::path record = stateFolder() / kStorageCardFile;
  struct stat info {};
  std::lock_guard guard(m_cardLock);
  if (::stat(record.c_str(), &info) != 0) {
    m_card = CardCache{};
    return {};
  }
  std::uint64_t stamp[3] = {
      static_cast<std::uint64_t>(info.st_ino), static_cast<std::uint64_t>(info.st_size),
      static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u + static_cast<std::uint64_t>(info.st_mtim.tv_nsec)};
  if (std::equal(std::begin(stamp), std::end(stamp), std::begin(m_card.stamp)) && !m_card.folder.empty())
    return m_card.folder;
  std::ifstream in(record, std::ios::binary);
  std::string line;
  std::getline(in, line);
  m_card.folder = line;
  std::copy(std::begin(stamp), std::end(stamp), std::begin(m_card.stamp));
  return m_card.folder;
}

DWORD Device::hostPathOf(std::u16string_view devicePath, fs::path& hostPath) const {
  ResolvedPath resolved;
  DWORD status = resolveDevicePath(*this, devicePath, resolved);
  if (status == ERROR_SUCCESS) hostPath = resolved.host;
  return status;
}

namespace {

// Runs `update` on the counter file under its lock, answering the new value.
DWORD updateCounter(const fs::path& file, DWORD add) {
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  flock(fd, add ? LOCK_EX : LOCK_SH);
  char buffer[32] = {};
  ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  DWORD value = 0;
  if (n > 0) std::from_chars(buffer, buffer + n, value);
  if (add) {
    value += add;
    std::string text = std::to_string(value) + "\n";
    if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
      (void)::ftruncate(fd, static_cast<off_t>(text.size()));
  }
  flock(fd, LOCK_UN);
  ::close(fd);
  return value;
}

}  // namespace

void Device::resetIdleTimer() { updateCounter(stateFolder() / kIdleTimerFile, 1); }
DWORD Device::idleTimerResets() const { return updateCounter(stateFolder() / kIdleTimerFile, 0); }

fs::path defaultDeviceFolder() {
  if (const char* named = std::getenv("ORVELFLASH_DEVICE"); named && *named) return named;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "OrvelFlash" / "device";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".local" / "share" / "OrvelFlash" / "device";
}

namespace {

struct CurrentDevice {
  std::mutex mutex;
  std::unique_ptr<Device> device;
  bool settled = false;  // set once the default was tried or a device was given
};

CurrentDevice& current() {
  static CurrentDevice state;
  return state;
}

}  // namespace

Device* currentDevice() {
  CurrentDevice& state = current();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (!state.device && !state.settled) {
    state.settled = true;
    std::string error;
    state.device = Device::open(defaultDeviceFolder(), error);
    if (!state.device) std::fprintf(stderr, "OrvelFlash: no device: %s\n", error.c_str());
  }
  return state.device.get();
}

Device* openedDevice() {
  CurrentDevice& state = current();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.device.get();
}

std::unique_ptr<Device> exchangeCurrentDevice(std::unique_ptr<Device> device) {
  CurrentDevice& state = current();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.settled = true;
  std::swap(state.device, device);
  return device;
}

bool startDevice(int& argc, char** argv, std::string& error) {
  fs::path folder = defaultDeviceFolder(), card;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    fs::path* target = arg == "--device" ? &folder : arg == "--card" ? &card : nullptr;
    if (!target) {
      argv[kept++] = argv[i];
      continue;
    }
    if (i + 1 >= argc) {
      error = std::string(arg) + " needs a folder";
      return false;
    }
    *target = argv[++i];
  }
  argc = kept;
  argv[argc] = nullptr;
  std::unique_ptr<Device> device = Device::open(folder, error);
  if (!device) return false;
  if (!card.empty() && !device->insertStorageCard(card, error)) return false;
  exchangeCurrentDevice(std::move(device));
  return true;
}
