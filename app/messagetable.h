#pragma once
// The player's message texts by index: 1-22 are the XML parser's messages
// (a skin that does not parse), 23-26 the player's own.

#include "base/widestring.h"

inline constexpr int kMessageSkinCannotOpen = 23;
inline constexpr int kMessageDuplicateName = 24;
inline constexpr int kMessageNoFlashPlayer = 25;
inline constexpr int kMessageCannotLoadMovie = 26;

// The text of `index`, or "" outside the table.
WideStringView messageText(int index);
