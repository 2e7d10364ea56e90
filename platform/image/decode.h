#pragma once
// Shared by the picture decoders of platform/image.

#include <optional>
#include <vector>

#include "platform/image/richimage.h"

namespace image {

// Pictures beyond these are refused: a header must not make us allocate gigabytes.
inline constexpr int kMaxDimension = 8192;
inline constexpr long long kMaxPixels = 16ll * 1024 * 1024;

bool sizeAcceptable(long long width, long long height);

// Gives the pixels marked in `transparent` one colour that no other pixel
// has (the `preferred` one when it is free) and records it in `out`.
void applyTransparency(RichImageData& out, const std::vector<bool>& transparent, std::optional<RichColor> preferred);

class PngHandler final : public RichImageHandler {
 public:
  const char* Name() const override { return "PNG"; }
  bool CanRead(const BYTE* data, size_t size) const override;
  bool Read(const BYTE* data, size_t size, RichImageData& out) const override;
};

class BmpHandler final : public RichImageHandler {
 public:
  const char* Name() const override { return "BMP"; }
  bool CanRead(const BYTE* data, size_t size) const override;
  bool Read(const BYTE* data, size_t size, RichImageData& out) const override;
};

}  // namespace image
