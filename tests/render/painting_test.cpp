// Painting, checked in the pixels of the view's off-screen buffer.

#include <gtest/gtest.h>

#include "platform/image/richimage.h"
#include "render/painters.h"
#include "tests/platform/image/encoders.h"
#include "tests/render/skinbuilder.h"
#include "tests/support/tempdir.h"

namespace {

class Painting : public ViewFixture {
 protected:
  SVGElement* root(SkinBuilder& skin) { return skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}}); }
};

TEST_F(Painting, RectFillsAndOutlines) {
  struct Case {
    const char* what;
    Attributes paint;
    int inside;   // red pixels inside the 20 x 10 rectangle (left and top edges included)
    int outline;  // blue pixels on its outline
  };
  const Case cases[] = {
      {"fill without stroke", {{u"fill", u"red"}}, 200, 0},
      {"stroke without fill", {{u"stroke", u"blue"}}, 0, 2 * 21 + 2 * 9},
      {"fill-opacity 0.2 is opaque", {{u"fill", u"red"}, {u"fill-opacity", u"0.2"}}, 200, 0},
      {"fill-opacity 0", {{u"fill", u"red"}, {u"fill-opacity", u"0"}}, 0, 0},
      {"fill-opacity negative", {{u"fill", u"red"}, {u"fill-opacity", u"-1"}}, 0, 0},
      {"fill none", {{u"fill", u"none"}, {u"stroke", u"none"}}, 0, 0},
      {"hidden", {{u"fill", u"red"}, {u"visibility", u"hidden"}}, 0, 0},
      {"collapse draws", {{u"fill", u"red"}, {u"visibility", u"collapse"}}, 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    freshScreen();
    SkinBuilder skin;
    auto* rect =
        skin.add(root(skin), u"rect", {{u"x", u"10.9"}, {u"y", u"20"}, {u"width", u"20.7"}, {u"height", u"10"}});
    for (const auto& [name, value] : c.paint) {
      rect->setAttribute(name, value);
      rect->attributeChanged(name);
    }
    SkinView* view = show(skin);
    // Truncated: the rectangle is (10, 20)-(30, 30); the outline runs through
    // its corners, so it covers column 30 and row 30 too.
    EXPECT_EQ(count(view, kRed, RECT{10, 20, 30, 30}), c.inside);
    EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), c.inside) << "nothing outside";
    int outline = count(view, kBlue, RECT{10, 20, 31, 21}) + count(view, kBlue, RECT{10, 30, 31, 31}) +
                  count(view, kBlue, RECT{10, 21, 11, 30}) + count(view, kBlue, RECT{30, 21, 31, 30});
    EXPECT_EQ(outline, c.outline);
    EXPECT_EQ(count(view, kBlue, RECT{0, 0, 240, 268}), c.outline);
  }
}

TEST_F(Painting, OnlySvgRectImageAndTextDraw) {
  SkinBuilder skin;
  auto* svg = root(skin);
  const Attributes red = {{u"fill", u"red"}, {u"stroke", u"red"}, {u"stroke-width", u"3"}};
  for (const char16_t* tag : {u"circle", u"ellipse"}) {
    auto* e = skin.add(svg, tag, {{u"cx", u"50"}, {u"cy", u"50"}, {u"r", u"20"}, {u"rx", u"20"}, {u"ry", u"20"}});
    for (const auto& [n, v] : red) e->setAttribute(n, v), e->attributeChanged(n);
  }
  auto* line = skin.add(svg, u"line", {{u"x1", u"0"}, {u"y1", u"0"}, {u"x2", u"100"}, {u"y2", u"100"}});
  auto* polygon = skin.add(svg, u"polygon", {{u"points", u"0,0 100,0 100,100"}});
  auto* polyline = skin.add(svg, u"polyline", {{u"points", u"0,0 100,0 100,100"}});
  auto* group = skin.add(svg, u"g", {{u"fill", u"red"}});
  skin.add(group, u"rect", {{u"width", u"100"}, {u"height", u"100"}});
  skin.addText(group, u"Inside", {{u"x", u"10"}, {u"y", u"40"}});
  for (SVGElement* e : {line, polygon, polyline})
    for (const auto& [n, v] : red) e->setAttribute(n, v), e->attributeChanged(n);
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kWhite, RECT{0, 0, 240, 268}), 240 * 268);
}

