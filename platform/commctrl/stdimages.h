#pragma once
// The common controls' standard small colour images (16 x 16), drawn by the
// platform itself, for whoever draws toolbar buttons.

#include "platform/core/resource.h"

namespace commctrl {

inline constexpr int kStandardImageSize = 16;
// Image `index` (STD_CUT .. STD_PRINT); null outside the 15.
const res::Picture* standardImage(int index);

}  // namespace commctrl
