#include "app/keymap.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Bindings = std::vector<KeyMap::Binding>;

struct ParseCase {
  const char* text;
  Bindings bindings;
};

const ParseCase kParseCases[] = {
    {"37=65573;39", {{37, 65573}}},               // unterminated pair dropped
    {"195 = 131073 ;", {{195, 131073}}},          // blanks around every part
    {"\t195\t=\t131073\t;", {{195, 131073}}},     // tabs are blanks too
    {"195=131073;195=131074;", {{195, 131074}}},  // rebinding keeps one
    {"50=131073;", {}},                           // not a hardware button
    {"195=5;", {}},                               // not an action
    {"195=-1;", {}},                              // the action must be above 0
    {"-195=131073;", {}},                         // so must the key
    {"195=131073x;", {{195, 131073}}},            // leading digits only
    {"195=131073 junk;", {{195, 131073}}},        // text after the value ignored
    {"195 junk=131073;", {{195, 131073}}},        // text after the key ignored
    {"195=99999999999999999999;", {}},            // overflow saturates, no row
    {"195==131073;", {}},                         // "=" starts the value text
    {";;195=131073;", {}},                        // ";" starts a key text that swallows the pair
    {"193=37;194=13;", {{193, 37}, {194, 13}}},   // key codes for the movie
    {"13=131090;", {{13, 131090}}},               // Return binds, though it is never used
    {"3088=131073;", {{3088, 131073}}},           // the "Button 10" row
    {"202=131073;", {}},                          // what a tenth button would send
    {"", {}},
    {"   ", {}},
};

TEST(KeyMapParse, FollowsTheTextForm) {
  for (const auto& c : kParseCases) {
    SCOPED_TRACE(c.text);
    KeyMap map;
    map.parse(toWide(c.text));
    EXPECT_EQ(map.bindings(), c.bindings);
  }
}

TEST(KeyMapParse, AddsToWhatIsThere) {
  KeyMap map;
  map.set(193, kActionPlay);
  map.set(50, kActionPlay);  // invalid: validate after parse drops it
  map.parse(u"194=131074;193=131075;");
  EXPECT_EQ(map.bindings(), (Bindings{{194, kActionPlay}, {193, kActionPause}}));
}

TEST(KeyMapEdit, KeepsInsertionOrderAndOneBindingPerKey) {
  KeyMap map;
  map.set(193, kActionPlay);
  map.set(194, kActionStop);
  map.set(193, kActionPause);  // moves to the end
  EXPECT_EQ(map.bindings(), (Bindings{{194, kActionStop}, {193, kActionPause}}));
  EXPECT_EQ(map.lookup(193), kActionPause);
  EXPECT_EQ(map.lookup(195), kNoAction);
  map.remove(194);
  map.remove(196);  // unbound: nothing happens
  EXPECT_EQ(map.bindings(), (Bindings{{193, kActionPause}}));
  EXPECT_EQ(map.serialize(), u"193=131075;");
  map.clear();
  EXPECT_EQ(map.serialize(), u"");
}

TEST(KeyMapSets, ReplaceTheWholeMap) {
  struct Case {
    BuiltInKeySet set;
    const char16_t* text;
  };
  const Case cases[] = {
      {BuiltInKeySet::Movie, kDefaultKeyMapText},
      {BuiltInKeySet::Game, u"37=37;39=39;38=38;40=40;194=131078;193=131077;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.text));
    KeyMap map;
    map.set(199, kActionStop);
    map.restore(c.set);
    EXPECT_EQ(map.serialize(), c.text);
    KeyMap reread;
    reread.parse(map.serialize());
    EXPECT_EQ(reread.bindings(), map.bindings());
  }
  KeyMap game;
  game.restore(BuiltInKeySet::Game);
  EXPECT_EQ(game.lookup(195), kNoAction);  // Button 3 left unbound for games
}

TEST(KeyTables, HoldTheChoicesInDialogOrder) {
  ASSERT_EQ(actionTable.size(), 84u);
  EXPECT_EQ(std::u16string(actionTable[0].name), u"Move Flash Left");
  EXPECT_EQ(std::u16string(actionTable[11].name), u"Full-screen/Normal");
  EXPECT_EQ(actionTable[11].code, 0x20012);
  EXPECT_EQ(std::u16string(actionTable[16].name), u"Key: Left");
  EXPECT_EQ(std::u16string(actionTable[82].name), u"Key: /");
  EXPECT_EQ(actionTable[83].code, kNoAction);
  std::set<int> codes;
  for (const auto& row : actionTable) {
    SCOPED_TRACE(toNarrowAscii(row.name));
    EXPECT_TRUE(codes.insert(row.code).second) << "code listed twice";
    EXPECT_LE(std::u16string(row.name).size(), 31u);
  }
  // The six values between Next Flash and Previous Frame are not actions.
  for (int code = 0x2000A; code < 0x20010; ++code) EXPECT_EQ(actionName(code), nullptr) << code;
  EXPECT_EQ(std::u16string(actionName(90)), u"Key: Z");
  EXPECT_EQ(std::u16string(actionName(105)), u"Key: Numpad 9");
  EXPECT_EQ(actionName(108), nullptr);  // the numpad separator is not offered
  EXPECT_EQ(actionName(0), nullptr);

  ASSERT_EQ(buttonTable.size(), 15u);
  EXPECT_EQ(std::u16string(buttonName(13)), u"Action");
  EXPECT_EQ(std::u16string(buttonName(201)), u"Button 9");
  EXPECT_EQ(std::u16string(buttonName(0xC10)), u"Button 10");
  EXPECT_EQ(buttonName(202), nullptr);
  EXPECT_EQ(buttonName(65), nullptr);
}

}  // namespace
