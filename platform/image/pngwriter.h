#pragma once
// Writes a surface's pixels to a PNG file: what screenshots and rendered
// skins are saved as. Here, beside the decoders, so that a program that only
// draws and saves needs no screen library.

#include <string>

#include "platform/gdi/surface.h"

namespace image {

// RGB, no alpha; a one-bit surface comes out black and white. False when the
// surface is empty or the file cannot be written.
bool writeSurfacePng(const gdi::Surface& surface, const std::string& path);

}  // namespace image
