#include <gtest/gtest.h>

#include "tests/platform/gdi/pixels.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(FillRect, IncludesLeftTopExcludesRightBottom) {
  struct Case {
    RECT r;
    const char* row2;
    int painted;
  };
  const Case cases[] = {
      {{2, 2, 5, 4}, "..###...", 6},
      {{5, 2, 2, 4}, "........", 0},    // inverted: nothing
      {{-3, -3, 2, 3}, "##......", 6},  // cut at the bitmap's edge
      {{6, 0, 100, 100}, "......##", 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom);
    MemoryCanvas canvas(8, 8);
    Brush red(kRed);
    EXPECT_TRUE(FillRect(canvas.dc(), &c.r, red));
    EXPECT_EQ(canvas.row(2, kRed), c.row2);
    EXPECT_EQ(canvas.count(kRed), c.painted);
  }
}

TEST(FillRect, TakesSystemColourBrushesAndRefusesBadOnes) {
  MemoryCanvas canvas(4, 4, kRed);
  RECT all{0, 0, 4, 4};
  EXPECT_TRUE(FillRect(canvas.dc(), &all, reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1))));
  EXPECT_EQ(canvas.count(GetSysColor(COLOR_WINDOW)), 16);
  EXPECT_FALSE(FillRect(canvas.dc(), &all, reinterpret_cast<HBRUSH>(0x123456)));
  EXPECT_FALSE(FillRect(reinterpret_cast<HDC>(0x9999), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
}

TEST(Polyline, LeavesOutTheLastPoint) {
  MemoryCanvas canvas(8, 8);
  HPEN pen = CreatePen(PS_SOLID, 0, kBlue);
  {
    Selected s(canvas.dc(), pen);
    POINT line[] = {{1, 1}, {5, 1}};
    EXPECT_TRUE(Polyline(canvas.dc(), line, 2));
    EXPECT_EQ(canvas.row(1, kBlue), ".####...");
    POINT box[] = {{1, 3}, {5, 3}, {5, 6}, {1, 6}, {1, 3}};  // the outline the skin's rectangles use
    Polyline(canvas.dc(), box, 5);
    EXPECT_EQ(canvas.row(3, kBlue), ".#####..");
    EXPECT_EQ(canvas.row(4, kBlue), ".#...#..");
    EXPECT_EQ(canvas.row(6, kBlue), ".#####..");
    EXPECT_FALSE(Polyline(canvas.dc(), box, 1));
  }
  EXPECT_TRUE(DeleteObject(pen));
}

TEST(LineTo, MovesThePenAndSkipsTheEnd) {
  MemoryCanvas canvas(8, 8);
  Selected s(canvas.dc(), GetStockObject(BLACK_PEN));
  POINT old;
  MoveToEx(canvas.dc(), 0, 0, &old);
  LineTo(canvas.dc(), 4, 4);
  LineTo(canvas.dc(), 4, 7);
  EXPECT_EQ(canvas.at(3, 3), RGB(0, 0, 0));
  EXPECT_EQ(canvas.at(4, 4), RGB(0, 0, 0)) << "drawn as the start of the second line";
  EXPECT_EQ(canvas.at(4, 6), RGB(0, 0, 0));
  EXPECT_EQ(canvas.at(4, 7), kWhite);
  EXPECT_EQ(canvas.count(RGB(0, 0, 0)), 7);
}

TEST(Rectangle, OutlineWithPenFillWithBrush) {
  MemoryCanvas canvas(8, 8);
  Brush red(kRed);
  HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
  {
    Selected b(canvas.dc(), red);
    Selected p(canvas.dc(), blue);
    Rectangle(canvas.dc(), 1, 1, 6, 5);
  }
  EXPECT_EQ(canvas.row(1, kBlue), ".#####..");
  EXPECT_EQ(canvas.row(2, kRed), "..###...");
  EXPECT_EQ(canvas.row(4, kBlue), ".#####..");
  EXPECT_EQ(canvas.row(5, kBlue), "........");
  DeleteObject(blue);
}

TEST(Pens, WideAndNull) {
  MemoryCanvas canvas(10, 10);
  HPEN wide = CreatePen(PS_SOLID, 3, kBlue);
  {
    Selected p(canvas.dc(), wide);
    MoveToEx(canvas.dc(), 2, 5, nullptr);
    LineTo(canvas.dc(), 8, 5);
  }
  // A three-pixel square on every point from x = 2 to 7.
  EXPECT_EQ(canvas.row(4, kBlue), ".########.");
  EXPECT_EQ(canvas.row(6, kBlue), ".########.");
  EXPECT_EQ(canvas.row(7, kBlue), "..........");
  {
    Selected p(canvas.dc(), GetStockObject(NULL_PEN));
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    LineTo(canvas.dc(), 9, 0);
  }
  EXPECT_EQ(canvas.row(0, kBlue), "..........");
  DeleteObject(wide);
}

TEST(Objects, SelectAnswersThePreviousAndSelectedObjectsSurviveDelete) {
  MemoryCanvas canvas(4, 4);
  HBRUSH mine = CreateSolidBrush(kRed);
  HGDIOBJ previous = SelectObject(canvas.dc(), mine);
  EXPECT_EQ(previous, GetStockObject(WHITE_BRUSH));
  EXPECT_FALSE(DeleteObject(mine)) << "still selected: deleting it would leave the DC drawing with nothing";
  EXPECT_EQ(SelectObject(canvas.dc(), previous), mine);
  EXPECT_TRUE(DeleteObject(mine));
  EXPECT_FALSE(DeleteObject(mine));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH))) << "stock objects ignore deletion";
  EXPECT_TRUE(GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(GetObjectType(GetStockObject(NULL_PEN)), OBJ_PEN);
  EXPECT_EQ(GetObjectType(canvas.dc()), OBJ_MEMDC);
}

