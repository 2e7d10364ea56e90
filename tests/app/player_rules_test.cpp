// The rules the Player applies to keys, zoom, volume, placement and time.
#include <gtest/gtest.h>

#include "app/displaypower.h"
#include "app/keytranslation.h"
#include "app/messagetable.h"
#include "app/moviearithmetic.h"
#include "platform/gdi/wingdi.h"
#include "tests/support/testdevice.h"

namespace {

constexpr int kLeft = 37, kUp = 38, kRight = 39, kDown = 40;

KeyMap mapOf(const char16_t* text) {
  KeyMap map;
  map.parse(text);
  return map;
}

}  // namespace

TEST(KeyTranslation, RoutesKeysAsTheLoopDoes) {
  const KeyMap movie = mapOf(kDefaultKeyMapText);
  KeyMap game;
  game.restore(BuiltInKeySet::Game);
  struct Case {
    const char* what;
    const KeyMap& map;
    bool fullScreen;
    int key;
    KeyRoute route;
    int value;
  };
  const KeyMap upIsPlay = mapOf(u"38=131073;");
  const KeyMap returnBound = mapOf(u"13=131076;");
  const KeyMap leftIsKey = mapOf(u"37=65;38=66;");
  const KeyMap leftIsActionUpIsKey = mapOf(u"37=131076;38=66;");
  const KeyMap button = mapOf(u"193=32;");
  const Case cases[] = {
      {"Return in normal mode", movie, false, 13, KeyRoute::Action, 13},
      {"Return in full screen", movie, true, 13, KeyRoute::Action, 13},
      {"Return is never looked up", returnBound, false, 13, KeyRoute::Action, 13},
      {"movie set, Left, normal", movie, false, kLeft, KeyRoute::Action, 0x10025},
      {"movie set, Left, full screen: its own action", movie, true, kLeft, KeyRoute::Action, 0x10025},
      {"movie set, Down, full screen", movie, true, kDown, KeyRoute::Action, 0x10028},
      {"game set, Left, normal", game, false, kLeft, KeyRoute::Readdress, kLeft},
      {"game set, Left, full screen: Up's key", game, true, kLeft, KeyRoute::Readdress, kUp},
      {"game set, Down, full screen: Left's key", game, true, kDown, KeyRoute::Readdress, kLeft},
      {"game set, Right, full screen: Down's key", game, true, kRight, KeyRoute::Readdress, kDown},
      {"unbound Left, Up is a command, full screen", upIsPlay, true, kLeft, KeyRoute::Discard, 0x20001},
      {"unbound Left, Up is a command, normal", upIsPlay, false, kLeft, KeyRoute::Dispatch, kLeft},
      {"Left as a key, Up as a key, full screen", leftIsKey, true, kLeft, KeyRoute::Readdress, 66},
      {"Left an action keeps it in full screen", leftIsActionUpIsKey, true, kLeft, KeyRoute::Action, 0x20004},
      {"unbound Right, Down unbound, full screen", upIsPlay, true, kRight, KeyRoute::Dispatch, kRight},
      {"button to a key code", button, false, 193, KeyRoute::Readdress, 32},
      {"button in full screen is not turned", button, true, 193, KeyRoute::Readdress, 32},
      {"button 3 plays and pauses", movie, false, 195, KeyRoute::Action, 0x20001},
      {"unbound key", movie, false, 65, KeyRoute::Dispatch, 65},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    KeyTranslation t = translateKeyDown(c.map, c.fullScreen, c.key);
    EXPECT_EQ(t.route, c.route);
    EXPECT_EQ(t.value, c.value);
  }
}

