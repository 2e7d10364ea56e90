// PNG through libpng's simplified interface: palettes with tRNS, RGB with
// tRNS and full alpha all arrive as BGRA. Pixels less than half opaque are
// transparent; the rest keep their colour.

#include <png.h>

#include <cstring>

#include "platform/image/decode.h"

namespace image {

bool PngHandler::CanRead(const BYTE* data, size_t size) const {
  static const BYTE kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool PngHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  out = RichImageData{};
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, data, size)) return false;
  if (!sizeAcceptable(png.width, png.height)) {
    png_image_free(&png);
    return false;
  }
  bool palette = png.format & PNG_FORMAT_FLAG_COLORMAP;
  png.format = PNG_FORMAT_BGRA;
  std::vector<BYTE> bgra(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, bgra.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  out.width = static_cast<int>(png.width);
  out.height = static_cast<int>(png.height);
  size_t count = static_cast<size_t>(out.width) * out.height;
  out.pixels.resize(count);
  std::vector<bool> transparent(count);
  std::optional<RichColor> preferred;
  for (size_t i = 0; i < count; ++i) {
    const BYTE* p = &bgra[i * 4];
    out.pixels[i] = (static_cast<std::uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
    transparent[i] = p[3] < 128;
    // A palette's transparent entry keeps its own colour when it can.
    if (transparent[i] && palette && !preferred) preferred = RichColor{p[2], p[1], p[0]};
  }
  applyTransparency(out, transparent, preferred);
  return true;
}

}  // namespace image