TEST(Bitmaps, CompatibleWithAFreshMemoryDcIsMonochrome) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateCompatibleBitmap(mem, 4, 4);
  BITMAP info;
  ASSERT_EQ(GetObjectW(mono, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmBitsPixel, 1);
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
  GetObjectW(colour, sizeof info, &info);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(CreateCompatibleBitmap(screen, 0, 4), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(screen, 100000, 100000), nullptr) << "refused, not an allocation of 40 GB";
  ReleaseDC(nullptr, screen);
  DeleteObject(mono);
  DeleteObject(colour);
  DeleteDC(mem);
}

TEST(DeviceFacts, TrueColourAt96Dpi) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 0);
  EXPECT_EQ(GetDeviceCaps(screen, NUMRESERVED), 0);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
  LOGPALETTE pal{0x300, 1, {{1, 2, 3, 0}}};
  HPALETTE p = CreatePalette(&pal);
  ASSERT_TRUE(p);
  HPALETTE old = SelectPalette(screen, p, FALSE);
  EXPECT_TRUE(old);
  EXPECT_EQ(RealizePalette(screen), 0u);
  SelectPalette(screen, old, FALSE);
  DeleteObject(p);
  ReleaseDC(nullptr, screen);
}

TEST(Escapes, PowerManagementBlanksAndRestores) {
  HDC screen = GetDC(nullptr);
  DWORD asked = SETPOWERMANAGEMENT;
  EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof asked, reinterpret_cast<LPCSTR>(&asked), 0, nullptr), 1);
  asked = 12345;
  EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof asked, reinterpret_cast<LPCSTR>(&asked), 0, nullptr), 0);
  VIDEO_POWER_MANAGEMENT set{12, 1, VideoPowerOff};
  EXPECT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, 12, reinterpret_cast<LPCSTR>(&set), 0, nullptr), 1);
  EXPECT_FALSE(gdi::screenPowerOn());
  VIDEO_POWER_MANAGEMENT got{};
  EXPECT_EQ(ExtEscape(screen, GETPOWERMANAGEMENT, 0, nullptr, 12, reinterpret_cast<LPSTR>(&got)), 1);
  EXPECT_EQ(got.PowerState, VideoPowerOff);
  EXPECT_EQ(got.Length, 12u);
  set.PowerState = VideoPowerOn;
  ExtEscape(screen, SETPOWERMANAGEMENT, 12, reinterpret_cast<LPCSTR>(&set), 0, nullptr);
  EXPECT_TRUE(gdi::screenPowerOn());
  EXPECT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, 4, reinterpret_cast<LPCSTR>(&set), 0, nullptr), -1) << "short record";
  ReleaseDC(nullptr, screen);
}

}  // namespace