TEST_F(Painting, NestedSvgPaintsItsChildrenInPlace) {
  SkinBuilder skin;
  auto* svg = root(skin);
  auto* inner = skin.add(svg, u"svg", {{u"x", u"100"}, {u"y", u"100"}, {u"width", u"50"}, {u"height", u"50"}});
  skin.add(inner, u"rect", {{u"x", u"5"}, {u"y", u"5"}, {u"width", u"10"}, {u"height", u"10"}, {u"fill", u"red"}});
  auto* away = skin.add(svg, u"svg", {{u"x", u"300"}, {u"width", u"5"}, {u"height", u"5"}});
  skin.add(away, u"rect", {{u"width", u"10"}, {u"height", u"10"}, {u"fill", u"blue"}});
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kRed, RECT{5, 5, 15, 15}), 100) << "not moved";
  EXPECT_EQ(count(view, kBlue, RECT{0, 0, 240, 268}), 0) << "an svg outside the area paints nothing";
}

TEST_F(Painting, TextShowsInItsFillAndIsCutAtMaxWidth) {
  struct Case {
    const char* what;
    Attributes attributes;
    bool drawn;
    int maxWidth;
  };
  const Case cases[] = {
      {"fill", {{u"fill", u"black"}}, true, 0},
      {"no fill", {{u"stroke", u"black"}}, false, 0},
      {"fill none", {{u"fill", u"none"}, {u"stroke", u"black"}}, false, 0},
      {"fill-opacity 0", {{u"fill", u"black"}, {u"fill-opacity", u"0"}}, false, 0},
      {"max-width 30", {{u"fill", u"black"}, {u"max-width", u"30"}}, true, 30},
  };
  std::vector<int> fullColumns;  // ink per column of the uncut text
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    freshScreen();
    SkinBuilder skin;
    auto* text = skin.addText(root(skin), u"WWWWWWWWWWWWWWWW", {{u"x", u"10"}, {u"y", u"40"}, {u"font-size", u"12"}});
    for (const auto& [name, value] : c.attributes) text->setAttribute(name, value), text->attributeChanged(name);
    SkinView* view = show(skin);
    int width = static_cast<int>(text->metrics().width);
    ASSERT_GT(width, 50);
    int top = 40 - static_cast<int>(text->metrics().ascent);
    RECT band{0, top, 240, top + static_cast<int>(text->metrics().height) + 1};
    int ink = count(view, kBlack, band);
    EXPECT_EQ(ink > 0, c.drawn);
    EXPECT_EQ(count(view, kBlack, RECT{0, 0, 240, 268}), ink) << "only in the text's band";
    std::vector<int> columns;
    for (int x = 0; x < 240; ++x) columns.push_back(count(view, kBlack, RECT{x, band.top, x + 1, band.bottom}));
    if (c.maxWidth) {
      // 31 columns show, x0 to x0 + max-width, as they are in the uncut text.
      ASSERT_EQ(fullColumns.size(), columns.size());
      for (int x = 0; x < 240; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(columns[x], x <= 10 + c.maxWidth ? fullColumns[x] : 0);
      }
    } else if (c.drawn) {
      fullColumns = columns;
      EXPECT_GT(count(view, kBlack, RECT{10 + 40, band.top, 240, band.bottom}), 0);
    }
  }
}

class Pictures : public Painting {
 protected:
  void SetUp() override {
    Painting::SetUp();
    static bool handlers = [] {
      RichImage::AddHandler(new rcJPEGHandler);
      RichImage::AddHandler(new rcGIFHandler);
      return true;
    }();
    (void)handlers;
  }

  // A 2 x 1 GIF: red, then the transparent colour.
  void writePicture(const std::string& relative) {
    Bytes gif = encodeGif(2, 1, {0xFF0000, 0x00FF00}, {0, 1}, 1);
    writeHostFile(m_device.host(relative), std::string(gif.begin(), gif.end()));
  }

  // Shows an image stretched over (20, 20)-(40, 30) above a blue rect.
  SkinView* showImage(const char16_t* href, const std::string& documentPath = "\\skins\\test.bskn",
                      SVGImageElement** image = nullptr) {
    SkinBuilder skin(documentPath);
    auto* svg = root(skin);
    skin.add(svg, u"rect", {{u"width", u"100"}, {u"height", u"100"}, {u"fill", u"blue"}});
    auto* element = skin.add<SVGImageElement>(
        svg, u"image", {{u"x", u"20"}, {u"y", u"20"}, {u"width", u"20"}, {u"height", u"10"}, {u"xlink:href", href}});
    if (image) *image = element;
    return show(skin);
  }
};

