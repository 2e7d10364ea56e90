#include "platform/image/pngwriter.h"

#include <png.h>

#include <cstdint>
#include <vector>

namespace image {

bool writeSurfacePng(const gdi::Surface& surface, const std::string& path) {
  if (surface.width <= 0 || surface.height <= 0) return false;
  std::vector<png_byte> rgb(static_cast<size_t>(surface.width) * surface.height * 3);
  for (int y = 0; y < surface.height; ++y)
    for (int x = 0; x < surface.width; ++x) {
      std::uint32_t p = surface.row(y)[x];
      if (surface.mono()) p = p ? 0xFFFFFF : 0;
      png_byte* out = &rgb[(static_cast<size_t>(y) * surface.width + x) * 3];
      out[0] = static_cast<png_byte>(p >> 16);
      out[1] = static_cast<png_byte>(p >> 8);
      out[2] = static_cast<png_byte>(p);
    }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(surface.width);
  image.height = static_cast<png_uint_32>(surface.height);
  image.format = PNG_FORMAT_RGB;
  // Screenshots and rendered skins are read back and thrown away: a larger
  // file written several times faster is the better trade.
  image.flags = PNG_IMAGE_FLAG_FAST;
  bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

}  // namespace image
