#pragma once
// The dialog controls the device offers: static text and icons, push buttons,
// check boxes, list boxes, drop-down list combo boxes and single-line edits,
// registered under their system class names ("STATIC", "BUTTON", "LISTBOX",
// "COMBOBOX", "EDIT") the first time anything asks for them.

#include "platform/core/winuser.h"

namespace controls {

void registerClasses();
// The message box's icon for an MB_ICON* type (kept for the process).
HICON systemIcon(UINT type);

// A full-screen dialog's own title line: its title in bold at the top of the
// client area over a thin rule. The template's controls move down below it,
// keeping their layout. False for a window that is not a template's dialog.
inline constexpr int kTitleLineHeight = 24;
bool showTitleLine(HWND dialog);

}  // namespace controls
