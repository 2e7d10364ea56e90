#pragma once
// A movie as its file defines it: header, background colour, the dictionary
// of characters and the root timeline, with sprites that carry timelines of
// their own. Read once; the playing state lives in swftimeline.h.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/flash/swfbutton.h"
#include "platform/flash/swffilter.h"
#include "platform/flash/swfgeometry.h"
#include "platform/flash/swfmorph.h"
#include "platform/flash/swfraster.h"
#include "platform/flash/swfreader.h"
#include "platform/flash/swfshape.h"
#include "platform/flash/swfsound.h"
#include "platform/flash/swftext.h"
#include "platform/flash/swfvideo.h"

namespace swf {

// The bytes of one action block, shared by the movie and the script machine.
using ActionBytes = std::shared_ptr<const std::vector<uint8_t>>;

// One onClipEvent handler of a placement: the events it answers (the
// format's flag bits) and, for key presses, the key.
struct ClipEventHandler {
  uint32_t events = 0;
  uint8_t keyCode = 0;
  ActionBytes actions;
};
using ClipEventHandlers = std::shared_ptr<const std::vector<ClipEventHandler>>;

// One PlaceObject, PlaceObject2 or PlaceObject3: what changes at a depth.
struct PlaceCommand {
  uint16_t depth = 0;
  bool move = false;  // modify what is at the depth rather than place anew
  std::optional<uint16_t> characterId;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> colorTransform;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  ClipEventHandlers clipEvents;
  std::optional<uint8_t> blendMode;      // BlendMode values; 0 and 1 are normal
  std::optional<Rgba> opaqueBackground;  // a cached bitmap's background colour
  std::optional<bool> visible;           // PlaceObject3: false hides the object
  Filters filters;
};

struct RemoveCommand {
  uint16_t depth = 0;
};

struct DisplayCommand {
  enum class Kind { Place, Remove } kind = Kind::Place;
  PlaceCommand place;
  RemoveCommand remove;
};

// The frame actions that simple movies use; others are skipped on reading.
struct Action {
  enum class Kind { Stop, Play, GotoFrame, NextFrame, PreviousFrame, GotoLabel };
  Kind kind = Kind::Stop;
  uint16_t frame = 0;  // GotoFrame, 0-based
  std::string label;   // GotoLabel
};

struct FrameDef {
  std::vector<DisplayCommand> commands;
  std::vector<Action> actions;  // of every DoAction of the frame, in order
  std::string label;
  std::vector<ActionBytes> scripts;      // each DoAction's whole block, for the script machine
  std::vector<size_t> scriptPositions;   // how many commands come before each of them
  std::vector<ActionBytes> initScripts;  // DoInitAction blocks, run once before the frame's scripts
  FrameSounds sounds;
};

struct TimelineDef {
  std::vector<FrameDef> frames;                                // never empty once read
  uint32_t byteSize = 0;                                       // a sprite's tags, as a clip's size counts them
  std::optional<int> findLabel(std::string_view label) const;  // ignores case
};

enum class CharacterKind { Shape, Sprite, Bitmap, Font, Text, EditText, Button, Morph, Video };

// One entry of the dictionary: the definition its kind names.
struct Character {
  CharacterKind kind = CharacterKind::Shape;
  std::shared_ptr<const ShapeDef> shape;
  std::shared_ptr<const TimelineDef> sprite;
  std::shared_ptr<const BitmapPixels> bitmap;
  std::shared_ptr<const FontDef> font;
  std::shared_ptr<const TextDef> text;
  std::shared_ptr<const EditTextDef> editText;
  std::shared_ptr<const ButtonDef> button;
  std::shared_ptr<const MorphDef> morph;
  std::shared_ptr<const VideoStreamDef> video;
};

struct MovieDef {
  SwfHeader header;
  std::optional<Rgba> background;  // SetBackgroundColor, if the movie has one
  std::map<uint16_t, Character> dictionary;
  TimelineDef root;
  bool complete = false;                    // the tag stream ended with End rather than running out
  std::map<std::string, uint16_t> exports;  // ExportAssets names, as written
  std::map<uint16_t, std::shared_ptr<const SoundDef>> sounds;
  std::optional<uint16_t> maxRecursionDepth;  // ScriptLimits, if the movie has it

  const Character* character(uint16_t id) const;
  const FontDef* font(uint16_t id) const;  // null unless `id` is a font
};

// Reads a whole movie file (FWS or CWS). Answers null when the file is no
// movie; a movie whose tags are damaged or cut keeps what came before.
std::unique_ptr<MovieDef> readMovie(std::span<const uint8_t> file, MovieReadStatus* status = nullptr);

// Whether anything in the movie can run through the script machine: frame
// or init actions, clip events, button actions, or an edit text, whose
// variable and input the machine keeps. A movie without any plays the same
// with no machine at all.
bool needsScripts(const MovieDef& movie);

// The frame actions of action records as stored (a DoAction's body, or a
// button's), those that simple movies use; the rest are skipped.
std::vector<Action> readActionRecords(std::span<const uint8_t> records);

// Tag codes of the format that this reader knows.
enum TagCode : uint16_t {
  kTagEnd = 0,
  kTagShowFrame = 1,
  kTagDefineShape = 2,
  kTagPlaceObject = 4,
  kTagRemoveObject = 5,
  kTagDefineBits = 6,
  kTagDefineButton = 7,
  kTagJpegTables = 8,
  kTagSetBackgroundColor = 9,
  kTagDefineFont = 10,
  kTagDefineText = 11,
  kTagDoAction = 12,
  kTagDefineSound = 14,
  kTagStartSound = 15,
  kTagDefineButtonSound = 17,
  kTagSoundStreamHead = 18,
  kTagSoundStreamBlock = 19,
  kTagDefineFontInfo = 13,
  kTagDefineBitsLossless = 20,
  kTagDefineBitsJpeg2 = 21,
  kTagDefineShape2 = 22,
  kTagDefineButtonCxform = 23,
  kTagPlaceObject2 = 26,
  kTagRemoveObject2 = 28,
  kTagDefineShape3 = 32,
  kTagDefineText2 = 33,
  kTagDefineButton2 = 34,
  kTagDefineBitsJpeg3 = 35,
  kTagDefineBitsLossless2 = 36,
  kTagDefineEditText = 37,
  kTagDefineSprite = 39,
  kTagFrameLabel = 43,
  kTagSoundStreamHead2 = 45,
  kTagExportAssets = 56,
  kTagScriptLimits = 65,
  kTagDoInitAction = 59,
  kTagDefineVideoStream = 60,
  kTagVideoFrame = 61,
  kTagDefineMorphShape = 46,
  kTagDefineFont2 = 48,
  kTagDefineFontInfo2 = 62,
  kTagPlaceObject3 = 70,
  kTagDefineFont3 = 75,
  kTagDefineShape4 = 83,
  kTagDefineMorphShape2 = 84,
  kTagStartSound2 = 89,
};

// Action codes of the frame actions read.
enum ActionCode : uint8_t {
  kActionEnd = 0x00,
  kActionNextFrame = 0x04,
  kActionPreviousFrame = 0x05,
  kActionPlay = 0x06,
  kActionStop = 0x07,
  kActionGotoFrame = 0x81,
  kActionGotoLabel = 0x8C,
};

}  // namespace swf
