// The host's entry into the device: takes the device and screen options,
// opens the device's screen, registers the player's resources and hands the
// rest of the command line to the player's WinMain. A movie named by a host
// path is checked here, before the device runs, and reached through the
// storage card.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/player.h"
#include "flashhost/flashcontrol.h"
#include "playlist/playlistmanager.h"
#include "platform/display/script.h"
#include "platform/core/device.h"
#include "platform/core/utf8.h"
#include "platform/display/display.h"
#include "resources/playerresources.h"

namespace {

constexpr const char* kUsage =
    "usage: OrvelFlash [--device DIR] [--card DIR] [screen options] [MOVIE]\n"
    "  MOVIE              a device path (\\My Documents\\a.swf) or a file of this computer\n"
    "  --device DIR       the device folder (default: $XDG_DATA_HOME/OrvelFlash/device)\n"
    "  --card DIR         a folder of this computer inserted as \\Storage Card\n";

constexpr size_t kSignatureBytes = 3;

// What is wrong with a host file given as the movie, or "" when it can be played.
std::string hostMovieFault(const std::filesystem::path& host) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status status = fs::status(host, ec);
  if (!fs::exists(status)) return host.string() + ": no such file";
  if (fs::is_directory(status)) return host.string() + " is a folder, not a movie";
  if (!fs::is_regular_file(status)) return host.string() + " is not a file";
  std::ifstream in(host, std::ios::binary);
  if (!in) return host.string() + ": cannot be read";
  char signature[kSignatureBytes] = {};
  in.read(signature, kSignatureBytes);
  if (in.gcount() == 0) return host.string() + " is empty";
  std::string_view start(signature, static_cast<size_t>(in.gcount()));
  if (start != "FWS" && start != "CWS" && start != "ZWS")
    return host.string() + " is not a Flash movie (it does not start with \"FWS\", \"CWS\" or \"ZWS\")";
  return {};
}

// A host file becomes a file of the storage card, which the device records
// so that a running player reached by the hand-over finds it too. A device
// path (starting with a backslash, or naming no host file but holding one)
// is left to the device. Answers false with `error` for a host file that
// cannot be a movie.
bool deviceMoviePath(const std::string& argument, std::u16string& path, std::string& error) {
  namespace fs = std::filesystem;
  path = fromUtf8(argument);
  std::error_code ec;
  fs::path host(argument);
  if (argument.empty() || argument[0] == '\\') return true;
  if (!fs::exists(fs::symlink_status(host, ec)) && argument.find('\\') != std::string::npos) return true;
  error = hostMovieFault(host);
  if (!error.empty()) return false;
  Device* device = currentDevice();
  fs::path folder = fs::canonical(host, ec).parent_path();
  if (!device || ec || !device->insertStorageCard(folder, error)) return false;
  path = u"\\Storage Card\\" + fromUtf8(host.filename().string());
  return true;
}

// A second start only hands its movie over: it needs no desktop window of its own.
bool playerIsRunning() {
  const std::u16string* className = res::findString(nullptr, playerres::kClassString);
  const std::u16string* title = res::findString(nullptr, playerres::kTitleString);
  return className && title && FindWindowW(className->c_str(), title->c_str());
}

// What scripted sessions and end-to-end tests read of the player.
void dumpPlayer(std::string& out) {
  Player* player = currentPlayer();
  if (!player) {
    out += "running=0\n";
    return;
  }
  out += "running=1 movie=" + toUtf8(player->moviePath()) + " fullscreen=" + std::to_string(player->fullScreen()) +
         " zoom=" + std::to_string(player->zoomFactor()) + "\n";
  if (FlashControl* control = player->control()) {
    std::optional<WideString> frame;
    control->invoke(u"CurrentFrame", {}, &frame);
    out += "control=1 frames=" + std::to_string(control->getInteger(u"TotalFrames")) +
           " frame=" + (frame ? toUtf8(*frame) : std::string("?")) +
           " playing=" + std::to_string(control->getInteger(u"Playing")) + "\n";
  } else {
    out += "control=0\n";
  }
}

// The playlists the manager holds and where the player is in them.
void dumpPlaylists(std::string& out) {
  Player* player = currentPlayer();
  PlaylistManager* manager = player ? player->playlists() : nullptr;
  if (!manager) return;
  Playlist* current = manager->current();
  out += "mode=" + std::to_string(player->playlistMode()) + " playing=" + std::to_string(player->playlistPlaying()) +
         " current=" + (current ? toUtf8(current->name()) : std::string("none")) +
         " cursor=" + std::to_string(current ? current->cursor() : -1) + "\n";
  for (const auto& playlist : manager->playlists()) {
    out += "playlist name=" + toUtf8(playlist->name()) + " entries=" + std::to_string(playlist->entries().size());
    for (const WideString& entry : playlist->entries()) out += " | " + toUtf8(entry);
    out += "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  if (!startDevice(argc, argv, error)) {
    std::fprintf(stderr, "OrvelFlash: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, display::displayHelp().c_str());
      return 0;
    }
  }
  display::DisplayOptions options;
  if (Device* device = currentDevice()) {
    options.width = device->config().screenWidth;
    options.height = device->config().screenHeight;
  }
  if (!display::parseDisplayOptions(args, options, error)) {
    std::fprintf(stderr, "OrvelFlash: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) {
      std::fprintf(stderr, "OrvelFlash: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  std::string joined;
  for (const std::string& arg : args) joined += (joined.empty() ? "" : " ") + arg;
  std::u16string commandLine;
  if (!deviceMoviePath(joined, commandLine, error)) {
    std::fprintf(stderr, "OrvelFlash: %s\n", error.c_str());
    return 1;
  }
  registerPlayerResources(nullptr);
  if (playerIsRunning() && options.scriptFile.empty()) options.backend = display::Backend::Headless;
  auto screen = display::openDisplay(options, error);
  if (!screen) {
    std::fprintf(stderr, "OrvelFlash: %s\n", error.c_str());
    return 1;
  }
  display::registerDumpSection("player", dumpPlayer);
  display::registerDumpSection("playlists", dumpPlaylists);
  display::registerDumpSection("process", display::dumpProcessUsage);

  int code = playerWinMain(nullptr, nullptr, commandLine.data(), SW_SHOW);
  display::writeExitRecords();
  // A scripted session ends the loop with the player still up: close it as
  // the device does when a program ends, so that nothing is left behind.
  if (Player* player = currentPlayer(); player && IsWindow(player->mainWindow())) DestroyWindow(player->mainWindow());
  return code;
}
