#pragma once
// The device's screen: an SDL2 desktop window scaled by an integer zoom, or a
// headless screen in memory that tests and scripted sessions drive. One screen
// per device process; the program opens it at start and keeps it until exit.

#include <memory>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/gdi/surface.h"

namespace display {

enum class Backend { Sdl, Headless };

struct DisplayOptions {
  Backend backend = Backend::Sdl;
  int zoom = 2;
  int width = 240;
  int height = 320;
  std::string scriptFile;      // headless only: a scripted session
  std::string screenshotFile;  // written when the screen closes
  std::string dumpFile;        // state dump written when the screen closes
};

// Takes the screen's own options out of `args` (leaving the others in order):
// --zoom N, --headless, --script FILE, --screenshot FILE, --dump FILE,
// --screen WxH. Answers false with a message for a malformed one.
bool parseDisplayOptions(std::vector<std::string>& args, DisplayOptions& options, std::string& error);
// The lines --help prints for these options and the device's keys.
std::string displayHelp();

// The host keys standing for the handheld's buttons, for README and --help.
struct HostKey {
  const char* hostKey;
  const char* deviceKey;
  int vk;
};
const std::vector<HostKey>& hostKeys();

class Display {
 public:
  virtual ~Display() = default;
  // Shows what changed on the screen since the last call.
  virtual void present() = 0;
  // The pixels as shown (with the wait cursor, black while powered off).
  virtual const gdi::Surface& frame() = 0;
  virtual Backend backend() const = 0;
};

// Opens the screen: sets the device's screen size, installs the message
// loop's waiting and the drawing layer's window hooks. Null with a message
// when the backend cannot start. Closing writes the screenshot and dump asked for.
std::unique_ptr<Display> openDisplay(const DisplayOptions& options, std::string& error);

// Writes the screenshot and dump asked for at exit now, while the program's
// windows are still up; closing the screen then writes nothing more.
void writeExitRecords();

// Writes pixels to a PNG file; false when the file cannot be written.
bool writePng(const gdi::Surface& surface, const std::string& path);

}  // namespace display
