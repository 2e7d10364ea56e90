#include "platform/flash/swfbitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/image/richimage.h"

namespace swf {

namespace {

enum LosslessFormat : uint8_t {
  kColorMapped = 3,
  kRgb15 = 4,  // DefineBitsLossless only
  kRgb32 = 5,  // RGB with a pad byte, or ARGB with alpha
};

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

// Start-of-frame markers: C0 to CF but for the table markers C4, C8 and CC.
bool isStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isStandaloneMarker(uint8_t marker) { return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01; }

size_t rowBytes(uint8_t format, int width) {
  size_t bytes = format == kColorMapped ? size_t(width) : format == kRgb15 ? size_t(width) * 2 : size_t(width) * 4;
  return (bytes + 3) & ~size_t(3);  // rows are padded to 32 bits
}

// Stored ARGB with alpha is premultiplied already; a channel above its alpha
// is impossible there and is held to it, so blending cannot overflow.
uint32_t storedPremultiplied(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(a) << 24 | uint32_t(std::min(r, a)) << 16 | uint32_t(std::min(g, a)) << 8 | std::min(b, a);
}

uint32_t opaque(uint8_t r, uint8_t g, uint8_t b) { return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

uint8_t widen5(unsigned v) { return uint8_t(v << 3 | v >> 2); }

std::shared_ptr<BitmapPixels> newBitmap(int width, int height, size_t& pixelBudget) {
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
  size_t count = size_t(width) * size_t(height);
  if (count > pixelBudget) return nullptr;
  pixelBudget -= count;
  auto bitmap = std::make_shared<BitmapPixels>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels.assign(count, 0);  // what the data does not reach stays transparent
  return bitmap;
}

void noteOpacity(BitmapPixels& bitmap) {
  bitmap.opaque = std::all_of(bitmap.pixels.begin(), bitmap.pixels.end(), [](uint32_t p) { return p >> 24 == 0xFF; });
}

// The colour table of a colour-mapped picture, as far as the data holds it.
std::vector<uint32_t> readColorTable(std::span<const uint8_t> data, size_t entries, bool withAlpha) {
  size_t entryBytes = withAlpha ? 4 : 3;
  std::vector<uint32_t> table(entries, 0);
  for (size_t i = 0; i < entries && (i + 1) * entryBytes <= data.size(); ++i) {
    const uint8_t* e = data.data() + i * entryBytes;
    table[i] = withAlpha ? storedPremultiplied(e[3], e[0], e[1], e[2]) : opaque(e[0], e[1], e[2]);
  }
  return table;
}

uint32_t losslessPixel(uint8_t format, bool withAlpha, const uint8_t* p, const std::vector<uint32_t>& table) {
  switch (format) {
    case kColorMapped:
      return p[0] < table.size() ? table[p[0]] : 0;
    case kRgb15: {
      unsigned v = unsigned(p[0]) << 8 | p[1];
      return opaque(widen5(v >> 10 & 31), widen5(v >> 5 & 31), widen5(v & 31));
    }
    default:
      return withAlpha ? storedPremultiplied(p[0], p[1], p[2], p[3]) : opaque(p[1], p[2], p[3]);
  }
}

size_t pixelBytes(uint8_t format) { return format == kColorMapped ? 1 : format == kRgb15 ? 2 : 4; }

// The size a PNG or GIF header gives.
PictureSize headerSize(std::span<const uint8_t> d) {
  if (d.size() >= 24 && d[0] == 0x89 && d[1] == 'P')
    return {int(d[16] << 24 | d[17] << 16 | d[18] << 8 | d[19]) & 0x7FFFFFFF,
            int(d[20] << 24 | d[21] << 16 | d[22] << 8 | d[23]) & 0x7FFFFFFF};
  if (d.size() >= 10 && d[0] == 'G') return {d[6] | d[7] << 8, d[8] | d[9] << 8};
  return {};
}

bool sizeFits(PictureSize size, size_t pixelBudget) {
  return size.width > 0 && size.height > 0 && size.width <= kMaxBitmapSide && size.height <= kMaxBitmapSide &&
         size_t(size.width) * size_t(size.height) <= pixelBudget;
}

// A picture format that the image library reads, decoded to opaque pixels
// (its transparent colour, where it has one, made transparent).
bool decodePicture(std::span<const uint8_t> data, RichImageData& out) {
  static const rcJPEGHandler jpeg;
  static const rcGIFHandler gif;
  if (jpeg.CanRead(data.data(), data.size())) return jpeg.Read(data.data(), data.size(), out);
  if (gif.CanRead(data.data(), data.size())) return gif.Read(data.data(), data.size(), out);
  RichImage picture(data.data(), data.size());  // PNG is built into the library
  if (!picture.Ok()) return false;
  out.width = picture.GetWidth();
  out.height = picture.GetHeight();
  out.pixels = picture.Pixels();
  out.hasTransparentColor = picture.HasTransparentColor();
  out.transparentColor = picture.GetTransparentColor();
  return true;
}

}  // namespace

std::shared_ptr<BitmapPixels> readLosslessBitmap(SwfReader& body, bool withAlpha, size_t& pixelBudget) {
  uint8_t format = body.u8();
  int width = body.u16(), height = body.u16();
  size_t tableEntries = format == kColorMapped ? size_t(body.u8()) + 1 : 0;
  bool known = format == kColorMapped || format == kRgb32 || (format == kRgb15 && !withAlpha);
  if (!body.ok() || !known) return nullptr;
  auto bitmap = newBitmap(width, height, pixelBudget);
  if (!bitmap) return nullptr;
  size_t tableBytes = tableEntries * (withAlpha ? 4 : 3), stride = rowBytes(format, width);
  std::vector<uint8_t> data;
  if (!inflateBounded(body.bytes(body.remaining()), tableBytes + stride * size_t(height), data)) return nullptr;
  std::vector<uint32_t> table = readColorTable(data, tableEntries, withAlpha);
  size_t step = pixelBytes(format);
  for (int y = 0; y < height; ++y) {
    size_t row = tableBytes + size_t(y) * stride;
    for (int x = 0; x < width; ++x) {
      size_t at = row + size_t(x) * step;
      if (at + step > data.size()) break;  // a picture cut short keeps its transparent rest
      bitmap->pixels[size_t(y) * size_t(width) + size_t(x)] = losslessPixel(format, withAlpha, &data[at], table);
    }
  }
  noteOpacity(*bitmap);
  return bitmap;
}

std::vector<uint8_t> joinJpegStreams(std::span<const uint8_t> data, PictureSize* size) {
  std::vector<uint8_t> out;
  out.reserve(data.size());
  size_t i = 0;
  auto at = [&](size_t k, uint8_t value) { return k < data.size() && data[k] == value; };
  if (at(0, kMarker) && at(1, kEndOfImage)) i = 2;  // an end before the start
  auto copyRest = [&] { out.insert(out.end(), data.begin() + ptrdiff_t(std::min(i, data.size())), data.end()); };
  bool started = false;
  while (i + 1 < data.size()) {
    if (data[i] != kMarker) break;
    uint8_t marker = data[i + 1];
    if (marker == kStartOfImage) {
      if (!started) out.insert(out.end(), {kMarker, kStartOfImage});
      started = true;
      i += 2;
    } else if (marker == kEndOfImage && at(i + 2, kMarker) && at(i + 3, kStartOfImage)) {
      i += 4;  // the end of the tables and the start of the picture
    } else if (marker == kMarker) {
      ++i;  // fill byte
    } else if (marker == kStartOfScan || marker == kEndOfImage) {
      break;
    } else if (isStandaloneMarker(marker)) {
      out.insert(out.end(), data.begin() + ptrdiff_t(i), data.begin() + ptrdiff_t(i + 2));
      i += 2;
    } else {
      if (i + 3 >= data.size()) break;
      size_t end = i + 2 + (size_t(data[i + 2]) << 8 | data[i + 3]);
      if (end > data.size()) break;
      if (size && isStartOfFrame(marker) && end >= i + 9) {
        size->height = data[i + 5] << 8 | data[i + 6];
        size->width = data[i + 7] << 8 | data[i + 8];
      }
      out.insert(out.end(), data.begin() + ptrdiff_t(i), data.begin() + ptrdiff_t(end));
      i = end;
    }
  }
  copyRest();
  return out;
}

std::shared_ptr<BitmapPixels> readJpegBitmap(SwfReader& body, bool withAlpha, std::span<const uint8_t> tables,
                                             size_t& pixelBudget) {
  size_t pictureBytes = withAlpha ? body.u32() : body.remaining();
  std::span<const uint8_t> picture = body.bytes(std::min(pictureBytes, body.remaining()));
  if (!body.ok() || picture.empty()) return nullptr;
  std::vector<uint8_t> withTables;
  if (!tables.empty()) {
    withTables.assign(tables.begin(), tables.end());
    withTables.insert(withTables.end(), picture.begin(), picture.end());
    picture = withTables;
  }
  bool isJpeg =
      picture.size() >= 2 && picture[0] == kMarker && (picture[1] == kStartOfImage || picture[1] == kEndOfImage);
  PictureSize size;
  std::vector<uint8_t> joined =
      isJpeg ? joinJpegStreams(picture, &size) : std::vector<uint8_t>(picture.begin(), picture.end());
  if (!isJpeg) size = headerSize(joined);
  // Refused before decoding, so that claims of huge pictures cost no time.
  if (!sizeFits(size, pixelBudget)) return nullptr;
  RichImageData decoded;
  if (!decodePicture(joined, decoded)) return nullptr;
  auto bitmap = newBitmap(decoded.width, decoded.height, pixelBudget);
  if (!bitmap || decoded.pixels.size() != bitmap->pixels.size()) return nullptr;
  uint32_t transparent = uint32_t(decoded.transparentColor.red) << 16 | uint32_t(decoded.transparentColor.green) << 8 |
                         decoded.transparentColor.blue;
  for (size_t i = 0; i < decoded.pixels.size(); ++i) {
    uint32_t rgb = decoded.pixels[i] & 0xFFFFFF;
    bitmap->pixels[i] = decoded.hasTransparentColor && rgb == transparent ? 0 : 0xFF000000u | rgb;
  }
  // JPEG3's alpha: one byte a pixel, compressed; where it runs out the picture stays opaque.
  std::vector<uint8_t> alpha;
  if (withAlpha && isJpeg && inflateBounded(body.bytes(body.remaining()), bitmap->pixels.size(), alpha)) {
    for (size_t i = 0; i < alpha.size(); ++i) {
      uint32_t p = bitmap->pixels[i];
      bitmap->pixels[i] = premultiply({uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), alpha[i]});
    }
  }
  noteOpacity(*bitmap);
  return bitmap;
}

}  // namespace swf
