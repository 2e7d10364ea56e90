#pragma once
// The list view's window class and its lines in the state dump.

#include <string>

#include "platform/core/winuser.h"

namespace commctrl {

void registerListView();
// Appends the view's rows when `hwnd` is a list view.
bool describeListView(HWND hwnd, std::string& out);

}  // namespace commctrl
