#pragma once
// Pictures of a movie, decoded once when it loads: DefineBitsLossless and
// DefineBitsLossless2 (colour-mapped, 15-bit and 24-bit or ARGB pixels,
// zlib-compressed), DefineBits with the movie's JPEGTables, and
// DefineBitsJPEG2 and DefineBitsJPEG3 (a JPEG, or from version 8 a PNG or
// GIF, with JPEG3's own zlib-compressed alpha). What a
// movie may decode is bounded by a budget of pixels it shares.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/flash/swfraster.h"
#include "platform/flash/swfreader.h"

namespace swf {

constexpr int kMaxBitmapSide = 8192;
// Decoded pixels a whole movie may hold (64 MB of them): room for a real
// 10-megapixel photograph and more, while a hostile movie stays bounded.
constexpr size_t kMaxBitmapPixelsPerMovie = 16u << 20;

// The tag body after the character id. Answers null for a damaged picture or
// one beyond `pixelBudget`, which a decoded picture uses up.
std::shared_ptr<BitmapPixels> readLosslessBitmap(SwfReader& body, bool withAlpha, size_t& pixelBudget);
// `tables` are the movie's JPEGTables, for DefineBits; empty otherwise.
std::shared_ptr<BitmapPixels> readJpegBitmap(SwfReader& body, bool withAlpha, std::span<const uint8_t> tables,
                                             size_t& pixelBudget);

struct PictureSize {
  int width = 0;
  int height = 0;
};

// The JPEG stream of a DefineBits, JPEG2 or JPEG3 tag as one decodable
// stream: the marker pair that older writers put in front is dropped, and
// tables written as a stream of their own are joined to the picture. The
// frame's size goes to `size` when the stream gives one.
std::vector<uint8_t> joinJpegStreams(std::span<const uint8_t> data, PictureSize* size = nullptr);

}  // namespace swf
