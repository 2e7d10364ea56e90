// Windows bitmaps: 1, 4, 8 (palette), 24 and 32 bits, uncompressed or with
// 32-bit bit fields, bottom-up or top-down. Every read is checked against
// the file's size.

#include <cstring>

#include "platform/image/decode.h"

namespace image {
namespace {

constexpr DWORD kRgb = 0;
constexpr DWORD kBitFields = 3;

struct Bytes {
  const BYTE* data;
  size_t size;
  bool has(size_t at, size_t n) const { return at <= size && n <= size - at; }
  DWORD u32(size_t at) const {
    return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (static_cast<DWORD>(data[at + 3]) << 24);
  }
  WORD u16(size_t at) const { return static_cast<WORD>(data[at] | (data[at + 1] << 8)); }
};

int shiftOf(DWORD mask) {
  int s = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++s;
  return s;
}

BYTE channel(DWORD pixel, DWORD mask) {
  if (!mask) return 0;
  DWORD v = (pixel & mask) >> shiftOf(mask);
  DWORD max = mask >> shiftOf(mask);
  return static_cast<BYTE>(v * 255 / max);
}

}  // namespace

bool BmpHandler::CanRead(const BYTE* data, size_t size) const { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

bool BmpHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  out = RichImageData{};
  Bytes b{data, size};
  if (!b.has(0, 14 + 40)) return false;
  DWORD pixelOffset = b.u32(10);
  DWORD headerSize = b.u32(14);
  if (headerSize < 40 || !b.has(14, headerSize)) return false;
  long long width = static_cast<LONG>(b.u32(18));
  long long rawHeight = static_cast<LONG>(b.u32(22));
  WORD bits = b.u16(28);
  DWORD compression = b.u32(30);
  DWORD paletteCount = b.u32(46);
  bool topDown = rawHeight < 0;
  long long height = topDown ? -rawHeight : rawHeight;
  if (!sizeAcceptable(width, height)) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (compression != kRgb && !(compression == kBitFields && bits == 32)) return false;

  DWORD masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  if (compression == kBitFields) {
    size_t at = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
    if (!b.has(at, 12)) return false;
    for (int i = 0; i < 3; ++i) masks[i] = b.u32(at + 4 * i);
  }
  std::vector<std::uint32_t> palette;
  if (bits <= 8) {
    DWORD count = paletteCount ? paletteCount : (1u << bits);
    if (count > 256) return false;
    size_t at = 14 + headerSize;
    if (!b.has(at, count * 4)) return false;
    for (DWORD i = 0; i < count; ++i)
      palette.push_back((static_cast<std::uint32_t>(data[at + i * 4 + 2]) << 16) | (data[at + i * 4 + 1] << 8) |
                        data[at + i * 4]);
  }
  size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  if (!b.has(pixelOffset, stride * static_cast<size_t>(height))) return false;

  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < out.height; ++y) {
    const BYTE* row = data + pixelOffset + stride * static_cast<size_t>(topDown ? y : out.height - 1 - y);
    std::uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * out.width;
    for (int x = 0; x < out.width; ++x) {
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          int perByte = 8 / bits;
          int shift = 8 - bits * (x % perByte + 1);
          unsigned index = (row[x / perByte] >> shift) & ((1u << bits) - 1);
          if (index >= palette.size()) {
            out = RichImageData{};
            return false;
          }
          dst[x] = palette[index];
          break;
        }
        case 24:
          dst[x] = (static_cast<std::uint32_t>(row[x * 3 + 2]) << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
          break;
        case 32: {
          DWORD p =
              row[x * 4] | (row[x * 4 + 1] << 8) | (row[x * 4 + 2] << 16) | (static_cast<DWORD>(row[x * 4 + 3]) << 24);
          dst[x] = (static_cast<std::uint32_t>(channel(p, masks[0])) << 16) | (channel(p, masks[1]) << 8) |
                   channel(p, masks[2]);
          break;
        }
      }
    }
  }
  return true;
}

}  // namespace image
