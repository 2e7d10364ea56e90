// Usage: bench_soak [HOURS] [SEED]   (default 12 hours of virtual time)
//
// The player, its Flash control and its skin engine run in this process on a
// scratch device, with the headless screen on the virtual clock: every timer
// fires in turn as the clock moves, so twelve hours pass in minutes. The
// player walks a playlist of 50 generated movies in a loop while commands
// come at random (open, stop, seek, change skin, zoom, full screen, the next
// movie, the playlist again). Every virtual hour the state dump's process
// line is printed; at the end resident memory must be within 10 % of its
// value after the first hour, and descriptors, handles and windows must be
// as many as then. Non-zero when not.

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/keymap.h"
#include "app/player.h"
#include "app/settings.h"
#include "platform/core/device.h"
#include "platform/core/utf8.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/display/script.h"
#include "platform/ole/objbase.h"
#include "playlist/playlist.h"
#include "playlist/playlistmanager.h"
#include "render/engine.h"
#include "resources/playerresources.h"
#include "tools/swfwriter/samples.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMovies = 50;
constexpr std::uint64_t kHourMs = 3600 * 1000;
constexpr char16_t kDataFolder[] = u"\\My Documents\\OrvelFlash";
constexpr char16_t kSoakFolder[] = u"\\My Documents\\soak";

// Three skins of different geometry, so that changing skin moves the movie.
constexpr const char* kSkins[] = {
    R"(<svg width="240" height="268"><rect id="flash" x="10" y="20" width="200" height="150" fill="black"/>
<rect id="seekBar" x="20" y="180" width="200" height="16" fill="gray"/>
<rect id="seekThumb" x="20" y="180" width="10" height="6" fill="blue"/>
<text id="flashFileName" x="100" y="245" font-size="10">none</text>
<rect id="gray" x="0" y="0" width="240" height="10" fill="gray"/></svg>)",
    R"(<svg width="240" height="268"><rect id="background" width="240" height="268" fill="navy"/>
<rect id="flash" x="0" y="0" width="240" height="200" fill="black"/>
<rect id="volumeBar" x="20" y="220" width="200" height="16" fill="gray"/>
<rect id="volumeThumb" x="20" y="220" width="10" height="6" fill="orange"/></svg>)",
    R"(<svg width="240" height="268"><rect id="flash" x="60" y="60" width="120" height="90" fill="black"/>
<text id="flashFileName" x="10" y="200" font-size="12">none</text></svg>)",
};

// Modal loops (message boxes) wait by moving the clock to the next timer.
class ClockWait : public wm::HostEvents {
 public:
  void present() override {}
  void wait(int timeoutMs) override { wm::advanceClock(timeoutMs > 0 ? static_cast<std::uint64_t>(timeoutMs) : 1); }
};

void answerBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = GetForegroundWindow();
  HWND ok = box ? GetDlgItem(box, IDOK) : nullptr;
  if (ok && GetDlgItem(box, 0xFFFF))
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

void writeHost(const fs::path& path, const void* bytes, size_t size) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

WideString numbered(const char16_t* folder, const char16_t* stem, int n, const char16_t* extension) {
  return WideString(folder) + u"\\" + stem + fromUtf8(std::to_string(n)) + extension;
}

// The movies and skins on the device, and the playlist of all the movies.
std::vector<WideString> prepareDevice(const fs::path& root, std::mt19937& random) {
  std::vector<WideString> movies;
  for (int i = 0; i < kMovies; ++i) {
    const int frames = std::uniform_int_distribution<int>(12, 240)(random);
    const float rate = static_cast<float>(std::uniform_int_distribution<int>(8, 30)(random));
    const std::vector<uint8_t> movie =
        swfwrite::countingMovie(frames, rate, 100 + (i % 5) * 40, 80 + (i % 4) * 40, i % 2 == 1);
    writeHost(root / "My Documents" / "soak" / ("movie " + std::to_string(i) + ".swf"), movie.data(), movie.size());
    movies.push_back(numbered(kSoakFolder, u"movie ", i, u".swf"));
  }
  for (size_t i = 0; i < std::size(kSkins); ++i)
    writeHost(root / "My Documents" / "soak" / ("skin " + std::to_string(i) + ".bskn"), kSkins[i],
              std::char_traits<char>::length(kSkins[i]));
  Playlist playlist(u"soak");
  playlist.addAll(movies);
  playlist.setDirty(true);
  CreateDirectoryW(kDataFolder, nullptr);
  if (!playlist.write(kDataFolder)) std::exit(1);
  return movies;
}

struct Usage {
  long residentKb = 0, descriptors = 0, handles = 0, windows = 0;
  long heapKb = 0;  // in use: resident memory also moves with the host's memory pressure
};

// The process line of the state dump.
Usage usageNow(std::string& line) {
  line.clear();
  display::dumpProcessUsage(line);
  Usage u;
  std::sscanf(line.c_str(), "resident_kb=%ld descriptors=%ld handles=%ld windows=%ld", &u.residentKb, &u.descriptors,
              &u.handles, &u.windows);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  u.heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
  line += " heap_kb=" + std::to_string(u.heapKb);
  return u;
}

// Messages handled so far: shows the session did work.
std::uint64_t g_handled = 0;

// Lets `ms` of virtual time pass, every timer firing as its time comes.
void pass(std::uint64_t ms) {
  const std::uint64_t end = wm::nowMs() + ms;
  while (wm::nowMs() < end) {
    std::optional<std::uint64_t> next = wm::msUntilNextTimer();
    std::uint64_t step = next ? std::max<std::uint64_t>(*next, 1) : end - wm::nowMs();
    wm::advanceClock(std::min(step, end - wm::nowMs()));
    g_handled += static_cast<std::uint64_t>(wm::dispatchPending());
  }
}

