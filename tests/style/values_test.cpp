#include <gtest/gtest.h>

#include "style/csskeywords.h"
#include "style/cssparser.h"
#include "style/cssproperties.h"
#include "style/propertyregistry.h"

namespace {

using Unit = CSSPrimitiveValue::UnitType;

struct NumberCase {
  const char* text;
  unsigned allowed;
  bool accepted;
  Unit type;
  float value;
};

constexpr unsigned kLen = css::kLength, kPct = css::kPercent, kNum = css::kNumber, kInt = css::kInteger,
                   kNonNeg = css::kNonNegative;

const NumberCase kNumberCases[] = {
    {"10", kLen, true, Unit::CSS_PX, 10},  // unitless lengths are pixels
    {"0", kLen, true, Unit::CSS_PX, 0},
    {"10", kNum | kLen, true, Unit::CSS_NUMBER, 10},
    {"10", kInt, true, Unit::CSS_NUMBER, 10},
    {"1.5", kInt, false, Unit::CSS_UNKNOWN, 0},  // integers have no "."
    {"1.5", kInt | kLen, true, Unit::CSS_PX, 1.5f},
    {"12pt", kLen, true, Unit::CSS_PT, 12},
    {"12PT", kLen, true, Unit::CSS_PT, 12},
    {"12pt  ", kLen, true, Unit::CSS_PT, 12},  // trailing blanks ignored
    {"2.5em", kLen, true, Unit::CSS_EMS, 2.5f},
    {"3ex", kLen, true, Unit::CSS_EXS, 3},
    {"1in", kLen, true, Unit::CSS_IN, 1},
    {"1cm", kLen, true, Unit::CSS_CM, 1},
    {"1mm", kLen, true, Unit::CSS_MM, 1},
    {"1pc", kLen, true, Unit::CSS_PC, 1},
    {"50%", kLen, false, Unit::CSS_UNKNOWN, 0},  // class not allowed
    {"50%", kPct, true, Unit::CSS_PERCENTAGE, 50},
    {"90deg", 16, true, Unit::CSS_DEG, 90},
    {"1rad", 16, true, Unit::CSS_RAD, 1},
    {"100grad", 16, true, Unit::CSS_GRAD, 100},
    {"20ms", 32, true, Unit::CSS_MS, 20},
    {"2s", 32, true, Unit::CSS_S, 2},
    {"5hz", 64, true, Unit::CSS_HZ, 5},
    {"5khz", 64, true, Unit::CSS_KHZ, 5},
    {"-5px", kLen | kNonNeg, false, Unit::CSS_UNKNOWN, 0},
    {"-5px", kLen, true, Unit::CSS_PX, -5},
    {"+5px", kLen, true, Unit::CSS_PX, 5},
    {"1e2px", kLen, true, Unit::CSS_PX, 100},
    {"10 px", kLen, false, Unit::CSS_UNKNOWN, 0},  // a blank is no unit
    {"10qq", kLen, false, Unit::CSS_UNKNOWN, 0},
    {"px", kLen, false, Unit::CSS_UNKNOWN, 0},
    {".", kLen, false, Unit::CSS_UNKNOWN, 0},
    {"1.2.3px", kLen, false, Unit::CSS_UNKNOWN, 0},
    {"0x10", kLen, false, Unit::CSS_UNKNOWN, 0},
    {"\"10\"", kLen | kNum, false, Unit::CSS_UNKNOWN, 0},
    {"1e39", kNum, false, Unit::CSS_UNKNOWN, 0},  // overflows a float: does not read
    {"1e400", kNum, false, Unit::CSS_UNKNOWN, 0},
    {"1e-400", kNum, true, Unit::CSS_NUMBER, 0},
    {"inf", kNum, false, Unit::CSS_UNKNOWN, 0},
};

TEST(NumberWithUnit, ReadsNumberAndUnitClass) {
  for (const auto& c : kNumberCases) {
    SCOPED_TRACE(c.text);
    Ref<CSSPrimitiveValue> value = css::parseNumberWithUnit(toWide(c.text), c.allowed);
    ASSERT_EQ(static_cast<bool>(value), c.accepted);
    if (!value) continue;
    EXPECT_EQ(value->primitiveType(), c.type);
    EXPECT_FLOAT_EQ(value->getFloatValue(), c.value);
  }
}

struct TextCase {
  float value;
  Unit type;
  const char* text;
};

TEST(PrimitiveValue, WritesNumbersWithoutTrailingZeros) {
  const TextCase kCases[] = {
      {12, Unit::CSS_PT, "12pt"},        {1.5f, Unit::CSS_NUMBER, "1.5"},    {2.0f, Unit::CSS_PX, "2px"},
      {50, Unit::CSS_PERCENTAGE, "50%"}, {-0.25f, Unit::CSS_EMS, "-0.25em"}, {100, Unit::CSS_KHZ, "100khz"},
      {0, Unit::CSS_NUMBER, "0"},        {10, Unit::CSS_GRAD, "10grad"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CSSPrimitiveValue::number(c.value, c.type)->cssText(), toWide(c.text));
  }
  EXPECT_EQ(CSSPrimitiveValue::string(u"a b")->cssText(), u"a b");
  EXPECT_EQ(CSSPrimitiveValue::string(u"x.png", Unit::CSS_URI)->cssText(), u"url(\"x.png\")");
  EXPECT_EQ(CSSPrimitiveValue::keyword(css::keywordIdOf("bold"))->cssText(), u"bold");
  EXPECT_EQ(CSSPrimitiveValue::colour({255, 10, 0})->cssText(), u"#ff0a00");
  EXPECT_EQ(CSSInheritedValue().cssText(), u"inherited");
}

TEST(PrimitiveValue, ExposesItsPayloadOnlyForItsKind) {
  auto colour = CSSPrimitiveValue::colour({1, 2, 3});
  EXPECT_EQ(colour->cssValueType(), CSSValue::CSS_PRIMITIVE_VALUE);
  EXPECT_EQ(colour->getFloatValue(), 0);
  EXPECT_EQ(colour->getIdent(), 0);
  Ref<RGBColor> rgb = colour->getRGBColorValue();
  ASSERT_TRUE(rgb);
  EXPECT_EQ(rgb->green()->primitiveType(), Unit::CSS_NUMBER);
  EXPECT_EQ(rgb->green()->getFloatValue(), 2);
  EXPECT_FALSE(CSSPrimitiveValue::number(1, Unit::CSS_PX)->getRGBColorValue());
  EXPECT_EQ(CSSPrimitiveValue::keyword(css::keywordIdOf("none"))->getStringValue(), u"none");
}

// The grammar of one property: the text and the cssText of the stored value,
// or nullptr when the grammar rejects it.
struct GrammarCase {
  const char* property;
  const char* text;
  const char* stored;
};

const GrammarCase kGrammarCases[] = {
    {"width", "10", "10px"},
    {"width", "-5px", nullptr},
    {"width", "auto", "auto"},
    {"width", "AUTO", "auto"},
    {"width", "50%", "50%"},
    {"height", "bold", nullptr},
    {"font-size", "12pt", "12pt"},
    {"font-size", "larger", "larger"},
    {"font-size", "-1pt", nullptr},
    {"font-weight", "600", "bold"},
    {"font-weight", "900", "bold"},
    {"font-weight", "100", "normal"},
    {"font-weight", "500", "normal"},
    {"font-weight", "Bolder", "bolder"},
    {"font-weight", "heavy", nullptr},
    {"font-style", "oblique", "oblique"},
    {"font-style", "bold", nullptr},
    {"font-variant", "small-caps", "small-caps"},
    {"font-family", "Arial, 'Times New Roman',serif", "Arial, Times New Roman, serif"},
    {"font-family", " , ", nullptr},
    {"font-size-adjust", "0.5", "0.5"},
    {"font-size-adjust", "none", "none"},
    {"line-height", "1.2", "1.2"},
    {"line-height", "-1", nullptr},
    {"letter-spacing", "normal", "normal"},
    {"letter-spacing", "2px", "2px"},
    {"letter-spacing", "2%", nullptr},
    {"color", "#00ff00", "#00ff00"},
    {"color", "Green", "#00ff00"},
    {"color", "transparent", "#000000"},
    {"color", "silver", nullptr},
    {"background-color", "transparent", "transparent"},
    {"background-color", "rgb(1,2,3)", "#010203"},
    {"outline-color", "invert", "invert"},
    {"outline-color", "blue", "#0000ff"},
    {"border-top-color", "red", "#ff0000"},
    {"scrollbar-arrow-color", "white", "#ffffff"},
    {"list-style-image", "url( \"a b.png\" )", "url(\"a b.png\")"},
    {"list-style-image", "url('')", nullptr},
    {"list-style-image", "none", "none"},
    {"list-style-image", "a.png", nullptr},
    {"background-image", "url(x.png)", "url(\"x.png\")"},
    {"cursor", "pointer", "pointer"},
    {"cursor", "help", "help"},
    {"cursor", "inline", nullptr},
    {"background-repeat", "repeat-x", "repeat-x"},
    {"background-repeat", "scroll", nullptr},
    {"background-attachment", "fixed", "fixed"},
    {"border-collapse", "separate", "separate"},
    {"border-spacing", "2px", "2px"},
    {"border-spacing", "-2px", nullptr},
    {"border-top-style", "ridge", "ridge"},
    {"border-top-style", "caption", nullptr},
    {"outline-style", "dotted", "dotted"},
    {"border-left-width", "thick", "thick"},
    {"border-left-width", "3", "3px"},
    {"outline-width", "-1px", nullptr},
    {"margin-left", "-5%", "-5%"},
    {"margin-left", "auto", "auto"},
    {"marker-offset", "5%", nullptr},
    {"marker-offset", "auto", "auto"},
    {"min-width", "auto", nullptr},
    {"max-width", "none", "none"},
    {"padding-top", "-1px", nullptr},
    {"padding-top", "4%", "4%"},
    {"top", "auto", "auto"},
    {"caption-side", "left", "left"},
    {"clear", "both", "both"},
    {"float", "center", "center"},
    {"float", "both", nullptr},
    {"direction", "rtl", "rtl"},
    {"display", "table-caption", "table-caption"},
    {"display", "none", "none"},
    {"display", "auto", nullptr},
    {"white-space", "nowrap", "nowrap"},
    {"position", "bold", "bold"},  // any keyword of the table
    {"position", "fixedx", nullptr},
    {"list-style-position", "inside", "inside"},
    {"list-style-type", "lower-roman", "lower-roman"},
    {"list-style-type", "inline", nullptr},
    {"overflow", "scroll", "scroll"},
    {"orphans", "2", "2"},
    {"orphans", "2.5", nullptr},
    {"z-index", "auto", "auto"},
    {"z-index", "-3", "-3"},
    {"text-align", "center", "center"},
    {"text-align", "middle of it", "middle of it"},  // anything else stays text
    {"text-decoration", "underline blink", "underline blink"},
    {"text-decoration", "underline wavy overline", "underline overline"},
    {"text-decoration", "wavy", nullptr},
    {"text-decoration", "none", "none"},
    {"text-transform", "uppercase", "uppercase"},
    {"vertical-align", "text-top", "text-top"},
    {"vertical-align", "-2px", "-2px"},
    {"visibility", "collapse", "collapse"},
    {"visibility", "none", nullptr},
    {"clip", "auto", "auto"},
    {"clip", "rect(1px, auto, 3px, 4px)", "rect(1px, auto, 3px, 4px)"},
    {"clip", "rect(1px 2px 3px 4px)", "rect(1px, 2px, 3px, 4px)"},
    {"clip", "rect(1px, 2px)", nullptr},
    {"counter-reset", "\"a\", b", "a, b"},
    {"content", "\"x\" open-quote", "x open-quote"},
    {"content", "bogus", nullptr},
    {"-konq-flow-mode", "-konq-around-floats", "-konq-around-floats"},
    {"color", "inherit", "inherited"},
    {"width", "Inherit", "inherited"},
    {"fill", "#00ff00", "#00ff00"},  // dynamic: kept as text
    {"fill", "inherit", "inherited"},
};

TEST(ValueGrammar, EachPropertyAcceptsItsOwnForms) {
  for (const auto& c : kGrammarCases) {
    SCOPED_TRACE(std::string(c.property) + ": " + c.text);
    CSSPropertyList list;
    CSSParser parser(list);
    int id = propertyRegistry().idOf(toWide(c.property));
    bool accepted = parser.parseValue(id, toWide(c.text), false);
    ASSERT_EQ(accepted, c.stored != nullptr);
    if (!accepted) {
      EXPECT_TRUE(list.empty());
      continue;
    }
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, id);
    EXPECT_EQ(toNarrowAscii(list[0].value->cssText()), c.stored);
  }
}

