// device create DIR [--acp N] [--screen WxH] [--version M.m[.b]]
// device info DIR
// device reg DIR
// device install DIR [--folder F] [--setup NAME] [FILE...]
// device uninstall DIR [--name NAME]
// device open DIR FILE [--wait] [-- PROGRAM-OPTIONS...]
// device flash DIR remove|add
// device browser DIR
// device --help

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <fstream>
#include <vector>

#include "platform/core/guards.h"
#include "platform/flash/server/flashregistration.h"
#include "platform/core/device.h"
#include "platform/core/handles.h"
#include "platform/core/mmsystem.h"
#include "platform/core/registry.h"
#include "platform/core/shellapi.h"
#include "platform/core/utf8.h"
#include "platform/installer/installer.h"

namespace {

constexpr const char* kUsage =
    "usage: device create DIR [--acp N] [--screen WxH] [--version M.m[.b]]\n"
    "       device info DIR\n"
    "       device reg DIR\n"
    "       device install DIR [--folder F] [--setup NAME] [FILE...]\n"
    "       device uninstall DIR [--name NAME]\n"
    "       device open DIR FILE [--wait] [-- PROGRAM-OPTIONS...]\n"
    "       device flash DIR remove|add\n"
    "       device browser DIR\n"
    "       device --help\n";

constexpr const char* kHelp =
    "Makes and inspects the emulated handheld: a device is a host folder DIR that is the device's \"\\\".\n"
    "\n"
    "  create DIR     makes a device in a missing or empty folder; --acp N its ANSI code page\n"
    "                 (default 1252), --screen WxH its screen (240x320), --version M.m[.b] its\n"
    "                 Windows CE version (4.20.1081)\n"
    "  info DIR       prints the device's code page, screen, version, wave volume and idle-timer count\n"
    "  reg DIR        prints the device's registry\n"
    "  install DIR    installs the player as this build made it (or the FILEs given) into\n"
    "                 \\Program Files\\OrvelFlash (or --folder F), calling the setup library (--setup NAME)\n"
    "                 around the copies; files already there with the same bytes are left alone, and\n"
    "                 nothing is installed over a program that is running (exit code 3)\n"
    "  uninstall DIR  removes the player (or the application --name NAME); the .swf registration stays\n"
    "  open DIR FILE  opens a device file as a tap in the file explorer does: the program registered\n"
    "                 for its type starts with it; --wait waits for it and answers its exit code;\n"
    "                 options after -- go to that program (such as --headless)\n"
    "  flash DIR remove|add\n"
    "                 takes the Flash control off the device or puts it back\n"
    "  browser DIR    puts this build's page browser on the device and registers it for .htm and .html\n"
    "\n"
    "Every command but create needs DIR to be a device already.\n";

// Exit code of an install refused because a program to be replaced is running.
constexpr int kProgramRunning = 3;

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
  if (!flashControlInstalled(*device)) {
    std::string why;
    installFlashControl(*device, why);
    std::fprintf(stderr, "device: warning: the device has no Flash control (%s)\n", why.c_str());
  }
  if (!browserInstalled(*device)) {
    std::string why;
    installBrowser(*device, why);
    std::fprintf(stderr, "device: warning: the device has no browser (%s)\n", why.c_str());
  }
  return 0;
}

// Opens an existing device only: info and reg never make one.
std::unique_ptr<Device> openExisting(const char* folder, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(folder) / Device::kStateFolderName / "device.ini", ec)) {
    error = std::string(folder) + " is not a device (device create " + folder + " makes one)";
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

// Makes the device in `folder` current; a folder that is not a device yet
// (a mistyped path, say) is refused rather than made into one.
bool useDevice(const char* folder, std::string& error) {
  auto device = openExisting(folder, error);
  if (!device) return false;
  exchangeCurrentDevice(std::move(device));
  return true;
}

// The player's files as the build lists them, one host path a line.
std::vector<std::filesystem::path> playerPackage(std::string& error) {
  std::vector<std::filesystem::path> files;
  std::ifstream list(ORVEL_PLAYER_PACKAGE);
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) files.emplace_back(line);
  std::string missing;
  for (const char* name : {"OrvelFlash.exe", "OrvelFlashSetup.dll", "help.htm", "default.zskn"}) {
    bool found = false;
    for (const auto& file : files) found = found || file.filename() == name;
    if (!found) missing += std::string(missing.empty() ? "" : ", ") + name;
  }
  if (!missing.empty()) error = "the build has not made all of the player's files yet (missing: " + missing + ")";
  return files;
}

bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::file_size(a, ec) != std::filesystem::file_size(b, ec) || ec) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::istreambuf_iterator<char> end;
  return x && y && std::equal(std::istreambuf_iterator<char>(x), end, std::istreambuf_iterator<char>(y), end);
}

// Where the package's files go on the host, in their order.
std::vector<std::filesystem::path> installedCopies(const std::vector<std::filesystem::path>& files,
                                                   const std::u16string& folder) {
  std::vector<std::filesystem::path> copies;
  for (const auto& file : files) {
    std::filesystem::path installed;
    currentDevice()->hostPathOf(folder + u"\\" + fromUtf8(file.filename().string()), installed);
    copies.push_back(installed);
  }
  return copies;
}

// Whether any file of the package is missing on the device or differs from the one there.
bool packageChanged(const std::vector<std::filesystem::path>& files, const std::u16string& folder) {
  std::vector<std::filesystem::path> copies = installedCopies(files, folder);
  for (size_t i = 0; i < files.size(); ++i)
    if (copies[i].empty() || !sameBytes(files[i], copies[i])) return true;
  return false;
}

