#include "app/movieheader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support/testdevice.h"
#include "tools/swfwriter/swfwriter.h"

namespace {

using Bytes = std::string;

// A header body: the rectangle in `fieldBits`-bit fields, rate and count.
Bytes body(unsigned fieldBits, int32_t left, int32_t right, int32_t top, int32_t bottom, uint16_t rate,
           uint16_t count) {
  swfwrite::BitWriter w;
  w.bits(fieldBits, 5);
  for (int32_t v : {left, right, top, bottom}) w.signedBits(v, fieldBits);
  w.align();
  w.u16(rate);
  w.u16(count);
  auto data = w.take();
  return Bytes(data.begin(), data.end());
}

Bytes zlibOf(const Bytes& data) {
  uLongf size = compressBound(uLong(data.size()));
  Bytes out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
            uLong(data.size()), Z_BEST_COMPRESSION);
  out.resize(size);
  return out;
}

Bytes file(const char* signature, uint8_t version, const Bytes& rest, uint32_t length = 1000) {
  Bytes out(signature, 3);
  out += char(version);
  for (int i = 0; i < 4; ++i) out += char(length >> (8 * i));
  return out + rest;
}

// A zlib stream whose first full-flushed block holds `head`, followed by
// bytes no inflater can read.
Bytes flushedThenGarbage(const Bytes& head) {
  z_stream s{};
  deflateInit(&s, Z_BEST_COMPRESSION);
  Bytes out(1024, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(head.data()));
  s.avail_in = uInt(head.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = uInt(out.size());
  deflate(&s, Z_FULL_FLUSH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out + Bytes(4096, '\xFF');
}

std::vector<uint8_t> demoMovie(bool compressed) {
  swfwrite::MovieWriter movie(240, 180, 12.5f, 6);
  movie.showFrame();
  movie.showFrame();
  return movie.finish(compressed);
}

}  // namespace

TEST(MovieHeader, ReadsFwsAndCws) {
  struct Case {
    const char* what;
    Bytes bytes;
    MovieHeader header;
  };
  auto written = [](bool compressed) {
    auto data = demoMovie(compressed);
    return Bytes(data.begin(), data.end());
  };
  const Bytes plain = body(15, -200, 4600, 100, 2100, 0x0C80, 7);
  const Case cases[] = {
      {"written FWS", written(false), {6, false, uint32_t(written(false).size()), 0, 0, 4800, 3600, 0x0C80, 2}},
      {"written CWS", written(true), {6, true, uint32_t(written(false).size()), 0, 0, 4800, 3600, 0x0C80, 2}},
      {"offset rectangle", file("FWS", 9, plain), {9, false, 1000, -200, 100, 4600, 2100, 0x0C80, 7}},
      {"offset rectangle, compressed",
       file("CWS", 9, zlibOf(plain + Bytes(500, 'x'))),
       {9, true, 1000, -200, 100, 4600, 2100, 0x0C80, 7}},
      {"31-bit fields",
       file("FWS", 5, body(31, -(1 << 30), (1 << 30) - 1, 0, 20, 0xFFFF, 0xFFFF)),
       {5, false, 1000, -(1 << 30), 0, (1 << 30) - 1, 20, 0xFFFF, 0xFFFF}},
      {"empty fields", file("FWS", 4, body(0, 0, 0, 0, 0, 0, 0)), {4, false, 1000, 0, 0, 0, 0, 0, 0}},
      {"nothing after the header",
       file("FWS", 4, body(2, 1, -1, 0, 1, 0x0100, 1)),
       {4, false, 1000, 1, 0, -1, 1, 256, 1}},
      {"damaged after the header needs it",
       file("CWS", 7, flushedThenGarbage(plain)),
       {7, true, 1000, -200, 100, 4600, 2100, 0x0C80, 7}},
  };
  TestDevice device;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeHostFile(device.host("m.swf"), c.bytes);
    MovieHeader h;
    ASSERT_TRUE(readMovieHeader(u"\\m.swf", h));
    EXPECT_EQ(h.version, c.header.version);
    EXPECT_EQ(h.compressed, c.header.compressed);
    EXPECT_EQ(h.fileLength, c.header.fileLength);
    EXPECT_EQ(h.left, c.header.left);
    EXPECT_EQ(h.top, c.header.top);
    EXPECT_EQ(h.right, c.header.right);
    EXPECT_EQ(h.bottom, c.header.bottom);
    EXPECT_EQ(h.frameRate, c.header.frameRate);
    EXPECT_EQ(h.frameCount, c.header.frameCount);
  }
}

