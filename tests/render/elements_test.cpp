// The element set: factory, geometry reading, presentation attributes, boxes
// and the style pass.

#include <gtest/gtest.h>

#include "dom/skindocumentloader.h"
#include "render/svglength.h"
#include "style/propertyregistry.h"
#include "tests/render/skinbuilder.h"

namespace {

std::vector<float> values(const SVGLengthVector& list) {
  std::vector<float> out;
  for (const SVGLength& length : list) out.push_back(length.value());
  return out;
}

TEST(SVGLengthText, ReadsTheLeadingNumberAndIgnoresUnits) {
  struct Case {
    const char16_t* text;
    float value;
  };
  const Case cases[] = {
      {u"10px", 10},
      {u"50%", 50},
      {u"  -3.5e1em", -35},
      {u"+7", 7},
      {u".5", 0.5f},
      {u"12em", 12},
      {u"1e", 1},
      {u"abc", 0},
      {u"", 0},
      {u"-", 0},
      {u"inf", 0},
      {u"nan", 0},
      {u"1e999", 3.4028235e38f},
      {u"-1e999", -3.4028235e38f},
      {u"1e-999", 0},
      {u"\u00b35", 0},
      {u"5\u00b3", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.text));
    SVGLength length;
    length.setValueAsString(c.text);
    EXPECT_EQ(length.value(), c.value);
    EXPECT_EQ(length.unitType(), SVGLength::SVG_LENGTHTYPE_NUMBER);
  }
  // Only the first 63 characters are read.
  SVGLength padded;
  padded.setValueAsString(DomString(62, u' ') + u"12");
  EXPECT_EQ(padded.value(), 1);
}

TEST(SVGLengthText, WritesSevenSignificantDigits) {
  SVGLength length;
  length.setValue(1234.56789f);
  EXPECT_EQ(length.valueAsString(), u"1234.568");
}

TEST(SVGLengthListText, ClosesAnEntryAtEverySeparator) {
  struct Case {
    const char16_t* text;
    std::vector<float> entries;
  };
  const Case cases[] = {
      {u"5,,7", {5, 0, 7}},    {u"  \t1 2\t3", {1, 2, 3}}, {u"4,", {4, 0}}, {u"", {}},
      {u"8px, 9%", {8, 0, 9}}, {u"1e2,x", {100, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.text));
    SVGLengthList list;
    list.setFromText(c.text);
    EXPECT_EQ(values(list.baseVal()), c.entries);
    EXPECT_EQ(values(list.animVal()), c.entries);
  }
}

TEST(SVGPointListText, TakesNumbersInPairs) {
  struct Case {
    const char16_t* text;
    std::vector<SVGPoint> points;
  };
  const Case cases[] = {
      {u"1,2 3,4 5,6", {{1, 2}, {3, 4}, {5, 6}}},
      {u"  1 2,\t3   4", {{1, 2}, {3, 4}}},
      {u"1,2 3", {{1, 2}}},  // an unpaired number is dropped
      {u"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.text));
    SVGPointList list;
    list.setFromText(c.text);
    EXPECT_EQ(list.points(), c.points);
  }
}

TEST(SVGDocumentFactory, MakesTheTenClassesIgnoringCase) {
  struct Case {
    const char16_t* tag;
    SVGElement::TypeCode type;
  };
  const Case cases[] = {
      {u"svg", SVGElement::kSvg},         {u"G", SVGElement::kG},
      {u"Rect", SVGElement::kRect},       {u"circle", SVGElement::kCircle},
      {u"ELLIPSE", SVGElement::kEllipse}, {u"image", SVGElement::kImage},
      {u"text", SVGElement::kText},       {u"line", SVGElement::kLine},
      {u"polygon", SVGElement::kPolygon}, {u"polyLine", SVGElement::kPolyline},
  };
  Ref<SVGDocument> document = SVGDocument::create();
  for (const Case& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.tag));
    Ref<Element> element = document->createElementByTag(c.tag);
    ASSERT_TRUE(element);
    auto* svg = asSVGElement(element.get());
    ASSERT_NE(svg, nullptr);
    EXPECT_EQ(svg->typeCode(), c.type);
    EXPECT_EQ(svg->ownerDocument(), document.get());
    EXPECT_EQ(svg->refCount(), 1);
    bool drawn = c.type == SVGElement::kSvg || c.type == SVGElement::kRect || c.type == SVGElement::kCircle ||
                 c.type == SVGElement::kImage || c.type == SVGElement::kText;
    EXPECT_EQ(svg->painter() != nullptr, drawn);
  }
  for (const char16_t* other : {u"desc", u"style", u"path", u"", u"svgx"}) {
    SCOPED_TRACE(toNarrowAscii(other));
    EXPECT_FALSE(document->createElementByTag(other));
  }
}

