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

}  // namespace
