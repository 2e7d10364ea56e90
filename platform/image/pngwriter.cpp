#include "platform/image/pngwriter.h"

#include <zlib.h>

#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/image/pngcalls.h"

namespace image {

namespace {

// Screenshots and rendered skins are read back and thrown away. Their
// pictures are flat colours with anti-aliased text (well over a palette's
// 256 colours), and the rows repeat: whole-row matches found by plain deflate
// on unfiltered rows cost least per byte. Run-length or Huffman-only
// strategies behind the left or up filter measured slower here and wrote
// files two to five times the size.
constexpr int kCompressionLevel = 2;
constexpr int kCompressionStrategy = Z_DEFAULT_STRATEGY;
constexpr int kRowFilter = PNG_FILTER_NONE;
// A smaller hash table than zlib's default: fewer slots to clear and slide,
// and for these pictures no worse at finding the repeated rows.
constexpr int kCompressionMemLevel = 5;

// Quiet: the caller reports a failed write in its own words.
[[noreturn]] void jumpOnError(png_structp png, png_const_charp) {
  image::png()->longJump(png, 1);
  std::abort();  // never reached: the jump does not return
}
void ignoreWarning(png_structp, png_const_charp) {}

// The writer and its header, released together.
class PngWriteStruct {
 public:
  explicit PngWriteStruct(const PngCalls& calls)
      : m_calls(calls), m_png(calls.createWriteStruct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning)) {
    if (m_png) m_info = calls.createInfoStruct(m_png);
  }
  ~PngWriteStruct() { m_calls.destroyWriteStruct(&m_png, m_info ? &m_info : nullptr); }
  PngWriteStruct(const PngWriteStruct&) = delete;
  PngWriteStruct& operator=(const PngWriteStruct&) = delete;
  bool valid() const { return m_png && m_info; }
  png_structp png() const { return m_png; }
  png_infop info() const { return m_info; }

 private:
  const PngCalls& m_calls;
  png_structp m_png = nullptr;
  png_infop m_info = nullptr;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One loop per kind of surface, so the colour one stays a plain byte shuffle.
void toRgb(const gdi::Surface& surface, int y, png_byte* out) {
  const std::uint32_t* in = surface.row(y);
  const std::uint32_t* end = in + surface.width;
  if (surface.mono()) {
    for (; in != end; ++in, out += 3) out[0] = out[1] = out[2] = *in ? 0xFF : 0;
    return;
  }
  // Four pixels make three words: 0x00RRGGBB byte-swapped and shifted is
  // R, G, B in memory order on this little-endian host.
  static_assert(std::endian::native == std::endian::little);
  for (; end - in >= 4; in += 4, out += 12) {
    const std::uint32_t a = __builtin_bswap32(in[0]) >> 8, b = __builtin_bswap32(in[1]) >> 8,
                        c = __builtin_bswap32(in[2]) >> 8, d = __builtin_bswap32(in[3]) >> 8;
    const std::uint32_t words[3] = {a | b << 24, b >> 8 | c << 16, c >> 16 | d << 8};
    std::memcpy(out, words, sizeof words);
  }
  for (; in != end; ++in, out += 3) {
    std::uint32_t p = *in;
    out[0] = static_cast<png_byte>(p >> 16);
    out[1] = static_cast<png_byte>(p >> 8);
    out[2] = static_cast<png_byte>(p);
  }
}

// Everything libpng may jump out of; nothing here owns a resource, so the
// jump skips no destructor. `row` is one row of RGB bytes.
bool writeImage(const PngCalls& calls, png_structp png, png_infop info, std::FILE* file, const gdi::Surface& surface,
                png_byte* row) {
  if (setjmp(*calls.setLongjmpFn(png, std::longjmp, sizeof(std::jmp_buf)))) return false;
  calls.initIo(png, file);
  calls.setIhdr(png, info, static_cast<png_uint_32>(surface.width), static_cast<png_uint_32>(surface.height), 8,
                PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  calls.setFilter(png, PNG_FILTER_TYPE_BASE, kRowFilter);
  calls.setCompressionLevel(png, kCompressionLevel);
  calls.setCompressionStrategy(png, kCompressionStrategy);
  calls.setCompressionMemLevel(png, kCompressionMemLevel);
  calls.writeInfo(png, info);
  for (int y = 0; y < surface.height; ++y) {
    toRgb(surface, y, row);
    calls.writeRow(png, row);
  }
  calls.writeEnd(png, nullptr);
  return true;
}

}  // namespace

bool writeSurfacePng(const gdi::Surface& surface, const std::string& path) {
  if (surface.width <= 0 || surface.height <= 0) return false;
  const PngCalls* calls = image::png();
  if (!calls) return false;
  PngWriteStruct writer(*calls);
  if (!writer.valid()) return false;
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  std::vector<png_byte> row(static_cast<size_t>(surface.width) * 3);
  bool ok = writeImage(*calls, writer.png(), writer.info(), file.get(), surface, row.data());
  // A half-written file is no picture: nothing is left behind on failure.
  ok = std::fclose(file.release()) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace image