TEST(SVGDocumentIds, SearchesBelowTheDocumentElementInDocumentOrder) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"id", u"play"}});
  auto* group = skin.add(root, u"g", {{u"id", u"group"}});
  auto* deep = skin.add(group, u"rect", {{u"id", u"play"}});
  skin.add(root, u"rect", {{u"id", u"play"}});
  auto* last = skin.add(root, u"circle", {{u"id", u"Stop"}});
  SVGDocument* document = skin.document();
  EXPECT_EQ(document->getElementById(u"play"), deep) << "depth first, and never the root";
  EXPECT_EQ(document->getElementById(u"group"), group);
  EXPECT_EQ(document->getElementById(u"Stop"), last);
  EXPECT_EQ(document->getElementById(u"stop"), nullptr) << "ids compare exactly";
  EXPECT_EQ(document->getElementById(u""), nullptr);

  SkinBuilder lone;
  lone.add(nullptr, u"svg", {{u"id", u"root"}});
  EXPECT_EQ(lone.document()->getElementById(u"root"), nullptr);
}

TEST(SVGElementGeometry, AttributeNamesIgnoreCaseAndTheRestIsPresentation) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg");
  auto* rect = skin.add<SVGRectElement>(
      root, u"rect", {{u"X", u"10px"}, {u"width", u"50%"}, {u"HEIGHT", u"7"}, {u"rx", u"3"}, {u"cx", u"99"}});
  EXPECT_EQ(rect->x().value(), 10);
  EXPECT_EQ(rect->width().value(), 50);
  EXPECT_EQ(rect->height().value(), 7);
  EXPECT_EQ(rect->rx().value(), 3);
  EXPECT_EQ(rect->style().getPropertyValue(u"cx"), u"99") << "not a rect attribute: a presentation attribute";
  EXPECT_EQ(rect->style().getPropertyValue(u"X"), u"");

  auto* text = skin.addText(root, u"hi", {{u"x", u"5,,7"}, {u"rotate", u"30"}, {u"max-width", u"30"}});
  EXPECT_EQ(values(text->x().animVal()), (std::vector<float>{5, 0, 7}));
  EXPECT_EQ(text->boxLeft(), 5);
  EXPECT_EQ(text->maxWidth().value(), 30);
  EXPECT_EQ(text->style().length(), 0u) << "rotate is accepted and ignored";

  // A changed attribute shows its new value, not the old one with the new appended.
  text->setAttribute(u"x", u"20");
  text->attributeChanged(u"x");
  EXPECT_EQ(values(text->x().animVal()), (std::vector<float>{20}));

  auto* polygon = skin.add<SVGPolygonElement>(root, u"polygon", {{u"points", u"0,0 10,0 10,10"}});
  EXPECT_EQ(polygon->points().points().size(), 3u);
}

