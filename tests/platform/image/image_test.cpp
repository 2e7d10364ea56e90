#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/gdi/wingdi.h"
#include "platform/image/richimage.h"
#include "tests/platform/image/encoders.h"
#include "tests/support/testdevice.h"
#include "tests/support/tempdir.h"

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// A 4 x 2 picture of large colour areas (JPEG keeps those close).
Picture sample() { return Picture{4, 2, {kRed, kRed, kGreen, kGreen, kBlue, kBlue, kWhite, kWhite}}; }

const std::vector<std::uint32_t> kPalette = {kRed, kGreen, kBlue, 0x123456};
const std::vector<unsigned char> kIndexes = {0, 1, 2, 3, 3, 2, 1, 0};

bool g_jpegWithoutHandler = true;
bool g_gifWithoutHandler = true;

// The program registers the JPEG and GIF handlers at start; until then those
// formats are unknown to the library.
class Handlers : public testing::Environment {
 public:
  void SetUp() override {
    Bytes jpeg = encodeJpeg(sample());
    Bytes gif = encodeGif(4, 2, kPalette, kIndexes, -1);
    g_jpegWithoutHandler = RichImage(jpeg.data(), jpeg.size()).Ok();
    g_gifWithoutHandler = RichImage(gif.data(), gif.size()).Ok();
    RichImage::AddHandler(new rcJPEGHandler);
    RichImage::AddHandler(new rcGIFHandler);
  }
};
const auto* const kHandlers = testing::AddGlobalTestEnvironment(new Handlers);

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
      return false;
  return true;
}

TEST(RichImage, JpegAndGifNeedTheirHandlers) {
  EXPECT_FALSE(g_jpegWithoutHandler);
  EXPECT_FALSE(g_gifWithoutHandler);
}

TEST(RichImage, EachFormatDecodesItsPixels) {
  struct Case {
    const char* format;
    std::function<Bytes()> make;
    std::vector<std::uint32_t> expected;
    int tolerance;
  };
  const std::vector<std::uint32_t> paletted = {kRed, kGreen, kBlue, 0x123456, 0x123456, kBlue, kGreen, kRed};
  const Case cases[] = {
      {"PNG", [] { return encodePng(sample()); }, sample().pixels, 0},
      {"PNG palette", [] { return encodePalettePng(4, 2, kPalette, kIndexes, -1); }, paletted, 0},
      {"BMP 24 bottom-up", [] { return encodeBmp24(sample(), false); }, sample().pixels, 0},
      {"BMP 24 top-down", [] { return encodeBmp24(sample(), true); }, sample().pixels, 0},
      {"BMP 8", [] { return encodeBmp8(4, 2, kPalette, kIndexes); }, paletted, 0},
      {"GIF", [] { return encodeGif(4, 2, kPalette, kIndexes, -1); }, paletted, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Bytes bytes = c.make();
    RichImage image(bytes.data(), bytes.size());
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.GetWidth(), 4);
    EXPECT_EQ(image.GetHeight(), 2);
    EXPECT_FALSE(image.HasTransparentColor());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(near(image.Pixels()[i], c.expected[i], c.tolerance)) << std::hex << image.Pixels()[i];
    }
  }
}

// JPEG mixes colours inside its 8 x 8 blocks (and 16 x 16 with chroma
// subsampling): each colour fills blocks of its own, looked at in their middle.
TEST(RichImage, JpegDecodesItsColours) {
  Picture blocks{64, 32, std::vector<std::uint32_t>(64 * 32)};
  const Picture cells = sample();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) blocks.pixels[y * 64 + x] = cells.pixels[(y / 16) * 4 + x / 16];
  Bytes jpeg = encodeJpeg(blocks);
  RichImage image(jpeg.data(), jpeg.size());
  ASSERT_TRUE(image.Ok());
  EXPECT_EQ(image.GetWidth(), 64);
  EXPECT_EQ(image.GetHeight(), 32);
  for (int cell = 0; cell < 8; ++cell) {
    SCOPED_TRACE(cell);
    int x = (cell % 4) * 16 + 8, y = (cell / 4) * 16 + 8;
    EXPECT_TRUE(near(image.Pixels()[y * 64 + x], cells.pixels[cell], 8)) << std::hex << image.Pixels()[y * 64 + x];
  }
}

