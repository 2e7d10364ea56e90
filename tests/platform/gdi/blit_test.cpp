#include <gtest/gtest.h>

#include "tests/platform/gdi/pixels.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

void fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
  RECT rect{l, t, r, b};
  Brush brush(c);
  FillRect(dc, &rect, brush);
}

TEST(RasterOps, CombineSourceAndDestinationPerPixel) {
  struct Case {
    const char* name;
    DWORD rop;
    COLORREF src, dst, expected;
  };
  const Case cases[] = {
      {"SRCCOPY", SRCCOPY, RGB(10, 20, 30), RGB(200, 100, 50), RGB(10, 20, 30)},
      {"SRCINVERT", SRCINVERT, RGB(0xF0, 0x0F, 0xFF), RGB(0x0F, 0x0F, 0x00), RGB(0xFF, 0x00, 0xFF)},
      {"SRCAND", SRCAND, RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0xFF, 0x00), RGB(0x30, 0x0F, 0x00)},
      {"SRCPAINT", SRCPAINT, RGB(0xF0, 0x00, 0x00), RGB(0x0F, 0x01, 0x00), RGB(0xFF, 0x01, 0x00)},
      {"NOTSRCCOPY", NOTSRCCOPY, RGB(0, 255, 16), RGB(9, 9, 9), RGB(255, 0, 239)},
      {"BLACKNESS", BLACKNESS, kWhite, RGB(1, 2, 3), kBlack},
      {"WHITENESS", WHITENESS, kBlack, RGB(1, 2, 3), kWhite},
      {"DSTINVERT", DSTINVERT, kBlack, RGB(0, 255, 0), RGB(255, 0, 255)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCanvas src(4, 4, c.src);
    MemoryCanvas dst(4, 4, c.dst);
    EXPECT_TRUE(BitBlt(dst.dc(), 1, 1, 2, 2, src.dc(), 0, 0, c.rop));
    EXPECT_EQ(dst.at(1, 1), c.expected);
    EXPECT_EQ(dst.at(2, 2), c.expected);
    EXPECT_EQ(dst.at(3, 3), c.dst) << "right and bottom edges excluded";
    EXPECT_EQ(dst.at(0, 0), c.dst);
  }
}

// The image painter's transparency: XOR the picture, AND the mask, XOR the
// picture again. Where the mask is white the destination must come back
// unchanged; where it is black the picture must show.
TEST(RasterOps, MaskSequenceKeepsTheDestinationUnderWhite) {
  MemoryCanvas dst(6, 1, RGB(0, 0, 0));
  const COLORREF under[] = {RGB(12, 34, 56), RGB(200, 1, 2),  RGB(255, 255, 255),
                            RGB(0, 0, 0),    RGB(90, 90, 90), RGB(7, 8, 9)};
  for (int x = 0; x < 6; ++x) SetPixel(dst.dc(), x, 0, under[x]);
  MemoryCanvas picture(3, 1);
  SetPixel(picture.dc(), 0, 0, kRed);          // opaque
  SetPixel(picture.dc(), 1, 0, kGreen);        // the transparent colour
  SetPixel(picture.dc(), 2, 0, RGB(1, 2, 3));  // opaque

  // The monochrome mask: 1 (white) where the picture is transparent.
  HDC maskDc = CreateCompatibleDC(nullptr);
  HBITMAP mask = CreateBitmap(3, 1, 1, 1, nullptr);
  HGDIOBJ oldMask = SelectObject(maskDc, mask);
  SetBkColor(picture.dc(), kGreen);
  BitBlt(maskDc, 0, 0, 3, 1, picture.dc(), 0, 0, SRCCOPY);  // colour to mono: background colour -> 1
  EXPECT_EQ(GetPixel(maskDc, 0, 0), kBlack);
  EXPECT_EQ(GetPixel(maskDc, 1, 0), kWhite);

  // Stretched twice as wide, as a skin image larger than its picture.
  StretchBlt(dst.dc(), 0, 0, 6, 1, picture.dc(), 0, 0, 3, 1, SRCINVERT);
  StretchBlt(dst.dc(), 0, 0, 6, 1, maskDc, 0, 0, 3, 1, SRCAND);
  StretchBlt(dst.dc(), 0, 0, 6, 1, picture.dc(), 0, 0, 3, 1, SRCINVERT);
  const COLORREF expected[] = {kRed, kRed, under[2], under[3], RGB(1, 2, 3), RGB(1, 2, 3)};
  for (int x = 0; x < 6; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(dst.at(x, 0), expected[x]);
  }
  SelectObject(maskDc, oldMask);
  DeleteObject(mask);
  DeleteDC(maskDc);
}

