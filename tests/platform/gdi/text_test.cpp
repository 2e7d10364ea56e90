#include <gtest/gtest.h>

#include <cstring>

#include "tests/platform/gdi/pixels.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

LOGFONTW logFont(const char16_t* face, LONG height, LONG weight = FW_NORMAL, bool italic = false) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfPitchAndFamily = FF_SWISS;
  std::u16string f(face);
  std::memcpy(lf.lfFaceName, f.c_str(), (std::min<size_t>(f.size(), LF_FACESIZE - 1)) * sizeof(WCHAR));
  return lf;
}

class Font {
 public:
  explicit Font(const LOGFONTW& lf) : m_font(CreateFontIndirectW(&lf)) {}
  ~Font() { DeleteObject(m_font); }
  operator HFONT() const { return m_font; }

 private:
  HFONT m_font;
};

std::u16string faceOf(HDC dc) {
  WCHAR face[64];
  GetTextFaceW(dc, 64, face);
  return face;
}

// Columns holding any pixel that is not the background.
// Pixels of the canvas nearer to black than to white in every channel.
int darkPixels(const MemoryCanvas& c, int width, int height) {
  int n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF p = c.at(x, y);
      n += GetRValue(p) < 128 && GetGValue(p) < 128 && GetBValue(p) < 128;
    }
  return n;
}

int inkRight(const MemoryCanvas& c, int width, int height) {
  int right = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (c.at(x, y) != kWhite) right = std::max(right, x);
  return right;
}

TEST(Fonts, FacesAreFoundWithTheirFallbacks) {
  struct Case {
    const char16_t* asked;
    const char16_t* found;
  };
  const Case cases[] = {
      {u"Tahoma", u"Tahoma"},
      {u"System", u"Tahoma"},
      {u"", u"Tahoma"},
      {u"times new roman", u"Liberation Serif"},
      {u"Arial", u"Liberation Sans"},
  };
  MemoryCanvas canvas(4, 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.asked, c.asked + std::u16string(c.asked).size()));
    Font f(logFont(c.asked, -12));
    Selected s(canvas.dc(), f);
    EXPECT_EQ(faceOf(canvas.dc()), c.found);
  }
}

TEST(Fonts, MetricsComeFromTheFontAndStayTheSame) {
  struct Case {
    const char16_t* face;
    LONG height;
    LONG ascent, descent, total;
  };
  const Case cases[] = {
      {u"times new roman", -12, 11, 3, 14},
      {u"Arial", -12, 11, 3, 14},
  };
  MemoryCanvas canvas(4, 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.height);
    TEXTMETRICW first{}, second{};
    {
      Font f(logFont(c.face, c.height));
      Selected s(canvas.dc(), f);
      ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &first));
    }
    {
      Font f(logFont(c.face, c.height));
      Selected s(canvas.dc(), f);
      GetTextMetricsW(canvas.dc(), &second);
    }
    EXPECT_EQ(first.tmAscent, c.ascent);
    EXPECT_EQ(first.tmDescent, c.descent);
    EXPECT_EQ(first.tmHeight, c.total);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
  }
}

TEST(Fonts, HeightsWeightAndFaceNameLength) {
  MemoryCanvas canvas(4, 4);
  TEXTMETRICW character{}, cell{}, bold{};
  SIZE regularSize{}, boldSize{};
  {
    Font f(logFont(u"Tahoma", -20));
    Selected s(canvas.dc(), f);
    GetTextMetricsW(canvas.dc(), &character);
    GetTextExtentPoint32W(canvas.dc(), u"Orvel Flash", 11, &regularSize);
  }
  {
    Font f(logFont(u"Tahoma", 20));
    Selected s(canvas.dc(), f);
    GetTextMetricsW(canvas.dc(), &cell);
  }
  {
    Font f(logFont(u"Tahoma", -20, FW_BOLD));
    Selected s(canvas.dc(), f);
    GetTextMetricsW(canvas.dc(), &bold);
    GetTextExtentPoint32W(canvas.dc(), u"Orvel Flash", 11, &boldSize);
  }
  EXPECT_GT(character.tmHeight, 20) << "a negative height is the character height, without the leading";
  EXPECT_NEAR(cell.tmHeight, 20, 1) << "a positive height is the whole cell";
  EXPECT_GT(boldSize.cx, regularSize.cx);
  EXPECT_EQ(bold.tmWeight, FW_BOLD);

  // A face name of 40 characters is cut to 31 and still makes a font.
  LOGFONTW lf = logFont(u"", -12);
  for (int i = 0; i < LF_FACESIZE; ++i) lf.lfFaceName[i] = u'x';
  HFONT f = CreateFontIndirectW(&lf);
  ASSERT_TRUE(f);
  LOGFONTW back{};
  GetObjectW(f, sizeof back, &back);
  EXPECT_EQ(std::u16string(back.lfFaceName).size(), 31u);
  DeleteObject(f);
}

TEST(Fonts, BoldStrokesAreHeavierAtTheShellsSizes) {
  for (LONG height : {-11, -12, -20}) {
    SCOPED_TRACE(height);
    int ink[2] = {0, 0};
    for (int bold = 0; bold < 2; ++bold) {
      MemoryCanvas canvas(160, 40);
      Font f(logFont(u"Tahoma", height, bold ? FW_BOLD : FW_NORMAL));
      Selected s(canvas.dc(), f);
      SetBkMode(canvas.dc(), TRANSPARENT);
      SetTextColor(canvas.dc(), RGB(0, 0, 0));
      TextOutW(canvas.dc(), 2, 2, u"Settings", 8);
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 160; ++x) ink[bold] += GetRValue(canvas.at(x, y)) < 128;
    }
    EXPECT_GT(ink[1], ink[0] * 5 / 4) << "bold draws thicker letters, not only wider spacing";
  }
}

