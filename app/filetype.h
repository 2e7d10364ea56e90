#pragma once
// The ".swf" file association under HKEY_CLASSES_ROOT: the file type's open
// command and document icon. Compiled into both the player (its "Settings"
// dialog) and the setup library (at installation), so it uses nothing but
// the device's registry calls.

#include "platform/core/wintypes.h"

// Makes `command` the open command of the extension's file type and, when
// given, `icon` its document icon. An extension that already names a file
// type (another player's, say) keeps it and that type is taken over; one
// that names none gets `defaultProgId`. Failures are silent.
void registerFileType(LPCWSTR extension, LPCWSTR command, LPCWSTR defaultProgId, LPCWSTR icon);

// True when the extension's file type opens with `command` (ignoring case).
bool isDefaultPlayer(LPCWSTR extension, LPCWSTR command);
