#include <gtest/gtest.h>

#include "style/colour.h"

namespace {

struct ColourCase {
  const char* text;
  bool read;
  Colour colour;
};

const ColourCase kColourCases[] = {
    {"#ff8000", true, {255, 128, 0}},
    {"ff8000", true, {255, 128, 0}},
    {"FF8000", true, {255, 128, 0}},
    {" # f f 8 0 0 0 ", true, {255, 128, 0}},  // every blank is removed first
    {"##ff8000", true, {255, 128, 0}},         // longer than seven: first character dropped
    {"#12345", true, {0x12, 0x34, 0x55}},      // six characters: (v AND 15) OR (v << 4)
    {"#1234", true, {0x12, 0x34, 0x00}},       // five characters: v << 8
    {"#fff", false, {0, 0, 0}},                // the three-digit form is not recognised
    {"#gg0000", false, {0, 0, 0}},             // not hexadecimal
    {"12345g", false, {0, 0, 0}},              // six characters, not digits, not a letter first
    {"rgb(100%, 50%, 0%)", true, {255, 127, 0}},
    {"rgb( 1 , 2 , 3 )", true, {1, 2, 3}},
    {"RGB(10,20,30)", true, {10, 20, 30}},
    {"rgb(300,-5,99999999999999999999)", true, {255, 0, 255}},  // components clamp
    {"rgb(-99999999999999999999%,1,2)", true, {0, 1, 2}},
    {"rgb(1,2)", false, {0, 0, 0}},
    {"rgb(1,2,3,4)", false, {0, 0, 0}},
    {"rgb(1.5,2,3)", false, {0, 0, 0}},
    {"rgb(1,2,3", false, {0, 0, 0}},
    {"RED", true, {255, 0, 0}},
    {"Red", true, {255, 0, 0}},
    {"Green", true, {0, 255, 0}},
    {"Gray", true, {190, 190, 190}},
    {"grey", true, {190, 190, 190}},
    {"Maroon", true, {176, 48, 96}},
    {"Purple", true, {160, 32, 240}},
    {"Bisque", true, {255, 228, 196}},  // six letters that begin with a hex digit
    {"NavyBlue", true, {0, 0, 128}},
    {"LightGoldenrod", true, {238, 221, 130}},
    {"VioletRed", true, {208, 32, 144}},
    {"YellowGreen", true, {154, 205, 50}},
    {"AliceBlue", true, {240, 248, 255}},
    {"silver", false, {0, 0, 0}},  // CSS-only names are not in the table
    {"aqua", false, {0, 0, 0}},
    {"darkgoldenrod", false, {0, 0, 0}},
};

TEST(ColourReader, ReadsTheColourForms) {
  for (const auto& c : kColourCases) {
    SCOPED_TRACE(c.text);
    Colour colour{9, 9, 9, true};
    EXPECT_EQ(parseColour(toWide(c.text), colour), c.read);
    EXPECT_EQ(colour, c.colour);
  }
}

TEST(ColourReader, TransparentAndEmptyAreTransparentBlackButNotRead) {
  for (const char* text : {"", "  ", "transparent", "TRANSPARENT"}) {
    SCOPED_TRACE(text);
    Colour colour{1, 2, 3, false};
    EXPECT_FALSE(parseColour(toWide(text), colour));
    EXPECT_EQ(colour, (Colour{0, 0, 0, true}));
  }
  Colour none;
  EXPECT_TRUE(parseColour(u"None", none));  // a table entry: found, transparent
  EXPECT_EQ(none, (Colour{0, 0, 0, true}));
}

TEST(ColourNames, TableHasEveryNameAndOnlyThose) {
  EXPECT_TRUE(colourByName(u"whitesmoke").has_value());
  EXPECT_TRUE(colourByName(u"LIGHTSLATEGREY").has_value());
  EXPECT_FALSE(colourByName(u"lime").has_value());
  EXPECT_FALSE(colourByName(DomString(64, u'a')).has_value());
  EXPECT_EQ(colourByName(u"Transparent")->transparent, true);
}

TEST(ColourReader, StaysLinearOnLongText) {
  DomString text = u"rgb(" + DomString(200000, u'(') + u")";
  Colour colour;
  EXPECT_FALSE(parseColour(text, colour));
  EXPECT_FALSE(parseColour(DomString(300000, u'#'), colour));
}

TEST(Colour, PlatformValueIsRedGreenBlueFromTheLowByte) {
  EXPECT_EQ((Colour{0x12, 0x34, 0x56}).toColorRef(), 0x563412u);
}

}  // namespace