TEST(MessageTable, HoldsTheTextsByIndex) {
  struct Case {
    int index;
    const char16_t* text;
  };
  const Case cases[] = {
      {1, u"Out of memory"},
      {9, u"Junk after document element"},
      {22, u"Document is not standalone"},
      {23, u"Can't open the skin file, please select another skin or check your skin file."},
      {24, u"Duplicate name"},
      {25, u"Can't find the Macromedia Flash Player on your PPC. Please install it before you run this software."},
      {26, u"Can't load the flash. Please try it again with more memory. "},
      {0, u""},
      {27, u""},
      {-5, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(messageText(c.index), c.text);
  }
}

TEST(MovieArithmetic, MakesUrlsZoomsAndVolumes) {
  EXPECT_EQ(movieUrl(u"Storage Card\\a.swf"), u"file:///Storage Card\\a.swf");
  EXPECT_EQ(movieUrl(u"\\My Documents\\a.swf"), u"file://\\My Documents\\a.swf");
  EXPECT_EQ(movieUrl(u"/tmp/a.swf"), u"file:///tmp/a.swf");

  struct ZoomCase {
    UINT id;
    int percent;
  };
  const ZoomCase zooms[] = {{40035, 33}, {40034, 50}, {40029, 52}, {40025, 66}, {40021, 90}, {40033, 100}};
  for (const auto& z : zooms) {
    SCOPED_TRACE(z.id);
    auto command =
        std::find_if(zoomCommands.begin(), zoomCommands.end(), [&](const ZoomCommand& c) { return c.id == z.id; });
    ASSERT_NE(command, zoomCommands.end());
    EXPECT_EQ(zoomPercent(command->factor), z.percent);
  }
  EXPECT_EQ(zoomCommands.size(), 12u);
  EXPECT_EQ(zoomPercent(0.0f), 100);

  struct VolumeCase {
    DWORD level, up, down;
  };
  const VolumeCase volumes[] = {
      {0xF900, 0xFFFF, 0xF100}, {0x0400, 0x0C00, 0}, {0x1000, 0x1800, 0x0800}, {0, 0x0800, 0}, {0xFFFF, 0xFFFF, 0xF7FF},
  };
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.level);
    EXPECT_EQ(volumeUp(v.level), v.up);
    EXPECT_EQ(volumeDown(v.level), v.down);
  }
  EXPECT_EQ(volumeOf(0x1234'5678), 0x5678u);
  EXPECT_EQ(volumeOf(0x9000'0100), 0x9000u);
  EXPECT_EQ(bothChannels(0x1800), 0x1800'1800u);
}

TEST(MovieArithmetic, PlacesTheHolderOnePixelLarger) {
  struct Case {
    float left, top, right, bottom;
    HolderPlacement placement;
  };
  const Case cases[] = {
      {10, 20, 210, 170, {10, 20, 201, 151}},
      {10.9f, 20.5f, 211.1f, 171.2f, {10, 20, 202, 152}},  // each edge truncated on its own
      {0, 0, 0, 0, {0, 0, 1, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.left << "," << c.top << " " << c.right << "," << c.bottom);
    HolderPlacement p = holderPlacement(c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(p.left, c.placement.left);
    EXPECT_EQ(p.top, c.placement.top);
    EXPECT_EQ(p.width, c.placement.width);
    EXPECT_EQ(p.height, c.placement.height);
  }
}

TEST(IdleCounter, ResetsEverySixteenthTickWhileActive) {
  IdleCounter counter;
  std::vector<int> resets;
  for (int tick = 1; tick <= 48; ++tick)
    if (counter.tick(true, 3, 10)) resets.push_back(tick);
  EXPECT_EQ(resets, (std::vector<int>{16, 32, 48}));

  IdleCounter inactive;
  for (int tick = 0; tick < 40; ++tick) EXPECT_FALSE(inactive.tick(false, 3, 10));
  EXPECT_EQ(inactive.seconds(), 80);
  EXPECT_TRUE(inactive.tick(true, 3, 10)) << "the first active tick resets";
  EXPECT_EQ(inactive.seconds(), 0);

  IdleCounter ended;
  for (int tick = 0; tick < 20; ++tick) EXPECT_FALSE(ended.tick(true, 10, 10)) << "at the last frame";
}

TEST(DisplayPower, TogglesByTheDriverOrByItsOwnRecord) {
  struct Case {
    const char* what;
    DWORD osMajor;
    ULONG driverBefore;
    ULONG driverAfter, recordAfter;
  };
  const Case cases[] = {
      {"CE 3: on goes off", 3, VideoPowerOn, VideoPowerOff, VideoPowerOff},
      {"CE 3: off goes on", 3, VideoPowerOff, VideoPowerOn, VideoPowerOn},
      {"CE 3: stand-by is left alone", 3, VideoPowerStandBy, VideoPowerStandBy, VideoPowerOn},
      {"CE 4: on goes off", 4, VideoPowerOn, VideoPowerOff, VideoPowerOff},
      {"CE 4: its record says on, whatever the driver says", 4, VideoPowerOff, VideoPowerOff, VideoPowerOff},
      {"CE 5: stand-by goes off too", 5, VideoPowerStandBy, VideoPowerOff, VideoPowerOff},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceConfig config;
    config.osMajor = c.osMajor;
    TestDevice device(config);
    setDisplayPower(c.driverBefore);
    ASSERT_EQ(readDisplayPower(), c.driverBefore);
    DisplayPower power;
    power.toggle();
    EXPECT_EQ(readDisplayPower(), c.driverAfter);
    EXPECT_EQ(power.lastSet(), c.recordAfter);
  }
  setDisplayPower(VideoPowerOn);
}
