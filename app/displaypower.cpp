#include "app/displaypower.h"

#include "platform/core/winbase.h"
#include "platform/core/winuser.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr DWORD kRecordVersion = 1;
constexpr DWORD kFirstVersionWithOwnRecord = 4;

bool supportsPowerEscapes(HDC dc) {
  int asked = SETPOWERMANAGEMENT;
  return ExtEscape(dc, QUERYESCSUPPORT, sizeof asked, reinterpret_cast<LPCSTR>(&asked), 0, nullptr) > 0;
}

bool majorVersionAtLeast(DWORD major) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExW(&info) && info.dwMajorVersion >= major;
}

}  // namespace

ULONG readDisplayPower() {
  WindowDC dc(nullptr);
  if (!dc.get() || !supportsPowerEscapes(dc.get())) return 0;
  VIDEO_POWER_MANAGEMENT record{sizeof record, kRecordVersion, 0};
  if (ExtEscape(dc.get(), GETPOWERMANAGEMENT, 0, nullptr, sizeof record, reinterpret_cast<LPSTR>(&record)) <= 0)
    return 0;
  return record.PowerState;
}

void setDisplayPower(ULONG state) {
  WindowDC dc(nullptr);
  if (!dc.get() || !supportsPowerEscapes(dc.get())) return;
  VIDEO_POWER_MANAGEMENT record{sizeof record, kRecordVersion, state};
  ExtEscape(dc.get(), SETPOWERMANAGEMENT, sizeof record, reinterpret_cast<LPCSTR>(&record), 0, nullptr);
}

void DisplayPower::toggle() {
  ULONG state = majorVersionAtLeast(kFirstVersionWithOwnRecord) ? m_lastSet : readDisplayPower();
  ULONG next = state == VideoPowerOn ? VideoPowerOff : state == VideoPowerOff ? VideoPowerOn : 0;
  if (next == 0) return;
  setDisplayPower(next);
  m_lastSet = next;
}
