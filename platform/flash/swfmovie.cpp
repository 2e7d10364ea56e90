#include "platform/flash/swfmovie.h"

#include <algorithm>
#include <cctype>

#include "platform/flash/swfbitmap.h"

namespace swf {

namespace {

constexpr uint32_t kLongTagLength = 0x3F;

struct Tag {
  uint16_t code = 0;
  std::span<const uint8_t> body;
};

// Reads the next tag header and body; answers false when the stream is cut.
bool nextTag(SwfReader& r, Tag& tag) {
  uint16_t codeAndLength = r.u16();
  uint32_t length = codeAndLength & kLongTagLength;
  if (length == kLongTagLength) length = r.u32();
  tag.code = codeAndLength >> 6;
  tag.body = r.bytes(length);
  return r.ok();
}

PlaceCommand readPlaceObject(SwfReader& r) {
  PlaceCommand place;
  place.characterId = r.u16();
  place.depth = r.u16();
  place.matrix = r.matrix();
  if (r.remaining() > 0) place.colorTransform = r.colorTransform(false);
  return place;
}

enum PlaceFlags : uint8_t {
  kPlaceMove = 0x01,
  kPlaceHasCharacter = 0x02,
  kPlaceHasMatrix = 0x04,
  kPlaceHasColorTransform = 0x08,
  kPlaceHasRatio = 0x10,
  kPlaceHasName = 0x20,
  kPlaceHasClipDepth = 0x40,
  kPlaceHasClipActions = 0x80,
};
constexpr uint32_t kClipEventKeyPress = 0x00020000;
constexpr uint8_t kPlace3HasClassName = 0x08;
constexpr uint8_t kPlace3HasImage = 0x10;

// The onClipEvent handlers at the end of a placement. Event flags are 16
// bits before SWF 6 and 32 from then on.
ClipEventHandlers readClipEvents(SwfReader& r, int version) {
  auto handlers = std::make_shared<std::vector<ClipEventHandler>>();
  auto flags = [&] { return version >= 6 ? r.u32() : uint32_t(r.u16()); };
  r.u16();  // reserved
  flags();  // every event used
  while (r.ok()) {
    ClipEventHandler handler;
    handler.events = flags();
    if (handler.events == 0 || !r.ok()) break;
    uint32_t size = r.u32();
    if (handler.events & kClipEventKeyPress && size > 0) {
      handler.keyCode = r.u8();
      --size;
    }
    auto bytes = r.bytes(size);
    if (!r.ok()) break;
    handler.actions = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    handlers->push_back(std::move(handler));
  }
  return handlers;
}

// PlaceObject2, or PlaceObject3 with `third`: its filters, blend mode,
// visibility and background colour are read; caching as a bitmap is not.
constexpr uint8_t kPlace3HasFilters = 0x01;
constexpr uint8_t kPlace3HasBlendMode = 0x02;
constexpr uint8_t kPlace3HasCacheAsBitmap = 0x04;
constexpr uint8_t kPlace3HasVisible = 0x20;
constexpr uint8_t kPlace3OpaqueBackground = 0x40;

// PlaceObject3's fields after the clip depth; answers false when a filter
// cannot be skipped, leaving clip actions out of reach.
bool readPlace3Extras(SwfReader& r, uint8_t flags3, PlaceCommand& place) {
  if (flags3 & kPlace3HasFilters) {
    auto filters = std::make_shared<std::vector<Filter>>();
    bool read = readFilters(r, *filters);
    if (!filters->empty()) place.filters = std::move(filters);
    if (!read) return false;
  }
  if (flags3 & kPlace3HasBlendMode) place.blendMode = r.u8();
  if (flags3 & kPlace3HasCacheAsBitmap) r.u8();
  if (flags3 & kPlace3HasVisible) place.visible = r.u8() != 0;
  if (flags3 & kPlace3OpaqueBackground) place.opaqueBackground = r.rgba();
  return r.ok();
}

PlaceCommand readPlaceObject2(SwfReader& r, bool third, int version) {
  PlaceCommand place;
  uint8_t flags = r.u8();
  uint8_t flags3 = third ? r.u8() : 0;
  place.depth = r.u16();
  if (third && ((flags3 & kPlace3HasClassName) || ((flags3 & kPlace3HasImage) && (flags & kPlaceHasCharacter))))
    r.string();
  place.move = flags & kPlaceMove;
  if (flags & kPlaceHasCharacter) place.characterId = r.u16();
  if (flags & kPlaceHasMatrix) place.matrix = r.matrix();
  if (flags & kPlaceHasColorTransform) place.colorTransform = r.colorTransform(true);
  if (flags & kPlaceHasRatio) place.ratio = r.u16();
  if (flags & kPlaceHasName) place.name = std::string(r.string());
  if (flags & kPlaceHasClipDepth) place.clipDepth = r.u16();
  if (third && !readPlace3Extras(r, flags3, place)) return place;
  if (flags & kPlaceHasClipActions && r.ok()) {
    SwfReader events(r.bytes(r.remaining()));
    place.clipEvents = readClipEvents(events, version);
  }
  return place;
}

}  // namespace

std::vector<Action> readActionRecords(std::span<const uint8_t> records) {
  SwfReader r(records);
  std::vector<Action> actions;
  while (r.ok() && !r.atEnd()) {
    uint8_t code = r.u8();
    if (code == kActionEnd) break;
    std::span<const uint8_t> payload;
    if (code >= 0x80) payload = r.bytes(r.u16());
    if (!r.ok()) break;
    SwfReader p(payload);
    Action action;
    switch (code) {
      case kActionStop:
        action.kind = Action::Kind::Stop;
        break;
      case kActionPlay:
        action.kind = Action::Kind::Play;
        break;
      case kActionNextFrame:
        action.kind = Action::Kind::NextFrame;
        break;
      case kActionPreviousFrame:
        action.kind = Action::Kind::PreviousFrame;
        break;
      case kActionGotoFrame:
        action.kind = Action::Kind::GotoFrame;
        action.frame = p.u16();
        break;
      case kActionGotoLabel:
        action.kind = Action::Kind::GotoLabel;
        action.label = std::string(p.string());
        break;
      default:
        continue;  // not needed by simple movies
    }
    if (p.ok()) actions.push_back(std::move(action));
  }
  return actions;
}

namespace {

int shapeVersion(uint16_t code) {
  switch (code) {
    case kTagDefineShape:
      return 1;
    case kTagDefineShape2:
      return 2;
    case kTagDefineShape3:
      return 3;
    case kTagDefineShape4:
      return 4;
    default:
      return 0;
  }
}

class MovieParser {
 public:
  explicit MovieParser(MovieDef& movie) : m_movie(movie) {}