TEST(ValueGrammar, StoredKindsFollowTheDomTypes) {
  CSSPropertyList list;
  CSSParser parser(list);
  ASSERT_TRUE(parser.parseValue(css::propertyIdOf("font-weight"), u"600", false));
  ASSERT_TRUE(parser.parseValue(css::propertyIdOf("color"), u"red", false));
  ASSERT_TRUE(parser.parseValue(propertyRegistry().idOf(u"fill"), u"red", false));
  ASSERT_TRUE(parser.parseValue(css::propertyIdOf("font-family"), u"serif, \"serif\"", false));
  auto* weight = static_cast<CSSPrimitiveValue*>(list[0].value.get());
  EXPECT_EQ(weight->getIdent(), css::keywordIdOf("bold"));
  EXPECT_EQ(static_cast<CSSPrimitiveValue*>(list[1].value.get())->primitiveType(), Unit::CSS_RGBCOLOR);
  EXPECT_EQ(static_cast<CSSPrimitiveValue*>(list[2].value.get())->primitiveType(), Unit::CSS_STRING);
  auto* families = static_cast<CSSValueList*>(list[3].value.get());
  ASSERT_EQ(families->cssValueType(), CSSValue::CSS_VALUE_LIST);
  ASSERT_EQ(families->length(), 2u);
  EXPECT_TRUE(static_cast<FontFamilyValue*>(families->item(0))->isGeneric());
  EXPECT_FALSE(static_cast<FontFamilyValue*>(families->item(1))->isGeneric());  // quoted: a real family
  EXPECT_EQ(families->item(2), nullptr);
}

