// The HTML viewer control in the headless screen: what the properties page
// and ordinary pages look like, links, pictures, plain text, scrolling and
// hostile sources.

#include <string>
#include <vector>

#include "platform/core/utf8.h"
#include "platform/core/wformat.h"
#include "platform/gdi/surface.h"
#include "resources/playerresources.h"
#include "tests/platform/htmlview/viewerfixture.h"

namespace {

constexpr COLORREF kNavy = RGB(0, 0, 0x80);
constexpr COLORREF kShade = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLink = RGB(0, 0, 0xFF);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kFrame = RGB(0x80, 0x80, 0x80);

std::u16string propertiesPage() {
  registerPlayerResources(nullptr);
  WCHAR text[1024];
  int length = LoadStringW(nullptr, playerres::kPropertiesTemplate, text, 1024);
  EXPECT_GT(length, 0);
  // The facts of the sample movie the device gets (version 8, 64 frames at 12 per second), paused at frame 17.
  return formatWide(text, u"windows-1252", u"demo.swf", u"\\My Documents", 8, 64, 12, u"00:05", 17);
}

HBITMAP solidBitmap(int width, int height, COLORREF color) {
  return gdi::createBitmapFromPixels(
      width, height, false, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, gdi::pixelOf(color)));
}

TEST_F(Viewer, PropertiesPageShowsTitleRuleAndShadedValues) {
  show(propertiesPage());
  display::writePng(gdi::screenSurface(), screenshotPath("htmlview-properties.png").string());

  // The navy title sits in the first row of the table, under the body margin.
  POINT title = find(kNavy);
  ASSERT_GE(title.y, 0);
  EXPECT_LT(title.y, 24);
  EXPECT_GT(count(kNavy, {0, 0, kWidth, 24}), 15);
  int bluish = 0, otherInk = 0;  // the title's anti-aliased ink is navy-tinted throughout
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < kWidth; ++x) {
      COLORREF c = at(x, y);
      bool tinted = GetBValue(c) > GetRValue(c) + 30 && GetRValue(c) == GetGValue(c);
      bluish += tinted;
      otherInk += !tinted && ink({x, y, x + 1, y + 1});
    }
  EXPECT_GT(bluish, 80);
  EXPECT_EQ(otherInk, 0);

  // One row of the 16-pixel rule cell is the rule: nearly the full width, one pixel high.
  int ruleRows = 0;
  for (int y = 20; y < 48; ++y) {
    int marked = kWidth - count(kWhite, {0, y, kWidth, y + 1});
    if (marked > kWidth * 3 / 4) ++ruleRows;
  }
  EXPECT_EQ(ruleRows, 1);

  // Seven shaded value cells, each holding its value's text.
  auto bands = bandsAt(kWidth - 8, kShade);
  ASSERT_EQ(bands.size(), 7u);
  for (auto [top, height] : bands) {
    SCOPED_TRACE(top);
    EXPECT_GE(height, 12);
    EXPECT_GT(ink({0, top, kWidth, top + height}), 10);
    // Shaded out to the body's right margin.
    EXPECT_EQ(count(kShade, {kWidth - 5, top, kWidth - 4, top + height}), height);
    EXPECT_EQ(count(kWhite, {kWidth - 4, top, kWidth, top + height}), 4 * height);
  }
  // Labels sit on white between the cells.
  for (size_t i = 1; i < bands.size(); ++i) {
    int gapTop = bands[i - 1].first + bands[i - 1].second, gapBottom = bands[i].first;
    EXPECT_GT(ink({0, gapTop, kWidth, gapBottom}), 10);
  }
}

