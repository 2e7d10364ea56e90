#include <vector>

#include "platform/core/resource.h"
#include "tests/platform/commctrl/viewfixture.h"

namespace {

constexpr std::uint32_t kKey = 0xFFFF00FF;  // the strip's background: magenta
constexpr std::uint32_t kRed = 0xFFC02020;
constexpr std::uint32_t kBlue = 0xFF2050C0;
constexpr COLORREF kPaper = RGB(10, 200, 10);

// A strip of three 4 x 4 images on magenta: a red dot at (1, 1), a blue one at (2, 2), nothing.
res::Picture strip() {
  res::Picture p{300, 12, 4, std::vector<std::uint32_t>(48, kKey)};
  p.pixels[1 * 12 + 1] = kRed;
  p.pixels[2 * 12 + 4 + 2] = kBlue;
  return p;
}

class ImageLists : public Views {
 protected:
  void SetUp() override {
    Views::SetUp();
    m_resources.bitmaps = {strip()};
    res::registerModule(kModule, &m_resources);
    HDC screen = GetDC(nullptr);
    m_dc = CreateCompatibleDC(screen);
    m_target = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    m_old = SelectObject(m_dc, m_target);
  }
  void TearDown() override {
    SelectObject(m_dc, m_old);
    DeleteObject(m_target);
    DeleteDC(m_dc);
    res::registerModule(kModule, nullptr);
    Views::TearDown();
  }
  // Draws image `index` on green paper and answers the 4 x 4 pixels as COLORREFs.
  std::vector<COLORREF> drawn(HIMAGELIST list, int index, UINT style = ILD_NORMAL) {
    RECT all{0, 0, 8, 8};
    HBRUSH paper = CreateSolidBrush(kPaper);
    FillRect(m_dc, &all, paper);
    DeleteObject(paper);
    EXPECT_TRUE(ImageList_Draw(list, index, m_dc, 0, 0, style));
    std::vector<COLORREF> out;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) out.push_back(GetPixel(m_dc, x, y));
    return out;
  }
  static std::vector<COLORREF> paperWith(int x, int y, COLORREF c) {
    std::vector<COLORREF> out(16, kPaper);
    out[static_cast<size_t>(y * 4 + x)] = c;
    return out;
  }

  inline static const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(static_cast<LONG_PTR>(0x5150));
  res::ModuleResources m_resources;
  HDC m_dc = nullptr;
  HBITMAP m_target = nullptr;
  HGDIOBJ m_old = nullptr;
};

TEST_F(ImageLists, LoadedStripsAreCutAndTheTopLeftColourIsTransparent) {
  constexpr COLORREF kMagenta = RGB(255, 0, 255), kRedRef = RGB(0xC0, 0x20, 0x20), kBlueRef = RGB(0x20, 0x50, 0xC0);
  struct Case {
    const char* name;
    int cx;
    COLORREF mask;
    int count;
    int image;
    std::vector<COLORREF> pixels;
  };
  std::vector<COLORREF> allMagenta(16, kMagenta);
  allMagenta[1 * 4 + 1] = kRedRef;
  const Case kCases[] = {
      {"top-left colour", 4, CLR_DEFAULT, 3, 0, paperWith(1, 1, kRedRef)},
      {"second image", 4, CLR_DEFAULT, 3, 1, paperWith(2, 2, kBlueRef)},
      {"empty image", 4, CLR_DEFAULT, 3, 2, std::vector<COLORREF>(16, kPaper)},
      {"named colour", 4, kMagenta, 3, 0, paperWith(1, 1, kRedRef)},
      {"no mask: opaque", 4, CLR_NONE, 3, 0, allMagenta},
      {"wider images: fewer", 5, CLR_DEFAULT, 2, 0, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    HIMAGELIST list = ImageList_LoadBitmap(kModule, MAKEINTRESOURCEW(300), c.cx, 0, c.mask);
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list), c.count);
    if (!c.pixels.empty()) {
      EXPECT_EQ(drawn(list, c.image), c.pixels);
    }
    EXPECT_FALSE(ImageList_Draw(list, c.count, m_dc, 0, 0, ILD_NORMAL)) << "past the last image";
    EXPECT_TRUE(ImageList_Destroy(list));
  }
  EXPECT_EQ(ImageList_LoadBitmap(kModule, MAKEINTRESOURCEW(301), 4, 0, CLR_DEFAULT), nullptr) << "no such bitmap";
  EXPECT_EQ(ImageList_LoadBitmap(kModule, MAKEINTRESOURCEW(300), 13, 0, CLR_DEFAULT), nullptr) << "wider than it";
  EXPECT_EQ(ImageList_LoadBitmap(kModule, MAKEINTRESOURCEW(300), 0, 0, CLR_DEFAULT), nullptr);
}

TEST_F(ImageLists, AddedBitmapsAndMasksAndAStaleHandle) {
  std::vector<std::uint32_t> pixels(8 * 4, 0x00FF00FF);
  pixels[0 * 8 + 5] = 0x00C02020;
  HBITMAP bitmap = gdi::createBitmapFromPixels(8, 4, false, pixels);
  std::vector<std::uint32_t> maskBits(8 * 4, 1);  // white: transparent
  maskBits[3 * 8 + 0] = 0;
  HBITMAP mask = gdi::createBitmapFromPixels(8, 4, true, maskBits);

  HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 2, 2);
  EXPECT_EQ(ImageList_AddMasked(list, bitmap, RGB(255, 0, 255)), 0);
  EXPECT_EQ(ImageList_Add(list, bitmap, mask), 2);
  EXPECT_EQ(ImageList_GetImageCount(list), 4);
  EXPECT_EQ(drawn(list, 1), paperWith(1, 0, RGB(0xC0, 0x20, 0x20)));
  EXPECT_EQ(drawn(list, 2), paperWith(0, 3, RGB(255, 0, 255))) << "only the mask's black shows";
  std::vector<COLORREF> selected = drawn(list, 1, ILD_SELECTED);
  EXPECT_NE(selected[1], RGB(0xC0, 0x20, 0x20)) << "selected images are blended with the highlight";
  EXPECT_EQ(selected[0], kPaper);

  EXPECT_TRUE(ImageList_Remove(list, 0));
  EXPECT_EQ(ImageList_GetImageCount(list), 3);
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  EXPECT_EQ(ImageList_Add(list, bitmap, nullptr), -1);
  EXPECT_FALSE(ImageList_Draw(list, 0, m_dc, 0, 0, ILD_NORMAL));
  EXPECT_EQ(ImageList_Create(0, 16, ILC_MASK, 1, 1), nullptr);
  DeleteObject(bitmap);
  DeleteObject(mask);
}

}  // namespace
