#include <gtest/gtest.h>

#include <vector>

#include "style/cssproperties.h"
#include "style/cssstyledeclaration.h"
#include "style/propertyregistry.h"

namespace {

DomString cssTextOf(const char* declarations) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(toWide(declarations));
  return declaration.cssText();
}

struct ListCase {
  const char* text;
  const char* cssText;  // what the declaration holds afterwards
};

const ListCase kListCases[] = {
    {"fill:red; stroke:blue", "fill: red; stroke: blue; "},
    {"color: red ! IMPORTANT", "color: #ff0000; "},
    {"color: red !imp", ""},
    {"a: b; ; c", "a: b; "},                                   // empty part and part without colon ignored
    {"width: 10; height: -5px; x: 1", "width: 10px; x: 1; "},  // a rejected value drops only its declaration
    {"  /* note */ width : 10px /* more */ ;", "width: 10px; "},
    {"<!-- width: 1px -->", "width: 1px; "},
    {"font-family: 'a;b', c; color: red", "font-family: \"a;b\", c; color: #ff0000; "},  // ";" inside quotes
    {"font-family: \"it's, mine\"", "font-family: \"it's, mine\"; "},  // kept in quotes, so it reads back
    {"font-family: 'say \"hi\"!'", "font-family: 'say \"hi\"!'; "},
    {"counter-reset: \";{\"", "counter-reset: \";{\"; "},
    {"x:--> y", "x: \"--> y\"; "},  // a marker where reading would drop it
    {"x:a-->", "x: a-->; "},
    {"background-image: url('say \"a\".png')", "background-image: url('say \"a\".png'); "},  // inside a token it stays
    {"font-family: \"(\"; color: red", "font-family: \"(\"; color: #ff0000; "},  // an open bracket stays in quotes
    {"x: url(a;b); y: 2", "x: url(a; b); y: 2; "},  // ";" inside parentheses does not split
    {"x:   lots    of\t\tspace  ", "x: lots of space; "},
    {"Color: red", "Color: red; "},  // names are case-sensitive: a dynamic property
    {"x: \"it's\"", "x: \"it's\"; "},
    {"width:", ""},
    {": red", ""},
    {"x: a ! important", "x: a; "},
    {"x: 'a!b'", "x: 'a!b'; "},  // "!" inside a string is not a priority
    {"/* unterminated", ""},
    {"x: \"unterminated; y: 1", "x: '\"unterminated; y: 1'; "},  // written back closed
};

TEST(DeclarationList, ParsesEachDeclarationOnItsOwn) {
  for (const auto& c : kListCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(toNarrowAscii(cssTextOf(c.text)), c.cssText);
    // What is written reads back as the same declarations.
    if (*c.cssText) {
      EXPECT_EQ(toNarrowAscii(cssTextOf(c.cssText)), c.cssText);
    }
  }
}

struct ScanCase {
  const char16_t* text;
  size_t from;
  char32_t wanted;
  bool stopAtSpace;
  size_t found;  // npos: no match before the end
};

constexpr size_t kNoMatch = DomStringView::npos;

const ScanCase kScanCases[] = {
    {u"a;b", 0, u';', false, 1},
    {u"a;b;c", 2, u';', false, 3},          // from an offset
    {u"a\\;b;c", 0, u';', false, 4},        // an escaped character never matches
    {u"'a;b';c", 0, u';', false, 5},        // nor does one inside a string
    {u"\"a\\\";b\";c", 0, u';', false, 7},  // an escaped quote does not end the string
    {u"(a;b);c", 0, u';', false, 5},        // groups are passed over whole
    {u"[a;b];c", 0, u';', false, 5},
    {u"{a;b};c", 0, u';', false, 5},
    {u"f(g(;));x", 0, u';', false, 7},  // nested
    {u"(a{b});{c", 0, u'{', false, 7},  // a "{" asked for ends the scan outside groups
    {u"a{b", 0, u'{', false, 1},
    {u"a) ;b", 0, u';', false, 3},        // a stray closer is an ordinary character
    {u"(a;b", 0, u';', false, kNoMatch},  // an open group runs to the end
    {u"'a;b", 0, u';', false, kNoMatch},
    {u"a\\", 0, u';', false, kNoMatch},
    {u"ab cd", 0, css::kNoCharacter, true, 2},
    {u"'a b' c", 0, css::kNoCharacter, true, 5},
    {u"f(a b)\tc", 0, css::kNoCharacter, true, 6},
    {u"a:b c", 0, u':', true, 1},  // whichever comes first
};