TEST_F(Viewer, ATapOnALinkTellsTheParentItsTargetAndNothingElseDoes) {
  show(u"<p>Read <a href=\"second.htm\" target=\"side\">the next page</a> now.</p><p>Plain words here</p>");
  POINT link = find(kLink);
  ASSERT_GE(link.x, 0);
  // Link text is underlined in its own colour.
  EXPECT_GT(count(kLink), 60);

  struct Case {
    const char* name;
    POINT point;
    std::vector<std::u16string> targets;
  };
  const Case cases[] = {
      {"on the link", link, {u"second.htm"}},
      {"on plain text", {10, link.y + 20}, {}},
      {"on empty page", {120, 200}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_notices.clear();
    tap(c.point);
    std::vector<std::u16string> targets;
    for (const auto& n : m_notices) {
      EXPECT_EQ(n.code, NM_HOTSPOT);
      EXPECT_EQ(n.data, u"side");
      targets.push_back(n.target);
    }
    EXPECT_EQ(targets, c.targets);
  }
}

TEST_F(Viewer, PicturesAreAskedForAndDrawnWhereTheyStand) {
  HBITMAP red = solidBitmap(32, 32, kRed);
  m_onPicture = [&](HWND viewer, const NM_HTMLVIEW& nm) {
    if (std::u16string(nm.szTarget) != u"logo.bmp") return;  // the other is never answered
    INLINEIMAGEINFO info{nm.dwCookie, 32, 32, red, FALSE};
    SendMessageW(viewer, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
  };
  show(u"<p>Logo:</p><img src=\"logo.bmp\"><p><img src=\"never.bmp\" width=\"40\" height=\"30\"></p>");

  ASSERT_EQ(m_notices.size(), 2u);
  EXPECT_EQ(m_notices[0].code, NM_INLINE_IMAGE);
  EXPECT_EQ(m_notices[0].target, u"logo.bmp");
  EXPECT_EQ(m_notices[1].target, u"never.bmp");
  EXPECT_NE(m_notices[0].cookie, m_notices[1].cookie);

  // The answered picture: a 32 x 32 red square under the text.
  POINT corner = find(kRed);
  ASSERT_GE(corner.x, 0);
  EXPECT_EQ(count(kRed), 32 * 32);
  EXPECT_EQ(count(kRed, {corner.x, corner.y, corner.x + 32, corner.y + 32}), 32 * 32);
  EXPECT_GT(ink({0, 0, kWidth, corner.y}), 10);
  // The unanswered one keeps its 40 x 30 place as a frame.
  EXPECT_EQ(count(kFrame, {0, corner.y + 32, kWidth, kHeight}), 2 * (40 + 30) - 4);

  // A late answer is drawn too; a failure leaves the frame.
  INLINEIMAGEINFO late{m_notices[1].cookie, 30, 40, solidBitmap(40, 30, RGB(0, 0xFF, 0)), TRUE};
  SendMessageW(m_viewer, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&late));
  settle();
  EXPECT_EQ(count(RGB(0, 0xFF, 0)), 40 * 30);
  EXPECT_EQ(count(kFrame), 0);

  // The viewer frees only the bitmaps it was given to own.
  SendMessageW(m_viewer, DTM_CLEAR, 0, 0);
  EXPECT_EQ(GetObjectType(late.hbm), 0u);
  EXPECT_EQ(GetObjectType(red), OBJ_BITMAP);
  DeleteObject(red);
}

TEST_F(Viewer, PlainTextShowsMarkupAsText) {
  struct Case {
    const char16_t* text;
    bool plain;
    int minWidth, maxWidth, minHeight;
  };
  const Case cases[] = {
      {u"<b>x</b>", true, 35, 120, 1},  {u"<b>x</b>", false, 1, 12, 1},
      {u"<hr>", true, 15, 60, 1},       {u"first line\nsecond line", true, 30, 120, 20},
      {u"a &amp; b", true, 40, 120, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.text));
    show(c.text, c.plain);
    RECT area{0, 0, kWidth, 60};
    int width = inkWidth(area);
    EXPECT_GE(width, c.minWidth);
    EXPECT_LE(width, c.maxWidth);
    int top = -1, bottom = -1;
    for (int y = 0; y < 60; ++y)
      if (ink({0, y, kWidth, y + 1})) bottom = y, top = top < 0 ? y : top;
    EXPECT_GE(bottom - top + 1, c.minHeight);
  }
}

// Twenty 100-pixel bands, each its own blue, on a body without margins: the
// band at a row tells how far the page is scrolled.
std::u16string bandedPage() {
  std::u16string page = u"<body style=\"margin:0\">";
  for (int i = 0; i < 20; ++i)
    page += u"<div id=\"band" + fromUtf8(std::to_string(i)) + u"\" style=\"height:100px;background-color:rgb(0,0," +
            fromUtf8(std::to_string(i * 10 + 5)) + u")\"></div>";
  return page + u"</body>";
}
int bandAt(COLORREF c) { return (GetBValue(c) - 5) / 10; }