  // Reads tags up to End or the end of the data into `timeline`. Only the
  // root may define characters; a sprite's own tags are control tags.
  bool readTimeline(SwfReader& r, TimelineDef& timeline, bool isRoot) {
    FrameDef frame;
    bool ended = false;
    Tag tag;
    while (!r.atEnd()) {
      if (!nextTag(r, tag)) break;
      if (tag.code == kTagEnd) {
        ended = true;
        break;
      }
      SwfReader body(tag.body);
      if (tag.code == kTagVideoFrame) {
        addVideoFrame(body);  // sprites may carry a stream's frames too
      } else if (tag.code == kTagShowFrame) {
        timeline.frames.push_back(std::move(frame));
        frame = FrameDef{};
      } else if (!readControlTag(tag.code, body, frame) && isRoot) {
        readDefinitionTag(tag.code, body);
      }
    }
    // Commands after the last ShowFrame still make a frame of their own.
    if (!frame.commands.empty() || !frame.actions.empty() || timeline.frames.empty())
      timeline.frames.push_back(std::move(frame));
    return ended;
  }

 private:
  bool readControlTag(uint16_t code, SwfReader& body, FrameDef& frame) {
    DisplayCommand command;
    switch (code) {
      case kTagPlaceObject:
        command.place = readPlaceObject(body);
        break;
      case kTagPlaceObject2:
        command.place = readPlaceObject2(body, false, m_movie.header.version);
        break;
      case kTagPlaceObject3:
        command.place = readPlaceObject2(body, true, m_movie.header.version);
        break;
      case kTagRemoveObject:
        body.u16();
        command.kind = DisplayCommand::Kind::Remove;
        command.remove.depth = body.u16();
        break;
      case kTagRemoveObject2:
        command.kind = DisplayCommand::Kind::Remove;
        command.remove.depth = body.u16();
        break;
      case kTagDoAction: {
        auto whole = body.bytes(body.remaining());
        frame.scripts.push_back(std::make_shared<const std::vector<uint8_t>>(whole.begin(), whole.end()));
        frame.scriptPositions.push_back(frame.commands.size());
        auto actions = readActionRecords(whole);
        frame.actions.insert(frame.actions.end(), actions.begin(), actions.end());
        return true;
      }
      case kTagFrameLabel:
        frame.label = std::string(body.string());
        return true;
      case kTagDoInitAction: {
        body.u16();  // the sprite: its scripts run where the tag stands
        auto whole = body.bytes(body.remaining());
        if (body.ok())
          frame.initScripts.push_back(std::make_shared<const std::vector<uint8_t>>(whole.begin(), whole.end()));
        return true;
      }
      case kTagExportAssets:
        readExports(body);
        return true;
      default:
        return readSoundControlTag(code, body, frame.sounds);
    }
    // A place command cut short is dropped: its fields cannot be trusted.
    if (body.ok()) frame.commands.push_back(std::move(command));
    return true;
  }

