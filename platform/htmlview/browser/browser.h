#pragma once
// The device's browser: one full-screen window with the HTML viewer over its
// client area, a menu bar with Back, and the task bar's "ok" that closes it.
// It shows a page file of the device, follows links to other files of the
// device (pages in place, other documents through ShellExecuteEx) and keeps
// the pages it came from for Back. The window owns the object.

#include <string>
#include <vector>

#include "platform/core/winuser.h"

namespace browser {

inline constexpr char16_t kBrowserClass[] = u"HtmlBrowser";
inline constexpr UINT kBackCommand = 101;

// The browser's own resources (its menu bar); registered for the program.
void registerBrowserResources();

// Makes the window and shows `page` (a device path, maybe in quotes); null
// when the window cannot be made.
HWND openBrowser(HINSTANCE instance, std::u16string_view page);

// What the browser in this process shows, for the state dump: the page, how
// many pages Back can return to, the title.
struct BrowserState {
  std::u16string page;
  size_t backDepth = 0;
  std::u16string title;
};
bool browserState(BrowserState& state);

}  // namespace browser
