#pragma once
// Buttons (DefineButton, DefineButton2): the characters each state shows,
// the hit-test area, and the actions run on the pen's transitions.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/flash/swfgeometry.h"
#include "platform/flash/swfreader.h"
#include "platform/flash/swfsound.h"

namespace swf {

// The states a button record appears in; a bit each.
enum ButtonStateBits : uint8_t {
  kButtonUp = 0x01,
  kButtonOver = 0x02,
  kButtonDown = 0x04,
  kButtonHitTest = 0x08,
};

// Transitions of a button between idle, over-up, over-down and out-down, as
// its condition actions name them; a bit each.
enum ButtonCondition : uint16_t {
  kCondIdleToOverUp = 0x0001,
  kCondOverUpToIdle = 0x0002,
  kCondOverUpToOverDown = 0x0004,
  kCondOverDownToOverUp = 0x0008,  // a release inside: the click
  kCondOverDownToOutDown = 0x0010,
  kCondOutDownToOverDown = 0x0020,
  kCondOutDownToIdle = 0x0040,
  kCondIdleToOverDown = 0x0080,
  kCondOverDownToIdle = 0x0100,
};

struct ButtonRecord {
  uint8_t states = 0;  // ButtonStateBits
  uint16_t characterId = 0;
  uint16_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  uint8_t blendMode = 0;
};

// Actions run on the transitions in `conditions`: the action records as
// stored, for whoever runs them.
struct ButtonActions {
  uint16_t conditions = 0;
  std::shared_ptr<const std::vector<uint8_t>> records;
};

// A sound a button plays on one of its transitions.
struct ButtonSound {
  uint16_t condition = 0;  // the ButtonCondition it plays on
  uint16_t soundId = 0;
  SoundInfo info;
};

struct ButtonDef {
  std::vector<ButtonRecord> records;
  std::vector<ButtonActions> actions;
  std::vector<ButtonSound> sounds;
  bool trackAsMenu = false;
};

// Skips a filter list (of PlaceObject3 or a button record) by its sizes;
// answers false on a filter it does not know.
bool skipFilters(SwfReader& r);

// DefineButton (`version` 1) or DefineButton2 (2) after the character id.
bool readButton(SwfReader& body, int version, ButtonDef& button);
// DefineButtonCxform after the button id: a colour transform for every record.
void applyButtonColorTransform(SwfReader& body, ButtonDef& button);
// DefineButtonSound after the button id: the sounds of going idle, over,
// down and up again, each a sound id (0: none) and its sound info. A tag cut
// short keeps the sounds read whole.
void readButtonSounds(SwfReader& body, ButtonDef& button);

}  // namespace swf
