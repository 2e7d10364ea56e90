#pragma once
// The player's bitmaps 114 (the playlist bar's buttons), 119 (folders and
// movies) and 121 (check boxes), drawn by make-bitmaps.

#include <vector>

#include "platform/core/resource.h"

std::vector<res::Picture> playerBitmaps();
