#pragma once
// Resource pictures (icons, bitmaps, images the platform draws itself) on a
// device context: opaque where a pixel has alpha, untouched elsewhere.

#include "platform/core/resource.h"
#include "platform/gdi/wingdi.h"

namespace gdi {

// Draws the part (srcX, srcY, width, height) of `picture` scaled to the
// destination rectangle; a width or height of 0 takes the picture's own.
void drawPicture(HDC dc, int x, int y, int width, int height, const res::Picture& picture);
void drawPicturePart(HDC dc, int x, int y, const res::Picture& picture, int srcX, int srcY, int width, int height);

}  // namespace gdi
