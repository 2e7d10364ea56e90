// GIF through giflib: the first picture of the file, placed on its logical
// screen; the graphics control block's transparent index gives the
// transparent colour.

#include <gif_lib.h>

#include <cstring>

#include "platform/core/latesymbol.h"
#include "platform/image/decode.h"

namespace {

// giflib is opened by the first GIF picture, not linked: most starts show
// none, and every library a start maps costs it.
struct GifCalls {
  decltype(&DGifOpen) open = nullptr;
  decltype(&DGifSlurp) slurp = nullptr;
  decltype(&DGifSavedExtensionToGCB) savedExtensionToGcb = nullptr;
  decltype(&DGifCloseFile) close = nullptr;
};

bool bindCalls(void* l, GifCalls& c) {
  return lateSymbol(l, "DGifOpen", c.open) && lateSymbol(l, "DGifSlurp", c.slurp) &&
         lateSymbol(l, "DGifSavedExtensionToGCB", c.savedExtensionToGcb) && lateSymbol(l, "DGifCloseFile", c.close);
}

// The calls, or null when the library or one of them is missing.
const GifCalls* gifCalls() { return lateCalls<GifCalls>("libgif.so.7", bindCalls); }

struct Reader {
  const BYTE* data;
  size_t size;
  size_t at = 0;
};

int readBytes(GifFileType* gif, GifByteType* buffer, int count) {
  auto* r = static_cast<Reader*>(gif->UserData);
  size_t n = std::min(static_cast<size_t>(std::max(count, 0)), r->size - r->at);
  std::memcpy(buffer, r->data + r->at, n);
  r->at += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    gifCalls()->close(gif, &error);
  }
};

std::uint32_t colourOf(const GifColorType& c) {
  return (static_cast<std::uint32_t>(c.Red) << 16) | (c.Green << 8) | c.Blue;
}

}  // namespace

bool rcGIFHandler::CanRead(const BYTE* data, size_t size) const {
  return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

bool rcGIFHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  out = RichImageData{};
  const GifCalls* g = gifCalls();
  if (!g) return false;
  Reader reader{data, size};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(g->open(&reader, readBytes, &error));
  if (!gif) return false;
  if (!image::sizeAcceptable(gif->SWidth, gif->SHeight)) return false;
  if (g->slurp(gif.get()) != GIF_OK || gif->ImageCount < 1) return false;
  const SavedImage& frame = gif->SavedImages[0];
  const GifImageDesc& d = frame.ImageDesc;
  const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0 || !frame.RasterBits) return false;
  if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 || d.Left + d.Width > gif->SWidth ||
      d.Top + d.Height > gif->SHeight)
    return false;

  GraphicsControlBlock gcb{};
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  g->savedExtensionToGcb(gif.get(), 0, &gcb);
  int transparentIndex = gcb.TransparentColor;

  out.width = gif->SWidth;
  out.height = gif->SHeight;
  size_t count = static_cast<size_t>(out.width) * out.height;
  out.pixels.assign(count, 0);
  // Outside the first picture the screen shows through where the file says
  // so (a transparent index), else the background colour.
  std::vector<bool> transparent(count, transparentIndex != NO_TRANSPARENT_COLOR);
  std::uint32_t background = gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount
                                 ? colourOf(gif->SColorMap->Colors[gif->SBackGroundColor])
                                 : 0xFFFFFF;
  std::fill(out.pixels.begin(), out.pixels.end(), background);
  std::optional<RichColor> preferred;
  for (int y = 0; y < d.Height; ++y)
    for (int x = 0; x < d.Width; ++x) {
      int index = frame.RasterBits[static_cast<size_t>(y) * d.Width + x];
      size_t at = static_cast<size_t>(d.Top + y) * out.width + (d.Left + x);
      if (index == transparentIndex) {
        transparent[at] = true;
        continue;
      }
      if (index >= map->ColorCount) return false;
      out.pixels[at] = colourOf(map->Colors[index]);
      transparent[at] = false;
    }
  if (transparentIndex >= 0 && transparentIndex < map->ColorCount) {
    const GifColorType& c = map->Colors[transparentIndex];
    preferred = RichColor{c.Red, c.Green, c.Blue};
  }
  image::applyTransparency(out, transparent, preferred);
  return true;
}
