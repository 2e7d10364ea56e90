#pragma once
// Bounded reading of a Flash movie: bytes and bit fields, the format's
// records (RECT, MATRIX, CXFORM, colours), and the file header with its
// zlib-compressed body. Reading past the end never touches memory outside the
// data: it sets a sticky failure and answers zeros from then on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flash/swfgeometry.h"

namespace swf {

class SwfReader {
 public:
  explicit SwfReader(std::span<const uint8_t> data) : m_data(data) {}

  bool ok() const { return m_ok; }
  bool atEnd() const { return m_pos >= m_data.size(); }
  size_t position() const { return m_pos; }
  size_t remaining() const { return m_ok ? m_data.size() - m_pos : 0; }

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  int16_t s16() { return int16_t(u16()); }
  float fixed8();  // 8.8 fixed point, unsigned
  // A span of `count` bytes that lie inside the data, or an empty span and failure.
  std::span<const uint8_t> bytes(size_t count);
  void skip(size_t count) { bytes(count); }
  // A null-terminated string; the end of the data also ends it.
  std::string_view string();

  // Bit fields, most significant bit first. Byte reads align first.
  uint32_t bits(unsigned count);
  int32_t signedBits(unsigned count);
  float fixedBits(unsigned count);  // signed 16.16
  void align() { m_bitCount = 0; }

  Rect rect();
  Matrix matrix();
  ColorTransform colorTransform(bool withAlpha);
  Rgba rgb();
  Rgba rgba();

  void fail() {
    m_ok = false;
    m_pos = m_data.size();
    m_bitCount = 0;
  }

 private:
  std::span<const uint8_t> m_data;
  size_t m_pos = 0;
  uint8_t m_bitBuffer = 0;
  unsigned m_bitCount = 0;  // bits left in m_bitBuffer
  bool m_ok = true;
};

// The fixed part at the start of every movie file.
struct SwfHeader {
  bool compressed = false;  // signature "CWS" (zlib) or "ZWS" (LZMA)
  uint8_t version = 0;
  uint32_t fileLength = 0;  // as the header says: the uncompressed length, header included
  Rect frameRect;
  float frameRate = 0;  // frames per second, 8.8 fixed point in the file
  uint16_t frameCount = 0;
};

enum class MovieReadStatus {
  Ok,
  NotAMovie,       // signature none of "FWS", "CWS" and "ZWS"
  Truncated,       // the header itself is incomplete
  BadCompression,  // the compressed body does not even hold the header
};

// Largest uncompressed movie accepted; a longer declared length is cut here.
constexpr size_t kMaxMovieBytes = 64u << 20;

// Inflates a zlib stream into `out`, stopping after `limit` bytes. A stream
// that ends early or is damaged keeps what came out before; answers false
// when not even one byte did.
bool inflateBounded(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out);

// The same for the LZMA body of a ZWS movie, after its 8-byte signature.
bool inflateLzmaBounded(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out);

// Reads the header and gives the movie's tag stream in `tags` (uncompressed).
// A compressed body that ends early or is damaged after the header still
// answers Ok with the tags that could be inflated, as a partly loaded movie.
MovieReadStatus readMovieFile(std::span<const uint8_t> file, SwfHeader& header, std::vector<uint8_t>& tags);

}  // namespace swf