TEST_F(Viewer, ATallPageScrollsByKeysScrollBarAndPen) {
  show(bandedPage());
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(bandAt(at(10, 0)), 0);
  EXPECT_GT(count(kShade, {kWidth - bar, 0, kWidth, kHeight}), 100);  // the bar's faces
  EXPECT_NE(at(kWidth - bar, 150), at(10, 150));                      // the page is narrower than the window

  const int page = kHeight - 16;
  const int end = 2000 - kHeight;
  struct Case {
    const char* name;
    std::function<void()> act;
    int scroll;
  };
  const Case cases[] = {
      {"down key",
       [&] {
         for (int i = 0; i < 7; ++i) key(VK_DOWN);
       },
       7 * 16},
      {"up key", [&] { key(VK_UP); }, 6 * 16},
      {"page down key", [&] { key(VK_NEXT); }, 6 * 16 + page},
      {"end key", [&] { key(VK_END); }, end},
      {"down key at the end", [&] { key(VK_DOWN); }, end},
      {"home key", [&] { key(VK_HOME); }, 0},
      {"up key at the top", [&] { key(VK_UP); }, 0},
      {"bar's down arrow",
       [&] {
         tap({kWidth - bar / 2, kHeight - 3});
       },
       16},
      {"bar's track below the thumb",
       [&] {
         tap({kWidth - bar / 2, kHeight - bar - 4});
       },
       16 + page},
      {"bar's up arrow",
       [&] {
         tap({kWidth - bar / 2, 3});
       },
       page},
      {"thumb position",
       [&] {
         SendMessageW(m_viewer, WM_VSCROLL, MAKELONG(SB_THUMBPOSITION, 500), 0);
         settle();
       },
       500},
      {"dragging the page up",
       [&] {
         wm::injectPen(wm::PenAction::Down, {100, 200});
         wm::injectPen(wm::PenAction::Move, {100, 150});
         wm::injectPen(wm::PenAction::Up, {100, 120});
         settle();
       },
       580},
      {"anchor",
       [&] {
         SendMessageW(m_viewer, DTM_ANCHORW, 0, reinterpret_cast<LPARAM>(u"band7"));
         settle();
       },
       700},
      {"missing anchor",
       [&] {
         SendMessageW(m_viewer, DTM_ANCHORW, 0, reinterpret_cast<LPARAM>(u"band77"));
         settle();
       },
       700},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.act();
    // The band boundary below the top row is where the scroll says.
    int boundary = 100 - c.scroll % 100;
    EXPECT_EQ(bandAt(at(10, 0)), c.scroll / 100);
    EXPECT_EQ(bandAt(at(10, boundary - 1)), c.scroll / 100);
    EXPECT_EQ(bandAt(at(10, boundary)), c.scroll / 100 + 1);
  }

  // Dragging the thumb to the bottom reaches the end; a short page has no bar.
  POINT thumb = find(kShade, {kWidth - bar, bar, kWidth, kHeight - bar});
  ASSERT_GE(thumb.y, 0);
  wm::injectPen(wm::PenAction::Down, {thumb.x + 2, thumb.y + 2});
  wm::injectPen(wm::PenAction::Move, {thumb.x + 2, kHeight + 100});
  wm::injectPen(wm::PenAction::Up, {thumb.x + 2, kHeight + 100});
  settle();
  EXPECT_EQ(bandAt(at(10, 0)), end / 100);
  show(u"<p>short</p>");
  EXPECT_EQ(count(kShade, {kWidth - bar, 0, kWidth, kHeight}), 0);
}

TEST_F(Viewer, HostileSourcesRenderWhatTheyCan) {
  std::u16string deep;
  for (int i = 0; i < 3000; ++i) deep += u"<div><b>";
  std::u16string tables;
  for (int i = 0; i < 300; ++i) tables += u"<table><tr><td>cell";
  std::u16string fitted, oddNames;
  for (int i = 0; i < 40; ++i) fitted += u"<div style=\"display:inline-block\"><span style=\"float:left\">x";
  for (int i = 0; i < 300; ++i) oddNames += u"<div\u0001<div><table><tr><td>y</div>";
  std::u16string huge;
  while (huge.size() < (1 << 20)) huge += u"word word word word word word word word word word word word ";
  struct Case {
    const char* name;
    std::u16string source;
    bool plain;
  };
  const Case cases[] = {
      {"empty", u"", false},
      {"unclosed tags", u"<table><tr><td>open<b><i>still <a href=x>open", false},
      {"stray brackets and entities", u"< <<> &#xD800; &#0; &bogus; </p></p></td>", false},
      {"deep nesting", deep + u"bottom", false},
      {"nested tables", tables, false},
      {"nested boxes sized to their content", fitted, false},
      {"tag names read to the blank", oddNames, false},
      {"huge text", huge, false},
      {"huge plain text", huge, true},
      {"a picture never answered", u"<img src=\"a.bmp\"><img src=\"\"><img>", false},
      {"bad attributes", u"<hr size=\"-5\"><hr size=\"99999999999\"><td height=\"%\" nowrap>x</td>", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    show(c.source, c.plain);
    EXPECT_TRUE(IsWindow(m_viewer));
  }
  // What could be shown of the huge page was: its first words.
  show(huge);
  EXPECT_GT(ink({0, 0, kWidth, 40}), 50);
  // An answer naming no request, and a null one, are ignored.
  INLINEIMAGEINFO stray{12345, 10, 10, solidBitmap(10, 10, kRed), TRUE};
  SendMessageW(m_viewer, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&stray));
  SendMessageW(m_viewer, DTM_SETIMAGE, 0, 0);
  settle();
  EXPECT_EQ(count(kRed), 0);
  EXPECT_EQ(GetObjectType(stray.hbm), 0u);  // it was ours to free
}

}  // namespace