TEST(TextExtent, AddsUpAndCountsTheHeight) {
  MemoryCanvas canvas(4, 4);
  Font f(logFont(u"Tahoma", -12));
  Selected s(canvas.dc(), f);
  SIZE ab{}, a{}, b{}, empty{};
  GetTextExtentPoint32W(canvas.dc(), u"ab", 2, &ab);
  GetTextExtentPoint32W(canvas.dc(), u"a", 1, &a);
  GetTextExtentPoint32W(canvas.dc(), u"b", 1, &b);
  GetTextExtentPoint32W(canvas.dc(), u"", 0, &empty);
  TEXTMETRICW tm;
  GetTextMetricsW(canvas.dc(), &tm);
  EXPECT_EQ(ab.cx, a.cx + b.cx);
  EXPECT_GT(a.cx, 0);
  EXPECT_EQ(ab.cy, tm.tmHeight);
  EXPECT_EQ(empty.cx, 0);
  EXPECT_FALSE(GetTextExtentPoint32W(canvas.dc(), nullptr, 3, &a));
}

TEST(DrawText, StaysInsideItsRectangleAndIsCutAtTheRight) {
  MemoryCanvas canvas(120, 30);
  Font f(logFont(u"times new roman", -12));
  Selected s(canvas.dc(), f);
  SetBkMode(canvas.dc(), TRANSPARENT);
  SetTextColor(canvas.dc(), kBlack);
  SIZE full{};
  const char16_t* text = u"Macromedia Flash";
  GetTextExtentPoint32W(canvas.dc(), text, 16, &full);
  ASSERT_GT(full.cx, 60);
  // The skin's "max-width" 30: the rectangle is 31 pixels wide.
  RECT r{5, 5, 5 + 31, 5 + 15};
  DrawTextW(canvas.dc(), text, -1, &r, 0);
  EXPECT_EQ(canvas.count(kWhite, 0, 0, 120, 5), 120 * 5) << "nothing above";
  EXPECT_EQ(canvas.count(kWhite, 0, 0, 5, 30), 5 * 30) << "nothing left of it";
  EXPECT_EQ(canvas.count(kWhite, 36, 0, 120, 30), 84 * 30) << "cut at the right edge";
  EXPECT_GE(inkRight(canvas, 120, 30), 30) << "but drawn up to it";
  EXPECT_GT(darkPixels(canvas, 120, 30), 20) << "the text is drawn in its (black) colour";
}

TEST(DrawText, WrapsAndMeasures) {
  MemoryCanvas canvas(100, 100);
  Font f(logFont(u"Tahoma", -11));
  Selected s(canvas.dc(), f);
  TEXTMETRICW tm;
  GetTextMetricsW(canvas.dc(), &tm);
  RECT single{0, 0, 60, 0};
  int h1 = DrawTextW(canvas.dc(), u"one two three four", -1, &single, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(h1, tm.tmHeight);
  EXPECT_GT(single.right, 60);
  RECT wrapped{0, 0, 60, 0};
  int h2 = DrawTextW(canvas.dc(), u"one two three four", -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(h2, 2 * tm.tmHeight);
  EXPECT_LE(wrapped.right, 60);
  RECT lines{0, 0, 100, 0};
  EXPECT_EQ(DrawTextW(canvas.dc(), u"a\r\nb\nc", -1, &lines, DT_CALCRECT), 3 * tm.tmHeight);
  RECT prefix{0, 0, 100, 0}, plain{0, 0, 100, 0};
  DrawTextW(canvas.dc(), u"&File", -1, &prefix, DT_CALCRECT);
  DrawTextW(canvas.dc(), u"File", -1, &plain, DT_CALCRECT);
  EXPECT_EQ(prefix.right, plain.right) << "the prefix mark takes no room";
  EXPECT_EQ(canvas.count(kWhite), 100 * 100) << "measuring draws nothing";
}

TEST(TextOut, OpaqueBackgroundFillsTheCell) {
  MemoryCanvas canvas(60, 20);
  Font f(logFont(u"Tahoma", -12));
  Selected s(canvas.dc(), f);
  SetBkColor(canvas.dc(), RGB(0, 0, 255));
  SetTextColor(canvas.dc(), RGB(255, 255, 0));
  SIZE size{};
  GetTextExtentPoint32W(canvas.dc(), u"Hi", 2, &size);
  TextOutW(canvas.dc(), 2, 2, u"Hi", 2);
  int cell = size.cx * size.cy;
  int blue = canvas.count(RGB(0, 0, 255), 2, 2, 2 + size.cx, 2 + size.cy);
  int yellow = 0;  // anti-aliased yellow over blue: red and green high
  for (int y = 2; y < 2 + size.cy; ++y)
    for (int x = 2; x < 2 + size.cx; ++x)
      yellow += GetRValue(canvas.at(x, y)) > 160 && GetGValue(canvas.at(x, y)) > 160;
  EXPECT_GT(blue, cell / 2);
  EXPECT_GT(yellow, 3);
  EXPECT_EQ(canvas.count(kWhite, 2, 2, 2 + size.cx, 2 + size.cy), 0) << "no pixel of the cell is left unpainted";
}

}  // namespace