TEST_F(Pictures, TransparentColourLeavesWhatIsBeneath) {
  writePicture("skins/faces/button.gif");
  SVGImageElement* image = nullptr;
  SkinView* view = showImage(u"faces/button.gif", "\\skins\\test.bskn", &image);
  ASSERT_TRUE(image->picture());
  ASSERT_TRUE(image->mask());
  EXPECT_EQ(count(view, kRed, RECT{20, 20, 30, 30}), 100);
  EXPECT_EQ(count(view, kBlue, RECT{30, 20, 40, 30}), 100) << "the transparent half shows the rect";
  EXPECT_EQ(count(view, RGB(0, 255, 0), RECT{0, 0, 240, 268}), 0);
}

TEST_F(Pictures, PicturesThatCannotBeShownLeaveTheFillAndOutline) {
  writePicture("skins/ok.gif");
  writePicture("secret.gif");
  writeHostFile(m_device.host("skins/broken.gif"), "GIF89a\x02\x00\x01");
  struct Case {
    const char* what;
    const char16_t* href;
  };
  const Case cases[] = {
      {"missing", u"nothere.gif"},
      {"undecodable", u"broken.gif"},
      {"climbs out of the skin's folder", u"..\\secret.gif"},
      {"climbs out and back", u"faces/../../secret.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SVGImageElement* image = nullptr;
    SkinView* view = showImage(c.href, "\\skins\\test.bskn", &image);
    EXPECT_EQ(image->picture(), nullptr);
    EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 0);
    EXPECT_EQ(count(view, kBlue, RECT{20, 20, 40, 30}), 200);
    DestroyWindow(view->window());
  }
  // Inside the folder by either kind of reference, and anywhere on the device by its absolute path.
  for (const char16_t* href : {u"ok.gif", u"\\skins\\ok.gif", u"./ok.gif", u"\\secret.gif"}) {
    SCOPED_TRACE(toNarrowAscii(href));
    SVGImageElement* image = nullptr;
    SkinView* view = showImage(href, "\\skins\\test.bskn", &image);
    EXPECT_NE(image->picture(), nullptr);
    EXPECT_EQ(count(view, kRed, RECT{20, 20, 30, 30}), 100);
    DestroyWindow(view->window());
  }
}

TEST_F(Pictures, AnEmptiedReferenceKeepsThePicture) {
  writePicture("skins/ok.gif");
  SVGImageElement* image = nullptr;
  showImage(u"ok.gif", "\\skins\\test.bskn", &image);
  const RichBitmap* picture = image->picture();
  ASSERT_TRUE(picture);
  image->setAttribute(u"xlink:href", u"");
  image->attributeChanged(u"xlink:href");
  EXPECT_EQ(image->picture(), picture);
  image->setAttribute(u"xlink:href", u"gone.gif");
  image->attributeChanged(u"xlink:href");
  EXPECT_EQ(image->picture(), nullptr);
}

// A picture first shown late is still the file as it was when it was named.
TEST_F(Pictures, APictureIsTheFileAsItWasWhenNamed) {
  writePicture("skins/ok.gif");
  SkinBuilder skin;
  auto* image = skin.add<SVGImageElement>(root(skin), u"image",
                                          {{u"width", u"20"}, {u"height", u"10"}, {u"xlink:href", u"ok.gif"}});
  writeHostFile(m_device.host("skins/ok.gif"), "GIF89a\x02\x00\x01");
  EXPECT_NE(image->picture(), nullptr);
  image->attributeChanged(u"xlink:href");
  EXPECT_EQ(image->picture(), nullptr) << "named again, the damaged file is what it shows";
}