TEST(TextScan, SkipsEscapesStringsAndGroups) {
  for (const auto& c : kScanCases) {
    SCOPED_TRACE(toNarrowAscii(c.text));
    EXPECT_EQ(css::scanTo(c.text, c.from, c.wanted, c.stopAtSpace), c.found);
  }
}

TEST(DeclarationList, ImportantIsKeptPerDeclaration) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"color: red ! IMPORTANT; width: 3px");
  EXPECT_EQ(declaration.getPropertyPriority(u"color"), u"important");
  EXPECT_EQ(declaration.getPropertyPriority(u"width"), u"");
  EXPECT_EQ(declaration.getPropertyValue(u"color"), u"#ff0000");
}

const ListCase kShorthandCases[] = {
    {"margin: 1px", "margin-top: 1px; margin-right: 1px; margin-bottom: 1px; margin-left: 1px; "},
    {"margin: 1px 2px", "margin-top: 1px; margin-right: 2px; margin-bottom: 1px; margin-left: 2px; "},
    {"margin: 1px 2px 3px", "margin-top: 1px; margin-right: 2px; margin-bottom: 3px; margin-left: 2px; "},
    {"margin: 1px 2px 3px 4px", "margin-top: 1px; margin-right: 2px; margin-bottom: 3px; margin-left: 4px; "},
    {"margin: 1px 2px 3px 4px 5px", ""},
    {"margin: 1px bold", ""},
    {"padding: 1px -2px", ""},
    {"border-style: solid dotted",
     "border-top-style: solid; border-right-style: dotted; "
     "border-bottom-style: solid; border-left-style: dotted; "},
    {"border-color: transparent", "border-color: transparent; "},
    {"border-color: rgb(1, 2, 3) red",
     "border-top-color: #010203; border-right-color: #ff0000; "
     "border-bottom-color: #010203; border-left-color: #ff0000; "},
    {"border: 2px solid #ff0000",
     "border-top-width: 2px; border-right-width: 2px; border-bottom-width: 2px; border-left-width: 2px; "
     "border-top-style: solid; border-right-style: solid; border-bottom-style: solid; border-left-style: solid; "
     "border-top-color: #ff0000; border-right-color: #ff0000; border-bottom-color: #ff0000; "
     "border-left-color: #ff0000; "},
    {"border: 2px wavy", ""},
    {"border: 2px 3px", ""},  // the width member is already set
    {"border-top: red thin", "border-top-color: #ff0000; border-top-width: thin; "},
    {"border-left: dashed", "border-left-style: dashed; "},
    {"outline: invert dotted 1px", "outline-color: invert; outline-style: dotted; outline-width: 1px; "},
    {"list-style: square inside url(b.png)",
     "list-style-type: square; list-style-position: inside; list-style-image: url(\"b.png\"); "},
    {"list-style: none", "list-style-type: none; "},
    {"background: url(a.png) no-repeat fixed left top red",
     "background-image: url(\"a.png\"); background-repeat: no-repeat; background-attachment: fixed; "
     "background-position-x: 0%; background-position-y: 0%; background-color: #ff0000; "},
    {"background: top red", "background-position-x: 50%; background-position-y: 0%; background-color: #ff0000; "},
    {"background: red 10px", "background-color: #ff0000; background-position-x: 10px; background-position-y: 50%; "},
    {"background: red blue", ""},
    {"font: bold 12pt/14pt Arial, serif",
     "font-weight: bold; font-size: 12pt; line-height: 14pt; font-family: Arial, serif; "},
    {"font: italic small-caps 600 10px \"Times New Roman\"",
     "font-style: italic; font-variant: small-caps; font-weight: bold; font-size: 10px; "
     "font-family: Times New Roman; "},
    {"font: 12px / 2 serif", "font-size: 12px; line-height: 2; font-family: serif; "},
    {"font: caption; width: 1px", "width: 1px; "},  // a lone keyword sets nothing, successfully
    {"font: 12px", ""},                             // no family
    {"font: bold heavy 12px serif", ""},
    {"margin: inherit", "margin: inherited; "},
};

TEST(Shorthands, ExpandIntoTheirLonghands) {
  for (const auto& c : kShorthandCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(toNarrowAscii(cssTextOf(c.text)), c.cssText);
  }
}