  void readExports(SwfReader& body) {
    uint16_t count = body.u16();
    for (uint16_t i = 0; i < count && body.ok(); ++i) {
      uint16_t id = body.u16();
      std::string name(body.string());
      if (body.ok()) m_movie.exports.try_emplace(std::move(name), id);
    }
  }

  void readDefinitionTag(uint16_t code, SwfReader& body) {
    if (int version = shapeVersion(code)) {
      uint16_t id = body.u16();
      auto shape = std::make_shared<ShapeDef>();
      readShape(body, version, *shape);
      if (body.position() >= 2) define(id, Character{CharacterKind::Shape, std::move(shape), nullptr, nullptr});
    } else if (readTextTag(code, body) || readButtonTag(code, body) || readMorphTag(code, body) ||
               readVideoTag(code, body)) {
      return;
    } else if (code == kTagSetBackgroundColor) {
      Rgba color = body.rgb();
      if (body.ok() && !m_movie.background) m_movie.background = color;  // the first one counts
    } else if (code == kTagDefineSound) {
      readDefineSound(body, m_movie.sounds);
    } else if (code == kTagScriptLimits) {
      uint16_t depth = body.u16();
      if (body.ok()) m_movie.maxRecursionDepth = depth;
    } else if (code == kTagJpegTables) {
      auto tables = body.bytes(body.remaining());
      if (m_jpegTables.empty()) m_jpegTables.assign(tables.begin(), tables.end());
    } else if (isBitmapTag(code)) {
      uint16_t id = body.u16();
      if (auto bitmap = readBitmap(code, body))
        define(id, Character{CharacterKind::Bitmap, nullptr, nullptr, std::move(bitmap)});
    } else if (code == kTagDefineSprite) {
      uint16_t id = body.u16();
      body.u16();  // frame count: the frames read are what counts
      if (!body.ok()) return;
      auto sprite = std::make_shared<TimelineDef>();
      sprite->byteSize = uint32_t(body.remaining());
      readTimeline(body, *sprite, false);
      define(id, Character{CharacterKind::Sprite, nullptr, std::move(sprite), nullptr});
    }
    // Every other tag is skipped by its length.
  }