TEST(PicturePaths, ResolveBesideTheDocument) {
  struct Case {
    const char* document;
    const char* reference;
    const char* path;
  };
  const Case cases[] = {
      {"\\skins\\a.bskn", "b.gif", "\\skins\\b.gif"},
      {"\\skins/a.bskn", "f\\b.gif", "\\skins/f\\b.gif"},
      {"\\skins\\a.bskn", "\\SKINS\\b.gif", "\\SKINS\\b.gif"},
      {"\\skins\\a.bskn", "/skins/b.gif", "/skins/b.gif"},
      {"\\skins\\a.bskn", "..\\b.gif", ""},
      {"\\skins\\a.bskn", "\\My Documents\\p.png", "\\My Documents\\p.png"},
      {"\\skins\\a.bskn", "f\\..\\..\\b.gif", ""},
      {"\\skins\\a.bskn", "", ""},
      {"a.bskn", "b.gif", "b.gif"},
      {"a.bskn", "\\b.gif", "\\b.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.document) + " " + c.reference);
    EXPECT_EQ(picturePath(c.document, c.reference), c.path);
  }
}

TEST_F(Painting, HugeAndNonFiniteGeometryDrawsWhatIsOnScreen) {
  SkinBuilder skin;
  auto* svg = root(skin);
  // Out of range: -1e999 reads as the most negative float, 1e39 as the largest.
  skin.add(svg, u"rect",
           {{u"x", u"-1e30"},
            {u"y", u"-1e30"},
            {u"width", u"1e39"},
            {u"height", u"1e39"},
            {u"fill", u"red"},
            {u"stroke", u"blue"},
            {u"stroke-width", u"1e20"}});
  skin.add(svg, u"rect",
           {{u"x", u"nan"}, {u"y", u"-1e999"}, {u"width", u"inf"}, {u"height", u"1e999"}, {u"fill", u"blue"}});
  skin.add(svg, u"rect", {{u"x", u"100"}, {u"y", u"100"}, {u"width", u"3e9"}, {u"height", u"2"}, {u"stroke", u"blue"}});
  skin.addText(svg, u"x", {{u"x", u"1e38"}, {u"y", u"-1e38"}, {u"fill", u"black"}, {u"max-width", u"1e38"}});
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}) + count(view, kBlue, RECT{0, 0, 240, 268}), 240 * 268);
}

}  // namespace

namespace {

// A GIF whose frame claims more pixels than any skin picture needs, over a
// small logical screen, followed by a little image data.
std::string oversizedGif(int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
  auto word = [](int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
  std::string gif = "GIF89a" + word(screenWidth) + word(screenHeight) + std::string("\x80\x00\x00", 3);
  gif += std::string("\xFF\x00\x00\x00\x00\xFF", 6);  // two-entry palette: red, blue
  gif += "," + word(0) + word(0) + word(frameWidth) + word(frameHeight) + std::string("\x00", 1);
  gif += std::string("\x02\x02\x4C\x01\x00;", 6);
  return gif;
}

TEST_F(Pictures, OversizedPicturesAreRefusedBeforeTheyAreDecoded) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"enormous screen", oversizedGif(65535, 65535, 2, 1)},
      {"enormous frame on a small screen", oversizedGif(2, 1, 65535, 65535)},
      {"frame wider than any screen", oversizedGif(2, 1, 65535, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeHostFile(m_device.host("skins/big.gif"), c.bytes);
    SVGImageElement* image = nullptr;
    SkinView* view = showImage(u"big.gif", "\\skins\\test.bskn", &image);
    if (image->picture()) {
      EXPECT_LE(static_cast<long long>(image->picture()->GetWidth()) * image->picture()->GetHeight(), 16ll << 20);
    }
    EXPECT_EQ(count(view, kBlue, RECT{0, 0, 20, 20}), 400) << "the rect beneath is still drawn";
    DestroyWindow(view->window());
  }
}

// The picture's clamped span runs from -2^20 to 2^20, so the screen lies on
// the start of its second (transparent) half: only what is beneath shows.
TEST_F(Pictures, AnEnormousPictureIsStretchedOnlyWhereTheScreenIs) {
  writePicture("skins/ok.gif");
  SkinBuilder skin;
  auto* svg = root(skin);
  skin.add(svg, u"rect", {{u"width", u"100"}, {u"height", u"100"}, {u"fill", u"blue"}});
  auto* image = skin.add<SVGImageElement>(
      svg, u"image",
      {{u"x", u"-1e30"}, {u"y", u"-1e30"}, {u"width", u"1e39"}, {u"height", u"1e39"}, {u"xlink:href", u"ok.gif"}});
  ASSERT_TRUE(image->picture());
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kBlue, RECT{0, 0, 100, 100}), 100 * 100);
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 0);
  EXPECT_EQ(count(view, kWhite, RECT{100, 0, 240, 268}), 140 * 268);
}

TEST_F(Painting, DeeplyNestedSvgPaintsWithoutRecursion) {
  SkinBuilder skin;
  Node* parent = root(skin);
  for (int i = 0; i < 100000; ++i) parent = skin.add(parent, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  skin.add(parent, u"rect", {{u"x", u"5"}, {u"width", u"10"}, {u"height", u"10"}, {u"fill", u"red"}});
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 100);
  EXPECT_EQ(at(view, 5, 0), kRed);
}

}  // namespace
