#include <algorithm>
#include <unordered_set>

#include "platform/image/decode.h"

namespace image {

bool sizeAcceptable(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension && width * height <= kMaxPixels;
}

namespace {

std::uint32_t valueOf(RichColor c) { return (static_cast<std::uint32_t>(c.red) << 16) | (c.green << 8) | c.blue; }

}  // namespace

void applyTransparency(RichImageData& out, const std::vector<bool>& transparent, std::optional<RichColor> preferred) {
  if (std::find(transparent.begin(), transparent.end(), true) == transparent.end()) return;
  std::unordered_set<std::uint32_t> used;
  for (size_t i = 0; i < out.pixels.size(); ++i)
    if (!transparent[i]) used.insert(out.pixels[i]);
  // An opaque pixel of the same colour would vanish with the mask.
  std::uint32_t chosen = 0xFF00FF;
  if (preferred && !used.count(valueOf(*preferred))) {
    chosen = valueOf(*preferred);
  } else {
    // The step is odd, so the walk visits every colour; fewer pixels than
    // colours means one is always free.
    while (used.count(chosen)) chosen = (chosen + 0x010203) & 0xFFFFFF;
  }
  for (size_t i = 0; i < out.pixels.size(); ++i)
    if (transparent[i]) out.pixels[i] = chosen;
  out.hasTransparentColor = true;
  out.transparentColor =
      RichColor{static_cast<BYTE>(chosen >> 16), static_cast<BYTE>(chosen >> 8), static_cast<BYTE>(chosen)};
}

}  // namespace image
