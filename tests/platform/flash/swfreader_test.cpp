#include "platform/flash/swfreader.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/samples.h"

using namespace swf;

namespace {

struct BitCase {
  std::vector<uint8_t> bytes;
  std::vector<unsigned> widths;
  std::vector<int32_t> expected;  // signed reads
  const char* what;
};

const BitCase kBitCases[] = {
    {{0b10110000}, {1, 1, 2}, {-1, 0, -1}, "one-bit fields are 0 or -1"},
    {{0b01111000}, {5}, {15}, "positive five-bit field"},
    {{0b10001000}, {5}, {-15}, "negative five-bit field"},
    {{0x12, 0x34, 0x56}, {4, 8, 12}, {1, 0x23, 0x456}, "fields across byte borders"},
    {{0xFF, 0xFF, 0xFF, 0xFF}, {32}, {-1}, "a full 32-bit field"},
    {{0x80, 0, 0, 0}, {32}, {INT32_MIN}, "the most negative 32-bit field"},
    {{}, {0}, {0}, "a zero-width field reads nothing"},
};

TEST(SwfReader, ReadsSignedBitFieldsMostSignificantFirst) {
  for (const auto& c : kBitCases) {
    SCOPED_TRACE(c.what);
    SwfReader r(c.bytes);
    for (size_t i = 0; i < c.widths.size(); ++i) EXPECT_EQ(r.signedBits(c.widths[i]), c.expected[i]);
    EXPECT_TRUE(r.ok());
  }
}

TEST(SwfReader, ReadingPastTheEndFailsAndStaysFailed) {
  const uint8_t data[] = {0x01, 0x02, 0x03};
  SwfReader r(data);
  EXPECT_EQ(r.u16(), 0x0201);
  EXPECT_EQ(r.u32(), 0u);  // only one byte left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // even a byte that would fit on its own
  EXPECT_EQ(r.bytes(1).size(), 0u);
  EXPECT_EQ(r.remaining(), 0u);

  SwfReader bits(data);
  bits.bits(20);
  EXPECT_TRUE(bits.ok());
  bits.bits(5);
  EXPECT_FALSE(bits.ok());

  SwfReader huge(data);
  EXPECT_TRUE(huge.bytes(SIZE_MAX).empty());
  EXPECT_FALSE(huge.ok());
}

TEST(SwfReader, StringsEndAtTheirTerminatorOrTheData) {
  const uint8_t data[] = {'a', 'b', 0, 'c', 'd'};
  SwfReader r(data);
  EXPECT_EQ(r.string(), "ab");
  EXPECT_EQ(r.string(), "cd");  // unterminated: the data ends it
  EXPECT_TRUE(r.atEnd());
}

TEST(SwfReader, ByteReadsAlignAfterBitFields) {
  const uint8_t data[] = {0xA0, 0x42};
  SwfReader r(data);
  EXPECT_EQ(r.bits(3), 0b101u);
  EXPECT_EQ(r.u8(), 0x42);
}

struct MatrixCase {
  Matrix m;
  const char* what;
};

const MatrixCase kMatrices[] = {
    {{}, "identity: no scale, no rotation, no translation"},
    {{1, 0, 0, 1, 200, -340}, "translation only"},
    {{2.5f, 0, 0, 0.25f, 0, 0}, "scale only"},
    {{0, 1, -1, 0, 20, 40}, "a quarter turn"},
    {{-1.5f, 0.5f, 0.75f, -3, -100000, 99999}, "everything, negative"},
};

TEST(SwfReader, ReadsMatricesAsWritten) {
  for (const auto& c : kMatrices) {
    SCOPED_TRACE(c.what);
    swfwrite::BitWriter w;
    w.u8(0x5A);
    w.matrix(c.m);
    w.u8(0xA5);
    auto bytes = w.take();
    SwfReader r(bytes);
    EXPECT_EQ(r.u8(), 0x5A);
    Matrix m = r.matrix();
    EXPECT_FLOAT_EQ(m.a, c.m.a);
    EXPECT_FLOAT_EQ(m.b, c.m.b);
    EXPECT_FLOAT_EQ(m.c, c.m.c);
    EXPECT_FLOAT_EQ(m.d, c.m.d);
    EXPECT_FLOAT_EQ(m.tx, c.m.tx);
    EXPECT_FLOAT_EQ(m.ty, c.m.ty);
    EXPECT_EQ(r.u8(), 0xA5);  // the record ends on a byte border
    EXPECT_TRUE(r.ok());
  }
}

TEST(SwfReader, ReadsColorTransformsWithAndWithoutAlpha) {
  ColorTransform cx{128, 256, 0, 64, -255, 10, 0, 255};
  for (bool alpha : {false, true}) {
    SCOPED_TRACE(alpha ? "with alpha" : "without alpha");
    swfwrite::BitWriter w;
    w.colorTransform(cx, alpha);
    auto bytes = w.take();
    SwfReader r(bytes);
    ColorTransform read = r.colorTransform(alpha);
    EXPECT_EQ(read.rMult, 128);
    EXPECT_EQ(read.bMult, 0);
    EXPECT_EQ(read.rAdd, -255);
    EXPECT_EQ(read.gAdd, 10);
    EXPECT_EQ(read.aMult, alpha ? 64 : 256);
    EXPECT_EQ(read.aAdd, alpha ? 255 : 0);
    EXPECT_TRUE(r.atEnd());
  }
}

TEST(ColorTransform, AppliesMultiplyThenAddAndClamps) {
  ColorTransform cx{128, 512, 256, 256, 10, 0, -300, 0};
  EXPECT_EQ(cx.apply({200, 200, 100, 255}), (Rgba{110, 255, 0, 255}));
  ColorTransform half{256, 256, 256, 128, 0, 0, 0, 0};
  ColorTransform both = half * cx;  // cx first, then half alpha
  EXPECT_EQ(both.apply({200, 200, 100, 255}), (Rgba{110, 255, 0, 127}));
}

std::vector<uint8_t> compressedCopy(std::vector<uint8_t> fws) {
  // Turns an FWS file into the CWS form of the same movie.
  std::vector<uint8_t> out(fws.begin(), fws.begin() + 8);
  out[0] = 'C';
  uLongf size = compressBound(uLong(fws.size()));
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, fws.data() + 8, uLong(fws.size() - 8));
  out.insert(out.end(), packed.begin(), packed.begin() + ptrdiff_t(size));
  return out;
}