TEST(SVGElementGeometry, Boxes) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  auto* rect = skin.add(root, u"rect",
                        {{u"x", u"10"}, {u"y", u"20"}, {u"width", u"30"}, {u"height", u"40"}, {u"stroke-width", u"4"}});
  auto* circle = skin.add(root, u"circle", {{u"cx", u"50"}, {u"cy", u"60"}, {u"r", u"5"}, {u"stroke-width", u"4"}});
  auto* ellipse = skin.add(root, u"ellipse",
                           {{u"cx", u"50"}, {u"cy", u"60"}, {u"rx", u"5"}, {u"ry", u"3"}, {u"stroke-width", u"4"}});
  auto* line = skin.add(root, u"line", {{u"x1", u"1"}, {u"x2", u"9"}});
  struct Case {
    const char* what;
    SVGElement* element;
    float box[4];
    float strokeBox[4];
  };
  // Before the style pass there is no stroke width.
  EXPECT_EQ(rect->strokeBoxLeft(), 10);
  HDC screen = GetDC(nullptr);
  root->computeStyle(screen);
  ReleaseDC(nullptr, screen);
  const Case cases[] = {
      {"rect", rect, {10, 20, 40, 60}, {8, 18, 42, 62}},
      {"circle", circle, {45, 55, 55, 65}, {45, 55, 55, 65}},
      {"ellipse", ellipse, {45, 57, 55, 63}, {43, 55, 57, 65}},
      {"line", line, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"svg", root, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SVGElement* e = c.element;
    EXPECT_EQ((std::vector<float>{e->boxLeft(), e->boxTop(), e->boxRight(), e->boxBottom()}),
              (std::vector<float>(c.box, c.box + 4)));
    EXPECT_EQ((std::vector<float>{e->strokeBoxLeft(), e->strokeBoxTop(), e->strokeBoxRight(), e->strokeBoxBottom()}),
              (std::vector<float>(c.strokeBox, c.strokeBox + 4)));
  }
}

TEST(SVGElementStyle, StyleAttributeReplacesEarlierPresentationAttributes) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg");
  auto* after = skin.add(root, u"rect", {{u"fill", u"red"}, {u"style", u"stroke: blue"}});
  EXPECT_EQ(after->style().getPropertyValue(u"fill"), u"");
  EXPECT_EQ(after->style().getPropertyValue(u"stroke"), u"blue");

  auto* before = skin.add(root, u"rect", {{u"style", u"stroke: blue"}, {u"fill", u"red"}});
  EXPECT_EQ(before->style().getPropertyValue(u"fill"), u"red");
  EXPECT_EQ(before->style().getPropertyValue(u"stroke"), u"blue");

  auto* unreadable = skin.add(root, u"rect", {{u"fill", u"red"}, {u"style", u";;"}});
  EXPECT_EQ(unreadable->style().getPropertyValue(u"fill"), u"red") << "a style that gives nothing keeps the rest";
}

// A load parses each distinct style text and presentation value once and
// shares what it made: every element must still read as one built alone, and
// a change to one element's style reaches no other.
struct SharedStyleCase {
  const char* change;
  void (*apply)(SVGElement&);
};

const SharedStyleCase kSharedStyleCases[] = {
    {"a property set", [](SVGElement& e) { e.style().setProperty(u"stroke-width", u"5", u""); }},
    {"a property removed", [](SVGElement& e) { e.style().removeProperty(u"stroke-width"); }},
    {"the text replaced", [](SVGElement& e) { e.style().setCssText(u"opacity: 0.25"); }},
    {"the style attribute set again",
     [](SVGElement& e) {
       e.setAttribute(u"style", u"fill: yellow");
       e.attributeChanged(u"style");
     }},
    {"a presentation attribute set again",
     [](SVGElement& e) {
       e.setAttribute(u"font-style", u"italic");
       e.attributeChanged(u"font-style");
     }},
};

