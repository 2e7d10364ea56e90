// The control's context menu: zoom, playback and the About box, each doing
// what the control's automation members of the same name do.

#include <algorithm>
#include <string>

#include "platform/core/wformat.h"
#include "platform/flash/server/flashcontrol.h"

namespace {

enum MenuCommand : UINT {
  kSeparator = 0,
  kZoomIn = 1,
  kZoomOut,
  kViewAll,
  kPlayItem,
  kLoopItem,
  kRewindItem,
  kForwardItem,
  kBackItem,
  kAboutItem,
};

struct MenuRow {
  const char16_t* text;
  UINT command;
};

constexpr MenuRow kMenuRows[] = {
    {u"Zoom In", kZoomIn}, {u"Zoom Out", kZoomOut},  {u"View All", kViewAll},
    {u"", kSeparator},     {u"Play", kPlayItem},     {u"Loop", kLoopItem},
    {u"", kSeparator},     {u"Rewind", kRewindItem}, {u"Forward", kForwardItem},
    {u"Back", kBackItem},  {u"", kSeparator},        {u"About Flash Player...", kAboutItem},
};

// Each zoom step halves or doubles the part of the movie shown; the deepest
// zoom shows no less than this percent of its width.
constexpr int kZoomStep = 2;
constexpr int kSmallestZoomPercent = 6;
constexpr int kWholeMovie = 100;

bool canZoomIn(int percent) { return percent / kZoomStep >= kSmallestZoomPercent; }
bool zoomedIn(int percent) { return percent < kWholeMovie; }

UINT enabledIf(bool on) { return MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED); }
UINT checkedIf(bool on) { return MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED); }

}  // namespace

HMENU FlashControlObject::buildMenu() const {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  for (const MenuRow& row : kMenuRows)
    AppendMenuW(menu, row.command == kSeparator ? MF_SEPARATOR : MF_STRING, row.command, row.text);
  int percent = m_player.zoomPercent();
  EnableMenuItem(menu, kZoomIn, enabledIf(canZoomIn(percent)));
  EnableMenuItem(menu, kZoomOut, enabledIf(zoomedIn(percent)));
  EnableMenuItem(menu, kViewAll, enabledIf(percent != kWholeMovie));
  CheckMenuItem(menu, kPlayItem, checkedIf(m_player.playing()));
  CheckMenuItem(menu, kLoopItem, checkedIf(m_player.loop()));
  return menu;
}

void FlashControlObject::showMenu(POINT client) {
  HMENU menu = buildMenu();
  if (!menu) return;
  POINT screen = client;
  ClientToScreen(m_window, &screen);
  // The container may let go of the control while the menu is up.
  AddRef();
  UINT command = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                                    screen.x, screen.y, m_window, nullptr));
  DestroyMenu(menu);
  if (command && IsWindow(m_window)) runMenuCommand(command);
  Release();
}

void FlashControlObject::runMenuCommand(UINT command) {
  int percent = m_player.zoomPercent();
  switch (command) {
    case kZoomIn:
      m_player.zoom(percent / kZoomStep);
      break;
    case kZoomOut:
      m_player.zoom(std::min(kWholeMovie, percent * kZoomStep));
      break;
    case kViewAll:
      m_player.zoom(0);
      break;
    case kPlayItem:
      m_player.setPlaying(!m_player.playing());
      break;
    case kLoopItem:
      m_player.setLoop(!m_player.loop());
      break;
    case kRewindItem:
      m_player.stop();
      m_player.rewind();
      break;
    case kForwardItem:
      m_player.stop();
      m_player.forward();
      break;
    case kBackItem:
      m_player.stop();
      m_player.back();
      break;
    case kAboutItem: {
      std::u16string text = formatWide(u"Flash Player %d.%d", static_cast<int>(kFlashPlayerVersion >> 16),
                                       static_cast<int>(kFlashPlayerVersion & 0xFFFF));
      HWND top = m_window;
      while (GetParent(top)) top = GetParent(top);
      MessageBoxW(top, text.c_str(), u"About Flash Player", MB_OK);
      return;
    }
    default:
      return;
  }
  m_dirty = true;
  changed();
}