TEST(Shorthands, OneValueIsSharedByTheFourSides) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"padding: 3px !important");
  ASSERT_EQ(declaration.length(), 4u);
  const CSSPropertyList& list = declaration.properties();
  EXPECT_EQ(list[0].value.get(), list[3].value.get());
  for (const CSSProperty& property : list) EXPECT_TRUE(property.important);
}

// The "font" grammar: [style || variant || weight] size [/ line-height] family.
const ListCase kFontCases[] = {
    // style, variant and weight in any order before the size
    {"font: bold italic 12px serif", "font-style: italic; font-weight: bold; font-size: 12px; font-family: serif; "},
    {"font: small-caps 700 oblique 9pt serif",
     "font-style: oblique; font-variant: small-caps; font-weight: bold; font-size: 9pt; font-family: serif; "},
    {"font: BOLD Italic 12PX serif", "font-style: italic; font-weight: bold; font-size: 12px; font-family: serif; "},
    {"font: italic italic 12px serif", ""},                  // one style only
    {"font: bold italic small-caps normal 12px serif", ""},  // at most three before the size
    // "normal" stands for whichever of the three the others leave open
    {"font: normal normal normal 12px serif",
     "font-style: normal; font-variant: normal; font-weight: normal; font-size: 12px; font-family: serif; "},
    {"font: normal italic 12px serif",
     "font-style: italic; font-variant: normal; font-size: 12px; font-family: serif; "},
    {"font: normal small-caps bold 12px serif",
     "font-style: normal; font-variant: small-caps; font-weight: bold; font-size: 12px; font-family: serif; "},
    {"font: normal normal italic 12px serif",
     "font-style: italic; font-variant: normal; font-weight: normal; font-size: 12px; font-family: serif; "},
    {"font: bold normal 12px serif", "font-style: normal; font-weight: bold; font-size: 12px; font-family: serif; "},
    // size and line height, with and without blanks around "/"
    {"font: 12px/14px serif", "font-size: 12px; line-height: 14px; font-family: serif; "},
    {"font: 12px /14px serif", "font-size: 12px; line-height: 14px; font-family: serif; "},
    {"font: 12px/ 14px serif", "font-size: 12px; line-height: 14px; font-family: serif; "},
    {"font: 12px / 14px serif", "font-size: 12px; line-height: 14px; font-family: serif; "},
    {"font: 12px/normal serif", "font-size: 12px; line-height: normal; font-family: serif; "},
    {"font: 12px/-1px serif", ""},  // a rejected part rejects the whole
    {"font: x-large/120% serif", "font-size: x-large; line-height: 120%; font-family: serif; "},
    {"font: 12 serif", "font-size: 12px; font-family: serif; "},  // unitless sizes are pixels
    // the family list: quotes, commas, separators inside quotes
    {"font: bold 12px/1.5 'Times New Roman', Arial,serif",
     "font-weight: bold; font-size: 12px; line-height: 1.5; font-family: Times New Roman, Arial, serif; "},
    {"font: 12px \"a, b\", serif", "font-size: 12px; font-family: \"a, b\", serif; "},
    {"font: 12px 'a;b' ; color: red", "font-size: 12px; font-family: \"a;b\"; color: #ff0000; "},
    // a part missing
    {"font: bold serif", ""},  // no size
    {"font: italic Arial, serif", ""},
    {"font: bold 12px", ""},  // no family
    {"font: 12px/14px", ""},
    {"font: 12px/ serif", ""},  // the family was taken as the line height
    {"color: red; font: bold 12px/-1px serif", "color: #ff0000; "},
    // a single keyword sets nothing and succeeds; a single other word fails
    {"font: caption", ""},
    {"font: Status-Bar; width: 1px", "width: 1px; "},
    {"font: serif; width: 1px", "width: 1px; "},
    {"font: Arial", ""},
};

TEST(FontShorthand, FollowsTheFontGrammar) {
  for (const auto& c : kFontCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(toNarrowAscii(cssTextOf(c.text)), c.cssText);
  }
}

