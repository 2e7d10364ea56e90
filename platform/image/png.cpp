// PNG through libpng's simplified interface: palettes with tRNS, RGB with
// tRNS and full alpha all arrive as BGRA. Pixels less than half opaque are
// transparent; the rest keep their colour.

#include <bit>
#include <cstring>

#include "platform/image/decode.h"
#include "platform/image/pngcalls.h"

namespace image {

bool PngHandler::CanRead(const BYTE* data, size_t size) const {
  static const BYTE kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool PngHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  out = RichImageData{};
  const PngCalls* calls = image::png();
  if (!calls) return false;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!calls->imageBeginReadFromMemory(&png, data, size)) return false;
  if (!sizeAcceptable(png.width, png.height)) {
    calls->imageFree(&png);
    return false;
  }
  bool palette = png.format & PNG_FORMAT_FLAG_COLORMAP;
  // libpng counts tRNS as alpha too: without it every pixel is opaque.
  bool alpha = png.format & PNG_FORMAT_FLAG_ALPHA;
  png.format = PNG_FORMAT_BGRA;
  size_t count = size_t(png.width) * png.height;
  // BGRA bytes are 0xAARRGGBB words on this little-endian host: libpng
  // writes the pixels in place, with no second buffer.
  static_assert(std::endian::native == std::endian::little);
  out.pixels.resize(count);
  if (!calls->imageFinishRead(&png, nullptr, out.pixels.data(), 0, nullptr)) {
    calls->imageFree(&png);
    out = RichImageData{};
    return false;
  }
  out.width = static_cast<int>(png.width);
  out.height = static_cast<int>(png.height);
  if (!alpha) {
    for (std::uint32_t& pixel : out.pixels) pixel &= 0xFFFFFF;
    return true;
  }
  std::vector<bool> transparent(count);
  std::optional<RichColor> preferred;
  for (size_t i = 0; i < count; ++i) {
    const std::uint32_t pixel = out.pixels[i];
    out.pixels[i] = pixel & 0xFFFFFF;
    transparent[i] = (pixel >> 24) < 128;
    // A palette's transparent entry keeps its own colour when it can.
    if (transparent[i] && palette && !preferred)
      preferred = RichColor{BYTE(pixel >> 16), BYTE(pixel >> 8), BYTE(pixel)};
  }
  applyTransparency(out, transparent, preferred);
  return true;
}

}  // namespace image