// A program file being run cannot be written: replacing it would fail halfway.
bool runningProgram(const std::filesystem::path& installed) {
  int fd = ::open(installed.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd >= 0) ::close(fd);
  return fd < 0 && errno == ETXTBSY;
}

// device install DIR [--folder F] [--setup NAME] [FILE...]: without files,
// the player as this build made it.
int install(int argc, char** argv) {
  InstallPackage package;
  package.setupLibrary = u"OrvelFlashSetup.dll";
  std::u16string folder(kDefaultInstallFolder);
  for (int i = 3; i < argc; ++i) {
    std::string_view arg = argv[i];
    if ((arg == "--folder" || arg == "--setup") && i + 1 < argc) {
      (arg == "--folder" ? folder : package.setupLibrary) = fromUtf8(argv[++i]);
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      package.files.emplace_back(argv[i]);
    }
  }
  std::string error;
  if (package.files.empty()) {
    package.files = playerPackage(error);
    if (!error.empty()) return failed(error);
  }
  bool hasSetup = false;
  for (const auto& file : package.files)
    hasSetup = hasSetup || fromUtf8(file.filename().string()) == package.setupLibrary;
  if (!hasSetup) package.setupLibrary.clear();
  if (!useDevice(argv[2], error)) return failed(error);
  if (!packageChanged(package.files, folder)) {
    std::printf("device: %s in %s is up to date\n", toUtf8(package.name).c_str(), toUtf8(folder).c_str());
    return 0;
  }
  // The installer copies every file of the package, changed or not.
  for (const auto& file : installedCopies(package.files, folder)) {
    if (!runningProgram(file)) continue;
    std::fprintf(stderr,
                 "device: %s is running on the device: nothing installed (the new build goes on when it ends)\n",
                 file.filename().c_str());
    return kProgramRunning;
  }
  if (!installApplication(package, folder, error)) return failed("not installed: " + error);
  std::printf("device: installed %s into %s\n", toUtf8(package.name).c_str(), toUtf8(folder).c_str());
  return 0;
}

int uninstall(int argc, char** argv) {
  std::u16string name(kDefaultApplicationName);
  if (argc == 5 && std::string_view(argv[3]) == "--name")
    name = fromUtf8(argv[4]);
  else if (argc != 3)
    return usage();
  std::string error;
  if (!useDevice(argv[2], error)) return failed(error);
  if (!uninstallApplication(name, error)) return failed("not removed: " + error);
  std::printf("device: removed %s\n", toUtf8(name).c_str());
  return 0;
}

// device open DIR FILE: what tapping FILE in the device's file explorer does.
int openFile(int argc, char** argv) {
  if (argc < 4) return usage();
  bool wait = false;
  std::vector<std::string> programOptions;
  for (int i = 4; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--wait") {
      wait = true;
    } else if (arg == "--") {
      programOptions.assign(argv + i + 1, argv + argc);
      break;
    } else {
      return usage();
    }
  }
  std::string error;
  if (!useDevice(argv[2], error)) return failed(error);
  setProgramHostOptions(programOptions);
  std::u16string file = fromUtf8(argv[3]);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = wait ? SEE_MASK_NOCLOSEPROCESS : 0;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  if (!ShellExecuteEx(&info)) {
    DWORD code = GetLastError();
    if (code == static_cast<DWORD>(ERROR_NO_ASSOCIATION)) return failed("no program opens " + std::string(argv[3]));
    if (code == static_cast<DWORD>(ERROR_FILE_NOT_FOUND))
      return failed(std::string(argv[3]) + " or the program that opens it is missing");
    return failed("cannot open " + std::string(argv[3]) + " (device error " + std::to_string(code) + ")");
  }
  if (!wait) return 0;
  HandleGuard process(info.hProcess);
  DWORD exitCode = 0;
  WaitForSingleObject(process.get(), INFINITE);
  GetExitCodeProcess(process.get(), &exitCode);
  return static_cast<int>(exitCode);
}

// Takes the Flash control off the device or puts it back.
int flash(const char* folder, std::string_view action) {
  if (action != "remove" && action != "add") return usage();
  std::string error;
  auto device = openExisting(folder, error);
  if (!device) return failed(error);
  bool ok = action == "add" ? installFlashControl(*device, error) : removeFlashControl(*device, error);
  if (!ok) return failed(error);
  std::printf("device: Flash control %s\n", action == "add" ? "registered" : "removed");
  return 0;
}

// Puts this build's browser on the device and registers it for pages.
int refreshBrowser(const char* folder) {
  std::string error;
  auto device = openExisting(folder, error);
  if (!device) return failed(error);
  if (!installBrowser(*device, error)) return failed(error);
  std::printf("device: browser registered for .htm and .html\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    std::fputs("\n", stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc < 3) return usage();
  std::string_view command = argv[1];
  if (command == "create") return create(argc, argv);
  if (command == "install") return install(argc, argv);
  if (command == "uninstall") return uninstall(argc, argv);
  if (command == "open") return openFile(argc, argv);
  if (command == "flash" && argc == 4) return flash(argv[2], argv[3]);
  if (argc != 3) return usage();
  if (command == "info") return info(argv[2]);
  if (command == "reg") return reg(argv[2]);
  if (command == "browser") return refreshBrowser(argv[2]);
  return usage();
}
