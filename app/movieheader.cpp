#include "app/movieheader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/core/guards.h"
#include "platform/core/wstdio.h"

namespace {

constexpr size_t kSignatureBytes = 8;
// Five bits of field size, four fields of at most 31 bits, then the 16-bit
// rate and count.
constexpr size_t kMaxBodyBytes = (5 + 4 * 31 + 7) / 8 + 4;
// One read of this size holds the whole header of an uncompressed movie and,
// nearly always, the compressed bytes a header needs.
constexpr size_t kFirstRead = 256;

// Where the body's bytes come from: the bytes after the signature as read,
// or the zlib stream they start, fed from the file as inflate wants more.
// Never more than asked for is produced.
class BodySource {
 public:
  BodySource(FILE* file, const uint8_t* start, size_t size, bool compressed)
      : m_file(file), m_start(start), m_size(size), m_compressed(compressed) {
    if (!m_compressed) return;
    m_ready = inflateInit(&m_stream) == Z_OK;
    m_stream.next_in = const_cast<uint8_t*>(start);
    m_stream.avail_in = static_cast<uInt>(size);
  }
  ~BodySource() {
    if (m_compressed && m_ready) inflateEnd(&m_stream);
  }
  BodySource(const BodySource&) = delete;
  BodySource& operator=(const BodySource&) = delete;

  // Fills exactly `count` bytes, or answers false.
  bool read(uint8_t* out, size_t count) {
    if (m_compressed) return m_ready && inflateExactly(out, count);
    if (m_size - m_used < count) return false;
    std::memcpy(out, m_start + m_used, count);
    m_used += count;
    return true;
  }

 private:
  bool inflateExactly(uint8_t* out, size_t count) {
    m_stream.next_out = out;
    m_stream.avail_out = static_cast<uInt>(count);
    while (m_stream.avail_out > 0) {
      if (m_stream.avail_in == 0) {
        size_t got = std::fread(m_more.data(), 1, m_more.size(), m_file);
        if (got == 0) return false;
        m_stream.next_in = m_more.data();
        m_stream.avail_in = static_cast<uInt>(got);
      }
      // inflate reads on past the last byte it was asked for (to the next
      // block header): damage there does not spoil what came before it.
      int status = inflate(&m_stream, Z_NO_FLUSH);
      if (m_stream.avail_out == 0) return true;
      if (status != Z_OK) return false;
    }
    return true;
  }

  FILE* m_file;
  const uint8_t* m_start;
  size_t m_size;
  size_t m_used = 0;
  bool m_compressed;
  bool m_ready = true;
  z_stream m_stream{};
  std::array<uint8_t, kFirstRead> m_more;  // filled by each read before use
};

// Bit fields of the body, most significant bit first.
class BitReader {
 public:
  // `data` holds every byte the fields asked for will need.
  explicit BitReader(const uint8_t* data) : m_data(data) {}
  uint32_t bits(unsigned count) {
    uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++m_bit) value = value << 1 | ((m_data[m_bit / 8] >> (7 - m_bit % 8)) & 1);
    return value;
  }
  int32_t signedBits(unsigned count) {
    if (count == 0) return 0;
    uint32_t value = bits(count);
    uint32_t sign = 1u << (count - 1);
    return static_cast<int32_t>((value ^ sign) - sign);
  }
  size_t bytesUsed() const { return (m_bit + 7) / 8; }
  uint16_t alignedU16() {
    m_bit = bytesUsed() * 8;
    uint16_t value = static_cast<uint16_t>(m_data[m_bit / 8] | m_data[m_bit / 8 + 1] << 8);
    m_bit += 16;
    return value;
  }

 private:
  const uint8_t* m_data;
  size_t m_bit = 0;
};

// The rectangle's byte count once its field size is known, plus rate and count.
size_t bodyBytesFor(unsigned fieldBits) { return (5 + 4 * fieldBits + 7) / 8 + 4; }

}  // namespace

bool readMovieHeader(const WideString& path, MovieHeader& header) {
  FileHandle file(_wfopen(path.c_str(), u"rb"));
  if (!file) return false;
  uint8_t start[kFirstRead];
  size_t got = std::fread(start, 1, sizeof start, file.get());
  if (got < kSignatureBytes) return false;
  bool compressed = std::memcmp(start, "CWS", 3) == 0;
  if (!compressed && std::memcmp(start, "FWS", 3) != 0) return false;

  BodySource source(file.get(), start + kSignatureBytes, got - kSignatureBytes, compressed);
  uint8_t body[kMaxBodyBytes];
  if (!source.read(body, 1)) return false;
  size_t needed = bodyBytesFor(body[0] >> 3);
  if (!source.read(body + 1, needed - 1)) return false;

  BitReader reader(body);
  unsigned fieldBits = reader.bits(5);
  MovieHeader read;
  read.version = start[3];
  read.compressed = compressed;
  read.fileLength = uint32_t(start[4]) | uint32_t(start[5]) << 8 | uint32_t(start[6]) << 16 | uint32_t(start[7]) << 24;
  read.left = reader.signedBits(fieldBits);
  read.right = reader.signedBits(fieldBits);
  read.top = reader.signedBits(fieldBits);
  read.bottom = reader.signedBits(fieldBits);
  read.frameRate = reader.alignedU16();
  read.frameCount = reader.alignedU16();
  header = read;
  return true;
}

MovieFacts movieFactsOf(const MovieHeader& header) {
  // Taken wide so that no rectangle of the file can overflow.
  auto pixels = [](int32_t from, int32_t to) { return static_cast<int>((int64_t(to) - from) / 20); };
  MovieFacts facts;
  facts.width = pixels(header.left, header.right);
  facts.height = pixels(header.top, header.bottom);
  facts.frameRate = header.frameRate >> 8;
  facts.version = header.version;
  return facts;
}

FullScreenOffsets fullScreenOffsets(int screenWidth, int screenHeight, int movieWidth, int movieHeight, float zoom) {
  if (zoom == 0.0f) zoom = 1.0f;
  int64_t w = movieWidth, h = movieHeight, W = screenWidth, H = screenHeight;
  FullScreenOffsets offsets;
  offsets.y = static_cast<int>((w + h) / 2);
  float x = float((w - h) / 2);
  float divisor = float(2 * H) * zoom;
  if (divisor != 0.0f) x -= float((H - W) * w) / divisor;  // a zero-sized screen turns nothing
  constexpr float kLimit = 2147483520.0f;                  // the largest float below 2^31
  offsets.x = std::isfinite(x) ? static_cast<int>(std::clamp(x, -kLimit, kLimit)) : 0;
  return offsets;
}
