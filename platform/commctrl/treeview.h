#pragma once
// The tree view's window class and its nodes in the state dump.

#include <string>

#include "platform/core/winuser.h"

namespace commctrl {

void registerTreeView();
// Appends the tree's nodes when `hwnd` is a tree view.
bool describeTreeView(HWND hwnd, std::string& out);

}  // namespace commctrl