TEST(ValueGrammar, BackgroundPositionSetsXAndY) {
  const std::tuple<const char*, const char*, const char*> kCases[] = {
      {"left top", "0%", "0%"},         {"top left", "0%", "0%"},    {"right bottom", "100%", "100%"},
      {"center", "50%", "50%"},         {"top", "50%", "0%"},        {"left", "0%", "50%"},
      {"bottom center", "50%", "100%"}, {"10px 20%", "10px", "20%"}, {"10px", "10px", "50%"},
  };
  for (const auto& [text, x, y] : kCases) {
    SCOPED_TRACE(text);
    CSSPropertyList list;
    CSSParser parser(list);
    ASSERT_TRUE(parser.parseValue(css::propertyIdOf("background-position"), toWide(text), false));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, css::propertyIdOf("background-position-x"));
    EXPECT_EQ(toNarrowAscii(list[0].value->cssText()), x);
    EXPECT_EQ(toNarrowAscii(list[1].value->cssText()), y);
  }
  for (const char* text : {"left right", "top bottom", "left 10px", "1px 2px 3px", "middle"}) {
    SCOPED_TRACE(text);
    CSSPropertyList list;
    CSSParser parser(list);
    EXPECT_FALSE(parser.parseValue(css::propertyIdOf("background-position"), toWide(text), false));
    EXPECT_TRUE(list.empty());
  }
}

}  // namespace

namespace {

TEST(NumberWithUnit, HugeAndTinyNumbersAtTheirLimits) {
  const std::pair<DomString, bool> kCases[] = {
      {u"0.00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       u"00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001",
       true},
      {DomString(400, u'9'), false},
      {u"0." + DomString(400, u'0') + u"1e450", false},  // 1e49: too big for a float
      {u"1000e-1002", true},
      {u"-1e400", false},
  };
  for (const auto& [text, reads] : kCases) {
    SCOPED_TRACE(toNarrowAscii(text).substr(0, 20));
    EXPECT_EQ(static_cast<bool>(css::parseNumberWithUnit(text, css::kNumber)), reads);
  }
}

}  // namespace