TEST(FontShorthand, LoneKeywordSucceedsWithoutSettingAnything) {
  const std::int32_t font = css::propertyIdOf("font");
  for (const char16_t* keyword : {u"caption", u"icon", u"menu", u"message-box", u"small-caption", u"status-bar"}) {
    SCOPED_TRACE(toNarrowAscii(keyword));
    CSSStyleDeclaration declaration;
    declaration.setCssText(u"font-size: 9px");
    EXPECT_TRUE(declaration.setProperty(font, keyword, false));
    EXPECT_EQ(declaration.cssText(), u"font-size: 9px; ");  // nothing set, nothing replaced
  }
  CSSStyleDeclaration declaration;
  EXPECT_FALSE(declaration.setProperty(font, u"Arial", false));
  EXPECT_FALSE(declaration.setProperty(font, u"bold 12px", false));
}

TEST(FontShorthand, EveryPartTakesThePriority) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"font: italic bold 12px/2 serif !important");
  ASSERT_EQ(declaration.length(), 5u);
  for (const CSSProperty& property : declaration.properties()) EXPECT_TRUE(property.important);
}

TEST(Shorthands, FailedShorthandKeepsEarlierDeclarations) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"border-top-width: 5px; border: 2px wavy");
  EXPECT_EQ(declaration.cssText(), u"border-top-width: 5px; ");
}

TEST(StyleDeclaration, SetCssTextReplacesOnlyWhenSomethingParses) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"width: 1px; fill: red");
  declaration.setCssText(u"width: -1px; junk");
  EXPECT_EQ(declaration.cssText(), u"width: 1px; fill: red; ");
  declaration.setCssText(u"height: 2px");
  EXPECT_EQ(declaration.cssText(), u"height: 2px; ");
}

TEST(StyleDeclaration, SetPropertyReplacesAndRejects) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"width: 1px; fill: red; width: 2px");
  EXPECT_FALSE(declaration.changed());
  declaration.setProperty(u"width", u"3px", u"");
  EXPECT_TRUE(declaration.changed());
  EXPECT_EQ(declaration.cssText(), u"fill: red; width: 3px; ");
  declaration.clearChanged();
  declaration.setProperty(u"width", u"-3px", u"");  // rejected: no width left
  EXPECT_FALSE(declaration.changed());
  EXPECT_EQ(declaration.cssText(), u"fill: red; ");
  declaration.setProperty(u"fill", u"blue", u"important");
  EXPECT_EQ(declaration.getPropertyPriority(u"fill"), u"important");
  declaration.setProperty(u"margin", u"1px 2px", u"");
  declaration.setProperty(u"margin", u"4px", u"");  // a shorthand replaces its longhands
  EXPECT_EQ(declaration.length(), 5u);
  EXPECT_EQ(declaration.getPropertyValue(u"margin-right"), u"4px");
}

TEST(StyleDeclaration, LookupRemoveAndItems) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"fill: red; width: 10");
  EXPECT_EQ(declaration.getPropertyValue(u"width"), u"10px");
  EXPECT_EQ(declaration.getPropertyValue(u"height"), u"");
  EXPECT_EQ(declaration.getPropertyValue(u"never-registered-name"), u"");
  Ref<CSSValue> value = declaration.getPropertyCSSValue(u"fill");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->refCount(), 2);
  EXPECT_EQ(declaration.item(0), u"fill");
  EXPECT_EQ(declaration.item(2), u"");
  EXPECT_EQ(declaration.removeProperty(u"fill"), u"red");
  EXPECT_EQ(value->refCount(), 1);  // the handle outlives the entry
  EXPECT_EQ(declaration.length(), 1u);
  EXPECT_EQ(declaration.removeProperty(u"fill"), u"");
  EXPECT_EQ(declaration.parentRule(), nullptr);
}

TEST(StyleDeclaration, ImportantEntryWinsOverLaterOnes) {
  CSSStyleDeclaration declaration;
  declaration.setCssText(u"fill: red !important; fill: blue");
  EXPECT_EQ(declaration.getPropertyValue(u"fill"), u"red");
}

TEST(PresentationAttributes, StyleReplacesEarlierAttributesAndLaterOnesOverride) {
  CSSStyleDeclaration before;
  applyPresentationAttribute(before, u"fill", u"red");
  applyPresentationAttribute(before, u"style", u"stroke: blue");
  EXPECT_EQ(before.getPropertyValue(u"fill"), u"");
  EXPECT_EQ(before.getPropertyValue(u"stroke"), u"blue");
  EXPECT_EQ(before.getPropertyValue(u"style"), u"stroke: blue");  // the raw text under "style"

  CSSStyleDeclaration after;
  applyPresentationAttribute(after, u"style", u"fill: red; stroke: blue");
  applyPresentationAttribute(after, u"fill", u"green");
  EXPECT_EQ(after.getPropertyValue(u"fill"), u"green");
  EXPECT_EQ(after.getPropertyValue(u"stroke"), u"blue");

  CSSStyleDeclaration unparsable;
  applyPresentationAttribute(unparsable, u"fill", u"red");
  applyPresentationAttribute(unparsable, u"style", u"nonsense");
  EXPECT_EQ(unparsable.getPropertyValue(u"fill"), u"red");  // nothing parsed: nothing replaced
}