TEST(SVGElementStyle, ALoadSharesWhatItParsedButNoChange) {
  // A shorthand, a rejected value, a property of no grammar, the same text
  // under two properties ("bold" is a weight, no style); and a tag whose last
  // style attribute gives nothing, so that the one before it counts.
  const Attributes kKinds[] = {{{u"fill", u"red"},
                                {u"font-size", u"-3"},
                                {u"style", u"fill: blue; font: italic 12px Tahoma; stroke-width: 2"},
                                {u"font-weight", u"bold"},
                                {u"font-style", u"bold"}},
                               {{u"fill", u"red"},
                                {u"style", u"stroke: blue"},
                                {u"opacity", u"0.5"},
                                {u"STYLE", u";;"},
                                {u"stroke-width", u"3"}}};
  constexpr std::size_t kCopies = 3;
  std::string file = "<svg>";
  std::vector<DomString> expected;
  for (const Attributes& kind : kKinds) {
    std::string tag = "<rect";
    for (const auto& [name, value] : kind) tag += " " + toNarrowAscii(name) + "='" + toNarrowAscii(value) + "'";
    for (std::size_t i = 0; i < kCopies; ++i) file += tag + "/>";
    SkinBuilder alone;
    expected.push_back(alone.add(nullptr, u"rect", kind)->style().cssText());
  }
  TestDevice device;
  writeHostFile(device.host("skin.bskn"), file + "</svg>");

  for (const SharedStyleCase& row : kSharedStyleCases) {
    SCOPED_TRACE(row.change);
    XmlLoadResult result;
    Ref<SVGDocument> doc = SkinDocumentLoader::loadAs<SVGDocument>("\\skin.bskn", result);
    ASSERT_TRUE(doc && doc->rootElement());
    std::vector<SVGElement*> rects;
    for (Node* child = doc->rootElement()->firstChild(); child; child = child->nextSibling())
      rects.push_back(asSVGElement(child));
    ASSERT_EQ(rects.size(), kCopies * expected.size());
    for (std::size_t i = 0; i < rects.size(); ++i) EXPECT_EQ(rects[i]->style().cssText(), expected[i / kCopies]);
    for (std::size_t kind = 0; kind < expected.size(); ++kind) {
      SVGElement* const* copies = &rects[kind * kCopies];
      row.apply(*copies[1]);
      EXPECT_NE(copies[1]->style().cssText(), expected[kind]) << "the change took";
      EXPECT_EQ(copies[0]->style().cssText(), expected[kind]);
      EXPECT_EQ(copies[2]->style().cssText(), expected[kind]);
    }
  }
}

// What an element makes for itself is carved from its document's arena and
// given back when it goes; a value someone holds outlives the element and the
// document.
TEST(SVGElementStyle, CarvedValuesComeBackAndAHeldOneOutlivesTheDocument) {
  const std::u16string_view kLongPaint = u"a paint name longer than fits inline";
  Ref<CSSValue> paint, family;
  {
    SkinBuilder skin;
    SVGDocument* doc = skin.document();
    auto* text = skin.add(nullptr, u"text",
                          {{u"x", u"1 2 3"},
                           {u"fill", kLongPaint.data()},
                           {u"font-family", u"Tahoma, serif"},
                           {u"style", u"stroke: blue; stroke-width: 2"}});
    paint = text->style().getPropertyCSSValue(u"stroke");
    doc->removeChild(text);
    doc->flushReleaseQueue();
    EXPECT_GT(doc->nodeArena().liveBlocks(), 0u) << "the held value keeps its blocks";
    paint = {};
    EXPECT_EQ(doc->nodeArena().liveBlocks(), 0u) << "everything the element carved came back";

    text = skin.add(nullptr, u"text", {{u"fill", kLongPaint.data()}, {u"font-family", u"Tahoma, serif"}});
    paint = text->style().getPropertyCSSValue(u"fill");
    family = text->style().getPropertyCSSValue(u"font-family");
  }
  ASSERT_TRUE(paint && family);
  EXPECT_EQ(paint->cssText(), kLongPaint);
  EXPECT_EQ(family->cssText(), u"Tahoma, serif");
}

class StylePass : public ViewFixture {};

