#include "platform/flash/swfreader.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/core/latesymbol.h"

namespace swf {

uint8_t SwfReader::u8() {
  m_bitCount = 0;
  if (!m_ok || m_pos >= m_data.size()) {
    fail();
    return 0;
  }
  return m_data[m_pos++];
}

uint16_t SwfReader::u16() {
  uint16_t lo = u8();
  uint16_t value = uint16_t(lo | u8() << 8);
  return m_ok ? value : 0;
}

uint32_t SwfReader::u32() {
  uint32_t lo = u16();
  uint32_t value = lo | uint32_t(u16()) << 16;
  return m_ok ? value : 0;
}

float SwfReader::fixed8() { return u16() / 256.0f; }

std::span<const uint8_t> SwfReader::bytes(size_t count) {
  m_bitCount = 0;
  if (!m_ok || count > m_data.size() - m_pos) {
    fail();
    return {};
  }
  auto out = m_data.subspan(m_pos, count);
  m_pos += count;
  return out;
}

std::string_view SwfReader::string() {
  m_bitCount = 0;
  if (!m_ok) return {};
  size_t start = m_pos;
  while (m_pos < m_data.size() && m_data[m_pos] != 0) ++m_pos;
  std::string_view text(reinterpret_cast<const char*>(m_data.data()) + start, m_pos - start);
  if (m_pos < m_data.size()) ++m_pos;  // the terminator
  return text;
}

uint32_t SwfReader::bits(unsigned count) {
  uint32_t value = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (m_bitCount == 0) {
      if (!m_ok || m_pos >= m_data.size()) {
        fail();
        return 0;
      }
      m_bitBuffer = m_data[m_pos++];
      m_bitCount = 8;
    }
    --m_bitCount;
    value = value << 1 | ((m_bitBuffer >> m_bitCount) & 1u);
  }
  return value;  // complete: a short field fails and answers 0 above
}

int32_t SwfReader::signedBits(unsigned count) {
  if (count == 0) return 0;
  uint32_t value = bits(count);
  if (count < 32 && (value & (1u << (count - 1)))) value |= ~0u << count;
  return int32_t(value);
}

float SwfReader::fixedBits(unsigned count) { return float(signedBits(count)) / 65536.0f; }

Rect SwfReader::rect() {
  align();
  unsigned n = bits(5);
  Rect r;
  r.xMin = signedBits(n);
  r.xMax = signedBits(n);
  r.yMin = signedBits(n);
  r.yMax = signedBits(n);
  align();
  return r;
}

Matrix SwfReader::matrix() {
  align();
  Matrix m;
  if (bits(1)) {
    unsigned n = bits(5);
    m.a = fixedBits(n);
    m.d = fixedBits(n);
  }
  if (bits(1)) {
    unsigned n = bits(5);
    m.b = fixedBits(n);
    m.c = fixedBits(n);
  }
  unsigned n = bits(5);
  m.tx = float(signedBits(n));
  m.ty = float(signedBits(n));
  align();
  return m;
}

ColorTransform SwfReader::colorTransform(bool withAlpha) {
  align();
  ColorTransform t;
  bool hasAdd = bits(1);
  bool hasMult = bits(1);
  unsigned n = bits(4);
  auto field = [&] { return int16_t(std::clamp(signedBits(n), -32768, 32767)); };
  if (hasMult) {
    t.rMult = field();
    t.gMult = field();
    t.bMult = field();
    if (withAlpha) t.aMult = field();
  }
  if (hasAdd) {
    t.rAdd = field();
    t.gAdd = field();
    t.bAdd = field();
    if (withAlpha) t.aAdd = field();
  }
  align();
  return t;
}

Rgba SwfReader::rgb() {
  Rgba c;
  c.r = u8();
  c.g = u8();
  c.b = u8();
  return c;
}

Rgba SwfReader::rgba() {
  Rgba c = rgb();
  c.a = u8();
  return c;
}

namespace {

constexpr size_t kSignatureBytes = 8;
// After the signature an LZMA movie gives the compressed length (4 bytes)
// and the coder's 5 property bytes; the raw stream follows.
constexpr size_t kLzmaLengthBytes = 4;
constexpr size_t kLzmaPropertyBytes = 5;
constexpr uint64_t kLzmaMemoryLimit = 256u << 20;

// liblzma is opened by the first LZMA movie, not linked: most movies are
// stored or zlib-compressed, and every library a start maps costs it.
struct LzmaCalls {
  decltype(&lzma_alone_decoder) aloneDecoder = nullptr;
  decltype(&lzma_code) code = nullptr;
  decltype(&lzma_end) end = nullptr;
};

// The calls, or null when the library or one of them is missing.
const LzmaCalls* lzmaCalls() {
  return lateCalls<LzmaCalls>("liblzma.so.5", [](void* l, LzmaCalls& c) {
    return lateSymbol(l, "lzma_alone_decoder", c.aloneDecoder) && lateSymbol(l, "lzma_code", c.code) &&
           lateSymbol(l, "lzma_end", c.end);
  });
}

class LzmaStream {  // one decoder, ended with its owner
 public:
  explicit LzmaStream(const LzmaCalls& calls) : m_calls(calls) {}
  ~LzmaStream() { m_calls.end(&m_stream); }
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;
  lzma_stream* get() { return &m_stream; }
  const LzmaCalls& calls() const { return m_calls; }