TEST(RasterOps, MonochromeSourceTakesTheDestinationsColours) {
  // Row of 1 0 1 1 packed MSB first; rows are WORD-aligned.
  const BYTE bits[] = {0xB0, 0x00};
  HBITMAP mono = CreateBitmap(4, 1, 1, 1, bits);
  ASSERT_TRUE(mono);
  HDC monoDc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(monoDc, mono);
  MemoryCanvas dst(4, 1, RGB(9, 9, 9));
  SetTextColor(dst.dc(), kRed);  // for 0
  SetBkColor(dst.dc(), kGreen);  // for 1
  BitBlt(dst.dc(), 0, 0, 4, 1, monoDc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.at(0, 0), kGreen);
  EXPECT_EQ(dst.at(1, 0), kRed);
  EXPECT_EQ(dst.at(2, 0), kGreen);
  EXPECT_EQ(dst.at(3, 0), kGreen);
  SelectObject(monoDc, old);
  DeleteObject(mono);
  DeleteDC(monoDc);
}

TEST(StretchBlt, NearestPixelBothWaysAndMirrored) {
  MemoryCanvas src(2, 2);
  SetPixel(src.dc(), 0, 0, kRed);
  SetPixel(src.dc(), 1, 0, kGreen);
  SetPixel(src.dc(), 0, 1, kBlack);
  SetPixel(src.dc(), 1, 1, kWhite);
  MemoryCanvas big(4, 4, RGB(1, 1, 1));
  StretchBlt(big.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(big.row(0, kRed), "##..");
  EXPECT_EQ(big.row(1, kGreen), "..##");
  EXPECT_EQ(big.row(3, kBlack), "##..");
  MemoryCanvas mirrored(2, 1, RGB(1, 1, 1));
  StretchBlt(mirrored.dc(), 2, 0, -2, 1, src.dc(), 0, 0, 2, 1, SRCCOPY);  // covers x = 0 and 1
  EXPECT_EQ(mirrored.at(0, 0), kGreen);
  EXPECT_EQ(mirrored.at(1, 0), kRed);
  MemoryCanvas small(1, 1, RGB(1, 1, 1));
  EXPECT_TRUE(StretchBlt(small.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(small.at(0, 0), kRed);
}

TEST(Blits, SourceOutsideItsBitmapLeavesTheDestination) {
  MemoryCanvas src(2, 2, kRed);
  MemoryCanvas dst(4, 1, kWhite);
  BitBlt(dst.dc(), 0, 0, 4, 1, src.dc(), -1, 0, SRCCOPY);
  EXPECT_EQ(dst.row(0, kRed), ".##.");
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY)) << "a source operation without a source";
  EXPECT_TRUE(PatBlt(dst.dc(), 0, 0, 1, 1, BLACKNESS));
  EXPECT_EQ(dst.at(0, 0), kBlack);
}

TEST(Clipping, IntersectAndSelectRegions) {
  MemoryCanvas canvas(8, 1);
  IntersectClipRect(canvas.dc(), 2, 0, 6, 1);
  fill(canvas.dc(), 0, 0, 8, 1, kRed);
  EXPECT_EQ(canvas.row(0, kRed), "..####..");
  IntersectClipRect(canvas.dc(), 4, 0, 8, 1);
  fill(canvas.dc(), 0, 0, 8, 1, kGreen);
  EXPECT_EQ(canvas.row(0, kGreen), "....##..");
  RECT box;
  EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 4);
  EXPECT_EQ(box.right, 6);

  HRGN region = CreateRectRgn(0, 0, 1, 1);
  HRGN other = CreateRectRgn(7, 0, 8, 1);
  EXPECT_EQ(CombineRgn(region, region, other, RGN_OR), COMPLEXREGION);
  SelectClipRgn(canvas.dc(), region);
  DeleteObject(region);  // the DC keeps its own copy
  DeleteObject(other);
  fill(canvas.dc(), 0, 0, 8, 1, kBlack);
  EXPECT_EQ(canvas.row(0, kBlack), "#......#");
  SelectClipRgn(canvas.dc(), nullptr);
  fill(canvas.dc(), 0, 0, 8, 1, kBlack);
  EXPECT_EQ(canvas.row(0, kBlack), "########");
}

}  // namespace