TEST(TextPreparation, TextLeftInPlaceIsWhatPreparingWouldGive) {
  // Parsing skips preparation for text it would not change: every text said
  // to be prepared must come out of preparation as it went in.
  const char16_t* kTexts[] = {
      u"red",     u"#00ff00",      u"fill:blue", u"a b",  u"a  b",  u" a",       u"a ",   u"a\tb",
      u"a\nb",    u"a\rb",         u"a\fb",      u"a,b",  u"a;b",   u"f(x)",     u"a}b",  u"a/b",
      u"a/*c*/b", u"'q'",          u"\"q\"",     u"a\\b", u"<!--a", u"a -->",    u"a-->", u"a--b",
      u"-x",      u"stroke-width", u"x<y",       u"",     u" ",     u"a\u00a0b", u"--",   u"->",
  };
  for (const char16_t* text : kTexts) {
    SCOPED_TRACE(toNarrowAscii(DomString(text)));
    if (css::isPrepared(text)) {
      EXPECT_EQ(css::prepareText(text), DomString(text));
    }
  }
  EXPECT_TRUE(css::isPrepared(u"fill:blue"));
  EXPECT_TRUE(css::isPrepared(u"10px solid red"));
  EXPECT_FALSE(css::isPrepared(u"a,b"));
  // A skin's usual style text is parsed where it stands.
  EXPECT_TRUE(css::isPrepared(u"fill:blue; stroke-width:2; font-family:'A, B', serif"));
}

TEST(TextPreparation, EveryShortTextSaidPreparedComesOutUnchanged) {
  // Every text of up to five units over the characters that preparing treats
  // specially (escaped blanks, blanks after separators, strings, comments).
  constexpr char16_t kAlphabet[] = u"a ,;)}\"'\\/*<!->\t";
  constexpr size_t kLetters = std::size(kAlphabet) - 1;
  DomString text;
  size_t checked = 0;
  for (size_t length = 0; length <= 5; ++length) {
    std::vector<size_t> digits(length, 0);
    while (true) {
      text.assign(length, u' ');
      for (size_t i = 0; i < length; ++i) text[i] = kAlphabet[digits[i]];
      if (css::isPrepared(text)) {
        ++checked;
        ASSERT_EQ(css::prepareText(text), text) << toNarrowAscii(text);
      }
      size_t i = 0;
      while (i < length && ++digits[i] == kLetters) digits[i++] = 0;
      if (i == length) break;
    }
  }
  EXPECT_GT(checked, 10000u);
}

TEST(DeclarationParser, StaysLinearOnHostileText) {
  const DomString kHostile[] = {
      u"x: " + DomString(100000, u'('),
      u"x: url(" + DomString(100000, u'a'),
      u"/*" + DomString(100000, u'*'),
      DomString(100000, u'"'),
      DomString(50000, u';'),
      u"margin: " + DomString(100000, u'1'),
      u"font: " + DomString(20000, u'a') + u" " + DomString(20000, u'/'),
  };
  for (const DomString& text : kHostile) {
    CSSStyleDeclaration declaration;
    declaration.setCssText(text);
    EXPECT_LE(declaration.length(), 1u);
  }
}

}  // namespace

namespace {

TEST(DeclarationParser, NulCharactersAreOrdinaryText) {
  DomString text = u"margin: 1px 2px";
  text += DomString(3, u'\0');
  text += u"; x: a";
  text += u'\0';
  text += u"b";
  CSSStyleDeclaration declaration;
  declaration.setCssText(text);
  // A unit is known by its first two letters, so "px\0\0\0" is pixels.
  DomString expected = u"margin-top: 1px; margin-right: 2px; margin-bottom: 1px; margin-left: 2px; x: a";
  expected += u'\0';
  expected += u"b; ";
  EXPECT_EQ(declaration.cssText(), expected);
}

}  // namespace