// One random command, as a user would give it.
void command(Player& player, const std::vector<WideString>& movies, std::mt19937& random) {
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  static constexpr float kZooms[] = {0.5f, 1.0f, 1.5f, 2.0f};
  switch (pick(9)) {
    case 0:
      player.open(movies[size_t(pick(kMovies))]);
      player.play();
      break;
    case 1:
      player.stop();
      break;
    case 2:
      player.keyAction(kActionNextFrame);
      break;
    case 3:
      player.keyAction(kActionPreviousFrame);
      break;
    case 4:
      player.loadSkin(numbered(kSoakFolder, u"skin ", pick(int(std::size(kSkins))), u".bskn"));
      break;
    case 5:
      player.zoom(kZooms[pick(4)]);
      break;
    case 6:
      player.toggleFullScreen();
      break;
    case 7:
      player.nextMovie();
      break;
    default:
      player.startPlaylist();
      break;
  }
  wm::dispatchPending();
}

}  // namespace

int main(int argc, char** argv) {
  const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
  std::mt19937 random(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20261208u);
  std::string pattern = (fs::temp_directory_path() / "orvel-soak-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  std::string error;
  auto made = Device::create(folder / "device", DeviceConfig{}, error);
  if (!made) {
    std::fprintf(stderr, "bench_soak: %s\n", error.c_str());
    return 1;
  }
  const fs::path root = made->root();
  auto previous = exchangeCurrentDevice(std::move(made));
  const std::vector<WideString> movies = prepareDevice(root, random);

  wm::useVirtualClock(true);
  auto screen = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
  if (!screen) return 1;
  ClockWait wait;
  wm::HostEvents* screenEvents = wm::hostEvents();
  wm::setHostEvents(&wait);
  registerPlayerResources(nullptr);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  startSkinEngine(nullptr, "OrvelFlash");
  const UINT_PTR answerTimer = SetTimer(nullptr, 0, 5, answerBox);
  settings().dataFolder = kDataFolder;
  settings().skin = numbered(kSoakFolder, u"skin ", 0, u".bskn");
  std::string line;
  const Usage before = usageNow(line);
  auto* player = new Player(u"\\Program Files\\OrvelFlash");  // owned by its main window
  setCurrentPlayer(player);
  if (!player->createWindows(nullptr, SW_SHOW) || !player->control() || player->playlists()->playlists().empty()) {
    std::fprintf(stderr, "bench_soak: the player did not start with its control and playlist\n");
    return 1;
  }
  HWND main = player->mainWindow();
  player->playlists()->setCurrent(player->playlists()->playlists().front().get(), 0);
  player->startPlaylist();

  Usage first, last;
  for (int hour = 1; hour <= hours; ++hour) {
    const std::uint64_t end = wm::nowMs() + kHourMs;
    while (wm::nowMs() < end) {
      pass(std::uniform_int_distribution<std::uint64_t>(2000, 60000)(random));
      command(*player, movies, random);
    }
    last = usageNow(line);
    if (hour == 1) first = last;
    std::printf("hour %2d: %s messages=%llu movie=%s\n", hour, line.c_str(), static_cast<unsigned long long>(g_handled),
                toUtf8(player->moviePath()).c_str());
    std::fflush(stdout);
  }

  const double growth = 100.0 * double(last.residentKb - first.residentKb) / double(first.residentKb);
  const double heapGrowth = 100.0 * double(last.heapKb - first.heapKb) / double(first.heapKb);
  const bool sound = growth <= 10.0 && heapGrowth <= 10.0 && last.descriptors <= first.descriptors &&
                     last.handles <= first.handles && last.windows <= first.windows;
  std::printf("resident memory: %.1f MB after the first hour, %.1f MB after hour %d (%+.1f %%); %s\n",
              first.residentKb / 1024.0, last.residentKb / 1024.0, hours, growth, sound ? "sound" : "GREW");
  std::printf("heap in use: %.1f MB after the first hour, %.1f MB after hour %d (%+.1f %%)\n", first.heapKb / 1024.0,
              last.heapKb / 1024.0, hours, heapGrowth);

  if (IsWindow(main)) DestroyWindow(main);  // deletes the player
  setCurrentPlayer(nullptr);
  KillTimer(nullptr, answerTimer);
  wm::dispatchPending();
  Usage closed = usageNow(line);
  std::printf("after closing: %s\n", line.c_str());
  // The shell's task bar is the device's, made once the first program shows
  // a window, and stays as on the device; any other window is left behind.
  long leftBehind = 0;
  for (const wm::WindowState& window : wm::windowTree()) {
    if (window.className == u"HHTaskBar") continue;
    ++leftBehind;
    std::printf("  window left: class \"%s\" title \"%s\"\n", toUtf8(window.className).c_str(),
                toUtf8(window.title).c_str());
  }
  wm::resetForTests();
  CoUninitialize();
  wm::setHostEvents(screenEvents);
  screen.reset();
  exchangeCurrentDevice(std::move(previous));
  fs::remove_all(folder);
  const bool closedClean = leftBehind <= before.windows && closed.handles <= before.handles;
  std::printf(
      "before the player: %ld windows, %ld handles; after closing it: %ld windows (the task bar aside), %ld "
      "handles\n",
      before.windows, before.handles, leftBehind, closed.handles);
  return sound && closedClean ? 0 : 1;
}