TEST_F(StylePass, DefaultsInheritanceAndDeclarations) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}, {u"fill", u"#008000"}});
  auto* group = skin.add(root, u"g",
                         {{u"fill", u"#ff0000"},
                          {u"stroke", u"blue"},
                          {u"font-family", u"Arial"},
                          {u"font-size", u"12"},
                          {u"visibility", u"hidden"}});
  auto* child = skin.add(group, u"rect", {{u"fill-opacity", u"0.2"}});
  auto* sibling = skin.add(root, u"rect", {{u"font-weight", u"bold"}, {u"visibility", u"sideways"}});
  HDC screen = GetDC(nullptr);
  root->computeStyle(screen);
  ReleaseDC(nullptr, screen);

  const ComputedStyle* rootStyle = root->computedStyle();
  ASSERT_NE(rootStyle, nullptr);
  EXPECT_EQ(rootStyle->fill.paintType, SVGPaint::SVG_PAINTTYPE_RGBCOLOR);
  EXPECT_EQ(rootStyle->stroke.paintType, SVGPaint::SVG_PAINTTYPE_NONE);
  EXPECT_EQ(rootStyle->font.family, u"times new roman");
  EXPECT_EQ(rootStyle->font.size, 9);
  EXPECT_EQ(rootStyle->font.weight, 50);
  EXPECT_EQ(rootStyle->strokeWidth.value(), 1);
  EXPECT_EQ(rootStyle->fillOpacity, 1);

  const ComputedStyle* childStyle = child->computedStyle();
  ASSERT_NE(childStyle, nullptr);
  EXPECT_EQ(childStyle->fill.colour, (Colour{255, 0, 0}));
  EXPECT_EQ(childStyle->stroke.colour, (Colour{0, 0, 255}));
  EXPECT_EQ(childStyle->font.family, u"Arial");
  EXPECT_EQ(childStyle->font.size, 12);
  EXPECT_EQ(childStyle->visibility, ComputedStyle::kHidden);
  EXPECT_FLOAT_EQ(childStyle->fillOpacity, 0.2f);
  ASSERT_TRUE(childStyle->font.platformFont);
  EXPECT_EQ(childStyle->font.platformFont, group->computedStyle()->font.platformFont) << "inherited, not remade";
  EXPECT_EQ(childStyle->font.platformFont->logFont().lfHeight, -16);  // 12 pt at 96 dpi

  const ComputedStyle* siblingStyle = sibling->computedStyle();
  EXPECT_EQ(siblingStyle->font.weight, 0) << "a keyword has no leading integer";
  EXPECT_EQ(siblingStyle->fill.colour, (Colour{0, 128, 0})) << "from the root, not the g";
  EXPECT_EQ(siblingStyle->visibility, ComputedStyle::kVisible) << "an unknown keyword changes nothing";
  EXPECT_EQ(siblingStyle->font.platformFont->logFont().lfWeight, 0);
}

TEST_F(StylePass, FontFaceIsCutToFitAndHeightsRound) {
  HDC screen = GetDC(nullptr);
  PlatformFont font(screen, DomString(40, u'a'), 9, true, 700);
  EXPECT_EQ(std::u16string(font.logFont().lfFaceName), DomString(31, u'a'));
  EXPECT_EQ(font.logFont().lfHeight, -12);
  EXPECT_EQ(font.logFont().lfItalic, 1);
  EXPECT_EQ(font.logFont().lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(font.logFont().lfPitchAndFamily, FF_SWISS);
  EXPECT_GT(font.textHeight(), 0);
  ReleaseDC(nullptr, screen);
  struct Case {
    int size, dpi;
    LONG height;
  };
  for (const Case& c : {Case{9, 96, -12}, Case{8, 96, -11}, Case{10, 96, -13}, Case{0, 96, 0}, Case{9, 192, -24}}) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(PlatformFont::heightFor(c.size, c.dpi), c.height);
  }
}

TEST_F(StylePass, TextIsMeasuredInItsFont) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  auto* text = skin.addText(root, u"Hello", {{u"x", u"10"}, {u"y", u"30"}, {u"font-size", u"12"}});
  auto* empty = skin.add<SVGTextElement>(root, u"text");
  HDC screen = GetDC(nullptr);
  root->computeStyle(screen);
  SIZE extent{};
  HGDIOBJ old = SelectObject(screen, text->computedStyle()->font.platformFont->handle());
  GetTextExtentPoint32W(screen, u"Hello", 5, &extent);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen, &tm);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(text->metrics().width, extent.cx);
  EXPECT_EQ(text->metrics().height, extent.cy);
  EXPECT_EQ(text->metrics().ascent, tm.tmAscent);
  EXPECT_EQ(empty->metrics().width, 0);

  static_cast<Text*>(text->firstChild())->setData(u"Hello, world");
  text->updateTextMetrics();
  EXPECT_GT(text->metrics().width, extent.cx);
}

TEST_F(StylePass, DeepNestingIsStyledWithoutRecursion) {
  SkinBuilder skin;
  Node* parent = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}, {u"fill", u"red"}});
  auto* root = asSVGElement(parent);
  for (int i = 0; i < 100000; ++i) parent = skin.add(parent, u"g");
  HDC screen = GetDC(nullptr);
  root->computeStyle(screen);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(asSVGElement(parent)->computedStyle(), nullptr);
  EXPECT_EQ(asSVGElement(parent)->computedStyle()->fill.colour, (Colour{255, 0, 0}));
}

}  // namespace