 private:
  const LzmaCalls& m_calls;
  lzma_stream m_stream = LZMA_STREAM_INIT;
};

// Feeds `in` to the decoder until it is used up, the stream ends, `out`
// holds `limit` bytes or the data is damaged; answers whether to go on.
bool lzmaFeed(LzmaStream& decoder, std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out) {
  lzma_stream* stream = decoder.get();
  stream->next_in = in.data();
  stream->avail_in = in.size();
  while (out.size() < limit) {
    size_t produced = out.size();
    out.resize(std::min(limit, std::max<size_t>(produced * 2, 4096)));
    stream->next_out = out.data() + produced;
    stream->avail_out = out.size() - produced;
    lzma_ret result = decoder.calls().code(stream, LZMA_RUN);
    out.resize(out.size() - stream->avail_out);
    if (result != LZMA_OK) return false;
    if (stream->avail_in == 0 && stream->avail_out > 0) return true;
  }
  return false;
}

}  // namespace

bool inflateLzmaBounded(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  if (limit == 0 || in.size() < kLzmaLengthBytes + kLzmaPropertyBytes) return false;
  // The .lzma header is the same properties followed by the 8-byte
  // uncompressed length, which the movie leaves out; unknown here.
  uint8_t header[kLzmaPropertyBytes + 8];
  std::memcpy(header, in.data() + kLzmaLengthBytes, kLzmaPropertyBytes);
  std::memset(header + kLzmaPropertyBytes, 0xFF, 8);
  const LzmaCalls* calls = lzmaCalls();
  if (!calls) return false;
  LzmaStream stream(*calls);
  if (calls->aloneDecoder(stream.get(), kLzmaMemoryLimit) != LZMA_OK) return false;
  if (lzmaFeed(stream, header, limit, out))
    lzmaFeed(stream, in.subspan(kLzmaLengthBytes + kLzmaPropertyBytes), limit, out);
  return !out.empty();
}

bool inflateBounded(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  if (limit == 0) return false;
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (inflateInit(&stream) != Z_OK) return false;
  out.resize(std::min<size_t>(limit, std::max<size_t>(in.size() * 4, 4096)));
  stream.next_in = const_cast<Bytef*>(in.data());
  stream.avail_in = uInt(std::min<size_t>(in.size(), UINT32_MAX));
  size_t produced = 0;
  int result = Z_OK;
  while (result == Z_OK && produced < limit) {
    if (produced == out.size()) out.resize(std::min(limit, out.size() * 2));
    stream.next_out = out.data() + produced;
    stream.avail_out = uInt(std::min<size_t>(out.size() - produced, UINT32_MAX));
    result = inflate(&stream, Z_NO_FLUSH);
    produced = out.size() - stream.avail_out;
    if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // input ended early
  }
  inflateEnd(&stream);
  out.resize(produced);
  return produced > 0;
}

MovieReadStatus readMovieFile(std::span<const uint8_t> file, SwfHeader& header, std::vector<uint8_t>& tags) {
  tags.clear();
  if (file.size() < 3) return MovieReadStatus::Truncated;
  bool compressed = file[0] == 'C';
  bool lzma = file[0] == 'Z';
  if ((file[0] != 'F' && !compressed && !lzma) || file[1] != 'W' || file[2] != 'S') return MovieReadStatus::NotAMovie;
  if (file.size() < kSignatureBytes) return MovieReadStatus::Truncated;
  SwfReader top(file);
  top.skip(3);
  SwfHeader h;
  h.compressed = compressed || lzma;
  h.version = top.u8();
  h.fileLength = top.u32();
  size_t bodyLimit =
      std::min<size_t>(h.fileLength > kSignatureBytes ? h.fileLength - kSignatureBytes : 0, kMaxMovieBytes);

  std::vector<uint8_t> body;
  auto rest = file.subspan(kSignatureBytes);
  if (lzma) {
    if (!inflateLzmaBounded(rest, bodyLimit, body)) return MovieReadStatus::BadCompression;
  } else if (compressed) {
    if (!inflateBounded(rest, bodyLimit, body)) return MovieReadStatus::BadCompression;
  } else {
    body.assign(rest.begin(), rest.begin() + std::min(rest.size(), bodyLimit));
  }

  SwfReader reader(body);
  h.frameRect = reader.rect();
  h.frameRate = reader.fixed8();
  h.frameCount = reader.u16();
  if (!reader.ok()) return h.compressed ? MovieReadStatus::BadCompression : MovieReadStatus::Truncated;
  header = h;
  tags.assign(body.begin() + ptrdiff_t(reader.position()), body.end());
  return MovieReadStatus::Ok;
}

}  // namespace swf
