#pragma once
// Shared by the screen's backends.

#include <memory>
#include <string>

#include "platform/core/region.h"
#include "platform/display/display.h"

namespace display {

// The pixels as shown: the screen, blanked while powered off, with the wait
// cursor on top while it is set. Keeps the area that changed since it was
// last presented.
class FrameComposer {
 public:
  void update();
  const gdi::Surface& surface() const { return m_surface; }
  Region takeDirty();

 private:
  RECT waitCursorRect() const;
  void drawWaitCursor();

  gdi::Surface m_surface;
  Region m_dirty;
  bool m_cursorShown = false;
  bool m_powerOn = true;
};

std::unique_ptr<Display> openSdlDisplay(const DisplayOptions& options, std::string& error);
Display* currentDisplay();
void setCurrentDisplay(Display* display);

}  // namespace display
