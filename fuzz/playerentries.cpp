// The player fed what a second start hands it: one player on the headless
// screen for the whole run, on the virtual clock, with the real Flash
// control; each input is the payload of one WM_COPYDATA. Message boxes are
// answered as they come up, and the player is destroyed at exit.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/player.h"
#include "app/settings.h"
#include "fuzz/fuzzentries.h"
#include "fuzz/scratchdevice.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/display/displayimpl.h"
#include "platform/ole/objbase.h"
#include "render/engine.h"
#include "resources/playerresources.h"
#include "tools/swfwriter/samples.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

constexpr char kSkin[] = R"(<?xml version="1.0"?>
<svg width="240" height="268">
  <rect id="flash" x="10" y="20" width="200" height="150" fill="black"/>
  <rect id="seekBar" x="20" y="180" width="200" height="16" fill="gray"/>
  <rect id="seekThumb" x="20" y="180" width="10" height="6" fill="blue"/>
  <text id="flashFileName" x="100" y="245" font-size="10">none</text>
  <rect id="gray" x="0" y="0" width="240" height="10" fill="gray"/>
</svg>
)";

// Modal loops wait by moving the virtual clock to the next timer.
class ClockWait : public wm::HostEvents {
 public:
  void present() override {}
  void wait(int timeoutMs) override { wm::advanceClock(timeoutMs > 0 ? static_cast<std::uint64_t>(timeoutMs) : 1); }
};

// Presses OK on the message box in front.
void answerBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = GetForegroundWindow();
  HWND ok = box ? GetDlgItem(box, IDOK) : nullptr;
  if (ok && GetDlgItem(box, 0xFFFF))
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

class PlayerStage {
 public:
  PlayerStage() {
    scratchDevice();  // made first, so that it outlives the player
    const std::string skin = kSkin;
    writeScratchFile(scratchHost("My Documents/fuzz.bskn"), reinterpret_cast<const std::uint8_t*>(skin.data()),
                     skin.size());
    const std::vector<std::uint8_t> movie = swfwrite::countingMovie(20, 12, 200, 150, false);
    writeScratchFile(scratchHost("My Documents/count.swf"), movie.data(), movie.size());
    wm::useVirtualClock(true);
    std::string error;
    // The device has one screen: when another target of this process opened
    // it already (the seeds' replay), the player uses that one.
    m_screen = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    m_previousEvents = wm::hostEvents();
    require(m_screen || display::currentDisplay());
    wm::setHostEvents(&m_wait);
    registerPlayerResources(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    startSkinEngine(nullptr, "OrvelFlash");
    m_answerTimer = SetTimer(nullptr, 0, 5, answerBox);
    settings() = Settings{};
    settings().skin = u"\\My Documents\\fuzz.bskn";
    m_player = new Player(u"\\Program Files\\OrvelFlash");
    setCurrentPlayer(m_player);
    const bool created = m_player->createWindows(nullptr, SW_SHOW);
    if (!created || !m_player->control()) std::fputs("copydata: the player started without its control\n", stderr);
    require(created && m_player->control());
    m_main = m_player->mainWindow();
    wm::dispatchPending();
    m_windows = wm::windowTree().size();
  }
  ~PlayerStage() {
    if (IsWindow(m_main)) DestroyWindow(m_main);  // deletes the player
    setCurrentPlayer(nullptr);
    KillTimer(nullptr, m_answerTimer);
    wm::resetForTests();
    CoUninitialize();
    wm::setHostEvents(m_previousEvents);
    m_screen.reset();
    settings() = Settings{};
  }
  PlayerStage(const PlayerStage&) = delete;
  PlayerStage& operator=(const PlayerStage&) = delete;

  Player& player() { return *m_player; }
  HWND main() const { return m_main; }
  size_t windows() const { return m_windows; }

 private:
  std::unique_ptr<display::Display> m_screen;
  ClockWait m_wait;
  wm::HostEvents* m_previousEvents = nullptr;
  UINT_PTR m_answerTimer = 0;
  Player* m_player = nullptr;  // owned by its main window
  HWND m_main = nullptr;
  size_t m_windows = 0;
};

PlayerStage& stage() {
  static PlayerStage s;
  return s;
}

}  // namespace

int fuzzCopyData(const std::uint8_t* data, std::size_t size) {
  PlayerStage& s = stage();
  // The payload lies in memory of exactly its count, so that reading past it
  // is seen; the first byte, when there is one, says whether the count is
  // told honestly or one short.
  const bool shortCount = size > 0 && (data[0] & 1);
  std::unique_ptr<std::uint8_t[]> payload(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(payload.get(), data, size);
  COPYDATASTRUCT copy{0, static_cast<DWORD>(shortCount ? size - 1 : size), size ? payload.get() : nullptr};
  const WideString before = s.player().moviePath();
  require(SendMessageW(s.main(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)) == TRUE);
  wm::dispatchPending();
  // The path is what the payload holds up to its first null within the count.
  WideString sent;
  for (std::size_t i = 0; i + 1 < copy.cbData; i += 2) {
    char16_t unit = static_cast<char16_t>(payload[i] | payload[i + 1] << 8);
    if (!unit) break;
    sent.push_back(unit);
  }
  require(IsWindow(s.main()) && s.player().moviePath() == (sent.empty() ? before : sent));
  // No message box, dialog or stray window stays behind.
  require(wm::windowTree().size() == s.windows());
  return 0;
}