  // Fonts, font information, static text and text fields.
  bool readTextTag(uint16_t code, SwfReader& body) {
    switch (code) {
      case kTagDefineFont:
      case kTagDefineFont2:
      case kTagDefineFont3: {
        uint16_t id = body.u16();
        auto font = std::make_shared<FontDef>();
        bool ok =
            code == kTagDefineFont ? readFont1(body, *font) : readFont2(body, code == kTagDefineFont3 ? 3 : 2, *font);
        if (ok && !m_movie.character(id)) {
          m_fonts[id] = font;
          Character c{CharacterKind::Font};
          c.font = font;
          define(id, std::move(c));
        }
        return true;
      }
      case kTagDefineFontInfo:
      case kTagDefineFontInfo2: {
        auto it = m_fonts.find(body.u16());
        if (it != m_fonts.end()) readFontInfo(body, code == kTagDefineFontInfo ? 1 : 2, *it->second);
        return true;
      }
      case kTagDefineText:
      case kTagDefineText2: {
        uint16_t id = body.u16();
        auto text = std::make_shared<TextDef>();
        if (readText(body, code == kTagDefineText ? 1 : 2, *text)) {
          Character c{CharacterKind::Text};
          c.text = std::move(text);
          define(id, std::move(c));
        }
        return true;
      }
      case kTagDefineEditText: {
        uint16_t id = body.u16();
        auto text = std::make_shared<EditTextDef>();
        readEditText(body, m_movie.header.version, *text);
        if (body.position() > 2) {
          Character c{CharacterKind::EditText};
          c.editText = std::move(text);
          define(id, std::move(c));
        }
        return true;
      }
      default:
        return false;
    }
  }

  bool readButtonTag(uint16_t code, SwfReader& body) {
    if (code == kTagDefineButtonCxform) {
      auto it = m_buttons.find(body.u16());
      if (it != m_buttons.end()) applyButtonColorTransform(body, *it->second);
      return true;
    }
    if (code == kTagDefineButtonSound) {
      auto it = m_buttons.find(body.u16());
      if (it != m_buttons.end()) readButtonSounds(body, *it->second);
      return true;
    }
    if (code != kTagDefineButton && code != kTagDefineButton2) return false;
    uint16_t id = body.u16();
    auto button = std::make_shared<ButtonDef>();
    readButton(body, code == kTagDefineButton ? 1 : 2, *button);
    if (!m_movie.character(id)) {
      m_buttons[id] = button;
      Character c{CharacterKind::Button};
      c.button = button;
      define(id, std::move(c));
    }
    return true;
  }

  bool readMorphTag(uint16_t code, SwfReader& body) {
    if (code != kTagDefineMorphShape && code != kTagDefineMorphShape2) return false;
    uint16_t id = body.u16();
    auto morph = std::make_shared<MorphDef>();
    if (readMorph(body, code == kTagDefineMorphShape ? 1 : 2, *morph)) {
      Character c{CharacterKind::Morph};
      c.morph = std::move(morph);
      define(id, std::move(c));
    }
    return true;
  }

  bool readVideoTag(uint16_t code, SwfReader& body) {
    if (code != kTagDefineVideoStream) return false;
    uint16_t id = body.u16();
    auto video = std::make_shared<VideoStreamDef>();
    if (readVideoStream(body, *video) && !m_movie.character(id)) {
      m_videos[id] = video;
      Character c{CharacterKind::Video};
      c.video = std::move(video);
      define(id, std::move(c));
    }
    return true;
  }

  // The first data given for a frame number counts.
  void addVideoFrame(SwfReader& body) {
    uint16_t id = body.u16();
    uint16_t frame = body.u16();
    auto it = m_videos.find(id);
    if (!body.ok() || it == m_videos.end()) return;
    auto data = body.bytes(body.remaining());
    it->second->frames.try_emplace(frame, data.begin(), data.end());
  }