TEST(MovieFile, ReadsTheHeaderOfPlainAndCompressedMovies) {
  auto movie = flashtest::whiteMovie(550, 400, 24.5f);
  movie.showFrame();
  movie.showFrame();
  movie.showFrame();
  auto fws = movie.finish(false);
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    auto file = compressed ? movie.finish(true) : fws;
    SwfHeader h;
    std::vector<uint8_t> tags;
    ASSERT_EQ(readMovieFile(file, h, tags), MovieReadStatus::Ok);
    EXPECT_EQ(h.compressed, compressed);
    EXPECT_EQ(h.version, 8);
    EXPECT_EQ(h.fileLength, fws.size());
    EXPECT_EQ(h.frameRect.xMin, 0);
    EXPECT_EQ(h.frameRect.xMax, 550 * 20);
    EXPECT_EQ(h.frameRect.yMax, 400 * 20);
    EXPECT_FLOAT_EQ(h.frameRate, 24.5f);
    EXPECT_EQ(h.frameCount, 3);
    EXPECT_EQ(tags.size(), fws.size() - 8 - 9 - 4);  // signature, rect, rate and count
  }
}

TEST(MovieFile, RefusesWhatIsNoMovie) {
  auto good = flashtest::whiteMovie().finish(false);
  auto cws = compressedCopy(good);
  std::vector<uint8_t> corrupt = cws;
  for (size_t i = 8; i < corrupt.size(); ++i) corrupt[i] ^= 0x5A;
  std::vector<uint8_t> cutHeader(good.begin(), good.begin() + 10);
  struct Case {
    std::vector<uint8_t> file;
    MovieReadStatus status;
    const char* what;
  } cases[] = {
      {{}, MovieReadStatus::Truncated, "empty file"},
      {{'F', 'W'}, MovieReadStatus::Truncated, "two bytes"},
      {{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, MovieReadStatus::NotAMovie, "a picture"},
      {{'f', 'w', 's', 6, 0, 0, 0, 0}, MovieReadStatus::NotAMovie, "lower-case signature"},
      {{'F', 'W', 'S', 6, 20}, MovieReadStatus::Truncated, "signature without length"},
      {cutHeader, MovieReadStatus::Truncated, "frame rectangle cut"},
      {corrupt, MovieReadStatus::BadCompression, "compressed body of garbage"},
      {{'C', 'W', 'S', 6, 100, 0, 0, 0}, MovieReadStatus::BadCompression, "compressed body missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SwfHeader h;
    std::vector<uint8_t> tags;
    EXPECT_EQ(readMovieFile(c.file, h, tags), c.status);
    EXPECT_TRUE(tags.empty());
  }
}

TEST(MovieFile, ACompressedBodyCutShortStillGivesWhatInflated) {
  auto cws = swfwrite::demoMovie(true);
  auto fws = swfwrite::demoMovie(false);
  std::vector<uint8_t> cut(cws.begin(), cws.begin() + ptrdiff_t(cws.size() / 2));
  SwfHeader h;
  std::vector<uint8_t> tags;
  ASSERT_EQ(readMovieFile(cut, h, tags), MovieReadStatus::Ok);
  EXPECT_GT(tags.size(), 100u);
  EXPECT_LT(tags.size(), fws.size() - 20);
  // What came out is the start of the whole movie's tags.
  EXPECT_TRUE(std::equal(tags.begin(), tags.end(), fws.begin() + 20));
}

TEST(MovieFile, TheDeclaredLengthBoundsTheBody) {
  auto movie = flashtest::whiteMovie();
  movie.showFrame();
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    auto file = movie.finish(compressed);
    uint32_t fullLength = file[4] | file[5] << 8 | file[6] << 16 | uint32_t(file[7]) << 24;
    // A length shorter than the data: the tags stop where it says.
    uint32_t shorter = fullLength - 2;
    for (int i = 0; i < 4; ++i) file[4 + size_t(i)] = uint8_t(shorter >> (8 * i));
    SwfHeader h;
    std::vector<uint8_t> tags;
    ASSERT_EQ(readMovieFile(file, h, tags), MovieReadStatus::Ok);
    EXPECT_EQ(tags.size() + 8 + 12, shorter);  // signature, rectangle, rate and count
    // A huge declared length allocates nothing beyond the data.
    for (int i = 0; i < 4; ++i) file[4 + size_t(i)] = 0xFF;
    ASSERT_EQ(readMovieFile(file, h, tags), MovieReadStatus::Ok);
    EXPECT_LT(tags.size(), 1000u);
  }
}

}  // namespace
