// The drawing guards put back and free what they took.
#include "platform/gdi/gdiguards.h"

#include <gtest/gtest.h>

#include "tests/platform/gdi/pixels.h"

namespace {

TEST(GdiGuards, PutBackWhatWasSelectedAndDeleteWhatTheyOwn) {
  MemoryCanvas canvas(4, 4);
  HDC dc = canvas.dc();
  HGDIOBJ firstPen = GetCurrentObject(dc, OBJ_PEN), firstBrush = GetCurrentObject(dc, OBJ_BRUSH);
  HPEN pen = nullptr;
  {
    GdiObject<HPEN> owned(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
    pen = owned.get();
    SavedObjects saved(dc);
    {
      SelectedObject selected(dc, pen);
      EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), firstPen);
    SelectObject(dc, pen);  // left selected by hand: SavedObjects puts the first one back
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), firstPen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), firstBrush);
  EXPECT_EQ(GetObjectType(pen), 0u);  // deleted with its owner

  GdiObject<HBRUSH> moved(CreateSolidBrush(RGB(0, 0, 255)));
  HBRUSH brush = moved.get();
  GdiObject<HBRUSH> taker(std::move(moved));
  EXPECT_FALSE(moved);
  EXPECT_EQ(taker.get(), brush);
  taker.reset();
  EXPECT_EQ(GetObjectType(brush), 0u);
}

TEST(GdiGuards, AnOffscreenBufferKeepsItsBitmapUntilANewOneIsMadeAndFreesBoth) {
  MemoryCanvas canvas(4, 4);
  HBITMAP first = nullptr, second = nullptr;
  HDC dc = nullptr;
  {
    OffscreenBuffer buffer;
    ASSERT_TRUE(buffer.open(canvas.dc()));
    dc = buffer.dc();
    HGDIOBJ original = GetCurrentObject(dc, OBJ_BITMAP);
    ASSERT_TRUE(buffer.resize(canvas.dc(), SIZE{8, 6}));
    first = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    EXPECT_NE(first, original);
    EXPECT_FALSE(buffer.resize(canvas.dc(), SIZE{0, -1}));  // refused: the old bitmap stays
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), first);
    EXPECT_EQ(buffer.size().cx, 8);
    ASSERT_TRUE(buffer.resize(canvas.dc(), SIZE{3, 2}));
    second = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(first), 0u);  // replaced, so deleted
  }
  EXPECT_EQ(GetObjectType(second), 0u);
  EXPECT_EQ(GetObjectType(dc), 0u);
}

}  // namespace