  static bool isBitmapTag(uint16_t code) {
    return code == kTagDefineBits || code == kTagDefineBitsJpeg2 || code == kTagDefineBitsJpeg3 ||
           code == kTagDefineBitsLossless || code == kTagDefineBitsLossless2;
  }

  std::shared_ptr<BitmapPixels> readBitmap(uint16_t code, SwfReader& body) {
    switch (code) {
      case kTagDefineBitsLossless:
        return readLosslessBitmap(body, false, m_bitmapPixelsLeft);
      case kTagDefineBitsLossless2:
        return readLosslessBitmap(body, true, m_bitmapPixelsLeft);
      case kTagDefineBits:
        return readJpegBitmap(body, false, m_jpegTables, m_bitmapPixelsLeft);
      case kTagDefineBitsJpeg2:
        return readJpegBitmap(body, false, {}, m_bitmapPixelsLeft);
      default:
        return readJpegBitmap(body, true, {}, m_bitmapPixelsLeft);
    }
  }

  void define(uint16_t id, Character character) {
    m_movie.dictionary.try_emplace(id, std::move(character));  // the first definition wins
  }

  MovieDef& m_movie;
  size_t m_bitmapPixelsLeft = kMaxBitmapPixelsPerMovie;
  std::vector<uint8_t> m_jpegTables;  // for DefineBits; the first JPEGTables counts
  // Definitions that later tags complete: font information, button colours, video frames.
  std::map<uint16_t, std::shared_ptr<FontDef>> m_fonts;
  std::map<uint16_t, std::shared_ptr<ButtonDef>> m_buttons;
  std::map<uint16_t, std::shared_ptr<VideoStreamDef>> m_videos;
};

}  // namespace

std::optional<int> TimelineDef::findLabel(std::string_view label) const {
  auto same = [&](const std::string& other) {
    return other.size() == label.size() && std::equal(other.begin(), other.end(), label.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  for (size_t i = 0; i < frames.size(); ++i)
    if (!frames[i].label.empty() && same(frames[i].label)) return int(i);
  return std::nullopt;
}

const Character* MovieDef::character(uint16_t id) const {
  auto it = dictionary.find(id);
  return it == dictionary.end() ? nullptr : &it->second;
}

const FontDef* MovieDef::font(uint16_t id) const {
  const Character* c = character(id);
  return c && c->kind == CharacterKind::Font ? c->font.get() : nullptr;
}

namespace {

bool timelineNeedsScripts(const TimelineDef& timeline) {
  for (const FrameDef& frame : timeline.frames) {
    if (!frame.scripts.empty() || !frame.initScripts.empty()) return true;
    for (const DisplayCommand& command : frame.commands)
      if (command.kind == DisplayCommand::Kind::Place && command.place.clipEvents) return true;
  }
  return false;
}

bool characterNeedsScripts(const Character& c) {
  switch (c.kind) {
    case CharacterKind::EditText:
      return true;
    case CharacterKind::Sprite:
      return c.sprite && timelineNeedsScripts(*c.sprite);
    case CharacterKind::Button:
      return c.button && std::any_of(c.button->actions.begin(), c.button->actions.end(),
                                     [](const ButtonActions& a) { return a.records != nullptr; });
    default:
      return false;
  }
}

}  // namespace

bool needsScripts(const MovieDef& movie) {
  if (timelineNeedsScripts(movie.root)) return true;
  return std::any_of(movie.dictionary.begin(), movie.dictionary.end(),
                     [](const auto& entry) { return characterNeedsScripts(entry.second); });
}

std::unique_ptr<MovieDef> readMovie(std::span<const uint8_t> file, MovieReadStatus* status) {
  auto movie = std::make_unique<MovieDef>();
  std::vector<uint8_t> tags;
  MovieReadStatus result = readMovieFile(file, movie->header, tags);
  if (status) *status = result;
  if (result != MovieReadStatus::Ok) return nullptr;
  SwfReader reader(tags);
  movie->complete = MovieParser(*movie).readTimeline(reader, movie->root, true);
  return movie;
}

}  // namespace swf