TEST(MovieHeader, LeavesTheHeaderAloneWhenItIsNotUsable) {
  const Bytes plain = body(15, 0, 4800, 0, 3600, 0x0C00, 10);
  const Bytes packed = zlibOf(plain);
  struct Case {
    const char* what;
    std::optional<Bytes> bytes;  // none: no file
  };
  const Case cases[] = {
      {"no file", std::nullopt},
      {"empty file", Bytes()},
      {"shorter than the signature", Bytes("FWS\x06", 4)},
      {"picture", file("GIF", 8, plain)},
      {"lower-case signature", file("fws", 8, plain)},
      {"signature only", file("FWS", 8, "")},
      {"31-bit fields cut short", file("FWS", 8, body(31, 1, 2, 3, 4, 5, 6).substr(0, 10))},
      {"rate and count missing", file("FWS", 8, plain.substr(0, plain.size() - 3))},
      {"compressed body cut short", file("CWS", 8, packed.substr(0, 6))},
      {"compressed body that is not zlib", file("CWS", 8, Bytes(64, '\x5A'))},
      {"compressed stream ending before the header does", file("CWS", 8, zlibOf(plain.substr(0, 5)))},
      {"uncompressed body behind CWS", file("CWS", 8, plain)},
  };
  TestDevice device;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.bytes) writeHostFile(device.host("m.swf"), *c.bytes);
    MovieHeader h;
    h.version = 42;
    h.right = 777;
    h.frameCount = 3;
    EXPECT_FALSE(readMovieHeader(u"\\m.swf", h));
    EXPECT_EQ(h.version, 42);
    EXPECT_EQ(h.right, 777);
    EXPECT_EQ(h.frameCount, 3);
  }
}

TEST(MovieFacts, DivideTwipsTowardsZero) {
  struct Case {
    int32_t left, top, right, bottom;
    uint16_t rate;
    int width, height, frameRate;
  };
  const Case cases[] = {
      {0, 0, 4800, 3600, 0x0C80, 240, 180, 12},
      {-200, 100, 4600, 2100, 0x1DFF, 240, 100, 29},
      {0, 0, 39, 19, 0x00FF, 1, 0, 0},      // under a pixel; rate under one frame
      {100, 0, 0, -39, 0x0100, -5, -1, 1},  // inverted rectangle: towards zero, not down
      {-(1 << 30), -(1 << 30), (1 << 30) - 1, (1 << 30) - 1, 0, 107374182, 107374182, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.left << "," << c.top << "," << c.right << "," << c.bottom);
    MovieHeader h;
    h.version = 8;
    h.left = c.left;
    h.top = c.top;
    h.right = c.right;
    h.bottom = c.bottom;
    h.frameRate = c.rate;
    MovieFacts f = movieFactsOf(h);
    EXPECT_EQ(f.width, c.width);
    EXPECT_EQ(f.height, c.height);
    EXPECT_EQ(f.frameRate, c.frameRate);
    EXPECT_EQ(f.version, 8);
  }
}

TEST(FullScreenOffsets, FollowTheIntegerAndFloatRules) {
  struct Case {
    int W, H, w, h;
    float zoom;
    int x, y;
  };
  const Case cases[] = {
      {240, 320, 240, 180, 1.0f, 0, 210},
      {240, 320, 240, 180, 2.0f, 15, 210},                  // 30 - 19200 / 1280
      {240, 320, 241, 180, 1.0f, 0, 210},                   // 30 - 30.125 truncates to 0, not -1
      {240, 320, 100, 181, 1.0f, -52, 140},                 // (-81) / 2 is -40; -40 - 12.5 truncates to -52
      {240, 320, 0, 0, 1.0f, 0, 0},                         // no size, nothing divides by it
      {240, 320, 240, 180, 0.0f, 0, 210},                   // a zero zoom stands for 1.0
      {0, 0, 240, 180, 1.0f, 30, 210},                      // no screen: no division by zero
      {320, 240, 240, 180, 1.0f, 70, 210},                  // landscape screen: 30 + 19200 / 480
      {240, 320, 100000000, 10, 1.0f, 37499996, 50000005},  // products beyond 32 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << " movie " << c.w << "x" << c.h << " zoom " << c.zoom);
    FullScreenOffsets o = fullScreenOffsets(c.W, c.H, c.w, c.h, c.zoom);
    EXPECT_EQ(o.x, c.x);
    EXPECT_EQ(o.y, c.y);
  }
}
