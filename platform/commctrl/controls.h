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

}  // namespace controls