TEST(RichImage, TransparentColours) {
  struct Case {
    const char* format;
    Bytes bytes;
    std::vector<bool> transparentAt;
    bool keepsOwnColour;  // the file's own colour for the transparent entry is free to use
  };
  std::vector<bool> at3 = {false, false, false, true, true, false, false, false};
  // Index 3 and index 0 share a colour: the mask must not eat the red pixels.
  std::vector<std::uint32_t> clashing = {kRed, kGreen, kBlue, kRed};
  Picture alphaPicture = sample();
  const Case cases[] = {
      {"GIF transparent index", encodeGif(4, 2, kPalette, kIndexes, 3), at3, true},
      {"GIF transparent entry with an opaque twin", encodeGif(4, 2, clashing, kIndexes, 3), at3, false},
      {"PNG palette tRNS", encodePalettePng(4, 2, kPalette, kIndexes, 3), at3, true},
      {"PNG alpha",
       encodeAlphaPng(alphaPicture, {255, 255, 0, 255, 255, 200, 40, 255}),
       {false, false, true, false, false, false, true, false},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    RichImage image(c.bytes.data(), c.bytes.size());
    ASSERT_TRUE(image.Ok());
    ASSERT_TRUE(image.HasTransparentColor());
    RichColor t = image.GetTransparentColor();
    std::uint32_t key = (t.red << 16) | (t.green << 8) | t.blue;
    for (size_t i = 0; i < c.transparentAt.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(image.Pixels()[i] == key, c.transparentAt[i]) << std::hex << image.Pixels()[i] << " key " << key;
    }
    if (c.keepsOwnColour) {
      EXPECT_EQ(key, 0x123456u);
    }
    RichBitmap bitmap(image, -1);
    ASSERT_TRUE(bitmap.Ok());
    EXPECT_TRUE(bitmap.HasTransparentColor());
    EXPECT_EQ(bitmap.GetTransparentColor(), t);
  }
}

TEST(RichImage, TruncatedCorruptAndUnknownFilesAreNotOk) {
  struct Source {
    const char* format;
    Bytes bytes;
  };
  Picture big{16, 16, std::vector<std::uint32_t>(256, 0x336699)};
  for (int i = 0; i < 256; ++i) big.pixels[i] = static_cast<std::uint32_t>(i * 0x010307);
  std::vector<unsigned char> indexes(256);
  for (int i = 0; i < 256; ++i) indexes[i] = i % 4;
  const Source sources[] = {
      {"PNG", encodePng(big)},
      {"JPEG", encodeJpeg(big)},
      {"GIF", encodeGif(16, 16, kPalette, indexes, -1)},
      {"BMP", encodeBmp24(big, false)},
  };
  for (const auto& s : sources) {
    SCOPED_TRACE(s.format);
    ASSERT_TRUE(RichImage(s.bytes.data(), s.bytes.size()).Ok());
    for (size_t keep : {size_t{0}, size_t{1}, size_t{8}, s.bytes.size() / 2}) {
      SCOPED_TRACE(keep);
      EXPECT_FALSE(RichImage(s.bytes.data(), keep).Ok()) << "nothing is read past the end";
    }
    // Cut inside the closing marker: every pixel is there, either answer is sound.
    RichImage tail(s.bytes.data(), s.bytes.size() - 3);
    if (tail.Ok()) {
      EXPECT_EQ(tail.GetWidth(), 16);
    }
    Bytes scrambled = s.bytes;
    for (size_t i = 10; i < scrambled.size(); i += 3) scrambled[i] ^= 0x5A;
    RichImage broken(scrambled.data(), scrambled.size());  // must not crash; may or may not decode
    if (broken.Ok()) {
      EXPECT_EQ(broken.Pixels().size(), static_cast<size_t>(broken.GetWidth()) * broken.GetHeight());
    }
  }
  const Bytes text = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_FALSE(RichImage(text.data(), text.size()).Ok());
  EXPECT_FALSE(RichImage(nullptr, 10).Ok());
  EXPECT_FALSE(RichBitmap(RichImage(text.data(), text.size()), -1).Ok());
}

TEST(RichImage, HugeDimensionsAreRefusedBeforeAllocating) {
  Bytes bmp = encodeBmp24(Picture{1, 1, {kRed}}, false);
  // Claim 100000 x 100000 pixels in the header of a 58-byte file.
  bmp[18] = 0xA0, bmp[19] = 0x86, bmp[20] = 0x01, bmp[21] = 0x00;
  bmp[22] = 0xA0, bmp[23] = 0x86, bmp[24] = 0x01, bmp[25] = 0x00;
  EXPECT_FALSE(RichImage(bmp.data(), bmp.size()).Ok());
}

// The image painter's transparency, end to end: the picture, its mask from
// ConvertToMono, and the three stretched copies leave the destination
// showing wherever the picture is transparent.
TEST(RichBitmap, MaskedCopyShowsWhatLiesBeneath) {
  Bytes gif = encodeGif(4, 2, kPalette, kIndexes, 3);
  RichImage image(gif.data(), gif.size());
  ASSERT_TRUE(image.Ok() && image.HasTransparentColor());
  RichColor t = image.GetTransparentColor();
  std::unique_ptr<RichImage> maskImage = image.ConvertToMono(t.red, t.green, t.blue);
  ASSERT_TRUE(maskImage->Ok());
  EXPECT_TRUE(maskImage->IsMono());
  RichBitmap picture(image, -1);
  RichBitmap mask(*maskImage, -1);
  ASSERT_TRUE(picture.Ok() && mask.Ok());
  BITMAP info;
  GetObjectW(mask.GetImpl(), sizeof info, &info);
  EXPECT_EQ(info.bmBitsPixel, 1);

  HDC screen = GetDC(nullptr);
  HDC dst = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 8, 4);
  HGDIOBJ oldCanvas = SelectObject(dst, canvas);
  RECT all{0, 0, 8, 4};
  HBRUSH under = CreateSolidBrush(RGB(0x40, 0x80, 0xC0));
  FillRect(dst, &all, under);
  DeleteObject(under);
  HDC mem = CreateCompatibleDC(dst);
  for (auto [bitmap, rop] : {std::pair{picture.GetImpl(), SRCINVERT}, std::pair{mask.GetImpl(), SRCAND},
                             std::pair{picture.GetImpl(), SRCINVERT}}) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    StretchBlt(dst, 0, 0, 8, 4, mem, 0, 0, picture.GetWidth(), picture.GetHeight(), rop);
    SelectObject(mem, old);
  }
  DeleteDC(mem);
  const COLORREF beneath = RGB(0x40, 0x80, 0xC0);
  // Source pixel (3, 0) and (0, 1) have the transparent index; each covers 2 x 2 here.
  EXPECT_EQ(GetPixel(dst, 6, 0), beneath);
  EXPECT_EQ(GetPixel(dst, 7, 1), beneath);
  EXPECT_EQ(GetPixel(dst, 0, 2), beneath);
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dst, 2, 0), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dst, 2, 3), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst, 4, 3), RGB(0, 255, 0));
  SelectObject(dst, oldCanvas);
  DeleteObject(canvas);
  DeleteDC(dst);
  ReleaseDC(nullptr, screen);
}

}  // namespace

TEST(RichImage, ReadsPicturesByDevicePathAndBesideTheProgram) {
  TestDevice device;
  Picture red{2, 2, std::vector<std::uint32_t>(4, kRed)};
  Bytes png = encodePng(red);
  writeHostFile(device.host("My Documents/Skins/Face.PNG"), std::string(png.begin(), png.end()));
  writeHostFile(device.host("Program Files/OrvelFlash/local.png"), std::string(png.begin(), png.end()));
  RichImage::init(u"\\Program Files\\OrvelFlash\\OrvelFlash.exe");

  struct Row {
    const char* path;
    bool ok;
  };
  const Row rows[] = {
      {"\\My Documents\\Skins\\Face.PNG", true},
      {"\\my documents\\skins\\face.png", true},  // device names ignore case
      {"local.png", true},                        // relative: beside the program
      {"\\My Documents\\Skins\\missing.png", false},
      {"\\..\\..\\etc\\passwd", false},  // never outside the device
      {"", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    RichImage image(row.path, 50, -1);
    EXPECT_EQ(image.Ok(), row.ok);
    if (row.ok) {
      EXPECT_EQ(image.GetWidth(), 2);
    }
  }
}
